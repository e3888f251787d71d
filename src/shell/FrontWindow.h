#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;
class Workspace;

// Where the app's notices open: over the window of the app that is in front, so that a notice
// never opens hidden under the settings window, which stays above other windows. Main thread
// only.
namespace FrontWindow {

// The active window of the app, else a visible one that stays above other windows; nullptr
// when there is neither. Only ordinary windows count: the panel and the preview are tool
// windows that hide as soon as they lose the focus, and a message box is a notice itself.
QWidget *current();

// A box with the text and an OK button over current() (on its own when there is none), shown
// and given the focus unless takeFocus is false (the window in front keeps it, and the keys typed
// there); it goes when it is closed. It blocks the window it is over, never the app's others.
// Shown while the panel is and over no other window, it opens above the panel and leaves it the
// focus.
QMessageBox *showMessage(
    QMessageBox::Icon icon, const QString &title, const QString &text, bool takeFocus = true);

// Asks the desktop to activate one of the app's windows, as the user would: the window manager
// may refuse Qt's own request when the app had no recent input event of its own (a hot key
// arrives on another connection, the tray's menu is another window).
void activateOnUsersBehalf(Workspace &workspace, const QWidget &window);

} // namespace FrontWindow
