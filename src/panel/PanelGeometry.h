#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// The clipboard panel's size and place, as plain arithmetic on rectangles in Qt's screen
// coordinates (y grows downwards; a frame's top-left is its origin). "Visible" is the
// available area of a screen, without panels and docks.
namespace PanelGeometry {

// A category column is this wide.
inline constexpr double columnWidth = 200;
inline constexpr double minimumWidth = 360;
inline constexpr double minimumHeight = 300;
// A first show with nothing stored opens this size.
inline constexpr double defaultWidth = 360;
inline constexpr double defaultHeight = 500;
// A panel with a single column is never wider.
inline constexpr double widestSingleColumnWidth = 360;
// The visible frame when there is no screen at all.
inline const QRectF noScreenVisibleFrame(0, 0, 1920, 1080);

// n columns fit side by side when the width is at least n × 200 − 5.
inline constexpr double columnSlack = 5;
inline double columnsThreshold(int columns)
{
    return columns * columnWidth - columnSlack;
}
// The width a panel shrinks to when it is forced into tabs.
double tabModeWidth(int columns);

// "{800, 500}" and "{120, 80}": the texts stored for a size and a point. Numbers are
// written without the locale; a fraction keeps up to 17 digits.
QString sizeText(const QSizeF &size);
QString pointText(const QPointF &point);
// The stored texts read back; nothing for anything malformed, and for sizes that are
// not positive in both directions.
std::optional<QSizeF> parseSize(const QString &text);
std::optional<QPointF> parsePoint(const QString &text);
// The key a screen's position is filed under: "screen_<name>", or "screen_<x>_<y>" from
// the screen's origin when it has no name.
QString screenKey(const QString &screenName, const QPointF &screenOrigin);

// Where the show path puts the panel.
struct ShowPlacement
{
    QRectF frame;
    QSizeF minimumSize;
    QSizeF maximumSize;
};
// savedTopLeft is the stored top-left corner for this screen; columnCount is at least 1.
ShowPlacement placeForShow(const QRectF &visible, std::optional<QSizeF> savedSize,
    std::optional<QPointF> savedTopLeft, bool lockedInTabMode, int columnCount,
    const QSizeF &currentMinimumSize);

// The end of a live resize decides the tab-mode lock.
enum class TabLockChange { none, lock, unlock };
TabLockChange decideAfterLiveResize(double width, int columnCount, bool locked);

// The frame fitted into a (new) screen's visible frame; the frame itself when it fits.
QRectF fitIntoScreen(const QRectF &frame, const QRectF &visible);

// A new column count: grow to show every column, around the centre and inside the screen.
struct ColumnResize
{
    bool lockTabMode = false; // the screen is too narrow: lock and leave the frame
    QRectF frame;
};
ColumnResize resizeForColumns(const QRectF &frame, const QRectF &visible, int columnCount);

// The History column appears (adding) or goes; the width per column stays, the right
// edge stays put.
struct HistoryResize
{
    enum class Outcome { resize, lockTabMode, alreadyFullWidth };
    Outcome outcome = Outcome::resize;
    QRectF frame;
};
HistoryResize resizeForHistoryToggle(
    const QRectF &frame, const QRectF &visible, bool adding, int columnCount);

// Forced tabs: the frame shrunk to the tab width around its centre; nothing when the
// panel is not wider than that.
std::optional<QRectF> shrinkToTabMode(const QRectF &frame, int columnCount);

// The frame widened to at least width around its centre, inside the visible frame.
QRectF widenToMinimum(const QRectF &frame, const QRectF &visible, double width);

} // namespace PanelGeometry
