#pragma once

#include "common/ClockTimer.h"
#include "platform/Workspace.h"

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class AppSettings;
class ClipboardPanel;
class FileAvailabilityService;
class GlobalInputMonitor;
class LocalEventMonitor;
class ModelContainer;
class PanelController;
class PreviewPanelManager;
class QEvent;
class QScreen;
class QWidget;
class SearchField;
class StatusItem;
class UserDefaults;

// Shows the clipboard panel on the screen under the pointer and hides it again. While it is
// shown, a click outside it or another application coming to the front hides it (but for a
// moment after a window the panel opened over itself has closed, the panel takes the focus
// back instead), and a key typed anywhere in it goes to the search field. Hiding gives the focus back to the
// window that was in front when the panel was opened. Owns the panel window. Main thread only.
class PanelPresenter final : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        ModelContainer &container;
        AppSettings &settings;
        UserDefaults &defaults;
        Workspace &workspace;
        GlobalInputMonitor &inputMonitor;
        // The tray icon, whose own click toggles the panel; nullptr without one.
        const StatusItem *statusItem = nullptr;
        // Builds the root view of a new panel window; empty: the panel keeps its placeholder.
        std::function<QWidget *(ClipboardPanel &panel)> makeContent;
        // Whether an item's label is being edited: its field has the keys then; empty: never.
        std::function<bool()> isEditingLabel;
        // The item preview beside the panel, which goes with it; nullptr: none.
        PreviewPanelManager *preview = nullptr;
        // Learns the mounted volumes again at every show; nullptr: nothing to learn.
        FileAvailabilityService *availability = nullptr;
    };

    // Makes the panel window, hidden.
    explicit PanelPresenter(Dependencies dependencies, QObject *parent = nullptr);
    ~PanelPresenter() override;

    ClipboardPanel *panel() const { return m_panel.get(); }
    PanelController *panelController() const { return m_panelController; }
    // The application that was in front when the panel was last toggled from another one;
    // nothing when no window was (the desktop had the focus).
    std::optional<RunningApplication> previousApp() const { return m_previousApp; }

    void togglePanel();
    void showPanel();
    // Hides the panel: closes an open row menu (fading the panel out then), hides the item
    // preview, stops watching clicks, keys and activations, saves size and position, posts
    // "panelDidHide" and, with restoreFocus, gives the focus back to the previous application.
    void hidePanel(bool restoreFocus);

    // A row's context menu while it is open; hiding the panel closes it first.
    QMenu *activeMenu() const { return m_activeMenu; }
    void setActiveMenu(QMenu *menu) { m_activeMenu = menu; }

    // The search field of the panel's content: the field of the panel view that is the
    // content or lies within it; nullptr when there is none.
    static SearchField *findSearchField(QWidget *contentView);
    // Gives the search field the keyboard a moment after the panel showed. The search of before
    // the show is selected, so that typing replaces it; text typed since is left as it is.
    static void focusSearchField(SearchField *field, const QString &textAtShow);

    // How long after a window the panel opened over itself has closed the panel takes the
    // focus back from whichever window the window manager gave it to.
    static constexpr std::chrono::milliseconds focusReturnTime { 1000 };
    // The time of the focus's return; tests move it by hand.
    void setClock(Clock &clock) { m_focusReturn.setClock(clock); }

private:
    void createPanel();
    QRectF placeOnScreen(const QScreen &screen);
    void settleAfterShow(
        const QRectF &frame, const QPointer<SearchField> &searchField, const QString &searchAtShow);
    void activatePanelWindow();
    void installGlobalMouseMonitor();
    void removeGlobalMouseMonitor();
    void handleOutsideClick(const QPoint &nativePosition);
    void installKeyMonitor();
    void removeKeyMonitor();
    bool handlePanelKeyDown(QObject *receiver, QEvent *event);
    void installWorkspaceObserver();
    void removeWorkspaceObserver();
    void handleAppActivation(const std::optional<RunningApplication> &application);
    void installOwnWindowWatch();
    void removeOwnWindowWatch();
    bool handleWindowHidden(QObject *receiver);
    void takeFocusBack();
    void fadeOutThenFinishHide(bool restoreFocus);
    void finishHidePanel(bool restoreFocus);

    Dependencies m_dependencies;
    std::unique_ptr<ClipboardPanel> m_panel;
    PanelController *m_panelController = nullptr;
    std::optional<RunningApplication> m_previousApp;
    std::unique_ptr<LocalEventMonitor> m_keyMonitor;
    std::unique_ptr<LocalEventMonitor> m_ownWindowMonitor;
    // Running while the panel takes the focus back after a window of its own closed.
    ClockTimer m_focusReturn { Clock::system(), focusReturnTime, [] {} };
    QMetaObject::Connection m_globalMouseMonitor;
    bool m_workspaceObserverInstalled = false;
    QPointer<QMenu> m_activeMenu;
};
