#include "panel/HistoryToggle.h"

#include "common/NotificationCenter.h"
#include "panel/CategoryTitles.h"
#include "panel/HistoryResizer.h"
#include "panel/PanelCategoryLists.h"
#include "panel/PanelController.h"
#include "panel/PanelTabLayout.h"
#include "panel/PanelWindow.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;

namespace {

constexpr auto debounce = 500ms;
constexpr auto startDelay = 50ms;
constexpr auto settleDelay = 50ms;
// Without a resize the search strip fades back in after the columns' own animation.
constexpr auto fadeBackDelay = 200ms;
// The window's own resize after a toggle may change the column count once more.
constexpr auto resizeSettling = 300ms;
constexpr double resizeDuration = 0.2;
static_assert(HistoryToggle::widthDuration == std::chrono::milliseconds(200));

const QString historyToggleStarted = QStringLiteral("HistoryToggleStarted");

} // namespace

HistoryToggle::HistoryToggle(Clock &clock, PanelWindow &window, HistoryResizer &resizer,
    PanelController &controller, PanelCategoryLists &lists, PanelTabLayout &layout, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_window(window)
    , m_resizer(resizer)
    , m_controller(controller)
    , m_lists(lists)
    , m_layout(layout)
    , m_progress(clock, 1.0)
    , m_headerWidthMultiplier(clock, 1.0)
    , m_searchBarOpacity(clock, 1.0)
{
    for (AnimatedValue *value : { &m_progress, &m_headerWidthMultiplier, &m_searchBarOpacity })
        connect(value, &AnimatedValue::valueChanged, this, &HistoryToggle::animationFrame);
}

double HistoryToggle::toggleOpacity(bool historyColumn) const
{
    if (!m_animates)
        return 1.0;
    const double progress = m_progress.value();
    return historyColumn ? 1.0 - progress : progress;
}

std::optional<double> HistoryToggle::headerWidthMultiplier() const
{
    if (!m_hasHeaderWidthMultiplier)
        return std::nullopt;
    return m_headerWidthMultiplier.value();
}

bool HistoryToggle::toggledRecently() const
{
    return m_lastToggleTime && m_clock.now() - *m_lastToggleTime <= resizeSettling;
}

void HistoryToggle::toggle()
{
    if (m_layout.isInTabMode())
        return;
    const Clock::TimePoint now = m_clock.now();
    if (m_lastToggleTime && now - *m_lastToggleTime <= debounce)
        return;
    if (m_isRunning)
        return;
    if (m_window.hasPanelWindow() && m_resizer.isAnimatingHistory())
        return;
    m_lastToggleTime = now;
    const qsizetype visibleCount = m_lists.categories().visible.size();
    if (m_window.hasPanelWindow() && visibleCount > 0) {
        const double perColumn = m_window.panelFrame().width() / double(visibleCount);
        if (std::abs(perColumn - m_layout.currentColumnWidth()) > 1.0)
            m_layout.setCurrentColumnWidth(perColumn);
    }
    m_isRunning = true;
    Q_EMIT changed();
    NotificationCenter::defaultCenter().post(historyToggleStarted);
    m_clock.runAfter(startDelay, this, [this] { run(); });
}

void HistoryToggle::run()
{
    m_animates = true;
    fadeSearchBar(0.0);
    const int count = int(m_lists.categories().visible.size());
    const bool locked = m_controller.isLockedInTabMode();
    const bool hasWindow = m_window.hasPanelWindow();
    if (m_lists.isHistoryCollapsed())
        show(count, locked, hasWindow);
    else
        hide(count, locked, hasWindow);
}

void HistoryToggle::hide(int visibleCount, bool locked, bool hasWindow)
{
    const int columns = std::max(visibleCount, 2);
    m_animatingCategory.reset();
    for (const Category &category : m_lists.categories().visible) {
        if (category.title != CategoryTitle::history) {
            m_animatingCategory = category.title;
            break;
        }
    }
    m_progress.setValue(0.0);
    if (locked) {
        m_progress.animateTo(1.0, widthDuration, widthCurve());
        toggleWithoutResize(true, hasWindow);
        return;
    }
    m_controller.setIsHistoryToggling(true);
    if (hasWindow) {
        const double width = m_window.panelFrame().width();
        m_resizer.setHostingWidth(width);
        const double target = std::max({ PanelLayout::minimumPanelWidth,
            (columns - 1) * PanelLayout::columnWidth, width * (columns - 1) / columns });
        m_hasHeaderWidthMultiplier = true;
        m_headerWidthMultiplier.setValue(1.0);
        m_headerWidthMultiplier.animateTo(width > 0 ? target / width : 1.0, widthDuration, widthCurve());
    }
    m_progress.animateTo(1.0, widthDuration, widthCurve());
    Q_EMIT changed();
    resizeWindow(false, columns - 1, hasWindow);
}

void HistoryToggle::show(int visibleCount, bool locked, bool hasWindow)
{
    const CategoryList &visible = m_lists.categories().visible;
    m_animatingCategory = visible.isEmpty() ? std::nullopt : std::optional(visible.first().title);
    m_progress.animateTo(0.0, widthDuration, widthCurve());
    if (locked) {
        toggleWithoutResize(false, hasWindow);
        return;
    }
    m_controller.setIsHistoryToggling(true);
    const int columns = visibleCount + 1;
    if (hasWindow) {
        const double width = m_window.panelFrame().width();
        const double screenWidth = m_window.screenVisibleFrame().width();
        const int divisor = visibleCount >= 2 ? visibleCount : 1;
        const double target
            = std::min(screenWidth, std::max(columns * PanelLayout::columnWidth, width * columns / divisor));
        m_resizer.setHostingWidth(target);
        m_hasHeaderWidthMultiplier = true;
        m_headerWidthMultiplier.setValue(target > 0 ? width / target : 1.0);
        m_headerWidthMultiplier.animateTo(1.0, widthDuration, widthCurve());
    }
    m_lists.setHistoryCollapsedKeepingSelection(false);
    Q_EMIT changed();
    resizeWindow(true, columns, hasWindow);
}

// Locked in tabs the window keeps its size: History goes or comes at once.
void HistoryToggle::toggleWithoutResize(bool collapse, bool hasWindow)
{
    if (collapse && hasWindow)
        m_resizer.unpinHostingWidth();
    m_lists.setHistoryCollapsedKeepingSelection(collapse);
    m_animatingCategory.reset();
    m_isRunning = false;
    Q_EMIT changed();
    m_clock.runAfter(fadeBackDelay, this, [this] {
        fadeSearchBar(1.0);
        m_animates = m_isRunning;
    });
}

void HistoryToggle::resizeWindow(bool adding, int columnCount, bool hasWindow)
{
    QPointer<HistoryToggle> self(this);
    auto completion = [self, adding] {
        if (!self)
            return;
        if (adding)
            self->finishShow();
        else
            self->finishHide();
    };
    // Without a window there is nothing to resize and the toggle ends at once.
    if (hasWindow)
        m_resizer.resizeForHistoryToggle(adding, columnCount, resizeDuration, completion);
    else
        completion();
}

// History leaves the lists only now, once the window has narrowed.
void HistoryToggle::finishHide()
{
    if (m_window.hasPanelWindow())
        m_resizer.unpinHostingWidth();
    m_lists.setHistoryCollapsedKeepingSelection(true);
    m_animatingCategory.reset();
    m_hasHeaderWidthMultiplier = false;
    m_controller.setIsHistoryToggling(false);
    fadeSearchBar(1.0);
    settle(false);
}

void HistoryToggle::finishShow()
{
    if (m_window.hasPanelWindow())
        m_resizer.unpinHostingWidth();
    m_animatingCategory.reset();
    m_hasHeaderWidthMultiplier = false;
    fadeSearchBar(1.0);
    settle(true);
}

void HistoryToggle::settle(bool releaseWindow)
{
    m_clock.runAfter(settleDelay, this, [this, releaseWindow] {
        if (releaseWindow)
            m_controller.setIsHistoryToggling(false);
        m_isRunning = false;
        m_animates = false;
        Q_EMIT changed();
    });
}

void HistoryToggle::fadeSearchBar(double opacity)
{
    if (m_searchBarOpacity.target() == opacity)
        return;
    m_searchBarOpacity.animateTo(opacity, fadeDuration, TimingCurve::easeInOut());
    Q_EMIT changed();
}
