#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
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

void restrictFile(const QString &path)
{
    struct stat status = {};
    if (::lstat(native(path).constData(), &status) == 0 && S_ISREG(status.st_mode)
        && (status.st_mode & 07777) != fileMode)
        ::chmod(native(path).constData(), fileMode);
}

void restrictFolder(const QString &path)
{
    struct stat status = {};
    if (::lstat(native(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return;
    if ((status.st_mode & 07777) != folderMode)
        ::chmod(native(path).constData(), folderMode);
    const QDir folder(path);
    const QStringList names = folder.entryList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        restrictFile(folder.filePath(name));
}

bool createFile(const QString &path)
{
    const int descriptor
        = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode);
    if (descriptor >= 0) {
        // The umask may have taken bits away, never added them; the mode is exact anyway.
        ::fchmod(descriptor, fileMode);
        ::close(descriptor);
        return true;
    }
    return errno == EEXIST;
}

} // namespace PrivateFiles
