#pragma once

#include "common/AnimatedValue.h"
#include "common/Clock.h"
#include "panel/PreviewPlacement.h"

#include <QObject>
#include <QRectF>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class PreviewWindow;
class QWidget;

// Shows the preview of the item under the pointer in a small window beside the panel, and
// decides when it goes: at once (a menu opens, the panel hides), after 0.15 s when the pointer
// left the item (a move to the next item within that time switches the preview without it
// disappearing), fading in over 0.1 s and out over 0.15 s. While any menu of the app is open it
// shows nothing. Its window is made on the first show and kept. Main thread only.
class PreviewPanelManager final : public QObject
{
    Q_OBJECT

public:
    static constexpr Clock::Duration dismissDelay { 150 };
    static constexpr Clock::Duration fadeInDuration { 100 };
    static constexpr Clock::Duration fadeOutDuration { 150 };

    using WindowFactory = std::function<std::unique_ptr<PreviewWindow>()>;
    using ContentFactory = std::function<QWidget *()>;
    struct Screens
    {
        QList<PreviewPlacement::Screen> all;
        std::optional<PreviewPlacement::Screen> primary;
    };
    using ScreenProvider = std::function<Screens()>;
    // Where the pointer is (screen coordinates), so that a preview that has to lie over the
    // panel keeps clear of the row being pointed at.
    using PointerProvider = std::function<std::optional<QPointF>()>;

    PreviewPanelManager(Clock &clock, WindowFactory makeWindow, ScreenProvider screens,
        PointerProvider pointer = {}, QObject *parent = nullptr);
    ~PreviewPanelManager() override;

    // The app's manager, with the real window on the system clock, following the app's menus.
    static PreviewPanelManager &shared();
    // Whether the shared manager's window may be see-through (a compositor runs); set before
    // its first show.
    static void setSharedWindowTranslucent(bool translucent);

    // Shows (or moves to) the preview of an item beside the anchor (screen coordinates). The
    // content is made only when the window does not already show this item.
    void show(const ContentFactory &content, const QUuid &itemId, const QRectF &anchor,
        const std::optional<PreviewPlacement::Screen> &screen = std::nullopt);
    void hide(bool animated);
    void scheduleHide();

    // A menu of the app opened or closed.
    void menuDidBeginTracking();
    void menuDidEndTracking();
    // The window changed its height by itself: it stays centred on the anchor's middle, within
    // the screen.
    void windowDidResize();

    std::optional<QUuid> currentItemID() const { return m_currentItemID; }
    std::optional<QRectF> currentAnchorRect() const { return m_currentAnchorRect; }
    bool isMenuTracking() const { return m_isMenuTracking; }
    bool hasPendingHide() const { return m_dismissPending; }
    PreviewWindow *window() const { return m_window.get(); }
    double alpha() const { return m_alpha.value(); }

Q_SIGNALS:
    // The window came on screen with an item's preview (its first frame set).
    void shown(const QUuid &itemId);

private:
    void cancelDismiss();
    void fadeTo(double alpha, Clock::Duration duration, std::function<void()> completion = {});

    Clock &m_clock;
    WindowFactory m_makeWindow;
    ScreenProvider m_screens;
    PointerProvider m_pointer;
    std::unique_ptr<PreviewWindow> m_window;
    std::optional<QUuid> m_currentItemID;
    std::optional<QRectF> m_currentAnchorRect;
    bool m_isMenuTracking = false;
    bool m_dismissPending = false;
    bool m_placing = false;
    std::optional<QRectF> m_visibleFrame;
    quint64 m_dismissGeneration = 0;
    AnimatedValue m_alpha;
};
