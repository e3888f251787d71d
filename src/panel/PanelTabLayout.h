#pragma once

#include "panel/PanelLayout.h"

#include <QObject>
#include <QStringList>

class AppSettings;
class PanelCategoryLists;
class PanelAnimations;
class PanelController;
class PanelWindow;
class PanelSelectionState;

// Columns or tabs: what the last layout pass decided for the panel's width, the width of a
// column, how many columns are visible, and the selected tab. The window is told of the
// minimum width tabs need. Main thread only.
class PanelTabLayout final : public QObject
{
    Q_OBJECT

public:
    PanelTabLayout(PanelCategoryLists &lists, PanelSelectionState &selection, PanelWindow &window,
        PanelController &controller, AppSettings &settings, PanelAnimations &animations,
        QObject *parent = nullptr);

    bool isInTabMode() const { return m_isInTabMode; }
    double currentColumnWidth() const { return m_currentColumnWidth; }
    void setCurrentColumnWidth(double width);
    int visibleColumnCount() const { return m_visibleColumnCount; }

    // Decides columns or tabs for the panel's width. The decision is stored on the next turn
    // of the event loop, never while the caller is laying out, and not at all while a History
    // toggle runs (historyToggling), during which columns keep their width.
    PanelLayout::Decision layoutPass(double width, bool historyToggling);

    // -- Tabs
    int selectedTabIndex() const { return m_selectedTabIndex; }
    void setSelectedTabIndex(int index);
    // A tab chosen by the user (a click): its highlight and its content move to it.
    void selectTab(int index);
    QStringList tabTitles() const;
    // The narrowest the tab header can be.
    double tabBarWidth() const;
    // The selected tab holds something the Clear button can delete.
    bool selectedTabCanClear() const;
    // Control+digit: selects that tab in tab mode.
    void selectTabByDigit(int digit);
    // Tab and Shift+Tab in tab mode: the next or previous tab, wrapping around.
    void cycleTab(int direction);

Q_SIGNALS:
    void tabModeChanged(bool tabMode);
    void selectedTabIndexChanged(int index);
    void currentColumnWidthChanged(double width);
    void visibleColumnCountChanged(int count);
    // Something the columns are drawn from changed (the mode, the selected tab).
    void columnsChanged();

private:
    void categoriesChanged(qsizetype previousTabCount);
    void setTabMode(bool tabMode);
    void setVisibleColumnCount(int count);

    PanelCategoryLists &m_lists;
    PanelSelectionState &m_selection;
    PanelWindow &m_window;
    PanelController &m_controller;
    AppSettings &m_settings;
    PanelAnimations &m_animations;
    bool m_isInTabMode = false;
    int m_selectedTabIndex = 0;
    double m_currentColumnWidth = PanelLayout::columnWidth;
    int m_visibleColumnCount = 0;
};
