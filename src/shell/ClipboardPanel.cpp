#include "shell/ClipboardPanel.h"

#include "common/AnimatedValue.h"
#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "model/ClipboardItemType.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "panel/HistoryToggle.h"
#include "panel/PanelController.h"
#include "panel/PanelFrameMemory.h"
#include "panel/PanelGeometry.h"
#include "platform/FloatingWindowHints.h"
#include "platform/UserDefaults.h"
#include "shell/AppearanceAwareTintView.h"
#include "shell/PanelResizeHandle.h"
#include "shell/PanelShadow.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr double cornerRadius = 28;
const char *thinScrollersMarker = "ThinScrollersApplied";

// The layer under the content: the window colour, see-through where a compositor runs,
// with rounded corners there. The glass look is lighter and has no tint.
class PanelBackgroundView final : public QWidget
{
public:
    PanelBackgroundView(bool translucent, bool glass, std::function<void()> relayout, QWidget *parent)
        : QWidget(parent)
        , m_translucent(translucent)
        , m_glass(glass)
        , m_relayout(std::move(relayout))
    {
        setAttribute(Qt::WA_NoSystemBackground);
        if (!glass) {
            m_tint = new AppearanceAwareTintView(this);
            m_tint->lower();
        }
    }

    bool isGlass() const { return m_glass; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QColor base = palette().color(QPalette::Window);
        if (m_translucent)
            base.setAlphaF(m_glass ? 0.72f : 0.9f);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_translucent) {
            QPainterPath path;
            path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
            painter.fillPath(path, base);
        } else {
            painter.fillRect(rect(), base);
            // Without a compositor there is no shadow: a hairline keeps the edge visible.
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

    void resizeEvent(QResizeEvent *) override
    {
        if (m_tint)
            m_tint->setGeometry(rect());
        if (m_relayout)
            m_relayout();
    }

private:
    bool m_translucent;
    bool m_glass;
    std::function<void()> m_relayout;
    AppearanceAwareTintView *m_tint = nullptr;
};

// Keeps its only child the size of itself (the rounded container under the handles).
class FillingContainer final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent *) override
    {
        for (QObject *child : children()) {
            if (auto *widget = qobject_cast<QWidget *>(child);
                widget && widget->property("fillsContainer").toBool())
                widget->setGeometry(rect());
        }
    }
};

// The view itself and every scroll area below it.
QList<QAbstractScrollArea *> scrollAreasIn(QWidget *view)
{
    QList<QAbstractScrollArea *> areas = view->findChildren<QAbstractScrollArea *>();
    if (auto *self = qobject_cast<QAbstractScrollArea *>(view))
        areas.prepend(self);
    return areas;
}

QScreen *fallbackScreen()
{
    if (QScreen *primary = QGuiApplication::primaryScreen())
        return primary;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

} // namespace

ClipboardPanel::ClipboardPanel(ModelContainer &container, AppSettings &settings, UserDefaults &defaults,
    bool translucent, QWidget *parent)
    : QWidget(
        parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint)
    , m_container(container)
    , m_settings(settings)
    , m_defaults(defaults)
    , m_translucent(translucent)
    , m_positionSaveTimer(*m_clock, std::chrono::milliseconds(100), [this] { scheduledPositionSave(); })
    , m_outsideResize(*m_clock, resizeSettleTime, [this] { endOutsideResize(); })
{
    setClock(*m_clock);
    setObjectName(QStringLiteral("ClipboardPanel"));
    setWindowTitle(QStringLiteral("Tindlewick"));
    if (m_translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    else
        setAttribute(Qt::WA_OpaquePaintEvent);

    const auto forgetColumnCount = [this] { m_storedColumnCount.reset(); };
    connect(container.mainContext(), &ModelContext::objectsDidChange, this, forgetColumnCount);
    connect(container.mainContext(), &ModelContext::itemDidChangeProperty, this, forgetColumnCount);
    connect(&settings, &AppSettings::historyLimitChanged, this, forgetColumnCount);
    connect(&settings, &AppSettings::detectCodeChanged, this, forgetColumnCount);
    m_currentColumnCount = storedColumnCount();
    const QScreen *screen = fallbackScreen();
    const double width = screen ? 0.8 * screen->geometry().width() : 1536;
    m_isLockedInTabMode = m_defaults.boolean(tabModeLockKey).value_or(false);

    // Window configuration.
    setMinimumFrameSize(QSizeF(PanelGeometry::minimumWidth, PanelGeometry::minimumHeight));
    const QRectF visible = screen ? QRectF(screen->availableGeometry()) : PanelGeometry::noScreenVisibleFrame;
    setMaximumFrameSize(visible.size());
    setFrame(QRectF(QPointF(0, 0), QSizeF(width, 500).boundedTo(maximumFrameSize())));

    m_panelController = new PanelController(this, m_isLockedInTabMode, this);
    buildContent();

    // Tab and Shift-Tab inside the panel move between its columns, not between widgets.
    qApp->installEventFilter(this);
}

ClipboardPanel::~ClipboardPanel()
{
    if (qApp)
        qApp->removeEventFilter(this);
    // The content reads the panel controller to its end; the controller, an older child,
    // would otherwise go first.
    delete m_containerView;
}

void ClipboardPanel::buildContent()
{
    m_containerView = new FillingContainer(this);
    m_containerView->setGeometry(rect() - shadowMargins());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(shadowMargins());
    layout->addWidget(m_containerView);

    m_hostingView = new QWidget;
    m_hostingView->setObjectName(QStringLiteral("hostingView"));
    auto *hostingLayout = new QVBoxLayout(m_hostingView);
    hostingLayout->setContentsMargins(0, 0, 0, 0);
    m_contentView = new QWidget;
    m_contentView->setObjectName(QStringLiteral("placeholderContent"));
    hostingLayout->addWidget(m_contentView);

    m_backgroundEffectView = makeBackgroundEffectView();
    m_hostingView->setParent(m_backgroundEffectView);
    m_backgroundEffectView->setParent(m_containerView);
    m_backgroundEffectView->setGeometry(m_containerView->rect());
    layoutHostingView();
    installResizeHandles();
}

void ClipboardPanel::installResizeHandles()
{
    // On the window itself, above everything, so that they reach beyond the body into the
    // shadow's room where there is one.
    for (PanelResizeGeometry::Handle handle : PanelResizeGeometry::installationOrder)
        m_resizeHandles.append(new PanelResizeHandle(handle, *this, this));
    placeResizeHandles();
}

void ClipboardPanel::placeResizeHandles()
{
    const QRectF body = QRectF(rect()).marginsRemoved(QMarginsF(shadowMargins()));
    for (PanelResizeHandle *handle : std::as_const(m_resizeHandles))
        handle->place(body);
}

QMargins ClipboardPanel::shadowMargins() const
{
    return m_translucent ? PanelShadow::margins() : QMargins();
}

QRectF ClipboardPanel::frame() const
{
    return QRectF(geometry()).marginsRemoved(QMarginsF(shadowMargins()));
}

QSizeF ClipboardPanel::minimumFrameSize() const
{
    const QMargins margins = shadowMargins();
    return QSizeF(minimumSize()) - QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSizeF ClipboardPanel::maximumFrameSize() const
{
    const QMargins margins = shadowMargins();
    return QSizeF(maximumSize()) - QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void ClipboardPanel::setMinimumFrameSize(const QSizeF &size)
{
    const QMargins margins = shadowMargins();
    setMinimumSize(
        (size + QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom())).toSize());
}

void ClipboardPanel::setMaximumFrameSize(const QSizeF &size)
{
    const QMargins margins = shadowMargins();
    const QSize window
        = (size + QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom())).toSize();
    setMaximumSize(window.boundedTo(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)));
}

QRectF ClipboardPanel::hitFrame() const
{
    const QRectF body = frame();
    if (!m_translucent)
        return body;
    const double reach = PanelResizeGeometry::stripThickness - 6;
    return body.adjusted(-reach, -reach, reach, reach);
}

QWidget *ClipboardPanel::makeBackgroundEffectView()
{
    auto *view = new PanelBackgroundView(
        m_translucent, m_settings.useLiquidGlass(), [this] { layoutHostingView(); }, nullptr);
    view->setObjectName(QStringLiteral("backgroundEffectView"));
    view->setProperty("fillsContainer", true);
    return view;
}

void ClipboardPanel::setContentView(QWidget *view)
{
    if (!view || view == m_contentView)
        return;
    delete m_contentView;
    m_contentView = view;
    m_hostingView->layout()->addWidget(view);
}

void ClipboardPanel::layoutHostingView()
{
    if (!m_hostingView || !m_backgroundEffectView)
        return;
    const QRect bounds = m_backgroundEffectView->rect();
    if (m_pinnedHostingWidth) {
        // Attached at the trailing edge with a fixed width; the background clips the rest.
        const int width = int(std::lround(*m_pinnedHostingWidth));
        m_hostingView->setGeometry(bounds.right() + 1 - width, 0, width, bounds.height());
    } else {
        m_hostingView->setGeometry(bounds);
    }
    m_hostingView->raise();
}

void ClipboardPanel::setFrame(const QRectF &frame)
{
    setGeometry(frame.marginsAdded(QMarginsF(shadowMargins())).toRect());
}

QRectF ClipboardPanel::visibleFrame() const
{
    const QScreen *current = isVisible() ? screen() : nullptr;
    if (!current)
        current = fallbackScreen();
    return current ? QRectF(current->availableGeometry()) : PanelGeometry::noScreenVisibleFrame;
}

int ClipboardPanel::initialColumnCount(ModelContainer &container, const AppSettings &settings)
{
    ModelContext *context = container.mainContext();
    const auto any = [&](const Predicate &predicate) {
        FetchDescriptor descriptor;
        descriptor.predicate = predicate;
        descriptor.fetchLimit = 1;
        return !context->fetch(descriptor).items.isEmpty();
    };
    const auto ofKind
        = [](ClipboardItemType type) { return Predicate::equal(ItemField::itemType, rawValue(type)); };
    int count = 0;
    if (settings.historyLimit() > 0 && any(Predicate()))
        ++count;
    // Unknown stored kinds read as text.
    const Predicate otherKinds = Predicate::any(
        { ofKind(ClipboardItemType::link), ofKind(ClipboardItemType::file), ofKind(ClipboardItemType::color),
            ofKind(ClipboardItemType::media), ofKind(ClipboardItemType::code) });
    if (any(Predicate::negation(otherKinds)))
        ++count;
    if (settings.detectCode() && any(ofKind(ClipboardItemType::code)))
        ++count;
    for (ClipboardItemType type : { ClipboardItemType::link, ClipboardItemType::file,
             ClipboardItemType::media, ClipboardItemType::color }) {
        if (any(ofKind(type)))
            ++count;
    }
    return std::max(count, 1);
}

int ClipboardPanel::storedColumnCount()
{
    if (!m_storedColumnCount)
        m_storedColumnCount = initialColumnCount(m_container, m_settings);
    return *m_storedColumnCount;
}

QString ClipboardPanel::screenKey(const QScreen *screen)
{
    if (!screen)
        return PanelGeometry::screenKey({}, {});
    return PanelGeometry::screenKey(screen->name(), screen->geometry().topLeft());
}

void ClipboardPanel::saveSize()
{
    PanelFrameMemory::saveSize(m_defaults, frame().size());
}

void ClipboardPanel::savePosition(const QScreen *screen)
{
    PanelFrameMemory::savePosition(m_defaults, frame().topLeft(), screenKey(screen));
}

void ClipboardPanel::saveFrame()
{
    const QScreen *screen = screenContaining(frame().center());
    PanelFrameMemory::save(m_defaults, frame(), screen ? std::optional(screenKey(screen)) : std::nullopt);
}

const QScreen *ClipboardPanel::screenContaining(const QPointF &point) const
{
    for (const QScreen *candidate : QGuiApplication::screens()) {
        if (QRectF(candidate->geometry()).contains(point))
            return candidate;
    }
    return nullptr;
}

void ClipboardPanel::scheduledPositionSave()
{
    if (const QScreen *screen = screenContaining(frame().center()))
        savePosition(screen);
}

void ClipboardPanel::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // A newer move replaces the pending save.
    if (isVisible())
        m_positionSaveTimer.start();
}

void ClipboardPanel::setVisible(bool visible)
{
    if (visible && !isVisible())
        FloatingWindowHints::applyBeforeMapping(winId());
    // A resize from outside still settling ends with the size it reached.
    if (!visible && m_outsideResize.isActive()) {
        m_outsideResize.stop();
        endOutsideResize();
    }
    QWidget::setVisible(visible);
}

// Seen before the content lays itself out for the new size, so that a resize from outside lays
// it out as a live resize from its first size on.
void ClipboardPanel::noteResize(const QResizeEvent &event)
{
    if (!event.spontaneous()) {
        m_ownSizes.set(event.size());
        return;
    }
    if (m_ownSizes.isOwn(event.size()) || !isVisible())
        return;
    if (!m_outsideResize.isActive()) {
        // The panel's own handles bracket their drags themselves.
        if (m_panelController->inLiveResize())
            return;
        windowWillStartLiveResize();
    }
    m_outsideResize.start();
}

void ClipboardPanel::endOutsideResize()
{
    if (m_panelController->inLiveResize())
        windowDidEndLiveResize();
}

void ClipboardPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (QWindow *window = windowHandle(); window && !m_screenConnection) {
        m_screenConnection
            = connect(window, &QWindow::screenChanged, this, [this] { windowDidChangeScreen(); });
    }
}

void ClipboardPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeResizeHandles();
    if (m_translucent) {
        // Outside the body and the handles' reach, clicks go to the windows below.
        const QRectF hit = hitFrame().translated(-QRectF(geometry()).topLeft());
        FloatingWindowHints::setInputRegion(winId(), hit.toAlignedRect());
    }
}

void ClipboardPanel::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (m_translucent) {
        QPainter painter(this);
        m_shadow.paint(painter, size(), cornerRadius);
    }
    Q_EMIT painted();
}

void ClipboardPanel::setTabModeLock(bool locked)
{
    m_isLockedInTabMode = locked;
    m_panelController->setIsLockedInTabMode(locked);
    m_defaults.setBoolean(tabModeLockKey, locked);
}

void ClipboardPanel::windowWillStartLiveResize()
{
    m_panelController->setInLiveResize(true);
    if (const QScreen *current = screen())
        setMaximumFrameSize(current->availableGeometry().size());
}

void ClipboardPanel::windowDidEndLiveResize()
{
    m_panelController->setInLiveResize(false);
    saveSize();
    switch (
        PanelGeometry::decideAfterLiveResize(frame().width(), m_currentColumnCount, m_isLockedInTabMode)) {
    case PanelGeometry::TabLockChange::lock:
        setTabModeLock(true);
        break;
    case PanelGeometry::TabLockChange::unlock:
        setTabModeLock(false);
        break;
    case PanelGeometry::TabLockChange::none:
        break;
    }
}

void ClipboardPanel::windowDidChangeScreen()
{
    const QScreen *current = screen();
    if (!current)
        return;
    const QRectF fitted = PanelGeometry::fitIntoScreen(frame(), QRectF(current->availableGeometry()));
    setMaximumFrameSize(current->availableGeometry().size());
    if (fitted != frame())
        setFrame(fitted);
}

void ClipboardPanel::setClock(Clock &clock)
{
    m_clock = &clock;
    m_positionSaveTimer.setClock(clock);
    m_outsideResize.setClock(clock);
    m_frameProgress = std::make_unique<AnimatedValue>(clock, 1.0);
    connect(m_frameProgress.get(), &AnimatedValue::valueChanged, this, [this](double progress) {
        const auto between = [progress](double from, double to) { return from + (to - from) * progress; };
        setFrame(QRectF(QPointF(between(m_animationStart.left(), m_animationEnd.left()),
                            between(m_animationStart.top(), m_animationEnd.top())),
            QSizeF(between(m_animationStart.width(), m_animationEnd.width()),
                between(m_animationStart.height(), m_animationEnd.height()))));
    });
}

void ClipboardPanel::animateFrame(const QRectF &target, double duration, std::function<void()> completion)
{
    // A running animation stops where it is; its completion never runs. Ending its value draws
    // its last frame, so that frame is where the panel is now, not where it was heading.
    m_animationStart = m_animationEnd = frame();
    m_frameProgress->setValue(1.0);
    m_animationEnd = target;
    if (duration <= 0) {
        setFrame(target);
        if (completion)
            completion();
        return;
    }
    m_frameProgress->setValue(0.0);
    // The curve the content's own values follow while History collapses or expands.
    m_frameProgress->animateTo(1.0, std::chrono::milliseconds(int(duration * 1000)),
        HistoryToggle::widthCurve(), std::move(completion));
}

void ClipboardPanel::updateColumnCount(int columnCount, double duration)
{
    if (columnCount == m_currentColumnCount)
        return;
    m_currentColumnCount = columnCount;
    if (m_panelController->inLiveResize() || m_isLockedInTabMode || m_panelController->isHistoryToggling())
        return;
    setMinimumFrameSize(QSizeF(PanelGeometry::minimumWidth, PanelGeometry::minimumHeight));
    const PanelGeometry::ColumnResize resize
        = PanelGeometry::resizeForColumns(frame(), visibleFrame(), columnCount);
    if (resize.lockTabMode) {
        setTabModeLock(true);
        return;
    }
    if (resize.frame != frame())
        animateFrame(resize.frame, duration, nullptr);
}

void ClipboardPanel::resizeForHistoryToggle(
    bool adding, int columnCount, double duration, std::function<void()> completion)
{
    const auto finishNow = [&] {
        if (completion)
            completion();
    };
    if (m_isAnimatingHistory) {
        finishNow();
        return;
    }
    m_currentColumnCount = columnCount;
    if (m_panelController->inLiveResize() || m_isLockedInTabMode) {
        finishNow();
        return;
    }
    m_isAnimatingHistory = true;
    const PanelGeometry::HistoryResize resize
        = PanelGeometry::resizeForHistoryToggle(frame(), visibleFrame(), adding, columnCount);
    if (resize.outcome != PanelGeometry::HistoryResize::Outcome::resize) {
        if (resize.outcome == PanelGeometry::HistoryResize::Outcome::lockTabMode)
            setTabModeLock(true);
        m_isAnimatingHistory = false;
        finishNow();
        return;
    }
    setMinimumFrameSize(QSizeF(PanelGeometry::minimumWidth, PanelGeometry::minimumHeight));
    QPointer<ClipboardPanel> self = this;
    const auto finish = [self, completion] {
        if (!self)
            return;
        self->m_isAnimatingHistory = false;
        if (completion)
            completion();
    };
    if (resize.frame == frame()) {
        if (duration > 0)
            m_clock->runAfter(std::chrono::milliseconds(int(duration * 1000)), this, finish);
        else
            finish();
        return;
    }
    animateFrame(resize.frame, duration, finish);
}

void ClipboardPanel::setHostingWidth(std::optional<double> width)
{
    if (!m_hostingView || !m_backgroundEffectView)
        return;
    m_pinnedHostingWidth = width.value_or(m_hostingView->width());
    layoutHostingView();
}

void ClipboardPanel::clearHostingWidth()
{
    m_pinnedHostingWidth.reset();
    layoutHostingView();
}

void ClipboardPanel::lockToTabMode(int columnCount)
{
    const std::optional<QRectF> shrunk = PanelGeometry::shrinkToTabMode(frame(), columnCount);
    if (!shrunk)
        return;
    setTabModeLock(true);
    m_currentColumnCount = columnCount;
    setMinimumFrameSize(QSizeF(PanelGeometry::minimumWidth, PanelGeometry::minimumHeight));
    setFrame(*shrunk);
}

void ClipboardPanel::ensureMinimumWidth(double width)
{
    // Computed first: raising the minimum makes the window grow to the right at once.
    const QRectF widened = PanelGeometry::widenToMinimum(frame(), visibleFrame(), width);
    setMinimumFrameSize(QSizeF(std::ceil(width), PanelGeometry::minimumHeight));
    if (widened != frame()) {
        setMaximumFrameSize(maximumFrameSize().expandedTo(widened.size()));
        setFrame(widened);
    }
}

void ClipboardPanel::rebuildBackground()
{
    if (!m_containerView || !m_backgroundEffectView || !m_hostingView)
        return;
    QWidget *old = m_backgroundEffectView;
    m_hostingView->setParent(nullptr);
    QWidget *replacement = makeBackgroundEffectView();
    m_hostingView->setParent(replacement);
    replacement->setParent(m_containerView);
    replacement->setGeometry(m_containerView->rect());
    m_backgroundEffectView = replacement;
    // Under everything else in the container, so the resize handles stay on top.
    replacement->lower();
    replacement->show();
    m_hostingView->show();
    layoutHostingView();
    delete old;
}

void ClipboardPanel::applyThinScrollers(QWidget *view)
{
    if (!view)
        return;
    for (QAbstractScrollArea *area : scrollAreasIn(view)) {
        if (area->property(thinScrollersMarker).toBool())
            continue;
        area->setProperty(thinScrollersMarker, true);
        for (QScrollBar *bar : { area->verticalScrollBar(), area->horizontalScrollBar() }) {
            bar->setStyleSheet(
                QStringLiteral("QScrollBar:vertical { width: 7px; } QScrollBar:horizontal { height: 7px; }"));
            auto *opacity = new QGraphicsOpacityEffect(bar);
            opacity->setOpacity(1);
            bar->setGraphicsEffect(opacity);
        }
        // Scrolling shows both bars again.
        QPointer<QAbstractScrollArea> weakArea = area;
        const auto reveal = [weakArea] {
            if (!weakArea)
                return;
            for (QScrollBar *bar : { weakArea->verticalScrollBar(), weakArea->horizontalScrollBar() }) {
                if (auto *opacity = qobject_cast<QGraphicsOpacityEffect *>(bar->graphicsEffect()))
                    opacity->setOpacity(1);
            }
        };
        connect(area->verticalScrollBar(), &QScrollBar::valueChanged, area, reveal);
        connect(area->horizontalScrollBar(), &QScrollBar::valueChanged, area, reveal);
    }
}

void ClipboardPanel::hideScrollers(QWidget *view)
{
    if (!view)
        return;
    for (QAbstractScrollArea *area : scrollAreasIn(view)) {
        if (auto *opacity
            = qobject_cast<QGraphicsOpacityEffect *>(area->verticalScrollBar()->graphicsEffect()))
            opacity->setOpacity(0);
    }
}

void ClipboardPanel::cancelOperation()
{
    if (m_cancelHandler)
        m_cancelHandler();
    else
        hide();
}

void ClipboardPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancelOperation();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ClipboardPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::Resize) {
        noteResize(*static_cast<const QResizeEvent *>(event));
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this || !isActiveWindow())
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->key() == Qt::Key_Backtab
        || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier))) {
        NotificationCenter::defaultCenter().post(Notifications::tabNavigateBackward);
        return true;
    }
    if (key->key() == Qt::Key_Tab) {
        NotificationCenter::defaultCenter().post(Notifications::tabNavigateForward);
        return true;
    }
    return false;
}
