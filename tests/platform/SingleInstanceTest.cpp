#include "platform/SingleInstance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <thread>

namespace {

// A running copy on a thread of its own, which goes away when asked.
class OtherCopy final : public QThread
{
public:
    // holdsLock: as the app's copies do (they listen only once they hold it). An obedient copy
    // goes at the request that makes requestsToGo, leaveDelayMs after it (the app saves and
    // checkpoints its store first).
    explicit OtherCopy(QString path, bool obeys, bool holdsLock = false, bool listens = true,
        int requestsToGo = 1, int leaveDelayMs = 0)
        : m_path(std::move(path))
        , m_obeys(obeys)
        , m_holdsLock(holdsLock)
        , m_listens(listens)
        , m_requestsToGo(requestsToGo)
        , m_leaveDelayMs(leaveDelayMs)
    { }
    std::atomic<bool> listening { false };
    std::atomic<bool> ready { false };
    std::atomic<int> requests { 0 };
    std::atomic<int> settingsRequests { 0 };

protected:
    void run() override
    {
        SingleInstance instance(m_path);
        QObject::connect(&instance, &SingleInstance::quitRequested, [this] {
            if (++requests >= m_requestsToGo && m_obeys)
                QTimer::singleShot(m_leaveDelayMs, [this] { quit(); });
        });
        QObject::connect(&instance, &SingleInstance::settingsRequested, [this] { ++settingsRequests; });
        if (m_holdsLock)
            instance.claim(0);
        if (m_listens)
            listening = instance.listen();
        ready = true;
        exec();
    }

private:
    QString m_path;
    bool m_obeys;
    bool m_holdsLock;
    bool m_listens;
    int m_requestsToGo;
    int m_leaveDelayMs;
};

// A running copy of an older kind, which holds the lock and takes connections but does not know
// the settings request: it ignores it, or goes away at it.
class OlderCopy final : public QThread
{
public:
    OlderCopy(QString path, bool leavesAtTheRequest)
        : m_path(std::move(path))
        , m_leaves(leavesAtTheRequest)
    { }
    std::atomic<bool> ready { false };

protected:
    void run() override
    {
        auto lock = std::make_unique<SingleInstance>(m_path);
        lock->claim(0);
        QLocalServer server;
        QLocalServer::removeServer(m_path);
        server.listen(m_path);
        QObject::connect(&server, &QLocalServer::newConnection, [&] {
            QLocalSocket *client = server.nextPendingConnection();
            QObject::connect(client, &QLocalSocket::readyRead, [&, client] {
                client->readAll();
                if (!m_leaves)
                    return;
                // The lock goes first, as at the end of a copy's process.
                lock.reset();
                client->abort();
                quit();
            });
        });
        ready = true;
        exec();
    }

private:
    QString m_path;
    bool m_leaves;
};

// Where a copy's socket is, and its lock beside it: in a folder that is missing, no lock can be
// made (as in one that cannot be written).
QString socketIn(const QTemporaryDir &folder, bool lockCanBeMade)
{
    return folder.path() + (lockCanBeMade ? QStringLiteral("/socket") : QStringLiteral("/missing/socket"));
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

TEST(SingleInstanceTest, ACopyTakesOverFromTheRunningOneOrLeavesAtOnceWhenAnotherRuns)
{
    const SingleInstance::Waits waits { 300, 600 };
    struct Case
    {
        const char *name;
        bool otherCopy = false;
        bool staleSocketFile = false;
        bool otherListens = true;
        bool otherObeys = true;
        bool runs = true;
        int askedTimes = 0;
        bool lockCanBeMade = true;
    };
    const Case cases[] = {
        { "no other copy: this one runs at once", false },
        { "a socket file left by a copy that is gone is no running copy: this one runs", false, true },
        { "a running copy is asked and goes: this one runs", true, false, true, true, true, 1 },
        { "a running copy that ignores the request stays: this one leaves", true, false, true, false, false,
            1 },
        { "a copy that holds the lock and never listens stays: this one leaves", true, false, false, true,
            false, 0 },
        // Nobody holds a lock where none can be made.
        { "no lock can be made: this one runs unchecked", false, false, true, true, true, 0, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString path = socketIn(folder, c.lockCanBeMade);
        if (c.staleSocketFile) {
            QFile stale(path);
            ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        }
        std::unique_ptr<OtherCopy> other;
        if (c.otherCopy) {
            other = std::make_unique<OtherCopy>(path, c.otherObeys, true, c.otherListens);
            other->start();
            ASSERT_TRUE(waitUntil([&] { return other->ready.load(); }));
        }
        SingleInstance instance(path);
        EXPECT_EQ(instance.takeOver(waits), c.runs);
        EXPECT_EQ(instance.runs(), c.runs);
        EXPECT_EQ(instance.hasClaimed(), c.runs && c.lockCanBeMade);
        EXPECT_EQ(instance.isListening(), c.runs && c.lockCanBeMade);
        EXPECT_EQ(instance.lockProblem().isEmpty(), c.lockCanBeMade) << instance.lockProblem().toStdString();
        if (!c.lockCanBeMade) {
            EXPECT_TRUE(instance.lockProblem().contains(instance.lockPath()));
            EXPECT_TRUE(instance.lockProblem().contains(QLatin1String("No such file or directory")));
        }
        if (other) {
            EXPECT_EQ(other->requests.load(), c.askedTimes);
            other->quit();
            EXPECT_TRUE(other->wait(2000));
        }
    }
}

TEST(SingleInstanceTest, ARunningCopyThatTakesAWhileToLeaveIsWaitedFor)
{
    // A large write-ahead log to checkpoint or a slow disk: the new copy must not give up on
    // the old one, or both end and nothing records the clipboard.
    for (const int leaveDelayMs : { 300, 500 }) {
        SCOPED_TRACE(leaveDelayMs);
        QTemporaryDir folder;
        const QString path = folder.path() + QStringLiteral("/socket");
        OtherCopy running(path, true, true, true, 1, leaveDelayMs);
        running.start();
        ASSERT_TRUE(waitUntil([&] { return running.listening.load(); }));
        SingleInstance instance(path);
        EXPECT_TRUE(instance.takeOver());
        EXPECT_TRUE(instance.isListening());
        EXPECT_TRUE(running.wait(5000));
    }
}

TEST(SingleInstanceTest, CopiesStartedBesideEachOtherEndAsOneWithoutWaitingOutTheirPatience)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/socket");
    // It goes once all three new copies have asked it to: they all wait for it together.
    OtherCopy running(path, true, true, true, 3);
    running.start();
    ASSERT_TRUE(waitUntil([&] { return running.listening.load(); }));
    // One of them takes its place; the other two see that and leave instead of waiting out
    // how long a copy may take to go.
    const SingleInstance::Waits patient { 10'000, 10'000 };
    std::atomic<int> runs { 0 };
    std::atomic<int> left { 0 };
    std::vector<std::unique_ptr<SingleInstance>> instances(3);
    std::vector<std::unique_ptr<QThread>> starts;
    QElapsedTimer clock;
    clock.start();
    for (auto &instance : instances) {
        starts.emplace_back(QThread::create([&] {
            instance = std::make_unique<SingleInstance>(path);
            (instance->takeOver(patient) ? runs : left)++;
        }));
        starts.back()->start();
    }
    for (const auto &start : starts)
        ASSERT_TRUE(start->wait(20'000));
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(left.load(), 2);
    EXPECT_LT(clock.elapsed(), 5'000) << "a copy waited out its patience";
    EXPECT_EQ(running.requests.load(), 3);
    EXPECT_TRUE(running.wait(2000));
}

// tindlewick --settings: the running copy is asked and keeps running while this one leaves; with
// none running this one runs; a copy that never answers is not waited for longer than it may
// take.
TEST(SingleInstanceTest, ACopyAsksTheRunningOneToOpenItsSettingsOrRunsItself)
{
    const SingleInstance::Waits waits { 300, 600 };
    using enum SingleInstance::SettingsRequest;
    enum class Other { none, running, silentHolder, olderIgnoring, olderLeaving, noLockCanBeMade };
    const struct
    {
        const char *name;
        Other other;
        SingleInstance::SettingsRequest answer;
    } cases[] = {
        { "no other copy: this one runs", Other::none, thisCopyRuns },
        { "a running copy opens its settings and stays", Other::running, delivered },
        { "a copy that holds the lock and never listens", Other::silentHolder, unanswered },
        { "a copy that does not know the request", Other::olderIgnoring, unanswered },
        { "a copy that goes instead of answering: this one runs", Other::olderLeaving, thisCopyRuns },
        { "no lock can be made: this one runs unchecked", Other::noLockCanBeMade, thisCopyRuns },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const bool lockCanBeMade = c.other != Other::noLockCanBeMade;
        const QString path = socketIn(folder, lockCanBeMade);
        std::unique_ptr<OtherCopy> other;
        std::unique_ptr<OlderCopy> older;
        if (c.other == Other::running || c.other == Other::silentHolder) {
            other = std::make_unique<OtherCopy>(path, true, true, c.other == Other::running);
            other->start();
            ASSERT_TRUE(waitUntil([&] { return other->ready.load(); }));
        } else if (c.other != Other::none && lockCanBeMade) {
            older = std::make_unique<OlderCopy>(path, c.other == Other::olderLeaving);
            older->start();
            ASSERT_TRUE(waitUntil([&] { return older->ready.load(); }));
        }
        SingleInstance instance(path);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(instance.askToOpenSettings(waits), c.answer);
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_EQ(instance.runs(), c.answer == thisCopyRuns);
        EXPECT_EQ(instance.hasClaimed(), c.answer == thisCopyRuns && lockCanBeMade);
        EXPECT_EQ(instance.isListening(), c.answer == thisCopyRuns && lockCanBeMade);
        if (other) {
            // It opens the window after it answered.
            if (c.answer == delivered) {
                EXPECT_TRUE(waitUntil([&] { return other->settingsRequests.load() > 0; }));
            }
            EXPECT_TRUE(other->isRunning());
            other->quit();
            EXPECT_TRUE(other->wait(2000));
            // Counted once its thread has ended, so nothing can arrive after the look.
            EXPECT_EQ(other->settingsRequests.load(), c.answer == delivered ? 1 : 0);
            EXPECT_EQ(other->requests.load(), 0) << "the running copy was asked to quit";
        }
        if (older) {
            older->quit();
            EXPECT_TRUE(older->wait(2000));
        }
    }
}
