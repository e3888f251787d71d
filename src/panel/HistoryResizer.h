#pragma once

#include <functional>
#include <optional>

// The panel window's part in showing or collapsing the History column: one column wider or
// narrower, with the content pinned to a width while the frame animates. Main thread only.
class HistoryResizer
{
public:
    virtual ~HistoryResizer() = default;

    virtual bool isAnimatingHistory() const = 0;
    // Pins the content to a width while the frame animates (nothing: its current width).
    virtual void setHostingWidth(std::optional<double> width) = 0;
    // Lets the content follow the window's width again.
    virtual void unpinHostingWidth() = 0;
    // Narrows or widens the window by one column over duration seconds; completion runs once,
    // when the resize ends (at once when there is nothing to resize).
    virtual void resizeForHistoryToggle(
        bool adding, int columnCount, double duration, std::function<void()> completion)
        = 0;
};
