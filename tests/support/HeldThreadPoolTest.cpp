#include "support/HeldThreadPool.h"

#include <QThreadPool>
#include <gtest/gtest.h>

namespace {

// A holder that goes right after releasing the pool leaves no task behind: a task just woken
// may still be inside its wait when the holder goes, and must not find the holder's state gone
// (it then waited for ever, or crashed, and every later hold of the pool waited for it).
TEST(HeldThreadPoolTest, AHolderGoneRightAfterReleaseLeavesThePoolFree)
{
    for (int round = 0; round < 2000; ++round) {
        HeldThreadPool pool;
        pool.hold();
        pool.release();
    }
    EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(10'000));
}

} // namespace
