#pragma once

#include "platform/VolumeMonitor.h"

#include <QByteArray>

class QSocketNotifier;

// The kernel's mount table (/proc/self/mountinfo) and the folders desktop mounters use for
// removable volumes: /media/USER and /run/media/USER (udisks) and /mnt. The table file wakes a
// poller with POLLPRI whenever a mount comes or goes, so changes are noticed without polling.
class MountInfoVolumeMonitor final : public VolumeMonitor
{
    Q_OBJECT
public:
    explicit MountInfoVolumeMonitor(
        QString mountInfoPath = QStringLiteral("/proc/self/mountinfo"), QObject *parent = nullptr);
    ~MountInfoVolumeMonitor() override;

    std::optional<QStringList> mountPoints() override;
    QList<VolumeRoot> volumeRoots() const override { return m_roots; }

    // The mount points of a mountinfo text (its fifth field, with the kernel's octal escapes
    // of spaces, tabs, newlines and backslashes undone), in the table's order.
    static QStringList parseMountPoints(const QByteArray &mountInfo);
    // Where the volumes of this user are mounted.
    static QList<VolumeRoot> rootsForUser(const QString &userName);
    // The name of the user running the program.
    static QString currentUserName();

private:
    QString m_path;
    QList<VolumeRoot> m_roots;
    int m_watchDescriptor = -1;
    QSocketNotifier *m_notifier = nullptr;
};
