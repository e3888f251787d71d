// Pasting with the real app under Xvfb, as the user does it: the panel opened over another
// program's window, an item chosen with Return. A large picture arrives whole in a picture
// program, a text arrives in the terminals (each on its own paste keys), where there is no
// window to paste into the user is told so, and a picture chosen over a window that takes none
// leaves the keys typed on there to that window.

#include "AppEndToEnd.h"
#include "TestWindowProcess.h"
#include "X11TestSupport.h"

#include "model/ClipboardItem.h"
#include "shell/PasteService.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <iostream>

using namespace std::chrono_literals;

namespace {

// A screenshot of a 4K screen: colour gradients with fine detail, so that a row or a pixel
// lost on the way changes what arrives.
QImage fourKScreenshot()
{
    QImage image(3840, 2160, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x * 255 / 3839, y * 255 / 2159, (x ^ y) & 0xff);
    }
    return image;
}

// Ways a window goes away, for `xdotool` (its command, the window, an argument).
std::function<bool(TestWindowProcess &)> xdotoolOnWindow(const char *command, const char *argument = nullptr)
{
    return [command, argument](TestWindowProcess &window) {
        QStringList arguments { QLatin1String(command), QString::number(window.windowId()) };
        if (argument)
            arguments.append(QLatin1String(argument));
        return xdotool(arguments);
    };
}
bool quit(TestWindowProcess &window)
{
    window.stop();
    return true;
}
// A terminal running `cat`, which writes what the terminal types into it (a paste) to a file.
class TerminalProcess final
{
public:
    TerminalProcess(const QString &program, const QStringList &runCommand)
        : m_program(program)
        , m_runCommand(runCommand)
    { }
    ~TerminalProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    bool isInstalled() const { return !QStandardPaths::findExecutable(m_program).isEmpty(); }
    // Starts the terminal and returns once cat is reading; characters reach it as they are
    // typed, and are echoed on the terminal's screen.
    bool start()
    {
        const QString script = QStringLiteral("stty -icanon; exec cat > '%1'").arg(outputPath());
        m_process.start(
            m_program, m_runCommand + QStringList { QStringLiteral("sh"), QStringLiteral("-c"), script });
        return m_process.waitForStarted(5000) && waitUntil([&] { return QFile::exists(outputPath()); }, 20s);
    }
    qint64 processId() const { return m_process.processId(); }
    QString received() const
    {
        QFile file(outputPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QString outputPath() const { return m_folder.filePath(QStringLiteral("received.txt")); }

    QString m_program;
    QStringList m_runCommand;
    QTemporaryDir m_folder;
    QProcess m_process;
};

class PasteEndToEndTest : public AppEndToEndTest
{
protected:
    bool frontIsProcess(qint64 pid)
    {
        const auto front = workspace->frontmostApplication();
        return front && front->processIdentifier == pid;
    }
    // The selection as xclip reads it.
    static QString selection(const char *name)
    {
        return toolOutput(QStringLiteral("xclip"),
            { QStringLiteral("-selection"), QLatin1String(name), QStringLiteral("-o") });
    }
    // Chooses the newest item in the panel with Return, as the user does.
    void pasteNewest(AppProcess &app, const QString &screenshot)
    {
        ASSERT_TRUE(openPanel(app));
        const quint64 panel = frontWindow();
        ASSERT_TRUE(waitUntil([&] { return holdsKeyboard(panel); })) << "the panel did not get the keyboard";
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(screenshot);
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    }
    // The notice that nothing was pasted, while it is on the screen; empty otherwise.
    static QString nothingPastedNotice()
    {
        return toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Nothing was pasted$") });
    }
    // Opens the panel over the window in front, and chooses the newest item with Return once
    // `takeAway` has taken that window away.
    void chooseNewestOnceGone(AppProcess &app, const std::function<bool()> &takeAway, const QString &row)
    {
        ASSERT_TRUE(openPanel(app));
        const quint64 panel = frontWindow();
        ASSERT_TRUE(waitUntil([&] { return holdsKeyboard(panel); })) << "the panel did not get the keyboard";
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(takeAway());
        ASSERT_TRUE(windowManagerCaughtUp());
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(QStringLiteral("paste-shown-over-gone-%1-panel.png").arg(row));
        ASSERT_TRUE(holdsKeyboard(panel)) << "the panel lost the keyboard";
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    }
    // The notice is on the screen and says how to paste by hand, in every kind of terminal too;
    // the item is where it says.
    void expectToldToPasteByHand(AppProcess &app, const QString &item)
    {
        EXPECT_FALSE(nothingPastedNotice().isEmpty()) << "the user was not told";
        EXPECT_TRUE(app.output().contains(QLatin1String(
            "paste it with Control+V; in a terminal with Control+Shift+V, or with Shift+Insert in xterm")))
            << app.output().toStdString();
        EXPECT_EQ(selection("clipboard"), item);
        EXPECT_EQ(selection("primary"), item) << "Shift+Insert in xterm would not paste the item";
    }
    // With the notice left open, the panel shown over it has the keyboard: Escape empties its
    // search, and the search typed then finds the item chosen, which nothing takes either. The
    // second notice in front goes with its OK.
    void searchInThePanelOverTheNotice(AppProcess &app, quint64 notice, const QString &searched, int row)
    {
        ASSERT_TRUE(pressKey(QStringLiteral("ctrl+space")));
        quint64 panel = 0;
        ASSERT_TRUE(waitUntil([&] {
            panel = frontWindow();
            return appIsFront(app) && panel != notice && holdsKeyboard(panel);
        })) << "the panel did not take the keyboard";
        ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("found") }));
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(QStringLiteral("paste-nowhere-%1-panel-over-notice.png").arg(row));
        EXPECT_TRUE(isViewable(notice)) << "Escape in the panel closed the notice under it";
        ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("found by") }));
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(QStringLiteral("paste-nowhere-%1-searched.png").arg(row));
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
        EXPECT_TRUE(waitUntil([&] { return selection("clipboard") == searched; }))
            << "the letters typed did not reach the panel's search; the clipboard holds "
            << selection("clipboard").toStdString();
        EXPECT_TRUE(isViewable(notice)) << "the keys typed into the panel closed the notice under it";
        quint64 second = 0;
        ASSERT_TRUE(waitUntil([&] {
            second = frontWindow();
            return second != notice && nothingPastedNotice().contains(QString::number(second))
                && holdsKeyboard(second);
        })) << "the second notice did not take the keyboard";
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
        EXPECT_TRUE(waitUntil([&] { return !nothingPastedNotice().contains(QString::number(second)); }))
            << "OK did not close the notice";
    }
    // The user types on in the terminal after the paste, across the time the app watches which
    // forms the terminal asks for: nothing takes the keys. A picture that could not be read is
    // told of at once, without the focus; one that was written is not told of, the log says what
    // the terminal asked for, and the picture stays on the clipboard.
    void expectTypingToGoOn(AppProcess &app, TerminalProcess &terminal, bool toldAtOnce)
    {
        const QString typed = QStringLiteral("typing on after the paste");
        ASSERT_TRUE(waitUntil([&] { return frontIsProcess(terminal.processId()); }));
        if (toldAtOnce) {
            ASSERT_TRUE(waitUntil([&] { return !nothingPastedNotice().isEmpty(); }))
                << "the user was not told; the app said: " << app.output().toStdString();
        }
        QElapsedTimer typing;
        typing.start();
        // A key every 125 ms or more (xdotool waits half its delay after a press, half after the
        // release): the typing lasts past the two seconds the app watches the terminal.
        ASSERT_TRUE(
            xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("250"), typed }));
        ASSERT_GT(typing.elapsed(), 2000);
        EXPECT_TRUE(waitUntil([&] { return terminal.received() == typed; }))
            << "the terminal got: " << terminal.received().toStdString();
        ASSERT_TRUE(app.caughtUp());
        saveScreenshot(QStringLiteral("paste-picture-over-xterm-typed-on%1.png")
                           .arg(QLatin1String(toldAtOnce ? "-told" : "")));
        EXPECT_TRUE(frontIsProcess(terminal.processId())) << "the terminal lost the focus";
        if (toldAtOnce) {
            EXPECT_FALSE(nothingPastedNotice().isEmpty()) << "the keys typed closed the notice";
            EXPECT_TRUE(
                app.output().contains(QLatin1String("Nothing was pasted: The picture could not be read")))
                << app.output().toStdString();
            return;
        }
        EXPECT_TRUE(nothingPastedNotice().isEmpty()) << "a notice came up";
        // What the terminal asked for, as the app saw it.
        EXPECT_TRUE(
            app.output().contains(QLatin1String("XTerm asked for none of the picture's forms (UTF8_STRING")))
            << app.output().toStdString();
        const QStringList targets = toolOutput(QStringLiteral("xclip"),
            { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                QStringLiteral("TARGETS"), QStringLiteral("-o") })
                                        .split(QLatin1Char('\n'));
        EXPECT_TRUE(targets.contains(QStringLiteral("image/png")))
            << "the picture is not on the clipboard for pasting elsewhere";
    }
    // The picture program in front got the picture, and nobody was told anything.
    void expectPictureTaken(AppProcess &app, TestWindowProcess &program, const QSize &size)
    {
        EXPECT_TRUE(waitUntil([&] { return program.pastedPicture().size == size; }))
            << "the picture did not arrive";
        // Until the app has stopped waiting for the window's requests, two seconds (Qt lets a
        // timer of two seconds or more fire up to 5 % late).
        ASSERT_TRUE(app.caughtUpAfter(2100ms));
        EXPECT_TRUE(nothingPastedNotice().isEmpty());
        EXPECT_FALSE(app.output().contains(QLatin1String("Nothing was pasted")))
            << app.output().toStdString();
        EXPECT_TRUE(frontIsProcess(program.processId()));
    }
    // Keeps a picture of the screen once the window has drawn what arrived: its place no
    // longer looks as it did before.
    static void saveScreenshotOnceChanged(quint64 window, const QImage &before, const QString &name)
    {
        const QRect area = windowGeometry(window).rect;
        waitUntil([&] { return screenImage().copy(area) != before.copy(area); });
        saveScreenshot(name);
    }
};

TEST_F(PasteEndToEndTest, A4KScreenshotChosenInThePanelArrivesWholeInThePictureProgramInFront)
{
    // A screenshot in the history, and another program's copy on the clipboard since: a paste
    // sent before the screenshot is back on the clipboard pastes that copy instead.
    const QImage screenshot = fourKScreenshot();
    seedStore({ ClipboardItem::create(ClipboardItemType::media,
        { .mediaThumbnailData = encoded(screenshot.scaled(80, 80), "png"),
            .mediaImageData = encoded(screenshot, "png"),
            .mediaSubtypeRaw = QStringLiteral("image") }) });
    copyFromOutside(QStringLiteral("copied after the screenshot"));
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window, TestWindowProcess::Focus::picture));
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());

    const QImage before = screenImage();
    ASSERT_NO_FATAL_FAILURE(pasteNewest(app, QStringLiteral("paste-picture-panel.png")));
    QElapsedTimer sinceReturn;
    sinceReturn.start();
    ASSERT_TRUE(waitUntil([&] { return window.pastedPicture().pastes > 0; }, 60s)) << "nothing was pasted";
    const TestWindowProcess::PastedPicture pasted = window.pastedPicture();
    std::cout << "the picture arrived " << sinceReturn.elapsed() << " ms after Return\n";
    EXPECT_EQ(pasted.pastes, 1);
    EXPECT_EQ(pasted.size, QSize(3840, 2160)) << "the paste came before the picture was on the clipboard";
    EXPECT_EQ(pasted.digest, TestWindowProcess::pixelDigest(screenshot)) << "the picture arrived changed";
    EXPECT_TRUE(isFront(window.windowId()));
    saveScreenshotOnceChanged(window.windowId(), before, QStringLiteral("paste-picture-arrived.png"));
}

TEST_F(PasteEndToEndTest, ATextChosenInThePanelArrivesInTheTerminalInFront)
{
    const struct
    {
        const char *name;
        QString program;
        QStringList runCommand;
        // xterm pastes the PRIMARY selection (on Shift+Insert), the others the clipboard.
        bool pastesPrimary;
    } cases[] = {
        { "xterm", QStringLiteral("xterm"), { QStringLiteral("-e") }, true },
        { "xfce4-terminal", QStringLiteral("xfce4-terminal"),
            { QStringLiteral("--disable-server"), QStringLiteral("-x") }, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QStringLiteral("tindlewick pasted this into %1").arg(QLatin1String(c.name));
        seedStore({ text });
        // The app holds its shortcut before the terminal is in front: a Control+Space typed
        // into the terminal would reach cat.
        AppProcess app(home.path());
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app));
        TerminalProcess terminal(c.program, c.runCommand);
        ASSERT_TRUE(terminal.isInstalled()) << c.name << " is missing: scripts/test-packages.txt installs it";
        ASSERT_TRUE(terminal.start()) << c.name << " did not start";
        ASSERT_TRUE(waitUntil([&] { return frontIsProcess(terminal.processId()); }));
        // Another program's selection, which the terminal would paste if the app left it.
        QGuiApplication::clipboard()->setText(QStringLiteral("a stale selection"), QClipboard::Selection);

        const QImage before = screenImage();
        ASSERT_NO_FATAL_FAILURE(
            pasteNewest(app, QStringLiteral("paste-%1-panel.png").arg(QLatin1String(c.name))));
        EXPECT_TRUE(waitUntil([&] { return terminal.received() == text; }, 20s))
            << "the terminal got: " << terminal.received().toStdString();
        EXPECT_TRUE(frontIsProcess(terminal.processId())) << "the focus went back to the terminal";
        EXPECT_EQ(selection("clipboard"), text);
        if (c.pastesPrimary) {
            EXPECT_EQ(selection("primary"), text);
        } else {
            EXPECT_TRUE(QGuiApplication::clipboard()->ownsSelection())
                << "the app took the primary selection";
        }
        const auto front = workspace->frontmostApplication();
        saveScreenshotOnceChanged(front ? front->windowId : 0, before,
            QStringLiteral("paste-%1-arrived.png").arg(QLatin1String(c.name)));
        QGuiApplication::clipboard()->clear(QClipboard::Selection);
    }
}

// Where no other program's window was in front when the panel showed (none is open, or the
// desktop was clicked last), nothing is typed into the window the window manager focuses when the
// panel hides: the user is told, framed as a dialog, and the item stays on the clipboard. The
// notice, left open, keeps nothing from the next panel: the panel has the keyboard, its search
// takes the letters typed, and its Escape leaves the notice alone.
TEST_F(PasteEndToEndTest, WithNoWindowToPasteIntoTheUserIsToldAndTheItemStaysOnTheClipboard)
{
    const QString text = QStringLiteral("no window wanted this");
    const QString searched = QStringLiteral("found by the search");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<ClipboardItemPtr> items;
    for (const QString &itemText : { searched, text }) {
        items.append(ClipboardItem::create(ClipboardItemType::text, { .text = itemText }));
        items.last()->setTimestamp(now.addSecs(items.size()));
    }
    seedStore(items);
    const struct
    {
        const char *name;
        // A window is open, and the desktop was clicked after it.
        bool windowOpen;
    } cases[] = {
        { "no window open", false },
        { "a window open, the desktop clicked", true },
    };
    int row = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ++row;
        TestWindowProcess window;
        if (c.windowOpen) {
            ASSERT_TRUE(startInFront(window));
            ASSERT_TRUE(clickAt(QPoint(1880, 1040)));
        }
        ASSERT_TRUE(waitUntil([&] { return !workspace->frontmostApplication(); })) << "a window is active";
        AppProcess app(home.path());
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_NO_FATAL_FAILURE(pasteNewest(app, QStringLiteral("paste-nowhere-%1-panel.png").arg(row)));

        ASSERT_TRUE(
            waitUntil([&] { return !nothingPastedNotice().isEmpty() || !window.plainText().isEmpty(); }, 30s))
            << "the user was not told; in front: "
            << workspace->frontmostApplication().value_or(RunningApplication()).windowClass.toStdString()
            << "; the app said: " << app.output().toStdString();
        ASSERT_TRUE(app.caughtUp()); // drawn
        saveScreenshot(QStringLiteral("paste-nowhere-%1-notice.png").arg(row));
        EXPECT_EQ(window.plainText(), QString()) << "the item was typed into the window focused next";
        ASSERT_FALSE(nothingPastedNotice().isEmpty()) << "the user was not told";
        ASSERT_NO_FATAL_FAILURE(expectToldToPasteByHand(app, text));
        const quint64 notice = nothingPastedNotice().split(QLatin1Char('\n')).first().toULongLong();
        EXPECT_TRUE(waitUntil([&] { return isFront(notice); })) << "the notice did not take the focus";
        const QString notADialog = notADialogBecause(notice);
        EXPECT_TRUE(notADialog.isEmpty()) << "the notice is no dialog: " << notADialog.toStdString();

        ASSERT_NO_FATAL_FAILURE(searchInThePanelOverTheNotice(app, notice, searched, row));
        EXPECT_EQ(window.plainText(), QString()) << "the item was typed into the window focused next";
    }
}

// The window the panel was shown over goes while the panel is open: the window manager focuses
// another one as the panel hides, and nothing is typed into it, a terminal's shell least of all.
// The user is told, and pastes by hand from the clipboard or the primary selection.
TEST_F(PasteEndToEndTest, NothingIsTypedIntoAWindowFocusedInPlaceOfTheOneShownOver)
{
    const QString text = QStringLiteral("meant for the window shown over");
    seedStore({ text });
    const struct
    {
        const char *name;
        // Takes the window shown over away while the panel is open.
        std::function<bool(TestWindowProcess &)> takeAway;
        bool terminalBehind;
    } cases[] = {
        { "the window quits", quit, false },
        { "the window quits, an xterm behind", quit, true },
        { "the window is unmapped", xdotoolOnWindow("windowunmap"), false },
        { "the window moves to another desktop", xdotoolOnWindow("set_desktop_for_window", "1"), false },
        { "the user goes to an empty desktop", [](TestWindowProcess &) { return switchToDesktop(1); },
            false },
    };
    int row = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppProcess app(home.path());
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app));
        TestWindowProcess behind;
        TerminalProcess terminal(QStringLiteral("xterm"), { QStringLiteral("-e") });
        ASSERT_TRUE(c.terminalBehind ? terminal.start() : startInFront(behind));
        TestWindowProcess shownOver;
        ASSERT_TRUE(startInFront(shownOver));
        ASSERT_NO_FATAL_FAILURE(chooseNewestOnceGone(
            app, [&] { return c.takeAway(shownOver); }, QString::number(++row)));

        const auto typed
            = [&]() -> QString { return behind.plainText() + terminal.received() + shownOver.plainText(); };
        ASSERT_TRUE(waitUntil([&] { return !nothingPastedNotice().isEmpty() || !typed().isEmpty(); }, 30s))
            << "the user was not told; the app said: " << app.output().toStdString();
        ASSERT_TRUE(app.caughtUpAfter(PasteService::focusReturnWait));
        saveScreenshot(QStringLiteral("paste-shown-over-gone-%1-notice.png").arg(row));
        EXPECT_EQ(behind.plainText(), QString()) << "the item was typed into the window behind";
        EXPECT_EQ(terminal.received(), QString()) << "the item was typed into the terminal behind";
        EXPECT_EQ(shownOver.plainText(), QString())
            << "the item was typed into a window the user does not see";
        ASSERT_NO_FATAL_FAILURE(expectToldToPasteByHand(app, text));
        ASSERT_TRUE(switchToDesktop(0));
    }
}

TEST_F(PasteEndToEndTest, APictureChosenOverAWindowThatTakesNoneOfItsFormsLeavesTheTypingThereAlone)
{
    const QImage picture = fourKScreenshot().scaled(320, 180);
    const QByteArray png = encoded(picture, "png");
    TerminalProcess terminal(QStringLiteral("xterm"), { QStringLiteral("-e") });
    TerminalProcess secondTerminal(QStringLiteral("xterm"), { QStringLiteral("-e") });
    TestWindowProcess pictureProgram;
    const auto startTerminal = [](TerminalProcess &process) {
        return [&process] { return process.start() ? process.processId() : 0; };
    };
    const struct
    {
        const char *name;
        // Starts the window in front; its process.
        std::function<qint64()> start;
        // The terminal in front; none for the picture program.
        TerminalProcess *typedInto;
        // Whole headers, and half the pixels when not: the user is told at once that nothing was
        // pasted.
        bool readable;
    } cases[] = {
        { "xterm, which pastes text alone", startTerminal(terminal), &terminal, true },
        { "xterm, with a picture that cannot be read", startTerminal(secondTerminal), &secondTerminal,
            false },
        { "a picture program",
            [&] {
                return pictureProgram.start(TestWindowProcess::Focus::picture) ? pictureProgram.processId()
                                                                               : 0;
            },
            nullptr, true },
    };
    int row = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        seedStore({ ClipboardItem::create(ClipboardItemType::media,
            { .mediaThumbnailData = encoded(picture.scaled(80, 80), "png"),
                .mediaImageData = c.readable ? png : png.left(png.size() / 2),
                .mediaSubtypeRaw = QStringLiteral("image") }) });
        AppProcess app(home.path());
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app));
        const qint64 front = c.start();
        ASSERT_NE(front, 0) << "the window did not start";
        ASSERT_TRUE(waitUntil([&] { return frontIsProcess(front); }));

        ASSERT_NO_FATAL_FAILURE(
            pasteNewest(app, QStringLiteral("paste-picture-over-window-%1-panel.png").arg(++row)));
        if (c.typedInto) {
            ASSERT_NO_FATAL_FAILURE(expectTypingToGoOn(app, *c.typedInto, !c.readable));
        } else {
            ASSERT_NO_FATAL_FAILURE(expectPictureTaken(app, pictureProgram, picture.size()));
        }
    }
}

} // namespace
