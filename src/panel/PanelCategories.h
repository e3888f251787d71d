#pragma once

#include "model/ClipboardItem.h"

#include <QList>
#include <QString>

// One column or tab of the panel: its title and the items it shows, newest first.
struct Category
{
    QString title;
    QList<ClipboardItemPtr> items;

    friend bool operator==(const Category &, const Category &) = default;
};
using CategoryList = QList<Category>;

// The panel's category lists, recomputed at fixed moments and read by every drawing pass.
struct CachedCategories
{
    // The categories that exist for the unsearched items (History also when anything is pinned).
    CategoryList all;
    // The same titles in the same order, holding the search result while searching.
    CategoryList display;
    // display without History while History is collapsed: the columns of column mode.
    CategoryList visible;
    // The entries of display titled History or holding an item: the tabs of tab mode.
    CategoryList tabs;

    friend bool operator==(const CachedCategories &, const CachedCategories &) = default;
};

// The seven lists one pass over the items fills.
struct CategorizedItems
{
    QList<ClipboardItemPtr> history;
    QList<ClipboardItemPtr> text;
    QList<ClipboardItemPtr> links;
    QList<ClipboardItemPtr> files;
    QList<ClipboardItemPtr> colors;
    QList<ClipboardItemPtr> media;
    QList<ClipboardItemPtr> code;
};

// History takes unpinned items up to the limit (leaving out code nobody can see while code
// detection is off); every item also goes to the list of its own kind.
CategorizedItems categorizeItems(const QList<ClipboardItemPtr> &items, qint64 historyLimit, bool detectCode);

// History, Text, Code (only while code detection is on), Links, Files, Media, Colors.
CategoryList categoryList(const CategorizedItems &categorized, bool detectCode);

// The items whose search text contains the lower-cased query; pinned references never match.
// An empty query keeps every item.
QList<ClipboardItemPtr> filterItems(const QList<ClipboardItemPtr> &items, const QString &searchText);

// The four lists for the showable items, the search text and the History collapse.
CachedCategories computeCategories(const QList<ClipboardItemPtr> &showableItems, const QString &searchText,
    bool isHistoryCollapsed, qint64 historyLimit, bool detectCode);

// display without History while collapsed, else display as it is.
CategoryList visibleCategories(const CategoryList &display, bool isHistoryCollapsed);

// Changes when an item is added or removed, or when another item becomes the newest.
QString itemsChangeKey(const QList<ClipboardItemPtr> &newestFirst);

// Pin order: earlier pins first, pins without a time before all others.
bool isEarlierPinned(const ClipboardItem &a, const ClipboardItem &b);
// Puts pins in that order, keeping the given order among equal times. Each pin's time is read
// once: reading it is a lookup in the item's stored values, too slow to repeat in every
// comparison of thousands of pins on each search keystroke.
void sortByPinTime(QList<ClipboardItemPtr> &pins);
// The pin times that store this order of pins: the times they hold now, earliest first, handed
// out in the new order, each at least a millisecond after the one before (times missing take
// places before the earliest one; with none at all they end just before now). Pins of other columns
// keep their times, so their places among these stay as they were.
QList<QDateTime> reorderedPinTimestamps(const QList<ClipboardItemPtr> &pinsInNewOrder, const QDateTime &now);
