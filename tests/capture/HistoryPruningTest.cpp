// The history's bounds at start and over time: the count limit and the retention.
#include "CaptureTestSupport.h"

namespace {

class HistoryPruningTest : public CaptureTest
{
protected:
    void fill(int unpinned, int pinned, int minutesApart = 1)
    {
        int minutes = 0;
        for (int i = 0; i < unpinned; ++i)
            storeItem(ClipboardItemType::text, { .text = QStringLiteral("item %1").arg(i) }, false,
                60 * minutesApart * minutes++);
        for (int i = 0; i < pinned; ++i)
            storeItem(ClipboardItemType::text, { .text = QStringLiteral("pinned %1").arg(i) }, true,
                60 * minutesApart * minutes++);
    }
    int storedCount()
    {
        std::unique_ptr<ModelContext> reader = container().makeContext();
        return reader->fetchCount(FetchDescriptor::newestFirst());
    }
};

} // namespace

TEST_F(HistoryPruningTest, TheLimitHoldsAtStart)
{
    const struct
    {
        const char *name;
        int unpinned;
        int pinned;
        int expected;
    } cases[] = {
        { "80 unpinned, limit 50", 80, 0, 50 },
        { "60 pinned stay whole", 0, 60, 60 },
        { "under the limit", 20, 5, 25 },
    };
    for (const auto &test : cases) {
        resetCapture();
        m_settings->setHistoryLimit(50);
        fill(test.unpinned, test.pinned);
        m_monitor->enforceHistoryLimit().waitForFinished();
        EXPECT_EQ(storedCount(), test.expected) << test.name;
    }
}

TEST_F(HistoryPruningTest, OldItemsGoAndThePanelSizeIsForgottenWhenTheHistoryEmpties)
{
    const QString panelSize = QStringLiteral("ClipboardPanelSize");
    const struct
    {
        const char *name;
        QList<int> unpinnedAgesMinutes;
        QList<int> pinnedAgesMinutes;
        int remaining;
        bool sizeForgotten;
    } cases[] = {
        { "all unpinned too old", { 31, 45 }, { 90 }, 1, true },
        { "a newer item stays", { 31, 5 }, {}, 1, false },
        { "nothing too old", { 5 }, {}, 1, false },
        { "only pinned items", {}, { 120 }, 1, false },
    };
    for (const auto &test : cases) {
        resetCapture();
        m_defaults->setString(panelSize, QStringLiteral("{400, 500}"));
        for (int age : test.unpinnedAgesMinutes)
            storeItem(
                ClipboardItemType::text, { .text = QStringLiteral("%1 minutes").arg(age) }, false, age * 60);
        for (int age : test.pinnedAgesMinutes)
            storeItem(
                ClipboardItemType::text, { .text = QStringLiteral("pinned %1").arg(age) }, true, age * 60);
        QFuture<void> pruned = m_monitor->pruneStaleHistory(AppSettings::HistoryRetention::thirtyMinutes);
        ASSERT_TRUE(waitUntil([&] { return pruned.isFinished(); })) << test.name;
        EXPECT_EQ(storedCount(), test.remaining) << test.name;
        EXPECT_EQ(m_defaults->contains(panelSize), !test.sizeForgotten) << test.name;
    }
}

TEST_F(HistoryPruningTest, StartingPrunesByCountAndAge)
{
    m_settings->setHistoryLimit(50);
    m_settings->setHistoryRetention(AppSettings::HistoryRetention::eightHours);
    // 60 items a minute apart and 5 nine hours old.
    fill(60, 0);
    for (int i = 0; i < 5; ++i)
        storeItem(ClipboardItemType::text, { .text = QStringLiteral("stale %1").arg(i) }, false, 9 * 3600);
    m_monitor->startMonitoring();
    m_monitor->databaseActor().waitForIdle();
    ASSERT_TRUE(waitUntil([&] { return storedCount() == 50; }));
    std::unique_ptr<ModelContext> reader = container().makeContext();
    for (const ClipboardItemPtr &item : reader->fetch(FetchDescriptor::newestFirst()).items)
        EXPECT_FALSE(item->textContent()->startsWith(u"stale"));
}
