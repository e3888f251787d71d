// The X11 layer against a real server: global grabs, the workspace as the window manager
// reports it, raw input and XTest.

#include "MovedSymbol.h"
#include "X11TestSupport.h"

#include "KeyboardShortcuts/DoubleTapService.h"
#include "KeyboardShortcuts/HotKeyCenter.h"
#include "platform/X11ClipboardRequests.h"
#include "platform/X11GlobalHotKeys.h"
#include "platform/X11GlobalInputMonitor.h"
#include "platform/X11KeyboardMap.h"
#include "platform/X11SyntheticKeyboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDialog>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

constexpr quint32 controlMask = 4;
constexpr quint32 shiftMask = 1;
const HotKeyCombination controlSpace { 0x20, controlMask };

using X11PlatformTest = X11Test;

// Something done to a window the user may see; false when it could not be done.
using WindowChange = std::function<bool(std::unique_ptr<TestWindow> &)>;
// `xdotool command window [argument]`.
WindowChange xdotoolOn(const char *command, const char *argument = nullptr)
{
    return [command, argument](std::unique_ptr<TestWindow> &window) {
        QStringList arguments { QLatin1String(command), QString::number(window->nativeId()) };
        if (argument)
            arguments.append(QLatin1String(argument));
        return xdotool(arguments);
    };
}

TEST_F(X11PlatformTest, TheKeyboardMapGoesFromSymbolsToKeysAndBackToTheUnshiftedSymbol)
{
    X11KeyboardMap map(*connection);
    struct Case
    {
        const char *name;
        quint32 keysym;
        quint32 unshifted;
    };
    const QList<Case> cases {
        { "space", 0x20, 0x20 },
        { "a letter", 'a', 'a' },
        { "its capital", 'A', 'a' },
        { "Shift with a digit", '!', '1' },
        { "a function key", 0xffc4 /* F7 */, 0xffc4 },
        { "Return", 0xff0d, 0xff0d },
        { "a keypad digit", 0xffb5 /* KP_5 */, 0xff9d /* KP_Begin */ },
        { "Control", 0xffe3, 0xffe3 },
        { "NumLock", 0xff7f, 0xff7f },
    };
    for (const Case &item : cases) {
        SCOPED_TRACE(item.name);
        const QList<quint8> keycodes = map.keycodesFor(item.keysym);
        ASSERT_FALSE(keycodes.isEmpty());
        EXPECT_EQ(map.baseKeysym(keycodes.first()), item.unshifted);
    }
    EXPECT_TRUE(map.keycodesFor(0x100fffe /* U+FFFE, on no keyboard */).isEmpty());
    EXPECT_EQ(map.baseKeysym(0), std::nullopt);
    EXPECT_EQ(map.numLockMask(), 0x10) << "NumLock is Mod2 here";
}

TEST_F(X11PlatformTest, HeldModifierKeysLeaveCapsLockOut)
{
    X11KeyboardMap map(*connection);
    const quint8 shift = map.keycodesFor(0xffe1 /* Shift_L */).value(0);
    ASSERT_NE(shift, 0);
    ASSERT_TRUE(
        xdotool({ QStringLiteral("keydown"), QStringLiteral("Shift_L"), QStringLiteral("Caps_Lock") }));
    QList<quint8> allHeld;
    EXPECT_TRUE(waitUntil([&] {
        allHeld.clear();
        return map.heldModifierFlags(&allHeld) == 0x20000 && allHeld.size() == 2;
    })) << allHeld.size();
    EXPECT_EQ(map.heldModifierKeys(), QList<quint8> { shift });
    ASSERT_TRUE(xdotool({ QStringLiteral("keyup"), QStringLiteral("Caps_Lock"), QStringLiteral("Shift_L") }));
    // Caps Lock locked on by the press: off again.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Caps_Lock") }));
    EXPECT_TRUE(waitUntil([&] { return map.heldModifierKeys().isEmpty(); }));
}

TEST_F(X11PlatformTest, AGrabFollowsItsSymbolToAnotherKey)
{
    constexpr quint32 f7 = 0xffc4;
    const HotKeyCombination controlF7 { f7, controlMask };
    X11KeyboardMap map(*connection);
    const QList<quint8> keys = map.keycodesFor(f7);
    ASSERT_EQ(keys.size(), 1);
    X11GlobalHotKeys hotKeys(*connection);
    ASSERT_TRUE(hotKeys.grab(controlF7, nullptr));
    QSignalSpy released(&hotKeys, &GlobalHotKeys::released);
    {
        MovedSymbol moved(f7, keys.first());
        ASSERT_NE(moved.to(), 0) << "no key is free";
        ASSERT_TRUE(waitUntil([&] { return map.keycodesFor(f7) == QList<quint8> { moved.to() }; }));
        ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+F7") }));
        EXPECT_TRUE(waitUntil([&] { return released.count() == 1; })) << "not grabbed on its new key";
    }
    ASSERT_TRUE(waitUntil([&] { return map.keycodesFor(f7) == keys; }));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+F7") }));
    EXPECT_TRUE(waitUntil([&] { return released.count() == 2; })) << "not grabbed on its old key again";
}

// A keyboard notice comes between a press and its release: the first key another keyboard
// types (xdotool's, at the first shortcut after a start) brings one, as does a symbol given to
// another key. The keys of the grab did not move: the release still counts.
TEST_F(X11PlatformTest, AKeyboardNoticeBetweenPressAndReleaseKeepsTheRelease)
{
    X11GlobalHotKeys hotKeys(*connection);
    ASSERT_TRUE(hotKeys.grab(controlSpace, nullptr));
    QSignalSpy pressed(&hotKeys, &GlobalHotKeys::pressed);
    QSignalSpy released(&hotKeys, &GlobalHotKeys::released);
    constexpr quint32 f7 = 0xffc4;
    X11KeyboardMap map(*connection);
    const QList<quint8> f7Keys = map.keycodesFor(f7);
    ASSERT_EQ(f7Keys.size(), 1);

    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("ctrl+space") }));
    ASSERT_TRUE(waitUntil([&] { return pressed.count() == 1; }));
    {
        MovedSymbol moved(f7, f7Keys.first());
        ASSERT_NE(moved.to(), 0) << "no key is free";
        // The grab's own copy of the map is read in the same turn of the event loop.
        ASSERT_TRUE(waitUntil([&] { return map.keycodesFor(f7) == QList<quint8> { moved.to() }; }));
        QCoreApplication::sendPostedEvents();
        ASSERT_TRUE(xdotool({ QStringLiteral("keyup"), QStringLiteral("ctrl+space") }));
        EXPECT_TRUE(waitUntil([&] { return released.count() == 1; })) << "the release was lost";
    }
    ASSERT_TRUE(waitUntil([&] { return map.keycodesFor(f7) == f7Keys; }));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }));
    EXPECT_TRUE(waitUntil([&] { return released.count() == 2; })) << "no longer grabbed";
    EXPECT_EQ(pressed.count(), 2);
}

TEST_F(X11PlatformTest, GrabDeliversOnePressAndOneReleaseWhateverTheOrderOfRelease)
{
    X11GlobalHotKeys hotKeys(*connection);
    QString error;
    ASSERT_TRUE(hotKeys.grab(controlSpace, &error)) << error.toStdString();
    QSignalSpy pressed(&hotKeys, &GlobalHotKeys::pressed);
    QSignalSpy released(&hotKeys, &GlobalHotKeys::released);

    struct Case
    {
        const char *name;
        QStringList xdotoolArguments;
    };
    const QList<Case> cases {
        { "together", { QStringLiteral("key"), QStringLiteral("ctrl+space") } },
        { "Control released first",
            { QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("keydown"),
                QStringLiteral("space"), QStringLiteral("keyup"), QStringLiteral("ctrl"),
                QStringLiteral("keyup"), QStringLiteral("space") } },
        { "held for a while (auto repeat)",
            { QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("keydown"),
                QStringLiteral("space"), QStringLiteral("sleep"), QStringLiteral("0.8"),
                QStringLiteral("keyup"), QStringLiteral("space"), QStringLiteral("keyup"),
                QStringLiteral("ctrl") } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pressed.clear();
        released.clear();
        ASSERT_TRUE(xdotool(c.xdotoolArguments));
        EXPECT_TRUE(waitUntil([&] { return released.count() >= 1; }));
        connection->sync(); // every event of the chord has been handled
        EXPECT_EQ(pressed.count(), 1);
        EXPECT_EQ(released.count(), 1);
        if (!pressed.isEmpty()) {
            EXPECT_EQ(pressed.first().first().value<HotKeyCombination>(), controlSpace);
        }
    }
}

TEST_F(X11PlatformTest, GrabWorksWithNumLockOnAndStopsAfterUngrab)
{
    X11GlobalHotKeys hotKeys(*connection);
    ASSERT_TRUE(hotKeys.grab(controlSpace, nullptr));
    QSignalSpy released(&hotKeys, &GlobalHotKeys::released);
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Num_Lock") }));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }));
    EXPECT_TRUE(waitUntil([&] { return released.count() == 1; }));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Num_Lock") }));

    hotKeys.ungrab(controlSpace);
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }));
    connection->sync(); // the chord's events, had they come here, have been handled
    EXPECT_EQ(released.count(), 1);
}

TEST_F(X11PlatformTest, GrabHeldByAnotherClientIsRefusedWithAReason)
{
    std::unique_ptr<X11Connection> other = X11Connection::open();
    ASSERT_TRUE(other);
    const HotKeyCombination combination { 0xffc4 /* F7 */, controlMask | shiftMask };
    X11GlobalHotKeys otherHotKeys(*other);
    ASSERT_TRUE(otherHotKeys.grab(combination, nullptr));

    X11GlobalHotKeys hotKeys(*connection);
    QString error;
    EXPECT_FALSE(hotKeys.grab(combination, &error));
    EXPECT_FALSE(error.isEmpty());

    // Once the other client lets go, the same grab succeeds.
    otherHotKeys.ungrab(combination);
    other->sync(); // the server has let go of it

    EXPECT_TRUE(hotKeys.grab(combination, &error)) << error.toStdString();
}

TEST_F(X11PlatformTest, WorkspaceReportsActivatesAndWatchesWindows)
{
    TestWindow first(QStringLiteral("First test window"));
    TestWindow second(QStringLiteral("Second test window"));
    second.move(600, 400);
    ASSERT_TRUE(first.showActive(*workspace));
    ASSERT_TRUE(second.showActive(*workspace));

    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->windowId, second.nativeId());
    EXPECT_EQ(front->processIdentifier, QCoreApplication::applicationPid());
    EXPECT_TRUE(front->isCurrentApplication());
    EXPECT_FALSE(front->localizedName.isEmpty());

    QList<std::optional<RunningApplication>> activations;
    workspace->setActivationHandler(
        [&](const std::optional<RunningApplication> &app) { activations.append(app); });
    RunningApplication target;
    target.windowId = first.nativeId();
    EXPECT_TRUE(workspace->activate(target));
    EXPECT_TRUE(waitUntil([&] { return isActiveWindow(*workspace, first.nativeId()); }));
    EXPECT_TRUE(waitUntil([&] { return !activations.isEmpty(); }));
    ASSERT_FALSE(activations.isEmpty());
    ASSERT_TRUE(activations.last());
    EXPECT_EQ(activations.last()->windowId, first.nativeId());
    workspace->setActivationHandler({});

    // A window that no longer exists cannot be activated.
    RunningApplication gone;
    gone.windowId = 0x7fffff0;
    EXPECT_FALSE(workspace->activate(gone));

    // The application under a point: a window's client, nothing over the bare desktop.
    const QPoint insideSecond = second.frameGeometry().center();
    const auto under = workspace->applicationAt(insideSecond);
    ASSERT_TRUE(under);
    EXPECT_EQ(under->windowId, second.nativeId());
    EXPECT_FALSE(workspace->applicationAt(QPoint(1900, 1070)));
}

// Some window managers name the root the active window while the desktop has the focus, others
// None: no window is in front then, and the change to it is heard of as no window.
TEST_F(X11PlatformTest, TheRootNamedTheActiveWindowIsNoWindowInFront)
{
    TestWindow window(QStringLiteral("A window in front"));
    ASSERT_TRUE(window.showActive(*workspace));
    QList<std::optional<RunningApplication>> heard;
    workspace->setActivationHandler([&](const std::optional<RunningApplication> &app) { heard.append(app); });
    const quint32 root = connection->root();
    const struct
    {
        const char *name;
        // What _NET_ACTIVE_WINDOW names.
        quint32 named;
        // The window in front then (0: none), and whether the change is heard of.
        quint64 front;
        bool heard;
    } cases[] = {
        { "the root after a window", root, 0, true },
        { "a window after the root", window.nativeId(), window.nativeId(), true },
        { "None after a window", 0, 0, true },
        { "the root after None", root, 0, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = heard.size();
        xcb_change_property(connection->xcb(), XCB_PROP_MODE_REPLACE, root,
            connection->atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1, &c.named);
        connection->sync();
        const auto front = workspace->frontmostApplication();
        EXPECT_EQ(front ? front->windowId : 0, c.front);
        ASSERT_EQ(heard.size(), before + (c.heard ? 1 : 0));
        if (c.heard) {
            EXPECT_EQ(heard.last() ? heard.last()->windowId : 0, c.front);
        }
    }
    workspace->setActivationHandler({});
}

// Whether the user sees a window, as a paste asks before it types into one: mapped, not minimised,
// on the desktop shown. Some window managers keep windows of other desktops, or minimised ones,
// mapped: their word counts as well.
TEST_F(X11PlatformTest, TheWorkspaceTellsWhetherTheUserSeesAWindow)
{
    // A property the window manager sets, changed behind its back: it does not see the change.
    const auto saidToBe = [this](const char *name, quint32 type, const char *value) {
        return [this, name, type, value](std::unique_ptr<TestWindow> &window) {
            const quint32 word = type == XCB_ATOM_ATOM ? connection->atom(value) : QByteArray(value).toUInt();
            xcb_change_property(connection->xcb(), XCB_PROP_MODE_REPLACE, window->nativeId(),
                connection->atom(name), type, 32, 1, &word);
            connection->flush();
            return true;
        };
    };
    const struct
    {
        const char *name;
        WindowChange change;
        bool shown;
    } cases[] = {
        { "a window in front", [](std::unique_ptr<TestWindow> &) { return true; }, true },
        { "a window on every desktop, the user on another",
            [](std::unique_ptr<TestWindow> &window) {
                return xdotoolOn("set_desktop_for_window", "-1")(window) && switchToDesktop(1);
            },
            true },
        { "a window unmapped",
            [](std::unique_ptr<TestWindow> &window) {
                window->hide();
                return true;
            },
            false },
        { "a window minimised", xdotoolOn("windowminimize"), false },
        { "a window moved to another desktop", xdotoolOn("set_desktop_for_window", "1"), false },
        { "the user gone to another desktop",
            [](std::unique_ptr<TestWindow> &) { return switchToDesktop(1); }, false },
        { "a mapped window said to be on another desktop",
            saidToBe("_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, "1"), false },
        { "a mapped window said to be minimised",
            saidToBe("_NET_WM_STATE", XCB_ATOM_ATOM, "_NET_WM_STATE_HIDDEN"), false },
        { "a window closed",
            [](std::unique_ptr<TestWindow> &window) {
                window.reset();
                return true;
            },
            false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto window = std::make_unique<TestWindow>(QStringLiteral("A window the user may see"));
        ASSERT_TRUE(window->showActive(*workspace));
        const quint32 id = window->nativeId();
        ASSERT_TRUE(workspace->isShown(id));
        ASSERT_TRUE(c.change(window));
        ASSERT_TRUE(windowManagerCaughtUp());
        EXPECT_TRUE(waitUntil([&] { return workspace->isShown(id) == c.shown; }));
        ASSERT_TRUE(switchToDesktop(0));
    }
    EXPECT_FALSE(workspace->isShown(0));
}

// A dialog names the window it belongs to; an ordinary window, and one gone, name none.
TEST_F(X11PlatformTest, TheWorkspaceNamesTheWindowADialogBelongsTo)
{
    TestWindow owner(QStringLiteral("The window a dialog belongs to"));
    ASSERT_TRUE(owner.showActive(*workspace));
    QDialog dialog(&owner);
    dialog.setWindowTitle(QStringLiteral("A dialog"));
    dialog.show();
    ASSERT_TRUE(waitUntil([&] { return isActiveWindow(*workspace, dialog.winId()); }));
    EXPECT_EQ(workspace->transientFor(dialog.winId()), owner.nativeId());
    EXPECT_EQ(workspace->transientFor(owner.nativeId()), 0u);
    EXPECT_EQ(workspace->transientFor(0x7fffff0), 0u);
}

// A web page goes to the desktop's handler of addresses (xdg-open), here one that writes down
// what it was given instead of starting a browser.
TEST_F(X11PlatformTest, TheWorkspaceOpensAWebPageWithTheDesktopsHandler)
{
    RecordingUrlHandler handler;
    ASSERT_TRUE(handler.isReady());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", handler.searchPath().toLocal8Bit());
    const QUrl page(QStringLiteral("https://tindlewick.example/share?from=panel"));
    EXPECT_TRUE(workspace->openUrl(page));
    qputenv("PATH", path);
    EXPECT_TRUE(waitUntil([&] { return !handler.openedAddress().isEmpty(); }))
        << "the desktop's handler was not run";
    EXPECT_EQ(handler.openedAddress(), page.toString());
}

TEST_F(X11PlatformTest, SyntheticPasteReachesTheFocusedWindowEvenWithShiftHeld)
{
    X11SyntheticKeyboard keyboard(*connection);
    ASSERT_TRUE(keyboard.isTrusted());
    TestWindow window;
    ASSERT_TRUE(window.showActive(*workspace));

    struct Case
    {
        const char *name;
        QString text;
        bool holdShift;
    };
    for (const Case &c : { Case { "plain", QStringLiteral("pasted by XTest"), false },
             Case { "Shift still held", QStringLiteral("Shift was held"), true } }) {
        SCOPED_TRACE(c.name);
        window.edit->clear();
        window.edit->setFocus();
        QGuiApplication::clipboard()->setText(c.text);
        if (c.holdShift) {
            ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("shift") }));
        }
        QString error;
        EXPECT_TRUE(keyboard.sendPaste(PasteKeystroke::controlV, &error)) << error.toStdString();
        EXPECT_TRUE(waitUntil([&] { return window.edit->text() == c.text; }))
            << window.edit->text().toStdString();
        if (c.holdShift)
            xdotool({ QStringLiteral("keyup"), QStringLiteral("shift") });
    }
}

TEST_F(X11PlatformTest, RawInputReportsClicksAndModifierChanges)
{
    X11GlobalInputMonitor monitor(*connection);
    ASSERT_TRUE(monitor.isAvailable());
    QSignalSpy clicks(&monitor, &GlobalInputMonitor::mouseDown);
    QSignalSpy modifiers(&monitor, &GlobalInputMonitor::modifierFlagsChanged);
    // Clicks land in a window of ours: on the bare desktop a right click opens the window
    // manager's menu, which would keep the keyboard.
    TestWindow window;
    window.move(600, 250);
    ASSERT_TRUE(window.showActive(*workspace));
    const QPoint inside = window.frameGeometry().center();
    const auto click = [&](const QPoint &at, int button) {
        return xdotool({ QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
            QStringLiteral("click"), QString::number(button) });
    };

    // Not watched: nothing arrives.
    ASSERT_TRUE(click(inside, 1));
    connection->sync(); // the click's events, had they come here, have been handled
    EXPECT_EQ(clicks.count(), 0);

    monitor.setWatchesMouseDowns(true);
    ASSERT_TRUE(click(inside + QPoint(10, 5), 3));
    ASSERT_TRUE(waitUntil([&] { return clicks.count() == 1; }));
    EXPECT_EQ(clicks.first().first().toPoint(), inside + QPoint(10, 5));
    monitor.setWatchesMouseDowns(false);
    xdotool({ QStringLiteral("key"), QStringLiteral("Escape") });

    QSignalSpy otherKeys(&monitor, &GlobalInputMonitor::otherKeyPressed);
    QString error;
    ASSERT_TRUE(monitor.setWatchesModifiers(true, &error)) << error.toStdString();
    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("keydown"),
        QStringLiteral("shift"), QStringLiteral("keyup"), QStringLiteral("shift"), QStringLiteral("keyup"),
        QStringLiteral("alt"), QStringLiteral("key"), QStringLiteral("a") }));
    ASSERT_TRUE(waitUntil([&] { return modifiers.count() >= 4; }));
    connection->sync(); // and nothing more came

    QList<quint64> flags;
    for (const QList<QVariant> &signal : std::as_const(modifiers))
        flags.append(signal.first().toULongLong());
    EXPECT_EQ(flags, (QList<quint64> { 0x80000, 0xA0000, 0x80000, 0 }));
    // The letter is a key of its own, told without a round trip to the server.
    EXPECT_TRUE(waitUntil([&] { return otherKeys.count() == 1; }));
    monitor.setWatchesModifiers(false, nullptr);

    // Watching starts with the modifiers already held, so a Control pressed before counts.
    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("ctrl") }));
    connection->sync();
    ASSERT_TRUE(monitor.setWatchesModifiers(true, &error)) << error.toStdString();
    EXPECT_EQ(monitor.heldModifierFlags(), 0x40000u);
    modifiers.clear();
    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("alt") }));
    ASSERT_TRUE(waitUntil([&] { return modifiers.count() == 1; }));
    EXPECT_EQ(modifiers.first().first().toULongLong(), 0xC0000u);
    ASSERT_TRUE(xdotool(
        { QStringLiteral("keyup"), QStringLiteral("alt"), QStringLiteral("keyup"), QStringLiteral("ctrl") }));
    monitor.setWatchesModifiers(false, nullptr);
}

TEST_F(X11PlatformTest, TheShortcutStillWorksWhileOneOfOurMenusHoldsTheKeyboard)
{
    X11GlobalHotKeys grabs(*connection);
    KeyboardShortcuts::HotKeyCenter hotKeys(grabs);
    int released = 0;
    const KeyboardShortcuts::Shortcut shortcut { KeyboardShortcuts::Key::space,
        KeyboardShortcuts::CarbonModifier::control };
    ASSERT_TRUE(
        hotKeys.registerShortcut(shortcut, {}, [&](const KeyboardShortcuts::Shortcut &) { ++released; }));

    TestWindow window;
    ASSERT_TRUE(window.showActive(*workspace));
    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    menu.addAction(QStringLiteral("Second"));
    menu.popup(window.frameGeometry().center());
    ASSERT_TRUE(waitUntil([&] { return QApplication::activePopupWidget() == &menu && menu.isVisible(); }));
    // Mapped and exposed: Qt has taken the keyboard for it by then.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("key"),
        QStringLiteral("space"), QStringLiteral("keyup"), QStringLiteral("ctrl") }));
    EXPECT_TRUE(waitUntil([&] { return released == 1; }));
    EXPECT_TRUE(menu.isVisible()) << "the shortcut reached the menu instead";
    menu.close();

    // And again with no menu open, through the grab.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+space") }));
    EXPECT_TRUE(waitUntil([&] { return released == 2; }));
}

TEST_F(X11PlatformTest, ADoubleTapOfTheModifierIsRecognisedFromRawEvents)
{
    X11GlobalInputMonitor monitor(*connection);
    int taps = 0;
    DoubleTapService service(monitor, [&] { ++taps; });
    service.setTargetModifier(AppSettings::DoubleTapModifier::option);
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(xdotool(
        { QStringLiteral("key"), QStringLiteral("alt"), QStringLiteral("key"), QStringLiteral("alt") }));
    EXPECT_TRUE(waitUntil([&] { return taps == 1; }));
    // Too slow, or with another modifier: nothing.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("alt"), QStringLiteral("sleep"),
        QStringLiteral("0.6"), QStringLiteral("key"), QStringLiteral("alt"), QStringLiteral("key"),
        QStringLiteral("shift+alt") }));
    connection->sync(); // every tap has been handled
    EXPECT_EQ(taps, 1);
    service.stop();
}

// A program of its own on the server, with windows it can ask for the clipboard from.
class SelectionRequester final
{
public:
    SelectionRequester()
        : m_connection(X11Connection::open())
    { }

    bool isOpen() const { return m_connection != nullptr; }
    quint32 makeWindow()
    {
        xcb_connection_t *c = m_connection->xcb();
        const quint32 window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_connection->root(), 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        m_connection->flush();
        return window;
    }
    // Asks the owner of a selection for its contents in a form, as a paste does, and waits for
    // the answer: the owner has seen the request then.
    bool ask(quint32 window, const char *selection, const char *form)
    {
        bool answered = false;
        const int handler = m_connection->addEventHandler([&](const void *event) {
            const auto *generic = static_cast<const xcb_generic_event_t *>(event);
            if ((generic->response_type & 0x7f) == XCB_SELECTION_NOTIFY
                && reinterpret_cast<const xcb_selection_notify_event_t *>(event)->requestor == window)
                answered = true;
        });
        xcb_convert_selection(m_connection->xcb(), window, m_connection->atom(selection),
            m_connection->atom(form), m_connection->atom("TINDLEWICK_TEST_PASTE"), XCB_CURRENT_TIME);
        m_connection->flush();
        const bool done = waitUntil([&] {
            m_connection->drain();
            return answered;
        });
        m_connection->removeEventHandler(handler);
        return done;
    }

private:
    std::unique_ptr<X11Connection> m_connection;
};

TEST_F(X11PlatformTest, OnlyTheRequestsOfTheProgramFollowedForTheAppsSelectionsAreReported)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("held by this app"), QClipboard::Clipboard);
    QGuiApplication::clipboard()->setText(QStringLiteral("held by this app"), QClipboard::Selection);
    ASSERT_TRUE(waitUntil([] {
        return QGuiApplication::clipboard()->ownsClipboard() && QGuiApplication::clipboard()->ownsSelection();
    }));
    X11ClipboardRequests requests;
    QStringList reported;
    QObject::connect(
        &requests, &ClipboardRequests::requested, [&](const QString &form) { reported << form; });
    SelectionRequester followed;
    SelectionRequester other;
    ASSERT_TRUE(followed.isOpen() && other.isOpen());
    const quint32 frontWindow = followed.makeWindow();
    const quint32 helperWindow = followed.makeWindow();
    const quint32 otherWindow = other.makeWindow();

    const struct
    {
        const char *name;
        quint32 follow;
        SelectionRequester &requester;
        quint32 window;
        const char *selection;
        const char *form;
        bool isReported;
    } cases[] = {
        { "the window followed asks for text", frontWindow, followed, frontWindow, "CLIPBOARD", "UTF8_STRING",
            true },
        { "a picture asked for", frontWindow, followed, frontWindow, "CLIPBOARD", "image/png", true },
        { "another window of the program followed", frontWindow, followed, helperWindow, "CLIPBOARD",
            "image/png", true },
        { "the PRIMARY selection, as xterm pastes", frontWindow, followed, frontWindow, "PRIMARY", "STRING",
            true },
        { "another program", frontWindow, other, otherWindow, "CLIPBOARD", "image/png", false },
        { "a selection the app does not hold", frontWindow, followed, frontWindow, "SECONDARY", "STRING",
            false },
        { "nothing followed", 0, followed, frontWindow, "CLIPBOARD", "image/png", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        reported.clear();
        requests.follow(c.follow);
        ASSERT_TRUE(c.requester.ask(c.window, c.selection, c.form)) << "no answer came";
        EXPECT_EQ(reported, c.isReported ? QStringList { QLatin1String(c.form) } : QStringList());
    }
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    QGuiApplication::clipboard()->clear(QClipboard::Selection);
}

} // namespace
