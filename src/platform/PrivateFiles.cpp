#include "platform/PrivateFiles.h"

#include "platform/FilePaths.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the kernel follows before it gives up (ELOOP).
constexpr int maxLinks = 40;

QByteArray native(const QString &path)
{
    return FilePaths::toNative(path);
}

} // namespace

namespace PrivateFiles {

bool makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    ::chmod(native(path).constData(), folderMode);
    return QFileInfo(path).isDir();
}

bool restrictFile(const QString &path)
{
    struct stat status = {};
    if (::stat(native(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)
        || (status.st_mode & 07777) == fileMode)
        return true;
    return ::chmod(native(path).constData(), fileMode) == 0;
}

void restrictFolder(const QString &path)
{
    struct stat status = {};
    if (::stat(native(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return;
    if ((status.st_mode & 07777) != folderMode)
        ::chmod(native(path).constData(), folderMode);
    const QDir folder(path);
    const QStringList names = folder.entryList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        restrictFile(folder.filePath(name));
}

QString finalTarget(const QString &path)
{
    QByteArray current = native(path);
    for (int hop = 0; hop <= maxLinks; ++hop) {
        struct stat status = {};
        if (::lstat(current.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return FilePaths::fromNative(current);
        QByteArray target(qsizetype(PATH_MAX), Qt::Uninitialized);
        const ssize_t length = ::readlink(current.constData(), target.data(), size_t(target.size()));
        if (length <= 0 || length >= target.size())
            return QString();
        target.truncate(length);
        if (!target.startsWith('/'))
            target.prepend(current.first(current.lastIndexOf('/') + 1));
        current = target;
    }
    return QString();
}

QString nonFileKind(const QString &path)
{
    struct stat status = {};
    if (::stat(native(path).constData(), &status) != 0 || S_ISREG(status.st_mode))
        return QString();
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(status.st_mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(status.st_mode))
        return QStringLiteral("a block device");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("a socket");
    return QStringLiteral("no regular file");
}

bool createFile(const QString &path)
{
    const QString target = finalTarget(path);
    if (target.isEmpty())
        return false;
    const int descriptor
        = ::open(native(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode);
    if (descriptor >= 0) {
        // The umask may have taken bits away, never added them; the mode is exact anyway.
        ::fchmod(descriptor, fileMode);
        ::close(descriptor);
        return true;
    }
    return errno == EEXIST;
}

} // namespace PrivateFiles
