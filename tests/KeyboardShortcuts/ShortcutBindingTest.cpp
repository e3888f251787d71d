#include "KeyboardShortcuts/ShortcutBinding.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/RecorderState.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "platform/GlobalHotKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QShortcut>
#include <QTemporaryDir>
#include <QWidget>

using namespace KeyboardShortcuts;

namespace {

const Shortcut controlSpace { Key::space, CarbonModifier::control };
const Shortcut controlOptionK { Key::k, CarbonModifier::control | CarbonModifier::option };
const Name togglePanel { QStringLiteral("togglePanel"), controlSpace };
const Name other { QStringLiteral("other"), std::nullopt };

// Lets queued updates run.
void turnEventLoop()
{
    QCoreApplication::sendPostedEvents();
}

class ShortcutBindingTest : public ::testing::Test
{
protected:
    ShortcutBindingTest()
        : defaults(folder.path() + QStringLiteral("/defaults.json"))
        , hotKeyCenter(hotKeys)
        , center(defaults, hotKeyCenter)
    {
        center.declare(togglePanel);
    }

    QTemporaryDir folder;
    UserDefaults defaults;
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter hotKeyCenter;
    ShortcutCenter center;
};

TEST_F(ShortcutBindingTest, MenuItemsAndViewShortcutsFollowTheirNameOnTheNextTurn)
{
    QWidget view;
    QAction action(QStringLiteral("Open"));
    auto *viewShortcut = new QShortcut(&view);
    followShortcut(&action, togglePanel, center);
    followShortcut(viewShortcut, togglePanel, center);
    const QKeySequence ctrlSpace(QStringLiteral("Ctrl+Space"));
    const QKeySequence ctrlAltK(QStringLiteral("Ctrl+Alt+K"));

    struct Step
    {
        const char *name;
        std::function<void()> change;
        QKeySequence expected;
    };
    const QList<Step> steps {
        { "bound: the stored shortcut at once", [] {}, ctrlSpace },
        { "another name's change leaves it alone", [&] { center.storeShortcut(other, controlOptionK); },
            ctrlSpace },
        { "a new shortcut of its name", [&] { center.storeShortcut(togglePanel, controlOptionK); },
            ctrlAltK },
        { "the name's shortcut removed", [&] { center.setShortcut(std::nullopt, togglePanel); },
            QKeySequence() },
        { "a keypad key keeps its modifiers",
            [&] {
                center.storeShortcut(togglePanel, { Key::keypad5, CarbonModifier::control });
            },
            QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_5) },
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        turnEventLoop();
        EXPECT_EQ(action.shortcut(), step.expected);
        EXPECT_EQ(viewShortcut->key(), step.expected);
    }
}

TEST_F(ShortcutBindingTest, WhileARecorderRecordsTheBindingsHaveNoShortcut)
{
    QAction action(QStringLiteral("Open"));
    followShortcut(&action, togglePanel, center);
    RecorderState recorder(togglePanel, center);
    recorder.click();
    EXPECT_TRUE(action.shortcut().isEmpty());
    // A binding made while recording starts off too.
    QAction later(QStringLiteral("Later"));
    followShortcut(&later, togglePanel, center);
    EXPECT_TRUE(later.shortcut().isEmpty());

    recorder.handleKey(controlOptionK);
    turnEventLoop();
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
    EXPECT_EQ(later.shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
}

TEST_F(ShortcutBindingTest, NoNameClearsTheShortcutAndEndsFollowing)
{
    QAction never(QStringLiteral("Never bound"));
    never.setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    followShortcut(&never, std::nullopt, center);
    EXPECT_TRUE(never.shortcut().isEmpty());

    QAction action(QStringLiteral("Open"));
    followShortcut(&action, togglePanel, center);
    followShortcut(&action, other, center);
    EXPECT_EQ(action.findChildren<ShortcutBinding *>().size(), 1) << "binding again replaces the binding";
    followShortcut(&action, std::nullopt, center);
    EXPECT_TRUE(action.findChildren<ShortcutBinding *>().isEmpty());
    center.storeShortcut(togglePanel, controlOptionK);
    turnEventLoop();
    EXPECT_TRUE(action.shortcut().isEmpty());
}

TEST_F(ShortcutBindingTest, ShortcutEventsReachAViewForAsLongAsItLives)
{
    const HotKeyCombination grab { 0x20, 4 };
    QList<EventType> all;
    int keyUps = 0;
    auto view = std::make_unique<QObject>();
    onShortcutEvent(view.get(), togglePanel, center, [&](EventType type) { all.append(type); });
    onShortcutEventOfType(view.get(), togglePanel, EventType::keyUp, center, [&] { ++keyUps; });
    hotKeys.press(grab);
    hotKeys.release(grab);
    EXPECT_EQ(all, (QList<EventType> { EventType::keyDown, EventType::keyUp }));
    EXPECT_EQ(keyUps, 1);

    view.reset();
    hotKeys.press(grab);
    hotKeys.release(grab);
    EXPECT_EQ(all.size(), 2);
    EXPECT_EQ(keyUps, 1);
}

} // namespace
