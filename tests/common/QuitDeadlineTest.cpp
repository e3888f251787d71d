#include "common/QuitDeadline.h"

#include "common/SerialExecutor.h"
#include "support/HeldThreadPool.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPromise>
#include <QSemaphore>
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
        bool held; // the pool and the part's thread held, the future never finished
        std::chrono::milliseconds limit;
        QStringList leftBehind;
    } rows[] = {
        { "everything ends", false, 30s, {} },
        { "a held pool, a held part and a future never finished, the deadline passed", true, 0ms,
            { QStringLiteral("%1 tasks of the pool").arg(QThreadPool::globalInstance()->maxThreadCount()),
                QStringLiteral("the part"), QStringLiteral("the future") } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        HeldThreadPool pool;
        QPromise<void> promise;
        promise.start();
        QSemaphore partHeld;
        SerialExecutor part;
        if (row.held) {
            pool.hold();
            part.run([&] { partHeld.acquire(); });
        } else {
            promise.finish();
        }
        CapturedDiagnostics diagnostics;
        QuitDeadline quit(row.limit, 0ms);
        EXPECT_EQ(quit.waitForPool(*QThreadPool::globalInstance(), QStringLiteral("the pool")), !row.held);
        part.stop();
        EXPECT_EQ(quit.waitUntilEnded(part, QStringLiteral("the part")), !row.held);
        EXPECT_EQ(
            quit.waitFor(promise.future(), QStringLiteral("the future"), quit.lastStepDeadline()), !row.held);
        EXPECT_EQ(quit.leftBehind(), row.leftBehind);
        QStringList said;
        for (const QString &what : row.leftBehind)
            said.append(
                QStringLiteral("[Quit] %1 had not ended 0 s after the quit began: left behind").arg(what));
        EXPECT_EQ(diagnostics.lines(), said);
        pool.release();
        partHeld.release();
        if (row.held)
            promise.finish();
    }
}

// The log says when the wait that gave up had to end, counted from the start of the quit: the
// steps before the last give up where the time kept for the last begins, a wait with a bound of its
// own at that bound when it comes sooner, and the last step at the end of the quit.
TEST(QuitDeadlineTest, TheLogSaysWhenEachWaitHadToGiveUp)
{
    QuitDeadline quit(1800ms, 300ms);
    const struct
    {
        const char *what;
        QDeadlineTimer deadline;
        const char *said;
    } rows[] = {
        { "a step before the last", quit.deadline(), "1.5" },
        { "a step with a longer bound of its own", quit.deadline(1600ms), "1.5" },
        { "the last step", quit.lastStepDeadline(), "1.8" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        CapturedDiagnostics diagnostics;
        EXPECT_FALSE(quit.note(false, QLatin1String(row.what), row.deadline));
        EXPECT_EQ(diagnostics.lines(),
            QStringList { QStringLiteral("[Quit] %1 had not ended %2 s after the quit began: left behind")
                              .arg(QLatin1String(row.what), QLatin1String(row.said)) });
    }
    CapturedDiagnostics diagnostics;
    EXPECT_TRUE(quit.note(true, QStringLiteral("what ended"), quit.deadline()));
    EXPECT_TRUE(diagnostics.lines().isEmpty());
    EXPECT_EQ(quit.leftBehind(),
        (QStringList { QStringLiteral("a step before the last"),
            QStringLiteral("a step with a longer bound of its own"), QStringLiteral("the last step") }));
}

} // namespace
