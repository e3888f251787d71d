#include "shell/FrontWindow.h"

#include "platform/Workspace.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

bool canHoldANotice(const QWidget *window)
{
    return window && window->isWindow() && window->windowType() == Qt::Window && window->isVisible()
        && !window->isMinimized();
}

// The settings window is raised above others through its native window, not its widget flags.
bool staysOnTop(const QWidget *window)
{
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return true;
    const QWindow *native = window->windowHandle();
    return native && native->flags().testFlag(Qt::WindowStaysOnTopHint);
}

// The panel: a window that stays above the others but takes no notice, since it hides at a click
// outside. A notice it would cover must open above it, and leave it the keys typed in it.
bool aToolWindowStaysOnTop()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [](const QWidget *window) {
        return window->windowType() == Qt::Tool && window->isVisible() && !window->isMinimized()
            && staysOnTop(window);
    });
}

} // namespace

namespace FrontWindow {

QWidget *current()
{
    if (QWidget *active = QApplication::activeWindow(); canHoldANotice(active))
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto above = std::find_if(windows.cbegin(), windows.cend(),
        [](const QWidget *window) { return canHoldANotice(window) && staysOnTop(window); });
    return above == windows.cend() ? nullptr : *above;
}

QMessageBox *showMessage(QMessageBox::Icon icon, const QString &title, const QString &text, bool takeFocus)
{
    QWidget *over = current();
    const bool aboveThePanel = !over && aToolWindowStaysOnTop();
    takeFocus = takeFocus && !aboveThePanel;
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok, over);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to the window it is over at most: a notice left open must not hold the keys of the
    // app's other windows (the panel shown next over it takes the keyboard).
    box->setWindowModality(over ? Qt::WindowModal : Qt::NonModal);
    if (!takeFocus) {
        // The window manager is asked not to give it the keyboard; a click still closes it.
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_ShowWithoutActivating);
        box->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    }
    // Last: setting the other flags on a message box drops it.
    if (aboveThePanel)
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
    if (takeFocus)
        box->activateWindow();
    return box;
}

void activateOnUsersBehalf(Workspace &workspace, const QWidget &window)
{
    RunningApplication own;
    own.processIdentifier = QCoreApplication::applicationPid();
    own.windowId = window.winId();
    workspace.activate(own);
}

} // namespace FrontWindow
