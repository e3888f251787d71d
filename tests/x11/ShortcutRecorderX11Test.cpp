// The shortcut recorder and the ways of opening the panel in the running app, under Xvfb
// with openbox. The app hosts the recorder in its recorder window (switched on with
// TINDLEWICK_SHORTCUT_RECORDER_WINDOW=1), so what it records is what the same process
// grabs, pauses and stores; keys come from xdotool (XTest).

#include "AppProcess.h"
#include "TestWindowProcess.h"
#include "X11TestSupport.h"

#include "platform/X11GlobalHotKeys.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QString recorderWindowTitle = QStringLiteral("Tindlewick Shortcut");
const QString alertTitle = QStringLiteral("Keyboard Shortcut");
const QString controlSpaceJson = QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})");

class ShortcutRecorderX11Test : public X11Test
{
protected:
    void SetUp() override
    {
        X11Test::SetUp();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(home.path() + QStringLiteral("/data/Tindlewick"));
        QDir().mkpath(home.path() + QStringLiteral("/config/Tindlewick"));
    }

    QString defaultsPath() const { return home.path() + QStringLiteral("/config/Tindlewick/defaults.json"); }
    // The app's settings before it starts.
    void writeDefaults(const QByteArray &json)
    {
        QFile file(defaultsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
    }
    QString storedShortcut() const
    {
        QFile file(defaultsPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QJsonValue value = QJsonDocument::fromJson(file.readAll())
                                     .object()
                                     .value(QStringLiteral("KeyboardShortcuts_togglePanel"));
        return value.isString() ? value.toString() : QString();
    }

    std::unique_ptr<AppProcess> startApp(const QHash<QString, QString> &environment = {})
    {
        auto app = std::make_unique<AppProcess>(home.path());
        app->captureOutput();
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            app->setEnvironment(it.key(), it.value());
        EXPECT_TRUE(app->start());
        return app;
    }
    std::unique_ptr<AppProcess> startAppWithRecorder()
    {
        auto app
            = startApp({ { QStringLiteral("TINDLEWICK_SHORTCUT_RECORDER_WINDOW"), QStringLiteral("1") } });
        EXPECT_TRUE(waitUntil([&] { return activeWindowName() == recorderWindowTitle; }))
            << "the recorder window did not come up";
        return app;
    }

    static QString activeWindowName()
    {
        return toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("getactivewindow"), QStringLiteral("getwindowname") });
    }
    // The panel window ("Tindlewick") is mapped.
    static bool panelVisible()
    {
        return !toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Tindlewick$") })
                    .isEmpty();
    }
    static bool press(const QString &keys)
    {
        return xdotool(QStringList { QStringLiteral("key") } + keys.split(QLatin1Char(' ')));
    }
    // Waits a while and answers whether the panel stayed hidden all along.
    static bool panelStaysHidden()
    {
        return !waitUntil([] { return panelVisible(); }, std::chrono::milliseconds(800));
    }
    // The app takes its keys a moment after its windows show: press until it answers.
    static bool openPanelWith(const QString &keys)
    {
        for (int attempt = 0; attempt < 15; ++attempt) {
            if (!press(keys))
                return false;
            if (waitUntil([] { return panelVisible(); }, std::chrono::milliseconds(600)))
                return true;
        }
        return false;
    }

    QTemporaryDir home;
};

TEST_F(ShortcutRecorderX11Test, ARecordedShortcutOpensThePanelAndTheOldOneNoLonger)
{
    auto app = startAppWithRecorder();
    // The window opened with the focus in its other field: Tab moves it to the recorder.
    ASSERT_TRUE(press(QStringLiteral("Tab")));
    QTest::qWait(200);
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-recording.png"))).isNull());
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+k")));
    ASSERT_TRUE(waitUntil([&] {
        return storedShortcut() == QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":6144})");
    })) << storedShortcut().toStdString();
    QTest::qWait(200);
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-recorded.png"))).isNull());

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

    auto app = startAppWithRecorder();
    ASSERT_TRUE(press(QStringLiteral("Tab")));
    QTest::qWait(200);
    ASSERT_TRUE(press(QStringLiteral("ctrl+alt+j")));
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == alertTitle; })) << "no alert";
    QTest::qWait(300);
    EXPECT_FALSE(QImage(saveScreenshot(QStringLiteral("recorder-alert.png"))).isNull());
    ASSERT_TRUE(press(QStringLiteral("Return"))); // OK
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == recorderWindowTitle; }));
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
    auto app = startAppWithRecorder();
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(press(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([] { return !panelVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return activeWindowName() == recorderWindowTitle; }));

    ASSERT_TRUE(press(QStringLiteral("Tab")));
    QTest::qWait(200);
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
