#pragma once

#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/Shortcut.h"
#include "model/AppSettings.h"
#include "platform/Workspace.h"

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class BackgroundEnrichment;
class ClipboardMonitor;
class CodeClassifier;
class ClipboardPanel;
class DoubleTapService;
class GlobalHotKeys;
class GlobalInputMonitor;
class LocalEventMonitor;
class ModelContainer;
class PanelController;
class Pasteboard;
class PasteService;
class QWidget;
class SearchField;
class QWindow;
class SettingsOpener;
class SettingsView;
class SingleInstance;
class StatusItem;
class SyntheticKeyboard;
class UserDefaults;

namespace KeyboardShortcuts {
class HotKeyCenter;
class ShortcutCenter;
} // namespace KeyboardShortcuts

// The application itself: starts the capture, the tray icon and the global shortcut in
// order, shows the floating panel on the screen under the pointer and hides it again,
// gives the focus back to the window that was in front, and saves the store when the app
// quits. It owns the panel's visibility: everything that wants the panel gone calls
// hidePanel(). Main thread only.
class AppDelegate final : public QObject
{
    Q_OBJECT
public:
    // What the app runs on; the X11 pieces in the app, fakes in tests.
    struct Services
    {
        ModelContainer &container;
        AppSettings &settings;
        UserDefaults &defaults;
        Pasteboard &pasteboard;
        Workspace &workspace;
        GlobalHotKeys &hotKeys;
        GlobalInputMonitor &inputMonitor;
        SyntheticKeyboard &keyboard;
        // nullptr: no single-instance coordination (tests).
        SingleInstance *singleInstance = nullptr;
        // Whether to put an icon in the tray (tests leave it out).
        bool useStatusItem = true;
        // Decides whether captured text is code; nullptr: every text is stored as text.
        CodeClassifier *codeClassifier = nullptr;
    };

    // What the code-detection services offer the start-up and the detectCode switch.
    struct DetectionHooks
    {
        std::function<void()> warmUp;
        std::function<void()> loadModels;
        std::function<void()> unloadModels;
    };

    explicit AppDelegate(Services services, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The running delegate, set as the first step of start-up; nullptr before.
    static AppDelegate *shared();
    // The shortcut that toggles the panel: "togglePanel", Control+Space by default.
    static const KeyboardShortcuts::Name &togglePanelShortcut();

    // Start-up, in order: shared instance, other copies asked to quit, version bookkeeping,
    // tray icon, capture, observers, settings opener, model warm-up, panel, shortcut, and
    // the activation mode. When another copy keeps running (see SingleInstance::takeOver),
    // nothing after the first two happens and the app quits.
    void applicationDidFinishLaunching();
    bool refusedToRun() const { return m_refusedToRun; }
    // What the log says when another copy keeps running and this one quits.
    static QString anotherCopyRunsMessage(const QString &lockPath);
    // Quit: the store's main context is saved and its write-ahead log folded in.
    void applicationWillTerminate();

    void togglePanel();
    void showPanel();
    // Hides the panel: closes an open row menu (fading the panel out then), hides the item
    // preview, stops the monitors of the shown panel, saves size and position, posts
    // "panelDidHide" and, with restoreFocus, gives the focus back to the window that was in
    // front when the panel was opened.
    void hidePanel(bool restoreFocus);
    void configureActivation();
    void openSettings();
    // Says where updates come from (over the settings window when it is open).
    void checkForUpdates();
    // Shows the settings window, made anew when it was closed, and brings it to the front.
    void showSettingsWindow();
    SettingsView *settingsWindow() const;

    ClipboardPanel *popoverPanel() const { return m_popoverPanel.get(); }
    PanelController *panelController() const { return m_panelController; }
    ClipboardMonitor *clipboardMonitor() const { return m_clipboardMonitor.get(); }
    // What is learnt about stored items after their save: highlighted code, media previews.
    BackgroundEnrichment *backgroundEnrichment() const { return m_enrichment.get(); }
    PasteService *pasteService() const { return m_pasteService.get(); }
    DoubleTapService *doubleTapService() const { return m_doubleTapService.get(); }
    StatusItem *statusItem() const { return m_statusItem.get(); }
    KeyboardShortcuts::ShortcutCenter &shortcuts() const { return *m_shortcuts; }
    std::optional<RunningApplication> previousApp() const { return m_previousApp; }
    std::optional<AppSettings::ActivationMode> currentActivationMode() const
    {
        return m_currentActivationMode;
    }

    // A row's context menu while it is open; hiding the panel closes it first.
    QMenu *activeMenu() const { return m_activeMenu; }
    void setActiveMenu(QMenu *menu) { m_activeMenu = menu; }

    // The search field of the panel's content: the field of the panel view that is the
    // content or lies within it; nullptr when there is none.
    static SearchField *findSearchField(QWidget *contentView);
    // Gives the search field the keyboard a moment after the panel showed. The search of before
    // the show is selected, so that typing replaces it; text typed since is left as it is.
    static void focusSearchField(SearchField *field, const QString &textAtShow);
    // Whether a window that became active is a settings window, to be kept above others.
    static bool shouldElevateSettingsWindow(const QString &identifier, const QString &title);
    // "<version> (<build>)" of the running program.
    static QString runningVersion();
    // What the log says at start when there is no tray: how to open the panel without its
    // icon (openingHint).
    QString noTrayMessage() const;

    // Neighbours that come with later parts of the app.
    // Builds the panel's root view each time the panel window is made (the panel view).
    void setPanelContentFactory(std::function<QWidget *(ClipboardPanel &panel)> factory)
    {
        m_panelContentFactory = std::move(factory);
    }
    void setDetectionHooks(DetectionHooks hooks) { m_detectionHooks = std::move(hooks); }
    void setLabelEditingQuery(std::function<bool()> query) { m_isEditingLabel = std::move(query); }
    void setPreviewHider(std::function<void()> hide) { m_hidePreview = std::move(hide); }
    // Lets the shared highlighting engine go (after the history was cleared in the settings).
    void setHighlighterReleaser(std::function<void()> release) { m_releaseHighlighter = std::move(release); }
    void setMountedVolumesRefresher(std::function<void()> refresh) { m_refreshVolumes = std::move(refresh); }
    // How the user hears of a problem (default: a tray message, or a message box without a tray).
    void setUserNotifier(std::function<void(const QString &title, const QString &message)> notify)
    {
        m_notifyUser = std::move(notify);
    }

Q_SIGNALS:
    // The panel is on screen with its frame set (before its first paint).
    void panelShown();
    void panelHidden();

private:
    void startBackgroundEnrichment();
    bool terminateOtherInstances();
    void updateVersionBookkeeping();
    void createStatusItem();
    void registerObservers();
    void createPanel();
    void handleDetectCodeChanged();
    void elevateSettingsWindow(QWindow *window);
    void handleOutsideClick(const QPoint &nativePosition);
    bool handlePanelKeyDown(QObject *receiver, QEvent *event);
    void handleAppActivation(const std::optional<RunningApplication> &application);
    void installKeyMonitor();
    void removeKeyMonitor();
    void installWorkspaceObserver();
    void removeWorkspaceObserver();
    void installGlobalMouseMonitor();
    void removeGlobalMouseMonitor();
    void finishHidePanel(bool restoreFocus);
    void activatePanelWindow();
    void handleRegistrationFailure(const KeyboardShortcuts::Shortcut &shortcut, const QString &reason);
    void notifyUser(const QString &title, const QString &message);
    void explainDoubleTapUnavailable(const QString &reason);
    // "open it with Ctrl+Space", from the stored shortcut; or that none is set, or that what
    // is stored cannot be read.
    QString openingHint() const;
    void quitForAnotherCopy();

    Services m_services;
    std::unique_ptr<KeyboardShortcuts::HotKeyCenter> m_hotKeyCenter;
    std::unique_ptr<KeyboardShortcuts::ShortcutCenter> m_shortcuts;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<ClipboardPanel> m_popoverPanel;
    std::unique_ptr<ClipboardMonitor> m_clipboardMonitor;
    std::unique_ptr<BackgroundEnrichment> m_enrichment;
    std::unique_ptr<PasteService> m_pasteService;
    std::unique_ptr<DoubleTapService> m_doubleTapService;
    std::unique_ptr<SettingsOpener> m_settingsOpener;
    std::unique_ptr<LocalEventMonitor> m_keyMonitor;
    PanelController *m_panelController = nullptr;
    std::optional<RunningApplication> m_previousApp;
    QMetaObject::Connection m_globalMouseMonitor;
    bool m_workspaceObserverInstalled = false;
    QPointer<QMenu> m_activeMenu;
    std::optional<AppSettings::ActivationMode> m_currentActivationMode;
    DetectionHooks m_detectionHooks;
    std::function<QWidget *(ClipboardPanel &)> m_panelContentFactory;
    std::function<bool()> m_isEditingLabel;
    std::function<void()> m_hidePreview;
    std::function<void()> m_releaseHighlighter;
    QPointer<SettingsView> m_settingsWindow;
    std::function<void()> m_refreshVolumes;
    std::function<void(const QString &, const QString &)> m_notifyUser;
    bool m_launched = false;
    bool m_refusedToRun = false;
    bool m_toldDoubleTapUnavailable = false;
    enum class RegistrationRetry { none, pending, done };
    RegistrationRetry m_registrationRetry = RegistrationRetry::none;
};
