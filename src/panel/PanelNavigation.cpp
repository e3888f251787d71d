#include "panel/PanelNavigation.h"

#include "panel/PanelCategoryLists.h"
#include "panel/PanelSelectionState.h"
#include "panel/PanelTabLayout.h"

PanelNavigation::PanelNavigation(
    PanelCategoryLists &lists, PanelTabLayout &layout, PanelSelectionState &selection)
    : m_lists(lists)
    , m_layout(layout)
    , m_selection(selection)
{ }

std::optional<Category> PanelNavigation::currentColumn() const
{
    const bool tabs = m_layout.isInTabMode();
    const CategoryList &list = tabs ? m_lists.categories().tabs : m_lists.categories().visible;
    const int index = tabs ? m_layout.selectedTabIndex() : m_selection.selectedColumnIndex();
    if (index < 0 || index >= list.size())
        return std::nullopt;
    return list[index];
}

QList<ClipboardItemPtr> PanelNavigation::navigableItems(const Category &category) const
{
    return m_lists.navigableItems(category);
}

QList<GridSection> PanelNavigation::gridSections(
    const Category &category, const QList<ClipboardItemPtr> &navigationList) const
{
    return m_lists.gridSections(category, navigationList, m_layout.currentColumnWidth());
}

std::optional<int> PanelNavigation::firstRowEndIndex(int visibleIndex) const
{
    const CategoryList &visible = m_lists.categories().visible;
    if (visibleIndex < 0 || visibleIndex >= visible.size())
        return std::nullopt;
    const Category &category = visible[visibleIndex];
    const QList<ClipboardItemPtr> navigation = navigableItems(category);
    return ::firstRowEndIndex(gridSections(category, navigation), int(navigation.size()));
}

ClipboardItemPtr PanelNavigation::selectedItem() const
{
    const std::optional<int> index = m_selection.selectedItemIndex();
    const std::optional<Category> column = currentColumn();
    if (!index || !column)
        return nullptr;
    const QList<ClipboardItemPtr> navigation = navigableItems(*column);
    return *index >= 0 && *index < navigation.size() ? navigation[*index] : nullptr;
}

void PanelNavigation::down()
{
    m_selection.setIsKeyboardNavigating(true);
    const std::optional<int> index = m_selection.selectedItemIndex();
    if (!index) {
        if (!m_layout.isInTabMode())
            m_selection.setSelectedColumnIndex(0);
        m_selection.setSelectedItemIndex(0);
        return;
    }
    const std::optional<Category> column = currentColumn();
    if (!column)
        return;
    const QList<ClipboardItemPtr> navigation = navigableItems(*column);
    if (navigation.isEmpty())
        return;
    const int total = int(navigation.size());
    const std::optional<int> moved = navigateGrid(*index, gridSections(*column, navigation), 1, 0, total);
    m_selection.setSelectedItemIndex(moved.value_or(total - 1));
}

void PanelNavigation::up()
{
    const std::optional<Category> column = currentColumn();
    const std::optional<int> index = m_selection.selectedItemIndex();
    if (!column || !index)
        return; // Up never starts a selection
    const QList<ClipboardItemPtr> navigation = navigableItems(*column);
    const std::optional<int> moved
        = navigateGrid(*index, gridSections(*column, navigation), -1, 0, int(navigation.size()));
    if (!moved)
        return; // on the top row: no wrap
    m_selection.setSelectedItemIndex(*moved);
    m_selection.setIsKeyboardNavigating(true);
}

bool PanelNavigation::sideways(int columnDelta)
{
    const bool itemSelected = m_selection.selectedItemIndex().has_value();
    if (!m_selection.isKeyboardNavigating() && itemSelected)
        m_selection.setIsKeyboardNavigating(true);
    if (!m_selection.isKeyboardNavigating() || !itemSelected)
        return false; // the caret of the search field moves instead
    moveSideways(columnDelta);
    return true;
}

void PanelNavigation::moveSideways(int columnDelta)
{
    const std::optional<int> index = m_selection.selectedItemIndex();
    if (!index)
        return;
    const bool tabs = m_layout.isInTabMode();
    const CategoryList &columns = tabs ? m_lists.categories().tabs : m_lists.categories().visible;
    const int current = tabs ? m_layout.selectedTabIndex() : m_selection.selectedColumnIndex();
    if (columns.isEmpty() || current < 0 || current >= columns.size())
        return;
    const QList<ClipboardItemPtr> navigation = navigableItems(columns[current]);
    const std::optional<int> moved = navigateGrid(
        *index, gridSections(columns[current], navigation), 0, columnDelta, int(navigation.size()));
    if (moved) {
        m_selection.setSelectedItemIndex(*moved);
        return;
    }
    // Leaving the row sideways: arrows never change the tab, and never wrap around.
    if (tabs || columns.size() == 1)
        return;
    for (int candidate = current + columnDelta; candidate >= 0 && candidate < columns.size();
         candidate += columnDelta) {
        if (navigableItems(columns[candidate]).isEmpty())
            continue;
        m_selection.setSelectedColumnIndex(candidate);
        m_selection.setSelectedItemIndex(columnDelta < 0 ? firstRowEndIndex(candidate).value_or(0) : 0);
        return;
    }
}

void PanelNavigation::tab(int direction)
{
    if (m_layout.isInTabMode()) {
        m_layout.cycleTab(direction);
        return;
    }
    m_selection.setIsKeyboardNavigating(true);
    const CategoryList &visible = m_lists.categories().visible;
    const int count = int(visible.size());
    const int current = m_selection.selectedColumnIndex();
    if (count == 0 || current < 0 || current >= count)
        return;
    if (!m_selection.selectedItemIndex() && !navigableItems(visible[current]).isEmpty()) {
        m_selection.setSelectedItemIndex(0);
        return;
    }
    for (int step = 1; step < count; ++step) {
        const int candidate = ((current + direction * step) % count + count) % count;
        if (navigableItems(visible[candidate]).isEmpty())
            continue;
        m_selection.setSelectedColumnIndex(candidate);
        m_selection.setSelectedItemIndex(0);
        return;
    }
}

void PanelNavigation::clearItemSelection()
{
    m_selection.setSelectedItemIndex(std::nullopt);
    m_selection.setIsKeyboardNavigating(false);
}
