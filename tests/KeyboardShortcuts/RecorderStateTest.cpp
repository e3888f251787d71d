#include "KeyboardShortcuts/RecorderState.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "common/NotificationCenter.h"
#include "platform/GlobalHotKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace KeyboardShortcuts;

namespace {

const Shortcut controlSpace { Key::space, CarbonModifier::control };
const Shortcut controlOptionK { Key::k, CarbonModifier::control | CarbonModifier::option };
const HotKeyCombination controlSpaceGrab { 0x20, 4 };
const HotKeyCombination controlAltKGrab { 'k', 4 | 8 };
const Name togglePanel { QStringLiteral("togglePanel"), controlSpace };

Shortcut key(qint64 code, qint64 modifiers = 0)
{
    return Shortcut { code, modifiers };
}

class RecorderStateTest : public ::testing::Test
{
protected:
    RecorderStateTest()
        : defaults(folder.path() + QStringLiteral("/defaults.json"))
        , hotKeyCenter(hotKeys)
        , center(defaults, hotKeyCenter)
    {
        center.declare(togglePanel);
        center.onKeyUp(togglePanel, [this] { ++toggles; });
        makeRecorder();
        NotificationCenter::defaultCenter().addObserver(
            recorderActiveStatusDidChange, &context, [this](const QVariantMap &info) {
                activity.append(info.value(QStringLiteral("isActive")).toBool());
            });
    }

    void makeRecorder()
    {
        recorder = std::make_unique<RecorderState>(togglePanel, center);
        recorder->setOnChange([this](const std::optional<Shortcut> &shortcut) { changes.append(shortcut); });
        recorder->setBeep([this] { ++beeps; });
        recorder->setAlertPresenter([this](const RecorderState::Alert &alert) {
            alerts.append(alert);
            recordingDuringAlert = recorder->isRecording();
            return alertAnswer;
        });
    }

    QString stored() const { return defaults.object(ShortcutCenter::storageKey(togglePanel)).toString(); }

    QTemporaryDir folder;
    UserDefaults defaults;
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter hotKeyCenter;
    ShortcutCenter center;
    std::unique_ptr<RecorderState> recorder;
    QObject context;
    QList<std::optional<Shortcut>> changes;
    QList<RecorderState::Alert> alerts;
    QList<bool> activity;
    int alertAnswer = 0;
    bool recordingDuringAlert = true;
    int beeps = 0;
    int toggles = 0;
};

TEST_F(RecorderStateTest, RecordingStartsOnTheUsersFocusOnlyAndPausesTheShortcuts)
{
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Space"));
    EXPECT_EQ(recorder->placeholder(), RecorderState::localized("record_shortcut"));

    recorder->focusIn(true);
    EXPECT_FALSE(recorder->isRecording()) << "the window came to the front: no recording";
    EXPECT_TRUE(activity.isEmpty());

    recorder->click();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->placeholder(), RecorderState::localized("press_shortcut"));
    EXPECT_EQ(activity, QList<bool> { true });
    EXPECT_TRUE(center.isPaused());
    // The grab is let go while recording, so the key reaches the recorder and no action runs.
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpaceGrab));
    // A press that still arrives (the server's event was on its way) runs nothing either.
    Q_EMIT hotKeys.pressed(controlSpaceGrab);
    Q_EMIT hotKeys.released(controlSpaceGrab);
    EXPECT_EQ(toggles, 0);

    recorder->focusOut();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(activity, (QList<bool> { true, false }));
    EXPECT_FALSE(center.isPaused());
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab));
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(toggles, 1);
}

namespace {

using Focus = RecorderState::FocusChange;

// A key pressed while the recorder records, and what comes of it.
struct KeyWhileRecording
{
    const char *name;
    std::optional<Shortcut> key;
    bool consumed;
    Focus focus;
    QString storedAfter; // empty: unchanged
    int beeps;
    bool stillRecording;
};

QList<KeyWhileRecording> keysWhileRecording()
{
    return {
        { "Control+Alt+K is stored", controlOptionK, true, Focus::clear,
            QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":6144})"), 0, false },
        { "a letter alone beeps", key(Key::a), true, Focus::none, {}, 1, true },
        { "Shift+A beeps", key(Key::a, CarbonModifier::shift), true, Focus::none, {}, 1, true },
        { "Shift+1 beeps: Shift is no command modifier", key(Key::one, CarbonModifier::shift), true,
            Focus::none, {}, 1, true },
        { "Control+Shift+1 is stored as itself",
            key(Key::one, CarbonModifier::control | CarbonModifier::shift), true, Focus::clear,
            QStringLiteral(R"({"carbonKeyCode":18,"carbonModifiers":4608})"), 0, false },
        { "F6 alone is stored", key(Key::f6), true, Focus::clear,
            QStringLiteral(R"({"carbonKeyCode":97,"carbonModifiers":0})"), 0, false },
        { "Shift+F5 is stored", key(Key::f5, CarbonModifier::shift), true, Focus::clear,
            QStringLiteral(R"({"carbonKeyCode":96,"carbonModifiers":512})"), 0, false },
        { "F21 alone is stored", key(Key::f21), true, Focus::clear,
            QStringLiteral(R"({"carbonKeyCode":128,"carbonModifiers":0})"), 0, false },
        { "F35 alone is stored", key(Key::f35), true, Focus::clear,
            QStringLiteral(R"({"carbonKeyCode":142,"carbonModifiers":0})"), 0, false },
        { "the keypad's 5 alone beeps", key(Key::keypad5), true, Focus::none, {}, 1, true },
        { "a key without a code beeps", std::nullopt, true, Focus::none, {}, 1, true },
        { "Control alone waits for the key", key(Key::control, CarbonModifier::control), true, Focus::none,
            {}, 0, true },
        { "Escape ends recording and keeps the shortcut", key(Key::escape), true, Focus::clear, {}, 0,
            false },
        { "Tab lets the focus move on", key(Key::tab), false, Focus::next, {}, 0, false },
        { "Control+Tab is a shortcut like any other", key(Key::tab, CarbonModifier::control), true,
            Focus::clear, QStringLiteral(R"({"carbonKeyCode":48,"carbonModifiers":4096})"), 0, false },
    };
}

} // namespace

TEST_F(RecorderStateTest, KeysWhileRecordingAreTakenRefusedOrEndRecording)
{
    const QString original = QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})");
    const QList<KeyWhileRecording> cases = keysWhileRecording();
    for (const KeyWhileRecording &c : cases) {
        SCOPED_TRACE(c.name);
        center.storeShortcut(togglePanel, controlSpace);
        changes.clear();
        beeps = 0;
        recorder->click();
        const RecorderState::Outcome outcome = recorder->handleKey(c.key);
        if (outcome.focus != Focus::none)
            recorder->focusOut(); // what the widget does with the focus change
        EXPECT_EQ(outcome.consumed, c.consumed);
        EXPECT_EQ(outcome.focus, c.focus);
        EXPECT_EQ(stored(), c.storedAfter.isEmpty() ? original : c.storedAfter);
        EXPECT_EQ(beeps, c.beeps);
        EXPECT_EQ(recorder->isRecording(), c.stillRecording);
        EXPECT_EQ(changes.size(), c.storedAfter.isEmpty() ? 0 : 1);
        EXPECT_TRUE(alerts.isEmpty());
        recorder->focusOut();
    }
}

TEST_F(RecorderStateTest, AStoredShortcutShowsAsTheDesktopWritesItAndIsGrabbedWhenRecordingEnds)
{
    recorder->click();
    recorder->handleKey(controlOptionK);
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Alt+K"));
    EXPECT_EQ(changes, (QList<std::optional<Shortcut>> { controlOptionK }));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(hotKeys.grabbed.contains(controlAltKGrab));
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpaceGrab));
    hotKeys.press(controlAltKGrab);
    hotKeys.release(controlAltKGrab);
    EXPECT_EQ(toggles, 1);
}

TEST_F(RecorderStateTest, DeleteClearsTheShortcutKeepsRecordingAndTheRemovalSurvivesARestart)
{
    for (const qint64 code : { Key::deleteKey, Key::deleteForward }) {
        SCOPED_TRACE(code);
        center.storeShortcut(togglePanel, controlSpace);
        changes.clear();
        recorder->click();
        const RecorderState::Outcome outcome = recorder->handleKey(key(code));
        EXPECT_TRUE(outcome.consumed);
        EXPECT_EQ(outcome.focus, RecorderState::FocusChange::none);
        EXPECT_TRUE(recorder->isRecording());
        EXPECT_TRUE(recorder->text().isEmpty());
        EXPECT_FALSE(recorder->showsClearButton());
        EXPECT_EQ(changes, (QList<std::optional<Shortcut>> { std::nullopt }));
        EXPECT_EQ(defaults.object(ShortcutCenter::storageKey(togglePanel)), QVariant(false));
        recorder->focusOut();
    }
    EXPECT_TRUE(hotKeys.grabbed.isEmpty());

    // The next start reads the same file: the default does not come back.
    UserDefaults reopened(defaults.filePath());
    FakeGlobalHotKeys laterHotKeys;
    HotKeyCenter laterHotKeyCenter(laterHotKeys);
    ShortcutCenter later(reopened, laterHotKeyCenter);
    later.declare(togglePanel);
    EXPECT_EQ(later.getShortcut(togglePanel), std::nullopt);
    EXPECT_TRUE(laterHotKeys.grabbed.isEmpty());
    RecorderState shown(togglePanel, later);
    EXPECT_TRUE(shown.text().isEmpty());
}

TEST_F(RecorderStateTest, TheClearButtonRemovesTheShortcutAndStartsRecording)
{
    recorder->clear();
    EXPECT_TRUE(recorder->text().isEmpty());
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(center.getShortcut(togglePanel), std::nullopt);
    EXPECT_EQ(changes, (QList<std::optional<Shortcut>> { std::nullopt }));
}

TEST_F(RecorderStateTest, AClickEndsRecordingOnlyWhenItLandsMoreThanThreePointsOutside)
{
    struct Case
    {
        const char *name;
        QPointF at;
        bool ends;
    };
    const QSizeF size(130, 24);
    const QList<Case> cases {
        { "inside", { 60, 12 }, false },
        { "2 points left of the edge", { -2, 12 }, false },
        { "3 points below", { 60, 27 }, false },
        { "4 points right of the edge", { 134, 12 }, true },
        { "far above", { 60, -40 }, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        recorder->click();
        const RecorderState::Outcome outcome = recorder->handleMouseUp(c.at, size);
        EXPECT_EQ(
            outcome.focus, c.ends ? RecorderState::FocusChange::clear : RecorderState::FocusChange::none);
        // An outside click goes on to its target; one on the recorder stops there.
        EXPECT_EQ(outcome.consumed, !c.ends);
        recorder->focusOut();
    }
    // Not recording: clicks are none of the recorder's business.
    const RecorderState::Outcome idle = recorder->handleMouseUp({ 500, 500 }, size);
    EXPECT_FALSE(idle.consumed);
    EXPECT_EQ(idle.focus, RecorderState::FocusChange::none);
}

TEST_F(RecorderStateTest, AShortcutOfAMenuItemIsRefusedWithAnAlertAndRecordingGoesOn)
{
    recorder->setMenuLookup([](const Shortcut &shortcut) -> std::optional<QString> {
        if (shortcut == controlOptionK)
            return QStringLiteral("Keep on Top");
        return std::nullopt;
    });
    recorder->click();
    activity.clear();
    const RecorderState::Outcome outcome = recorder->handleKey(controlOptionK);
    EXPECT_TRUE(outcome.consumed);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().message.contains(QStringLiteral("\u201cKeep on Top\u201d")));
    EXPECT_EQ(alerts.first().buttons, QStringList { RecorderState::localized("ok") });
    EXPECT_FALSE(recordingDuringAlert);
    EXPECT_EQ(activity, (QList<bool> { false, true }));
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(center.getShortcut(togglePanel), controlSpace);
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(RecorderStateTest, TheEditingShortcutsOfEveryProgramAreRefusedAsMenuItems)
{
    // No menu of the app's own: the editing shortcuts belong to the menus of every program.
    struct Case
    {
        const char *name;
        Shortcut shortcut;
        const char *menuItem; // nullptr: stored
    };
    const qint64 control = CarbonModifier::control;
    const Case cases[] = {
        { "Ctrl+C", key(Key::c, control), "Copy" },
        { "Ctrl+X", key(Key::x, control), "Cut" },
        { "Ctrl+V", key(Key::v, control), "Paste" },
        { "Ctrl+Z", key(Key::z, control), "Undo" },
        { "Ctrl+Shift+Z", key(Key::z, control | CarbonModifier::shift), "Redo" },
        { "Ctrl+A", key(Key::a, control), "Select All" },
        { "Ctrl+Insert", key(Key::help, control), "Copy" },
        { "Ctrl+Alt+C is no editing shortcut", key(Key::c, control | CarbonModifier::option), nullptr },
        { "Ctrl+Shift+C is no editing shortcut", key(Key::c, control | CarbonModifier::shift), nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        center.storeShortcut(togglePanel, controlSpace);
        alerts.clear();
        changes.clear();
        recorder->click();
        const RecorderState::Outcome outcome = recorder->handleKey(c.shortcut);
        EXPECT_TRUE(outcome.consumed);
        if (c.menuItem) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first().message,
                RecorderState::localized("keyboard_shortcut_used_by_menu_item")
                    .arg(QLatin1String(c.menuItem)));
            EXPECT_EQ(alerts.first().buttons, QStringList { RecorderState::localized("ok") });
            EXPECT_TRUE(recorder->isRecording()) << "recording goes on after the alert";
            EXPECT_EQ(center.getShortcut(togglePanel), controlSpace);
            EXPECT_TRUE(changes.isEmpty());
        } else {
            EXPECT_TRUE(alerts.isEmpty());
            EXPECT_EQ(center.getShortcut(togglePanel), c.shortcut);
        }
        recorder->focusOut();
    }
}

TEST_F(RecorderStateTest, AShortcutAnotherProgramHoldsIsStoredOnlyWhenForced)
{
    hotKeys.refused.insert(controlAltKGrab);
    struct Case
    {
        const char *name;
        int answer;
        std::optional<Shortcut> storedAfter;
    };
    const QList<Case> cases {
        { "OK keeps the old shortcut", 0, controlSpace },
        { "Use Anyway stores it", 1, controlOptionK },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        alertAnswer = c.answer;
        recorder->click();
        recorder->handleKey(controlOptionK);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first().message,
            RecorderState::localized("keyboard_shortcut_used_by_system").arg("Ctrl+Alt+K"));
        EXPECT_TRUE(alerts.first().informativeText.contains(QStringLiteral("may not reach")));
        EXPECT_EQ(alerts.first().buttons,
            (QStringList { RecorderState::localized("ok"), RecorderState::localized("force_use_shortcut") }));
        EXPECT_EQ(center.getShortcut(togglePanel), c.storedAfter);
        EXPECT_EQ(recorder->isRecording(), c.answer == 0) << "after OK the user may try another key";
        recorder->focusOut();
    }
    // The forced shortcut cannot be grabbed: the app hears of it and can say so.
    EXPECT_FALSE(center.registeredShortcuts().contains(controlOptionK));
}

TEST_F(RecorderStateTest, F12AloneIsNeverComparedWithWhatOtherProgramsHold)
{
    struct Case
    {
        const char *name;
        Shortcut shortcut;
        HotKeyCombination heldElsewhere;
        bool asked;
    };
    const QList<Case> cases {
        { "F12 alone", key(Key::f12), { 0xffc9, 0 }, false },
        { "Shift+F12", key(Key::f12, CarbonModifier::shift), { 0xffc9, 1 }, true },
        { "Control+F12", key(Key::f12, CarbonModifier::control), { 0xffc9, 4 }, true },
        { "F11 alone", key(Key::f11), { 0xffc8, 0 }, true },
    };
    alertAnswer = 0; // OK: not forced
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        center.storeShortcut(togglePanel, controlSpace);
        hotKeys.refused = { c.heldElsewhere };
        alerts.clear();
        recorder->click();
        recorder->handleKey(c.shortcut);
        EXPECT_EQ(alerts.size(), c.asked ? 1 : 0);
        EXPECT_EQ(center.getShortcut(togglePanel), c.asked ? controlSpace : c.shortcut);
        recorder->focusOut();
    }
}

TEST_F(RecorderStateTest, TheTextFollowsChangesOfItsOwnNameOnly)
{
    center.storeShortcut(togglePanel, controlOptionK);
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Alt+K"));
    const Name other { QStringLiteral("other"), std::nullopt };
    center.storeShortcut(other, key(Key::f7));
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Alt+K"));
    recorder->setShortcutName(other);
    EXPECT_EQ(recorder->text(), QStringLiteral("F7"));
}

TEST_F(RecorderStateTest, ARecorderGoingAwayWhileRecordingLeavesNothingPaused)
{
    recorder->click();
    ASSERT_TRUE(center.isPaused());
    recorder.reset();
    EXPECT_FALSE(center.isPaused());
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab));
    EXPECT_EQ(activity, (QList<bool> { true, false }));
}

} // namespace
