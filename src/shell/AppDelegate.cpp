#include "shell/AppDelegate.h"

#include "KeyboardShortcuts/DoubleTapService.h"
#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "KeyboardShortcuts/Recorder.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "capture/BackgroundEnrichment.h"
#include "capture/ClipboardMonitor.h"
#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "detection/HighlightCacheService.h"
#include "items/ItemRowPainter.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "panel/ClipboardPanelView.h"
#include "panel/PanelController.h"
#include "panel/PanelGeometry.h"
#include "panel/SearchField.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/SingleInstance.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsView.h"
#include "shell/ClipboardPanel.h"
#include "shell/FrontWindow.h"
#include "shell/PasteService.h"
#include "shell/SettingsLinkHelper.h"
#include "shell/SettingsOpener.h"
#include "shell/StatusItem.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>
#include <QWindow>

namespace {

QPointer<AppDelegate> g_shared;

// Keys the panel's own handling needs: typing them never moves the focus to the search.
bool isPassThroughKey(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

QScreen *screenUnderPointer()
{
    if (QScreen *screen = QGuiApplication::screenAt(QCursor::pos()))
        return screen;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        return primary;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

// Device pixels of the X server to Qt's logical coordinates.
QPoint logicalPosition(const QPoint &nativePosition)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    return (QPointF(nativePosition) / ratio).toPoint();
}

} // namespace

AppDelegate::AppDelegate(Services services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    // Clearing the history from the settings window lets the highlighting engine's heap go.
    , m_releaseHighlighter([] { HighlightCacheService::shared().resetHighlighter(); })
{
    m_hotKeyCenter = std::make_unique<KeyboardShortcuts::HotKeyCenter>(m_services.hotKeys);
    m_shortcuts = std::make_unique<KeyboardShortcuts::ShortcutCenter>(m_services.defaults, *m_hotKeyCenter);
    KeyboardShortcuts::ShortcutCenter::setShared(m_shortcuts.get());
    m_pasteService
        = std::make_unique<PasteService>(m_services.pasteboard, m_services.keyboard, m_services.workspace);

    // A grab refused at start-up or later (another program, often an input method, holds
    // the combination) must not go unnoticed: the panel could not be opened by it.
    connect(m_shortcuts.get(), &KeyboardShortcuts::ShortcutCenter::registrationFailed, this,
        &AppDelegate::handleRegistrationFailure);
}

AppDelegate::~AppDelegate()
{
    // The window records and stores shortcuts through the centre that goes with the delegate.
    delete m_settingsWindow.data();
    removeKeyMonitor();
    removeWorkspaceObserver();
    removeGlobalMouseMonitor();
    m_doubleTapService.reset();
    m_enrichment.reset();
    m_clipboardMonitor.reset();
    m_popoverPanel.reset();
    m_statusItem.reset();
    if (KeyboardShortcuts::ShortcutCenter::shared() == m_shortcuts.get())
        KeyboardShortcuts::ShortcutCenter::setShared(nullptr);
}

AppDelegate *AppDelegate::shared()
{
    return g_shared.data();
}

const KeyboardShortcuts::Name &AppDelegate::togglePanelShortcut()
{
    static const KeyboardShortcuts::Name name { QStringLiteral("togglePanel"),
        KeyboardShortcuts::Shortcut::fromKey(KeyboardShortcuts::Key { KeyboardShortcuts::Key::space },
            KeyboardShortcuts::ModifierFlag::control) };
    return name;
}

QString AppDelegate::runningVersion()
{
    // The package version is both the release and the build here.
    const QString version = QCoreApplication::applicationVersion();
    return QStringLiteral("%1 (%2)").arg(version, version);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    g_shared = this;
    if (!terminateOtherInstances()) {
        // Another copy runs (or is starting at this very moment): this one does nothing.
        m_refusedToRun = true;
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return;
    }
    updateVersionBookkeeping();
    createStatusItem();

    m_clipboardMonitor = std::make_unique<ClipboardMonitor>(m_services.container, m_services.pasteboard,
        m_services.workspace, m_services.settings, m_services.defaults);
    m_clipboardMonitor->setCodeClassifier(m_services.codeClassifier);
    // A copy that cannot be saved is never lost silently: the user hears once per cause.
    connect(m_clipboardMonitor.get(), &ClipboardMonitor::storeFailed, this,
        [this](const StoreFailure &failure) { notifyUser(failure.title(), failure.message()); });
    startBackgroundEnrichment();
    m_clipboardMonitor->startMonitoring();

    registerObservers();
    m_settingsOpener = std::make_unique<SettingsOpener>();
    QPointer<AppDelegate> opener = this;
    SettingsOpener::setOpenSettingsAction([opener] {
        if (opener)
            opener->showSettingsWindow();
    });

    if (m_services.settings.detectCode() && m_detectionHooks.warmUp) {
        QPointer<AppDelegate> self = this;
        QTimer::singleShot(0, this, [self] {
            if (self && self->m_detectionHooks.warmUp)
                self->m_detectionHooks.warmUp();
        });
    }

    createPanel();

    QPointer<AppDelegate> self = this;
    m_shortcuts->declare(togglePanelShortcut());
    m_shortcuts->onKeyUp(togglePanelShortcut(), [self] {
        if (self)
            self->togglePanel();
    });
    configureActivation();
}

void AppDelegate::startBackgroundEnrichment()
{
    HighlightCacheService &highlights = HighlightCacheService::shared();
    highlights.setSettings(&m_services.settings);
    // A new theme makes every highlighted line in memory stale.
    m_services.settings.setCodeThemeWillChangeHandler(
        [] { HighlightCacheService::shared().clearMemoryCache(); });
    m_enrichment
        = std::make_unique<BackgroundEnrichment>(*m_clipboardMonitor, highlights, m_services.settings);
    // Code is highlighted for the appearance the panel shows, so its rows find the lines.
    m_enrichment->setAppearance([] { return ItemRowPainter::isDark(QGuiApplication::palette()); });
}

bool AppDelegate::terminateOtherInstances()
{
    SingleInstance *instance = m_services.singleInstance;
    if (!instance)
        return true;
    // Only one copy may watch the clipboard. The app settles it before it opens the store;
    // a delegate given an instance that has not is settled here.
    if (!instance->hasClaimed() && !instance->takeOver()) {
        printDiagnostic(anotherCopyRunsMessage(instance->lockPath()));
        return false;
    }
    if (!instance->isListening())
        printDiagnostic(
            QStringLiteral("[AppDelegate] Cannot listen on %1: a later start will not find this one")
                .arg(instance->socketPath()));
    connect(instance, &SingleInstance::quitRequested, this, &AppDelegate::quitForAnotherCopy,
        Qt::UniqueConnection);
    return true;
}

QString AppDelegate::anotherCopyRunsMessage(const QString &lockPath)
{
    return QStringLiteral(
        "[AppDelegate] Another copy of Tindlewick is running (it holds %1); this one quits.")
        .arg(lockPath);
}

void AppDelegate::quitForAnotherCopy()
{
    // The new copy starts its own capture as soon as this one has gone.
    if (m_clipboardMonitor)
        m_clipboardMonitor->savePendingItems();
    m_enrichment.reset();
    m_clipboardMonitor.reset();
    QCoreApplication::quit();
}

void AppDelegate::updateVersionBookkeeping()
{
    const QString running = runningVersion();
    const QString lastSeen = m_services.settings.lastSeenVersion();
    if (!lastSeen.isEmpty() && lastSeen != running)
        m_services.settings.setShowUpdateSuccessBanner(true);
    m_services.settings.setLastSeenVersion(running);
}

void AppDelegate::createStatusItem()
{
    if (!m_services.useStatusItem)
        return;
    if (!StatusItem::isAvailable())
        printDiagnostic(QStringLiteral("[AppDelegate] ") + noTrayMessage());
    m_statusItem = std::make_unique<StatusItem>();
    m_statusItem->setOpenShortcut(*m_shortcuts, togglePanelShortcut());
    // The tray menu is the app's menu: the recorder refuses a shortcut one of its items uses.
    KeyboardShortcuts::Recorder::setMainMenu(m_statusItem->menu());
    connect(m_statusItem.get(), &StatusItem::clicked, this, &AppDelegate::togglePanel);
    connect(m_statusItem.get(), &StatusItem::openRequested, this, &AppDelegate::togglePanel);
    connect(m_statusItem.get(), &StatusItem::settingsRequested, this, &AppDelegate::openSettings);
    connect(m_statusItem.get(), &StatusItem::updatesRequested, this, [this] { checkForUpdates(); });
    connect(
        m_statusItem.get(), &StatusItem::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

QString AppDelegate::noTrayMessage() const
{
    return QStringLiteral("No system tray is running, so Tindlewick shows no tray icon; %1.")
        .arg(openingHint());
}

void AppDelegate::registerObservers()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &AppDelegate::elevateSettingsWindow);
    center.addObserver(Notifications::detectCodeSettingChanged, this,
        [this](const QVariantMap &) { QTimer::singleShot(0, this, &AppDelegate::handleDetectCodeChanged); });
    center.addObserver(Notifications::activationModeChanged, this,
        [this](const QVariantMap &) { QTimer::singleShot(0, this, &AppDelegate::configureActivation); });
    center.addObserver(Notifications::liquidGlassSettingChanged, this, [this](const QVariantMap &) {
        QTimer::singleShot(0, this, [this] {
            if (m_popoverPanel)
                m_popoverPanel->rebuildBackground();
        });
    });
}

void AppDelegate::handleDetectCodeChanged()
{
    if (m_services.settings.detectCode()) {
        if (m_detectionHooks.loadModels)
            m_detectionHooks.loadModels();
    } else {
        if (m_detectionHooks.unloadModels)
            m_detectionHooks.unloadModels();
        // Its script heap goes too; code still shown is highlighted by a new engine.
        HighlightCacheService::shared().resetHighlighter();
    }
}

bool AppDelegate::shouldElevateSettingsWindow(const QString &identifier, const QString &title)
{
    if (identifier.contains(QLatin1String("settings")))
        return true;
    if (title.toLower().contains(QLatin1String("settings")))
        return true;
    static const QStringList tabTitles { QStringLiteral("General"), QStringLiteral("Colors"),
        QStringLiteral("History"), QStringLiteral("Hotkey"), QStringLiteral("Exclusions") };
    return tabTitles.contains(title);
}

void AppDelegate::elevateSettingsWindow(QWindow *window)
{
    if (!window || window->flags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    if (shouldElevateSettingsWindow(window->objectName(), window->title()))
        window->setFlag(Qt::WindowStaysOnTopHint, true);
}

void AppDelegate::createPanel()
{
    m_popoverPanel = std::make_unique<ClipboardPanel>(
        m_services.container, m_services.settings, m_services.defaults, m_services.workspace.isCompositing());
    m_panelController = m_popoverPanel->panelController();
    if (m_panelContentFactory) {
        if (QWidget *content = m_panelContentFactory(*m_popoverPanel))
            m_popoverPanel->setContentView(content);
    }
    QPointer<AppDelegate> self = this;
    m_popoverPanel->setCancelHandler([self] {
        if (self)
            self->hidePanel(true);
    });
}

void AppDelegate::configureActivation()
{
    const AppSettings::ActivationMode mode = m_services.settings.activationMode();
    const QList<KeyboardShortcuts::Name> names { togglePanelShortcut() };
    if (mode == AppSettings::ActivationMode::doubleTap) {
        if (m_currentActivationMode == AppSettings::ActivationMode::doubleTap) {
            if (m_doubleTapService)
                m_doubleTapService->updateTargetModifier(m_services.settings);
            return;
        }
        m_currentActivationMode = AppSettings::ActivationMode::doubleTap;
        QPointer<AppDelegate> self = this;
        auto service = std::make_unique<DoubleTapService>(m_services.inputMonitor, [self] {
            if (self)
                self->togglePanel();
        });
        service->updateTargetModifier(m_services.settings);
        QString reason;
        // The shortcut goes only once the double tap really works: the panel must always
        // have a way to be opened (the tray's click stays in any case).
        if (service->start(&reason)) {
            m_doubleTapService = std::move(service);
            m_shortcuts->disable(names);
        } else {
            m_shortcuts->enable(names);
            explainDoubleTapUnavailable(reason);
        }
        return;
    }
    if (m_currentActivationMode == AppSettings::ActivationMode::shortcut)
        return;
    m_currentActivationMode = AppSettings::ActivationMode::shortcut;
    if (m_doubleTapService) {
        m_doubleTapService->stop();
        m_doubleTapService.reset();
    }
    m_shortcuts->enable(names);
}

QString AppDelegate::openingHint() const
{
    const KeyboardShortcuts::Name &name = togglePanelShortcut();
    const QString key = KeyboardShortcuts::ShortcutCenter::storageKey(name);
    std::optional<KeyboardShortcuts::Shortcut> shortcut = m_shortcuts->getShortcut(name);
    // Before the first start has stored anything, the default is what will be taken.
    if (!m_services.defaults.contains(key))
        shortcut = name.defaultShortcut;
    if (shortcut)
        return QStringLiteral("open it with %1").arg(shortcut->nativeText());
    if (m_services.defaults.boolean(key) == false)
        return QStringLiteral("no shortcut is set to open it");
    // Something is stored that is no shortcut: the default is not what will be taken.
    return QStringLiteral("the shortcut to open it, stored in %1, cannot be read: choose one in the settings")
        .arg(m_services.defaults.filePath());
}

void AppDelegate::explainDoubleTapUnavailable(const QString &reason)
{
    if (m_toldDoubleTapUnavailable)
        return;
    m_toldDoubleTapUnavailable = true;
    notifyUser(QStringLiteral("Double tap unavailable"),
        QStringLiteral("A double tap of %1 cannot open Tindlewick here: %2. Until it can, %3.")
            .arg(DoubleTapService::modifierName(m_services.settings.doubleTapModifier()), reason,
                openingHint()));
}

void AppDelegate::openSettings()
{
    SettingsLinkHelper::shared().openSettings();
}

void AppDelegate::checkForUpdates()
{
    FrontWindow::showMessage(QMessageBox::Information, QStringLiteral("Check for Updates"),
        QStringLiteral("This is Tindlewick %1. It does not look for new versions or update itself: "
                       "a newer version is installed the way this one was, from a newer Debian package "
                       "(sudo apt install ./tindlewick_VERSION_amd64.deb installs it over this one) or "
                       "from a newer build.")
            .arg(QCoreApplication::applicationVersion()));
}

SettingsView *AppDelegate::settingsWindow() const
{
    return m_settingsWindow.data();
}

void AppDelegate::showSettingsWindow()
{
    if (!m_settingsWindow) {
        QPointer<AppDelegate> self = this;
        SettingsView::Services services { m_services.settings, *m_services.container.mainContext(),
            *m_shortcuts, togglePanelShortcut(),
            [self] {
                if (self)
                    self->checkForUpdates();
            },
            m_releaseHighlighter };
        m_settingsWindow = new SettingsView(services);
        // Closed, it goes; the next opening starts afresh on "General".
        m_settingsWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    SettingsView *window = m_settingsWindow;
    const bool wasVisible = window->isVisible();
    window->show();
    window->raise();
    window->activateWindow();
    if (wasVisible)
        return;
    // The window manager may refuse the request of a program that has no recent input event of
    // its own (the tray's menu is another window): once the window is on screen, ask again on
    // the user's behalf.
    QPointer<AppDelegate> self = this;
    auto monitor = std::make_shared<QPointer<LocalEventMonitor>>();
    auto *firstPaint = new LocalEventMonitor(
        { QEvent::Paint },
        [self, window, monitor](QObject *receiver, QEvent *) {
            if (receiver != window || !*monitor)
                return false;
            (*monitor)->stop();
            (*monitor)->deleteLater();
            QTimer::singleShot(0, self, [self] {
                if (!self || !self->m_settingsWindow || self->m_settingsWindow->isActiveWindow())
                    return;
                RunningApplication own;
                own.processIdentifier = QCoreApplication::applicationPid();
                own.windowId = self->m_settingsWindow->winId();
                self->m_services.workspace.activate(own);
            });
            return false;
        },
        window);
    *monitor = firstPaint;
    firstPaint->start();
}

void AppDelegate::handleRegistrationFailure(
    const KeyboardShortcuts::Shortcut &shortcut, const QString &reason)
{
    // A copy that is just quitting may still hold the shortcut for a moment: try once more
    // a second later before telling the user.
    if (m_registrationRetry == RegistrationRetry::pending)
        return;
    if (m_registrationRetry == RegistrationRetry::none) {
        m_registrationRetry = RegistrationRetry::pending;
        QTimer::singleShot(1000, this, [this] {
            m_registrationRetry = RegistrationRetry::done;
            if (m_currentActivationMode == AppSettings::ActivationMode::shortcut)
                m_shortcuts->enable({ togglePanelShortcut() });
        });
        return;
    }
    notifyUser(QStringLiteral("Shortcut not available"),
        QStringLiteral("%1 may not reach Tindlewick: %2. Choose another shortcut in the settings.")
            .arg(shortcut.nativeText(), reason));
}

void AppDelegate::notifyUser(const QString &title, const QString &message)
{
    printDiagnostic(QStringLiteral("[AppDelegate] %1: %2").arg(title, message));
    if (m_notifyUser) {
        m_notifyUser(title, message);
        return;
    }
    if (m_statusItem && StatusItem::isAvailable()) {
        m_statusItem->showMessage(title, message);
        return;
    }
    FrontWindow::showMessage(QMessageBox::Warning, title, message);
}

void AppDelegate::togglePanel()
{
    const std::optional<RunningApplication> front = m_services.workspace.frontmostApplication();
    if (!front || !front->isCurrentApplication())
        m_previousApp = front;
    if (!m_popoverPanel)
        createPanel();
    if (m_popoverPanel->isVisible())
        hidePanel(true);
    else
        showPanel();
}

void AppDelegate::showPanel()
{
    ClipboardPanel *panel = m_popoverPanel.get();
    if (!panel)
        return;
    QScreen *screen = screenUnderPointer();
    if (!screen)
        return;
    const QRectF visible(screen->availableGeometry());
    panel->setMaximumFrameSize(visible.size());
    const PanelGeometry::ShowPlacement placement
        = PanelGeometry::placeForShow(visible, ClipboardPanel::savedSize(m_services.defaults),
            ClipboardPanel::savedPosition(m_services.defaults, ClipboardPanel::screenKey(screen)),
            panel->isLockedInTabMode(),
            ClipboardPanel::initialColumnCount(m_services.container, m_services.settings),
            panel->minimumFrameSize());
    if (m_refreshVolumes)
        m_refreshVolumes();
    // The search from before the show is selected a moment after it, so that typing replaces
    // it; what is typed in that moment is not (a key typed at once would replace the one before).
    QPointer<SearchField> searchField = findSearchField(panel->contentView());
    const QString searchAtShow = searchField ? searchField->text() : QString();
    panel->setMinimumFrameSize(placement.minimumSize);
    panel->setFrame(placement.frame);
    panel->setWindowOpacity(1);
    panel->show();
    panel->raise();
    if (!m_panelController->isPinned())
        activatePanelWindow();
    Q_EMIT panelShown();

    QPointer<AppDelegate> self = this;
    const QRectF frame = placement.frame;
    QTimer::singleShot(0, this, [self, frame, searchField, searchAtShow] {
        if (!self || !self->m_popoverPanel)
            return;
        NotificationCenter::defaultCenter().post(Notifications::panelWillShow);
        if (SearchField *field = searchField.data())
            QTimer::singleShot(250, field, [field, searchAtShow] { focusSearchField(field, searchAtShow); });
        self->m_popoverPanel->setFrame(frame);
        self->m_popoverPanel->setMaximumFrameSize(frame.size());
        QTimer::singleShot(100, self, [self] {
            if (!self || !self->m_popoverPanel)
                return;
            self->m_popoverPanel->applyThinScrollers(self->m_popoverPanel->hostingView());
            self->m_popoverPanel->hideScrollers(self->m_popoverPanel->hostingView());
        });
    });

    installGlobalMouseMonitor();
    installKeyMonitor();
    installWorkspaceObserver();
}

void AppDelegate::activatePanelWindow()
{
    ClipboardPanel *panel = m_popoverPanel.get();
    panel->activateWindow();
    // The window manager may refuse Qt's request (its time predates the hot key, which
    // arrived on another connection); ask again on the user's behalf once it is mapped.
    QPointer<AppDelegate> self = this;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(panel, &ClipboardPanel::painted, this, [self, connection] {
        QObject::disconnect(*connection);
        if (!self || !self->m_popoverPanel || self->m_popoverPanel->isActiveWindow())
            return;
        RunningApplication own;
        own.processIdentifier = QCoreApplication::applicationPid();
        own.windowId = self->m_popoverPanel->winId();
        self->m_services.workspace.activate(own);
    });
}

SearchField *AppDelegate::findSearchField(QWidget *contentView)
{
    if (!contentView)
        return nullptr;
    auto *view = qobject_cast<ClipboardPanelView *>(contentView);
    if (!view)
        view = contentView->findChild<ClipboardPanelView *>();
    return view ? view->searchField() : nullptr;
}

void AppDelegate::focusSearchField(SearchField *field, const QString &textAtShow)
{
    if (!field)
        return;
    field->setFocus(Qt::OtherFocusReason);
    // Selecting what was typed in the moment since the show would let the next key replace it.
    if (!field->text().isEmpty() && field->text() == textAtShow)
        field->selectAll();
}

void AppDelegate::installGlobalMouseMonitor()
{
    removeGlobalMouseMonitor();
    m_globalMouseMonitor = connect(&m_services.inputMonitor, &GlobalInputMonitor::mouseDown, this,
        &AppDelegate::handleOutsideClick, Qt::QueuedConnection);
    m_services.inputMonitor.setWatchesMouseDowns(true);
}

void AppDelegate::removeGlobalMouseMonitor()
{
    if (m_globalMouseMonitor) {
        disconnect(m_globalMouseMonitor);
        m_globalMouseMonitor = {};
        m_services.inputMonitor.setWatchesMouseDowns(false);
    }
}

void AppDelegate::handleOutsideClick(const QPoint &nativePosition)
{
    ClipboardPanel *panel = m_popoverPanel.get();
    if (!panel || !panel->isVisible() || m_panelController->isPinned())
        return;
    const QPoint position = logicalPosition(nativePosition);
    if (panel->hitFrame().contains(position))
        return;
    // The tray icon's own click toggles the panel.
    if (m_statusItem && m_statusItem->geometry().contains(position))
        return;
    // Clicks in this app's other windows are no outside clicks.
    if (QWidget *window = QApplication::topLevelAt(position); window && window != panel)
        return;
    // The focus goes back only when the click did not land in another application's
    // window: that window takes the focus itself, and taking it away would be theft.
    const std::optional<RunningApplication> clicked = m_services.workspace.applicationAt(nativePosition);
    const bool landedInAnotherApplication = clicked && !clicked->isCurrentApplication();
    hidePanel(!landedInAnotherApplication);
}

void AppDelegate::installKeyMonitor()
{
    removeKeyMonitor();
    QPointer<AppDelegate> self = this;
    m_keyMonitor = std::make_unique<LocalEventMonitor>(
        QList<QEvent::Type> { QEvent::KeyPress }, [self](QObject *receiver, QEvent *event) {
            return self && self->handlePanelKeyDown(receiver, event);
        });
    m_keyMonitor->start();
}

void AppDelegate::removeKeyMonitor()
{
    m_keyMonitor.reset();
}

bool AppDelegate::handlePanelKeyDown(QObject *receiver, QEvent *event)
{
    ClipboardPanel *panel = m_popoverPanel.get();
    if (!panel || !panel->isVisible())
        return false;
    auto *widget = qobject_cast<QWidget *>(receiver);
    if (!widget || widget->window() != panel)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->text().isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    if (isPassThroughKey(key->key()))
        return false;
    if (m_isEditingLabel && m_isEditingLabel())
        return false;
    SearchField *field = findSearchField(panel->contentView());
    if (!field || widget == field || field->hasFocus())
        return false;
    field->setFocus(Qt::OtherFocusReason);
    field->deselect();
    field->setCursorPosition(int(field->text().size()));
    NotificationCenter::defaultCenter().post(Notifications::focusSearchAndType);
    // The typed key goes on to the field, as if it had had the focus all along.
    QKeyEvent forwarded(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
        key->nativeVirtualKey(), key->nativeModifiers(), key->text(), key->isAutoRepeat(), key->count());
    QCoreApplication::sendEvent(field, &forwarded);
    return true;
}

void AppDelegate::installWorkspaceObserver()
{
    removeWorkspaceObserver();
    QPointer<AppDelegate> self = this;
    m_services.workspace.setActivationHandler([self](const std::optional<RunningApplication> &application) {
        if (!self)
            return;
        QTimer::singleShot(0, self, [self, application] {
            if (self)
                self->handleAppActivation(application);
        });
    });
    m_workspaceObserverInstalled = true;
}

void AppDelegate::removeWorkspaceObserver()
{
    if (m_workspaceObserverInstalled)
        m_services.workspace.setActivationHandler({});
    m_workspaceObserverInstalled = false;
}

void AppDelegate::handleAppActivation(const std::optional<RunningApplication> &application)
{
    if (!m_popoverPanel || !m_popoverPanel->isVisible() || m_panelController->isPinned())
        return;
    // No active window at all is a moment between two windows, not another application.
    if (!application)
        return;
    // The other application keeps the focus it has just taken.
    if (!application->isCurrentApplication())
        hidePanel(false);
}

void AppDelegate::hidePanel(bool restoreFocus)
{
    bool menuWasOpen = false;
    if (m_activeMenu) {
        m_activeMenu->close();
        m_activeMenu = nullptr;
        menuWasOpen = true;
    }
    if (m_hidePreview)
        m_hidePreview();
    removeGlobalMouseMonitor();
    removeKeyMonitor();
    removeWorkspaceObserver();
    if (!menuWasOpen || !m_popoverPanel) {
        finishHidePanel(restoreFocus);
        return;
    }
    auto *fade = new QVariantAnimation(this);
    fade->setStartValue(m_popoverPanel->windowOpacity());
    fade->setEndValue(0.0);
    fade->setDuration(150);
    QPointer<ClipboardPanel> panel = m_popoverPanel.get();
    connect(fade, &QVariantAnimation::valueChanged, this, [panel](const QVariant &value) {
        if (panel)
            panel->setWindowOpacity(value.toDouble());
    });
    QPointer<AppDelegate> self = this;
    connect(fade, &QVariantAnimation::finished, this, [self, panel, restoreFocus] {
        if (!self)
            return;
        self->finishHidePanel(restoreFocus);
        if (panel)
            panel->setWindowOpacity(1);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void AppDelegate::finishHidePanel(bool restoreFocus)
{
    if (ClipboardPanel *panel = m_popoverPanel.get()) {
        panel->saveSize();
        const QPointF centre = panel->frame().center();
        for (const QScreen *screen : QGuiApplication::screens()) {
            if (QRectF(screen->geometry()).contains(centre)) {
                panel->savePosition(screen);
                break;
            }
        }
        panel->hide();
    }
    NotificationCenter::defaultCenter().post(Notifications::panelDidHide);
    Q_EMIT panelHidden();
    if (restoreFocus && m_previousApp)
        m_services.workspace.activate(*m_previousApp);
}

void AppDelegate::applicationWillTerminate()
{
    // A copy that did not run leaves the store to the one that does.
    if (m_refusedToRun)
        return;
    if (m_clipboardMonitor) {
        // The main context does not wait for a lock: the app's own writes in the background
        // (a long text, a link's pictures) end first.
        m_clipboardMonitor->databaseActor().waitForIdle();
        m_clipboardMonitor->savePendingItems();
    }
    ModelContainer &container = m_services.container;
    container.mainContext()->save();
    // Everything the user copied is in the store; the log is folded into it so the file on
    // disk is complete on its own. Through the store's maintenance, which reports a checkpoint
    // that fails, and after any pruning still running there (it would keep the log open).
    if (m_clipboardMonitor) {
        m_clipboardMonitor->databaseActor().checkpointWAL().waitForFinished();
    } else {
        ClipboardDatabaseActor maintenance(container);
        maintenance.checkpointWAL().waitForFinished();
    }
}
