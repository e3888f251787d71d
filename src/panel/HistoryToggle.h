#pragma once

#include "common/AnimatedValue.h"
#include "common/Clock.h"

#include <QObject>
#include <QString>

#include <optional>

class PanelCategoryLists;
class PanelController;
class PanelWindow;
class HistoryResizer;
class PanelTabLayout;

// Collapsing and expanding the History column, and the values the panel draws the change
// with. A toggle runs from the request until it settles 0.05 s after the window's resize
// ended; the window itself is told to hold its column count (the controller's
// isHistoryToggling) only while it resizes. The values move on the clock: the toggle buttons'
// fade and the search strip's width over 0.2 s along the width curve, the search bar's fade over
// 0.15 s. Main thread only.
class HistoryToggle final : public QObject
{
    Q_OBJECT

public:
    HistoryToggle(Clock &clock, PanelWindow &window, HistoryResizer &resizer, PanelController &controller,
        PanelCategoryLists &lists, PanelTabLayout &layout, QObject *parent = nullptr);

    bool isRunning() const { return m_isRunning; }
    // The toggle's own resize may still be settling.
    bool toggledRecently() const;
    static constexpr Clock::Duration widthDuration { 200 };
    static constexpr Clock::Duration fadeDuration { 150 };
    // The window's resize follows the same curve as the values here.
    static constexpr TimingCurve widthCurve() { return TimingCurve::easeInOut(); }

    // 1 once History has gone, 0 once it is back: the fade of the columns that move.
    double animationProgress() const { return m_progress.value(); }
    // The opacity of a column's History toggle: History's own fades out as History leaves and in
    // as it comes back, the neighbour's the other way; fully opaque whenever no toggle runs.
    double toggleOpacity(bool historyColumn) const;
    // The column that shows the toggle button while History moves.
    std::optional<QString> animatingCategory() const { return m_animatingCategory; }
    // The search strip's width against the pinned content's while the window resizes.
    std::optional<double> headerWidthMultiplier() const;
    double searchBarOpacity() const { return m_searchBarOpacity.value(); }

    // Collapses or expands History; dropped in tab mode, while a toggle runs and within 0.5 s
    // of the last one.
    void toggle();

Q_SIGNALS:
    void changed();
    // One frame of the values above moving.
    void animationFrame();

private:
    void run();
    void hide(int visibleCount, bool locked, bool hasWindow);
    void show(int visibleCount, bool locked, bool hasWindow);
    void toggleWithoutResize(bool collapse, bool hasWindow);
    void resizeWindow(bool adding, int columnCount, bool hasWindow);
    void finishHide();
    void finishShow();
    void settle(bool releaseWindow);
    void fadeSearchBar(double opacity);

    Clock &m_clock;
    PanelWindow &m_window;
    HistoryResizer &m_resizer;
    PanelController &m_controller;
    PanelCategoryLists &m_lists;
    PanelTabLayout &m_layout;
    bool m_isRunning = false;
    bool m_animates = false;
    AnimatedValue m_progress;
    std::optional<QString> m_animatingCategory;
    bool m_hasHeaderWidthMultiplier = false;
    AnimatedValue m_headerWidthMultiplier;
    AnimatedValue m_searchBarOpacity;
    std::optional<Clock::TimePoint> m_lastToggleTime;
};
