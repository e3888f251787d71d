#pragma once

#include <QByteArray>

#include <optional>

// Each thread keeps a few freed blocks of every small size for its next allocations, in a cache
// of its own that no trimming reaches. Those blocks lie wherever they were freed: after a bulk
// deletion the main thread's cache alone holds hundreds of them, each keeping a page of freed
// texts in memory (0.8 MB after 400 copies cleared). The cache can only be turned off before
// the process starts, so the app starts itself once more with it off.
namespace HeapTuning {

// The GLIBC_TUNABLES the app restarts itself with, given the variable's value now (null when
// unset) and LD_PRELOAD's: nothing when the cache's size is already set (by the user, or by an
// earlier start) or when something preloaded decides how the process allocates (a profiler, a
// memory checker, another allocator).
std::optional<QByteArray> tunablesToRestartWith(const char *tunables, const char *preload);

// Called first in main. Returns when the process runs with the cache off, or cannot; otherwise
// replaces the process with the program started again with the same arguments. Once restarted
// it hands on to the programs it starts the environment it was given.
void restartWithoutThreadCaches(char **argv);

} // namespace HeapTuning
