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
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

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
    // Lines of the log that name the path.
    int count(const QString &path) const
    {
        QFile log(m_logPath);
        if (!log.open(QIODevice::ReadOnly))
            return -1;
        return int(log.readAll().count(QFile::encodeName(path)));
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

    QString m_logPath;
    QProcess m_strace;
};

bool runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
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

// A page at /orchard whose picture (300 × 300 of one colour) the server sends 0.7 s late.
void serveOrchardPageWithASlowPicture(LocalHttpServer &server, const QColor &pictureColour)
{
    LocalHttpServer::Response slowPicture
        = LocalHttpServer::image(encodedColour(QSize(300, 300), pictureColour));
    slowPicture.delayMs = 700;
    server.setResponse(QStringLiteral("/lime.png"), slowPicture);
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
        if (!openPanel(app))
            return QRect();
        QTest::qWait(400);
        return windowGeometry(frontWindow()).rect;
    }

    // Starts the app and waits until it answers its shortcut: it watches the clipboard then too.
    void startWatching(AppProcess &app)
    {
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(openPanel(app));
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
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

    // A link copied while the panel is open: its row comes first, its picture (slow to come
    // here) replaces the placeholder the row was drawn with.
    void expectALatePictureReplacesItsPlaceholder(
        LocalHttpServer &server, AppProcess &app, const QRect &panel)
    {
        const QColor lime(120, 230, 30);
        serveOrchardPageWithASlowPicture(server, lime);
        const QString link = server.url(QStringLiteral("/orchard")).toString();
        copyFromOutside(link);
        ASSERT_TRUE(waitForNewest([&](const ClipboardItem &item) { return item.textContent() == link; }));
        QTest::qWait(200);
        const QImage placeholder(saveScreenshot(QStringLiteral("link-row-before-its-picture.png")));
        EXPECT_EQ(countPixels(placeholder, panel, lime), 0)
            << "the picture came sooner than the server sent it";
        ASSERT_TRUE(
            waitForNewest([](const ClipboardItem &item) { return item.linkThumbnailData().has_value(); }));
        QTest::qWait(300);
        const QImage arrived(saveScreenshot(QStringLiteral("link-row-after-its-picture.png")));
        EXPECT_TRUE(appIsFront(app)) << "the panel was closed meanwhile";
        EXPECT_GE(countPixels(arrived, panel, lime), 2 * 28 * 28) << "the late picture is not drawn";
    }

    // Strace watches while `draw` makes the panel draw its rows again, and must see no question
    // about the paths; `shot` is the screen once they are drawn.
    void expectDrawingAsksNothingAbout(const QStringList &paths, const AppProcess &app,
        const QString &logName, const std::function<void()> &draw, const QString &shotName, QImage &shot)
    {
        FileSystemQuestions questions(artefactPath(logName));
        ASSERT_TRUE(questions.attach(app.pid())) << "strace could not attach";
        draw();
        if (HasFatalFailure())
            return;
        shot = QImage(saveScreenshot(shotName));
        questions.stop();
        for (const QString &path : paths)
            EXPECT_EQ(questions.count(path), 0)
                << "the disk was asked about " << path.toStdString() << " while drawing";
    }

    // Shows the panel again while strace watches, and prints how often the app asked about the
    // file that stayed, the deleted file and the file on the volume; `shown` is the panel's frame.
    void showAgainReportingTheQuestions(AppProcess &app, const FilesThatGo &files, QRect &shown)
    {
        FileSystemQuestions questions(artefactPath(QStringLiteral("files-strace-next-show.log")));
        ASSERT_TRUE(questions.attach(app.pid()));
        shown = showPanel(app);
        ASSERT_TRUE(shown.isValid());
        QTest::qWait(1500); // the file events arrive about a second after the changes
        questions.stop();
        std::printf("[ LinksAndFiles ] file-system questions while showing again: %d about the deleted file, "
                    "%d about the file on the volume, %d about the file that stayed\n",
            questions.count(files.deleted), questions.count(files.onVolume), questions.count(files.kept));
    }

    // The selection moves over the rows, the pointer over the panel; a pointer move after the
    // keys ends their selection, so one more key leaves one to be seen.
    void moveSelectionAndPointer(const QRect &panel)
    {
        for (int step = 0; step < 8; ++step) {
            ASSERT_TRUE(pressKey(step < 4 ? QStringLiteral("Down") : QStringLiteral("Up")));
            xdotool({ QStringLiteral("mousemove"), QString::number(panel.x() + 60 + 60 * (step % 4)),
                QString::number(panel.y() + 130 + 45 * (step % 4)) });
            QTest::qWait(120);
        }
        ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        QTest::qWait(120);
    }

    void moveSelectionDownAndUp()
    {
        for (int step = 0; step < 4; ++step) {
            ASSERT_TRUE(pressKey(step % 2 ? QStringLiteral("Up") : QStringLiteral("Down")));
            QTest::qWait(100);
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
    const QImage screenshot(saveScreenshot(QStringLiteral("link-row-with-title-and-picture.png")));
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
    ASSERT_TRUE(app.start());
    const QRect shown = showPanel(app);
    ASSERT_TRUE(shown.isValid());
    const QImage before(saveScreenshot(QStringLiteral("files-shown.png")));
    // In the History and the Files column.
    EXPECT_GE(countPixels(before, shown, cyan), 2 * 28 * 28) << "the deleted file's row is not shown yet";
    EXPECT_GE(countPixels(before, shown, orange), 2 * 28 * 28) << "the volume's file row is not shown yet";

    // Drawing again and again asks nothing about the files shown.
    QImage repainted;
    ASSERT_NO_FATAL_FAILURE(expectDrawingAsksNothingAbout(
        paths, app, QStringLiteral("files-strace-while-drawing.log"), [&] { moveSelectionAndPointer(shown); },
        QStringLiteral("files-repainted.png"), repainted));
    EXPECT_NE(before, repainted) << "nothing was drawn again";
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

    // While the panel is hidden, the file is deleted and the volume goes away.
    ASSERT_TRUE(QFile::remove(report));
    ASSERT_TRUE(volume.takeAway());

    // The next show leaves both out; the store keeps them. Showing asks about each file (once
    // per refresh of the lists, and the file events of the deletion bring one more); drawing
    // the rows again and again afterwards asks nothing.
    QRect next;
    ASSERT_NO_FATAL_FAILURE(showAgainReportingTheQuestions(app, { kept, report, notes }, next));
    QImage after;
    ASSERT_NO_FATAL_FAILURE(expectDrawingAsksNothingAbout(
        paths, app, QStringLiteral("files-strace-redrawing.log"), [&] { moveSelectionDownAndUp(); },
        QStringLiteral("files-gone-on-next-show.png"), after));
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

namespace {

// CPU time the process has used so far (user and system), in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command's name, which may itself hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

TEST_F(LinksAndFilesEndToEndTest, DeletingHalfOfACopiedListOfTenThousandFilesCostsTheAppLittle)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QByteArray list;
    QStringList paths;
    for (int i = 0; i < 10'000; ++i) {
        paths.append(folder.filePath(QStringLiteral("file-%1.txt").arg(i, 5, 10, QLatin1Char('0'))));
        QFile file(paths.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        list += QUrl::fromLocalFile(paths.last()).toEncoded() + "\r\n";
    }
    AppProcess app(home.path());
    app.captureOutput();
    app.setEnvironment(QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1"));
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
    QTest::qWait(3000);

    const qsizetype from = app.output().size();
    const double before = cpuSeconds(app.pid());
    for (int i = 0; i < 5'000; ++i)
        ASSERT_TRUE(QFile::remove(paths[i]));
    QTest::qWait(10'000);
    const double used = cpuSeconds(app.pid()) - before;
    const MainThreadStalls stalls = MainThreadStalls::in(app.output().mid(from));
    std::printf("[ measured ] after 5,000 of 10,000 listed files were deleted: %.2f CPU-seconds in the "
                "next 10 s; %s\n",
        used, qPrintable(stalls.describe()));

    // The item is still there (half its files are), and its row still shows.
    const QRect panel = showPanel(app);
    ASSERT_TRUE(panel.isValid());
    saveScreenshot(QStringLiteral("panel-after-half-of-a-file-list-was-deleted.png"));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    const MainThreadStalls showing = MainThreadStalls::in(app.output().mid(from));
    std::printf("[ measured ] showing the panel afterwards: %s\n", qPrintable(showing.describe()));
}
