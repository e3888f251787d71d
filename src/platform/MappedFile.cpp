#include "platform/MappedFile.h"

#include <QFile>
#include <QMutex>

#include <algorithm>
#include <vector>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every mapping alive, so that their pages can be let go of together.
QMutex g_mappingsMutex;
std::vector<const MappedFile *> g_mappings;

} // namespace

std::shared_ptr<const MappedFile> MappedFile::open(const QString &path, QString *error)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    struct stat status
    {
    };
    void *address = nullptr;
    std::size_t size = 0;
    if (fstat(descriptor, &status) == 0 && status.st_size > 0) {
        size = std::size_t(status.st_size);
        address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    }
    const int mapError = errno;
    ::close(descriptor);
    if (address == MAP_FAILED || (size > 0 && !address)) {
        *error
            = QStringLiteral("cannot map %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(mapError)));
        return nullptr;
    }
    // Rows are read here and there: reading ahead around each would bring in pages never used.
    if (address)
        madvise(address, size, MADV_RANDOM);
    std::shared_ptr<const MappedFile> file(new MappedFile(address, size));
    QMutexLocker lock(&g_mappingsMutex);
    g_mappings.push_back(file.get());
    return file;
}

MappedFile::MappedFile(void *address, std::size_t size)
    : m_address(address)
    , m_size(size)
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

void MappedFile::releaseAllPages()
{
    QMutexLocker lock(&g_mappingsMutex);
    // The mappings are read-only and private: their pages are the file's, and a reader on
    // another thread meanwhile just reads them in again.
    for (const MappedFile *file : g_mappings) {
        if (file->m_address)
            madvise(file->m_address, file->m_size, MADV_DONTNEED);
    }
}
