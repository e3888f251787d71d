#pragma once

#include <QString>

struct RunningApplication;

// The keys that make a window paste. Most programs paste the clipboard on Control+V; terminals
// keep Control+V for the program running in them and paste on Control+Shift+V (the clipboard)
// or, the older X terminals, on Shift+Insert (the PRIMARY selection).
enum class PasteKeystroke { controlV, controlShiftV, shiftInsert };

namespace PasteKeystrokes {

// The keystroke that pastes into the application's window, from the terminals this desktop
// knows by their window class or application id; Control+V for every other program.
PasteKeystroke forApplication(const RunningApplication &application);

// Whether the keystroke pastes the PRIMARY selection rather than the clipboard.
bool pastesPrimarySelection(PasteKeystroke keystroke);

// As the user reads it: "Control+Shift+V".
QString displayName(PasteKeystroke keystroke);

} // namespace PasteKeystrokes
