#pragma once

#include <QList>
#include <QSize>

#include <optional>

// Tells the window manager's resizes of the panel from the server's reports of the panel's own.
// The server reports every size the panel set, in the order it was set but late: while the panel
// animates its frame, a report can arrive after the panel has set several newer sizes, and the
// same report can come twice (the window manager repeats it). A reported size that the panel set
// and that has not been overtaken by a later report is the panel's own; any other size was set
// from outside (a window manager's Alt+drag, a tiling layout, a tool), even one the panel had
// set earlier: the window manager may take the panel back to it.
class OwnWindowSizes final
{
public:
    // How many sizes set are remembered: more than any animation sets before its reports come.
    static constexpr qsizetype kept = 64;

    // The panel set its window to this size.
    void set(const QSize &size);
    // The server reports the window at this size: whether the panel set it. The sizes set before
    // the one reported are forgotten: their reports are past. After a size from outside, every
    // size set before is forgotten too: a report that does not come (the window had that size
    // already) would otherwise claim the window manager's next resize.
    bool isOwn(const QSize &reported);

private:
    // Set and not reported yet, oldest first.
    QList<QSize> m_pending;
    // The panel's size reported last, until a size from outside comes.
    std::optional<QSize> m_reported;
};
