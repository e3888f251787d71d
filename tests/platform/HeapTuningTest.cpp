#include "platform/HeapTuning.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(HeapTuningTest, RestartsWithTheThreadCachesOffUnlessTheirSizeOrTheAllocatorIsChosen)
{
    const struct
    {
        const char *name;
        const char *tunables;
        const char *preload;
        std::optional<QByteArray> restartWith;
    } cases[] = {
        { "nothing set", nullptr, nullptr, "glibc.malloc.tcache_count=0" },
        { "set empty", "", "", "glibc.malloc.tcache_count=0" },
        { "other tunables kept", "glibc.malloc.mmap_threshold=65536", nullptr,
            "glibc.malloc.mmap_threshold=65536:glibc.malloc.tcache_count=0" },
        { "a size the user chose", "glibc.malloc.tcache_count=7", nullptr, std::nullopt },
        { "a size among others", "glibc.malloc.arena_max=1:glibc.malloc.tcache_count=3", nullptr,
            std::nullopt },
        { "a similar name only", "glibc.malloc.tcache_count_max=3", nullptr,
            "glibc.malloc.tcache_count_max=3:glibc.malloc.tcache_count=0" },
        { "a profiler preloaded", nullptr, "/usr/lib/heaptrack/libheaptrack_preload.so", std::nullopt },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(HeapTuning::tunablesToRestartWith(test.tunables, test.preload), test.restartWith);
    }
}

// Once restarted, the app hands the programs it starts the environment it was given.
TEST(HeapTuningTest, TheRestartedAppPutsTheGivenTunablesBack)
{
    const char *before = std::getenv("GLIBC_TUNABLES");
    const std::optional<QByteArray> saved = before ? std::optional<QByteArray>(before) : std::nullopt;
    const struct
    {
        const char *given;
        const char *expected;
    } cases[] = {
        { "unset", nullptr },
        { "set:glibc.malloc.mmap_threshold=65536", "glibc.malloc.mmap_threshold=65536" },
        { "set:", "" },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.given);
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
        setenv("TINDLEWICK_GIVEN_GLIBC_TUNABLES", test.given, 1);
        // Marked as restarted, so this only restores: the test process is never replaced.
        ASSERT_NE(std::getenv("TINDLEWICK_GIVEN_GLIBC_TUNABLES"), nullptr);
        char program[] = "tindlewick_tests";
        char *argv[] = { program, nullptr };
        HeapTuning::restartWithoutThreadCaches(argv);
        const char *now = std::getenv("GLIBC_TUNABLES");
        if (test.expected)
            EXPECT_STREQ(now, test.expected);
        else
            EXPECT_EQ(now, nullptr);
        EXPECT_EQ(std::getenv("TINDLEWICK_GIVEN_GLIBC_TUNABLES"), nullptr);
    }
    if (saved)
        setenv("GLIBC_TUNABLES", saved->constData(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}
