#include "common/ThenWhileAlive.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPromise>
#include <QThread>

#include <memory>
#include <thread>

namespace {

enum class OwnerGoes { never, beforeTheWorkEnds, afterTheAnswerIsOnItsWay };

// Lets the main thread run what was handed to it.
void deliverPosted()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Ends the work on a worker thread, as background work ends: with `result`, or cancelled.
void endOnAWorker(QPromise<int> &work, bool cancelled, int result)
{
    std::thread worker([&work, cancelled, result] {
        if (cancelled)
            work.future().cancel();
        else
            work.addResult(result);
        work.finish();
    });
    worker.join();
}

} // namespace

// The work ends on a worker thread, as background work does; the continuation either runs on
// the main thread with the result or, its owner gone, is dropped, and what it held goes with it.
TEST(ThenWhileAliveTest, TheContinuationRunsOnlyWhileItsOwnerLives)
{
    const struct
    {
        const char *name;
        OwnerGoes goes;
        bool workCancelled;
        bool runs;
    } cases[] = {
        { "owner alive", OwnerGoes::never, false, true },
        { "owner gone before the work ends", OwnerGoes::beforeTheWorkEnds, false, false },
        // The work ended while the owner lived; the owner went before the main thread got to it.
        { "owner gone while the answer is on its way", OwnerGoes::afterTheAnswerIsOnItsWay, false, false },
        { "work cancelled", OwnerGoes::never, true, false },
        { "work cancelled and owner gone", OwnerGoes::beforeTheWorkEnds, true, false },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        auto owner = std::make_unique<QObject>();
        QPromise<int> work;
        work.start();
        // What the continuation is to fulfil, as a capture's classification does.
        auto downstream = std::make_shared<QPromise<int>>();
        downstream->start();
        const QFuture<int> promised = downstream->future();
        int calls = 0;
        QThread *thread = nullptr;
        const QFuture<void> continued
            = thenWhileAlive(work.future(), owner.get(), [&calls, &thread, downstream](int value) {
                  ++calls;
                  thread = QThread::currentThread();
                  downstream->addResult(value * 2);
                  downstream->finish();
              });
        downstream.reset();

        if (test.goes == OwnerGoes::beforeTheWorkEnds)
            owner.reset();
        endOnAWorker(work, test.workCancelled, 21);
        if (test.goes == OwnerGoes::afterTheAnswerIsOnItsWay)
            owner.reset();
        deliverPosted();

        EXPECT_EQ(calls, test.runs ? 1 : 0);
        EXPECT_EQ(thread, test.runs ? QCoreApplication::instance()->thread() : nullptr);
        EXPECT_TRUE(continued.isFinished());
        EXPECT_EQ(continued.isCanceled(), test.workCancelled);
        ASSERT_TRUE(promised.isFinished()) << "a dropped continuation left what it was to fulfil hanging";
        EXPECT_EQ(promised.isCanceled(), !test.runs);
        if (test.runs) {
            EXPECT_EQ(promised.result(), 42);
        }
    }
}

TEST(ThenWhileAliveTest, WorkWithoutAResultAndWorkAlreadyDone)
{
    const struct
    {
        const char *name;
        bool doneBeforehand;
        bool ownerGone;
        int calls;
    } cases[] = {
        { "finished later, owner alive", false, false, 1 },
        { "finished later, owner gone", false, true, 0 },
        // Work already done continues at once, on the caller's thread, as `then` does.
        { "already finished, owner alive", true, false, 1 },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        auto owner = std::make_unique<QObject>();
        QPromise<void> work;
        work.start();
        if (test.doneBeforehand)
            work.finish();
        int calls = 0;
        const QFuture<void> continued = thenWhileAlive(work.future(), owner.get(), [&calls] { ++calls; });
        if (test.doneBeforehand) {
            EXPECT_EQ(calls, test.calls) << "not at once";
        }
        if (test.ownerGone)
            owner.reset();
        if (!test.doneBeforehand)
            std::thread([&work] { work.finish(); }).join();
        deliverPosted();
        EXPECT_EQ(calls, test.calls);
        EXPECT_TRUE(continued.isFinished());
    }
}
