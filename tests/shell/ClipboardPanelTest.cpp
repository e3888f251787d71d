#include "shell/ClipboardPanel.h"

#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "panel/PanelController.h"
#include "panel/PanelFrameMemory.h"
#include "platform/UserDefaults.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

class ClipboardPanelTest : public StoreTest
{
protected:
    ClipboardPanelTest()
        : defaults(m_settingsFolder.path() + QStringLiteral("/defaults.json"))
        , settings(defaults)
    { }

    std::unique_ptr<ClipboardPanel> makePanel()
    {
        auto panel = std::make_unique<ClipboardPanel>(container(), settings, defaults, false);
        panel->setClock(clock);
        panel->setFrame(QRectF(100, 50, 500, 400));
        return panel;
    }

    void insertKind(const QString &rawType)
    {
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("x") });
        item->setItemType(rawType);
        context().insert(item);
    }

    QTemporaryDir m_settingsFolder;
    UserDefaults defaults;
    AppSettings settings;
    ManualClock clock;
};

TEST_F(ClipboardPanelTest, InitialColumnCountFollowsTheKindsInTheStore)
{
    struct Case
    {
        const char *name;
        QStringList kinds;
        qint64 historyLimit;
        bool detectCode;
        int columns;
    };
    const QList<Case> cases {
        { "empty store", {}, 50, true, 1 },
        { "unrecognised kind counts as text", { QStringLiteral("hologram") }, 50, true, 2 },
        { "no History with a limit of 0", { QStringLiteral("text") }, 0, true, 1 },
        { "code while detection is on", { QStringLiteral("code") }, 50, true, 2 },
        { "code while detection is off", { QStringLiteral("code") }, 50, false, 1 },
        { "every kind",
            { QStringLiteral("text"), QStringLiteral("link"), QStringLiteral("file"), QStringLiteral("media"),
                QStringLiteral("color"), QStringLiteral("code") },
            50, true, 7 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetStore();
        for (const QString &kind : c.kinds)
            insertKind(kind);
        ASSERT_TRUE(context().save().ok);
        settings.setHistoryLimit(c.historyLimit);
        settings.setDetectCode(c.detectCode);
        EXPECT_EQ(ClipboardPanel::initialColumnCount(container(), settings), c.columns);
    }
}

// Each show places the panel by the count; it follows the store and the settings.
TEST_F(ClipboardPanelTest, TheColumnCountOfAShowFollowsTheStoreAndTheSettings)
{
    settings.setHistoryLimit(50);
    settings.setDetectCode(true);
    auto panel = makePanel();
    EXPECT_EQ(panel->storedColumnCount(), 1);
    insertKind(QStringLiteral("code"));
    ASSERT_TRUE(context().save().ok);
    EXPECT_TRUE(waitUntil([&] { return panel->storedColumnCount() == 2; })) << "History and Code";
    settings.setDetectCode(false);
    EXPECT_EQ(panel->storedColumnCount(), 1) << "code while detection is off";
    settings.setHistoryLimit(0);
    settings.setDetectCode(true);
    EXPECT_EQ(panel->storedColumnCount(), 1) << "Code alone without History";
}

TEST_F(ClipboardPanelTest, MovesAreSavedOnceTheyStopUnderTheScreenOfTheCentre)
{
    auto panel = makePanel();
    panel->show();
    QSignalSpy writes(&defaults, &UserDefaults::valueChanged);
    // The window system may report a move a moment later.
    int reported = 0;
    LocalEventMonitor moves({ QEvent::Move }, [&](QObject *receiver, QEvent *) {
        reported += receiver == panel.get();
        return false;
    });
    moves.start();
    for (int x : { 110, 120, 130 }) {
        const int before = reported;
        panel->move(x, 60);
        ASSERT_TRUE(waitUntil([&] { return reported > before; }));
        clock.advance(50ms);
    }
    clock.advance(49ms);
    EXPECT_EQ(writes.count(), 0) << "saved sooner than a tenth of a second after the last move";
    clock.advance(1ms);
    EXPECT_EQ(writes.count(), 1);
    clock.advance(1s);
    EXPECT_EQ(writes.count(), 1);
    const QString here = ClipboardPanel::screenKey(QGuiApplication::primaryScreen());
    EXPECT_EQ(PanelFrameMemory::savedPosition(defaults, here), QPointF(130, 60));

    // Centred off every screen: nothing is saved.
    writes.clear();
    const int before = reported;
    panel->move(20000, 20000);
    ASSERT_TRUE(waitUntil([&] { return reported > before; }));
    clock.advance(1s);
    EXPECT_EQ(writes.count(), 0);
}

TEST_F(ClipboardPanelTest, TheStoredTabModeLockReachesTheController)
{
    defaults.setBoolean(ClipboardPanel::tabModeLockKey, true);
    auto panel = makePanel();
    EXPECT_TRUE(panel->isLockedInTabMode());
    EXPECT_TRUE(panel->panelController()->isLockedInTabMode());
    EXPECT_EQ(panel->panelController()->panel(), panel.get());
}

TEST_F(ClipboardPanelTest, EndingALiveResizeDecidesTheTabModeLock)
{
    for (int i = 0; i < 3; ++i)
        insertKind(QStringList { QStringLiteral("text"), QStringLiteral("link"), QStringLiteral("text") }[i]);
    ASSERT_TRUE(context().save().ok);
    auto panel = makePanel(); // History, Text, Links: threshold 595
    ASSERT_EQ(panel->currentColumnCount(), 3);
    QSignalSpy locked(panel->panelController(), &PanelController::isLockedInTabModeChanged);

    panel->windowWillStartLiveResize();
    EXPECT_TRUE(panel->panelController()->inLiveResize());
    panel->setFrame(QRectF(100, 50, 594, 400));
    panel->windowDidEndLiveResize();
    EXPECT_FALSE(panel->panelController()->inLiveResize());
    EXPECT_TRUE(panel->isLockedInTabMode());
    EXPECT_EQ(defaults.boolean(ClipboardPanel::tabModeLockKey), true);
    EXPECT_EQ(panel->maximumSize(), panel->screen()->availableGeometry().size());
    EXPECT_EQ(PanelFrameMemory::savedSize(defaults), QSizeF(594, 400));

    panel->windowWillStartLiveResize();
    panel->setFrame(QRectF(100, 50, 595, 400));
    panel->windowDidEndLiveResize();
    EXPECT_FALSE(panel->isLockedInTabMode());
    EXPECT_EQ(defaults.boolean(ClipboardPanel::tabModeLockKey), false);
    EXPECT_EQ(locked.count(), 2);
}

// Moved to another screen, the panel fits into it and may grow as large as it: nothing of the old
// screen's size is kept.
TEST_F(ClipboardPanelTest, OnAnotherScreenThePanelFitsItAndMayGrowToIt)
{
    auto panel = makePanel();
    const QRectF visible = QRectF(panel->screen()->availableGeometry());
    const struct
    {
        const char *name;
        QSizeF oldLargest;
        QRectF frame;
        QRectF fitted;
    } moves[] = {
        { "from a smaller screen", QSizeF(640, 480),
            QRectF(visible.topLeft() + QPointF(10, 10), QSizeF(500, 400)),
            QRectF(visible.topLeft() + QPointF(10, 10), QSizeF(500, 400)) },
        { "onto a screen smaller than the panel", visible.size() * 2,
            QRectF(visible.topLeft(), visible.size() + QSizeF(200, 100)), visible },
    };
    for (const auto &move : moves) {
        SCOPED_TRACE(move.name);
        panel->setMaximumFrameSize(move.oldLargest);
        panel->setFrame(move.frame);
        panel->windowDidChangeScreen();
        EXPECT_EQ(panel->frame(), move.fitted);
        EXPECT_EQ(panel->maximumFrameSize(), visible.size());
        panel->setFrame(visible);
        EXPECT_EQ(panel->frame(), visible) << "kept from growing to the screen";
    }
}

TEST_F(ClipboardPanelTest, ColumnCountChangesGrowThePanelUnlessSomethingHoldsIt)
{
    auto panel = makePanel();
    ASSERT_EQ(panel->currentColumnCount(), 1);
    panel->setFrame(QRectF(10, 10, 360, 400));

    panel->updateColumnCount(1, 0);
    EXPECT_EQ(panel->frame(), QRectF(10, 10, 360, 400)) << "the same count does nothing";
    panel->updateColumnCount(3, 0);
    EXPECT_EQ(panel->currentColumnCount(), 3);
    EXPECT_EQ(panel->frame().width(), 600);
    EXPECT_GE(panel->frame().left(), panel->visibleFrame().left());

    // During a History toggle the count is stored but the frame stays.
    panel->panelController()->setIsHistoryToggling(true);
    panel->updateColumnCount(2, 0);
    EXPECT_EQ(panel->currentColumnCount(), 2);
    EXPECT_EQ(panel->frame().width(), 600);
    panel->panelController()->setIsHistoryToggling(false);

    // More columns than the screen holds: tabs.
    const int tooMany = int(panel->visibleFrame().width() / 200) + 1;
    panel->updateColumnCount(tooMany, 0);
    EXPECT_TRUE(panel->isLockedInTabMode());
    EXPECT_EQ(panel->frame().width(), 600);
}

// A resize that comes while another is animating starts from where the panel is, never from
// the end the first was heading for.
TEST_F(ClipboardPanelTest, AResizeDuringAnotherStartsWhereThePanelIs)
{
    auto panel = makePanel();
    panel->setFrame(QRectF(10, 10, 360, 400));
    panel->updateColumnCount(3, 0.2);
    clock.advance(100ms);
    const QRectF midway = panel->frame();
    ASSERT_GT(midway.width(), 360);
    ASSERT_LT(midway.width(), 600);

    panel->updateColumnCount(4, 0.2);
    EXPECT_EQ(panel->frame(), midway) << "jumped to the end the first resize was heading for";
    clock.advance(100ms);
    EXPECT_GT(panel->frame().width(), midway.width());
    clock.advance(100ms);
    EXPECT_EQ(panel->frame().width(), 800);
}

TEST_F(ClipboardPanelTest, HistoryToggleCallsItsCompletionOnceEvenWhenRefused)
{
    auto panel = makePanel();
    panel->setFrame(QRectF(0, 0, 600, 400));
    int first = 0;
    int second = 0;
    panel->resizeForHistoryToggle(false, 2, 0.05, [&] { ++first; });
    EXPECT_TRUE(panel->isAnimatingHistory());
    panel->resizeForHistoryToggle(true, 3, 0.05, [&] { ++second; });
    EXPECT_EQ(second, 1) << "a toggle during another finishes at once";
    clock.advance(49ms);
    EXPECT_EQ(first, 0);
    EXPECT_TRUE(panel->isAnimatingHistory());
    clock.advance(1ms);
    EXPECT_EQ(first, 1);
    EXPECT_FALSE(panel->isAnimatingHistory());
    EXPECT_EQ(panel->frame(), QRectF(200, 0, 400, 400));
    EXPECT_EQ(panel->maximumWidth(), panel->screen()->availableGeometry().width())
        << "the window manager may widen it again";
    clock.advance(1s);
    EXPECT_EQ(first, 1);

    defaults.setBoolean(ClipboardPanel::tabModeLockKey, true);
    auto locked = makePanel();
    int done = 0;
    locked->resizeForHistoryToggle(true, 4, 0, [&] { ++done; });
    EXPECT_EQ(done, 1);
    EXPECT_EQ(locked->currentColumnCount(), 4);
    EXPECT_EQ(locked->frame().width(), 500);
}

TEST_F(ClipboardPanelTest, TabModeMinimumWidthAndPinnedContentWidth)
{
    auto panel = makePanel();
    panel->setFrame(QRectF(100, 50, 800, 400));
    panel->lockToTabMode(3);
    EXPECT_TRUE(panel->isLockedInTabMode());
    EXPECT_EQ(panel->frame(), QRectF(201, 50, 599, 400)); // 200.5 rounds to a whole pixel
    EXPECT_EQ(panel->maximumWidth(), panel->screen()->availableGeometry().width())
        << "the window manager may widen it again";
    panel->lockToTabMode(4); // 799 is wider than the panel: nothing
    EXPECT_EQ(panel->frame().width(), 599);

    auto other = makePanel();
    other->setFrame(QRectF(100, 50, 400, 400));
    other->ensureMinimumWidth(500);
    EXPECT_EQ(other->minimumWidth(), 500);
    EXPECT_EQ(other->frame(), QRectF(50, 50, 500, 400));

    other->show();
    other->setHostingWidth(300.0);
    EXPECT_TRUE(other->hasPinnedHostingWidth());
    EXPECT_EQ(other->hostingView()->geometry(), QRect(200, 0, 300, 400)) << "pinned at the trailing edge";
    other->clearHostingWidth();
    EXPECT_EQ(other->hostingView()->geometry(), QRect(0, 0, 500, 400));
}

TEST_F(ClipboardPanelTest, TabKeysBecomeNavigationAndEscapeCancels)
{
    auto panel = makePanel();
    auto *content = new QWidget;
    auto *field = new QLineEdit(content);
    panel->setContentView(content);
    EXPECT_EQ(panel->contentView(), content);
    panel->show();
    panel->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return panel->isActiveWindow(); }));
    field->setFocus();

    QStringList posted;
    QObject observer;
    for (const QString &name : { Notifications::tabNavigateForward, Notifications::tabNavigateBackward })
        NotificationCenter::defaultCenter().addObserver(
            name, &observer, [&posted, name](const QVariantMap &) { posted << name; });

    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QKeyEvent backtab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    QApplication::sendEvent(field, &tab);
    QApplication::sendEvent(field, &backtab);
    EXPECT_EQ(
        posted, (QStringList { Notifications::tabNavigateForward, Notifications::tabNavigateBackward }));
    EXPECT_TRUE(field->hasFocus()) << "the Tab never reached the focus chain";

    int cancels = 0;
    panel->setCancelHandler([&] { ++cancels; });
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(field, &escape);
    EXPECT_EQ(cancels, 1);
    panel->setCancelHandler({});
    panel->cancelOperation();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(ClipboardPanelTest, RebuildingTheBackgroundKeepsTheContent)
{
    auto panel = makePanel();
    auto *content = new QLabel(QStringLiteral("content"));
    panel->setContentView(content);
    QWidget *oldBackground = panel->backgroundEffectView();
    QPointer<QWidget> watch = oldBackground;
    settings.setUseLiquidGlass(true);
    panel->rebuildBackground();
    EXPECT_TRUE(watch.isNull());
    EXPECT_NE(panel->backgroundEffectView(), nullptr);
    EXPECT_EQ(panel->hostingView()->parentWidget(), panel->backgroundEffectView());
    EXPECT_EQ(panel->contentView(), content);
    EXPECT_EQ(content->parentWidget(), panel->hostingView());
}

TEST_F(ClipboardPanelTest, ThinScrollersAreAppliedOnceAndHiddenUntilScrolled)
{
    auto panel = makePanel();
    auto *content = new QWidget;
    auto *area = new QScrollArea(content);
    auto *inner = new QWidget;
    inner->setMinimumSize(2000, 2000);
    area->setWidget(inner);
    panel->setContentView(content);

    panel->applyThinScrollers(panel->hostingView());
    QGraphicsEffect *effect = area->verticalScrollBar()->graphicsEffect();
    ASSERT_NE(effect, nullptr);
    panel->applyThinScrollers(panel->hostingView());
    EXPECT_EQ(area->verticalScrollBar()->graphicsEffect(), effect) << "applied twice";

    panel->hideScrollers(panel->hostingView());
    auto *opacity = qobject_cast<QGraphicsOpacityEffect *>(effect);
    ASSERT_NE(opacity, nullptr);
    EXPECT_EQ(opacity->opacity(), 0);
    area->verticalScrollBar()->setValue(50);
    EXPECT_EQ(opacity->opacity(), 1);
}

} // namespace
