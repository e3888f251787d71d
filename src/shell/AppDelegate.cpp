#include "shell/AppDelegate.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/Recorder.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "capture/BackgroundEnrichment.h"
#include "capture/ClipboardMonitor.h"
#include "common/Clock.h"
#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "common/QuitDeadline.h"
#include "detection/HighlightCacheService.h"
#include "enrichment/FileAvailabilityService.h"
#include "items/ItemRowPainter.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/DesktopNotifications.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsView.h"
#include "shell/ActivationController.h"
#include "shell/AppLifecycle.h"
#include "shell/ClipboardPanel.h"
#include "shell/IdleMemoryGiveBack.h"
#include "shell/PanelPresenter.h"
#include "shell/PasteService.h"
#include "shell/SettingsLinkHelper.h"
#include "shell/SettingsOpener.h"
#include "shell/SettingsWindowController.h"
#include "shell/StatusItem.h"

#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

QPointer<AppDelegate> g_shared;

} // namespace

AppDelegate::AppDelegate(Services services, Neighbours neighbours, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_neighbours(std::move(neighbours))
{
    m_lifecycle = std::make_unique<AppLifecycle>(
        m_services.container, m_services.settings, m_services.singleInstance);
    m_hotKeyCenter = std::make_unique<KeyboardShortcuts::HotKeyCenter>(m_services.hotKeys);
    m_shortcuts = std::make_unique<KeyboardShortcuts::ShortcutCenter>(m_services.defaults, *m_hotKeyCenter);
    KeyboardShortcuts::ShortcutCenter::setShared(m_shortcuts.get());
    m_pasteService
        = std::make_unique<PasteService>(m_services.pasteboard, m_services.keyboard, m_services.workspace);
    m_pasteService->setClipboardRequests(m_services.clipboardRequests);
    m_pasteService->setShownOver([this] { return previousApp(); });
}

AppDelegate::~AppDelegate()
{
    // The settings window records and stores shortcuts through the centre that goes with the
    // delegate.
    m_settingsWindows.reset();
    m_activation.reset();
    m_enrichment.reset();
    m_memoryGiveBack.reset();
    m_clipboardMonitor.reset();
    m_panelPresenter.reset();
    m_notices.reset();
    m_statusItem.reset();
    if (m_installedSettingsAction)
        SettingsOpener::setOpenSettingsAction({});
    // The highlighter it empties may go before the settings.
    m_services.settings.setCodeThemeWillChangeHandler({});
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

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    g_shared = this;
    if (!m_lifecycle->terminateOtherInstances())
        return;
    connect(m_lifecycle.get(), &AppLifecycle::anotherCopyAsksForSettings, this, &AppDelegate::openSettings);
    m_lifecycle->updateVersionBookkeeping();
    createStatusItem();
    m_notices = std::make_unique<UserNotices>(m_statusItem.get(), m_neighbours.notifyUser);
    keepTryingUnsavedDeletions();
    startCapture();
    registerObservers();
    createSettingsOpener();
    if (m_services.settings.detectCode() && m_neighbours.detectionModels.warmUp)
        QTimer::singleShot(0, this, &AppDelegate::warmUpDetection);
    createPanelPresenter();
    startActivation();
    startMemoryGiveBack();
}

bool AppDelegate::refusedToRun() const
{
    return m_lifecycle->refusedToRun();
}

void AppDelegate::createStatusItem()
{
    if (!m_services.useStatusItem)
        return;
    if (!StatusItem::isAvailable())
        explainMissingTray();
    m_statusItem = std::make_unique<StatusItem>();
    m_statusItem->setOpenShortcut(*m_shortcuts, togglePanelShortcut());
    // The tray menu is the app's menu: the recorder refuses a shortcut one of its items uses.
    KeyboardShortcuts::Recorder::setMainMenu(m_statusItem->menu());
    connect(m_statusItem.get(), &StatusItem::clicked, this, &AppDelegate::togglePanel);
    connect(m_statusItem.get(), &StatusItem::openRequested, this, &AppDelegate::togglePanel);
    connect(m_statusItem.get(), &StatusItem::settingsRequested, this, &AppDelegate::openSettings);
    connect(
        m_statusItem.get(), &StatusItem::updatesRequested, this, &SettingsWindowController::checkForUpdates);
    connect(m_statusItem.get(), &StatusItem::quitRequested, this, &AppDelegate::quit);
}

QString AppDelegate::noTrayMessage() const
{
    return QStringLiteral("No system tray is running, so Tindlewick shows no tray icon; %1. Settings... and "
                          "Quit Tindlewick are in the ⋯ menu at the top right of the panel, and the "
                          "command tindlewick --settings (or the Settings action of its menu entry) opens "
                          "the settings.")
        .arg(ActivationController::openingHint(*m_shortcuts, togglePanelShortcut()));
}

QString AppDelegate::noTrayNoticeShownKey()
{
    return QStringLiteral("noTrayNoticeShown");
}

void AppDelegate::explainMissingTray()
{
    const QString message = noTrayMessage();
    printDiagnostic(QStringLiteral("[AppDelegate] ") + message);
    // Shown once: a desktop without a tray stays one, and the notice would come at every login.
    // A desktop that did not take it is asked again at the next start.
    UserDefaults &defaults = m_services.defaults;
    if (!m_services.notifications || defaults.boolean(noTrayNoticeShownKey()).value_or(false))
        return;
    m_services.notifications->notify(QStringLiteral("Tindlewick runs without a tray icon"), message)
        .then(this, [&defaults](bool shown) {
            if (shown)
                defaults.setBoolean(noTrayNoticeShownKey(), true);
        });
}

bool AppDelegate::hasTrayMenu() const
{
    return m_statusItem && StatusItem::isAvailable();
}

void AppDelegate::quit()
{
    // Queued: the menu that asked closes first.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void AppDelegate::startCapture()
{
    m_clipboardMonitor = std::make_unique<ClipboardMonitor>(m_services.container, m_services.pasteboard,
        m_services.workspace, m_services.settings, m_services.defaults);
    m_clipboardMonitor->setCodeClassifier(m_services.codeClassifier);
    // A copy outlives the program that made it: once that program has quit, the app serves it.
    connect(m_clipboardMonitor.get(), &ClipboardMonitor::copyOutlivedItsProgram, m_pasteService.get(),
        &PasteService::restoreToPasteboard);
    // A copy that cannot be saved is never lost silently: the user hears once per cause.
    connect(m_clipboardMonitor.get(), &ClipboardMonitor::storeFailed, this,
        [this](const StoreFailure &failure) { m_notices->tell(failure.title(), failure.message()); });
    startBackgroundEnrichment();
    forgetDeletedItems();
    m_clipboardMonitor->startMonitoring();
}

void AppDelegate::keepTryingUnsavedDeletions()
{
    // What the user deleted must leave the file (a password copied by mistake): a deletion the
    // store refuses is tried again by the main context on its own, and here each time the panel
    // shows or hides; the user hears once that it is still in the file.
    ModelContext &mainContext = *m_services.container.mainContext();
    connect(&mainContext, &ModelContext::deletionsNotSaved, this, [this](const StoreFailure &failure) {
        m_notices->tellOnce(QStringLiteral("deletionsNotSaved/%1").arg(int(failure.cause)),
            failure.deletionTitle(), failure.deletionMessage());
    });
    const QPointer<ModelContext> context = &mainContext;
    const auto savePending = [context](const QVariantMap &) {
        if (context && context->hasChanges())
            context->save();
    };
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(Notifications::panelWillShow, this, savePending);
    center.addObserver(Notifications::panelDidHide, this, savePending);
}

void AppDelegate::startBackgroundEnrichment()
{
    HighlightCacheService &highlights = m_services.highlights;
    highlights.setSettings(&m_services.settings);
    // A new theme makes every highlighted line in memory stale.
    m_services.settings.setCodeThemeWillChangeHandler([&highlights] { highlights.clearMemoryCache(); });
    m_enrichment
        = std::make_unique<BackgroundEnrichment>(*m_clipboardMonitor, highlights, m_services.settings);
    // Code is highlighted for the appearance the panel shows, so its rows find the lines.
    m_enrichment->setAppearance([] { return ItemRowPainter::isDark(QGuiApplication::palette()); });
}

void AppDelegate::forgetDeletedItems()
{
    HighlightCacheService &highlights = m_services.highlights;
    FileAvailabilityService *availability = m_neighbours.availability;
    // The capture's pruning, a Delete or a Clear in the panel: the main context hears of each.
    connect(m_services.container.mainContext(), &ModelContext::objectsDeleted, this,
        [&highlights, availability](const QList<ClipboardItemPtr> &items) {
            QSet<QUuid> ids;
            for (const ClipboardItemPtr &item : items)
                ids.insert(item->id());
            highlights.invalidate(ids);
            if (availability)
                availability->forgetItems(items);
        });
}

void AppDelegate::registerObservers()
{
    m_settingsWindows = std::make_unique<SettingsWindowController>(SettingsWindowController::Dependencies {
        m_services.settings, *m_services.container.mainContext(), *m_shortcuts, togglePanelShortcut(),
        m_services.workspace, m_services.highlights, [this] { quit(); } });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(Notifications::detectCodeSettingChanged, this,
        [this](const QVariantMap &) { QTimer::singleShot(0, this, &AppDelegate::handleDetectCodeChanged); });
    center.addObserver(Notifications::activationModeChanged, this, [this](const QVariantMap &) {
        QTimer::singleShot(0, this, [this] {
            if (m_activation)
                m_activation->configureActivation();
        });
    });
    center.addObserver(Notifications::liquidGlassSettingChanged, this, [this](const QVariantMap &) {
        QTimer::singleShot(0, this, [this] {
            if (ClipboardPanel *panel = popoverPanel())
                panel->rebuildBackground();
        });
    });
}

void AppDelegate::createSettingsOpener()
{
    // The one opener of the run, which every request reaches: the link helper's.
    SettingsLinkHelper::shared().setUp();
    m_installedSettingsAction = true;
    QPointer<AppDelegate> opener = this;
    SettingsOpener::setOpenSettingsAction([opener] {
        if (opener)
            opener->showSettingsWindow();
    });
}

void AppDelegate::startMemoryGiveBack()
{
    ModelContext &mainContext = *m_services.container.mainContext();
    m_memoryGiveBack
        = std::make_unique<IdleMemoryGiveBack>(m_services.clock ? *m_services.clock : Clock::system(),
            mainContext, m_clipboardMonitor ? &m_clipboardMonitor->databaseActor() : nullptr);
    IdleMemoryGiveBack *giveBack = m_memoryGiveBack.get();
    // Deleted items go from the panel's list, whoever deleted them (the panel, the settings'
    // clear, the capture's pruning); a few leave too little behind to be worth it.
    connect(&mainContext, &ModelContext::itemsDeleted, giveBack, &IdleMemoryGiveBack::itemsDeleted);
    NotificationCenter::defaultCenter().addObserver(
        Notifications::panelDidHide, giveBack, [giveBack](const QVariantMap &) { giveBack->request(); });
    // A copy's reading and detection leave buffers behind, and the rows of the content-type
    // model it read stay mapped: they go once the copies stop for a moment.
    if (m_clipboardMonitor)
        connect(
            m_clipboardMonitor.get(), &ClipboardMonitor::itemSaved, giveBack, &IdleMemoryGiveBack::request);
    // The start-up's own work: the pruning, the panel's list.
    giveBack->request();
}

void AppDelegate::requestMemoryGiveBackAfter(QFuture<void> work)
{
    QPointer<IdleMemoryGiveBack> giveBack = m_memoryGiveBack.get();
    work.then(this, [giveBack] {
        if (giveBack)
            giveBack->request();
    });
}

void AppDelegate::warmUpDetection()
{
    if (m_neighbours.detectionModels.warmUp)
        requestMemoryGiveBackAfter(m_neighbours.detectionModels.warmUp());
}

void AppDelegate::handleDetectCodeChanged()
{
    const DetectionHooks &models = m_neighbours.detectionModels;
    if (m_services.settings.detectCode()) {
        if (models.loadModels)
            requestMemoryGiveBackAfter(models.loadModels());
    } else {
        if (models.unloadModels)
            requestMemoryGiveBackAfter(models.unloadModels());
        // Its script heap goes too; code still shown is highlighted by a new engine.
        m_services.highlights.resetHighlighter();
    }
}

void AppDelegate::createPanelPresenter()
{
    std::function<QWidget *(ClipboardPanel &)> makeContent;
    if (m_neighbours.makePanelContent)
        makeContent = [this](ClipboardPanel &panel) { return m_neighbours.makePanelContent(*this, panel); };
    m_panelPresenter = std::make_unique<PanelPresenter>(
        PanelPresenter::Dependencies { m_services.container, m_services.settings, m_services.defaults,
            m_services.workspace, m_services.inputMonitor, m_statusItem.get(), std::move(makeContent),
            m_neighbours.isEditingLabel, m_neighbours.preview, m_neighbours.availability });
}

void AppDelegate::startActivation()
{
    m_activation = std::make_unique<ActivationController>(
        ActivationController::Dependencies { m_services.settings, m_services.defaults, *m_shortcuts,
            togglePanelShortcut(), m_services.inputMonitor, *m_notices, [this] { togglePanel(); } });
    m_activation->bindShortcut();
    m_activation->configureActivation();
}

void AppDelegate::openSettings()
{
    SettingsLinkHelper::shared().openSettings();
}

void AppDelegate::showSettingsWindow()
{
    if (m_settingsWindows)
        m_settingsWindows->showSettingsWindow();
}

SettingsView *AppDelegate::settingsWindow() const
{
    return m_settingsWindows ? m_settingsWindows->settingsWindow() : nullptr;
}

void AppDelegate::togglePanel()
{
    if (m_panelPresenter)
        m_panelPresenter->togglePanel();
}

void AppDelegate::hidePanel(bool restoreFocus)
{
    if (m_panelPresenter)
        m_panelPresenter->hidePanel(restoreFocus);
}

ClipboardPanel *AppDelegate::popoverPanel() const
{
    return m_panelPresenter ? m_panelPresenter->panel() : nullptr;
}

PanelController *AppDelegate::panelController() const
{
    return m_panelPresenter ? m_panelPresenter->panelController() : nullptr;
}

std::optional<RunningApplication> AppDelegate::previousApp() const
{
    return m_panelPresenter ? m_panelPresenter->previousApp() : std::nullopt;
}

QMenu *AppDelegate::activeMenu() const
{
    return m_panelPresenter ? m_panelPresenter->activeMenu() : nullptr;
}

void AppDelegate::setActiveMenu(QMenu *menu)
{
    if (m_panelPresenter)
        m_panelPresenter->setActiveMenu(menu);
}

void AppDelegate::stopTakingWork()
{
    if (m_clipboardMonitor)
        m_clipboardMonitor->stop();
    m_services.highlights.stop();
}

void AppDelegate::finishCaptures(QuitDeadline &quit)
{
    if (m_clipboardMonitor)
        quit.waitUntilEnded(*m_clipboardMonitor, QStringLiteral("A copy being read or saved"),
            quit.deadline(captureFinishLimit));
}

void AppDelegate::endHighlighting(QuitDeadline &quit)
{
    quit.waitUntilEnded(m_services.highlights, QStringLiteral("The highlighting engine"));
}

void AppDelegate::applicationWillTerminate(QuitDeadline &quit)
{
    m_lifecycle->saveStoreForQuit(m_clipboardMonitor.get(), quit);
    // Settings that missed a full disk get their last chance.
    m_services.defaults.saveIfUnsaved();
}
