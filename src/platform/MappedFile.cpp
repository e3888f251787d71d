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

using Failure = MappedFile::Failure;

QString systemError(const QString &what, int error)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

// A call on the file that failed. Its not being there (or being a loop of links) is what the file
// is; anything else (no descriptor, no memory, a failing disk) may pass.
Failure systemFailure(const char *what, int error)
{
    const bool aboutTheFile = error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG;
    return { systemError(QLatin1String(what), error), !aboutTheFile };
}

Failure tooLarge(qint64 maxBytes)
{
    constexpr qint64 megabyte = 1024 * 1024;
    return { maxBytes % megabyte == 0 ? QStringLiteral("it is larger than %1 MB").arg(maxBytes / megabyte)
                                      : QStringLiteral("it is larger than %1 bytes").arg(maxBytes),
        false };
}

// Where copies go, in order: on disk where there is room for them (the cache folder), so that
// their pages, like the original's, can be dropped and read again; then the temporary folder,
// for a cache folder that is read-only or full.
QStringList copyFolders()
{
    QStringList folders;
    for (const QString &folder :
        { QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), QDir::tempPath() }) {
        if (!folder.isEmpty() && !folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

// A file of the app's own in the folder for a copy, with no name, so that no other program can
// reach it and nothing is left behind. -1 with errno set when none can be made.
int unnamedFileIn(const QString &folder)
{
    // A new user's cache folder may not be there yet.
    QDir().mkpath(folder);
    const QByteArray encoded = QFile::encodeName(folder);
    const int descriptor = ::open(encoded.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0)
        return descriptor;
    // A file system without unnamed files: a named one, unlinked at once.
    QByteArray name = encoded + "/.tindlewick-XXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.constData());
    return named;
}

// What copyAll() did: the bytes copied, or the error of the read or of the write that failed.
struct CopyOutcome
{
    qint64 bytes = 0;
    int readError = 0;
    int writeError = 0;
};

// Copies what `from` holds from where it stands to its end, or up to `limit` bytes. The end is
// where reading ends, not the size the file had: it may be cut or grow meanwhile.
CopyOutcome copyAll(int from, int to, qint64 limit)
{
    std::vector<char> buffer(64 * 1024);
    CopyOutcome outcome;
    while (outcome.bytes < limit) {
        const ssize_t read = ::read(
            from, buffer.data(), size_t(std::min<qint64>(qint64(buffer.size()), limit - outcome.bytes)));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            outcome.readError = errno;
        if (read <= 0)
            return outcome;
        for (ssize_t written = 0; written < read;) {
            const ssize_t now = ::write(to, buffer.data() + written, size_t(read - written));
            if (now < 0 && errno != EINTR) {
                outcome.writeError = errno;
                return outcome;
            }
            written += std::max<ssize_t>(now, 0);
        }
        outcome.bytes += read;
    }
    return outcome;
}

// A copy of what `source` holds, up to `limit` bytes, in the first of copyFolders() with room for
// it: its descriptor, with its size; -1 with the failure when no folder takes it or the source
// cannot be read.
int copyOf(int source, qint64 limit, qint64 *size, Failure *failure)
{
    QStringList refusals;
    for (const QString &folder : copyFolders()) {
        const int copy = unnamedFileIn(folder);
        if (copy < 0) {
            refusals.append(systemError(folder, errno));
            continue;
        }
        const CopyOutcome outcome = copyAll(source, copy, limit);
        if (outcome.readError == 0 && outcome.writeError == 0) {
            *size = outcome.bytes;
            return copy;
        }
        ::close(copy);
        if (outcome.readError != 0) {
            *failure = systemFailure("cannot read it", outcome.readError);
            return -1;
        }
        refusals.append(systemError(folder, outcome.writeError));
        // The next folder's copy starts from the beginning again.
        if (::lseek(source, 0, SEEK_SET) != 0) {
            *failure = systemFailure("cannot read it", errno);
            return -1;
        }
    }
    *failure = { QStringLiteral("cannot copy it (%1)").arg(refusals.join(QStringLiteral("; "))), true };
    return -1;
}

MappedFile::Identity identityOf(const struct stat &status)
{
    return { status.st_dev, status.st_ino, status.st_size, status.st_mtim };
}

// Why a file so described is not read, if it is not.
std::optional<Failure> refusal(const struct stat &status, qint64 maxBytes)
{
    if (!S_ISREG(status.st_mode))
        return Failure { QStringLiteral("it is not a regular file"), false };
    if (status.st_size > maxBytes)
        return tooLarge(maxBytes);
    return std::nullopt;
}

// The file opened for reading, with its identity then, when it is a regular file of at most
// maxBytes; -1 with the reason otherwise. It is looked at before it is opened (opening a device
// may do something by itself), opened without waiting (a FIFO's open() waits for a writer) and
// looked at again: it may have been replaced meanwhile.
int openRegular(const QByteArray &path, qint64 maxBytes, MappedFile::Identity *identity, Failure *failure)
{
    const auto refuse = [&](int descriptor, const Failure &reason) {
        if (descriptor >= 0)
            ::close(descriptor);
        *failure = reason;
        return -1;
    };
    struct stat status
    {
    };
    if (::stat(path.constData(), &status) != 0)
        return refuse(-1, systemFailure("cannot open it", errno));
    if (const std::optional<Failure> reason = refusal(status, maxBytes))
        return refuse(-1, *reason);
    const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return refuse(-1, systemFailure("cannot open it", errno));
    if (::fstat(descriptor, &status) != 0)
        return refuse(descriptor, systemFailure("cannot read it", errno));
    if (const std::optional<Failure> reason = refusal(status, maxBytes))
        return refuse(descriptor, *reason);
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return refuse(descriptor, systemFailure("cannot read it", errno));
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

std::shared_ptr<const MappedFile> MappedFile::open(const QString &path, Failure *failure, qint64 maxBytes)
{
    Identity identity;
    const int source = openRegular(QFile::encodeName(path), maxBytes, &identity, failure);
    if (source < 0)
        return nullptr;
    qint64 size = 0;
    // One byte more than allowed tells a file that grew after it was looked at.
    const int copy = copyOf(source, maxBytes + 1, &size, failure);
    ::close(source);
    if (copy < 0)
        return nullptr;
    void *address = size <= maxBytes ? mapCopy(copy, std::size_t(size)) : nullptr;
    const int mapError = errno;
    ::close(copy);
    if (size > maxBytes) {
        *failure = tooLarge(maxBytes);
        return nullptr;
    }
    if (address == MAP_FAILED) {
        *failure = systemFailure("cannot map it", mapError);
        return nullptr;
    }
    std::shared_ptr<const MappedFile> file(new MappedFile(address, std::size_t(size), path, identity));
    QMutexLocker lock(&g_mappingsMutex);
    g_mappings.push_back(file.get());
    return file;
}

std::shared_ptr<const MappedFile> MappedFile::open(const QString &path, QString *error, qint64 maxBytes)
{
    Failure failure;
    std::shared_ptr<const MappedFile> file = open(path, &failure, maxBytes);
    if (!file)
        *error = failure.reason;
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
