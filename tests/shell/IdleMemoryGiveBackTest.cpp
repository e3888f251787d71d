#include "shell/IdleMemoryGiveBack.h"

#include "capture/ClipboardMonitor.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/FetchDescriptor.h"
#include "model/StoreSchemaSql.h"
#include "shell/AppDelegateTestSupport.h"
#include "support/ManualClock.h"
#include "support/MemoryMeasurement.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>

#include <functional>

#include <sqlite3.h>

namespace {

// The process's resident anonymous memory (its heaps, not its files), from /proc/self/status.
qint64 residentAnonymousBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

class IdleMemoryGiveBackTest : public AppDelegateTestBase
{
protected:
    void SetUp() override
    {
        if (!memoryIsMeasurable())
            GTEST_SKIP() << "the sanitizer's allocator gives no freed memory back";
    }

    // Waits, on the delegate's clock, until the app is idle and has given its memory back.
    bool gaveBackOnceIdle()
    {
        QSignalSpy gaveBack(delegate->memoryGiveBack(), &IdleMemoryGiveBack::gaveBack);
        QCoreApplication::processEvents();
        clock.advance(IdleMemoryGiveBack::idleDelay);
        return gaveBack.count() > 0 || gaveBack.wait(20000);
    }

    // Saves `count` texts of a kilobyte each through a connection of its own, every
    // `pinnedEvery`th of them pinned, the oldest too.
    bool storeKilobyteTexts(int count, int pinnedEvery)
    {
        std::unique_ptr<ModelContext> writer = container().makeContext();
        const QString kilobyte = QString(1000, QLatin1Char('x'));
        for (int i = 0; i < count; ++i) {
            ClipboardItemPtr item = ClipboardItem::create(
                ClipboardItemType::text, { .text = QStringLiteral("%1 %2").arg(i).arg(kilobyte) });
            item->setIsPinned(i % pinnedEvery == 0);
            writer->insert(item);
        }
        return writer->save().ok;
    }

    // What the store actor's connection still holds of the other connections' saves.
    qsizetype savesTheActorHasNotTakenIn()
    {
        return delegate->clipboardMonitor()
            ->databaseActor()
            .perform([](ModelContext &store) { return store.pendingStoreChangeCount(); })
            .result();
    }
};

// 5,000 items of a kilobyte each, every 50th of them pinned (the oldest too), are loaded in the
// main context as the panel's list holds them, and all but the pins are deleted: the pins
// stay where they were, between the pages the others took, which the C library keeps for
// itself unless asked. Once the app has been idle for a moment that memory is the system's
// again, whoever deleted the items, and the store's other connection keeps no list of them.
TEST_F(IdleMemoryGiveBackTest, ABulkDeletionsMemoryGoesBackOnceTheAppIsIdle)
{
    struct Case
    {
        const char *name;
        std::function<void(AppDelegate &, ModelContext &, const QList<ClipboardItemPtr> &)> deleteUnpinned;
    };
    const Case cases[] = {
        { "cleared in the panel",
            [](AppDelegate &, ModelContext &main, const QList<ClipboardItemPtr> &items) {
                for (const ClipboardItemPtr &item : items) {
                    if (!item->isPinned())
                        main.remove(item);
                }
                ASSERT_TRUE(main.save().ok);
            } },
        { "pruned by the capture",
            [](AppDelegate &app, ModelContext &main, const QList<ClipboardItemPtr> &) {
                app.clipboardMonitor()->databaseActor().pruneToLimit(0).waitForFinished();
                main.processPendingStoreChanges();
            } },
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        resetStore();
        ASSERT_TRUE(storeKilobyteTexts(5000, 50));
        ModelContext &main = *container().mainContext();
        main.processPendingStoreChanges();
        settings.setHistoryLimit(5000);
        createDelegate();
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(gaveBackOnceIdle()) << "after the start-up";
        const qint64 before = residentAnonymousBytes();
        QList<ClipboardItemPtr> items = main.fetch(FetchDescriptor::newestFirst()).items;
        ASSERT_EQ(items.size(), 5000);
        for (const ClipboardItemPtr &item : std::as_const(items))
            (void)item->searchableText();
        const qint64 loaded = residentAnonymousBytes();
        ASSERT_GT(loaded - before, 10'000'000)
            << "the items took less than their texts: the memory was not the system's before";

        test.deleteUnpinned(*delegate, main, items);
        items.clear();
        ASSERT_EQ(main.fetchCount(FetchDescriptor()), 100);
        ASSERT_TRUE(gaveBackOnceIdle()) << "after the deletion";
        EXPECT_EQ(savesTheActorHasNotTakenIn(), 0);
        EXPECT_LT(residentAnonymousBytes() - before, (loaded - before) / 4)
            << "before " << before << ", loaded " << loaded;
        delegate.reset();
    }
}

// When the memory goes back: a second after the last ask, so that a burst of copies or
// deletions pays for it once, and not for a deletion of a few items; every ten seconds while
// the asks go on without a pause.
class IdleMemoryGiveBackTimingTest : public StoreTest
{
protected:
    enum class Ask { none, plain, deleted99, deleted100 };
    struct Step
    {
        int atMs; // the clock moves on to this time first
        int giveBacksSoFar; // then this many give-backs have happened
        Ask ask; // then this is asked
    };
    // The steps of each part in turn.
    static std::vector<Step> concat(std::initializer_list<std::vector<Step>> parts)
    {
        std::vector<Step> steps;
        for (const std::vector<Step> &part : parts)
            steps.insert(steps.end(), part.begin(), part.end());
        return steps;
    }
    // An ask every 600 ms from `from` to `to`, with that many give-backs before each.
    static std::vector<Step> asksEvery600Ms(int from, int to, int giveBacksSoFar)
    {
        std::vector<Step> steps;
        for (int ms = from; ms <= to; ms += 600)
            steps.push_back({ ms, giveBacksSoFar, Ask::plain });
        return steps;
    }
};

TEST_F(IdleMemoryGiveBackTimingTest, TheMemoryGoesBackASecondAfterTheLastAskAndNotForAFewDeletions)
{
    using std::chrono::milliseconds;
    struct Case
    {
        const char *name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        { "an ask",
            { { 0, 0, Ask::plain }, { 999, 0, Ask::none }, { 1000, 1, Ask::none }, { 9000, 1, Ask::none } } },
        { "asked again before it was due",
            { { 0, 0, Ask::plain }, { 600, 0, Ask::plain }, { 1599, 0, Ask::none },
                { 1600, 1, Ask::none } } },
        { "asked again once it gave back",
            { { 0, 0, Ask::plain }, { 1000, 1, Ask::plain }, { 1999, 1, Ask::none },
                { 2000, 2, Ask::none } } },
        { "99 items deleted", { { 0, 0, Ask::deleted99 }, { 9000, 0, Ask::none } } },
        { "100 items deleted", { { 0, 0, Ask::deleted100 }, { 999, 0, Ask::none }, { 1000, 1, Ask::none } } },
        { "asked every 0.6 s for 20 s",
            concat(
                { asksEvery600Ms(0, 9600, 0), { { 9999, 0, Ask::none } }, asksEvery600Ms(10'000, 19'600, 1),
                    { { 19'999, 1, Ask::none }, { 20'000, 2, Ask::none }, { 30'000, 2, Ask::none } } }) },
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        ManualClock clock;
        IdleMemoryGiveBack giveBack(clock, *container().mainContext(), nullptr);
        QSignalSpy gaveBack(&giveBack, &IdleMemoryGiveBack::gaveBack);
        int now = 0;
        for (const Step &step : test.steps) {
            clock.advance(milliseconds(step.atMs - now));
            now = step.atMs;
            EXPECT_EQ(gaveBack.count(), step.giveBacksSoFar) << "at " << now << " ms";
            if (step.ask == Ask::plain)
                giveBack.request();
            else if (step.ask != Ask::none)
                giveBack.itemsDeleted(step.ask == Ask::deleted99 ? 99 : 100);
        }
    }
}

// What the main connection keeps of the store's pages (the panel's list was read through it) goes
// back too.
TEST_F(IdleMemoryGiveBackTimingTest, TheMainConnectionsCachedPagesOfTheStoreGoBack)
{
    {
        std::unique_ptr<ModelContext> writer = container().makeContext();
        for (int i = 0; i < 200; ++i) {
            writer->insert(ClipboardItem::create(ClipboardItemType::text,
                { .text = QStringLiteral("%1 %2").arg(i).arg(QString(2000, u'x')) }));
        }
        ASSERT_TRUE(writer->save().ok);
    }
    ModelContext &main = *container().mainContext();
    // Some 400 KB of pages read: the main connection's cache holds them up to its bound.
    ASSERT_EQ(main.fetch(FetchDescriptor::newestFirst()).items.size(), 200);
    const qint64 cached = sqlite3_memory_used();
    ManualClock clock;
    IdleMemoryGiveBack giveBack(clock, main, nullptr);
    giveBack.request();
    clock.advance(IdleMemoryGiveBack::idleDelay);
    EXPECT_LT(sqlite3_memory_used(), cached - StoreSchemaSql::pageCacheBytes * 3 / 4)
        << "SQLite held " << cached << " bytes";
}

} // namespace
