#include "platform/SingleInstance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <thread>

namespace {

// A running copy on a thread of its own, which goes away when asked.
class OtherCopy final : public QThread
{
public:
    explicit OtherCopy(QString path, bool obeys)
        : m_path(std::move(path))
        , m_obeys(obeys)
    { }
    std::atomic<bool> listening { false };
    std::atomic<int> requests { 0 };

protected:
    void run() override
    {
        SingleInstance instance(m_path);
        QObject::connect(&instance, &SingleInstance::quitRequested, [this] {
            ++requests;
            if (m_obeys)
                quit();
        });
        listening = instance.listen();
        exec();
    }

private:
    QString m_path;
    bool m_obeys;
};

TEST(SingleInstanceTest, NobodyToAskMeansNoWait)
{
    QTemporaryDir folder;
    SingleInstance instance(folder.path() + QStringLiteral("/socket"));
    EXPECT_FALSE(instance.terminateOtherInstances());
    // A socket file left by a copy that is gone is no running copy, and is taken over.
    QFile stale(folder.path() + QStringLiteral("/socket"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_FALSE(instance.terminateOtherInstances());
    EXPECT_TRUE(instance.listen());
}

TEST(SingleInstanceTest, ARunningCopyIsAskedToQuitAndWaitedForAtMostHalfASecond)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/socket");
    for (const bool obeys : { true, false }) {
        SCOPED_TRACE(obeys ? "the copy quits" : "the copy ignores the request");
        OtherCopy other(path, obeys);
        other.start();
        ASSERT_TRUE(waitUntil([&] { return other.listening.load(); }));
        SingleInstance instance(path);
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(instance.terminateOtherInstances(500));
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_TRUE(waitUntil([&] { return other.requests.load() == 1; }));
        if (obeys) {
            EXPECT_TRUE(other.wait(2000));
        } else {
            other.quit();
            other.wait(2000);
        }
        // The new copy takes the socket over.
        EXPECT_TRUE(instance.listen());
    }
}

} // namespace

TEST(SingleInstanceTest, OnlyOneCopyHoldsTheLockAndTheNextTakesItWhenTheFirstGoes)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/socket");
    auto first = std::make_unique<SingleInstance>(path);
    ASSERT_TRUE(first->claim(0));
    EXPECT_TRUE(first->hasClaimed());
    EXPECT_TRUE(first->claim(0)) << "claiming again keeps it";

    SingleInstance second(path);
    EXPECT_FALSE(second.claim(0));
    EXPECT_FALSE(second.claim(100)) << "a copy that does not go keeps the lock";
    EXPECT_FALSE(second.hasClaimed());

    // The holder goes while the second waits: the second takes over.
    QTimer::singleShot(150, [&] { first.reset(); });
    bool claimed = false;
    std::thread waiter([&] { claimed = second.claim(5000); });
    ASSERT_TRUE(waitUntil([&] { return !first; }));
    waiter.join();
    EXPECT_TRUE(claimed);

    SingleInstance third(path);
    EXPECT_FALSE(third.claim(0));
    EXPECT_EQ(QFileInfo(second.lockPath()).permissions()
            & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
        0);
}
