// The app where no tray runs (GNOME's default session has none), as the user meets it under
// Xvfb: the panel's ⋯ menu offers Settings... and Quit Tindlewick, `tindlewick --settings` opens
// the settings of the copy that runs (or starts one that opens them), the desktop's
// notification area says once where these are, and an argument the app does not know is refused.

#include "AppEndToEnd.h"
#include "NotificationHost.h"
#include "TestWindowProcess.h"

#include "panel/SearchBar.h"
#include "settings/SettingsView.h"

#include <gtest/gtest.h>

#include <QToolButton>

namespace {

class NoTrayX11Test : public AppEndToEndTest
{
protected:
    void SetUp() override
    {
        AppEndToEndTest::SetUp();
        // A running tray would make the app leave these entries to its icon.
        ASSERT_FALSE(
            toolOutput(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") })
                .contains(QLatin1String("\"trayer\"")));
    }

    // The settings window that is shown ("General — Tindlewick Settings", ...), 0 when none is.
    static QList<quint64> settingsWindows()
    {
        QList<quint64> windows;
        const QString found = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral(" — Tindlewick Settings$") });
        for (const QString &line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            windows.append(line.toULongLong());
        return windows;
    }
    static qint64 processOf(quint64 window)
    {
        return toolOutput(
            QStringLiteral("xdotool"), { QStringLiteral("getwindowpid"), QString::number(window) })
            .toLongLong();
    }
    // Whether the one settings window is shown, belongs to the process and has the focus.
    bool settingsShownBy(const AppProcess &app)
    {
        const QList<quint64> windows = settingsWindows();
        return windows.size() == 1 && processOf(windows.first()) == app.pid() && isFront(windows.first());
    }
    // The panel window ("Tindlewick") while it is shown, else 0.
    static quint64 shownPanel()
    {
        return toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Tindlewick$") })
            .toULongLong();
    }
    // The ⋯ button of the search strip of a panel shown at a place, where the app lays it out:
    // a strip made here at the panel's width says.
    static QPoint menuButtonCentre(const QRect &panel)
    {
        SearchBar probe;
        probe.setAttribute(Qt::WA_DontShowOnScreen);
        probe.resize(panel.width(), probe.sizeHint().height());
        probe.show();
        QApplication::processEvents();
        return panel.topLeft() + probe.menuButton()->geometry().center();
    }
    // Opens the panel and its ⋯ menu, keeps a picture of it and chooses an entry with keys.
    bool chooseFromPanelMenu(AppProcess &app, const QString &keys, const QString &picture)
    {
        // The app may be in front already with its settings window: wait for the panel itself.
        quint64 panelWindow = 0;
        if (!openPanel(app) || !waitUntil([&] {
                panelWindow = shownPanel();
                return panelWindow != 0 && isFront(panelWindow);
            }))
            return false;
        const Geometry panel = windowGeometry(panelWindow);
        const qsizetype beforeMenu = app.outputMark();
        if (!panel.valid || !clickAt(menuButtonCentre(panel.rect)))
            return false;
        if (!app.waitForMenu(beforeMenu, QStringLiteral("Quit Tindlewick")))
            return false;
        saveScreenshot(picture);
        return xdotool(QStringList { QStringLiteral("key") } + keys.split(QLatin1Char(' ')));
    }
};

TEST_F(NoTrayX11Test, ThePanelsMenuOffersSettingsAndQuit)
{
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());

    // The menu ends in Settings... and Quit Tindlewick (Up from the end).
    ASSERT_TRUE(
        chooseFromPanelMenu(app, QStringLiteral("Up Up Return"), QStringLiteral("no-tray-panel-menu.png")));
    EXPECT_TRUE(waitUntil([&] { return settingsShownBy(app); })) << "the settings window did not open";
    EXPECT_TRUE(waitUntil([&] { return shownPanel() == 0; })) << "the panel stayed over the settings";
    ASSERT_TRUE(app.caughtUp()); // drawn
    saveScreenshot(QStringLiteral("no-tray-settings-from-panel-menu.png"));
    EXPECT_EQ(settingsWindows().size(), 1);

    ASSERT_TRUE(
        chooseFromPanelMenu(app, QStringLiteral("Up Return"), QStringLiteral("no-tray-panel-menu-quit.png")));
    ASSERT_TRUE(app.waitForExit(10000)) << "Quit Tindlewick left the app running";
    EXPECT_FALSE(app.crashed());
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(settingsWindows().isEmpty());
}

TEST_F(NoTrayX11Test, TheSettingsArgumentOpensTheRunningCopysSettingsAndLeavesItRunning)
{
    AppProcess running(home.path());
    running.enableTestHooks();
    ASSERT_TRUE(running.start());
    ASSERT_TRUE(openPanel(running)); // up and listening
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    const qint64 runningPid = running.pid();

    // Asked twice: the second time the open window comes to the front again, still one.
    for (const char *time : { "first", "again" }) {
        SCOPED_TRACE(time);
        AppProcess asking(home.path());
        asking.captureOutput();
        ASSERT_TRUE(asking.start({ QStringLiteral("--settings") }));
        ASSERT_TRUE(asking.waitForExit(10000)) << "the asking copy did not leave";
        EXPECT_EQ(asking.exitCode(), 0) << asking.errors().toStdString();
        EXPECT_TRUE(waitUntil([&] { return settingsShownBy(running); }))
            << "the running copy's settings window did not come up";
        EXPECT_TRUE(running.isRunning());
        EXPECT_EQ(running.pid(), runningPid);
    }
    ASSERT_TRUE(running.caughtUp()); // drawn
    saveScreenshot(QStringLiteral("no-tray-settings-from-a-second-start.png"));
    // The running copy goes on as before: its shortcut still opens the panel.
    ASSERT_TRUE(openPanel(running));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    running.stop();
    EXPECT_EQ(running.exitCode(), 0);

    // With no copy running, the copy asked starts and opens its own settings.
    AppProcess starting(home.path());
    starting.captureOutput();
    ASSERT_TRUE(starting.start({ QStringLiteral("--settings") }));
    EXPECT_TRUE(waitUntil([&] { return settingsShownBy(starting); }));
    ASSERT_TRUE(openPanel(starting)) << "the copy started for its settings is not the running app";
    EXPECT_TRUE(starting.isRunning());
}

TEST_F(NoTrayX11Test, AnArgumentTheAppDoesNotKnowGetsTheUsageAndStatusTwo)
{
    const QString usage = QStringLiteral("Usage: tindlewick [--settings | --help | --version]");
    const struct
    {
        QStringList arguments;
        QString complaint;
    } cases[] = {
        { { QStringLiteral("--bogus") }, QStringLiteral("unknown option '--bogus'") },
        { { QStringLiteral("--settings"), QStringLiteral("-x") }, QStringLiteral("unknown option '-x'") },
        { { QStringLiteral("stray") }, QStringLiteral("unexpected argument 'stray'") },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        AppProcess app(home.path());
        app.captureOutput();
        ASSERT_TRUE(app.start(c.arguments));
        ASSERT_TRUE(app.waitForExit(10000)) << "the app started";
        EXPECT_FALSE(app.crashed());
        EXPECT_EQ(app.exitCode(), 2);
        EXPECT_TRUE(app.errors().contains(c.complaint)) << app.errors().toStdString();
        EXPECT_TRUE(app.errors().contains(usage)) << app.errors().toStdString();
        EXPECT_TRUE(app.output().isEmpty()) << app.output().toStdString();
        EXPECT_FALSE(QFile::exists(storePath())) << "the app opened its history";
    }
    // Qt's own options are still taken.
    AppProcess app(home.path());
    app.captureOutput();
    ASSERT_TRUE(app.start({ QStringLiteral("-display"), qEnvironmentVariable("DISPLAY") }));
    ASSERT_TRUE(openPanel(app));
}

TEST_F(NoTrayX11Test, TheDesktopsNotificationsSayOnceWhereSettingsAndQuitAre)
{
    NotificationHost notifications;
    ASSERT_TRUE(notifications.isRunning()) << "no notification area (dbus-daemon and dunst)";
    {
        AppProcess app(home.path());
        app.setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), notifications.busAddress());
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(waitUntil([&] { return notifications.displayed() == 1; }, std::chrono::seconds(20)))
            << "no notice came";
        EXPECT_TRUE(waitUntil([&] { return notifications.noticeIsDrawn(); })) << "the notice was never drawn";
        saveScreenshot(QStringLiteral("no-tray-notice.png"));
        notifications.closeAll();
        const QList<NotificationHost::Notice> shown = notifications.history();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown.first().application, QStringLiteral("Tindlewick"));
        EXPECT_EQ(shown.first().summary, QStringLiteral("Tindlewick runs without a tray icon"));
        for (const QString &part : { QStringLiteral("open it with Ctrl+Space"), QStringLiteral("Settings..."),
                 QStringLiteral("Quit Tindlewick"), QStringLiteral("\u22ef menu"),
                 QStringLiteral("tindlewick --settings") })
            EXPECT_TRUE(shown.first().body.contains(part)) << shown.first().body.toStdString();
    }
    // Started again, it does not say it again. It decides so where it says in its output that no
    // tray runs: once it has printed that and caught up, a notice it sent would be on its way.
    AppProcess again(home.path());
    again.setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), notifications.busAddress());
    again.enableTestHooks();
    ASSERT_TRUE(again.start());
    ASSERT_TRUE(openPanel(again)); // started whole
    ASSERT_TRUE(waitUntil([&] {
        return again.output().contains(QStringLiteral("Tindlewick shows no tray icon"));
    })) << again.output().toStdString();
    ASSERT_TRUE(again.caughtUp());
    EXPECT_EQ(notifications.displayed(), 0);
    EXPECT_EQ(notifications.history().size(), 1);
}

} // namespace
