#include "panel/PanelCategoryLists.h"

#include "common/Clock.h"
#include "model/AppSettings.h"
#include "panel/CategoryTitles.h"
#include "panel/PanelItems.h"
#include "panel/PanelSearch.h"
#include "panel/PanelSelectionState.h"

using namespace std::chrono_literals;

PanelCategoryLists::PanelCategoryLists(AppSettings &settings, PanelItems &items, PanelSearch &search,
    PanelSelectionState &selection, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_items(items)
    , m_search(search)
    , m_selection(selection)
    , m_clock(clock)
{
    connect(&items, &PanelItems::shownItemsChanged, this, &PanelCategoryLists::recompute);
    connect(&search, &PanelSearch::settled, this, &PanelCategoryLists::recompute);
    // The Code column comes or goes at once; a new limit reshapes History.
    connect(&settings, &AppSettings::detectCodeChanged, this, &PanelCategoryLists::recompute);
    connect(&settings, &AppSettings::historyLimitChanged, this, &PanelCategoryLists::recompute);
    for (auto signal : { &AppSettings::filesViewModeChanged, &AppSettings::mediaViewModeChanged,
             &AppSettings::colorsViewModeChanged })
        connect(&settings, signal, this, &PanelCategoryLists::columnsChanged);
}

CachedCategories PanelCategoryLists::compute() const
{
    return computeCategories(m_items.shownItems(), m_search.text(), m_isHistoryCollapsed,
        m_settings.historyLimit(), m_settings.detectCode());
}

void PanelCategoryLists::recompute()
{
    setCategories(compute());
}

void PanelCategoryLists::setCategories(CachedCategories categories)
{
    const qsizetype previousTabCount = m_categories.tabs.size();
    m_categories = std::move(categories);
    Q_EMIT categoriesChanged(previousTabCount);
}

void PanelCategoryLists::setHistoryCollapsedKeepingSelection(bool collapsed)
{
    const CategoryList &before = m_categories.visible;
    const int column = m_selection.selectedColumnIndex();
    const std::optional<QString> title
        = column >= 0 && column < before.size() ? std::optional(before[column].title) : std::nullopt;
    m_isHistoryCollapsed = collapsed;
    CachedCategories categories = m_categories;
    categories.visible = visibleCategories(categories.display, collapsed);
    if (title) {
        for (qsizetype i = 0; i < categories.visible.size(); ++i) {
            if (categories.visible[i].title == *title)
                m_selection.setSelectedColumnIndex(int(i));
        }
    }
    setCategories(std::move(categories));
    Q_EMIT historyCollapsedChanged(collapsed);
    Q_EMIT columnsChanged();
}

bool PanelCategoryLists::isGridCategory(const QString &title) const
{
    using Mode = AppSettings::ColumnViewMode;
    if (title == CategoryTitle::files)
        return m_settings.filesViewMode() == Mode::grid;
    if (title == CategoryTitle::media)
        return m_settings.mediaViewMode() == Mode::grid;
    if (title == CategoryTitle::colors)
        return m_settings.colorsViewMode() == Mode::grid;
    return false;
}

void PanelCategoryLists::toggleViewMode(const QString &title)
{
    using Mode = AppSettings::ColumnViewMode;
    const Mode next = isGridCategory(title) ? Mode::list : Mode::grid;
    if (title == CategoryTitle::files)
        m_settings.setFilesViewMode(next);
    else if (title == CategoryTitle::media)
        m_settings.setMediaViewMode(next);
    else if (title == CategoryTitle::colors)
        m_settings.setColorsViewMode(next);
}

bool PanelCategoryLists::isPinnedGroupExpanded(const QString &title) const
{
    return m_search.isSearching() || m_pinnedExpandedCategories.contains(title);
}

void PanelCategoryLists::setPinnedGroupExpanded(const QString &title, bool expanded)
{
    if (m_search.isSearching())
        return;
    if (expanded) {
        m_pinnedExpandedCategories.insert(title);
    } else {
        m_pinnedExpandedCategories.remove(title);
        m_selection.setSelectedItemIndex(std::nullopt);
        // The cells move under the pointer as the group closes; they must not grab the selection.
        m_selection.setSuppressHoverSelection(true);
        m_clock.runAfter(300ms, this, [this] { m_selection.setSuppressHoverSelection(false); });
    }
    Q_EMIT columnsChanged();
}

void PanelCategoryLists::showPinnedGroup(const QString &title)
{
    m_pinnedExpandedCategories.insert(title);
    Q_EMIT columnsChanged();
}

QList<ClipboardItemPtr> PanelCategoryLists::navigableItems(const Category &category) const
{
    return ::navigableItems(
        category.title, category.items, m_pinnedExpandedCategories.contains(category.title));
}

QList<GridSection> PanelCategoryLists::gridSections(
    const Category &category, const QList<ClipboardItemPtr> &navigationList, double columnWidth) const
{
    return ::gridSections(category.title, navigationList, isGridCategory(category.title), columnWidth,
        m_pinnedExpandedCategories.contains(category.title));
}
