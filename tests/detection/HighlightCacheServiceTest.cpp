#include "detection/HighlightCacheService.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightedLinesBlob.h"
#include "detection/highlight/Highlight.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "platform/MemoryPressureMonitor.h"
#include "platform/UserDefaults.h"
#include "support/ManualClock.h"
#include "support/OlderHighlightBlob.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace std::chrono_literals;

namespace {

using Key = HighlightCacheService::CacheKey;
using Priority = HighlightCacheService::Priority;

const QString preview = HighlightCacheService::previewContext();

AttributedText coloured(const QString &text, QColor colour = QColor(0xa7, 0x1d, 0x5d))
{
    QTextCharFormat format;
    format.setForeground(colour);
    return { text, { { 0, int(text.size()), format } } };
}

Key key(int line, const QUuid &item = QUuid(), bool isDark = false,
    const QString &theme = QStringLiteral("GitHub"), const QString &context = QStringLiteral("preview"))
{
    return { item.isNull() ? QUuid(0x1111, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) : item, line, isDark, theme,
        context };
}

QString snippet(int lines)
{
    QStringList text;
    for (int i = 0; i < lines; ++i)
        text.append(
            i % 5 == 4 ? QStringLiteral("    ") : QStringLiteral("    def f%1(x): return x + %1").arg(i));
    return text.join(u'\n');
}

class HighlightCacheServiceTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        defaults = std::make_unique<UserDefaults>(m_folder->filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<AppSettings>(*defaults);
        cache = std::make_unique<HighlightCacheService>();
        cache->setSettings(settings.get());
        cache->setClock(clock);
    }
    void TearDown() override
    {
        cache.reset();
        StoreTest::TearDown();
    }

    ClipboardItemPtr storedCode(const QString &text)
    {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::code, { .text = text });
        context().insert(item);
        EXPECT_TRUE(context().save().ok);
        return item;
    }

    bool waitForIdle()
    {
        return waitUntil([this] { return cache->isIdle(); }, std::chrono::seconds(30));
    }

    // The lines persisted in the item as the store has them (read by another context).
    std::optional<HighlightedLinesBlob::Lines> storedLines(const ClipboardItem &item)
    {
        std::unique_ptr<ModelContext> reader = container().makeContext();
        const ClipboardItemPtr stored = reader->model(item.persistentModelID());
        if (!stored || !stored->highlightedLinesData())
            return std::nullopt;
        return HighlightedLinesBlob::decode(*stored->highlightedLinesData());
    }

    ManualClock clock;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<HighlightCacheService> cache;
};

TEST_F(HighlightCacheServiceTest, CapacityFollowsTheHistoryLimit)
{
    struct Case
    {
        qint64 historyLimit;
        qsizetype capacity;
    };
    for (const Case &c : { Case { 50, 2000 }, Case { 100, 2000 }, Case { 101, 2020 }, Case { 200, 4000 },
             Case { 1, 2000 }, Case { 0, 2000 }, Case { -7, 2000 } }) {
        settings->setHistoryLimit(c.historyLimit);
        EXPECT_EQ(cache->capacity(), c.capacity) << c.historyLimit;
    }
}

TEST_F(HighlightCacheServiceTest, TheOldestLinesGoBeyondTheCapacity)
{
    struct Case
    {
        qint64 historyLimit;
        int stored;
        qsizetype kept;
    };
    for (const Case &c : { Case { 50, 2001, 2000 }, Case { 200, 4001, 4000 }, Case { 200, 2001, 2001 } }) {
        SCOPED_TRACE(c.historyLimit);
        cache->clearMemoryCache();
        settings->setHistoryLimit(c.historyLimit);
        for (int i = 0; i < c.stored; ++i)
            cache->store(coloured(QString::number(i)), key(i));
        EXPECT_EQ(cache->cacheCount(), c.kept);
        const QList<Key> order = cache->cacheOrder();
        ASSERT_EQ(order.size(), c.kept);
        EXPECT_EQ(order.first().lineIndex, c.stored - c.kept);
        EXPECT_EQ(order.last().lineIndex, c.stored - 1);
    }
}

TEST_F(HighlightCacheServiceTest, StoringAgainMakesTheNewestReadingDoesNot)
{
    const QUuid item = QUuid::createUuid();
    cache->store(coloured(QStringLiteral("a")), key(0, item));
    cache->store(coloured(QStringLiteral("b")), key(1, item));
    cache->store(coloured(QStringLiteral("c")), key(2, item));
    ClipboardItemPtr shown = storedCode(QStringLiteral("a"));

    // Stored again: replaced, newest, not counted twice.
    cache->store(coloured(QStringLiteral("A")), key(0, item));
    EXPECT_EQ(cache->cacheCount(), 3);
    EXPECT_EQ(cache->cacheOrder(), (QList<Key> { key(1, item), key(2, item), key(0, item) }));

    // Read: found, order unchanged, so it is still the first to go.
    const Key readKey = key(1, shown->id());
    cache->store(coloured(QStringLiteral("b")), readKey);
    const QList<Key> before = cache->cacheOrder();
    EXPECT_EQ(cache->cachedHighlight(*shown, 1, false, HighlightTheme::github, preview),
        coloured(QStringLiteral("b")));
    EXPECT_EQ(cache->cacheOrder(), before);
    cache->trimCache(); // 4 → the newest 2
    EXPECT_EQ(cache->cacheOrder(), (QList<Key> { key(0, item), readKey }));
}

TEST_F(HighlightCacheServiceTest, TrimKeepsTheNewerHalfAlsoOnMemoryPressure)
{
    struct Case
    {
        int stored;
        qsizetype kept;
    };
    for (const Case &c : { Case { 0, 0 }, Case { 1, 0 }, Case { 7, 3 }, Case { 2000, 1000 } }) {
        cache->clearMemoryCache();
        for (int i = 0; i < c.stored; ++i)
            cache->store(coloured(QString::number(i)), key(i));
        cache->trimCache();
        ASSERT_EQ(cache->cacheCount(), c.kept) << c.stored;
        if (c.kept > 0) {
            EXPECT_EQ(cache->cacheOrder().first().lineIndex, c.stored - c.kept);
        }
    }

    MemoryPressureMonitor pressure;
    cache->setMemoryPressureMonitor(&pressure);
    cache->clearMemoryCache();
    for (int i = 0; i < 10; ++i)
        cache->store(coloured(QString::number(i)), key(i));
    pressure.simulatePressure(MemoryPressureLevel::Warning);
    EXPECT_TRUE(waitUntil([&] { return cache->cacheCount() == 5; }));
    pressure.simulatePressure(MemoryPressureLevel::Critical);
    EXPECT_TRUE(waitUntil([&] { return cache->cacheCount() == 2; }));
}

// A Delete in the panel forgets one item; the items that leave the history together (pruned,
// cleared) are forgotten at once.
TEST_F(HighlightCacheServiceTest, InvalidateForgetsItemsInEveryContextThemeAndAppearance)
{
    const QUuid gone = QUuid::createUuid();
    const QUuid alsoGone = QUuid::createUuid();
    const QUuid kept = QUuid::createUuid();
    struct Case
    {
        const char *name;
        std::function<void()> invalidate;
        QSet<QUuid> left;
    };
    const Case cases[] = {
        { "one item", [&] { cache->invalidate(gone); }, { alsoGone, kept } },
        { "several at once",
            [&] {
                cache->invalidate(QSet<QUuid> { gone, alsoGone, QUuid::createUuid() });
            },
            { kept } },
        { "an unknown item", [&] { cache->invalidate(QUuid::createUuid()); }, { gone, alsoGone, kept } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        cache->clearMemoryCache();
        for (const QUuid &item : { gone, alsoGone, kept }) {
            cache->store(coloured(QStringLiteral("x")), key(0, item));
            cache->store(coloured(QStringLiteral("x")), key(0, item, true));
            cache->store(coloured(QStringLiteral("x")), key(3, item, false, QStringLiteral("Xcode")));
            cache->store(coloured(QStringLiteral("x")),
                key(1, item, false, QStringLiteral("GitHub"), QStringLiteral("grid")));
        }
        c.invalidate();
        EXPECT_EQ(cache->cacheCount(), 4 * c.left.size());
        QSet<QUuid> left;
        for (const Key &line : cache->cacheOrder())
            left.insert(line.itemId);
        EXPECT_EQ(left, c.left);
    }
    cache->clearMemoryCache();
    EXPECT_EQ(cache->cacheCount(), 0);
    EXPECT_TRUE(cache->cacheOrder().isEmpty());
}

TEST_F(HighlightCacheServiceTest, PersistedLinesAnswerOnlyInTheirThemeAndAppearance)
{
    ClipboardItemPtr item = storedCode(QStringLiteral("def a():\n    return 1"));
    cache->persistLines(*item,
        { { 0, coloured(QStringLiteral("def a():")) }, { 1, coloured(QStringLiteral("return 1")) } }, true,
        HighlightTheme::github, preview);
    ASSERT_TRUE(context().save().ok);
    EXPECT_EQ(item->highlightedLinesTheme(), QStringLiteral("GitHub"));
    EXPECT_EQ(item->highlightedLinesIsDark(), true);

    struct Case
    {
        const char *name;
        int line;
        bool isDark;
        HighlightTheme theme;
        QString context;
        bool found;
    };
    const Case cases[] = {
        { "same theme and appearance", 1, true, HighlightTheme::github, preview, true },
        { "light asked, dark stored", 1, false, HighlightTheme::github, preview, false },
        { "another theme", 1, true, HighlightTheme::xcode, preview, false },
        { "another context", 1, true, HighlightTheme::github, QStringLiteral("grid"), false },
        { "a line not stored", 2, true, HighlightTheme::github, preview, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        cache->clearMemoryCache();
        const std::optional<AttributedText> line
            = cache->cachedHighlight(*item, c.line, c.isDark, c.theme, c.context);
        EXPECT_EQ(line.has_value(), c.found);
        // A line found in the blob is copied into memory, as the one newest entry.
        EXPECT_EQ(cache->cacheCount(), c.found ? 1 : 0);
        if (c.found) {
            EXPECT_EQ(*line, coloured(QStringLiteral("return 1")));
            EXPECT_EQ(cache->cacheOrder(), QList<Key> { key(1, item->id(), true) });
        }
    }

    // A damaged blob is no blob; an item that left the store has none.
    cache->clearMemoryCache();
    QByteArray damaged = *item->highlightedLinesData();
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x40);
    item->setHighlightedLinesData(damaged);
    EXPECT_FALSE(cache->cachedHighlight(*item, 0, true, HighlightTheme::github, preview));
    item->setHighlightedLinesData(olderHighlightBlob());
    EXPECT_FALSE(cache->cachedHighlight(*item, 0, true, HighlightTheme::github, preview))
        << "a blob of the older form is read as none";
    ClipboardItemPtr other = storedCode(QStringLiteral("x = 1"));
    cache->persistLines(
        *other, { { 0, coloured(QStringLiteral("x = 1")) } }, true, HighlightTheme::github, preview);
    context().remove(other);
    EXPECT_FALSE(cache->cachedHighlight(*other, 0, true, HighlightTheme::github, preview));
    EXPECT_EQ(cache->cacheCount(), 0);
}

TEST_F(HighlightCacheServiceTest, PersistingKeepsLinesOfTheSameTagsAndDropsOthers)
{
    ClipboardItemPtr item = storedCode(QStringLiteral("a\nb\nc"));
    const auto names = [&] {
        const HighlightedLinesBlob::Lines lines
            = HighlightedLinesBlob::decode(item->highlightedLinesData().value_or(QByteArray()))
                  .value_or(HighlightedLinesBlob::Lines());
        return QStringList(lines.keyBegin(), lines.keyEnd());
    };
    cache->persistLines(
        *item, { { 0, coloured(QStringLiteral("a")) } }, false, HighlightTheme::github, preview);
    cache->persistLines(*item, { { 2, coloured(QStringLiteral("c")) } }, false, HighlightTheme::github,
        QStringLiteral("grid"));
    cache->persistLines(
        *item, { { 1, coloured(QStringLiteral("b")) } }, false, HighlightTheme::github, preview);
    EXPECT_EQ(names(),
        (QStringList { QStringLiteral("grid_2"), QStringLiteral("preview_0"), QStringLiteral("preview_1") }));
    // Another appearance, then another theme: the old lines go with their tags.
    cache->persistLines(
        *item, { { 1, coloured(QStringLiteral("b")) } }, true, HighlightTheme::github, preview);
    EXPECT_EQ(names(), QStringList { QStringLiteral("preview_1") });
    EXPECT_EQ(item->highlightedLinesIsDark(), true);
    cache->persistLines(
        *item, { { 0, coloured(QStringLiteral("a")) } }, true, HighlightTheme::solarized, preview);
    EXPECT_EQ(names(), QStringList { QStringLiteral("preview_0") });
    EXPECT_EQ(item->highlightedLinesTheme(), QStringLiteral("Solarized"));
    // Bytes that are not ours, and blobs of the older form, are started afresh.
    for (const QByteArray &foreign : { QByteArray("{\"preview_0\":\"YnBsaXN0\"}"), olderHighlightBlob() }) {
        item->setHighlightedLinesData(foreign);
        cache->persistLines(
            *item, { { 3, coloured(QStringLiteral("d")) } }, true, HighlightTheme::solarized, preview);
        EXPECT_EQ(names(), QStringList { QStringLiteral("preview_3") });
    }
}

TEST_F(HighlightCacheServiceTest, PrehighlightCachesAndPersistsTheFirstFortyLinesWithTheEngine)
{
    ClipboardItemPtr item = storedCode(snippet(100));
    QSignalSpy highlighted(cache.get(), &HighlightCacheService::linesHighlighted);
    cache->prehighlight(CodePreviewLines::make(*item->textContent()), item, HighlightLanguage::python, true,
        HighlightTheme::github, preview);
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(highlighted.size(), 1);
    EXPECT_EQ(cache->cacheCount(), 40);

    const std::optional<HighlightedLinesBlob::Lines> stored = storedLines(*item);
    ASSERT_TRUE(stored) << "the lines were not saved with the item";
    ASSERT_EQ(stored->size(), 40);
    for (int i = 0; i < 40; ++i) {
        const AttributedText line = stored->value(HighlightedLinesBlob::lineName(preview, i));
        const bool blank = i % 5 == 4;
        EXPECT_EQ(line.text, blank ? QString() : QStringLiteral("def f%1(x): return x + %1").arg(i));
        // "def" in GitHub's dark keyword colour; blank lines plain.
        if (blank)
            EXPECT_TRUE(line.formats.isEmpty());
        else
            EXPECT_EQ(line.formatAt(0).foreground().color(), QColor(QStringLiteral("#ff7b72"))) << i;
    }
    std::unique_ptr<ModelContext> reader = container().makeContext();
    const ClipboardItemPtr reread = reader->model(item->persistentModelID());
    EXPECT_EQ(reread->highlightedLinesTheme(), QStringLiteral("GitHub"));
    EXPECT_EQ(reread->highlightedLinesIsDark(), true);

    // After a restart the lines come from the item, and no engine is started for them.
    HighlightCacheService restarted;
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(restarted.cachedHighlight(*reread, i, true, HighlightTheme::github, preview)) << i;
    EXPECT_EQ(restarted.highlighterStartCount(), 0);
    EXPECT_FALSE(restarted.hasHighlighter());
}

TEST_F(HighlightCacheServiceTest, BlankLinesNeverReachTheEngine)
{
    ClipboardItemPtr item = storedCode(QStringLiteral("  \n\t\n\n \t "));
    cache->prehighlight(CodePreviewLines::make(*item->textContent()), item, std::nullopt, false,
        HighlightTheme::github, preview);
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(cache->highlighterStartCount(), 0);
    EXPECT_EQ(cache->cacheCount(), 4);
    const std::optional<HighlightedLinesBlob::Lines> stored = storedLines(*item);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 4);
}

TEST_F(HighlightCacheServiceTest, FailedLinesStayInMemoryOnlyRestAndAreTriedAgain)
{
    ClipboardItemPtr item = storedCode(QStringLiteral("let a = 1\nlet b = 2"));
    const QList<HighlightCacheService::Line> lines { { 0, QStringLiteral("let a = 1") },
        { 1, QStringLiteral("let b = 2") } };
    // An engine that cannot load its script fails every request.
    cache->setHighlighterFactory(
        [] { return std::make_shared<Highlight>(QStringLiteral("/nowhere/highlight.min.js")); });
    cache->setRetryPause(60'000);
    QSignalSpy failed(cache.get(), &HighlightCacheService::linesFailed);
    cache->highlightLines(item, lines, HighlightLanguage::javaScript, false, HighlightTheme::github, preview,
        Priority::visible);
    ASSERT_TRUE(waitUntil([&] { return failed.size() == 1; }));
    EXPECT_EQ(failed.first().at(1).toInt(), 2);
    EXPECT_EQ(cache->cacheCount(), 0);
    EXPECT_FALSE(item->highlightedLinesData()) << "a failure was persisted";
    EXPECT_FALSE(storedLines(*item));

    // Resting: asking again does nothing until the pause is over.
    const Key first { item->id(), 0, false, QStringLiteral("GitHub"), preview };
    EXPECT_TRUE(cache->isPending(first));
    cache->highlightLines(item, lines, HighlightLanguage::javaScript, false, HighlightTheme::github, preview,
        Priority::visible);
    EXPECT_EQ(cache->jobCount(), 0);

    // Once it is over, the work tries again by itself (a row asking as well adds nothing), and
    // with a working engine the lines arrive.
    cache->setHighlighterFactory({});
    cache->resetHighlighter();
    clock.advance(59'999ms);
    EXPECT_EQ(cache->jobCount(), 0);
    clock.advance(1ms);
    EXPECT_EQ(cache->jobCount(), 1);
    cache->highlightLines(item, lines, HighlightLanguage::javaScript, false, HighlightTheme::github, preview,
        Priority::visible);
    EXPECT_EQ(cache->jobCount(), 1);
    ASSERT_TRUE(waitUntil([&] { return storedLines(*item) && storedLines(*item)->size() == 2; }));
    EXPECT_EQ(cache->cacheCount(), 2);
    EXPECT_EQ(cache->highlighterStartCount(), 2);
}

// With the engine failing every time (its script missing), each line asked for rests after
// each failure. A rest that is over tells nothing: the records are of the lines failing now,
// not of every line that ever failed, and those of an item that left the history go with it.
TEST_F(HighlightCacheServiceTest, TheRestsOfFailedLinesStayInProportionToTheLinesFailingNow)
{
    cache->setHighlighterFactory(
        [] { return std::make_shared<Highlight>(QStringLiteral("/nowhere/highlight.min.js")); });
    const qint64 pause = 10;
    cache->setRetryPause(pause);
    const auto failEveryAttempt = [&](const QList<ClipboardItemPtr> &items) {
        for (const ClipboardItemPtr &item : items)
            cache->prehighlight(CodePreviewLines::make(*item->textContent()), item, HighlightLanguage::python,
                false, HighlightTheme::github, preview, Priority::visible);
        for (int attempt = 0; attempt < HighlightCacheService::maxAttempts; ++attempt) {
            ASSERT_TRUE(waitUntil([&] { return cache->jobCount() == 0; }, std::chrono::seconds(30)));
            clock.advance(std::chrono::milliseconds(pause * HighlightCacheService::maxAttempts));
        }
        ASSERT_TRUE(waitUntil([&] { return cache->isIdle(); }, std::chrono::seconds(30)));
    };
    constexpr int rounds = 6;
    constexpr int itemsPerRound = 20;
    constexpr int linesPerItem = 4; // and a comment: none blank
    QList<ClipboardItemPtr> items;
    for (int round = 0; round < rounds; ++round) {
        QList<ClipboardItemPtr> failing;
        for (int i = 0; i < itemsPerRound; ++i)
            failing.append(storedCode(snippet(linesPerItem) + QStringLiteral("\n# %1-%2").arg(round).arg(i)));
        ASSERT_NO_FATAL_FAILURE(failEveryAttempt(failing));
        items.append(failing);
    }
    const qsizetype failed = rounds * itemsPerRound * (linesPerItem + 1);
    EXPECT_LT(cache->restCount(), failed / 2) << "every line that ever failed is remembered";
    EXPECT_GT(cache->restCount(), 0);

    // Those still resting go with their items.
    const qsizetype resting = cache->restCount();
    QSet<QUuid> lastRound;
    for (qsizetype i = items.size() - itemsPerRound; i < items.size(); ++i)
        lastRound.insert(items[i]->id());
    cache->invalidate(lastRound);
    EXPECT_LE(cache->restCount(), resting - itemsPerRound * (linesPerItem + 1));
}

TEST_F(HighlightCacheServiceTest, TheWorkThatFailedTriesAgainByItself)
{
    ClipboardItemPtr item = storedCode(QStringLiteral("fn main() {}"));
    cache->setHighlighterFactory(
        [] { return std::make_shared<Highlight>(QStringLiteral("/nowhere/highlight.min.js")); });
    cache->setRetryPause(1000);
    // The engine is mended as soon as the first attempt has failed.
    QSignalSpy failed(cache.get(), &HighlightCacheService::linesFailed);
    QObject::connect(cache.get(), &HighlightCacheService::linesFailed, cache.get(), [this] {
        cache->setHighlighterFactory({});
        cache->resetHighlighter();
    });
    cache->prehighlight({ QStringLiteral("fn main() {}") }, item, HighlightLanguage::rust, false,
        HighlightTheme::github, preview);
    ASSERT_TRUE(waitUntil([&] { return failed.size() == 1; }));
    // After its pause, and not before.
    clock.advance(999ms);
    EXPECT_EQ(cache->jobCount(), 0);
    EXPECT_FALSE(cache->isIdle());
    clock.advance(1ms);
    EXPECT_EQ(cache->jobCount(), 1);
    ASSERT_TRUE(waitUntil([&] { return storedLines(*item).has_value(); }, std::chrono::seconds(30)));
    EXPECT_EQ(storedLines(*item)->size(), 1);
    EXPECT_EQ(cache->highlighterStartCount(), 2);
}

TEST_F(HighlightCacheServiceTest, AnEngineReplacedWhileWorkingLeavesNothingUndone)
{
    ClipboardItemPtr item = storedCode(snippet(40));
    cache->prehighlight(CodePreviewLines::make(*item->textContent()), item, HighlightLanguage::python, false,
        HighlightTheme::github, preview);
    cache->resetHighlighter(); // clear-all, or code detection switched off
    // What the old engine was doing waits out its pause and is done again.
    ASSERT_TRUE(
        waitUntil([&] { return clock.pendingCount() > 0 || cache->isIdle(); }, std::chrono::seconds(30)));
    clock.advance(std::chrono::milliseconds(HighlightCacheService::defaultRetryPauseMs));
    ASSERT_TRUE(waitUntil(
        [&] { return storedLines(*item) && storedLines(*item)->size() == 40; }, std::chrono::seconds(30)));
    EXPECT_EQ(cache->cacheCount(), 40);
    EXPECT_EQ(cache->highlighterStartCount(), 2);
}

TEST_F(HighlightCacheServiceTest, AtQuitQueuedWorkIsDroppedTheEngineEndsAndNoWorkStartsAgain)
{
    // Two jobs under way (the most at once), the third queued.
    for (int job = 0; job < HighlightCacheService::maxJobsInFlight; ++job) {
        ClipboardItemPtr item = storedCode(snippet(40));
        cache->prehighlight(CodePreviewLines::make(*item->textContent()), item, HighlightLanguage::python,
            false, HighlightTheme::github, preview);
    }
    ClipboardItemPtr later = storedCode(QStringLiteral("SELECT 1;"));
    cache->prehighlight({ QStringLiteral("SELECT 1;") }, later, HighlightLanguage::sql, false,
        HighlightTheme::github, preview, HighlightCacheService::Priority::background);
    ASSERT_TRUE(cache->hasHighlighter());
    cache->stop();
    EXPECT_FALSE(cache->hasHighlighter()) << "the engine stops at once";
    EXPECT_FALSE(cache->isPending(HighlightCacheService::CacheKey {
        later->id(), 0, false, HighlightThemes::rawValue(HighlightTheme::github), preview }))
        << "queued work is dropped";
    cache->prehighlight({ QStringLiteral("SELECT 1;") }, later, HighlightLanguage::sql, false,
        HighlightTheme::github, preview);
    EXPECT_FALSE(cache->hasHighlighter()) << "no engine is started after the quit";
    // The two under way count until their (cancelled) answers are back; nothing else is queued.
    EXPECT_EQ(cache->jobCount(), HighlightCacheService::maxJobsInFlight);
    EXPECT_EQ(cache->highlighterStartCount(), 1);
    EXPECT_FALSE(later->highlightedLinesData());
    EXPECT_TRUE(cache->waitUntilEnded(QDeadlineTimer(std::chrono::seconds(30)))) << "its thread ends";
}

TEST_F(HighlightCacheServiceTest, WorkOfAnOldThemeOrADeletedItemIsDropped)
{
    ClipboardItemPtr themed = storedCode(QStringLiteral("SELECT 1;"));
    ClipboardItemPtr deleted = storedCode(QStringLiteral("SELECT 2;"));
    QSignalSpy highlighted(cache.get(), &HighlightCacheService::linesHighlighted);
    cache->prehighlight({ QStringLiteral("SELECT 1;") }, themed, HighlightLanguage::sql, false,
        HighlightTheme::github, preview);
    cache->prehighlight({ QStringLiteral("SELECT 2;") }, deleted, HighlightLanguage::sql, false,
        HighlightTheme::github, preview);
    cache->clearMemoryCache(); // the theme changed meanwhile
    context().remove(deleted);
    ASSERT_TRUE(context().save().ok);
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(highlighted.size(), 0);
    EXPECT_EQ(cache->cacheCount(), 0);
    EXPECT_FALSE(themed->highlightedLinesData());
    // Nothing is asked for an item that is gone.
    cache->prehighlight({ QStringLiteral("SELECT 2;") }, deleted, HighlightLanguage::sql, false,
        HighlightTheme::github, preview);
    EXPECT_EQ(cache->jobCount(), 0);
}

TEST_F(HighlightCacheServiceTest, RowsAreServedBeforeRefreshesAndTakeTheirLinesOver)
{
    QList<ClipboardItemPtr> refreshed;
    for (int i = 0; i < 6; ++i)
        refreshed.append(storedCode(snippet(20)));
    ClipboardItemPtr shown = storedCode(QStringLiteral("int main(void) { return 0; }"));
    auto lineOf = [](const ClipboardItemPtr &item, int line) {
        return Key { item->id(), line, false, QStringLiteral("GitHub"), preview };
    };
    // Begun: handed to the engine, or back from it.
    auto begun
        = [&](const Key &line) { return cache->isUnderWay(line) || cache->cacheOrder().contains(line); };
    // Which jobs finish first is the thread pool's business (a one-line row can overtake a
    // long job under way), but which start first is the queue's: whenever a refresh job that
    // was still queued has begun, both rows' lines have begun before it.
    QList<QUuid> order;
    auto checkRowsWentFirst = [&] {
        for (qsizetype i = 2; i < refreshed.size(); ++i) {
            if (begun(lineOf(refreshed[i], 1))) {
                EXPECT_TRUE(begun(lineOf(shown, 0))) << "refresh job " << i << " began before a row";
                EXPECT_TRUE(begun(lineOf(refreshed.last(), 0)))
                    << "refresh job " << i << " began before a row";
            }
        }
    };
    QObject::connect(
        cache.get(), &HighlightCacheService::linesHighlighted, cache.get(), [&](const QUuid &id) {
            order.append(id);
            checkRowsWentFirst();
        });

    for (const ClipboardItemPtr &item : refreshed)
        cache->prehighlight(CodePreviewLines::make(*item->textContent()), item, HighlightLanguage::python,
            false, HighlightTheme::github, preview, Priority::background);
    // Two refresh jobs are under way at once; the others wait.
    EXPECT_TRUE(cache->isUnderWay(lineOf(refreshed[0], 1)));
    EXPECT_TRUE(cache->isUnderWay(lineOf(refreshed[1], 1)));
    EXPECT_FALSE(cache->isUnderWay(lineOf(refreshed[2], 1)));
    // The last refreshed item's first line is also on screen: it moves to the row's work.
    const Key taken = lineOf(refreshed.last(), 0);
    ASSERT_TRUE(cache->isPending(taken));
    cache->highlightLines(shown, { { 0, QStringLiteral("int main(void) { return 0; }") } },
        HighlightLanguage::c, false, HighlightTheme::github, preview, Priority::visible);
    cache->highlightLines(refreshed.last(),
        { { 0, *CodePreviewLines::make(*refreshed.last()->textContent()).begin() } },
        HighlightLanguage::python, false, HighlightTheme::github, preview, Priority::visible);
    ASSERT_TRUE(waitForIdle());

    ASSERT_EQ(order.size(), 8) << "the last refreshed item comes twice: its row's line, then the rest";
    checkRowsWentFirst();
    EXPECT_EQ(storedLines(*refreshed.last())->size(), 20);
}

} // namespace
