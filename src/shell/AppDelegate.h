#pragma once

#include "KeyboardShortcuts/Name.h"
#include "model/AppSettings.h"
#include "platform/Workspace.h"
#include "shell/UserNotices.h"

#include <QFuture>
#include <QMenu>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class ActivationController;
class AppLifecycle;
class BackgroundEnrichment;
class ClipboardMonitor;
class ClipboardRequests;
class ClipboardPanel;
class Clock;
class CodeClassifier;
class DesktopNotifications;
class FileAvailabilityService;
class GlobalHotKeys;
class GlobalInputMonitor;
class HighlightCacheService;
class IdleMemoryGiveBack;
class ModelContainer;
class PanelController;
class PanelPresenter;
class Pasteboard;
class PasteService;
class PreviewPanelManager;
class QuitDeadline;
class QWidget;
class SettingsView;
class SettingsWindowController;
class SingleInstance;
class StatusItem;
class SyntheticKeyboard;
class UserDefaults;

namespace KeyboardShortcuts {
class HotKeyCenter;
class ShortcutCenter;
} // namespace KeyboardShortcuts

// The application's delegate: made at launch, it owns the app's parts and is what start-up and
// termination go through. Start-up builds them in order (the single instance, the version
// bookkeeping, the tray icon, the capture, the settings window's opener, the panel, the
// shortcut and the activation mode); quitting saves the store. The panel's showing and
// hiding, the ways of opening it and the app's lifecycle are the work of collaborators it
// owns; it wires them together and answers for them to the rest of the app (everything that
// wants the panel gone calls hidePanel()). Main thread only.
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
        // Highlights captured code; its engine goes when code detection is switched off.
        HighlightCacheService &highlights;
        // nullptr: no single-instance coordination (tests).
        SingleInstance *singleInstance = nullptr;
        // Whether to put an icon in the tray (tests leave it out).
        bool useStatusItem = true;
        // Decides whether captured text is code; nullptr: every text is stored as text.
        CodeClassifier *codeClassifier = nullptr;
        // The desktop's notification area, which tells how to reach the app where no tray
        // runs; nullptr: the log alone says it.
        DesktopNotifications *notifications = nullptr;
        // Which forms the window in front asks the clipboard for, so that a picture it does not
        // take is told about; nullptr: not seen.
        ClipboardRequests *clipboardRequests = nullptr;
        // When the app is idle enough to give memory back; nullptr: the system's clock.
        Clock *clock = nullptr;
    };

    // What the code-detection models offer the start-up and the detectCode switch; each
    // finishes once the models are loaded (or gone).
    struct DetectionHooks
    {
        std::function<QFuture<void>()> warmUp;
        std::function<QFuture<void>()> loadModels;
        std::function<QFuture<void>()> unloadModels;
    };

    // Builds the root view of a new panel window (the panel view, with the delegate as the
    // surroundings it hides the panel through).
    using PanelContentFactory = std::function<QWidget *(AppDelegate &delegate, ClipboardPanel &panel)>;

    // The parts of the app around the shell that the start-up and the panel use. Each may be
    // left out (tests and benchmarks leave out what they do not look at): an empty one does
    // nothing.
    struct Neighbours
    {
        // Empty: the panel keeps its placeholder content.
        PanelContentFactory makePanelContent;
        DetectionHooks detectionModels;
        // Whether an item's label is being edited: typed keys stay in its field then.
        std::function<bool()> isEditingLabel;
        // The item preview, which hides with the panel.
        PreviewPanelManager *preview = nullptr;
        // Asked at every show to learn the mounted volumes again; told of the items that leave
        // the history.
        FileAvailabilityService *availability = nullptr;
        // Where notices go instead of the tray or a message box.
        UserNotices::Sink notifyUser;
    };

    AppDelegate(Services services, Neighbours neighbours, QObject *parent = nullptr);
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
    bool refusedToRun() const;
    // The whole quit, whichever way it was asked for (SIGTERM or another signal, Quit, a later
    // start, the session's end): from the request to the store's checkpoint, so that the
    // process has ended within 2 s. The last step, the store's save, has storeSaveLimit of it
    // whatever the steps before took.
    static constexpr std::chrono::milliseconds quitLimit { 1800 };
    static constexpr std::chrono::milliseconds storeSaveLimit { 300 };
    // Quit, first step: the capture reads no more copies and the highlighting engine stops
    // (what it had queued is dropped).
    void stopTakingWork();
    // Quit, second step: a copy just made, or being read or saved, is let reach the store,
    // for at most captureFinishLimit.
    void finishCaptures(QuitDeadline &quit);
    static constexpr std::chrono::milliseconds captureFinishLimit { 1500 };
    // Quit, after the file readings have ended: the highlighting engine's thread ends.
    void endHighlighting(QuitDeadline &quit);
    // Quit, last step: the store's main context is saved and its write-ahead log folded in.
    void applicationWillTerminate(QuitDeadline &quit);

    // The panel's showing and hiding (PanelPresenter); nothing happens before start-up.
    void togglePanel();
    void hidePanel(bool restoreFocus);
    ClipboardPanel *popoverPanel() const;
    PanelController *panelController() const;
    std::optional<RunningApplication> previousApp() const;
    QMenu *activeMenu() const;
    void setActiveMenu(QMenu *menu);

    void openSettings();
    // Shows the settings window, made anew when it was closed, and brings it to the front.
    void showSettingsWindow();
    SettingsView *settingsWindow() const;
    // Whether the tray icon's menu offers Settings... and Quit now (a tray may come and go).
    bool hasTrayMenu() const;
    // "Quit Tindlewick": the app ends once the event that asked has been handled.
    void quit();

    // The collaborators; each is made by the start-up (nullptr before, and in a copy that
    // did not run).
    ActivationController *activation() const { return m_activation.get(); }
    ClipboardMonitor *clipboardMonitor() const { return m_clipboardMonitor.get(); }
    // What is learnt about stored items after their save: highlighted code, media previews.
    BackgroundEnrichment *backgroundEnrichment() const { return m_enrichment.get(); }
    PasteService *pasteService() const { return m_pasteService.get(); }
    StatusItem *statusItem() const { return m_statusItem.get(); }
    KeyboardShortcuts::ShortcutCenter &shortcuts() const { return *m_shortcuts; }

    // Gives memory back once the app is idle after work that let go of much (made by the
    // start-up).
    IdleMemoryGiveBack *memoryGiveBack() const { return m_memoryGiveBack.get(); }

    // What the user is told at start when there is no tray: how to open the panel without its
    // icon, and where Settings... and Quit are instead.
    QString noTrayMessage() const;
    // The key under which the user defaults remember that the desktop showed that notice.
    static QString noTrayNoticeShownKey();

private:
    void createStatusItem();
    void explainMissingTray();
    void keepTryingUnsavedDeletions();
    void startCapture();
    void startMemoryGiveBack();
    // Memory goes back once the work is done and the app idle.
    void requestMemoryGiveBackAfter(QFuture<void> work);
    void startBackgroundEnrichment();
    // What the caches keep of an item goes with it, whoever deleted it.
    void forgetDeletedItems();
    void registerObservers();
    void createSettingsOpener();
    void warmUpDetection();
    void createPanelPresenter();
    void startActivation();
    void handleDetectCodeChanged();

    Services m_services;
    Neighbours m_neighbours;
    std::unique_ptr<AppLifecycle> m_lifecycle;
    std::unique_ptr<KeyboardShortcuts::HotKeyCenter> m_hotKeyCenter;
    std::unique_ptr<KeyboardShortcuts::ShortcutCenter> m_shortcuts;
    std::unique_ptr<PasteService> m_pasteService;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<UserNotices> m_notices;
    std::unique_ptr<ClipboardMonitor> m_clipboardMonitor;
    std::unique_ptr<BackgroundEnrichment> m_enrichment;
    std::unique_ptr<SettingsWindowController> m_settingsWindows;
    std::unique_ptr<PanelPresenter> m_panelPresenter;
    std::unique_ptr<ActivationController> m_activation;
    std::unique_ptr<IdleMemoryGiveBack> m_memoryGiveBack;
    bool m_launched = false;
    bool m_installedSettingsAction = false;
};
