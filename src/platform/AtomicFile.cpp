#include "platform/AtomicFile.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace AtomicFile {

namespace {

Result failed(QSaveFile &file, const QString &error)
{
    // The temporary file goes with the object; the old file is left alone.
    file.cancelWriting();
    return { false, error };
}

} // namespace

Result replace(
    const QString &path, const QByteArray &contents, std::optional<QFileDevice::Permissions> permissions)
{
    QSaveFile file(path);
    // Unbuffered, each write says what reached the file: a buffered one reports every byte as
    // written, and commit() renames the file even when its last flush failed for want of room.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return { false, file.errorString() };
    if (permissions)
        file.setPermissions(*permissions);
    // A write may take only part of the bytes (the room ran out on the way); the next one then
    // fails and says why.
    for (qsizetype written = 0; written < contents.size();) {
        const qint64 now = file.write(contents.constData() + written, contents.size() - written);
        if (now <= 0)
            return failed(file, file.errorString());
        written += qsizetype(now);
    }
    // commit() syncs too, but does not say when that failed; some file systems (network ones, a
    // quota) only report the lack of room then.
    if (::fdatasync(file.handle()) != 0)
        return failed(file, QString::fromLocal8Bit(std::strerror(errno)));
    if (!file.commit())
        return { false, file.errorString() };
    return { true, {} };
}

} // namespace AtomicFile
