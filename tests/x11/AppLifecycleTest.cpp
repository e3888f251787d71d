// The program itself on a real X server: it starts, stays up, and on SIGTERM saves,
// checkpoints its store and exits cleanly.
#include "AppEndToEnd.h"
#include "NotificationHost.h"
#include "RawClipboardOwner.h"
#include "TestWindowProcess.h"
#include "TrayHost.h"
#include "XServerRelay.h"

#include "model/StoreTestSupport.h"
#include "support/HugeTexts.h"
#include "support/SmallDisk.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrl>

#include <csignal>
#include <cstdio>

#include <unistd.h>

static void expectTheLogFoldedInto(const QString &store)
{
    const QFileInfo wal(store + QStringLiteral("-wal"));
    EXPECT_TRUE(!wal.exists() || wal.size() == 0) << "the write-ahead log is folded into the store at quit";
}

TEST(AppLifecycleTest, StaysUpUntilToldToQuitAndLeavesTheStoreCheckpointed)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    QProcess app;
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(QStringLiteral(TINDLEWICK_APP_PATH), {});
    ASSERT_TRUE(app.waitForStarted(5000));

    const QString store = home.path() + QStringLiteral("/data/Tindlewick/default.store");
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(store); }, std::chrono::seconds(20)));
    EXPECT_FALSE(app.waitForFinished(1500)) << "the app must stay up";

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    expectTheLogFoldedInto(store);
}

TEST(AppLifecycleTest, WithoutADisplayItExplainsAndExits)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess app;
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(TINDLEWICK_APP_PATH), {});
    ASSERT_TRUE(app.waitForFinished(5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
    EXPECT_TRUE(app.readAllStandardError().contains("needs an X11 display"));
}

namespace {

// The newest item in the store at path, read as another process: its whole text, the file it
// names and whether it keeps that file's identity on disk. Nothing when the store or the item
// is not there.
struct NewestItem
{
    std::optional<QString> text;
    std::optional<QUrl> file;
    bool fileBookmarked = false;
};
std::optional<NewestItem> newestItem(const QString &path);
std::optional<QString> newestText(const QString &path)
{
    const std::optional<NewestItem> newest = newestItem(path);
    return newest ? newest->text : std::nullopt;
}

// A copy made before a SIGTERM, and when the signal comes.
struct CopyBeforeQuit
{
    const char *name;
    QByteArray text;
    QString target; // empty: copied with xclip; else by an owner that has it once copy() returns
    std::vector<int> delaysMs;
    // The app reaches the X server through the relay, which holds the server's notice of the copy
    // until the app next asks the server anything.
    bool noticeOnItsWay = false;
};

class AppLifecycleX11Test : public AppEndToEndTest
{
protected:
    enum class Moment { afterDelay, storeOpened, trayIconShown, shortcutTaken, firstCopyRead };

    // Waits for the moment of the app's start (with its store at `store`); false when it never came.
    bool reach(Moment moment, AppProcess &app, const QString &store)
    {
        switch (moment) {
        case Moment::afterDelay:
            return true;
        case Moment::storeOpened:
            return waitUntil([&] { return QFileInfo(QFileInfo(store).canonicalFilePath()).size() > 0; },
                std::chrono::seconds(20));
        case Moment::trayIconShown:
            return waitUntil([] { return !TrayHost::appIcon().isEmpty(); }, std::chrono::seconds(20));
        case Moment::shortcutTaken:
            return openPanel(app);
        case Moment::firstCopyRead:
            return waitUntil(
                [&] {
                    copyFromOutside(QStringLiteral("the first copy"));
                    return waitUntil([&] { return newestText(store) == QStringLiteral("the first copy"); },
                        std::chrono::milliseconds(600));
                },
                std::chrono::seconds(20));
        }
        return false;
    }

    std::string sigtermAfterCopy(
        const CopyBeforeQuit &row, int delayMs, const QUrl &file, XServerRelay &relay);

    void removeTheStore()
    {
        for (const char *suffix : { "", "-wal", "-shm" })
            QFile::remove(storePath() + QLatin1String(suffix));
    }

    // Starts the app and uses it as in a long session: the copies made, the panel shown and an
    // item pasted after `downs` presses of Down (the app then owns the clipboard), the settings
    // opened; `stored` counts the copies the store has.
    void useForALongSession(AppProcess &app, const TestWindowProcess &window,
        const QList<std::pair<QByteArray, QString>> &copies, int downs, qint64 *stored)
    {
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app));
        ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
        for (const auto &[bytes, type] : copies) {
            ASSERT_TRUE(external.copyWithXclip(bytes, type));
            ++*stored;
            ASSERT_TRUE(waitUntil([&] { return storedItems().size() == *stored; }, std::chrono::seconds(30)))
                << "copy " << *stored << " not stored";
            QTest::qWait(260);
        }
        ASSERT_TRUE(openPanel(app));
        for (int i = 0; i < downs; ++i)
            ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
        ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
        QProcess settings;
        settings.setProcessEnvironment(privateHomeEnvironment(home.path()));
        settings.start(appPath(), { QStringLiteral("--settings") });
        ASSERT_TRUE(settings.waitForFinished(10'000));
        ASSERT_TRUE(waitUntil([&] {
            return toolOutput(QStringLiteral("xdotool"),
                { QStringLiteral("getactivewindow"), QStringLiteral("getwindowname") })
                .contains(QLatin1String("Tindlewick Settings"));
        }));
    }
};

std::optional<NewestItem> newestItem(const QString &path)
{
    // Opening would make a store that is not there yet.
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QString error;
    std::unique_ptr<ModelContainer> container = ModelContainer::open(path, &error);
    if (!container)
        return std::nullopt;
    std::unique_ptr<ModelContext> context = container->makeContext();
    const QList<ClipboardItemPtr> items = context->fetch(FetchDescriptor::newestFirst()).items;
    if (items.isEmpty())
        return std::nullopt;
    const ClipboardItem &newest = *items.first();
    return NewestItem { newest.fullText(), newest.fileURL(),
        !newest.fileBookmarkData().value_or(QByteArray()).isEmpty() };
}

// What of a copy the newest item in the store lacks: empty when it is that copy, a file with
// its identity on disk or a text.
std::string whatIsLost(
    const std::optional<NewestItem> &newest, const std::optional<QUrl> &file, const QByteArray &text)
{
    if (!newest)
        return "nothing in the store";
    if (file) {
        if (newest->file != file)
            return "another item is the newest";
        return newest->fileBookmarked ? "" : "the file kept without its identity on disk";
    }
    return newest->text == QString::fromUtf8(text) ? "" : "another item is the newest";
}

// 3,000 small Python functions, some 450 KB: code the capture stores and highlights.
QByteArray largeCode()
{
    QByteArray code;
    for (int i = 0; i < 3000; ++i)
        code += QStringLiteral("def scaled_value_%1(value, scale=%2):\n"
                               "    \"\"\"Return the value scaled by %2, plus one.\"\"\"\n"
                               "    result = value * scale + 1\n"
                               "    return result\n\n")
                    .arg(i, 4, 10, QLatin1Char('0'))
                    .arg(i % 7 + 2)
                    .toUtf8();
    return code;
}

// About 70 copies (with the type xclip gives them): code, pictures, texts and a 924 KB code text.
QList<std::pair<QByteArray, QString>> aLongSessionsCopies()
{
    QList<std::pair<QByteArray, QString>> copies;
    for (int i = 0; i < 40; ++i)
        copies.append({ QStringLiteral("def handler_%1(request):\n    if request.user is None:\n        "
                                       "return forbidden(%1)\n    return render(request, \"page_%1.html\")\n")
                            .arg(i)
                            .toUtf8(),
            QString() });
    for (int i = 0; i < 10; ++i)
        copies.append({ encoded(bands(1920 - i * 16, 1080), "png"), QStringLiteral("image/png") });
    for (int i = 0; i < 18; ++i)
        copies.append({ QStringLiteral("An everyday note, number %1.").arg(i).toUtf8(), QString() });
    QByteArray bigCode;
    while (bigCode.size() < 924 * 1024)
        bigCode += QStringLiteral("def step_%1(state):\n    state.count += %1\n    return state\n\n")
                       .arg(bigCode.size())
                       .toUtf8();
    copies.append({ bigCode, QString() });
    return copies;
}

} // namespace

// A fresh app on a fresh store, ended by SIGTERM `delayMs` after the copy: empty when it ended
// cleanly with the copy kept, else what went wrong.
std::string AppLifecycleX11Test::sigtermAfterCopy(
    const CopyBeforeQuit &row, int delayMs, const QUrl &file, XServerRelay &relay)
{
    QTemporaryDir runHome;
    QDir().mkpath(runHome.path() + QStringLiteral("/data/Tindlewick"));
    AppProcess app(runHome.path());
    app.enableTestHooks();
    if (row.noticeOnItsWay)
        app.setEnvironment(QStringLiteral("DISPLAY"), relay.display());
    if (!app.start())
        return "the app did not start";
    // Its event loop runs: the capture watches the clipboard. (A barrier set before the app
    // watched for it is never answered: asked again.)
    if (!waitUntil([&] { return app.caughtUp(std::chrono::milliseconds(300)); }, std::chrono::seconds(20)))
        return "the app never caught up";
    if (row.noticeOnItsWay)
        relay.holdServerMessages();
    RawClipboardOwner owner;
    if (!(row.target.isEmpty() ? external.copyWithXclip(row.text) : owner.copy({ { row.target, row.text } })))
        return "the copy was not made";
    QTest::qWait(delayMs);
    app.signal(SIGTERM);
    if (!app.waitForExit(20'000))
        return "still running 20 s after SIGTERM";
    if (app.crashed() || app.exitCode() != 0)
        return "no clean exit: " + app.errors().right(2000).toStdString();
    return whatIsLost(newestItem(runHome.path() + QStringLiteral("/data/Tindlewick/default.store")),
        row.target == QLatin1String("text/uri-list") ? std::optional(file) : std::nullopt, row.text);
}

// A logout or a restart can end the app at any moment of the work a copy sets off (reading,
// detecting, saving, highlighting): it ends cleanly every time, and the copy is kept, also one
// made a moment before the signal that the app had not even seen yet (the server's notice of it
// still on its way to the app as the signal comes), and a copied file with its identity on disk
// (by which it is found again once moved).
TEST_F(AppLifecycleX11Test, SigtermAtAnyMomentAfterACopyEndsTheAppCleanlyWithTheCopyKept)
{
    QTemporaryFile report(QDir::tempPath() + QStringLiteral("/report-XXXXXX.txt"));
    ASSERT_TRUE(report.open());
    const QUrl fileUrl = QUrl::fromLocalFile(report.fileName());
    XServerRelay relay;
    ASSERT_TRUE(relay.isListening());
    const std::vector<int> later = { 100, 150, 200, 250, 300, 350, 400, 500, 600, 700, 800 };
    const CopyBeforeQuit rows[] = {
        { "450 KB of Python", largeCode(), {}, later },
        { "3 MB of base64", base64Lines(2'300'000), {}, later },
        { "a short text", "a short text", QStringLiteral("UTF8_STRING"), { 0, 10, 50 } },
        { "a file", fileUrl.toEncoded() + "\r\n", QStringLiteral("text/uri-list"), { 0, 10, 50, 200 } },
        { "a short text, its notice on its way", "a short text", QStringLiteral("UTF8_STRING"), { 0 }, true },
        { "a file, its notice on its way", fileUrl.toEncoded() + "\r\n", QStringLiteral("text/uri-list"),
            { 0 }, true },
    };
    int failures = 0;
    int runs = 0;
    for (const CopyBeforeQuit &row : rows) {
        for (const int delayMs : row.delaysMs) {
            SCOPED_TRACE(
                QStringLiteral("%1, SIGTERM %2 ms after the copy").arg(row.name).arg(delayMs).toStdString());
            const qint64 heldBefore = relay.bytesHeldThenPassedOn();
            const std::string failed = sigtermAfterCopy(row, delayMs, fileUrl, relay);
            ++runs;
            failures += failed.empty() ? 0 : 1;
            EXPECT_EQ(failed, "");
            if (row.noticeOnItsWay) {
                EXPECT_GT(relay.bytesHeldThenPassedOn(), heldBefore) << "the relay held nothing back";
            }
        }
    }
    std::printf("[ measured ] SIGTERM after a copy: %d of %d runs failed\n", failures, runs);
}

// A text as a program sends it that takes msPerForm over each form: as text and as HTML, and with
// the page it was copied from.
QList<RawClipboardOwner::Target> slowForms(const QString &text, int msPerForm, bool withSourcePage)
{
    QList<RawClipboardOwner::Target> forms
        = { { QStringLiteral("UTF8_STRING"), text.toUtf8(), {}, msPerForm },
              { QStringLiteral("text/html"), "<p>" + text.toUtf8() + "</p>", {}, msPerForm } };
    if (withSourcePage)
        forms.append({ QStringLiteral("chromium/x-source-url"), "https://example.org/notes", {}, msPerForm });
    return forms;
}

// However the app is asked to quit (a later start of it, SIGTERM as at a logout, SIGINT as with
// Control+C in its terminal, SIGHUP as when that terminal closes), it takes the same road: a copy
// a slow program is still sending (about a second for the whole of it) is read to its end and
// kept, and the app ends cleanly. A copy that takes longer than the quit may wait is not kept, and
// the log says so once the app is past keeping it; it says so of no copy that was kept, also when
// the sending ends about as the wait for it does.
TEST_F(AppLifecycleX11Test, EveryWayOfQuittingKeepsACopyASlowProgramIsStillSending)
{
    enum class Kept { yes, no, eitherAsTheLogSays };
    const struct
    {
        const char *name;
        int signalNumber; // 0: the app is started again instead
        int msPerForm; // how long the program takes over each form
        bool withSourcePage; // a third form, the page it was copied from
        Kept kept;
    } rows[] = {
        { "a later start", 0, 500, false, Kept::yes },
        { "SIGTERM", SIGTERM, 500, false, Kept::yes },
        { "SIGINT", SIGINT, 500, false, Kept::yes },
        { "SIGHUP", SIGHUP, 500, false, Kept::yes },
        { "a later start, the copy sent in about 1.6 s", 0, 800, false, Kept::eitherAsTheLogSays },
        { "SIGTERM, the copy sent in about 2.1 s", SIGTERM, 700, true, Kept::no },
    };
    const QString notKept = QStringLiteral(
        "[Quit] A copy being read or saved as the app quit did not reach the store: it is not kept\n");
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir runHome;
        const QString store = runHome.path() + QStringLiteral("/data/Tindlewick/default.store");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(store).path()));
        AppProcess app(runHome.path());
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(waitUntil(
            [&] { return app.caughtUp(std::chrono::milliseconds(300)); }, std::chrono::seconds(20)));
        const QString text = QStringLiteral("sent slowly before %1").arg(QLatin1String(row.name));
        RawClipboardOwner slow;
        ASSERT_TRUE(slow.copy(slowForms(text, row.msPerForm, row.withSourcePage)));
        // The app has begun to read it: it knows the forms offered.
        ASSERT_TRUE(slow.waitUntilAsked(QStringLiteral("TARGETS")));
        AppProcess again(runHome.path());
        if (row.signalNumber == 0) {
            ASSERT_TRUE(again.start());
        } else {
            app.signal(row.signalNumber);
        }
        ASSERT_TRUE(app.waitForExit(10'000)) << "still running 10 s after it was asked to quit";
        EXPECT_FALSE(app.crashed());
        EXPECT_EQ(app.exitCode(), 0);
        const bool kept = newestText(store) == text;
        if (row.kept == Kept::yes) {
            EXPECT_EQ(slow.requests().count(QStringLiteral("text/html")), 1)
                << "the copy was not read to its end";
        }
        if (row.kept == Kept::eitherAsTheLogSays) {
            std::printf("[ measured ] %s: the copy %s\n", row.name, kept ? "kept" : "not kept");
        } else {
            EXPECT_EQ(kept, row.kept == Kept::yes);
        }
        EXPECT_EQ(app.output().contains(notKept), !kept) << app.output().toStdString();
    }
}

// A long text is written to the store on the store's own thread. While another program holds
// the store, that writing waits, and so does the quit's wait for the copy, until it gives up; the
// program lets go a moment later, within the time the quit keeps for the store, the writing ends,
// and the copy is kept. The log names the wait that gave up, and of no copy does it say that it
// was not kept.
TEST_F(AppLifecycleX11Test, ALongTextWrittenAfterTheWaitForItGaveUpIsKeptAndNotSaidToBeLost)
{
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(
        waitUntil([&] { return app.caughtUp(std::chrono::milliseconds(300)); }, std::chrono::seconds(20)));
    ASSERT_TRUE(app.settles());
    const QByteArray text
        = QByteArray("a line of a long build log, saved as the app quits\n").repeated(80'000);
    StoreLockHolder lock(storePath(), std::chrono::seconds(30));
    ASSERT_TRUE(lock.isLocked());
    RawClipboardOwner owner;
    ASSERT_TRUE(owner.copy({ { QStringLiteral("UTF8_STRING"), text } }));
    ASSERT_TRUE(owner.waitUntilAsked(QStringLiteral("UTF8_STRING")));
    // Read and looked through: its writing waits for the store.
    ASSERT_TRUE(app.settles());
    AppProcess again(home.path());
    ASSERT_TRUE(again.start());
    const QString gaveUp = QStringLiteral(
        "[Quit] A copy being read or saved had not ended 1.5 s after the quit began: left behind\n");
    ASSERT_TRUE(waitUntil([&] { return app.output().contains(gaveUp); }, std::chrono::seconds(10)))
        << app.output().toStdString();
    lock.release();
    ASSERT_TRUE(app.waitForExit(10'000));
    EXPECT_FALSE(app.crashed());
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(newestText(storePath()), QString::fromUtf8(text));
    EXPECT_FALSE(app.output().contains(QLatin1String("not kept"))) << app.output().toStdString();
}

// A SIGTERM is never lost, whenever in the start it comes: before or after the store opens, the
// shortcut is taken, the icon is in the tray, the first copy is read; with a store that is a
// symbolic link to nothing yet, too. The app ends within 2 s every time.
TEST_F(AppLifecycleX11Test, SigtermAtAnyMomentOfTheStartEndsTheAppWithinTwoSeconds)
{
    TrayHost tray;
    ASSERT_TRUE(tray.isRunning());
    struct Row
    {
        Moment moment;
        int delayMs = 0; // after the start, or after the moment
        bool danglingStore = false;
    };
    std::vector<Row> rows;
    for (const bool dangling : { false, true }) {
        for (const int delayMs : { 0, 5, 15, 30, 50, 80, 120, 170, 250, 350, 500, 700, 1000, 1500 })
            rows.push_back({ Moment::afterDelay, delayMs, dangling });
        for (const Moment moment :
            { Moment::storeOpened, Moment::trayIconShown, Moment::shortcutTaken, Moment::firstCopyRead }) {
            for (const int delayMs : { 0, 30, 200 })
                rows.push_back({ moment, delayMs, dangling });
        }
    }
    int lost = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(QStringLiteral("moment %1 + %2 ms%3")
                         .arg(int(row.moment))
                         .arg(row.delayMs)
                         .arg(row.danglingStore ? QStringLiteral(", dangling store") : QString())
                         .toStdString());
        QTemporaryDir runHome;
        const QString folder = runHome.path() + QStringLiteral("/data/Tindlewick");
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString store = folder + QStringLiteral("/default.store");
        if (row.danglingStore) {
            ASSERT_TRUE(QFile::link(runHome.path() + QStringLiteral("/elsewhere.store"), store));
        }
        AppProcess app(runHome.path());
        ASSERT_TRUE(app.start());
        EXPECT_TRUE(reach(row.moment, app, store));
        QTest::qWait(row.delayMs);
        app.signal(SIGTERM);
        const bool ended = app.waitForExit(2000);
        if (!ended)
            ++lost;
        EXPECT_TRUE(ended) << "still running 2 s after SIGTERM";
        if (ended && !app.crashed()) {
            EXPECT_EQ(app.exitCode(), 0);
        }
    }
    std::printf("[ measured ] SIGTERM during the start: %d of %zu not ended within 2 s\n", lost, rows.size());
}

// What a program reads from the clipboard as type: nothing when xclip fails.
std::optional<QByteArray> clipboardAs(const QString &type)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
        { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
            QStringLiteral("-t"), type });
    if (!xclip.waitForFinished(10'000) || xclip.exitStatus() != QProcess::NormalExit || xclip.exitCode() != 0)
        return std::nullopt;
    return xclip.readAllStandardOutput();
}

// How many malloc heaps the C library made for the process's threads beside the main one, each
// with free pages of its own: a reservation of 64 MiB at an address aligned to it, written from
// its start and inaccessible past that. -1 when the map cannot be read.
int threadHeapsOf(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    constexpr quint64 heapReservation = 64ull << 20;
    int heaps = 0;
    quint64 heapStart = 0;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields[4] != "0")
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        const quint64 start = range.value(0).toULongLong(nullptr, 16);
        const quint64 end = range.value(1).toULongLong(nullptr, 16);
        if (fields.size() == 5 && start % heapReservation == 0 && fields[1] == "rw-p") {
            heapStart = start;
            heaps += end - start == heapReservation ? 1 : 0;
        } else if (heapStart != 0 && fields[1] == "---p" && end == heapStart + heapReservation) {
            ++heaps;
        }
    }
    return heaps;
}

// The name the process goes by in ps, top and pgrep.
std::string processNameOf(qint64 pid)
{
    QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
    return name.open(QIODevice::ReadOnly) ? name.readAll().trimmed().toStdString() : std::string();
}

// The processes `pgrep -x` finds by that name.
QList<qint64> processesNamed(const QString &name)
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), { QStringLiteral("-x"), name });
    pgrep.waitForFinished(10'000);
    QList<qint64> pids;
    for (const QByteArray &line : pgrep.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            pids.append(line.toLongLong());
    }
    return pids;
}

// The app runs with two malloc heaps, however many threads it started, under its own name.
void expectTheHeapsAndTheName(qint64 pid)
{
    EXPECT_EQ(threadHeapsOf(pid), 1) << "one heap shared by every thread beside the main one";
    // The program's file name ("tindlewick"), cut as the kernel cuts it.
    const QString name = QFileInfo(appPath()).fileName().left(15);
    EXPECT_EQ(processNameOf(pid), name.toStdString()) << "what ps and top show";
    EXPECT_TRUE(processesNamed(name).contains(pid)) << "pgrep -x " << name.toStdString();
}

// Sends SIGTERM and prints how long the app took to end; false when it did not end in 20 s.
bool endAndPrintTheTime(AppProcess &app, const QString &after, int withinMs = 20'000)
{
    QElapsedTimer clock;
    clock.start();
    app.signal(SIGTERM);
    const bool ended = app.waitForExit(withinMs);
    const qint64 quitMs = clock.elapsed();
    std::printf("[ measured ] SIGTERM %s: %s\n", qPrintable(after),
        ended ? qPrintable(QStringLiteral("the app ended in %1 ms").arg(quitMs))
              : qPrintable(QStringLiteral("did not end within %1 ms").arg(withinMs)));
    return ended;
}

// The manager saved what the app had on the clipboard and serves it as type now the app is gone:
// the expected bytes, or the picture when there are none.
void expectKeptByTheManager(
    RawClipboardOwner &manager, const QString &type, const QByteArray &expected, const QImage &picture)
{
    EXPECT_TRUE(waitUntil([&] { return manager.lines().contains(QStringLiteral("serving")); }))
        << "the manager never took the clipboard over";
    std::printf("[ measured ] the manager's part: %s\n",
        qPrintable(
            manager.lines().filter(QRegularExpression(QStringLiteral("^(fetched|saved)"))).join(u", ")));
    const std::optional<QByteArray> kept = clipboardAs(type);
    ASSERT_TRUE(kept) << "nothing on the clipboard as " << type.toStdString() << " after the quit";
    if (expected.isEmpty()) {
        EXPECT_EQ(QImage::fromData(*kept).convertToFormat(picture.format()), picture);
    } else {
        EXPECT_TRUE(*kept == expected) << kept->size() << " bytes kept";
    }
}

// After a long session on a desktop with a tray and a notification area (code, pictures and a
// large code text copied, the panel shown and an item pasted, the settings opened), SIGTERM still
// ends the app at once, with everything it captured saved; with a clipboard manager, too, which
// the app hands the pasted item (it owns the clipboard then) before it ends, so that the item stays
// on the clipboard. That handover waits for the manager to save every form (Qt gives it up to
// 5 s): a slow manager makes a slow quit. Prints the time each quit took.
TEST_F(AppLifecycleX11Test, AfterLongUseSigtermEndsTheAppQuicklyWithEverythingSaved)
{
    NotificationHost notices;
    ASSERT_TRUE(notices.isRunning());
    TrayHost tray;
    ASSERT_TRUE(tray.isRunning());
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    ASSERT_NO_FATAL_FAILURE(seedSettings(R"({"historyLimit": 100})"));
    const QList<std::pair<QByteArray, QString>> copies = aLongSessionsCopies();
    const QImage newestPicture = bands(1920 - 9 * 16, 1080);

    struct Row
    {
        const char *name;
        bool manager = false;
        int managerMsPerForm = 0; // how long the manager takes over each form it saves
        // Downs in the panel before the paste (the first selects the newest): the large code
        // text, 18 notes, then the pictures.
        int downs = 0;
        // What the clipboard is to have after the quit, when a manager keeps it (no bytes: the picture).
        QString type;
        QByteArray expected;
    };
    const Row rows[] = {
        { "no clipboard manager, a note pasted", false, 0, 2, {}, {} },
        { "a clipboard manager, the 924 KB code text pasted", true, 0, 1, QStringLiteral("UTF8_STRING"),
            copies.last().first },
        { "a clipboard manager, a picture pasted", true, 0, 20, QStringLiteral("image/png"), {} },
        { "a clipboard manager taking 400 ms over each form, the 924 KB code text pasted", true, 400, 1,
            QStringLiteral("UTF8_STRING"), copies.last().first },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        removeTheStore();
        RawClipboardOwner manager;
        if (row.manager) {
            ASSERT_TRUE(manager.manageClipboard(row.managerMsPerForm));
        }
        AppProcess app(home.path());
        app.enableTestHooks();
        app.setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), notices.busAddress());
        qint64 stored = 0;
        ASSERT_NO_FATAL_FAILURE(useForALongSession(app, window, copies, row.downs, &stored));
        ASSERT_TRUE(app.settles());
        expectTheHeapsAndTheName(app.pid());
        const bool ended = endAndPrintTheTime(app,
            QStringLiteral("after a long session (%1 items), %2").arg(stored).arg(QLatin1String(row.name)));
        ASSERT_TRUE(ended);
        EXPECT_FALSE(app.crashed());
        EXPECT_EQ(app.exitCode(), 0);
        EXPECT_EQ(storedItems().size(), stored) << "a copy was not saved";
        expectTheLogFoldedInto(storePath());
        if (row.manager)
            expectKeptByTheManager(manager, row.type, row.expected, newestPicture);
    }
}

// Has the app hold one of its threads for good from its start, through its test hooks: the
// reading of a resource file (as on a mount that stopped answering) or the thread of a service (as
// a network or a disk that never answers would). Returns the line the app writes once it holds it.
QString holdAThread(AppProcess &app, const char *resource, const char *service)
{
    app.enableTestHooks();
    if (resource) {
        app.setEnvironment(QStringLiteral("TINDLEWICK_TEST_HELD_RESOURCE"), QLatin1String(resource));
        return QStringLiteral("[TestHooks] Holding the reading of ");
    }
    app.setEnvironment(QStringLiteral("TINDLEWICK_TEST_HOLD_THREAD"), QLatin1String(service));
    return QStringLiteral("[TestHooks] Holding the %1's thread").arg(QLatin1String(service));
}

// A thread held for good: one of the shared pool (the public suffix list, read with the capture's
// other lists as the capture starts), the highlighting engine's (its script, read for the stored
// code), the link reader's or the content-type model's. SIGTERM still ends the app within 2 s,
// with the copy made before it saved and the log naming what was left behind when the wait for it
// gave up.
TEST_F(AppLifecycleX11Test, SigtermEndsTheAppWithinTwoSecondsWhateverAThreadIsHeldBy)
{
    const auto leftBehind = [](const char *what) {
        return QStringLiteral("[Quit] %1 had not ended 1.5 s after the quit began: left behind\n")
            .arg(QLatin1String(what));
    };
    const struct
    {
        const char *name;
        const char *resource; // the file whose reading is held, if any
        const char *heldByTheHook; // else the service whose thread is held
        // A copy is made before the quit, and kept (the capture's checks need the public suffix
        // list: no copy gets past them while it is being read).
        bool copies;
        QString said;
    } rows[] = {
        { "a thread of the shared pool", "public_suffix_list.dat", nullptr, false,
            leftBehind("1 task of the shared thread pool") },
        { "the highlighting engine's thread", "highlight.min.js", nullptr, true,
            leftBehind("The highlighting engine") },
        { "the link reader's thread", nullptr, "link reader", true, leftBehind("The reading of a link") },
        { "the content-type model's thread", nullptr, "content-type model", false,
            leftBehind("The content-type model's work") },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        removeTheStore();
        seedStore({ ClipboardItem::create(ClipboardItemType::code,
            { .text = QStringLiteral("def greet(name):\n    return 'hello ' + name\n"),
                .codeLanguage = QStringLiteral("python") }) });
        AppProcess app(home.path());
        const QString heldLine = holdAThread(app, row.resource, row.heldByTheHook);
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(waitUntil([&] { return app.output().contains(heldLine); }, std::chrono::seconds(20)))
            << app.output().toStdString();
        if (row.resource) {
            EXPECT_TRUE(app.output().contains(QLatin1String(row.resource))) << "that file alone is held";
        }
        ASSERT_TRUE(app.caughtUp());
        const QString text = QStringLiteral("copied while %1 is held").arg(QLatin1String(row.name));
        if (row.copies) {
            ASSERT_TRUE(external.copyWithXclip(text.toUtf8()));
            ASSERT_TRUE(waitUntil([&] { return newestText(storePath()) == text; }));
        }
        ASSERT_TRUE(
            endAndPrintTheTime(app, QStringLiteral("with %1 held").arg(QLatin1String(row.name)), 2000));
        EXPECT_FALSE(app.crashed());
        EXPECT_EQ(app.exitCode(), 0);
        EXPECT_TRUE(app.output().contains(row.said)) << app.output().toStdString();
        if (row.copies) {
            EXPECT_EQ(newestText(storePath()), text);
            expectTheLogFoldedInto(storePath());
        }
    }
}

// A runtime folder that cannot be written (mounted read-only) leaves the check for another copy
// unmade where no lock file can be made there: the app says so and runs on, instead of blaming a
// copy that does not run and quitting. A lock file an earlier run left there is still taken, and
// a second copy started then leaves as it should.
TEST_F(AppLifecycleX11Test, AReadOnlyRuntimeFolderLeavesTheAppRunningAndSaysWhatFailed)
{
    const QString runtime = home.path() + QStringLiteral("/runtime");
    const QString lockFile = runtime + QStringLiteral("/tindlewick.socket.lock");
    const QString anotherCopy = QStringLiteral("Another copy of Tindlewick is running");
    const QString unchecked = QStringLiteral("Whether another copy of Tindlewick runs cannot be checked: the "
                                             "lock file %1 cannot be made")
                                  .arg(lockFile);
    for (const bool lockFileLeft : { false, true }) {
        SCOPED_TRACE(lockFileLeft ? "with the lock file of an earlier run" : "empty");
        SmallDisk folder(runtime, { QStringLiteral("1m"), !lockFileLeft });
        // Elsewhere than as root, a folder without the right to write in it stands for one.
        if (!folder.isMounted() && ::geteuid() == 0)
            GTEST_SKIP() << "as root, needs a read-only filesystem of its own (mount)";
        if (lockFileLeft) {
            QFile left(lockFile);
            ASSERT_TRUE(left.open(QIODevice::WriteOnly));
            left.close();
            ASSERT_TRUE(!folder.isMounted() || folder.remountReadOnly());
        }
        const QFile::Permissions owners = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        const auto writableAgain = qScopeGuard([&] { QFile::setPermissions(runtime, owners); });
        if (!folder.isMounted()) {
            ASSERT_TRUE(QFile::setPermissions(runtime, owners & ~QFile::WriteOwner));
        }
        ASSERT_FALSE(QFile(runtime + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
            << "still writable";
        AppProcess app(home.path());
        app.captureOutput();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app)) << "the app does not run: " << app.output().toStdString();
        EXPECT_FALSE(app.output().contains(anotherCopy)) << app.output().toStdString();
        EXPECT_EQ(app.output().contains(unchecked), !lockFileLeft) << app.output().toStdString();
        if (!lockFileLeft && folder.isMounted()) {
            EXPECT_TRUE(app.output().contains(QStringLiteral("(Read-only file system)")));
        }
        if (lockFileLeft) {
            AppProcess second(home.path());
            second.captureOutput();
            ASSERT_TRUE(second.start());
            ASSERT_TRUE(second.waitForExit(10'000));
            EXPECT_EQ(second.exitCode(), 0);
            EXPECT_TRUE(second.output().contains(anotherCopy)) << second.output().toStdString();
            EXPECT_TRUE(app.isRunning());
        }
        app.signal(SIGTERM);
        ASSERT_TRUE(app.waitForExit(5000));
        EXPECT_EQ(app.exitCode(), 0);
    }
}

// Two copies that do not meet at the single-copy lock (each has a runtime folder of its own) on
// one display: the second one says that the first holds the shortcut, not an input method.
TEST_F(AppLifecycleX11Test, ASecondCopyWithAnotherRuntimeFolderSaysTheFirstHoldsTheShortcut)
{
    AppProcess first(home.path());
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(openThenDismissPanel(first)) << "the first copy does not answer its shortcut";
    QTemporaryDir otherHome;
    AppProcess second(otherHome.path());
    second.captureOutput();
    ASSERT_TRUE(second.start());
    const QString reason
        = QStringLiteral("another copy of Tindlewick on this display (process %1) holds the combination")
              .arg(first.pid());
    EXPECT_TRUE(waitUntil(
        [&] {
            return second.output().contains(QStringLiteral("Error registering hotkey Ctrl+Space: ") + reason);
        },
        std::chrono::seconds(20)))
        << second.output().toStdString();
    // Told to the user once the second try, a second later, was refused too.
    EXPECT_TRUE(waitUntil(
        [&] {
            return second.output().contains(QStringLiteral("Ctrl+Space may not reach Tindlewick: ") + reason);
        },
        std::chrono::seconds(20)))
        << second.output().toStdString();
    EXPECT_FALSE(second.output().contains(QLatin1String("input method"))) << second.output().toStdString();
    EXPECT_TRUE(first.isRunning());
}
