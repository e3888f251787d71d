#include "panel/PanelCategories.h"

#include "panel/CategoryTitles.h"

#include <QTimeZone>

#include <algorithm>
#include <vector>

CategorizedItems categorizeItems(const QList<ClipboardItemPtr> &items, qint64 historyLimit, bool detectCode)
{
    CategorizedItems lists;
    for (const ClipboardItemPtr &item : items) {
        const ClipboardItemType kind = item->type();
        const bool codeAsText = kind == ClipboardItemType::code && item->codeAsText();
        const bool hiddenCode = kind == ClipboardItemType::code && !codeAsText && !detectCode;
        if (!item->isPinned() && !hiddenCode && lists.history.size() < historyLimit)
            lists.history.append(item);
        switch (kind) {
        case ClipboardItemType::text:
            lists.text.append(item);
            break;
        case ClipboardItemType::link:
            lists.links.append(item);
            break;
        case ClipboardItemType::file:
            lists.files.append(item);
            break;
        case ClipboardItemType::color:
            lists.colors.append(item);
            break;
        case ClipboardItemType::media:
            lists.media.append(item);
            break;
        case ClipboardItemType::code:
            (detectCode || !codeAsText ? lists.code : lists.text).append(item);
            break;
        }
    }
    return lists;
}

CategoryList categoryList(const CategorizedItems &categorized, bool detectCode)
{
    CategoryList list { { CategoryTitle::history, categorized.history },
        { CategoryTitle::text, categorized.text }, { CategoryTitle::links, categorized.links },
        { CategoryTitle::files, categorized.files }, { CategoryTitle::media, categorized.media },
        { CategoryTitle::colors, categorized.colors } };
    if (detectCode)
        list.insert(2, Category { CategoryTitle::code, categorized.code });
    return list;
}

QList<ClipboardItemPtr> filterItems(const QList<ClipboardItemPtr> &items, const QString &searchText)
{
    if (searchText.isEmpty())
        return items;
    const SearchText::Query query(searchText.toLower());
    QList<ClipboardItemPtr> result;
    for (const ClipboardItemPtr &item : items) {
        if (item->pinnedReference())
            continue;
        if (item->searchableTextContains(query))
            result.append(item);
    }
    return result;
}

namespace {

bool containsTitle(const CategoryList &list, const QString &title)
{
    return std::any_of(list.begin(), list.end(), [&](const Category &c) { return c.title == title; });
}

} // namespace

CategoryList visibleCategories(const CategoryList &display, bool isHistoryCollapsed)
{
    if (!isHistoryCollapsed)
        return display;
    CategoryList visible;
    for (const Category &category : display) {
        if (category.title != CategoryTitle::history)
            visible.append(category);
    }
    return visible;
}

CachedCategories computeCategories(const QList<ClipboardItemPtr> &showableItems, const QString &searchText,
    bool isHistoryCollapsed, qint64 historyLimit, bool detectCode)
{
    const bool anyPinned = std::any_of(showableItems.begin(), showableItems.end(),
        [](const ClipboardItemPtr &item) { return item->isPinned(); });
    const CategoryList base
        = categoryList(categorizeItems(showableItems, historyLimit, detectCode), detectCode);

    CachedCategories result;
    for (const Category &category : base) {
        if (!category.items.isEmpty() || (anyPinned && category.title == CategoryTitle::history))
            result.all.append(category);
    }

    const CategoryList searched = searchText.isEmpty()
        ? base
        : categoryList(
            categorizeItems(filterItems(showableItems, searchText), historyLimit, detectCode), detectCode);
    for (const Category &category : searched) {
        if (containsTitle(result.all, category.title))
            result.display.append(category);
    }
    result.visible = visibleCategories(result.display, isHistoryCollapsed);
    for (const Category &category : result.display) {
        if (category.title == CategoryTitle::history || !category.items.isEmpty())
            result.tabs.append(category);
    }
    return result;
}

QString itemsChangeKey(const QList<ClipboardItemPtr> &newestFirst)
{
    // Seconds since 1 January 2001, the reference date the key has always been written against.
    static const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    double seconds = 0.0;
    if (!newestFirst.isEmpty())
        seconds = double(referenceDate.msecsTo(newestFirst.first()->timestamp())) / 1000.0;
    return QString::number(newestFirst.size()) + QLatin1Char('-')
        + QString::number(seconds, 'g', QLocale::FloatingPointShortest);
}

namespace {

// Pins without a time come first.
bool isEarlierPinTime(const std::optional<QDateTime> &first, const std::optional<QDateTime> &second)
{
    if (!second)
        return false;
    return !first || *first < *second;
}

} // namespace

bool isEarlierPinned(const ClipboardItem &a, const ClipboardItem &b)
{
    return isEarlierPinTime(a.pinnedTimestamp(), b.pinnedTimestamp());
}

void sortByPinTime(QList<ClipboardItemPtr> &pins)
{
    struct Keyed
    {
        std::optional<QDateTime> time;
        ClipboardItemPtr pin;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(std::size_t(pins.size()));
    for (const ClipboardItemPtr &pin : pins)
        keyed.push_back({ pin->pinnedTimestamp(), pin });
    std::stable_sort(keyed.begin(), keyed.end(),
        [](const Keyed &a, const Keyed &b) { return isEarlierPinTime(a.time, b.time); });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        pins[qsizetype(i)] = std::move(keyed[i].pin);
}

QList<QDateTime> reorderedPinTimestamps(const QList<ClipboardItemPtr> &pinsInNewOrder, const QDateTime &now)
{
    QList<QDateTime> present;
    for (const ClipboardItemPtr &pin : pinsInNewOrder) {
        if (const std::optional<QDateTime> time = pin->pinnedTimestamp())
            present.append(*time);
    }
    std::sort(present.begin(), present.end());
    const qsizetype missing = pinsInNewOrder.size() - present.size();
    const QDateTime first = present.isEmpty() ? now.toUTC() : present.first();
    QList<QDateTime> times;
    times.reserve(pinsInNewOrder.size());
    for (qsizetype i = 0; i < missing; ++i)
        times.append(first.addMSecs(i - missing));
    times.append(present);
    // Stored times count milliseconds: equal times would leave the order to chance.
    for (qsizetype i = 1; i < times.size(); ++i) {
        if (times[i] <= times[i - 1])
            times[i] = times[i - 1].addMSecs(1);
    }
    return times;
}
