#pragma once

// A filesystem of its own for a test: a tmpfs of a few megabytes (which a test can fill), or one
// mounted read-only, where the test may mount one (as root); unmounted when it goes. Header-only.

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

class SmallDisk final
{
public:
    struct Options
    {
        QString size = QStringLiteral("3m");
        bool readOnly = false;
    };

    // Mounted on mountPoint (made when missing), or on a temporary folder of its own when empty;
    // its root folder is the user's alone, as a runtime folder is.
    explicit SmallDisk(const QString &mountPoint = {})
        : SmallDisk(mountPoint, Options())
    { }
    SmallDisk(const QString &mountPoint, const Options &options)
        : m_path(mountPoint.isEmpty() ? m_folder.path() : mountPoint)
    {
        QDir().mkpath(m_path);
        QString mountOptions = QStringLiteral("size=%1,mode=0700").arg(options.size);
        if (options.readOnly)
            mountOptions += QStringLiteral(",ro");
        QProcess mount;
        mount.start(QStringLiteral("mount"),
            { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), mountOptions,
                QStringLiteral("tmpfs"), m_path });
        m_mounted = mount.waitForFinished(5000) && mount.exitStatus() == QProcess::NormalExit
            && mount.exitCode() == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), { QStringLiteral("-l"), m_path });
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    // Mounted again, read-only, with what was written to it so far.
    bool remountReadOnly() const
    {
        return m_mounted
            && QProcess::execute(
                   QStringLiteral("mount"), { QStringLiteral("-o"), QStringLiteral("remount,ro"), m_path })
            == 0;
    }
    QString path() const { return m_path; }

    // Writes a file there until the disk has no room left; true when it is full.
    bool fill(const QString &name) const
    {
        const QByteArray path = QFile::encodeName(m_path + u'/' + name);
        const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (file < 0)
            return false;
        const QByteArray block(4096, 'f');
        while (::write(file, block.constData(), size_t(block.size())) > 0) { }
        const bool full = errno == ENOSPC;
        ::close(file);
        return full;
    }

private:
    QTemporaryDir m_folder;
    QString m_path;
    bool m_mounted = false;
};
