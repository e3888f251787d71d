#include "shell/PreviewPanelManager.h"

#include "shell/PreviewPanel.h"
#include "shell/PreviewWindow.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QScreen>

namespace {

bool sharedWindowTranslucent = false;

// Tells the manager when the first of the app's menus opens and when the last one closes.
class MenuTrackingWatcher final : public QObject
{
public:
    MenuTrackingWatcher(PreviewPanelManager &manager, QObject *parent)
        : QObject(parent)
        , m_manager(manager)
    { }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::Hide) && qobject_cast<QMenu *>(watched)) {
            if (type == QEvent::Show && m_open++ == 0)
                m_manager.menuDidBeginTracking();
            else if (type == QEvent::Hide && m_open > 0 && --m_open == 0)
                m_manager.menuDidEndTracking();
        }
        return false;
    }

private:
    PreviewPanelManager &m_manager;
    int m_open = 0;
};

PreviewPlacement::Screen placementScreen(const QScreen *screen)
{
    return { QRectF(screen->geometry()), QRectF(screen->availableGeometry()) };
}

PreviewPanelManager::Screens applicationScreens()
{
    PreviewPanelManager::Screens screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.all.append(placementScreen(screen));
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        screens.primary = placementScreen(primary);
    return screens;
}

} // namespace

PreviewPanelManager::PreviewPanelManager(
    Clock &clock, WindowFactory makeWindow, ScreenProvider screens, PointerProvider pointer, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_makeWindow(std::move(makeWindow))
    , m_screens(std::move(screens))
    , m_pointer(std::move(pointer))
    , m_alpha(clock, 0.0)
{
    connect(&m_alpha, &AnimatedValue::valueChanged, this, [this](double alpha) {
        if (m_window)
            m_window->setAlpha(alpha);
    });
}

PreviewPanelManager::~PreviewPanelManager() = default;

void PreviewPanelManager::setSharedWindowTranslucent(bool translucent)
{
    sharedWindowTranslucent = translucent;
}

PreviewPanelManager &PreviewPanelManager::shared()
{
    static PreviewPanelManager *manager = [] {
        auto *created = new PreviewPanelManager(
            Clock::system(),
            [] {
                auto window = std::make_unique<PreviewPanel>(sharedWindowTranslucent);
                window->setResizeHandler([] { PreviewPanelManager::shared().windowDidResize(); });
                return window;
            },
            &applicationScreens, [] { return std::optional<QPointF>(QCursor::pos()); },
            QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(new MenuTrackingWatcher(*created, created));
        return created;
    }();
    return *manager;
}

void PreviewPanelManager::show(const ContentFactory &content, const QUuid &itemId, const QRectF &anchor,
    const std::optional<PreviewPlacement::Screen> &screen)
{
    if (m_isMenuTracking)
        return;
    // Kept even when nothing else changes: the window re-centres on the newest anchor.
    m_currentAnchorRect = anchor;
    if (m_currentItemID == itemId && m_window && m_window->isVisible() && m_window->hasContent()) {
        // The pointer came back to the item before its preview went: it stays.
        cancelDismiss();
        return;
    }
    m_currentItemID = itemId;
    cancelDismiss();
    if (!m_window) {
        m_window = m_makeWindow();
        if (!m_window)
            return;
        m_window->setAlpha(m_alpha.value());
    }
    m_window->setContent(content ? content() : nullptr);
    const QSizeF size = m_window->fittingSize();
    const Screens screens = m_screens ? m_screens() : Screens {};
    const std::optional<PreviewPlacement::Screen> chosen
        = PreviewPlacement::screenFor(anchor, screen, screens.all, screens.primary);
    m_visibleFrame = chosen ? std::optional<QRectF>(chosen->visibleFrame) : std::nullopt;
    const QPointF origin = PreviewPlacement::origin(
        anchor, size, m_window->margin(), m_visibleFrame, m_pointer ? m_pointer() : std::nullopt);
    m_placing = true;
    m_window->setFrame(QRectF(origin, size));
    m_placing = false;
    m_window->orderFront();
    Q_EMIT shown(itemId);
    if (m_alpha.target() >= 1.0 && !m_alpha.isRunning() && m_alpha.value() >= 1.0)
        return;
    fadeTo(1.0, fadeInDuration);
}

void PreviewPanelManager::hide(bool animated)
{
    m_currentItemID.reset();
    cancelDismiss();
    if (!m_window || !m_window->isVisible())
        return;
    if (!animated) {
        m_alpha.setValue(0.0);
        m_window->orderOut();
        m_window->setContent(nullptr);
        return;
    }
    fadeTo(0.0, fadeOutDuration, [this] {
        // A show that came during the fade keeps the window.
        if (m_currentItemID || !m_window)
            return;
        m_window->orderOut();
        m_window->setContent(nullptr);
    });
}

void PreviewPanelManager::scheduleHide()
{
    cancelDismiss();
    m_dismissPending = true;
    const quint64 generation = m_dismissGeneration;
    m_clock.runAfter(dismissDelay, this, [this, generation] {
        if (generation != m_dismissGeneration)
            return;
        m_dismissPending = false;
        hide(true);
    });
}

void PreviewPanelManager::menuDidBeginTracking()
{
    m_isMenuTracking = true;
    hide(true);
}

void PreviewPanelManager::menuDidEndTracking()
{
    m_isMenuTracking = false;
}

void PreviewPanelManager::windowDidResize()
{
    if (m_placing || !m_window || !m_currentAnchorRect)
        return;
    QRectF frame = m_window->frame();
    const QPointF placed
        = PreviewPlacement::origin(*m_currentAnchorRect, frame.size(), m_window->margin(), m_visibleFrame);
    if (placed.y() == frame.y())
        return;
    frame.moveTop(placed.y());
    m_placing = true;
    m_window->setFrame(frame);
    m_placing = false;
}

void PreviewPanelManager::cancelDismiss()
{
    ++m_dismissGeneration;
    m_dismissPending = false;
}

void PreviewPanelManager::fadeTo(double alpha, Clock::Duration duration, std::function<void()> completion)
{
    m_alpha.animateTo(alpha, duration, TimingCurve::easeInOut(), std::move(completion));
}
