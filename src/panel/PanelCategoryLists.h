#pragma once

#include "panel/GridNavigation.h"
#include "panel/PanelCategories.h"

#include <QObject>
#include <QSet>

class AppSettings;
class Clock;
class PanelItems;
class PanelSearch;
class PanelSelectionState;

// The panel's category lists and how each column shows its items: whether History is
// collapsed, which pinned groups are open, list or grid. The lists are computed from the
// showable items and the search, again whenever those settle or a setting that shapes them
// changes. Main thread only.
class PanelCategoryLists final : public QObject
{
    Q_OBJECT

public:
    PanelCategoryLists(AppSettings &settings, PanelItems &items, PanelSearch &search,
        PanelSelectionState &selection, Clock &clock, QObject *parent = nullptr);

    const CachedCategories &categories() const { return m_categories; }
    CachedCategories compute() const;
    void recompute();

    bool isHistoryCollapsed() const { return m_isHistoryCollapsed; }
    // Collapses or expands History; the selected column stays selected where it moves to.
    void setHistoryCollapsedKeepingSelection(bool collapsed);

    // -- Columns
    bool isGridCategory(const QString &title) const;
    void toggleViewMode(const QString &title);
    // The pinned group shows expanded (always while searching).
    bool isPinnedGroupExpanded(const QString &title) const;
    // The user opens or closes a pinned group; nothing changes while searching.
    void setPinnedGroupExpanded(const QString &title, bool expanded);
    // A new pin shows its group open, searching or not.
    void showPinnedGroup(const QString &title);
    const QSet<QString> &pinnedExpandedCategories() const { return m_pinnedExpandedCategories; }
    // The column's items in keyboard order, and its blocks at a column width.
    QList<ClipboardItemPtr> navigableItems(const Category &category) const;
    QList<GridSection> gridSections(
        const Category &category, const QList<ClipboardItemPtr> &navigationList, double columnWidth) const;

Q_SIGNALS:
    // The lists changed; previousTabCount is how many tabs there were before.
    void categoriesChanged(qsizetype previousTabCount);
    void historyCollapsedChanged(bool collapsed);
    // Something else the columns are drawn from changed (view modes, pinned groups).
    void columnsChanged();

private:
    void setCategories(CachedCategories categories);

    AppSettings &m_settings;
    PanelItems &m_items;
    PanelSearch &m_search;
    PanelSelectionState &m_selection;
    Clock &m_clock;
    CachedCategories m_categories;
    bool m_isHistoryCollapsed = false;
    QSet<QString> m_pinnedExpandedCategories;
};
