#include "platform/MappedFile.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <optional>
#include <vector>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every mapping alive, so that their pages can be let go of together.
QMutex g_mappingsMutex;
std::vector<const MappedFile *> g_mappings;

QString systemError(const char *what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

QString tooLarge(qint64 maxBytes)
{
    constexpr qint64 megabyte = 1024 * 1024;
    return maxBytes % megabyte == 0 ? QStringLiteral("it is larger than %1 MB").arg(maxBytes / megabyte)
                                    : QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
}

// A file of the app's own for a copy, with no name, so that no other program can reach it and
// nothing is left behind; on disk where there is room for it (the cache folder), so that its
// pages, like the original's, can be dropped and read again. -1 with errno set when none can be
// made.
int unnamedFile()
{
    int error = ENOENT;
    for (const QString &folder :
        { QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), QDir::tempPath() }) {
        if (folder.isEmpty())
            continue;
        const QByteArray encoded = QFile::encodeName(folder);
        int descriptor = ::open(encoded.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (descriptor >= 0)
            return descriptor;
        // A file system without unnamed files: a named one, unlinked at once.
        QByteArray name = encoded + "/.tindlewick-XXXXXX";
        descriptor = mkostemp(name.data(), O_CLOEXEC);
        if (descriptor >= 0) {
            ::unlink(name.constData());
            return descriptor;
        }
        error = errno;
    }
    errno = error;
    return -1;
}

// Copies what `from` holds from where it stands to its end, or up to `limit` bytes; the bytes
// copied, or -1 with errno set. The end is where reading ends, not the size the file had: it
// may be cut or grow meanwhile.
ssize_t copyAll(int from, int to, qint64 limit)
{
    std::vector<char> buffer(64 * 1024);
    ssize_t total = 0;
    while (total < limit) {
        const ssize_t read
            = ::read(from, buffer.data(), size_t(std::min<qint64>(qint64(buffer.size()), limit - total)));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return read < 0 ? -1 : total;
        for (ssize_t written = 0; written < read;) {
            const ssize_t now = ::write(to, buffer.data() + written, size_t(read - written));
            if (now < 0 && errno != EINTR)
                return -1;
            written += std::max<ssize_t>(now, 0);
        }
        total += read;
    }
    return total;
}

MappedFile::Identity identityOf(const struct stat &status)
{
    return { status.st_dev, status.st_ino, status.st_size, status.st_mtim };
}

// Why a file so described is not read, if it is not.
std::optional<QString> refusal(const struct stat &status, qint64 maxBytes)
{
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("it is not a regular file");
    if (status.st_size > maxBytes)
        return tooLarge(maxBytes);
    return std::nullopt;
}

// The file opened for reading, with its identity then, when it is a regular file of at most
// maxBytes; -1 with the reason otherwise. It is looked at before it is opened (opening a device
// may do something by itself), opened without waiting (a FIFO's open() waits for a writer) and
// looked at again: it may have been replaced meanwhile.
int openRegular(const QByteArray &path, qint64 maxBytes, MappedFile::Identity *identity, QString *error)
{
    const auto refuse = [&](int descriptor, const QString &reason) {
        if (descriptor >= 0)
            ::close(descriptor);
        *error = reason;
        return -1;
    };
    struct stat status
    {
    };
    if (::stat(path.constData(), &status) != 0)
        return refuse(-1, systemError("cannot open it", errno));
    if (const std::optional<QString> reason = refusal(status, maxBytes))
        return refuse(-1, *reason);
    const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return refuse(-1, systemError("cannot open it", errno));
    if (::fstat(descriptor, &status) != 0)
        return refuse(descriptor, systemError("cannot read it", errno));
    if (const std::optional<QString> reason = refusal(status, maxBytes))
        return refuse(descriptor, *reason);
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    // Taken before the copy: a change while it is made shows as changedOnDisk().
    *identity = identityOf(status);
    return descriptor;
}

// A private read-only mapping of the copy's first `size` bytes (none for an empty copy);
// MAP_FAILED with errno set when it cannot be made.
void *mapCopy(int copy, std::size_t size)
{
    if (size == 0)
        return nullptr;
    void *address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, copy, 0);
    // Rows are read here and there: reading ahead around each would bring in pages never used.
    if (address != MAP_FAILED)
        madvise(address, size, MADV_RANDOM);
    return address;
}

} // namespace

bool MappedFile::Identity::operator==(const Identity &other) const
{
    return device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

MappedFile::Identity MappedFile::identityAt(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? identityOf(status) : Identity();
}

std::shared_ptr<const MappedFile> MappedFile::open(const QString &path, QString *error, qint64 maxBytes)
{
    Identity identity;
    const int source = openRegular(QFile::encodeName(path), maxBytes, &identity, error);
    if (source < 0)
        return nullptr;
    const int copy = unnamedFile();
    // One byte more than allowed tells a file that grew after it was looked at.
    const ssize_t size = copy < 0 ? -1 : copyAll(source, copy, maxBytes + 1);
    const int copyError = errno;
    ::close(source);
    void *address = size > 0 && size <= maxBytes ? mapCopy(copy, std::size_t(size)) : nullptr;
    const int mapError = errno;
    if (copy >= 0)
        ::close(copy);
    if (size < 0) {
        *error = systemError("cannot copy it", copyError);
        return nullptr;
    }
    if (size > maxBytes) {
        *error = tooLarge(maxBytes);
        return nullptr;
    }
    if (address == MAP_FAILED) {
        *error = systemError("cannot map it", mapError);
        return nullptr;
    }
    std::shared_ptr<const MappedFile> file(new MappedFile(address, std::size_t(size), path, identity));
    QMutexLocker lock(&g_mappingsMutex);
    g_mappings.push_back(file.get());
    return file;
}

MappedFile::MappedFile(void *address, std::size_t size, const QString &path, const Identity &identity)
    : m_address(address)
    , m_size(size)
    , m_path(path)
    , m_identity(identity)
{ }

MappedFile::~MappedFile()
{
    {
        QMutexLocker lock(&g_mappingsMutex);
        g_mappings.erase(std::remove(g_mappings.begin(), g_mappings.end(), this), g_mappings.end());
    }
    if (m_address)
        munmap(m_address, m_size);
}

bool MappedFile::changedOnDisk() const
{
    return !(identityAt(m_path) == m_identity);
}

void MappedFile::releaseAllPages()
{
    QMutexLocker lock(&g_mappingsMutex);
    // The mappings are read-only and private: their pages are the copy's, and a reader on
    // another thread meanwhile just reads them in again.
    for (const MappedFile *file : g_mappings) {
        if (file->m_address)
            madvise(file->m_address, file->m_size, MADV_DONTNEED);
    }
}
