#pragma once

#include <QRect>
#include <QtGlobal>

// Window-manager hints of a floating tool window that belongs to no workspace: shown on
// every workspace, kept out of task bars and pagers, above other windows. Applied to a
// window that is not mapped yet (the manager reads them when it maps the window); does
// nothing when the app does not run on X11.
namespace FloatingWindowHints {
void applyBeforeMapping(quint64 windowId);
// Clicks outside this rectangle of the window (in its own coordinates) go to the windows below:
// a see-through margin around a body takes none.
void setInputRegion(quint64 windowId, const QRect &region);
} // namespace FloatingWindowHints
