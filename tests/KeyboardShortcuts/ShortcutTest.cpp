#include "KeyboardShortcuts/Shortcut.h"
#include "platform/KeyboardMap.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QRandomGenerator>

using namespace KeyboardShortcuts;

namespace {

const Shortcut controlSpace { Key::space, CarbonModifier::control };

TEST(ShortcutTest, ControlSpaceFromKeyAndFlagsIsStoredAsItsTwoJsonMembers)
{
    const Shortcut shortcut = Shortcut::fromKey(Key { Key::space }, ModifierFlag::control);
    EXPECT_EQ(shortcut, controlSpace);
    EXPECT_EQ(shortcut.toJson(), QByteArray(R"({"carbonKeyCode":49,"carbonModifiers":4096})"));
}

TEST(ShortcutTest, ModifierEncodingsConvertBitByBitAndDropEverythingElse)
{
    struct Case
    {
        quint64 flags;
        qint64 carbon;
    };
    const Case cases[] = {
        { ModifierFlag::control, CarbonModifier::control },
        { ModifierFlag::option, CarbonModifier::option },
        { ModifierFlag::shift, CarbonModifier::shift },
        { ModifierFlag::command, CarbonModifier::command },
        { ModifierFlag::function, CarbonModifier::function },
        { ModifierFlag::control | ModifierFlag::shift | ModifierFlag::command,
            CarbonModifier::control | CarbonModifier::shift | CarbonModifier::command },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(toCarbonModifiers(c.flags), c.carbon) << std::hex << c.flags;
        EXPECT_EQ(toModifierFlags(c.carbon), c.flags) << std::hex << c.carbon;
    }
    // Caps Lock, the numeric pad and bits above 32 are dropped by both directions.
    EXPECT_EQ(toCarbonModifiers(ModifierFlag::capsLock | ModifierFlag::numericPad | (quint64(1) << 40)), 0);
    EXPECT_EQ(toModifierFlags(0x10000 | (qint64(CarbonModifier::control) << 32)), 0u);
    // A stored mask keeps its extra bits; one built from a mask loses them.
    EXPECT_EQ(Shortcut::fromCarbon(Key::k, CarbonModifier::option | 0x10000).carbonModifiers,
        CarbonModifier::option);
    EXPECT_EQ(Shortcut::fromJson(R"({"carbonKeyCode":40,"carbonModifiers":67584})")->carbonModifiers, 67584);
}

TEST(ShortcutTest, DescriptionsShowModifiersInFixedOrderThenTheKey)
{
    struct Case
    {
        Shortcut shortcut;
        QString text;
    };
    const Case cases[] = {
        { controlSpace, QStringLiteral("\u2303Space") },
        { Shortcut::fromKey(
              Key { Key::k }, ModifierFlag::command | ModifierFlag::shift | ModifierFlag::option),
            QStringLiteral("\u2325\u21E7\u2318K") },
        { Shortcut::fromKey(Key { Key::f5 }, 0), QStringLiteral("F5") },
        { Shortcut::fromKey(Key { Key::f35 }, ModifierFlag::shift), QStringLiteral("\u21E7F35") },
        { Shortcut::fromKey(Key { Key::keypad5 }, ModifierFlag::control), QStringLiteral("\u23035\u20E3") },
        { Shortcut::fromKey(Key { Key::returnKey }, ModifierFlag::function | ModifierFlag::control),
            QStringLiteral("\u2303\U0001F310\uFE0E\u21A9") },
        { Shortcut::fromKey(Key { Key::slash }, ModifierFlag::option), QStringLiteral("\u2325/") },
        // A key that types no character.
        { Shortcut { 0x7f, 0 }, QStringLiteral("\uFFFD") },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.shortcut.description(), c.text);
}

TEST(ShortcutTest, MenuKeyEquivalentsAndQtKeySequences)
{
    EXPECT_EQ(Shortcut::fromKey(Key { Key::f5 }, 0).menuKeyEquivalent(), QStringLiteral("\uF708"));
    EXPECT_EQ(Shortcut::fromKey(Key { Key::f21 }, 0).menuKeyEquivalent(), QStringLiteral("\uF718"));
    EXPECT_EQ(Shortcut::fromKey(Key { Key::f35 }, 0).keySequence(), QKeySequence(Qt::Key_F35));
    EXPECT_FALSE(Shortcut::fromKey(Key { Key::keypad5 }, 0).menuKeyEquivalent());
    EXPECT_EQ(
        Shortcut::fromKey(Key { Key::c }, ModifierFlag::command).menuKeyEquivalent(), QStringLiteral("c"));
    EXPECT_EQ(controlSpace.keySequence(), QKeySequence(Qt::CTRL | Qt::Key_Space));
    EXPECT_EQ(Shortcut::fromKey(Key { Key::c }, ModifierFlag::command | ModifierFlag::shift).keySequence(),
        QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_C));
    EXPECT_TRUE((Shortcut { 0x7f, 0 }).keySequence().isEmpty());
}

TEST(ShortcutTest, JsonRoundTripsAndRejectsWhatIsNoShortcut)
{
    for (const Shortcut &shortcut :
        { controlSpace, Shortcut { Key::f12, 0 }, Shortcut { Key::a, 0x1B00 }, Shortcut { -3, 0 } })
        EXPECT_EQ(Shortcut::fromJson(shortcut.toJson()), shortcut);
    // Members in either order, any whitespace, extra members ignored.
    EXPECT_EQ(Shortcut::fromJson(" { \"carbonModifiers\" : 4096 ,\n \"carbonKeyCode\": 49, \"x\": true } "),
        controlSpace);
    const QByteArray rejected[] = {
        "",
        "{}",
        "[]",
        "49",
        R"({"carbonKeyCode":49})",
        R"({"carbonKeyCode":"49","carbonModifiers":4096})",
        R"({"carbonKeyCode":49.5,"carbonModifiers":4096})",
        R"({"carbonKeyCode":49,"carbonModifiers":null})",
        R"({"carbonKeyCode":49,"carbonModifiers":4096)",
        R"({"carbonKeyCode":1e300,"carbonModifiers":0})",
    };
    for (const QByteArray &json : rejected)
        EXPECT_FALSE(Shortcut::fromJson(json)) << json.constData();
}

TEST(ShortcutTest, RandomAndTruncatedJsonNeverCrashes)
{
    const QByteArray valid = controlSpace.toJson();
    for (int length = 0; length < valid.size(); ++length)
        EXPECT_FALSE(Shortcut::fromJson(valid.left(length)));
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = valid;
        for (int flips = 0; flips < 3; ++flips)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        if (const std::optional<Shortcut> decoded = Shortcut::fromJson(bytes)) {
            EXPECT_FALSE(decoded->description().isEmpty());
        }
    }
}

TEST(ShortcutTest, EveryKeyMapsToAnXSymbolAndBack)
{
    int mapped = 0;
    for (qint64 code = 0; code <= Key::f35; ++code) {
        const Shortcut shortcut { code, CarbonModifier::control | CarbonModifier::shift };
        const std::optional<quint32> keysym = shortcut.x11KeySymbol();
        if (!keysym)
            continue;
        ++mapped;
        const std::optional<Shortcut> back = Shortcut::fromX11(*keysym, *shortcut.x11Modifiers());
        ASSERT_TRUE(back) << code;
        // The two Control keys share their X modifier; everything else comes back exactly.
        EXPECT_EQ(back->carbonKeyCode, code);
        EXPECT_EQ(back->carbonModifiers, shortcut.carbonModifiers);
    }
    // Every named key but Function, which X cannot grab, and F21 to F35.
    EXPECT_EQ(mapped, 113 - 1 + 15);
    EXPECT_EQ(Shortcut::fromX11(0xffd2 /* F21 */, 0), Shortcut(Key::f21, 0));
    // Control 4, Shift 1, Mod1 (Option) 8, Mod4 (Command) 64; Lock and NumLock never count.
    EXPECT_EQ(Shortcut::fromX11(0x20, 4 | 2 | 16), controlSpace);
    EXPECT_EQ(Shortcut::fromX11('K', 1 | 8 | 64)->carbonModifiers,
        CarbonModifier::shift | CarbonModifier::option | CarbonModifier::command);
    EXPECT_EQ(controlSpace.x11KeySymbol(), 0x20u);
    EXPECT_EQ(controlSpace.x11Modifiers(), 4u);
    EXPECT_FALSE(Shortcut::fromKey(Key { Key::a }, ModifierFlag::function).x11Modifiers());
    // Keypad keys with NumLock off report their navigation symbols.
    EXPECT_EQ(Shortcut::fromX11(0xff9c /* KP_End */, 0)->carbonKeyCode, Key::keypad1);
    EXPECT_FALSE(Shortcut::fromX11(0x1234567, 0));
}

TEST(ShortcutTest, KeyEventsGiveTheirShortcutWithoutFunction)
{
    const QKeyEvent press(
        QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("k"));
    EXPECT_EQ(
        Shortcut::fromKeyEvent(press), Shortcut(Key::k, CarbonModifier::control | CarbonModifier::option));
    const QKeyEvent keypad(QEvent::KeyRelease, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(Shortcut::fromKeyEvent(keypad), Shortcut(Key::keypad5, 0));
    // The X symbol wins where Qt's key is ambiguous.
    const QKeyEvent native(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier, 65, 0x20, 4);
    EXPECT_EQ(Shortcut::fromKeyEvent(native), controlSpace);
    const QKeyEvent other(QEvent::ShortcutOverride, Qt::Key_K, Qt::NoModifier);
    EXPECT_FALSE(Shortcut::fromKeyEvent(other));
    const QKeyEvent unknown(QEvent::KeyPress, Qt::Key_Launch0, Qt::NoModifier);
    EXPECT_FALSE(Shortcut::fromKeyEvent(unknown));
}

TEST(ShortcutTest, KeyEventsAreReadFromTheKeyCodesUnshiftedSymbol)
{
    // Key codes of a US keyboard under X, with the symbol each gives on its own.
    FakeKeyboardMap map;
    map.symbols = { { 10, '1' }, { 61, '/' }, { 45, 'k' }, { 84, 0xff9d /* KP_Begin */ }, { 65, ' ' } };
    struct Case
    {
        const char *name;
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        quint32 keycode;
        quint32 typedKeysym; // the shifted symbol X reports with the event
        std::optional<Shortcut> expected;
    };
    const QList<Case> cases {
        { "Shift+1 stays the key 1", Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, 10, '!',
            Shortcut(Key::one, CarbonModifier::shift | CarbonModifier::control) },
        { "Shift+/ stays the slash key", Qt::Key_Question, Qt::ShiftModifier, 61, '?',
            Shortcut(Key::slash, CarbonModifier::shift) },
        { "Control+Alt+K", Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 45, 'k',
            Shortcut(Key::k, CarbonModifier::control | CarbonModifier::option) },
        { "keypad 5 without NumLock", Qt::Key_Clear, Qt::KeypadModifier, 84, 0xff9d,
            Shortcut(Key::keypad5, 0) },
        { "a code the map lacks falls back to the typed symbol", Qt::Key_Space, Qt::ControlModifier, 200, ' ',
            Shortcut(Key::space, CarbonModifier::control) },
        { "a shifted symbol with no code in the map gives nothing", Qt::Key_Exclam, Qt::ShiftModifier, 201,
            '!', std::nullopt },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QKeyEvent event(QEvent::KeyPress, c.qtKey, c.modifiers, c.keycode, c.typedKeysym, 0);
        EXPECT_EQ(Shortcut::fromKeyEvent(event, &map), c.expected);
    }
    // Without a map the typed symbol is all there is: Shift+1 arrives as "!", no key of ours.
    const QKeyEvent exclam(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, 10, '!', 0);
    EXPECT_EQ(Shortcut::fromKeyEvent(exclam, nullptr), std::nullopt);
}

TEST(ShortcutTest, NativeTextIsHowTheDesktopWritesTheCombination)
{
    struct Case
    {
        Shortcut shortcut;
        const char *text;
    };
    const QList<Case> cases {
        { Shortcut(Key::space, CarbonModifier::control), "Ctrl+Space" },
        { Shortcut(Key::k, CarbonModifier::control | CarbonModifier::option), "Ctrl+Alt+K" },
        { Shortcut(Key::v, CarbonModifier::command), "Meta+V" },
        { Shortcut(Key::one, CarbonModifier::shift | CarbonModifier::control), "Ctrl+Shift+1" },
        { Shortcut(Key::f5, 0), "F5" },
        { Shortcut(Key::keypad5, CarbonModifier::control), "Ctrl+Num+5" },
        { Shortcut(Key::deleteKey, CarbonModifier::option), "Alt+Backspace" },
        { Shortcut(Key::f2, CarbonModifier::function), "Fn+F2" },
        { Shortcut(0x4242, CarbonModifier::control), "Ctrl+\uFFFD" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.shortcut.nativeText(), QString::fromUtf8(c.text));
    }
}

TEST(ShortcutTest, MenuItemTakingShortcutSearchesSubmenus)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Copy"))->setShortcut(QKeySequence(Qt::META | Qt::Key_C));
    QMenu *sub = menu.addMenu(QStringLiteral("More"));
    QAction *deep = sub->addAction(QStringLiteral("Deep"));
    deep->setShortcut(QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_C));
    EXPECT_EQ(menuItemTakingShortcut(
                  menu, Shortcut::fromKey(Key { Key::c }, ModifierFlag::command | ModifierFlag::shift)),
        deep);
    EXPECT_EQ(menuItemTakingShortcut(menu, Shortcut::fromKey(Key { Key::c }, ModifierFlag::command))->text(),
        QStringLiteral("Copy"));
    EXPECT_EQ(menuItemTakingShortcut(menu, controlSpace), nullptr);
}

} // namespace
