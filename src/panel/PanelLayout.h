#pragma once

#include "panel/PanelGeometry.h"

#include <QFont>
#include <QStringList>

// How the panel lays out its categories for a given width: side-by-side columns, or tabs when
// the user narrows the window below what the columns need (or the window is locked to tabs).
namespace PanelLayout {

// The panel window's own measures: the panel view lays out in the same units.
inline constexpr double columnWidth = PanelGeometry::columnWidth;
inline constexpr double slack = PanelGeometry::columnSlack;
// Narrower than this the panel is not laid out at all yet (a window being created).
inline constexpr double minimumWidthForTabs = 50.0;
inline constexpr double minimumContentHeight = PanelGeometry::minimumHeight;
inline constexpr double minimumPanelWidth = PanelGeometry::minimumWidth;

struct Decision
{
    bool tabMode = false;
    // The width of one column, or the whole width in tab mode.
    double width = 0.0;

    friend bool operator==(const Decision &, const Decision &) = default;
};

// visibleCount is the number of visible columns (0 counts as 1); toggling is a running History
// toggle, during which columns keep currentColumnWidth.
Decision decide(double width, int visibleCount, bool inLiveResize, bool isLockedInTabMode, bool toggling,
    double currentColumnWidth);

// The panel's text at a size in points, drawn as pixels so that sizes match the look the
// panel was designed with whatever the screen's DPI.
QFont panelFont(double pointSize, QFont::Weight weight = QFont::Normal);

// The narrowest the tab header can be: every tab at its title's width (at least 44), the gaps,
// the paddings and room for the Clear button and the list/grid toggle.
double tabBarWidth(const QStringList &titles, double fontSize);

} // namespace PanelLayout
