#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

// A file system of its own of the size given ("3m", "64k"), where the test may mount one (as
// root); unmounted at the end.
class SmallDisk final
{
public:
    explicit SmallDisk(const QString &size = QStringLiteral("3m"))
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"),
            { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                QStringLiteral("size=") + size, QStringLiteral("tmpfs"), m_folder.path() });
        m_mounted = mount.waitForFinished(5000) && mount.exitStatus() == QProcess::NormalExit
            && mount.exitCode() == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), { QStringLiteral("-l"), m_folder.path() });
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_folder.path(); }

    // Takes up the room left with a file of its own; true once a write found none.
    bool fill() const
    {
        const QByteArray filler = QFile::encodeName(path() + QStringLiteral("/filler"));
        const int descriptor = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (descriptor < 0)
            return false;
        const QByteArray block(4096, 'f');
        ssize_t written = 0;
        while ((written = ::write(descriptor, block.constData(), size_t(block.size()))) > 0) { }
        const bool full = written < 0 && errno == ENOSPC;
        ::close(descriptor);
        return full;
    }

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
};
