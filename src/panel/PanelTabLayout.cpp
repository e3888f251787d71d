#include "panel/PanelTabLayout.h"

#include "model/AppSettings.h"
#include "panel/PanelAnimations.h"
#include "panel/PanelCategoryLists.h"
#include "panel/PanelController.h"
#include "panel/PanelSelectionState.h"
#include "panel/PanelWindow.h"

#include <QPointer>

#include <algorithm>

PanelTabLayout::PanelTabLayout(PanelCategoryLists &lists, PanelSelectionState &selection, PanelWindow &window,
    PanelController &controller, AppSettings &settings, PanelAnimations &animations, QObject *parent)
    : QObject(parent)
    , m_lists(lists)
    , m_selection(selection)
    , m_window(window)
    , m_controller(controller)
    , m_settings(settings)
    , m_animations(animations)
{
    connect(&lists, &PanelCategoryLists::categoriesChanged, this, &PanelTabLayout::categoriesChanged);
}

void PanelTabLayout::categoriesChanged(qsizetype previousTabCount)
{
    const CachedCategories &categories = m_lists.categories();
    // A column that disappeared (its last item deleted, code detection switched off) must not
    // leave the selection pointing past the end of the columns.
    const int visible = int(categories.visible.size());
    if (!m_isInTabMode && m_selection.selectedColumnIndex() >= visible)
        m_selection.select(std::max(0, visible - 1), std::nullopt);

    const int tabs = int(categories.tabs.size());
    if (tabs == previousTabCount)
        return;
    if (m_selectedTabIndex >= tabs)
        setSelectedTabIndex(std::max(tabs - 1, 0));
    if (m_isInTabMode && m_window.hasPanelWindow())
        m_window.ensureMinimumWidth(tabBarWidth());
}

PanelLayout::Decision PanelTabLayout::layoutPass(double width, bool historyToggling)
{
    const bool toggling = historyToggling || m_controller.isHistoryToggling();
    const int visibleCount = int(m_lists.categories().visible.size());
    const PanelLayout::Decision decision = PanelLayout::decide(width, visibleCount,
        m_controller.inLiveResize(), m_controller.isLockedInTabMode(), toggling, m_currentColumnWidth);
    if (historyToggling)
        return decision;

    QPointer<PanelTabLayout> self(this);
    auto store = [self](auto apply) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, apply] {
                if (self)
                    apply(*self);
            },
            Qt::QueuedConnection);
    };
    if (decision.tabMode != m_isInTabMode)
        store([tabMode = decision.tabMode](PanelTabLayout &layout) { layout.setTabMode(tabMode); });
    if (decision.width != m_currentColumnWidth)
        store([width = decision.width](PanelTabLayout &layout) { layout.setCurrentColumnWidth(width); });
    if (visibleCount != m_visibleColumnCount)
        store([visibleCount](PanelTabLayout &layout) { layout.setVisibleColumnCount(visibleCount); });
    return decision;
}

void PanelTabLayout::setTabMode(bool tabMode)
{
    if (m_isInTabMode != tabMode) {
        m_isInTabMode = tabMode;
        // Entering or leaving tab mode starts the selection afresh in the shown column.
        m_selection.setSelectedItemIndex(std::nullopt);
        if (tabMode)
            m_selection.setSelectedColumnIndex(m_selectedTabIndex);
        Q_EMIT tabModeChanged(tabMode);
        Q_EMIT columnsChanged();
    }
    if (m_window.hasPanelWindow())
        m_window.ensureMinimumWidth(tabMode ? tabBarWidth() : PanelLayout::minimumPanelWidth);
}

void PanelTabLayout::setCurrentColumnWidth(double width)
{
    if (m_currentColumnWidth == width)
        return;
    m_currentColumnWidth = width;
    Q_EMIT currentColumnWidthChanged(width);
}

void PanelTabLayout::setVisibleColumnCount(int count)
{
    if (m_visibleColumnCount == count)
        return;
    m_visibleColumnCount = count;
    Q_EMIT visibleColumnCountChanged(count);
}

void PanelTabLayout::setSelectedTabIndex(int index)
{
    if (m_selectedTabIndex == index)
        return;
    m_selectedTabIndex = index;
    Q_EMIT selectedTabIndexChanged(index);
    Q_EMIT columnsChanged();
    if (!m_isInTabMode)
        return;
    m_selection.setSelectedItemIndex(std::nullopt);
    m_selection.setSelectedColumnIndex(index);
}

void PanelTabLayout::selectTab(int index)
{
    m_animations.perform(PanelChange::tabSelection, [this, index] { setSelectedTabIndex(index); });
}

QStringList PanelTabLayout::tabTitles() const
{
    QStringList titles;
    for (const Category &category : m_lists.categories().tabs)
        titles.append(category.title);
    return titles;
}

double PanelTabLayout::tabBarWidth() const
{
    return PanelLayout::tabBarWidth(tabTitles(), m_settings.fontSize());
}

bool PanelTabLayout::selectedTabCanClear() const
{
    const CategoryList &tabs = m_lists.categories().tabs;
    if (m_selectedTabIndex < 0 || m_selectedTabIndex >= tabs.size())
        return false;
    const QList<ClipboardItemPtr> &items = tabs[m_selectedTabIndex].items;
    return std::any_of(
        items.begin(), items.end(), [](const ClipboardItemPtr &item) { return !item->isPinned(); });
}

void PanelTabLayout::selectTabByDigit(int digit)
{
    if (!m_isInTabMode || digit < 1 || digit > 9 || digit - 1 >= m_lists.categories().tabs.size())
        return;
    selectTab(digit - 1);
}

void PanelTabLayout::cycleTab(int direction)
{
    const int count = int(m_lists.categories().tabs.size());
    if (count > 0)
        selectTab(((m_selectedTabIndex + direction) % count + count) % count);
}
