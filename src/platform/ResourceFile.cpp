#include "platform/ResourceFile.h"

#include "platform/MappedFile.h"

#include <QMutex>

namespace {

QMutex g_hookMutex;
std::function<void(const QString &)> g_readingHook;

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
    const std::shared_ptr<const MappedFile> file = MappedFile::open(path, error, maxBytes);
    if (!file)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(file->data()), qsizetype(file->size()));
}

void setReadingHook(std::function<void(const QString &path)> hook)
{
    QMutexLocker lock(&g_hookMutex);
    g_readingHook = std::move(hook);
}

} // namespace ResourceFile
