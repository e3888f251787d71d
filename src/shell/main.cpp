#include "shell/TindlewickApp.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char **argv)
{
#if defined(__GLIBC__)
    // The C library gives every thread that allocates a heap of its own, up to eight per core:
    // the capture workers, the thread pool, SQLite's and the highlighter's threads. After a
    // bulk deletion each keeps partly used pages that no trim can hand back, some megabytes
    // in all. Two heaps keep that small and still spare the threads waiting on each other
    // (capture and show measured no slower). Set before any thread exists.
    mallopt(M_ARENA_MAX, 2);
#endif
    return TindlewickApp::run(argc, argv);
}
