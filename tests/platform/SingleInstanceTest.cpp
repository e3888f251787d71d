#include "platform/SingleInstance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

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
