#include "shell/PanelPresenter.h"

#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "common/NotificationCenter.h"
#include "enrichment/FileAvailabilityService.h"
#include "panel/ClipboardPanelView.h"
#include "panel/PanelController.h"
#include "panel/PanelFrameMemory.h"
#include "panel/PanelGeometry.h"
#include "panel/SearchField.h"
#include "platform/GlobalInputMonitor.h"
#include "shell/ClipboardPanel.h"
#include "shell/FrontWindow.h"
#include "shell/PreviewPanelManager.h"
#include "shell/StatusItem.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>

namespace {

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

PanelPresenter::PanelPresenter(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_dependencies(std::move(dependencies))
{
    createPanel();
}

PanelPresenter::~PanelPresenter()
{
    removeOwnWindowWatch();
    removeKeyMonitor();
    removeWorkspaceObserver();
    removeGlobalMouseMonitor();
}

void PanelPresenter::createPanel()
{
    m_panel = std::make_unique<ClipboardPanel>(m_dependencies.container, m_dependencies.settings,
        m_dependencies.defaults, m_dependencies.workspace.isCompositing());
    m_panelController = m_panel->panelController();
    if (m_dependencies.makeContent) {
        if (QWidget *content = m_dependencies.makeContent(*m_panel))
            m_panel->setContentView(content);
    }
    QPointer<PanelPresenter> self = this;
    m_panel->setCancelHandler([self] {
        if (self)
            self->hidePanel(true);
    });
}

void PanelPresenter::togglePanel()
{
    const std::optional<RunningApplication> front = m_dependencies.workspace.frontmostApplication();
    if (!front || !front->isCurrentApplication())
        m_previousApp = front;
    if (!m_panel)
        createPanel();
    if (m_panel->isVisible())
        hidePanel(true);
    else
        showPanel();
}

void PanelPresenter::showPanel()
{
    QScreen *screen = screenUnderPointer();
    if (!m_panel || !screen)
        return;
    const QRectF frame = placeOnScreen(*screen);
    // Nobody is told: the panel reads its items again as it shows ("panelWillShow"). With the
    // same mounts every answer is kept, so that a show costs no rebuild of the panel's lists.
    if (m_dependencies.availability)
        m_dependencies.availability->rereadMountedVolumesUnannounced();
    // The search from before the show is selected a moment after it, so that typing replaces
    // it; what is typed in that moment is not (a key typed at once would replace the one before).
    QPointer<SearchField> searchField = findSearchField(m_panel->contentView());
    const QString searchAtShow = searchField ? searchField->text() : QString();
    m_panel->setWindowOpacity(1);
    m_panel->show();
    m_panel->raise();
    if (!m_panelController->isPinned())
        activatePanelWindow();
    settleAfterShow(frame, searchField, searchAtShow);
    installGlobalMouseMonitor();
    installKeyMonitor();
    installWorkspaceObserver();
    installOwnWindowWatch();
}

// The stored size and position fitted into the screen's free area; returns the frame set.
QRectF PanelPresenter::placeOnScreen(const QScreen &screen)
{
    const QRectF visible(screen.availableGeometry());
    m_panel->setMaximumFrameSize(visible.size());
    const PanelGeometry::ShowPlacement placement
        = PanelGeometry::placeForShow(visible, PanelFrameMemory::savedSize(m_dependencies.defaults),
            PanelFrameMemory::savedPosition(m_dependencies.defaults, ClipboardPanel::screenKey(&screen)),
            m_panel->isLockedInTabMode(), m_panel->storedColumnCount(), m_panel->minimumFrameSize());
    m_panel->setMinimumFrameSize(placement.minimumSize);
    m_panel->setFrame(placement.frame);
    return placement.frame;
}

// On the next turn of the event loop: "panelWillShow", the search focused a moment later, the
// frame pinned, and a moment later the scroll bars made thin.
void PanelPresenter::settleAfterShow(
    const QRectF &frame, const QPointer<SearchField> &searchField, const QString &searchAtShow)
{
    QPointer<PanelPresenter> self = this;
    QTimer::singleShot(0, this, [self, frame, searchField, searchAtShow] {
        if (!self || !self->m_panel)
            return;
        NotificationCenter::defaultCenter().post(Notifications::panelWillShow);
        if (SearchField *field = searchField.data())
            QTimer::singleShot(250, field, [field, searchAtShow] { focusSearchField(field, searchAtShow); });
        self->m_panel->setFrame(frame);
        QTimer::singleShot(100, self, [self] {
            if (!self || !self->m_panel)
                return;
            self->m_panel->applyThinScrollers(self->m_panel->hostingView());
            self->m_panel->hideScrollers(self->m_panel->hostingView());
        });
    });
}

void PanelPresenter::activatePanelWindow()
{
    m_panel->activateWindow();
    // The window manager may refuse Qt's request (its time predates the hot key, which
    // arrived on another connection); ask again on the user's behalf once it is mapped.
    QPointer<PanelPresenter> self = this;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_panel.get(), &ClipboardPanel::painted, this, [self, connection] {
        QObject::disconnect(*connection);
        if (self && self->m_panel && !self->m_panel->isActiveWindow())
            FrontWindow::activateOnUsersBehalf(self->m_dependencies.workspace, *self->m_panel);
    });
}

SearchField *PanelPresenter::findSearchField(QWidget *contentView)
{
    if (!contentView)
        return nullptr;
    auto *view = qobject_cast<ClipboardPanelView *>(contentView);
    if (!view)
        view = contentView->findChild<ClipboardPanelView *>();
    return view ? view->searchField() : nullptr;
}

void PanelPresenter::focusSearchField(SearchField *field, const QString &textAtShow)
{
    if (!field)
        return;
    field->setFocus(Qt::OtherFocusReason);
    // Selecting what was typed in the moment since the show would let the next key replace it.
    if (!field->text().isEmpty() && field->text() == textAtShow)
        field->selectAll();
}

void PanelPresenter::installGlobalMouseMonitor()
{
    removeGlobalMouseMonitor();
    m_globalMouseMonitor = connect(&m_dependencies.inputMonitor, &GlobalInputMonitor::mouseDown, this,
        &PanelPresenter::handleOutsideClick, Qt::QueuedConnection);
    m_dependencies.inputMonitor.setWatchesMouseDowns(true);
}

void PanelPresenter::removeGlobalMouseMonitor()
{
    if (m_globalMouseMonitor) {
        disconnect(m_globalMouseMonitor);
        m_globalMouseMonitor = {};
        m_dependencies.inputMonitor.setWatchesMouseDowns(false);
    }
}

void PanelPresenter::handleOutsideClick(const QPoint &nativePosition)
{
    ClipboardPanel *panel = m_panel.get();
    if (!panel || !panel->isVisible() || m_panelController->isPinned())
        return;
    const QPoint position = logicalPosition(nativePosition);
    if (panel->hitFrame().contains(position))
        return;
    // The tray icon's own click toggles the panel.
    if (m_dependencies.statusItem && m_dependencies.statusItem->geometry().contains(position))
        return;
    // Clicks in this app's other windows are no outside clicks.
    if (QWidget *window = QApplication::topLevelAt(position); window && window != panel)
        return;
    // The focus goes back only when the click did not land in another application's
    // window: that window takes the focus itself, and taking it away would be theft.
    const std::optional<RunningApplication> clicked = m_dependencies.workspace.applicationAt(nativePosition);
    const bool landedInAnotherApplication = clicked && !clicked->isCurrentApplication();
    hidePanel(!landedInAnotherApplication);
}

void PanelPresenter::installKeyMonitor()
{
    removeKeyMonitor();
    QPointer<PanelPresenter> self = this;
    m_keyMonitor = std::make_unique<LocalEventMonitor>(
        QList<QEvent::Type> { QEvent::KeyPress }, [self](QObject *receiver, QEvent *event) {
            return self && self->handlePanelKeyDown(receiver, event);
        });
    m_keyMonitor->start();
}

void PanelPresenter::removeKeyMonitor()
{
    m_keyMonitor.reset();
}

bool PanelPresenter::handlePanelKeyDown(QObject *receiver, QEvent *event)
{
    ClipboardPanel *panel = m_panel.get();
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
    if (m_dependencies.isEditingLabel && m_dependencies.isEditingLabel())
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

void PanelPresenter::installWorkspaceObserver()
{
    removeWorkspaceObserver();
    QPointer<PanelPresenter> self = this;
    m_dependencies.workspace.setActivationHandler(
        [self](const std::optional<RunningApplication> &application) {
            if (!self)
                return;
            QTimer::singleShot(0, self, [self, application] {
                if (self)
                    self->handleAppActivation(application);
            });
        });
    m_workspaceObserverInstalled = true;
}

void PanelPresenter::removeWorkspaceObserver()
{
    if (m_workspaceObserverInstalled)
        m_dependencies.workspace.setActivationHandler({});
    m_workspaceObserverInstalled = false;
}

void PanelPresenter::handleAppActivation(const std::optional<RunningApplication> &application)
{
    if (!m_panel || !m_panel->isVisible())
        return;
    if (m_focusReturn.isActive()) {
        if (application && application->windowId == m_panel->winId()) {
            m_focusReturn.stop();
            return;
        }
        // Another of the app's windows (a new question over the panel) keeps the focus.
        if (!application || !application->isCurrentApplication())
            takeFocusBack();
        return;
    }
    if (m_panelController->isPinned())
        return;
    // No active window at all is a moment between two windows, not another application.
    if (!application)
        return;
    // The other application keeps the focus it has just taken.
    if (!application->isCurrentApplication())
        hidePanel(false);
}

// When a window the panel opened over itself (the question before clearing) closes, the focus
// belongs to the panel again. The window manager gives it to another window, or to none:
// Openbox, for one, never falls back to a window shown on every workspace, as the panel is, and
// the panel would take that for the user going elsewhere and hide. For a moment the panel asks
// for the focus back instead.
void PanelPresenter::installOwnWindowWatch()
{
    removeOwnWindowWatch();
    QPointer<PanelPresenter> self = this;
    m_ownWindowMonitor = std::make_unique<LocalEventMonitor>(QList<QEvent::Type> { QEvent::Hide },
        [self](QObject *receiver, QEvent *) { return self && self->handleWindowHidden(receiver); });
    m_ownWindowMonitor->start();
}

void PanelPresenter::removeOwnWindowWatch()
{
    m_ownWindowMonitor.reset();
    m_focusReturn.stop();
}

bool PanelPresenter::handleWindowHidden(QObject *receiver)
{
    ClipboardPanel *panel = m_panel.get();
    auto *window = qobject_cast<QWidget *>(receiver);
    if (!panel || !panel->isVisible() || !window || window == panel || !window->isWindow())
        return false;
    // Menus never take the focus from the panel's window: they only grab the keyboard.
    const Qt::WindowType type = window->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip)
        return false;
    const QWidget *over = window->parentWidget();
    if (!over || over->window() != panel)
        return false;
    m_focusReturn.start();
    // A turn later the closing window's unmapping has gone out on the same connection, so the
    // window manager learns of it before it is asked for the panel.
    QPointer<PanelPresenter> self = this;
    QTimer::singleShot(0, this, [self] {
        if (self && self->m_focusReturn.isActive())
            self->takeFocusBack();
    });
    return false;
}

void PanelPresenter::takeFocusBack()
{
    if (!m_panel || !m_panel->isVisible())
        return;
    m_panel->activateWindow();
    FrontWindow::activateOnUsersBehalf(m_dependencies.workspace, *m_panel);
}

void PanelPresenter::hidePanel(bool restoreFocus)
{
    bool menuWasOpen = false;
    if (m_activeMenu) {
        m_activeMenu->close();
        m_activeMenu = nullptr;
        menuWasOpen = true;
    }
    if (m_dependencies.preview)
        m_dependencies.preview->hide(true);
    removeGlobalMouseMonitor();
    removeKeyMonitor();
    removeWorkspaceObserver();
    removeOwnWindowWatch();
    if (menuWasOpen && m_panel)
        fadeOutThenFinishHide(restoreFocus);
    else
        finishHidePanel(restoreFocus);
}

// The menu closing and the panel vanishing at once would flicker: the panel fades out first.
void PanelPresenter::fadeOutThenFinishHide(bool restoreFocus)
{
    auto *fade = new QVariantAnimation(this);
    fade->setStartValue(m_panel->windowOpacity());
    fade->setEndValue(0.0);
    fade->setDuration(150);
    QPointer<ClipboardPanel> panel = m_panel.get();
    connect(fade, &QVariantAnimation::valueChanged, this, [panel](const QVariant &value) {
        if (panel)
            panel->setWindowOpacity(value.toDouble());
    });
    QPointer<PanelPresenter> self = this;
    connect(fade, &QVariantAnimation::finished, this, [self, panel, restoreFocus] {
        if (!self)
            return;
        self->finishHidePanel(restoreFocus);
        if (panel)
            panel->setWindowOpacity(1);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void PanelPresenter::finishHidePanel(bool restoreFocus)
{
    if (ClipboardPanel *panel = m_panel.get()) {
        panel->saveFrame();
        panel->hide();
    }
    NotificationCenter::defaultCenter().post(Notifications::panelDidHide);
    if (restoreFocus && m_previousApp)
        m_dependencies.workspace.activate(*m_previousApp);
}
