// The recorder widget in its host window, headless: focus, keys with X key codes, clicks.

#include "KeyboardShortcuts/Recorder.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "platform/GlobalHotKeys.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/KeyboardMap.h"
#include "platform/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/StatusMenu.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace KeyboardShortcuts;

namespace {

// A window that hosts the recorder beside another field, which has the focus when it opens.
class RecorderHost final : public QWidget
{
public:
    explicit RecorderHost(ShortcutCenter &center)
    {
        auto *layout = new QFormLayout(this);
        notes = new QLineEdit(this);
        recorder = new Recorder(AppDelegate::togglePanelShortcut(), center, this);
        layout->addRow(QStringLiteral("Notes:"), notes);
        layout->addRow(QStringLiteral("Custom shortcut:"), recorder);
        setTabOrder(notes, recorder);
        notes->setFocus(Qt::OtherFocusReason);
        resize(360, 110);
    }

    QLineEdit *notes = nullptr;
    Recorder *recorder = nullptr;
};

class RecorderTest : public ::testing::Test
{
protected:
    RecorderTest()
        : defaults(folder.path() + QStringLiteral("/defaults.json"))
        , hotKeyCenter(hotKeys)
        , center(defaults, hotKeyCenter)
    {
        center.declare(AppDelegate::togglePanelShortcut());
        map.symbols = { { 10, '1' }, { 45, 'k' }, { 23, 0xff09 }, { 9, 0xff1b }, { 22, 0xff08 }, { 24, 'q' },
            { 59, ',' }, { 65, ' ' } };
        window = std::make_unique<RecorderHost>(center);
        recorder()->setKeyboardMap(&map);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    Recorder *recorder() const { return window->recorder; }
    // A key as the X server sends it: the key code, the symbol as typed, Qt's key.
    void press(int qtKey, Qt::KeyboardModifiers modifiers, quint32 keycode, quint32 typed)
    {
        QWidget *target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, keycode, typed, 0);
        QApplication::sendEvent(target, &event);
        // Qt keeps the modifiers of a press it offered to its shortcuts as held until a key
        // comes up: let go, as a person does, or later code asking Qt sees them down.
        QTest::sendKeyEvent(QTest::Release, target, Qt::Key(qtKey), QString(), Qt::NoModifier);
    }
    std::optional<Shortcut> stored() const { return center.getShortcut(AppDelegate::togglePanelShortcut()); }

    QTemporaryDir folder;
    UserDefaults defaults;
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter hotKeyCenter;
    ShortcutCenter center;
    FakeKeyboardMap map;
    std::unique_ptr<RecorderHost> window;
};

TEST_F(RecorderTest, TheWindowOpeningDoesNotRecordTabbingInDoesAndAKeyIsTakenByItsKeyCode)
{
    EXPECT_EQ(recorder()->text(), QStringLiteral("Ctrl+Space"));
    EXPECT_FALSE(recorder()->state().isRecording());
    EXPECT_GE(recorder()->sizeHint().width(), 130);

    press(Qt::Key_Tab, Qt::NoModifier, 23, 0xff09);
    ASSERT_TRUE(recorder()->hasFocus());
    EXPECT_TRUE(recorder()->state().isRecording());
    EXPECT_EQ(recorder()->placeholderText(), RecorderState::localized("press_shortcut"));

    // Control+Shift+1 arrives as "!" with key code 10: it is recorded as the key 1.
    press(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, 10, '!');
    EXPECT_EQ(stored(), Shortcut(Key::one, CarbonModifier::control | CarbonModifier::shift));
    EXPECT_EQ(recorder()->text(), QStringLiteral("Ctrl+Shift+1"));
    EXPECT_FALSE(recorder()->hasFocus()) << "a recorded shortcut ends recording";
    EXPECT_FALSE(recorder()->state().isRecording());
}

TEST_F(RecorderTest, TabMovesOnEscapeKeepsBackspaceClearsAndAClickOutsideEnds)
{
    struct Case
    {
        const char *name;
        std::function<void()> act;
        bool recordingAfter;
        bool focusAfter;
        bool shortcutKept;
    };
    const QList<Case> cases {
        { "Tab", [&] { press(Qt::Key_Tab, Qt::NoModifier, 23, 0xff09); }, false, false, true },
        { "Escape", [&] { press(Qt::Key_Escape, Qt::NoModifier, 9, 0xff1b); }, false, false, true },
        { "a letter alone", [&] { press(Qt::Key_K, Qt::NoModifier, 45, 'k'); }, true, true, true },
        { "Backspace", [&] { press(Qt::Key_Backspace, Qt::NoModifier, 22, 0xff08); }, true, true, false },
        { "a click 20 pixels below",
            [&] {
                QTest::mouseClick(
                    window.get(), Qt::LeftButton, {}, recorder()->geometry().bottomLeft() + QPoint(5, 20));
            },
            false, false, true },
        { "a click 2 pixels off the edge",
            [&] {
                QTest::mouseClick(
                    window.get(), Qt::LeftButton, {}, recorder()->geometry().topRight() + QPoint(2, 5));
            },
            true, true, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        center.storeShortcut(AppDelegate::togglePanelShortcut(), { Key::space, CarbonModifier::control });
        QTest::mouseClick(recorder(), Qt::LeftButton);
        ASSERT_TRUE(recorder()->state().isRecording());
        c.act();
        EXPECT_EQ(recorder()->state().isRecording(), c.recordingAfter);
        EXPECT_EQ(recorder()->hasFocus(), c.focusAfter);
        EXPECT_EQ(stored().has_value(), c.shortcutKept);
        EXPECT_EQ(center.isPaused(), c.recordingAfter);
        window->notes->setFocus(Qt::OtherFocusReason);
        EXPECT_FALSE(recorder()->state().isRecording());
    }
}

TEST_F(RecorderTest, AKeyAnotherProgramsGrabTakesIsSeenOnTheDesktopAndAsked)
{
    auto desktop = std::make_unique<FakeGlobalInputMonitor>();
    FakeGlobalInputMonitor *keys = desktop.get();
    recorder()->setDesktopKeys(std::move(desktop));
    QList<RecorderState::Alert> alerts;
    recorder()->state().setAlertPresenter([&](const RecorderState::Alert &alert) {
        alerts.append(alert);
        return 1; // Use Anyway
    });
    EXPECT_FALSE(keys->watchesModifiers) << "only watched while recording";
    hotKeys.refused.insert({ 'k', 4 | 8 });

    QTest::mouseClick(recorder(), Qt::LeftButton);
    ASSERT_TRUE(keys->watchesModifiers);
    // A key nobody else holds arrives as a key event too: the desktop's report is ignored.
    keys->pressOtherKey(1, 10, ModifierFlag::control);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(stored(), Shortcut(Key::space, CarbonModifier::control));
    // Control+Alt+K, taken by another program's grab, reaches the recorder only this way.
    keys->pressOtherKey(2, 45, ModifierFlag::control | ModifierFlag::option);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().message.startsWith(QStringLiteral("Ctrl+Alt+K ")));
    EXPECT_EQ(stored(), Shortcut(Key::k, CarbonModifier::control | CarbonModifier::option));
    EXPECT_FALSE(recorder()->state().isRecording());
    EXPECT_FALSE(keys->watchesModifiers);
}

TEST_F(RecorderTest, ShortcutsOfTheTrayMenuAndOfEditingAreRefusedExceptTheOneThatOpensTheApp)
{
    StatusMenu menu;
    menu.setOpenShortcut(&center, AppDelegate::togglePanelShortcut());
    Recorder::setMainMenu(&menu);
    QList<RecorderState::Alert> alerts;
    recorder()->state().setAlertPresenter([&](const RecorderState::Alert &alert) {
        alerts.append(alert);
        return 0;
    });
    const Shortcut controlSpace { Key::space, CarbonModifier::control };
    struct Case
    {
        const char *name;
        int qtKey;
        quint32 keycode;
        quint32 typed;
        const char *menuItem; // nullptr: taken
    };
    const QList<Case> cases {
        { "Ctrl+Q", Qt::Key_Q, 24, 'q', "Quit Tindlewick" },
        { "Ctrl+,", Qt::Key_Comma, 59, ',', "Settings..." },
        // Every program's Edit menu answers to it.
        { "Ctrl+C", Qt::Key_C, 54, 'c', "Copy" },
        // "Open Tindlewick" shows the very shortcut being recorded, which is no conflict.
        { "Ctrl+Space", Qt::Key_Space, 65, ' ', nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        const Shortcut before = c.menuItem ? Shortcut { Key::k, CarbonModifier::control } : controlSpace;
        center.storeShortcut(AppDelegate::togglePanelShortcut(), before);
        QTest::qWait(0); // the menu item follows the stored shortcut on the next turn
        ASSERT_EQ(menu.openAction()->shortcut(), before.keySequence());
        QTest::mouseClick(recorder(), Qt::LeftButton);
        ASSERT_TRUE(recorder()->state().isRecording());
        press(c.qtKey, Qt::ControlModifier, c.keycode, c.typed);
        if (c.menuItem) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first().message,
                RecorderState::localized("keyboard_shortcut_used_by_menu_item").arg(c.menuItem));
            EXPECT_EQ(stored(), before);
            EXPECT_TRUE(recorder()->state().isRecording()) << "recording goes on after the alert";
        } else {
            EXPECT_TRUE(alerts.isEmpty());
            EXPECT_EQ(stored(), controlSpace);
            EXPECT_FALSE(recorder()->state().isRecording()) << "taken: recording ends";
        }
        window->notes->setFocus(Qt::OtherFocusReason);
    }
    Recorder::setMainMenu(nullptr);
}

} // namespace
