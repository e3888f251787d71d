#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

// The mounted file systems and the folders removable volumes are mounted under, with a signal
// when anything is mounted or unmounted. Main thread.
class VolumeMonitor : public QObject
{
    Q_OBJECT
public:
    struct VolumeRoot
    {
        QString path;
        // Every folder in it is a volume's mount point (created on mount and removed on
        // unmount), so a path in a folder that is not mounted cannot exist. Folders in a root
        // without this mark may be ordinary folders.
        bool holdsOnlyMountPoints = false;
    };

    using QObject::QObject;

    // Every mount point, or nothing when the mount table cannot be read.
    virtual std::optional<QStringList> mountPoints() = 0;
    virtual QList<VolumeRoot> volumeRoots() const = 0;

Q_SIGNALS:
    // Something was mounted or unmounted.
    void mountsChanged();
};

// Reports the mount table and roots a test sets; mountsChanged is emitted by the test.
class FakeVolumeMonitor final : public VolumeMonitor
{
    Q_OBJECT
public:
    using VolumeMonitor::VolumeMonitor;

    std::optional<QStringList> mountPoints() override
    {
        ++readCount;
        return table;
    }
    QList<VolumeRoot> volumeRoots() const override { return roots; }

    std::optional<QStringList> table = QStringList { QStringLiteral("/") };
    QList<VolumeRoot> roots;
    int readCount = 0;
};
