#include "panel/PanelCategories.h"
#include "panel/CategoryTitles.h"

#include "model/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <QTimeZone>

namespace {

ClipboardItemPtr item(ClipboardItemType type, const QString &text = QStringLiteral("x"), bool pinned = false)
{
    ClipboardItemPtr created = ClipboardItem::create(type, { .text = text });
    created->setIsPinned(pinned);
    return created;
}

QStringList titles(const CategoryList &list)
{
    QStringList result;
    for (const Category &category : list)
        result.append(category.title);
    return result;
}

const Category *find(const CategoryList &list, const QString &title)
{
    for (const Category &category : list) {
        if (category.title == title)
            return &category;
    }
    return nullptr;
}

// One item of every kind plus a code item the user marked as text.
QList<ClipboardItemPtr> oneOfEachKind()
{
    QList<ClipboardItemPtr> items;
    for (ClipboardItemType type : allClipboardItemTypes)
        items.append(item(type, rawValue(type)));
    ClipboardItemPtr codeAsText = item(ClipboardItemType::code, QStringLiteral("code as text"));
    codeAsText->setCodeAsText(true);
    items.append(codeAsText);
    return items;
}

} // namespace

TEST(PanelCategoriesTest, OrderAndPlacementFollowCodeDetection)
{
    const struct
    {
        bool detectCode;
        QStringList order;
        qsizetype historyCount; // the plain code item is left out of History without detection
        qsizetype textCount;
        qsizetype codeCount;
    } cases[] = {
        { true, { "History", "Text", "Code", "Links", "Files", "Media", "Colors" }, 7, 1, 2 },
        { false, { "History", "Text", "Links", "Files", "Media", "Colors" }, 6, 2, 1 },
    };
    for (const auto &c : cases) {
        const CategorizedItems lists = categorizeItems(oneOfEachKind(), 50, c.detectCode);
        EXPECT_EQ(titles(categoryList(lists, c.detectCode)), c.order) << c.detectCode;
        EXPECT_EQ(lists.history.size(), c.historyCount) << c.detectCode;
        EXPECT_EQ(lists.text.size(), c.textCount) << c.detectCode;
        EXPECT_EQ(lists.code.size(), c.codeCount) << c.detectCode;
        EXPECT_EQ(lists.links.size(), 1);
        EXPECT_EQ(lists.files.size(), 1);
        EXPECT_EQ(lists.media.size(), 1);
        EXPECT_EQ(lists.colors.size(), 1);
    }
    // Without detection the unmarked code item shows in no column at all.
    const CachedCategories off = computeCategories(oneOfEachKind(), QString(), false, 50, false);
    for (const Category &category : off.all) {
        for (const ClipboardItemPtr &shown : category.items)
            EXPECT_NE(shown->textContent(), QStringLiteral("code")) << category.title.toStdString();
    }
}

TEST(PanelCategoriesTest, HistoryHoldsTheNewestUnpinnedUpToTheLimitAndTheKindListsHoldAll)
{
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < 60; ++i)
        items.append(item(ClipboardItemType::text, QString::number(i)));
    items.insert(3, item(ClipboardItemType::text, QStringLiteral("pinned"), true));
    const CategorizedItems lists = categorizeItems(items, 50, true);
    ASSERT_EQ(lists.history.size(), 50);
    EXPECT_EQ(lists.history.first()->textContent(), QStringLiteral("0"));
    EXPECT_EQ(lists.history.last()->textContent(), QStringLiteral("49"));
    EXPECT_EQ(lists.text.size(), 61);
    for (const ClipboardItemPtr &entry : lists.history)
        EXPECT_FALSE(entry->isPinned());
    EXPECT_TRUE(categorizeItems(items, 0, true).history.isEmpty());
}

TEST(PanelCategoriesTest, TheFourListsFollowSearchCollapseAndPins)
{
    const QList<ClipboardItemPtr> none;
    const CachedCategories empty = computeCategories(none, QString(), false, 50, true);
    EXPECT_TRUE(
        empty.all.isEmpty() && empty.display.isEmpty() && empty.visible.isEmpty() && empty.tabs.isEmpty());

    // Only pins: History exists, empty, in front of the pins' kinds.
    const QList<ClipboardItemPtr> pins { item(ClipboardItemType::link, QStringLiteral("a"), true),
        item(ClipboardItemType::text, QStringLiteral("b"), true) };
    const CachedCategories pinnedOnly = computeCategories(pins, QString(), false, 50, true);
    EXPECT_EQ(titles(pinnedOnly.all), QStringList({ "History", "Text", "Links" }));
    EXPECT_TRUE(pinnedOnly.all.first().items.isEmpty());

    QList<ClipboardItemPtr> items { item(ClipboardItemType::text, QStringLiteral("apple pie")),
        item(ClipboardItemType::link, QStringLiteral("https://example.com")) };
    // A search that empties Links keeps the column but drops its tab; History keeps its tab.
    const CachedCategories searched = computeCategories(items, QStringLiteral("zzz"), false, 50, true);
    EXPECT_EQ(titles(searched.display), QStringList({ "History", "Text", "Links" }));
    EXPECT_EQ(titles(searched.visible), titles(searched.display));
    EXPECT_EQ(titles(searched.tabs), QStringList({ "History" }));
    const CachedCategories apple = computeCategories(items, QStringLiteral("APPLE"), false, 50, true);
    EXPECT_EQ(titles(apple.tabs), QStringList({ "History", "Text" }));
    ASSERT_NE(find(apple.display, CategoryTitle::links), nullptr);
    EXPECT_TRUE(find(apple.display, CategoryTitle::links)->items.isEmpty());

    // A search never adds a column that does not exist without it.
    const CachedCategories textOnly = computeCategories(
        { item(ClipboardItemType::text, QStringLiteral("apple")) }, QStringLiteral("a"), false, 50, true);
    EXPECT_EQ(titles(textOnly.display), QStringList({ "History", "Text" }));

    const CachedCategories collapsed = computeCategories(items, QString(), true, 50, true);
    EXPECT_EQ(titles(collapsed.visible), QStringList({ "Text", "Links" }));
    EXPECT_EQ(titles(collapsed.display), QStringList({ "History", "Text", "Links" }));
    EXPECT_EQ(titles(collapsed.tabs), QStringList({ "History", "Text", "Links" }));
}

class PanelSearchTest : public StoreTest
{
};

TEST_F(PanelSearchTest, MatchesLabelsLinkTitlesAndTextInAnyCaseButNeverPinnedReferences)
{
    ClipboardItemPtr labelled = insertText(QStringLiteral("sk-12345"), QDateTime::currentDateTimeUtc(), true);
    labelled->setPinnedLabel(QStringLiteral("API Key"));
    ClipboardItemPtr link
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://qt.io") });
    link->setLinkTitle(QStringLiteral("Qt Framework"));
    context().insert(link);
    ClipboardItemPtr plain = insertText(QStringLiteral("Grocery list: Framework of apples"));
    ClipboardItemPtr reference = insertText(QStringLiteral("sk-12345"));
    reference->setPinnedReference(labelled);
    ClipboardItemPtr accented = insertText(QStringLiteral("Crème brûlée, 5 ÷ 2"));
    ClipboardItemPtr cyrillic = insertText(QStringLiteral("Привет, Framework: 5 €"));
    ASSERT_TRUE(context().save().ok);
    const QList<ClipboardItemPtr> all { labelled, link, plain, reference, accented, cyrillic };

    const struct
    {
        const char *query;
        QList<ClipboardItemPtr> expected;
    } cases[] = {
        { "api key", { labelled } },
        { "API KEY", { labelled } },
        { "framework", { link, plain, cyrillic } },
        { "FRAMEWORK", { link, plain, cyrillic } },
        { "CRÈME BRÛ", { accented } },
        { "5 ÷", { accented } },
        { "5 €", { cyrillic } }, // a character beyond Latin-1 is in no text of Latin-1 alone
        { "привет", { cyrillic } },
        { "sk-123", { labelled } }, // the reference shows the same text but never matches
        { "qt.io", { link } },
        { "nothing like it", {} },
        { "", all },
    };
    for (const auto &c : cases)
        EXPECT_EQ(filterItems(all, QString::fromUtf8(c.query)), c.expected) << c.query;
}

TEST(PanelCategoriesTest, ItemsChangeKeyMovesWithCountAndNewestTime)
{
    const QList<ClipboardItemPtr> none;
    EXPECT_EQ(itemsChangeKey(none), QStringLiteral("0-0"));
    ClipboardItemPtr first = item(ClipboardItemType::text);
    first->setTimestamp(QDateTime(QDate(2001, 1, 1), QTime(0, 1, 0, 500), QTimeZone::utc()));
    EXPECT_EQ(itemsChangeKey({ first }), QStringLiteral("1-60.5"));
    ClipboardItemPtr second = item(ClipboardItemType::text);
    second->setTimestamp(first->timestamp().addSecs(-10));
    EXPECT_EQ(itemsChangeKey({ first, second }), QStringLiteral("2-60.5"));
    first->setTimestamp(first->timestamp().addMSecs(1));
    EXPECT_EQ(itemsChangeKey({ first, second }), QStringLiteral("2-60.501"));
}

TEST(PanelCategoriesTest, PinOrderPutsUnstampedPinsFirst)
{
    ClipboardItemPtr early = item(ClipboardItemType::text);
    early->setPinnedTimestamp(QDateTime::currentDateTimeUtc().addSecs(-60));
    ClipboardItemPtr late = item(ClipboardItemType::text);
    late->setPinnedTimestamp(QDateTime::currentDateTimeUtc());
    ClipboardItemPtr unstamped = item(ClipboardItemType::text);
    EXPECT_TRUE(isEarlierPinned(*early, *late));
    EXPECT_FALSE(isEarlierPinned(*late, *early));
    EXPECT_TRUE(isEarlierPinned(*unstamped, *early));
    EXPECT_FALSE(isEarlierPinned(*early, *unstamped));
    EXPECT_FALSE(isEarlierPinned(*unstamped, *unstamped));

    // Sorting keeps the given order among pins of one time, here the two without any.
    ClipboardItemPtr alsoUnstamped = item(ClipboardItemType::text);
    QList<ClipboardItemPtr> pins = { late, unstamped, early, alsoUnstamped };
    sortByPinTime(pins);
    EXPECT_EQ(pins, (QList<ClipboardItemPtr> { unstamped, alsoUnstamped, early, late }));
}

// The times a reorder writes make the new order the stored one: sorting the pins by them gives
// the order dropped, whatever times they held (missing, equal, out of order).
TEST(PanelCategoriesTest, ReorderedPinTimesStoreTheNewOrder)
{
    const QDateTime base(QDate(2024, 5, 1), QTime(12, 0), QTimeZone::utc());
    const QDateTime now = base.addDays(1);
    const auto ms = [&](qint64 offset) { return std::optional(base.addMSecs(offset)); };
    const struct
    {
        const char *what;
        // The pins' times, in the new order.
        QList<std::optional<QDateTime>> held;
        QList<QDateTime> written;
    } cases[] = {
        { "the last moved first takes the earliest time", { ms(300), ms(100), ms(200) },
            { base.addMSecs(100), base.addMSecs(200), base.addMSecs(300) } },
        { "equal times are spread a millisecond apart", { ms(0), ms(0), ms(0) },
            { base, base.addMSecs(1), base.addMSecs(2) } },
        { "missing times go before the earliest present one", { ms(50), std::nullopt, ms(10) },
            { base.addMSecs(9), base.addMSecs(10), base.addMSecs(50) } },
        { "no times at all end just before now", { std::nullopt, std::nullopt },
            { now.addMSecs(-2), now.addMSecs(-1) } },
        { "a spread that collides with the next is pushed on", { ms(5), ms(5), ms(6) },
            { base.addMSecs(5), base.addMSecs(6), base.addMSecs(7) } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QList<ClipboardItemPtr> pins;
        for (const std::optional<QDateTime> &time : c.held) {
            pins.append(item(ClipboardItemType::text, QStringLiteral("pin"), true));
            pins.last()->setPinnedTimestamp(time);
        }
        const QList<QDateTime> written = reorderedPinTimestamps(pins, now);
        EXPECT_EQ(written, c.written);
        for (qsizetype i = 0; i < pins.size(); ++i)
            pins[i]->setPinnedTimestamp(written[i]);
        QList<ClipboardItemPtr> sorted = pins;
        sortByPinTime(sorted);
        EXPECT_EQ(sorted, pins);
    }
}

TEST(PanelCategoriesTest, ColumnTitlesOfKinds)
{
    EXPECT_EQ(categoryTitle(ClipboardItemType::link), CategoryTitle::links);
    EXPECT_EQ(categoryTitle(ClipboardItemType::color), CategoryTitle::colors);
    EXPECT_EQ(categoryTitle(ClipboardItemType::code), CategoryTitle::code);
    for (const QString &title : { CategoryTitle::files, CategoryTitle::media, CategoryTitle::colors })
        EXPECT_TRUE(hasViewModeToggle(title));
    for (const QString &title :
        { CategoryTitle::history, CategoryTitle::text, CategoryTitle::code, CategoryTitle::links })
        EXPECT_FALSE(hasViewModeToggle(title));
}
