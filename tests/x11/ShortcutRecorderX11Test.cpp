// The shortcut recorder and the ways of opening the panel in the running app, under Xvfb
// with openbox. The recorder is the one on the settings window's Hotkey tab (opened from the
// tray), so what it records is what the same process grabs, pauses and stores; keys come
// from xdotool (XTest).

#include "SettingsWindowSupport.h"
#include "TestWindowProcess.h"

#include "KeyboardShortcuts/Recorder.h"
#include "platform/X11GlobalHotKeys.h"
#include "settings/HotkeyTab.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

const QString alertTitle = QStringLiteral("Keyboard Shortcut");
const QString controlSpaceJson = QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})");

class ShortcutRecorderX11Test : public SettingsWindowTest
{
protected:
    // The app with its settings open on the Hotkey tab and its recorder recording.
    std::unique_ptr<AppProcess> startAppRecording()
    {
        auto app = startApp();
        EXPECT_TRUE(openSettingsFromTray()) << "the settings window did not come up";
        EXPECT_TRUE(showTab(SettingsView::hotkey));
        EXPECT_TRUE(
            clickIn(SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
        EXPECT_TRUE(appLetGoOfControlSpace()) << "the recorder did not start recording";
        return app;
    }

    // While its recorder records, the app lets go of its own grabs; that Control+Space can be
    // grabbed here is the sign that recording has begun (the grab is given back at once).
    bool appLetGoOfControlSpace()
    {
        return waitUntil([&] {
            X11GlobalHotKeys probe(*connection);
            QString error;
            return probe.grab({ 0x20 /* XK_space */, 4 /* Control */ }, &error);
        });
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
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("recorder-recorded.png")).isNull());

    TestWindowProcess window;
    ASSERT_TRUE(window.start());
    ASSERT_TRUE(waitUntil([&] { return isActiveWindow(*workspace, window.windowId()); }));
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+k")));
    EXPECT_TRUE(waitUntil([] { return panelVisible(); })) << "the recorded shortcut did not open the panel";
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
    QTest::qWait(300);
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-alert.png"))).isNull());
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
    QTest::qWait(300);
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-forced.png"))).isNull());
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

} // namespace
