// The app as the user meets it, under Xvfb with openbox: the shortcut opens the panel on
// the screen under the pointer with the keyboard focus, Escape and outside clicks hide it,
// a second start replaces the first, quitting folds the write-ahead log into the store,
// and a chosen item reaches the window in front by XTest.

#include "AppEndToEnd.h"
#include "TestWindowProcess.h"
#include "TrayHost.h"
#include "X11TestSupport.h"

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>

using namespace std::chrono_literals;

namespace {

using ShellEndToEndTest = AppEndToEndTest;

TEST_F(ShellEndToEndTest, ShortcutShowsThePanelUnderThePointerWithFocusAndEscapeGivesTheFocusBack)
{
    // Two kinds in the history: History and Text, two columns of 200.
    seedStore({ QStringLiteral("first entry"), QStringLiteral("second entry") });
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    ASSERT_TRUE(xdotool({ QStringLiteral("mousemove"), QStringLiteral("1500"), QStringLiteral("700") }));
    copyFromOutside(QStringLiteral("copied from outside"));

    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(openPanel(app)) << "the panel never took the focus";
    const quint64 panelWindow = frontWindow();
    ASSERT_TRUE(isViewable(panelWindow));
    // On every workspace, out of task bars and pagers, above other windows (as the window manager
    // writes them, a moment after it has framed the window).
    const char *const wanted[]
        = { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_ABOVE", "_NET_WM_DESKTOP(CARDINAL) = 4294967295" };
    QString hints;
    waitUntil([&] {
        hints = toolOutput(QStringLiteral("xprop"),
            { QStringLiteral("-id"), QString::number(panelWindow), QStringLiteral("_NET_WM_STATE"),
                QStringLiteral("_NET_WM_DESKTOP") });
        return std::all_of(std::begin(wanted), std::end(wanted),
            [&](const char *hint) { return hints.contains(QLatin1String(hint)); });
    });
    for (const char *hint : wanted)
        EXPECT_TRUE(hints.contains(QLatin1String(hint))) << hint << " missing in " << hints.toStdString();

    // Nothing stored yet: 2 × 200 wide, 500 high, centred on the (only) screen.
    const Geometry shown = windowGeometry(panelWindow);
    ASSERT_TRUE(shown.valid);
    EXPECT_EQ(shown.rect, QRect(760, 290, 400, 500));
    ASSERT_TRUE(app.caughtUp()); // drawn
    const QString screenshot = saveScreenshot(QStringLiteral("panel-shown.png"));
    const QImage image(screenshot);
    ASSERT_FALSE(image.isNull());
    // The panel is painted: its middle is not the bare (black) root window.
    EXPECT_NE(image.pixelColor(shown.rect.center()), QColor(Qt::black));

    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([&] { return isFront(window.windowId()); })) << "the focus did not come back";
    EXPECT_TRUE(waitUntil([&] { return !isViewable(panelWindow); }));

    // Typing goes to the window again.
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("back") }));
    EXPECT_TRUE(waitUntil([&] { return window.plainText() == QLatin1String("back"); }));

    // The shortcut toggles: open, then the same shortcut hides and restores.
    ASSERT_TRUE(openPanel(app));
    EXPECT_EQ(windowGeometry(frontWindow()).rect, shown.rect) << "the second show moved the panel";
    ASSERT_TRUE(pressKey(QStringLiteral("ctrl+space")));
    EXPECT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
}

TEST_F(ShellEndToEndTest, TheKeyboardChoosesTheNewestCopyAndPastesItIntoTheWindowInFront)
{
    seedStore({ QStringLiteral("an older entry") });
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window, TestWindowProcess::Focus::richText));
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());
    // Once the app answers its shortcut it watches the clipboard too.
    ASSERT_TRUE(openThenDismissPanel(app));
    ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));

    // A design tool copies formatted text (its HTML is kept: it carries the tool's marker);
    // the capture stores it as the newest item.
    const QByteArray html = QByteArrayLiteral("<!--(figma)ZmlnbWE=--><b>bold words</b>");
    ASSERT_TRUE(external.copyFlavours({ { QStringLiteral("text/plain"), QByteArrayLiteral("bold words") },
        { QStringLiteral("text/html"), html } }));
    ASSERT_TRUE(waitUntil([&] {
        const QList<ClipboardItemPtr> items = storedItems();
        return items.size() == 2 && items.first()->textContent() == QLatin1String("bold words");
    })) << "the copy never reached the store";
    EXPECT_EQ(storedItems().first()->htmlContent(), QString::fromUtf8(html));

    struct Case
    {
        const char *name;
        bool holdShift; // Shift+Return: paste without the formatting
        bool expectBold;
    };
    for (const Case &c : { Case { "Return", false, true }, Case { "Shift+Return", true, false } }) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(
            xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace") }));
        ASSERT_TRUE(waitUntil([&] { return window.richPlainText().isEmpty(); }));
        ASSERT_TRUE(openPanel(app));
        const quint64 panelWindow = frontWindow();
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(QStringLiteral("panel-newest-selected-%1.png")
                           .arg(c.holdShift ? QStringLiteral("shift") : QStringLiteral("plain")));
        if (c.holdShift) {
            ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("shift") }));
        }
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
        EXPECT_TRUE(waitUntil([&] { return window.richPlainText() == QLatin1String("bold words"); }))
            << "pasted: " << window.richPlainText().toStdString();
        if (c.holdShift)
            xdotool({ QStringLiteral("keyup"), QStringLiteral("shift") });
        EXPECT_TRUE(isFront(window.windowId())) << "the focus went back to the window";
        EXPECT_FALSE(isViewable(panelWindow)) << "Return hides the panel";
        EXPECT_EQ(window.richHtml().contains(QLatin1String("font-weight:700")), c.expectBold);
    }
}

TEST_F(ShellEndToEndTest, EachShowSelectsThePreviousSearchAndTypingAnywhereInThePanelSearches)
{
    // Newest last: a search that went astray would paste the newest, "damson jam", or nothing.
    seedStore({ QStringLiteral("apple pie"), QStringLiteral("banana split"), QStringLiteral("cherry tart"),
        QStringLiteral("damson jam") });
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());

    // Types a search, keeps what the panel shows once the search has settled, chooses the first
    // match with Down and Return, and waits until the window in front holds what it should.
    const auto searchAndPaste
        = [&](const QString &search, const QString &screenshot, const QString &windowText) {
              if (!xdotool({ QStringLiteral("type"), search }) || !app.caughtUp())
                  return false;
              saveScreenshot(screenshot);
              return pressKey(QStringLiteral("Down")) && pressKey(QStringLiteral("Return"))
                  && waitUntil([&] { return window.plainText() == windowText; });
          };

    // The first show: the field takes the focus a quarter second after the panel appears (what
    // is typed before goes into it all the same).
    ASSERT_TRUE(openPanelShown(app));
    ASSERT_TRUE(searchAndPaste(
        QStringLiteral("apple"), QStringLiteral("search-first.png"), QStringLiteral("apple pie")))
        << "pasted: " << window.plainText().toStdString();

    // The second show: the field still holds "apple", all of it selected, so the new search
    // replaces it.
    ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
    ASSERT_TRUE(openPanel(app));
    const Geometry panel = windowGeometry(frontWindow());
    ASSERT_TRUE(panel.valid);
    EXPECT_TRUE(waitUntil([&] { return searchTextSelected(panel.rect); }))
        << "the previous search was not selected";
    saveScreenshot(QStringLiteral("search-selected-on-show.png"));
    EXPECT_TRUE(searchAndPaste(QStringLiteral("cherry"), QStringLiteral("search-second.png"),
        QStringLiteral("apple piecherry tart")))
        << "pasted: " << window.plainText().toStdString();

    // The third show: Escape empties the search, Down moves the keyboard into the History
    // column; typing there still searches.
    ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
    ASSERT_TRUE(openPanel(app));
    EXPECT_TRUE(waitUntil([&] { return searchTextSelected(panel.rect); }));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    ASSERT_TRUE(pressKey(QStringLiteral("Down")));
    ASSERT_TRUE(app.caughtUp());
    saveScreenshot(QStringLiteral("search-keyboard-in-column.png"));
    EXPECT_TRUE(searchAndPaste(QStringLiteral("banana"), QStringLiteral("search-typed-in-column.png"),
        QStringLiteral("apple piecherry tartbanana split")))
        << "pasted: " << window.plainText().toStdString();
}

TEST_F(ShellEndToEndTest, ClickInAnotherWindowLeavesItTheFocus)
{
    TestWindowProcess first;
    TestWindowProcess second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    // Side by side: the second one further right.
    ASSERT_TRUE(xdotool({ QStringLiteral("windowmove"), QString::number(second.windowId()),
        QStringLiteral("1300"), QStringLiteral("600") }));
    RunningApplication target;
    target.windowId = first.windowId();
    ASSERT_TRUE(waitUntil([&] {
        workspace->activate(target);
        return isFront(first.windowId());
    }));

    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(openPanel(app));
    const quint64 panelWindow = frontWindow();
    const Geometry secondGeometry = windowGeometry(second.windowId());
    ASSERT_TRUE(secondGeometry.valid);
    ASSERT_TRUE(clickAt(secondGeometry.rect.center()));
    EXPECT_TRUE(waitUntil([&] { return !isViewable(panelWindow); }));
    EXPECT_TRUE(waitUntil([&] { return isFront(second.windowId()); }));
    // Nothing takes it away afterwards (the old window is not re-activated): whatever the app
    // asked of the window manager on the click, the window manager has done.
    ASSERT_TRUE(app.caughtUp());
    ASSERT_TRUE(windowManagerCaughtUp());
    EXPECT_TRUE(isFront(second.windowId())) << "the focus was taken from the clicked window";
}

TEST_F(ShellEndToEndTest, SecondStartReplacesTheFirstAndQuitLeavesNoWriteAheadLog)
{
    seedStore({ QStringLiteral("kept across runs") });
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));

    AppProcess first(home.path());
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(openPanel(first));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));

    AppProcess second(home.path());
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(first.waitForExit(5000)) << "the first copy kept running";
    EXPECT_FALSE(first.crashed());
    EXPECT_EQ(first.exitCode(), 0);
    ASSERT_TRUE(openPanel(second)) << "the second copy did not take the shortcut";
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

    for (const int signalNumber : { SIGTERM, SIGINT }) {
        SCOPED_TRACE(signalNumber);
        AppProcess running(home.path());
        if (signalNumber == SIGTERM) {
            second.signal(SIGTERM);
            ASSERT_TRUE(second.waitForExit(5000));
            EXPECT_EQ(second.exitCode(), 0);
        } else {
            ASSERT_TRUE(running.start());
            ASSERT_TRUE(openPanel(running));
            running.signal(SIGINT);
            ASSERT_TRUE(running.waitForExit(5000));
            EXPECT_EQ(running.exitCode(), 0);
        }
        const QFileInfo wal(storePath() + QStringLiteral("-wal"));
        EXPECT_TRUE(!wal.exists() || wal.size() == 0)
            << "write-ahead log left with " << wal.size() << " bytes";
        EXPECT_TRUE(QFileInfo::exists(storePath()));
    }
}

TEST_F(ShellEndToEndTest, TheTrayIconTogglesThePanelAndItsAbsenceIsExplainedOnce)
{
    const QString noTray = QStringLiteral("No system tray is running");
    {
        AppProcess app(home.path());
        app.captureOutput();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openPanel(app));
        app.stop();
        EXPECT_EQ(app.output().count(noTray), 1) << app.output().toStdString();
    }

    TrayHost tray;
    ASSERT_TRUE(tray.isRunning());
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());

    const QRect icon = TrayHost::settledAppIcon();
    ASSERT_FALSE(icon.isEmpty()) << "the icon never stood still in the tray";

    ASSERT_TRUE(clickAt(icon.center()));
    ASSERT_TRUE(app.caughtUpWithClick());
    EXPECT_TRUE(waitUntil([&] { return appIsFront(app); }, 20s)) << "a left click did not open the panel";
    const QString screenshot = saveScreenshot(QStringLiteral("panel-from-tray.png"));
    EXPECT_FALSE(QImage(screenshot).isNull());
    ASSERT_TRUE(clickAt(icon.center()));
    ASSERT_TRUE(app.caughtUpWithClick());
    EXPECT_TRUE(waitUntil([&] { return isFront(window.windowId()); }, 20s))
        << "a second click did not hide it";

    app.stop();
    EXPECT_FALSE(app.output().contains(noTray));
}

} // namespace

TEST_F(ShellEndToEndTest, TheColourMenusShortcutsPasteTheColourInTheirFormat)
{
    seedStore({ ClipboardItem::create(ClipboardItemType::color,
        { .text = QStringLiteral("#00ffff"),
            .colorHex = QStringLiteral("#00FFFF"),
            .originalColorFormat = QStringLiteral("hex") }) });
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());

    const struct
    {
        const char *keys;
        const char *pasted;
    } cases[] = {
        { "ctrl+2", "rgb(0, 255, 255)" },
        { "ctrl+4", "hwb(180 0% 0%)" },
    };
    QString expected;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        // The panel opens under the pointer: from the same spot each time, and placed by the
        // window manager before its frame is read, so the row is where the click goes and the
        // pointer moves onto it (a press under a pointer that never moved finds no hover).
        ASSERT_TRUE(xdotool({ QStringLiteral("mousemove"), QStringLiteral("40"), QStringLiteral("40") }));
        ASSERT_TRUE(openPanelShown(app));
        ASSERT_TRUE(app.caughtUpWithClick());
        const Geometry panel = windowGeometry(frontWindow());
        ASSERT_TRUE(panel.valid);
        // The colour's row, the first in the History column.
        const QPoint row = panel.rect.topLeft() + QPoint(100, 140);
        const qsizetype beforeMenu = app.outputMark();
        ASSERT_TRUE(xdotool({ QStringLiteral("mousemove"), QString::number(row.x()), QString::number(row.y()),
            QStringLiteral("click"), QStringLiteral("3") }));
        ASSERT_TRUE(app.waitForMenu(beforeMenu, QStringLiteral("Customize Formats"))) << "no menu";
        saveScreenshot(QStringLiteral("colour-menu-open-%1.png").arg(QLatin1String(c.keys)));
        ASSERT_TRUE(pressKey(QLatin1String(c.keys)));
        expected += QLatin1String(c.pasted);
        EXPECT_TRUE(waitUntil([&] { return window.plainText() == expected; }))
            << "pasted: " << window.plainText().toStdString();
        EXPECT_TRUE(waitUntil([&] { return isFront(window.windowId()); })) << "the focus went back";
    }
}
