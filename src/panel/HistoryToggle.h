#pragma once

#include "common/Clock.h"

#include <QObject>
#include <QString>

#include <optional>

class PanelCategoryLists;
class PanelController;
class PanelEnvironment;
class PanelTabLayout;

// Collapsing and expanding the History column, and the values the panel draws the change
// with. A toggle runs from the request until it settles 0.05 s after the window's resize
// ended; the window itself is told to hold its column count (the controller's
// isHistoryToggling) only while it resizes. Main thread only.
class HistoryToggle final : public QObject
{
    Q_OBJECT

public:
    HistoryToggle(Clock &clock, PanelEnvironment &environment, PanelController &controller,
        PanelCategoryLists &lists, PanelTabLayout &layout, QObject *parent = nullptr);

    bool isRunning() const { return m_isRunning; }
    // The toggle's own resize may still be settling.
    bool toggledRecently() const;
    // 1 once History has gone, 0 once it is back: the fade of the columns that move.
    double animationProgress() const { return m_animationProgress; }
    // The column that shows the toggle button while History moves.
    std::optional<QString> animatingCategory() const { return m_animatingCategory; }
    // The search strip's width against the window's while the window resizes.
    std::optional<double> headerWidthMultiplier() const { return m_headerWidthMultiplier; }
    double searchBarOpacity() const { return m_searchBarOpacity; }

    // Collapses or expands History; dropped in tab mode, while a toggle runs and within 0.5 s
    // of the last one.
    void toggle();

Q_SIGNALS:
    void changed();

private:
    void run();
    void hide(int visibleCount, bool locked, bool hasWindow);
    void show(int visibleCount, bool locked, bool hasWindow);
    void finishHide();
    void finishShow();
    void settle(bool releaseWindow);
    void setSearchBarOpacity(double opacity);

    Clock &m_clock;
    PanelEnvironment &m_environment;
    PanelController &m_controller;
    PanelCategoryLists &m_lists;
    PanelTabLayout &m_layout;
    bool m_isRunning = false;
    double m_animationProgress = 1.0;
    std::optional<QString> m_animatingCategory;
    std::optional<double> m_headerWidthMultiplier;
    double m_searchBarOpacity = 1.0;
    std::optional<Clock::TimePoint> m_lastToggleTime;
};
