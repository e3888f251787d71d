#include "shell/TindlewickApp.h"

// Included whole, not behind a check of the C library: the check's macro comes from the C
// library's own headers, and the app's header above includes none of them.
#include <malloc.h>

int main(int argc, char **argv)
{
#if defined(M_ARENA_MAX)
    // The C library gives every thread that allocates a heap of its own, up to eight per core:
    // the capture workers, the thread pool, SQLite's and the highlighter's threads, each heap
    // with free pages of its own. Two bound that however many threads run and still spare the
    // threads waiting on each other. Measured against one heap per thread: the panel's show as
    // fast, and the memory a bulk deletion leaves the same (what stays is the main heap's).
    // Set before any thread exists.
    mallopt(M_ARENA_MAX, 2);
#endif
    return TindlewickApp::run(argc, argv);
}
