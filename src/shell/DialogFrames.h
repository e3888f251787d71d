#pragma once

class QApplication;

// Every dialog the app shows (a question, a notice, an alert) is framed by the window manager as
// a dialog, with neither a minimise nor a maximise button: installed once, before the first
// dialog, it gives each dialog the hints as it is about to be mapped. Main thread only.
namespace DialogFrames {
void install(QApplication &app);
} // namespace DialogFrames
