#pragma once

#include <QDeadlineTimer>

// Waits until the app has handled every event the X server sent it before now: a change
// another program made a moment ago (a new owner of the clipboard) has been seen then. Qt reads
// the server's events on a thread of its own and hands them to the main thread later, so a
// change the server made before may not have reached the app yet. The server is asked to change
// a property of a window of the app's own; its notice of that change comes behind every event
// it sent before, on the connection Qt reads. Runs the event loop meanwhile (user input left
// out). False when the deadline passed first, or without X11. Main thread only.
namespace X11EventCatchUp {

bool waitForEventsSentBeforeNow(QDeadlineTimer deadline);

} // namespace X11EventCatchUp
