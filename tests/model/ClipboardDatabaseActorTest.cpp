#include "model/ClipboardDatabaseActor.h"
#include "model/SqliteConnection.h"
#include "model/StoreTestSupport.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

class ClipboardDatabaseActorTest : public StoreTest
{
protected:
    // Items from newest to oldest, one minute apart; `pinned` lists the pinned positions.
    QList<ClipboardItemPtr> makeHistory(int count, const QSet<int> &pinned = {})
    {
        QList<ClipboardItemPtr> items;
        for (int i = 0; i < count; ++i)
            items.append(insertText(QStringLiteral("item %1").arg(i),
                QDateTime::currentDateTimeUtc().addSecs(-60 * i), pinned.contains(i)));
        EXPECT_TRUE(context().save().ok);
        return items;
    }
    QStringList remainingTexts()
    {
        std::unique_ptr<ModelContext> reader = container().makeContext();
        QStringList texts;
        for (const ClipboardItemPtr &item : reader->fetch(FetchDescriptor::newestFirst()).items)
            texts.append(item->textContent().value_or(QString()));
        return texts;
    }
};

} // namespace

TEST_F(ClipboardDatabaseActorTest, PruneToLimitKeepsTheNewestAndEveryPinnedItem)
{
    const struct
    {
        const char *name;
        int count;
        QSet<int> pinned;
        qint64 limit;
        QStringList expected;
    } cases[] = {
        { "at the limit", 3, {}, 3, { "item 0", "item 1", "item 2" } },
        { "under the limit", 2, {}, 3, { "item 0", "item 1" } },
        { "limit zero keeps pins", 4, { 3 }, 0, { "item 3" } },
        { "all beyond the limit pinned", 4, { 2, 3 }, 2, { "item 0", "item 1", "item 2", "item 3" } },
        { "newest pinned counts", 5, { 0 }, 2, { "item 0", "item 1" } },
        { "old pins stay", 6, { 4 }, 2, { "item 0", "item 1", "item 4" } },
    };
    for (const auto &test : cases) {
        resetStore();
        makeHistory(test.count, test.pinned);
        ClipboardDatabaseActor actor(container());
        actor.pruneToLimit(test.limit).waitForFinished();
        EXPECT_EQ(remainingTexts(), test.expected) << test.name;
    }
}

TEST_F(ClipboardDatabaseActorTest, PruneToLimitReachesTheMainContext)
{
    const QList<ClipboardItemPtr> items = makeHistory(4);
    ClipboardDatabaseActor actor(container());
    actor.pruneToLimit(2).waitForFinished();
    ASSERT_TRUE(waitUntil([&] { return items[3]->isDeleted(); }));
    EXPECT_TRUE(items[2]->isDeleted());
    EXPECT_FALSE(items[1]->isDeleted());
    EXPECT_EQ(context().fetchCount(FetchDescriptor::newestFirst()), 2);
}

// The actor's context lives on a pool thread, which has an event dispatcher but never runs it:
// it takes in other contexts' saves before its next job, and what is posted to it meanwhile
// stays queued for good. A long run of copies leaves it one event to take them in, not one per
// save.
TEST_F(ClipboardDatabaseActorTest, SavesElsewhereLeaveTheActorsContextOneQueuedEvent)
{
    ClipboardDatabaseActor actor(container());
    actor.pruneToLimit(1000).waitForFinished();
    for (int i = 0; i < 50; ++i) {
        insertText(QStringLiteral("copy %1").arg(i));
        ASSERT_TRUE(context().save().ok);
    }
    const int queued = actor
                           .perform([](ModelContext &store) {
                               struct Counter : QObject
                               {
                                   int calls = 0;
                                   bool eventFilter(QObject *, QEvent *event) override
                                   {
                                       calls += event->type() == QEvent::MetaCall ? 1 : 0;
                                       return false;
                                   }
                               } counter;
                               store.installEventFilter(&counter);
                               QCoreApplication::sendPostedEvents(&store, QEvent::MetaCall);
                               store.removeEventFilter(&counter);
                               return counter.calls;
                           })
                           .result();
    EXPECT_EQ(queued, 1);
}

TEST_F(ClipboardDatabaseActorTest, PruneOlderThanAnswersWhetherTheUnpinnedHistoryIsGone)
{
    ClipboardDatabaseActor actor(container());
    EXPECT_FALSE(actor.pruneOlderThan(60).result()) << "empty store";

    const QDateTime now = QDateTime::currentDateTimeUtc();
    insertText(QStringLiteral("old"), now.addSecs(-7200));
    insertText(QStringLiteral("older"), now.addSecs(-9000));
    insertText(QStringLiteral("old pin"), now.addSecs(-9000), true);
    ASSERT_TRUE(context().save().ok);
    EXPECT_TRUE(actor.pruneOlderThan(3600).result());
    EXPECT_EQ(remainingTexts(), QStringList { QStringLiteral("old pin") });
    EXPECT_FALSE(actor.pruneOlderThan(3600).result()) << "only pinned items left";

    insertText(QStringLiteral("stale"), now.addSecs(-7200));
    insertText(QStringLiteral("fresh"), now);
    ASSERT_TRUE(context().save().ok);
    EXPECT_FALSE(actor.pruneOlderThan(3600).result()) << "a newer unpinned item remains";
    EXPECT_EQ(remainingTexts(), (QStringList { "fresh", "old pin" }));
}

TEST_F(ClipboardDatabaseActorTest, VacuumOnlyWhenTheFileAndItsFreeSpaceExceedTheThreshold)
{
    const qint64 t = ClipboardDatabaseActor::compactionThresholdBytes;
    const struct
    {
        qint64 fileSize, freePages, pageSize;
        bool vacuum;
    } cases[] = {
        { t, 5000, 4096, false }, // file exactly at the threshold
        { t + 1, 1280, 4096, false }, // free space exactly at the threshold
        { t + 1, 1281, 4096, true },
        { t * 4, 0, 4096, false },
        { t * 4, 1281, 4096, true },
    };
    for (const auto &test : cases)
        EXPECT_EQ(
            ClipboardDatabaseActor::shouldVacuum(test.fileSize, test.freePages, test.pageSize), test.vacuum)
            << test.fileSize << " " << test.freePages;
}

TEST_F(ClipboardDatabaseActorTest, PruningCompactsALargeStoreWithMuchFreeSpace)
{
    for (int i = 0; i < 8; ++i) {
        ClipboardItemPtr item
            = insertText(QStringLiteral("image %1").arg(i), QDateTime::currentDateTimeUtc().addSecs(-i));
        item->setMediaImageData(QByteArray(1'000'000, char('a' + i)));
    }
    ASSERT_TRUE(context().save().ok);
    ClipboardDatabaseActor actor(container());
    actor.checkpointWAL().waitForFinished();
    const qint64 before = QFileInfo(storePath()).size();
    ASSERT_GT(before, 8'000'000);

    actor.pruneToLimit(1).waitForFinished();
    // The compacted database sits in the log until the next checkpoint.
    actor.checkpointWAL().waitForFinished();
    const qint64 after = QFileInfo(storePath()).size();
    EXPECT_LT(after, 2'000'000) << "seven deleted megabytes were given back";
    EXPECT_EQ(remainingTexts(), QStringList { QStringLiteral("image 0") });
}

TEST_F(ClipboardDatabaseActorTest, FailuresPrintTheSqliteReason)
{
    insertText(QStringLiteral("x"));
    ASSERT_TRUE(context().save().ok);
    SqliteConnection blocker;
    ASSERT_TRUE(blocker.open(storePath(), SQLITE_OPEN_READWRITE));
    ASSERT_TRUE(
        blocker.exec(QStringLiteral("BEGIN IMMEDIATE; INSERT INTO StoreMetadata VALUES('lock', 'held');")));

    CapturedDiagnostics diagnostics;
    // The lock is held for good here: the maintenance gives up after its wait.
    container().setBusyTimeout(100);
    ClipboardDatabaseActor actor(container());
    actor.vacuumStore().waitForFinished();
    ASSERT_EQ(diagnostics.lines().size(), 1);
    EXPECT_EQ(diagnostics.lines().first(),
        QStringLiteral("[ClipboardDatabaseActor] VACUUM failed (5): database is locked"));

    EXPECT_EQ(ClipboardDatabaseActor::failureLine(QStringLiteral("VACUUM"), 1, nullptr),
        QStringLiteral("[ClipboardDatabaseActor] VACUUM failed (1): unknown"));
    EXPECT_EQ(ClipboardDatabaseActor::failureLine(QStringLiteral("WAL checkpoint"), 5, "busy"),
        QStringLiteral("[ClipboardDatabaseActor] WAL checkpoint failed (5): busy"));
    blocker.exec(QStringLiteral("ROLLBACK"));
}

TEST_F(ClipboardDatabaseActorTest, MaintenanceWaitsForALockHeldOnlyAMoment)
{
    makeHistory(20);
    // Another connection writes for a moment (the main context saving a copy).
    StoreLockHolder writer(storePath(), std::chrono::milliseconds(300));
    ASSERT_TRUE(writer.isLocked());
    CapturedDiagnostics diagnostics;
    ClipboardDatabaseActor actor(container());
    actor.vacuumStore().waitForFinished();
    actor.checkpointWAL().waitForFinished();
    EXPECT_TRUE(diagnostics.lines().isEmpty()) << diagnostics.lines().join(u'\n').toStdString();
    EXPECT_EQ(QFileInfo(storePath() + QStringLiteral("-wal")).size(), 0);
}

TEST_F(ClipboardDatabaseActorTest, CheckpointEmptiesTheWriteAheadLog)
{
    makeHistory(20);
    const QString wal = storePath() + QStringLiteral("-wal");
    ASSERT_GT(QFileInfo(wal).size(), 0);
    ClipboardDatabaseActor actor(container());
    actor.checkpointWAL().waitForFinished();
    EXPECT_EQ(QFileInfo(wal).size(), 0);
    EXPECT_EQ(remainingTexts().size(), 20);
}

TEST_F(ClipboardDatabaseActorTest, AMissingStoreFileIsLeftAloneSilently)
{
    CapturedDiagnostics diagnostics;
    QFile::remove(storePath());
    QFile::remove(storePath() + QStringLiteral("-wal"));
    QFile::remove(storePath() + QStringLiteral("-shm"));
    ClipboardDatabaseActor actor(container());
    actor.vacuumStore().waitForFinished();
    actor.checkpointWAL().waitForFinished();
    EXPECT_FALSE(QFile::exists(storePath())) << "maintenance never creates the store";
    EXPECT_TRUE(diagnostics.lines().isEmpty());
}
