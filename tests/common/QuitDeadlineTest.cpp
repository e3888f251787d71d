#include "common/QuitDeadline.h"

#include "support/HeldThreadPool.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPromise>
#include <QThreadPool>

using namespace std::chrono_literals;

namespace {

// Work that does not end by the quit's deadline is left behind, and the log names it; work that
// ends is waited for. A quit whose deadline has passed gives up at once.
TEST(QuitDeadlineTest, WhatHasNotEndedByTheDeadlineIsLeftBehindAndNamed)
{
    const struct
    {
        const char *name;
        bool held; // the pool held, the future never finished
        std::chrono::milliseconds limit;
        QStringList leftBehind;
    } rows[] = {
        { "everything ends", false, 30s, {} },
        { "a held pool and a future never finished, the deadline passed", true, 0ms,
            { QStringLiteral("%1 tasks of the pool").arg(QThreadPool::globalInstance()->maxThreadCount()),
                QStringLiteral("the future") } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        HeldThreadPool pool;
        QPromise<void> promise;
        promise.start();
        if (row.held) {
            pool.hold();
        } else {
            promise.finish();
        }
        CapturedDiagnostics diagnostics;
        QuitDeadline quit(row.limit, 0ms);
        EXPECT_EQ(quit.waitForPool(*QThreadPool::globalInstance(), QStringLiteral("the pool")), !row.held);
        EXPECT_EQ(
            quit.waitFor(promise.future(), QStringLiteral("the future"), quit.lastStepDeadline()), !row.held);
        EXPECT_EQ(quit.leftBehind(), row.leftBehind);
        QStringList said;
        for (const QString &what : row.leftBehind)
            said.append(
                QStringLiteral("[Quit] %1 had not ended within the quit's 0 s: left behind").arg(what));
        EXPECT_EQ(diagnostics.lines(), said);
        pool.release();
        if (row.held)
            promise.finish();
    }
}

} // namespace
