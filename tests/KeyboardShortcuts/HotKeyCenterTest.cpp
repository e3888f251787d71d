#include "KeyboardShortcuts/HotKeyCenter.h"
#include "platform/GlobalHotKeys.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace KeyboardShortcuts;

namespace {

const Shortcut controlSpace { Key::space, CarbonModifier::control };
const HotKeyCombination controlSpaceGrab { 0x20, 4 };

// Registers Control+Space with callbacks that note "down" and "up".
bool registerRecording(HotKeyCenter &center, QStringList &calls)
{
    return center.registerShortcut(
        controlSpace, [&](const Shortcut &) { calls << QStringLiteral("down"); },
        [&](const Shortcut &) { calls << QStringLiteral("up"); });
}

TEST(HotKeyCenterTest, CallbacksFollowPressAndReleaseOnceEach)
{
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter center(hotKeys);
    QStringList calls;
    ASSERT_TRUE(registerRecording(center, calls));
    hotKeys.press(controlSpaceGrab);
    hotKeys.press(controlSpaceGrab); // a repeat of the held key
    hotKeys.release(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab); // no press before it
    EXPECT_EQ(calls, (QStringList { QStringLiteral("down"), QStringLiteral("up") }));

    center.unregisterShortcut(controlSpace);
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());
    EXPECT_FALSE(center.isRegistered(controlSpace));
}

TEST(HotKeyCenterTest, ShortcutsWithoutAnXCounterpartAreRefused)
{
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter center(hotKeys);
    CapturedDiagnostics diagnostics;
    QString error;
    EXPECT_FALSE(center.registerShortcut(Shortcut { Key::a, CarbonModifier::function }, {}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(hotKeys.grabCalls, 0);
    EXPECT_EQ(diagnostics.lines().size(), 1);
}

TEST(HotKeyCenterTest, WhileAMenuIsOpenItsKeyEventsRunTheShortcut)
{
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter center(hotKeys);
    QStringList calls;
    ASSERT_TRUE(registerRecording(center, calls));

    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return QApplication::activePopupWidget() == &menu; }));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::sendEvent(&menu, &press) && press.isAccepted());
    // Control is let go first: the release of Space alone ends the press.
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(&menu, &release);
    EXPECT_EQ(calls, (QStringList { QStringLiteral("down"), QStringLiteral("up") }));
    // Another key goes to the menu as usual.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(&menu, &other);
    EXPECT_EQ(calls.size(), 2);
    menu.close();

    // Without a menu the same events are left alone.
    QWidget plain;
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier);
    QApplication::sendEvent(&plain, &again);
    EXPECT_EQ(calls.size(), 2);
    // Qt keeps the modifiers of a press it offered to its shortcuts as held until a key comes
    // up through its input path: let go, or later code asking Qt sees Control down.
    QTest::keyRelease(&plain, Qt::Key_Space, Qt::NoModifier);
}

} // namespace

namespace {

TEST(HotKeyCenterTest, SuspendingLetsTheGrabsGoAndATakenKeyIsReportedWhenTheyComeBack)
{
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter center(hotKeys);
    QSignalSpy lost(&center, &HotKeyCenter::grabLost);
    QStringList calls;
    ASSERT_TRUE(registerRecording(center, calls));
    const Shortcut controlF6 { Key::f6, CarbonModifier::control };
    const HotKeyCombination controlF6Grab { 0xffc3, 4 };

    center.setIsSuspended(true);
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());
    // Registered while suspended: kept, grabbed later.
    EXPECT_TRUE(center.registerShortcut(controlF6, {}, {}));
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());
    Q_EMIT hotKeys.pressed(controlSpaceGrab);
    EXPECT_TRUE(calls.isEmpty()) << "a press that was already on its way runs nothing";

    hotKeys.refused.insert(controlF6Grab); // another program took it meanwhile
    center.setIsSuspended(false);
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab));
    EXPECT_TRUE(center.isRegistered(controlSpace));
    EXPECT_FALSE(center.isRegistered(controlF6));
    ASSERT_EQ(lost.count(), 1);
    EXPECT_EQ(lost.first().first().value<Shortcut>(), controlF6);

    // Suspension and the master switch both have to allow the grabs.
    center.setIsEnabled(false);
    center.setIsSuspended(true);
    center.setIsEnabled(true);
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());
    center.setIsSuspended(false);
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab));
}

TEST(HotKeyCenterTest, ASystemShortcutIsOneAnotherClientHolds)
{
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter center(hotKeys);
    hotKeys.refused.insert({ 'k', 4 | 8 });
    EXPECT_TRUE(center.isSystemShortcut({ Key::k, CarbonModifier::control | CarbonModifier::option }));
    EXPECT_FALSE(center.isSystemShortcut({ Key::k, CarbonModifier::control }));
    // Function has no X counterpart: nobody can hold it.
    EXPECT_FALSE(center.isSystemShortcut({ Key::k, CarbonModifier::function }));
}

} // namespace
