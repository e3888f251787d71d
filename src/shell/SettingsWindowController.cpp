#include "shell/SettingsWindowController.h"

#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "detection/HighlightCacheService.h"
#include "settings/SettingsView.h"
#include "shell/FrontWindow.h"
#include "shell/StatusMenu.h"

#include <QGuiApplication>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

SettingsWindowController::SettingsWindowController(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_dependencies(std::move(dependencies))
{
    connect(
        qApp, &QGuiApplication::focusWindowChanged, this, &SettingsWindowController::elevateSettingsWindow);
}

SettingsWindowController::~SettingsWindowController()
{
    // The window records and stores shortcuts through a centre that may go right after.
    delete m_settingsWindow.data();
}

void SettingsWindowController::showSettingsWindow()
{
    if (!m_settingsWindow)
        m_settingsWindow = makeSettingsWindow();
    SettingsView *window = m_settingsWindow;
    const bool wasVisible = window->isVisible();
    window->show();
    window->raise();
    window->activateWindow();
    if (!wasVisible)
        activateOnceShown(window);
}

SettingsView *SettingsWindowController::settingsWindow() const
{
    return m_settingsWindow.data();
}

SettingsView *SettingsWindowController::makeSettingsWindow()
{
    HighlightCacheService *highlights = &m_dependencies.highlights;
    SettingsView::Services services { m_dependencies.settings, m_dependencies.mainContext,
        m_dependencies.shortcuts, m_dependencies.togglePanel, &SettingsWindowController::checkForUpdates,
        // Clearing the history lets the highlighting engine's heap go.
        [highlights] { highlights->resetHighlighter(); } };
    auto *window = new SettingsView(services);
    // Closed, it goes; the next opening starts afresh on "General".
    window->setAttribute(Qt::WA_DeleteOnClose);
    // While the shortcut recorder records, these keys are its own to record.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), window), &QShortcut::activated, window,
        &QWidget::close);
    connect(new QShortcut(StatusMenu::quitShortcut(), window), &QShortcut::activated, this, [this] {
        if (m_dependencies.quit)
            m_dependencies.quit();
    });
    return window;
}

// The window manager may refuse the request of a program that has no recent input event of
// its own (the tray's menu is another window): once the window is on screen, ask again on the
// user's behalf.
void SettingsWindowController::activateOnceShown(SettingsView *window)
{
    QPointer<SettingsWindowController> self = this;
    auto monitor = std::make_shared<QPointer<LocalEventMonitor>>();
    auto *firstPaint = new LocalEventMonitor(
        { QEvent::Paint },
        [self, window, monitor](QObject *receiver, QEvent *) {
            if (receiver != window || !*monitor)
                return false;
            (*monitor)->stop();
            (*monitor)->deleteLater();
            QTimer::singleShot(0, self, [self] {
                if (self && self->m_settingsWindow && !self->m_settingsWindow->isActiveWindow())
                    FrontWindow::activateOnUsersBehalf(
                        self->m_dependencies.workspace, *self->m_settingsWindow);
            });
            return false;
        },
        window);
    *monitor = firstPaint;
    firstPaint->start();
}

void SettingsWindowController::checkForUpdates()
{
    FrontWindow::showMessage(QMessageBox::Information, QStringLiteral("Check for Updates"),
        QStringLiteral("This is Tindlewick %1. It does not look for new versions or update itself: "
                       "a newer version is installed the way this one was, from a newer Debian package "
                       "(sudo apt install ./tindlewick_VERSION_amd64.deb installs it over this one) or "
                       "from a newer build.")
            .arg(QCoreApplication::applicationVersion()));
}

bool SettingsWindowController::shouldElevateSettingsWindow(const QString &identifier, const QString &title)
{
    if (identifier.contains(QLatin1String("settings")))
        return true;
    if (title.toLower().contains(QLatin1String("settings")))
        return true;
    static const QStringList tabTitles { QStringLiteral("General"), QStringLiteral("Colors"),
        QStringLiteral("History"), QStringLiteral("Hotkey"), QStringLiteral("Exclusions") };
    return tabTitles.contains(title);
}

void SettingsWindowController::elevateSettingsWindow(QWindow *window)
{
    if (!window || window->flags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    if (shouldElevateSettingsWindow(window->objectName(), window->title()))
        window->setFlag(Qt::WindowStaysOnTopHint, true);
}
