#include "support/FullDiskVfs.h"

#include <sqlite3.h>

#include <atomic>

namespace {

std::atomic<bool> g_full { false };
std::atomic<int> g_refused { 0 };
sqlite3_vfs *g_real = nullptr;

// The real file follows the wrapper in the memory SQLite gives each open file.
struct WrappedFile
{
    sqlite3_file base;
    sqlite3_file *real;
};

sqlite3_file *real(sqlite3_file *file)
{
    return reinterpret_cast<WrappedFile *>(file)->real;
}

int refuse()
{
    ++g_refused;
    return SQLITE_FULL;
}

const sqlite3_io_methods wrappedMethods = {
    3,
    [](sqlite3_file *f) { return real(f)->pMethods->xClose(real(f)); },
    [](sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset) {
        return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
    },
    [](sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset) {
        return g_full ? refuse() : real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
    },
    [](sqlite3_file *f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); },
    [](sqlite3_file *f, int flags) { return real(f)->pMethods->xSync(real(f), flags); },
    [](sqlite3_file *f, sqlite3_int64 *size) { return real(f)->pMethods->xFileSize(real(f), size); },
    [](sqlite3_file *f, int lock) { return real(f)->pMethods->xLock(real(f), lock); },
    [](sqlite3_file *f, int lock) { return real(f)->pMethods->xUnlock(real(f), lock); },
    [](sqlite3_file *f, int *reserved) { return real(f)->pMethods->xCheckReservedLock(real(f), reserved); },
    [](sqlite3_file *f, int operation, void *argument) {
        // A size hint makes room on the disk ahead of the writes.
        if (g_full && operation == SQLITE_FCNTL_SIZE_HINT)
            return refuse();
        return real(f)->pMethods->xFileControl(real(f), operation, argument);
    },
    [](sqlite3_file *f) { return real(f)->pMethods->xSectorSize(real(f)); },
    [](sqlite3_file *f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
    [](sqlite3_file *f, int region, int size, int extend, void volatile **memory) {
        return real(f)->pMethods->xShmMap(real(f), region, size, extend, memory);
    },
    [](sqlite3_file *f, int offset, int n, int flags) {
        return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
    },
    [](sqlite3_file *f) { real(f)->pMethods->xShmBarrier(real(f)); },
    [](sqlite3_file *f, int deleteFlag) { return real(f)->pMethods->xShmUnmap(real(f), deleteFlag); },
    [](sqlite3_file *f, sqlite3_int64 offset, int amount, void **pages) {
        return real(f)->pMethods->xFetch(real(f), offset, amount, pages);
    },
    [](sqlite3_file *f, sqlite3_int64 offset, void *pages) {
        return real(f)->pMethods->xUnfetch(real(f), offset, pages);
    },
};

int openWrapped(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags);

// Lives as long as the process: connections opened through it may outlive the object that made
// it the default.
sqlite3_vfs *wrappedVfs()
{
    static sqlite3_vfs vfs = [] {
        g_real = sqlite3_vfs_find(nullptr);
        sqlite3_vfs wrapped = *g_real;
        wrapped.zName = "tindlewick-full-disk";
        wrapped.szOsFile = int(sizeof(WrappedFile)) + g_real->szOsFile;
        wrapped.pNext = nullptr;
        wrapped.xOpen = &openWrapped;
        return wrapped;
    }();
    return &vfs;
}

int openWrapped(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *wrapped = reinterpret_cast<WrappedFile *>(file);
    wrapped->real = reinterpret_cast<sqlite3_file *>(wrapped + 1);
    const int result = g_real->xOpen(g_real, name, wrapped->real, flags, outFlags);
    wrapped->base.pMethods = result == SQLITE_OK && wrapped->real->pMethods ? &wrappedMethods : nullptr;
    return result;
}

} // namespace

FullDiskVfs::FullDiskVfs()
    : m_vfs(wrappedVfs())
{
    g_full = false;
    g_refused = 0;
    sqlite3_vfs_register(m_vfs, 1);
}

FullDiskVfs::~FullDiskVfs()
{
    g_full = false;
    sqlite3_vfs_unregister(m_vfs);
}

void FullDiskVfs::setFull(bool full)
{
    g_full = full;
}

int FullDiskVfs::refusedWrites() const
{
    return g_refused;
}
