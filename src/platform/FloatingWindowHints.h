#pragma once

#include <QtGlobal>

// Window-manager hints of a floating tool window that belongs to no workspace: shown on
// every workspace, kept out of task bars and pagers, above other windows. Applied to a
// window that is not mapped yet (the manager reads them when it maps the window); does
// nothing when the app does not run on X11.
namespace FloatingWindowHints {
void applyBeforeMapping(quint64 windowId);
}
