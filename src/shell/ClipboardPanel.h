#pragma once

#include "common/ClockTimer.h"
#include "panel/OwnWindowSizes.h"
#include "shell/PanelShadow.h"

#include <QMargins>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AppSettings;
class ModelContainer;
class PanelResizeHandle;
class PanelController;
class QScreen;
class AnimatedValue;
class UserDefaults;

// The floating window of the clipboard history: frameless, above other windows, on
// every workspace; rounded, translucent and shadowed where a compositor runs, opaque otherwise.
// It carries its own resize handles along its edges and in its corners.
// It hosts the panel's content (setContentView), keeps its size, per-screen position and
// tab-mode lock in the user defaults, and resizes itself when the content asks for more
// or fewer columns. Created once and shown and hidden by the panel presenter.
class ClipboardPanel final : public QWidget
{
    Q_OBJECT
public:
    // translucent: a compositor runs, so the rounded, see-through background can show.
    ClipboardPanel(ModelContainer &container, AppSettings &settings, UserDefaults &defaults, bool translucent,
        QWidget *parent = nullptr);
    ~ClipboardPanel() override;

    static inline const QString tabModeLockKey = QStringLiteral("ClipboardPanelTabModeLock");

    PanelController *panelController() const { return m_panelController; }
    // The content's host, and the content itself (an empty placeholder until set).
    QWidget *hostingView() const { return m_hostingView; }
    QWidget *backgroundEffectView() const { return m_backgroundEffectView; }
    QWidget *contentView() const { return m_contentView; }
    // Takes ownership of the panel's root view.
    void setContentView(QWidget *view);

    bool isTranslucent() const { return m_translucent; }
    // Room around the panel's body for its shadow, where a compositor can show one.
    QMargins shadowMargins() const;
    int currentColumnCount() const { return m_currentColumnCount; }
    bool isLockedInTabMode() const { return m_isLockedInTabMode; }
    bool isAnimatingHistory() const { return m_isAnimatingHistory; }
    // The panel's body on screen (the window without its shadow's room).
    QRectF frame() const;
    void setFrame(const QRectF &frame);
    // The body's limits; the window's own are larger by the shadow's room. They are what the
    // window manager is told: the largest is the free area of the panel's screen, as far as the
    // edges' own drag reaches, so a tiling layout or an Alt+drag can enlarge the panel too.
    QSizeF minimumFrameSize() const;
    QSizeF maximumFrameSize() const;
    void setMinimumFrameSize(const QSizeF &size);
    void setMaximumFrameSize(const QSizeF &size);
    // Where a click belongs to the panel: its body and the reach of its resize handles.
    QRectF hitFrame() const;
    QList<PanelResizeHandle *> resizeHandles() const { return m_resizeHandles; }
    // The available area of the panel's screen (else the primary, else the first screen,
    // else 1920 × 1080).
    QRectF visibleFrame() const;

    // Columns that the stored items fill: History, Text, Code (while code detection is on),
    // Links, Files, Media, Colors; at least 1.
    static int initialColumnCount(ModelContainer &container, const AppSettings &settings);
    // That count for the panel's store and settings, asked of the store again only once either
    // has changed: each show places the panel by it.
    int storedColumnCount();
    static QString screenKey(const QScreen *screen);
    // Keeps the size, the place on that screen, or both (the place on the screen under the
    // panel's centre) in the user defaults: see PanelFrameMemory.
    void saveSize();
    void savePosition(const QScreen *screen);
    void saveFrame();

    // The content's requests.
    // A new column count: the panel grows to show them all where the screen allows
    // (animated over duration seconds when above 0).
    void updateColumnCount(int columnCount, double duration);
    // History column shown (adding) or collapsed over duration seconds; completion runs once when
    // it has ended.
    void resizeForHistoryToggle(
        bool adding, int columnCount, double duration, std::function<void()> completion);
    // Pins the content's width (its current width when none is given) while the frame
    // animates, so the columns do not reflow on the way; clearHostingWidth undoes it.
    void setHostingWidth(std::optional<double> width);
    void clearHostingWidth();
    bool hasPinnedHostingWidth() const { return m_pinnedHostingWidth.has_value(); }
    // Forces tabs: shrinks a wider panel to max(360, n × 200 − 1) and keeps the lock.
    void lockToTabMode(int columnCount);
    void ensureMinimumWidth(double width);

    // A live resize (the resize handles bracket their drags with these). A size set from
    // outside (the window manager's own resize, a tiling layout) is one too: it starts with the
    // first such size and ends once the size has stayed put for resizeSettleTime.
    void windowWillStartLiveResize();
    void windowDidEndLiveResize();
    // How long the window's size must stay put after a resize by the window manager before it
    // counts: its last size may still be on its way.
    static constexpr std::chrono::milliseconds resizeSettleTime { 120 };
    void windowDidChangeScreen();

    // The time of the frame's animations and of the position's save; tests move it by hand.
    void setClock(Clock &clock);

    // The background follows the glass setting; content and handles stay.
    void rebuildBackground();
    // Thin scroll bars that stay hidden until the user scrolls.
    void applyThinScrollers(QWidget *view);
    void hideScrollers(QWidget *view);

    // Escape with nothing else taking it: the delegate hides the panel and gives the focus
    // back; without a delegate the panel just hides.
    void cancelOperation();
    // Run by cancelOperation instead of hiding directly (the application delegate's hide).
    void setCancelHandler(std::function<void()> handler) { m_cancelHandler = std::move(handler); }

    bool eventFilter(QObject *watched, QEvent *event) override;
    // Showing first gives the window its hints for the window manager (all workspaces, no
    // task-bar entry), which are read when it maps.
    void setVisible(bool visible) override;

Q_SIGNALS:
    // After every paint of the window (the first one after a show ends the show's work).
    void painted();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildContent();
    void installResizeHandles();
    void placeResizeHandles();
    QWidget *makeBackgroundEffectView();
    void layoutHostingView();
    void setTabModeLock(bool locked);
    void animateFrame(const QRectF &target, double duration, std::function<void()> completion);
    void scheduledPositionSave();
    void noteResize(const QResizeEvent &event);
    void endOutsideResize();
    const QScreen *screenContaining(const QPointF &point) const;

    ModelContainer &m_container;
    AppSettings &m_settings;
    UserDefaults &m_defaults;
    std::optional<int> m_storedColumnCount;
    bool m_translucent = false;
    QWidget *m_containerView = nullptr;
    QWidget *m_backgroundEffectView = nullptr;
    QWidget *m_hostingView = nullptr;
    QPointer<QWidget> m_contentView;
    std::optional<double> m_pinnedHostingWidth;
    int m_currentColumnCount = 1;
    PanelController *m_panelController = nullptr;
    Clock *m_clock = &Clock::system();
    // A move is saved once the moves have stopped for a moment.
    ClockTimer m_positionSaveTimer;
    // The sizes the panel set itself, to tell the window manager's from them.
    OwnWindowSizes m_ownSizes;
    // Running while a resize from outside goes on.
    ClockTimer m_outsideResize;
    // The frame's animation runs from one frame to another as this goes from 0 to 1.
    std::unique_ptr<AnimatedValue> m_frameProgress;
    QRectF m_animationStart;
    QRectF m_animationEnd;
    bool m_isLockedInTabMode = false;
    bool m_isAnimatingHistory = false;
    std::function<void()> m_cancelHandler;
    QMetaObject::Connection m_screenConnection;
    QList<PanelResizeHandle *> m_resizeHandles;
    PanelShadow m_shadow;
};
