#include "platform/MappedFile.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
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

QString failure(const char *what, const QString &path, int error)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(error)));
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

// Copies what `from` holds from where it stands to its end; the bytes copied, or -1 with errno
// set. The end is where reading ends, not the size the file had: it may be cut meanwhile.
ssize_t copyAll(int from, int to)
{
    std::vector<char> buffer(64 * 1024);
    ssize_t total = 0;
    for (;;) {
        const ssize_t read = ::read(from, buffer.data(), buffer.size());
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
}

MappedFile::Identity identityOf(const struct stat &status)
{
    return { status.st_dev, status.st_ino, status.st_size, status.st_mtim };
}

} // namespace

bool MappedFile::Identity::operator==(const Identity &other) const
{
    return device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

std::shared_ptr<const MappedFile> MappedFile::open(const QString &path, QString *error)
{
    const int source = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        *error = failure("cannot open", path, errno);
        return nullptr;
    }
    // Taken before the copy: a change while it is made shows as changedOnDisk().
    struct stat status
    {
    };
    fstat(source, &status);
    const int copy = unnamedFile();
    const ssize_t size = copy < 0 ? -1 : copyAll(source, copy);
    const int copyError = errno;
    ::close(source);
    void *address = nullptr;
    if (size > 0)
        address = mmap(nullptr, std::size_t(size), PROT_READ, MAP_PRIVATE, copy, 0);
    const int mapError = errno;
    if (copy >= 0)
        ::close(copy);
    if (size < 0) {
        *error = failure("cannot copy", path, copyError);
        return nullptr;
    }
    if (address == MAP_FAILED) {
        *error = failure("cannot map", path, mapError);
        return nullptr;
    }
    // Rows are read here and there: reading ahead around each would bring in pages never used.
    if (address)
        madvise(address, std::size_t(size), MADV_RANDOM);
    std::shared_ptr<const MappedFile> file(
        new MappedFile(address, std::size_t(size), path, identityOf(status)));
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
    struct stat status
    {
    };
    return stat(QFile::encodeName(m_path).constData(), &status) != 0 || !(identityOf(status) == m_identity);
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
