#pragma once

#include <QRectF>

// The window that shows the panel: its frame, its screen and the widths the content asks of
// it. Main thread only.
class PanelWindow
{
public:
    virtual ~PanelWindow() = default;

    // False once the window is gone; the calls below then do nothing.
    virtual bool hasPanelWindow() const = 0;
    virtual QRectF panelFrame() const = 0;
    // The usable area of the window's screen; 1920 x 1080 when it has none.
    virtual QRectF screenVisibleFrame() const = 0;
    virtual void ensureMinimumWidth(double width) = 0;
    // The window grows to show columnCount columns, animated over duration seconds when above 0.
    virtual void updateColumnCount(int columnCount, double duration) = 0;
    virtual void lockToTabMode(int columnCount) = 0;
};
