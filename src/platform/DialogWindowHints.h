#pragma once

#include <QtGlobal>

// Window-manager hints of a dialog: a frame with a title and a close button, and neither a
// minimise nor a maximise button. Applied to a window that is not mapped yet (the manager reads
// them when it maps the window); does nothing when the app does not run on X11.
namespace DialogWindowHints {
void applyBeforeMapping(quint64 windowId);
} // namespace DialogWindowHints
