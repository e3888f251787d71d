#include "platform/HeapTuning.h"

#include <QList>

#include <cstdlib>

#include <unistd.h>

namespace HeapTuning {

namespace {

constexpr char threadCacheSize[] = "glibc.malloc.tcache_count=";
constexpr char threadCacheOff[] = "glibc.malloc.tcache_count=0";

// Set for the restarted process only: what GLIBC_TUNABLES was before ("set:" and its value, or
// "unset"), so that the programs the app starts get the environment it was given. Its
// presence also tells the restarted process not to restart again, whatever became of the
// tunables on the way.
constexpr char givenTunablesVariable[] = "TINDLEWICK_GIVEN_GLIBC_TUNABLES";
constexpr char givenPrefix[] = "set:";

void restoreGivenTunables(const QByteArray &given)
{
    if (given.startsWith(givenPrefix))
        setenv("GLIBC_TUNABLES", given.mid(qsizetype(sizeof(givenPrefix) - 1)).constData(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
    unsetenv(givenTunablesVariable);
}

} // namespace

std::optional<QByteArray> tunablesToRestartWith(const char *tunables, const char *preload)
{
    if (preload && *preload)
        return std::nullopt;
    const QByteArray given(tunables);
    for (const QByteArray &entry : given.split(':')) {
        if (entry.startsWith(threadCacheSize))
            return std::nullopt;
    }
    return given.isEmpty() ? QByteArray(threadCacheOff) : given + ':' + QByteArray(threadCacheOff);
}

void restartWithoutThreadCaches(char **argv)
{
    if (const char *given = std::getenv(givenTunablesVariable)) {
        restoreGivenTunables(given);
        return;
    }
    // The address checker's allocator has no such caches.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const char *tunables = std::getenv("GLIBC_TUNABLES");
    const std::optional<QByteArray> restartWith = tunablesToRestartWith(tunables, std::getenv("LD_PRELOAD"));
    if (!restartWith)
        return;
    const QByteArray given = tunables ? QByteArray(givenPrefix) + tunables : QByteArrayLiteral("unset");
    setenv(givenTunablesVariable, given.constData(), 1);
    setenv("GLIBC_TUNABLES", restartWith->constData(), 1);
    execv("/proc/self/exe", argv);
    // Not restarted (no /proc, say): the app runs as it is, with the environment it was given.
    restoreGivenTunables(given);
#else
    Q_UNUSED(argv);
#endif
}

} // namespace HeapTuning
