#pragma once

#include "panel/GridNavigation.h"
#include "panel/PanelCategories.h"

#include <optional>

class PanelCategoryLists;
class PanelSelectionState;
class PanelTabLayout;

// Where the keyboard selection is and where the arrows and Tab move it: through the rows and
// grid blocks of the current column, and sideways to the next column that has items (never
// wrapping, and never changing the tab). Main thread only.
class PanelNavigation final
{
public:
    PanelNavigation(PanelCategoryLists &lists, PanelTabLayout &layout, PanelSelectionState &selection);

    // The column navigation works in: the selected tab, or the selected visible column.
    std::optional<Category> currentColumn() const;
    QList<ClipboardItemPtr> navigableItems(const Category &category) const;
    QList<GridSection> gridSections(
        const Category &category, const QList<ClipboardItemPtr> &navigationList) const;
    std::optional<int> firstRowEndIndex(int visibleIndex) const;
    // The item at the selection, when it points at one.
    ClipboardItemPtr selectedItem() const;

    // Down starts a selection in the first column; Up never does and stops on the top row.
    void down();
    void up();
    // Left and Right move only once the keyboard navigates an item; false leaves the key to
    // the search field's caret.
    bool sideways(int columnDelta);
    // Tab and Shift+Tab: the next or previous column that has items, wrapping; in tab mode
    // the next or previous tab.
    void tab(int direction);
    void clearItemSelection();

private:
    void moveSideways(int columnDelta);

    PanelCategoryLists &m_lists;
    PanelTabLayout &m_layout;
    PanelSelectionState &m_selection;
};
