// The shortcut recorder and the ways of opening the panel in the running app, under Xvfb
// with openbox. The recorder is the one on the settings window's Hotkey tab (opened from the
// tray), so what it records is what the same process grabs, pauses and stores; keys come
// from xdotool (XTest).

#include "MovedSymbol.h"
#include "SettingsWindowSupport.h"
#include "TestWindowProcess.h"

#include "KeyboardShortcuts/Recorder.h"
#include "platform/X11GlobalHotKeys.h"
#include "settings/HotkeyTab.h"
#include "shell/StatusMenu.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

const QString alertTitle = QStringLiteral("Keyboard Shortcut");
const QString controlSpaceJson = QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})");

// The tray icon's menu as the app's own menu code draws it here, with the same style and
// fonts, for a given panel shortcut (none: removed).
class TrayMenuProbe final
{
public:
    TrayMenuProbe()
        : m_defaults(m_folder.path() + QStringLiteral("/defaults.json"))
        , m_hotKeyCenter(m_hotKeys)
        , m_shortcuts(m_defaults, m_hotKeyCenter)
    {
        m_shortcuts.declare(m_name);
        m_menu.setOpenShortcut(&m_shortcuts, m_name);
    }

    QImage picture(const std::optional<KeyboardShortcuts::Shortcut> &shortcut)
    {
        m_shortcuts.setShortcut(shortcut, m_name);
        m_menu.rebuild();
        m_menu.adjustSize();
        return m_menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private:
    const KeyboardShortcuts::Name m_name { QStringLiteral("togglePanel"),
        KeyboardShortcuts::Shortcut {
            KeyboardShortcuts::Key::space, KeyboardShortcuts::CarbonModifier::control } };
    QTemporaryDir m_folder;
    UserDefaults m_defaults;
    FakeGlobalHotKeys m_hotKeys;
    KeyboardShortcuts::HotKeyCenter m_hotKeyCenter;
    KeyboardShortcuts::ShortcutCenter m_shortcuts;
    StatusMenu m_menu;
};

// Pixels that differ between two pictures of one size; -1 when their sizes differ.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return count;
}

class ShortcutRecorderX11Test : public SettingsWindowTest
{
protected:
    // The app with its settings open on the Hotkey tab and its recorder recording.
    std::unique_ptr<AppProcess> startAppRecording(const QHash<QString, QString> &environment = {})
    {
        auto app = startApp(environment);
        EXPECT_TRUE(openSettingsFromTray()) << "the settings window did not come up";
        EXPECT_TRUE(showTab(SettingsView::hotkey));
        EXPECT_TRUE(
            clickIn(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
        EXPECT_TRUE(appLetGoOfControlSpace()) << "the recorder did not start recording";
        return app;
    }

    // While its recorder records, the app lets go of its own grabs; that its shortcut can be
    // grabbed here is the sign that recording has begun (the grab is given back at once).
    bool appLetGoOf(const HotKeyCombination &combination)
    {
        return waitUntil([&] {
            X11GlobalHotKeys probe(*connection);
            QString error;
            return probe.grab(combination, &error);
        });
    }
    bool appLetGoOfControlSpace() { return appLetGoOf({ 0x20 /* XK_space */, 4 /* Control */ }); }

    // The app's menu window, once it is shown: a visible window of the app that is neither
    // its tray icon nor its settings window.
    static QRect appMenuRect()
    {
        const QStringList windows = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                QStringLiteral("^tindlewick$") })
                                        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &window : windows) {
            if (toolOutput(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window })
                    .endsWith(settingsTitleEnd))
                continue;
            QHash<QString, int> geometry;
            for (const QString &line : toolOutput(QStringLiteral("xdotool"),
                     { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window })
                                           .split(QLatin1Char('\n'))) {
                const qsizetype equals = line.indexOf(QLatin1Char('='));
                geometry.insert(line.left(equals), line.mid(equals + 1).toInt());
            }
            const QRect rect(geometry.value(QStringLiteral("X")), geometry.value(QStringLiteral("Y")),
                geometry.value(QStringLiteral("WIDTH")), geometry.value(QStringLiteral("HEIGHT")));
            if (rect.width() > 64)
                return rect;
        }
        return {};
    }

    // Opens the tray icon's menu and waits until it looks like the expected picture; the
    // screen is kept as an artefact and the menu closed again. Returns the pixels of the menu
    // that differ from the picture (-1: another size, or no menu).
    int trayMenuDiffersFrom(const QImage &expected, const QString &artefact)
    {
        QRect menu;
        if (!openTrayMenu() || !waitUntil([&] { return !(menu = appMenuRect()).isEmpty(); }))
            return -1;
        int differing = -1;
        waitUntil([&] {
            const QImage screen = screenImage();
            differing = differingPixels(screen.copy(menu).convertToFormat(QImage::Format_RGB32), expected);
            return differing == 0;
        });
        saveScreenshot(artefact);
        press(QStringLiteral("Escape"));
        waitUntil([] { return appMenuRect().isEmpty(); });
        return differing;
    }

    // The panel's shortcut in the settings file, as a hand could have written it.
    void storeShortcut(const QString &stored)
    {
        writeDefaults(
            QJsonDocument(QJsonObject { { QStringLiteral("KeyboardShortcuts_togglePanel"), stored } })
                .toJson());
    }

    std::unique_ptr<TrayHost> tray = std::make_unique<TrayHost>();
};

TEST_F(ShortcutRecorderX11Test, AShortcutRecordedInTheHotkeyTabOpensThePanelAndTheOldOneNoLonger)
{
    auto app = startAppRecording();
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("recorder-recording.png")).isNull());
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+k")));
    ASSERT_TRUE(waitUntil([&] {
        return storedShortcut() == QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":6144})");
    })) << storedShortcut().toStdString();
    // keepSettingsPicture() waits until the app has caught up: it holds the new shortcut by then.
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("recorder-recorded.png")).isNull());

    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+k")));
    EXPECT_TRUE(waitUntil([] { return panelVisible(); }, std::chrono::seconds(15)))
        << "the recorded shortcut did not open the panel";
    ASSERT_TRUE(press(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([] { return !panelVisible(); }));

    ASSERT_TRUE(press(QStringLiteral("ctrl+space")));
    EXPECT_TRUE(panelStaysHidden()) << "the old shortcut still opens the panel";
}

TEST_F(ShortcutRecorderX11Test, AKeyAnotherProgramHoldsBringsTheAlertAndIsStoredOnlyWhenForced)
{
    // This test process is the other program: it holds Control+Alt+J.
    X11GlobalHotKeys holder(*connection);
    QString error;
    ASSERT_TRUE(holder.grab({ 'j', 4 | 8 }, &error)) << error.toStdString();

    auto app = startAppRecording();
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+j")));
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == alertTitle; })) << "no alert";
    ASSERT_TRUE(app->caughtUp());
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-alert.png"))).isNull());
    // The alert holds the settings window alone: the panel shown over it has the keyboard, and
    // its Escape hides the panel and leaves the alert.
    const QString alert = toolOutput(QStringLiteral("xdotool"), { QStringLiteral("getactivewindow") });
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitUntil([] { return QString::number(activeWindow()) == panelWindowId(); }))
        << "the alert kept the keyboard from the panel";
    ASSERT_TRUE(press(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([] { return !panelVisible(); })) << "Escape did not reach the panel";
    EXPECT_TRUE(toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-id"), alert })
                    .contains(QLatin1String("IsViewable")))
        << "the panel's Escape closed the alert";
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == alertTitle; })) << "the alert lost the focus";
    ASSERT_TRUE(press(QStringLiteral("Return"))); // OK
    ASSERT_TRUE(
        waitUntil([] { return activeWindowName() == SettingsView::windowTitleFor(SettingsView::hotkey); }));
    EXPECT_EQ(storedShortcut(), controlSpaceJson) << "stored although not forced";

    // Still recording: the same key again, and this time "Use Anyway".
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+j")));
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == alertTitle; })) << "no alert the second time";
    ASSERT_TRUE(press(QStringLiteral("alt+u")));
    EXPECT_TRUE(waitUntil([&] {
        return storedShortcut() == QStringLiteral(R"({"carbonKeyCode":38,"carbonModifiers":6144})");
    })) << storedShortcut().toStdString();
    // And the app says plainly that the key may not reach it.
    EXPECT_TRUE(waitUntil([&] {
        return app->output().contains(QStringLiteral("Ctrl+Alt+J may not reach Tindlewick"));
    })) << app->output().toStdString();
    ASSERT_TRUE(app->caughtUp());
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-forced.png"))).isNull());
}

// Without a tray (it went while the settings were open) the app's notices are message boxes.
// The one saying that a forced shortcut cannot be taken opens over the settings window, which
// stays above other windows, and not hidden under it, as a dialog of the settings window.
TEST_F(ShortcutRecorderX11Test, WithoutATrayTheNoticeOfAShortcutNotTakenOpensOverTheSettings)
{
    X11GlobalHotKeys holder(*connection);
    QString error;
    ASSERT_TRUE(holder.grab({ 'k', 4 | 8 }, &error)) << error.toStdString();
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not come up";
    tray.reset();
    ASSERT_TRUE(showTab(SettingsView::hotkey));
    ASSERT_TRUE(
        clickIn(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
    ASSERT_TRUE(appLetGoOfControlSpace()) << "the recorder did not start recording";

    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+k")));
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == alertTitle; })) << "no alert";
    ASSERT_TRUE(press(QStringLiteral("alt+u"))); // Use Anyway
    // The app tries once more a second later before it tells.
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == QLatin1String("Shortcut not available"); },
        std::chrono::seconds(10)))
        << activeWindowName().toStdString() << "\n"
        << app->output().toStdString();
    EXPECT_TRUE(activeWindowIsAboveSettings())
        << "the notice is hidden under the settings window, which stays above other windows";
    ASSERT_TRUE(app->caughtUp());
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("notice-over-settings-without-tray.png"))).isNull());
    const QString notADialog = notADialogBecause(activeWindow(), settingsWindow);
    EXPECT_TRUE(notADialog.isEmpty())
        << "the notice is no dialog of the settings: " << notADialog.toStdString();
}

// The tray menu stands for the app's menu: its Ctrl+Q is refused with an alert that names the
// item, a dialog of the settings window. F12 alone is taken even while another program holds it,
// without asking; the app tells afterwards that the key may not reach it.
TEST_F(ShortcutRecorderX11Test, TheTrayMenusCtrlQAndEditingsCtrlCAreRefusedAndF12AloneIsTakenWithoutAsking)
{
    X11GlobalHotKeys holder(*connection);
    QString error;
    ASSERT_TRUE(holder.grab({ 0xffc9 /* F12 */, 0 }, &error)) << error.toStdString();
    auto app = startAppRecording({ { QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1") } });

    struct Case
    {
        const char *keys;
        const char *menuItem;
        const char *picture;
    };
    const Case cases[] = {
        { "ctrl+q", "Quit Tindlewick", "recorder-menu-conflict.png" },
        // Every program's Edit menu answers to it: taken, it would copy nowhere any more.
        { "ctrl+c", "Copy", "recorder-editing-conflict.png" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys);
        const qsizetype alertsBefore = app->output().count(QStringLiteral("[Recorder] Alert shown"));
        ASSERT_TRUE(press(QString::fromLatin1(c.keys)));
        ASSERT_TRUE(waitUntil([] { return activeWindowName() == alertTitle; })) << "no alert";
        const QString menuAlert
            = QStringLiteral("[Recorder] Alert shown: The menu item \u201c%1\u201d already "
                             "answers to this shortcut.")
                  .arg(QLatin1String(c.menuItem));
        EXPECT_TRUE(waitUntil([&] { return app->output().contains(menuAlert); }))
            << app->output().toStdString();
        EXPECT_EQ(app->output().count(QStringLiteral("[Recorder] Alert shown")), alertsBefore + 1);
        ASSERT_TRUE(app->caughtUp());
        EXPECT_FALSE(QImage(saveScreenshot(QString::fromLatin1(c.picture))).isNull());
        const QString notADialog = notADialogBecause(activeWindow(), settingsWindow);
        EXPECT_TRUE(notADialog.isEmpty())
            << "the alert is no dialog of the settings: " << notADialog.toStdString();
        ASSERT_TRUE(press(QStringLiteral("Return")));
        ASSERT_TRUE(waitUntil(
            [] { return activeWindowName() == SettingsView::windowTitleFor(SettingsView::hotkey); }));
        EXPECT_EQ(storedShortcut(), controlSpaceJson);
        EXPECT_TRUE(app->isRunning());
    }
    // Still recording: F12, which this test process holds.
    ASSERT_TRUE(press(QStringLiteral("F12")));
    EXPECT_TRUE(waitUntil([&] {
        return storedShortcut() == QStringLiteral(R"({"carbonKeyCode":111,"carbonModifiers":0})");
    })) << storedShortcut().toStdString();
    EXPECT_TRUE(
        waitUntil([&] { return app->output().contains(QStringLiteral("F12 may not reach Tindlewick")); },
            std::chrono::seconds(10)))
        << app->output().toStdString();
    EXPECT_EQ(app->output().count(QStringLiteral("[Recorder] Alert shown")), 2)
        << "F12 was asked about: " << app->output().toStdString();
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("recorder-f12.png")).isNull());
}

// Qt on X11 binds the Sun keyboard's Undo, Copy, Paste and Cut keys (F14, F16, F18, F20) to the
// editing shortcuts of every program. Pressed alone they are function keys like any other: each
// is taken, without an alert. (The keyboard of the test's display lacks them: free keys are
// given their symbols before the app starts.)
TEST_F(ShortcutRecorderX11Test, TheSunKeyboardsEditingKeysPressedAloneAreTakenLikeAnyFunctionKey)
{
    const struct
    {
        const char *key;
        quint32 keysym;
        const char *stored;
    } cases[] = {
        { "F14", 0xffcb, R"({"carbonKeyCode":107,"carbonModifiers":0})" },
        { "F16", 0xffcd, R"({"carbonKeyCode":106,"carbonModifiers":0})" },
        { "F18", 0xffcf, R"({"carbonKeyCode":79,"carbonModifiers":0})" },
        { "F20", 0xffd1, R"({"carbonKeyCode":90,"carbonModifiers":0})" },
    };
    std::vector<std::unique_ptr<MovedSymbol>> keys;
    for (const auto &c : cases) {
        keys.push_back(std::make_unique<MovedSymbol>(c.keysym, 0));
        ASSERT_NE(keys.back()->to(), 0) << "no free key for " << c.key;
    }
    auto app = startAppRecording();
    std::optional<HotKeyCombination> taken;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        if (taken) {
            ASSERT_TRUE(clickIn(
                SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
            ASSERT_TRUE(appLetGoOf(*taken)) << "the recorder did not start recording again";
        }
        ASSERT_TRUE(press(QString::fromLatin1(c.key)));
        EXPECT_TRUE(waitUntil([&] { return storedShortcut() == QLatin1String(c.stored); }))
            << storedShortcut().toStdString();
        ASSERT_TRUE(app->caughtUp());
        EXPECT_EQ(app->output().count(QStringLiteral("[Recorder] Alert shown")), 0)
            << app->output().toStdString();
        taken = HotKeyCombination { c.keysym, 0 };
    }
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("recorder-f20.png")).isNull());
}

TEST_F(ShortcutRecorderX11Test, ControlSpaceOpensNothingWhileTheRecorderRecords)
{
    auto app = startApp();
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(press(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([] { return !panelVisible(); }));
    ASSERT_TRUE(openSettingsFromTray());
    ASSERT_TRUE(showTab(SettingsView::hotkey));
    ASSERT_TRUE(
        clickIn(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
    ASSERT_TRUE(appLetGoOfControlSpace()) << "the recorder did not start recording";
    ASSERT_TRUE(press(QStringLiteral("ctrl+space")));
    EXPECT_TRUE(panelStaysHidden()) << "the shortcut ran while the recorder recorded";
    // The recorder took the key as the (same) new shortcut and stopped recording.
    EXPECT_EQ(storedShortcut(), controlSpaceJson);
    EXPECT_TRUE(openPanelWith(QStringLiteral("ctrl+space"))) << "the shortcut did not come back";
}

TEST_F(ShortcutRecorderX11Test, ADoubleTapOfAltOpensThePanelAndAltTabTwiceDoesNot)
{
    writeDefaults(R"({"activationMode":"doubleTap","doubleTapModifier":"option"})");
    TestWindowProcess window;
    ASSERT_TRUE(window.start());
    auto app = startApp();
    ASSERT_TRUE(waitUntil([&] { return isActiveWindow(*workspace, window.windowId()); }));
    ASSERT_TRUE(openPanelWith(QStringLiteral("alt alt")));
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("panel-from-double-tap.png"))).isNull());
    ASSERT_TRUE(press(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([] { return !panelVisible(); }));

    ASSERT_TRUE(press(QStringLiteral("alt+Tab alt+Tab")));
    EXPECT_TRUE(panelStaysHidden()) << "Alt+Tab twice counted as a double tap";
    // The shortcut is off in this mode; the double tap still works afterwards.
    ASSERT_TRUE(press(QStringLiteral("ctrl+space")));
    EXPECT_TRUE(panelStaysHidden());
    ASSERT_TRUE(press(QStringLiteral("alt alt")));
    EXPECT_TRUE(waitUntil([] { return panelVisible(); }));
    EXPECT_FALSE(app->output().contains(QStringLiteral("Double tap unavailable")));
}

TEST_F(ShortcutRecorderX11Test, WithoutRawInputControlSpaceStillOpensThePanelAndTheReasonIsPrintedOnce)
{
    writeDefaults(R"({"activationMode":"doubleTap","doubleTapModifier":"option"})");
    TestWindowProcess window;
    ASSERT_TRUE(window.start());
    auto app = startApp({ { QStringLiteral("TINDLEWICK_X11_NO_RAW_INPUT"), QStringLiteral("1") } });
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("no-raw-input-message.png"))).isNull());
    ASSERT_TRUE(press(QStringLiteral("alt alt")));
    app->stop();
    const QString output = app->output();
    EXPECT_EQ(output.count(QStringLiteral("Double tap unavailable")), 1) << output.toStdString();
    EXPECT_TRUE(output.contains(
        QStringLiteral("A double tap of Alt cannot open Tindlewick here: raw input is switched off")))
        << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("open it with Ctrl+Space"))) << output.toStdString();
}

// What a hand-edited settings file may hold as the panel's shortcut: text that is no
// shortcut, and one no key of this keyboard makes.
const QString unreadableShortcut = QStringLiteral("garbage{");
const QString impossibleShortcut
    = QStringLiteral(R"({"carbonKeyCode":-99999999,"carbonModifiers":4294967295})");

// Without a tray the shortcut is the only way in: the app opens on Control+Space and says once,
// in a message box, what it did.
TEST_F(ShortcutRecorderX11Test, WithoutATrayAStoredShortcutThatCannotBeUsedGivesWayToControlSpace)
{
    const struct
    {
        const char *name;
        QString stored;
    } cases[] = { { "unreadable", unreadableShortcut }, { "out-of-range", impossibleShortcut } };
    tray.reset();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        storeShortcut(c.stored);
        auto app = startApp();
        ASSERT_TRUE(waitUntil(
            [] { return activeWindowName() == QLatin1String("Shortcut reset"); }, std::chrono::seconds(10)))
            << activeWindowName().toStdString() << "\n"
            << app->output().toStdString();
        ASSERT_TRUE(app->caughtUp()); // drawn
        saveScreenshot(QStringLiteral("shortcut-reset-%1.png").arg(QLatin1String(c.name)));
        ASSERT_TRUE(press(QStringLiteral("Return")));
        EXPECT_TRUE(openPanelWith(QStringLiteral("ctrl+space"))) << "Control+Space did not open the panel";
        ASSERT_TRUE(press(QStringLiteral("Escape")));
        EXPECT_EQ(storedShortcut(), controlSpaceJson);
        app->stop();
        const QString output = app->output() + app->errors();
        EXPECT_EQ(output.count(QStringLiteral("Shortcut reset")), 1) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("Ctrl+Space opens it instead"))) << output.toStdString();
        EXPECT_FALSE(output.contains(QStringLiteral("Fn+"))) << output.toStdString();
    }
}

// The Hotkey tab shows the Control+Space the app took in place of what it could not use.
TEST_F(ShortcutRecorderX11Test, TheHotkeyTabShowsControlSpaceInPlaceOfAStoredShortcutThatCannotBeUsed)
{
    storeShortcut(impossibleShortcut);
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not come up";
    ASSERT_TRUE(showTab(SettingsView::hotkey));
    const QRect recorder
        = probe.rect(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); });
    // The probe's recorder, on its own background, shows the Ctrl+Space it declared.
    const QImage controlSpace = probe.view().grab(recorder).toImage().convertToFormat(QImage::Format_RGB32);
    int differing = -1;
    EXPECT_TRUE(waitUntil([&] {
        const QImage shown = screenImage().copy(recorder.translated(settingsOrigin()));
        differing = differingPixels(shown.convertToFormat(QImage::Format_RGB32), controlSpace);
        return differing == 0;
    })) << differing
        << " pixels of the recorder differ from one showing Ctrl+Space";
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("hotkey-after-shortcut-reset.png")).isNull());
}

TEST_F(ShortcutRecorderX11Test, TheTrayMenuShowsTheRecordedShortcutAndNoneOnceItIsRemoved)
{
    using namespace KeyboardShortcuts;
    TrayMenuProbe menuProbe;
    const QImage withControlSpace = menuProbe.picture(Shortcut { Key::space, CarbonModifier::control });
    const QImage withControlAltK
        = menuProbe.picture(Shortcut { Key::k, CarbonModifier::control | CarbonModifier::option });
    const QImage withNone = menuProbe.picture(std::nullopt);
    ASSERT_NE(differingPixels(withControlSpace, withControlAltK), 0) << "the pictures cannot tell them apart";
    ASSERT_NE(differingPixels(withControlAltK, withNone), 0);

    auto app = startApp();
    EXPECT_EQ(trayMenuDiffersFrom(withControlSpace, QStringLiteral("tray-menu-default.png")), 0)
        << "the menu does not show Ctrl+Space";

    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not come up";
    ASSERT_TRUE(showTab(SettingsView::hotkey));
    ASSERT_TRUE(
        clickIn(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
    ASSERT_TRUE(appLetGoOfControlSpace()) << "the recorder did not start recording";
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+k")));
    ASSERT_TRUE(waitUntil([&] {
        return storedShortcut() == QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":6144})");
    })) << storedShortcut().toStdString();
    EXPECT_EQ(trayMenuDiffersFrom(withControlAltK, QStringLiteral("tray-menu-recorded.png")), 0)
        << "the menu does not show the recorded Ctrl+Alt+K";

    // Recording again, Backspace removes the shortcut.
    ASSERT_TRUE(
        clickIn(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
    ASSERT_TRUE(appLetGoOf({ 'k', 4 | 8 })) << "the recorder did not start recording";
    ASSERT_TRUE(press(QStringLiteral("BackSpace")));
    ASSERT_TRUE(waitUntil(
        [&] { return storedSetting(QStringLiteral("KeyboardShortcuts_togglePanel")) == QJsonValue(false); }));
    EXPECT_EQ(trayMenuDiffersFrom(withNone, QStringLiteral("tray-menu-removed.png")), 0)
        << "the menu still shows a shortcut";
}

} // namespace
