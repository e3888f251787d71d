#include "platform/ResourceFile.h"

#include "platform/FilePaths.h"
#include "platform/UserFiles.h"

#include <QMutex>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

QMutex g_hookMutex;
std::function<void(const QString &)> g_readingHook;

QString notRegular()
{
    return QStringLiteral("it is not a regular file");
}

QString reason(UserFiles::Refusal refusal, qint64 maxBytes)
{
    constexpr qint64 megabyte = 1024 * 1024;
    switch (refusal) {
    case UserFiles::Refusal::notRegular:
        return notRegular();
    case UserFiles::Refusal::tooLarge:
        return maxBytes % megabyte == 0 ? QStringLiteral("it is larger than %1 MB").arg(maxBytes / megabyte)
                                        : QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
    case UserFiles::Refusal::none:
    case UserFiles::Refusal::unreadable:
        break;
    }
    return QStringLiteral("it could not be read");
}

} // namespace

namespace ResourceFile {

std::optional<QByteArray> read(const QString &path, qint64 maxBytes, QString *error)
{
    std::function<void(const QString &)> hook;
    {
        QMutexLocker lock(&g_hookMutex);
        hook = g_readingHook;
    }
    if (hook)
        hook(path);
    // Looked at here first: the reading names a file that is no regular one in a line of its
    // own, and the caller's line is to be the only one.
    struct stat status
    {
    };
    if (::stat(FilePaths::toNative(path).constData(), &status) != 0) {
        *error = QStringLiteral("cannot open it: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = notRegular();
        return std::nullopt;
    }
    UserFiles::Refusal refusal = UserFiles::Refusal::none;
    std::optional<QByteArray> bytes = UserFiles::readRegular(path, maxBytes, &refusal);
    if (!bytes)
        *error = reason(refusal, maxBytes);
    return bytes;
}

void setReadingHook(std::function<void(const QString &path)> hook)
{
    QMutexLocker lock(&g_hookMutex);
    g_readingHook = std::move(hook);
}

} // namespace ResourceFile
