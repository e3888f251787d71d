#include "common/SerialExecutor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSemaphore>
#include <QThread>

#include <atomic>

TEST(SerialExecutorTest, JobsRunOneAtATimeInOrderOffTheCallingThread)
{
    SerialExecutor executor;
    std::atomic<int> running { 0 };
    std::atomic<int> maxRunning { 0 };
    QList<int> order;
    QList<QFuture<int>> futures;
    for (int i = 0; i < 20; ++i) {
        futures.append(executor.run([&, i] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            QThread::usleep(200);
            order.append(i);
            --running;
            EXPECT_NE(QThread::currentThread(), QCoreApplication::instance()->thread());
            return i * 2;
        }));
    }
    // Waiting on the last future first must not pull that job onto this thread.
    EXPECT_EQ(futures.last().result(), 38);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(futures[i].result(), i * 2);
    EXPECT_EQ(maxRunning.load(), 1);
    QList<int> expected;
    for (int i = 0; i < 20; ++i)
        expected.append(i);
    EXPECT_EQ(order, expected);
}

TEST(SerialExecutorTest, VoidJobsCompleteTheirFutures)
{
    SerialExecutor executor;
    bool ran = false;
    QFuture<void> future = executor.run([&] { ran = true; });
    future.waitForFinished();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(future.isFinished());
}

TEST(SerialExecutorTest, WaitingForIdleKeepsTheThreadForObjectsLivingThere)
{
    SerialExecutor executor;
    QPointer<QThread> thread;
    QAtomicInt done = 0;
    executor.run([&] {
        QThread::usleep(2000);
        thread = QThread::currentThread();
        done = 1;
    });
    executor.waitForIdle();
    EXPECT_EQ(done.loadRelaxed(), 1) << "returned before the job ended";
    ASSERT_FALSE(thread.isNull()) << "the strand's thread was taken down";
    EXPECT_EQ(executor.run([] { return QThread::currentThread(); }).result(), thread.data());
}

TEST(SerialExecutorTest, AStoppedExecutorFinishesWhatCameBeforeAndStartsNothingAfter)
{
    SerialExecutor executor;
    std::atomic<bool> before { false };
    std::atomic<bool> after { false };
    std::atomic<bool> continued { false };
    QFuture<int> earlier = executor.run([&] {
        QThread::msleep(50);
        before = true;
        return 1;
    });
    executor.stop();
    EXPECT_TRUE(executor.waitUntilEnded(QDeadlineTimer(QDeadlineTimer::Forever)));
    EXPECT_TRUE(before) << "the end waited for is that of the job under way";
    EXPECT_EQ(earlier.result(), 1);

    QFuture<void> refused = executor.run([&] { after = true; }).then([&] { continued = true; });
    refused.waitForFinished();
    EXPECT_TRUE(refused.isCanceled());
    EXPECT_FALSE(after);
    EXPECT_FALSE(continued) << "what would have used the result does not run either";
}

TEST(SerialExecutorTest, AJobThatDoesNotEndIsLeftByTheDeadlineOfTheWaitForTheEnd)
{
    SerialExecutor executor;
    QSemaphore held;
    QFuture<int> stuck = executor.run([&] {
        held.acquire();
        return 1;
    });
    // An expired deadline: the wait gives up at once instead of waiting for the job.
    executor.stop();
    EXPECT_FALSE(executor.waitUntilEnded(QDeadlineTimer(0)));
    EXPECT_FALSE(executor.waitForIdle(QDeadlineTimer(0)));
    EXPECT_TRUE(executor.run([] { return 2; }).isCanceled()) << "stopped all the same";
    held.release();
    EXPECT_EQ(stuck.result(), 1);
}
