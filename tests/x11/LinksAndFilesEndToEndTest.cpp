// The app as the user meets it, for links and files: a link copied in another application gets
// its page's title and picture, and file items whose file was deleted or whose volume went away
// leave the panel on its next show, while drawing the panel never asks the disk about them.
#include "AppEndToEnd.h"
#include "TestWindowProcess.h"

#include "model/FetchDescriptor.h"
#include "platform/MountInfoVolumeMonitor.h"
#include "support/LocalHttpServer.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The app's thread that reads file events, by the name the system knows it by (15 bytes at most).
const QByteArray fileEventThread = QByteArrayLiteral("FileAvailabilit");

// How many times the process's thread of this name has gone to sleep waiting for work: it
// grows each time the thread is woken for something; -1 without such a thread.
qint64 timesAsleep(qint64 pid, const QByteArray &threadName)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (!name.open(QIODevice::ReadOnly) || name.readAll().trimmed() != threadName)
            continue;
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                return line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return -1;
}

// The app's questions to the file system about some paths, seen from outside by strace while it
// is attached.
class FileSystemQuestions final
{
public:
    explicit FileSystemQuestions(QString logPath)
        : m_logPath(std::move(logPath))
    { }
    ~FileSystemQuestions() { stop(); }

    // Attaches to every thread of the process; false when the system does not allow it.
    bool attach(qint64 pid)
    {
        m_pid = pid;
        QFile::remove(m_logPath);
        m_strace.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_strace.start(QStringLiteral("strace"),
            { QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-e"),
                QStringLiteral("trace=%%stat,access,faccessat,faccessat2"), QStringLiteral("-o"), m_logPath,
                QStringLiteral("-p"), QString::number(pid) });
        if (!m_strace.waitForStarted(5000))
            return false;
        return waitUntil([&] { return isTraced(pid); }) && m_strace.state() == QProcess::Running;
    }
    // Detaches; the log is complete afterwards.
    void stop()
    {
        if (m_strace.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_strace.processId()), SIGINT);
        if (!m_strace.waitForFinished(5000))
            m_strace.kill();
    }
    // Lines of the log that name the path (since mark(), when one was made).
    int count(const QString &path) const { return int(log().mid(m_mark).count(QFile::encodeName(path))); }
    // The same, asked on the process's main thread (its thread id is the process's).
    int countOnMainThread(const QString &path) const
    {
        const QByteArray prefix = QByteArray::number(m_pid) + ' ';
        int asked = 0;
        for (const QByteArray &line : log().mid(m_mark).split('\n'))
            asked += line.startsWith(prefix) && line.contains(QFile::encodeName(path)) ? 1 : 0;
        return asked;
    }
    // From now on count() looks only at what comes after.
    void mark() { m_mark = log().size(); }
    // Waits until the log names the path more than `before` times and then holds still for a
    // moment: the checks the app set off together (each file once, on a worker) are over.
    bool waitUntilAskedAbout(const QString &path, int before)
    {
        return waitUntil([&] { return count(path) > before; }, std::chrono::seconds(20)) && waitUntilStill();
    }
    // Waits until the log has not grown for 0.3 s.
    bool waitUntilStill()
    {
        qsizetype size = -1;
        QElapsedTimer still;
        return waitUntil(
            [&] {
                const qsizetype now = log().size();
                if (now != size) {
                    size = now;
                    still.start();
                }
                return still.elapsed() >= 300;
            },
            std::chrono::seconds(20));
    }

private:
    static bool isTraced(qint64 pid)
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("TracerPid:"))
                return line.mid(10).trimmed() != "0";
        }
        return false;
    }

    QByteArray log() const
    {
        QFile file(m_logPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_logPath;
    QProcess m_strace;
    qsizetype m_mark = 0;
    qint64 m_pid = 0;
};

bool runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// The volumes mounted now, as the kernel lists them for this process (and for the app).
QByteArray mountTable()
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    return table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
}

// Pixels of the screenshot inside rect that are close to colour.
int countPixels(const QImage &image, const QRect &rect, const QColor &colour)
{
    int count = 0;
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 30 && std::abs(pixel.green() - colour.green()) < 30
                && std::abs(pixel.blue() - colour.blue()) < 30)
                ++count;
        }
    }
    return count;
}

// A folder standing for a removable volume: a tmpfs mounted where the desktop mounts removable
// drives, or (where the test may not mount) a plain folder that is removed whole. Unmounted
// when it goes, if it is still mounted then.
class RemovableVolume final
{
public:
    explicit RemovableVolume(const QString &fallbackFolder)
        : m_mountPoint(QStringLiteral("/media/") + MountInfoVolumeMonitor::currentUserName()
            + QStringLiteral("/TindlewickTest-%1").arg(QCoreApplication::applicationPid()))
    {
        m_mounted = QDir().mkpath(m_mountPoint)
            && runCommand(QStringLiteral("mount"),
                { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                    QStringLiteral("size=1m"), QStringLiteral("tindlewick-test"), m_mountPoint });
        m_folder = m_mounted ? m_mountPoint : fallbackFolder;
    }
    ~RemovableVolume()
    {
        if (m_mounted)
            runCommand(QStringLiteral("umount"), { QStringLiteral("-l"), m_mountPoint });
        QDir().rmdir(m_mountPoint);
    }
    RemovableVolume(const RemovableVolume &) = delete;
    RemovableVolume &operator=(const RemovableVolume &) = delete;

    bool isMounted() const { return m_mounted; }
    QString folder() const { return m_folder; }
    // The volume goes away, as when the drive is pulled out; false when it could not.
    bool takeAway()
    {
        if (!m_mounted)
            return QDir(m_folder).removeRecursively();
        if (!runCommand(QStringLiteral("umount"), { m_mountPoint }))
            return false;
        m_mounted = false;
        return true;
    }

private:
    QString m_mountPoint;
    QString m_folder;
    bool m_mounted = false;
};

// A file item of the store, with a picture of one colour when wanted.
ClipboardItemPtr fileItem(const QString &path, const std::optional<QColor> &picture)
{
    return ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(path),
            .fileThumbnailData
            = picture ? std::optional<QByteArray>(encodedColour(QSize(64, 64), *picture)) : std::nullopt,
            .previewText = QFileInfo(path).fileName() });
}

// A page whose title, description and picture (600 × 400 of one colour) come in its
// Open Graph tags, at /harbour.
void serveHarbourPage(LocalHttpServer &server, const QColor &pictureColour)
{
    server.setResponse(QStringLiteral("/picture.png"),
        LocalHttpServer::image(encodedColour(QSize(600, 400), pictureColour)));
    server.setResponse(QStringLiteral("/harbour"),
        LocalHttpServer::page(
            "<!doctype html><html><head><title>ignored</title>"
            "<meta property=\"og:title\" content=\"Harbour lights at dusk\">"
            "<meta property=\"og:description\" content=\"Photographs from the quay\">"
            "<meta property=\"og:image\" content=\"/picture.png\"></head><body></body></html>"));
}

// A page at /orchard whose picture (300 × 300 of one colour, at /lime.png) the server holds
// until the test releases it.
void serveOrchardPageWithAHeldPicture(LocalHttpServer &server, const QColor &pictureColour)
{
    LocalHttpServer::Response heldPicture
        = LocalHttpServer::image(encodedColour(QSize(300, 300), pictureColour));
    heldPicture.held = true;
    server.setResponse(QStringLiteral("/lime.png"), heldPicture);
    server.setResponse(QStringLiteral("/orchard"),
        LocalHttpServer::page("<html><head><meta property=\"og:title\" content=\"Orchard in May\">"
                              "<meta property=\"og:image\" content=\"/lime.png\"></head></html>"));
}

void createEmptyFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path())) << path.toStdString();
        ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)) << path.toStdString();
    }
}

// The files of the file items: one stays, one is deleted, one is on a volume that goes away.
struct FilesThatGo
{
    QString kept;
    QString deleted;
    QString onVolume;
};

class LinksAndFilesEndToEndTest : public AppEndToEndTest
{
protected:
    // The panel's frame on screen, once it is shown and painted.
    QRect showPanel(AppProcess &app)
    {
        if (!openPanelShown(app))
            return QRect();
        return windowGeometry(frontWindow()).rect;
    }

    // Starts the app and waits until it answers its shortcut: it watches the clipboard then too.
    void startWatching(AppProcess &app)
    {
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openThenDismissPanel(app));
    }

    ClipboardItemPtr newestStoredItem()
    {
        const QList<ClipboardItemPtr> items = storedItems();
        return items.isEmpty() ? nullptr : items.first();
    }

    // The newest stored item once it is as wanted; null when it did not become so in time.
    ClipboardItemPtr waitForNewest(const std::function<bool(const ClipboardItem &)> &wanted,
        std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        ClipboardItemPtr item;
        const bool found = waitUntil(
            [&] {
                item = newestStoredItem();
                return item && wanted(*item);
            },
            timeout);
        return found ? item : nullptr;
    }

    // A link copied while the panel is open: its row comes first, while the server still holds
    // its picture; the picture, once sent, replaces the placeholder the row was drawn with.
    void expectALatePictureReplacesItsPlaceholder(
        LocalHttpServer &server, AppProcess &app, const QRect &panel)
    {
        const QColor lime(120, 230, 30);
        serveOrchardPageWithAHeldPicture(server, lime);
        const QString link = server.url(QStringLiteral("/orchard")).toString();
        copyFromOutside(link);
        ASSERT_TRUE(waitForNewest(
            [&](const ClipboardItem &item) { return item.textContent() == link; }, std::chrono::seconds(20)));
        ASSERT_TRUE(waitUntil(
            [&] { return server.requestCount(QStringLiteral("/lime.png")) > 0; }, std::chrono::seconds(20)))
            << "the picture was never asked for";
        ASSERT_TRUE(app.caughtUp());
        const QImage placeholder(saveScreenshot(QStringLiteral("link-row-before-its-picture.png")));
        EXPECT_EQ(countPixels(placeholder, panel, lime), 0)
            << "the picture came sooner than the server sent it";
        server.release(QStringLiteral("/lime.png"));
        ASSERT_TRUE(
            waitForNewest([](const ClipboardItem &item) { return item.linkThumbnailData().has_value(); },
                std::chrono::seconds(20)));
        QImage arrived;
        waitUntil([&] {
            arrived = QImage(saveScreenshot(QStringLiteral("link-row-after-its-picture.png")));
            return countPixels(arrived, panel, lime) >= 2 * 28 * 28;
        });
        EXPECT_TRUE(appIsFront(app)) << "the panel was closed meanwhile";
        EXPECT_GE(countPixels(arrived, panel, lime), 2 * 28 * 28) << "the late picture is not drawn";
    }

    // Strace, still watching since the show, must see no question about the paths on the app's
    // main thread while `draw` makes the panel draw its rows again; `shot` is the screen once
    // they are drawn. The workers may meanwhile check again an answer that has aged (on a busy
    // machine the drawing can come seconds after the show), which holds nothing up. A volume
    // mounted or unmounted meanwhile, by any program, has the app look at every file again, as
    // it should: then the drawing is done once more, once those questions are over.
    void expectDrawingAsksNothingAbout(const QStringList &paths, FileSystemQuestions &questions,
        const std::function<void()> &draw, const QString &shotName, QImage &shot)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QByteArray mounts = mountTable();
            questions.mark();
            draw();
            if (HasFatalFailure())
                return;
            if (mountTable() == mounts)
                break;
            ASSERT_TRUE(questions.waitUntilStill());
        }
        shot = QImage(saveScreenshot(shotName));
        questions.stop();
        for (const QString &path : paths)
            EXPECT_EQ(questions.countOnMainThread(path), 0)
                << "the disk was asked about " << path.toStdString() << " while drawing";
    }

    // With strace watching (the panel hidden), the file is deleted and the volume goes away,
    // and the panel is shown again; prints how often the app asked about the file that stayed,
    // the deleted file and the file on the volume. `shown` is the panel's frame.
    void deleteAndShowAgainReportingTheQuestions(AppProcess &app, const FilesThatGo &files,
        RemovableVolume &volume, FileSystemQuestions &questions, QRect &shown)
    {
        ASSERT_TRUE(questions.attach(app.pid()));
        QElapsedTimer sinceChanges;
        sinceChanges.start();
        ASSERT_TRUE(QFile::remove(files.deleted));
        ASSERT_TRUE(volume.takeAway());
        // The app collects file events for a second before it looks at them, and then asks about
        // the deleted file again: that is over before the show, so that the drawing after it
        // has nothing to do with the changes.
        ASSERT_TRUE(
            waitUntil([&] { return sinceChanges.elapsed() > 1500 && questions.count(files.deleted) > 0; },
                std::chrono::seconds(20)))
            << "the deletion was never noticed";
        ASSERT_TRUE(questions.waitUntilStill());
        const int keptBefore = questions.count(files.kept);
        shown = showPanel(app);
        ASSERT_TRUE(shown.isValid());
        ASSERT_TRUE(questions.waitUntilAskedAbout(files.kept, keptBefore)) << "the show checked nothing";
        std::printf(
            "[ LinksAndFiles ] file-system questions from the deletion to the next show: %d about the "
            "deleted file, %d about the file on the volume, %d about the file that stayed\n",
            questions.count(files.deleted), questions.count(files.onVolume), questions.count(files.kept));
    }

    // The selection moves over the rows, the pointer over the panel, each drawn before the
    // next; a pointer move after the keys ends their selection, so one more key leaves one to
    // be seen.
    void moveSelectionAndPointer(AppProcess &app, const QRect &panel)
    {
        for (int step = 0; step < 8; ++step) {
            ASSERT_TRUE(pressKey(step < 4 ? QStringLiteral("Down") : QStringLiteral("Up")));
            xdotool({ QStringLiteral("mousemove"), QString::number(panel.x() + 60 + 60 * (step % 4)),
                QString::number(panel.y() + 130 + 45 * (step % 4)) });
            ASSERT_TRUE(app.caughtUp());
        }
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        ASSERT_TRUE(app.caughtUp());
    }

    // Copies a list of files made in the folder (file-0.txt, ...) from outside; returns once it
    // is stored.
    void copyFileList(const QString &folder, int files)
    {
        QByteArray list;
        for (int file = 0; file < files; ++file) {
            const QString path = folder + QStringLiteral("/file-%1.txt").arg(file);
            ASSERT_NO_FATAL_FAILURE(createEmptyFiles({ path }));
            list += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
        }
        ASSERT_TRUE(external.copyWithXclip(list, QStringLiteral("text/uri-list")));
        const QUrl first = QUrl::fromLocalFile(folder + QStringLiteral("/file-0.txt"));
        ASSERT_TRUE(waitForNewest([&](const ClipboardItem &item) { return item.fileURL() == first; }))
            << qPrintable(folder) << " was not stored";
    }

    // Copies four lines of Python of its own from outside; returns once they are stored as code.
    void copyCodeSnippet(int number)
    {
        const QString code = QStringLiteral("def scale_%1(values):\n    total = sum(values) * %1\n"
                                            "    return [value / total for value in values]\n"
                                            "print(scale_%1([1, 2, 3]))")
                                 .arg(number);
        copyFromOutside(code);
        ASSERT_TRUE(waitForNewest([&](const ClipboardItem &item) {
            return item.textContent() == code && item.type() == ClipboardItemType::code;
        })) << "snippet "
            << number << " was not stored as code";
    }

    void moveSelectionDownAndUp(AppProcess &app)
    {
        for (int step = 0; step < 4; ++step) {
            ASSERT_TRUE(pressKey(step % 2 ? QStringLiteral("Up") : QStringLiteral("Down")));
            ASSERT_TRUE(app.caughtUp());
        }
    }
};

} // namespace

TEST_F(LinksAndFilesEndToEndTest, ACopiedLinkShowsItsPageTitleAndPicture)
{
    const QColor magenta(230, 20, 200);
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    serveHarbourPage(server, magenta);
    seedStore({ QStringLiteral("an older entry") });
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startWatching(app));

    const QString link = server.url(QStringLiteral("/harbour")).toString();
    QElapsedTimer sinceCopy;
    sinceCopy.start();
    copyFromOutside(link);
    const ClipboardItemPtr item = waitForNewest(
        [&](const ClipboardItem &newest) {
            return newest.textContent() == link && newest.linkTitle() && newest.linkThumbnailData();
        },
        std::chrono::seconds(20));
    // How soon is a figure for the README (about 0.1-0.3 s here), not a test: a busy machine
    // may take longer.
    ASSERT_TRUE(item) << "title and picture never stored";
    std::printf("[ LinksAndFiles ] title and picture stored %lld ms after the copy\n", sinceCopy.elapsed());
    EXPECT_EQ(item->linkTitle(), QStringLiteral("Harbour lights at dusk"));
    EXPECT_EQ(item->linkDescription(), QStringLiteral("Photographs from the quay"));
    EXPECT_EQ(QImage::fromData(*item->linkThumbnailData(), "PNG").size(), QSize(80, 80));
    EXPECT_EQ(
        QImage::fromData(item->linkPreviewData().value_or(QByteArray()), "PNG").size(), QSize(400, 400));
    EXPECT_EQ(server.requestCount(QStringLiteral("/harbour")), 1);

    // The row shows the title with the picture (History and Links columns: two rows).
    const QRect panel = showPanel(app);
    ASSERT_TRUE(panel.isValid());
    // The rows' pictures are read from the store after the panel shows.
    QImage screenshot;
    waitUntil([&] {
        screenshot = QImage(saveScreenshot(QStringLiteral("link-row-with-title-and-picture.png")));
        return countPixels(screenshot, panel, magenta) >= 2 * 28 * 28;
    });
    ASSERT_FALSE(screenshot.isNull());
    EXPECT_GE(countPixels(screenshot, panel, magenta), 2 * 28 * 28) << "the picture is not in the rows";

    expectALatePictureReplacesItsPlaceholder(server, app, panel);
}

TEST_F(LinksAndFilesEndToEndTest, FilesThatWentAreLeftOutOnTheNextShowAndPaintingNeverAsksTheDisk)
{
    // One file that stays, one in an ordinary folder that is deleted, one on a volume that goes
    // away. The two that go carry pictures of their own colour, so the screen tells whether they
    // are shown.
    const QColor cyan(20, 200, 220);
    const QColor orange(240, 140, 20);
    const QString kept = home.path() + QStringLiteral("/Documents/kept-plan.txt");
    const QString report = home.path() + QStringLiteral("/Documents/vanishing-report.txt");
    RemovableVolume volume(home.path() + QStringLiteral("/Volume"));
    std::printf("[ LinksAndFiles ] the volume is %s\n",
        volume.isMounted() ? "a tmpfs mount under /media" : "a folder (this test may not mount)");
    const QString notes = volume.folder() + QStringLiteral("/notes/volume-notes.txt");
    const QStringList paths { kept, report, notes };
    ASSERT_NO_FATAL_FAILURE(createEmptyFiles(paths));
    seedStore({ ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("anchor text") }),
        fileItem(kept, std::nullopt), fileItem(report, cyan), fileItem(notes, orange) });

    TestWindowProcess window;
    ASSERT_TRUE(window.start());
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());
    FileSystemQuestions firstShow(artefactPath(QStringLiteral("files-strace-first-show.log")));
    ASSERT_TRUE(firstShow.attach(app.pid())) << "strace could not attach";
    const QRect shown = showPanel(app);
    ASSERT_TRUE(shown.isValid());
    if (!firstShow.waitUntilAskedAbout(kept, 0)) {
        saveScreenshot(QStringLiteral("files-show-checked-nothing.png"));
        FAIL() << "the show checked nothing (the screen then: files-show-checked-nothing.png)";
    }
    const QImage before(saveScreenshot(QStringLiteral("files-shown.png")));
    // In the History and the Files column.
    EXPECT_GE(countPixels(before, shown, cyan), 2 * 28 * 28) << "the deleted file's row is not shown yet";
    EXPECT_GE(countPixels(before, shown, orange), 2 * 28 * 28) << "the volume's file row is not shown yet";

    // Drawing again and again asks nothing about the files shown.
    QImage repainted;
    ASSERT_NO_FATAL_FAILURE(expectDrawingAsksNothingAbout(
        paths, firstShow, [&] { moveSelectionAndPointer(app, shown); }, QStringLiteral("files-repainted.png"),
        repainted));
    EXPECT_NE(before, repainted) << "nothing was drawn again";
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

    // While the panel is hidden, the file is deleted and the volume goes away. The next show
    // leaves both out; the store keeps them. Showing asks about each file (once per refresh of
    // the lists, and the file events of the deletion bring one more); drawing the rows again and
    // again afterwards asks nothing.
    QRect next;
    FileSystemQuestions nextShow(artefactPath(QStringLiteral("files-strace-next-show.log")));
    ASSERT_NO_FATAL_FAILURE(
        deleteAndShowAgainReportingTheQuestions(app, { kept, report, notes }, volume, nextShow, next));
    QImage after;
    ASSERT_NO_FATAL_FAILURE(expectDrawingAsksNothingAbout(
        paths, nextShow, [&] { moveSelectionDownAndUp(app); }, QStringLiteral("files-gone-on-next-show.png"),
        after));
    EXPECT_EQ(countPixels(after, next, cyan), 0) << "the deleted file is still shown";
    EXPECT_EQ(countPixels(after, next, orange), 0) << "the file on the volume that went is still shown";
    EXPECT_EQ(storedItems().size(), 4);
}

TEST_F(LinksAndFilesEndToEndTest, APageInAnOlderEncodingStillGivesItsTitle)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setResponse(QStringLiteral("/latin"),
        LocalHttpServer::Response { 200, "text/html",
            "<html><head><meta charset=\"iso-8859-1\"><title>Caf\xE9 cr\xE8me br\xFBl\xE9"
            "e</title></head></html>" });
    seedStore({ QStringLiteral("an older entry") });
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startWatching(app));

    const QString link = server.url(QStringLiteral("/latin")).toString();
    copyFromOutside(link);
    ClipboardItemPtr item;
    ASSERT_TRUE(waitUntil([&] {
        item = newestStoredItem();
        return item && item->textContent() == link && server.requestCount(QStringLiteral("/latin")) > 0;
    }));
    EXPECT_TRUE(waitUntil([&] {
        item = newestStoredItem();
        return item && item->linkTitle();
    })) << "no title stored";
    EXPECT_EQ(item->linkTitle(), QString::fromUtf8("Café crème brûlée"));
    ASSERT_TRUE(showPanel(app).isValid());
    saveScreenshot(QStringLiteral("link-row-latin1-title.png"));
}

// Empty files "file-00000.txt"... in the folder, and their list as text/uri-list; paths gets those
// made (fewer than asked when one could not be).
static QByteArray makeEmptyFiles(const QTemporaryDir &folder, int count, QStringList *paths)
{
    QByteArray list;
    for (int i = 0; i < count; ++i) {
        const QString path = folder.filePath(QStringLiteral("file-%1.txt").arg(i, 5, 10, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            break;
        paths->append(path);
        list += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    }
    return list;
}

TEST_F(LinksAndFilesEndToEndTest, DeletingHalfOfACopiedListOfTenThousandFilesCostsTheAppLittle)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QStringList paths;
    const QByteArray list = makeEmptyFiles(folder, 10'000, &paths);
    ASSERT_EQ(paths.size(), 10'000);
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startWatching(app));
    ASSERT_TRUE(external.copyWithXclip(list, QStringLiteral("text/uri-list")));
    const ClipboardItemPtr item
        = waitForNewest([](const ClipboardItem &stored) { return stored.type() == ClipboardItemType::file; },
            std::chrono::seconds(20));
    ASSERT_TRUE(item);
    ASSERT_EQ(item->additionalFileTotal(), 9'999);
    // The panel has looked at the files and the app has settled.
    ASSERT_FALSE(showPanel(app).isEmpty());
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    EXPECT_TRUE(app.settles()) << "the app kept working after the panel was shown";

    const qsizetype from = app.output().size();
    const qint64 streamWakes = timesAsleep(app.pid(), fileEventThread);
    ASSERT_GE(streamWakes, 0) << "the app has no thread reading file events";
    QElapsedTimer clock;
    clock.start();
    const double before = processorSeconds(app.pid());
    for (int i = 0; i < 5'000; ++i)
        ASSERT_TRUE(QFile::remove(paths[i]));
    // The figure is the app's processor time from the deletions until its answer to them is
    // over: it has read the file events; its reader has not woken for longer than the second it
    // collects them before it hands them on, so none wait; and the app has gone quiet.
    ASSERT_TRUE(waitUntil([&] { return timesAsleep(app.pid(), fileEventThread) > streamWakes; }))
        << "the deletions were never noticed";
    ASSERT_TRUE(waitUntil(
        [&] {
            const qint64 wakes = timesAsleep(app.pid(), fileEventThread);
            QTest::qWait(1'500);
            return timesAsleep(app.pid(), fileEventThread) == wakes;
        },
        std::chrono::seconds(60)))
        << "the app kept reading file events";
    ASSERT_TRUE(app.settles()) << "the app never went quiet";
    const double used = processorSeconds(app.pid()) - before;
    const MainThreadStalls stalls = MainThreadStalls::in(app.output().mid(from));
    std::printf("[ measured ] after 5,000 of 10,000 listed files were deleted: %.2f CPU-seconds until the "
                "app was quiet again, %.1f s later; %s\n",
        used, double(clock.elapsed()) / 1000, qPrintable(stalls.describe()));

    // The item is still there (half its files are), and its row still shows.
    const QRect panel = showPanel(app);
    ASSERT_TRUE(panel.isValid());
    saveScreenshot(QStringLiteral("panel-after-half-of-a-file-list-was-deleted.png"));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    const MainThreadStalls showing = MainThreadStalls::in(app.output().mid(from));
    std::printf("[ measured ] showing the panel afterwards: %s\n", qPrintable(showing.describe()));
}

namespace {

// How many of the folders of the copied lists the process watches.
qsizetype watchedListFolders(qint64 pid, const QTemporaryDir &folder)
{
    const QList<quint64> watched = inotifyWatchedInodes(pid);
    qsizetype count = 0;
    for (const QFileInfo &list : QDir(folder.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        count += watched.count(inodeOf(list.filePath()));
    return count;
}

// What the app's caches held for items when the panel last hid ("[TestHooks] Kept for items").
struct KeptForItems
{
    int fileAnswers = -1;
    int diskAnswers = -1;
    int highlightedLines = -1;

    static KeptForItems lastIn(const QString &output)
    {
        static const QRegularExpression line(QStringLiteral(
            R"(\[TestHooks\] Kept for items: (\d+) file answers, (\d+) disk answers, (\d+) highlighted lines)"));
        KeptForItems kept;
        for (QRegularExpressionMatchIterator it = line.globalMatch(output); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            kept = { match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt() };
        }
        return kept;
    }
};

} // namespace

// With the history at its limit every copy makes the oldest item leave: the answers about the
// files of the lists that left and the highlighted lines of the code that left go with them.
// The panel is shown after every few copies, so that its rows ask about what it holds.
TEST_F(LinksAndFilesEndToEndTest, FileListsAndCodeThatLeftTheHistoryLeaveNoAnswersOrLinesBehind)
{
    constexpr int limit = 6;
    constexpr int filesPerList = 2;
    constexpr int linesPerSnippet = 4;
    seedSettings(QByteArray("{\"historyLimit\": ") + QByteArray::number(limit) + "}");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startWatching(app));
    for (int copy = 1; copy <= 4 * limit; ++copy) {
        if (copy % 2 == 1)
            ASSERT_NO_FATAL_FAILURE(
                copyFileList(folder.filePath(QStringLiteral("list-%1").arg(copy)), filesPerList));
        else
            ASSERT_NO_FATAL_FAILURE(copyCodeSnippet(copy));
        if (copy % limit == 0) {
            ASSERT_FALSE(showPanel(app).isEmpty());
            ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        }
    }
    // The last copies' lines are highlighted in the background; then the panel shows them.
    ASSERT_TRUE(app.settles());
    const qsizetype mark = app.output().size();
    ASSERT_FALSE(showPanel(app).isEmpty());
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    KeptForItems kept;
    ASSERT_TRUE(waitUntil([&] {
        kept = KeptForItems::lastIn(app.output().mid(mark));
        return kept.fileAnswers >= 0;
    })) << "the app never said what it keeps";
    std::printf(
        "[ LinksAndFiles ] after %d copies with a history of %d: %d file answers, %d disk answers, %d "
        "highlighted lines\n",
        4 * limit, limit, kept.fileAnswers, kept.diskAnswers, kept.highlightedLines);
    // Half the history is lists (each in a folder of its own), half code.
    EXPECT_LE(watchedListFolders(app.pid(), folder), limit / 2) << "folders of lists that left are watched";
    EXPECT_GT(kept.fileAnswers, 0);
    EXPECT_LE(kept.fileAnswers, limit / 2);
    EXPECT_LE(kept.diskAnswers, limit / 2 * filesPerList);
    EXPECT_GT(kept.highlightedLines, 0);
    EXPECT_LE(kept.highlightedLines, limit / 2 * linesPerSnippet);
}
