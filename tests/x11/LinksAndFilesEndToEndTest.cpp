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

    ClipboardItemPtr newestStoredItem()
    {
        QString error;
        std::unique_ptr<ModelContainer> store = ModelContainer::open(storePath(), &error);
        if (!store)
            return nullptr;
        m_reader = store->makeContext();
        m_readerStore = std::move(store);
        const QList<ClipboardItemPtr> items = m_reader->fetch(FetchDescriptor::newestFirst()).items;
        return items.isEmpty() ? nullptr : items.first();
    }

    std::unique_ptr<ModelContainer> m_readerStore;
    std::unique_ptr<ModelContext> m_reader;
};

} // namespace

TEST_F(LinksAndFilesEndToEndTest, ACopiedLinkShowsItsPageTitleAndPicture)
{
    const QColor magenta(230, 20, 200);
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setResponse(
        QStringLiteral("/picture.png"), LocalHttpServer::image(encodedColour(QSize(600, 400), magenta)));
    server.setResponse(QStringLiteral("/harbour"),
        LocalHttpServer::page(
            "<!doctype html><html><head><title>ignored</title>"
            "<meta property=\"og:title\" content=\"Harbour lights at dusk\">"
            "<meta property=\"og:description\" content=\"Photographs from the quay\">"
            "<meta property=\"og:image\" content=\"/picture.png\"></head><body></body></html>"));
    seedStore({ QStringLiteral("an older entry") });
    AppProcess app(home.path());
    ASSERT_TRUE(app.start());
    // Once the app answers its shortcut it watches the clipboard too.
    ASSERT_TRUE(openPanel(app));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

    const QString link = server.url(QStringLiteral("/harbour")).toString();
    QElapsedTimer sinceCopy;
    sinceCopy.start();
    copyFromOutside(link);
    ClipboardItemPtr item;
    const bool complete = waitUntil(
        [&] {
            item = newestStoredItem();
            return item && item->textContent() == link && item->linkTitle() && item->linkThumbnailData();
        },
        std::chrono::seconds(20));
    // How soon is a figure for the README (about 0.1-0.3 s here), not a test: a busy machine
    // may take longer.
    ASSERT_TRUE(complete) << "title and picture never stored";
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

    // A link copied while the panel is open: its row comes first, its picture (slow to come
    // here) replaces the placeholder the row was drawn with.
    const QColor lime(120, 230, 30);
    LocalHttpServer::Response slowPicture = LocalHttpServer::image(encodedColour(QSize(300, 300), lime));
    slowPicture.delayMs = 700;
    server.setResponse(QStringLiteral("/lime.png"), slowPicture);
    server.setResponse(QStringLiteral("/orchard"),
        LocalHttpServer::page("<html><head><meta property=\"og:title\" content=\"Orchard in May\">"
                              "<meta property=\"og:image\" content=\"/lime.png\"></head></html>"));
    const QString secondLink = server.url(QStringLiteral("/orchard")).toString();
    copyFromOutside(secondLink);
    ASSERT_TRUE(waitUntil([&] {
        item = newestStoredItem();
        return item && item->textContent() == secondLink;
    }));
    QTest::qWait(200);
    const QImage placeholder(saveScreenshot(QStringLiteral("link-row-before-its-picture.png")));
    EXPECT_EQ(countPixels(placeholder, panel, lime), 0) << "the picture came sooner than the server sent it";
    ASSERT_TRUE(waitUntil([&] {
        item = newestStoredItem();
        return item && item->linkThumbnailData();
    }));
    QTest::qWait(300);
    const QImage arrived(saveScreenshot(QStringLiteral("link-row-after-its-picture.png")));
    EXPECT_TRUE(appIsFront(app)) << "the panel was closed meanwhile";
    EXPECT_GE(countPixels(arrived, panel, lime), 2 * 28 * 28) << "the late picture is not drawn";
}

TEST_F(LinksAndFilesEndToEndTest, FilesThatWentAreLeftOutOnTheNextShowAndPaintingNeverAsksTheDisk)
{
    // One file that stays, one in an ordinary folder that is deleted, one on a volume that goes
    // away: a tmpfs mounted where the desktop mounts removable drives, or (where the test may not
    // mount) a folder that is removed whole. The two that go carry pictures of their own colour,
    // so the screen tells whether they are shown.
    const QColor cyan(20, 200, 220);
    const QColor orange(240, 140, 20);
    const QString kept = home.path() + QStringLiteral("/Documents/kept-plan.txt");
    const QString report = home.path() + QStringLiteral("/Documents/vanishing-report.txt");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(report).path()));
    for (const QString &path : { kept, report })
        ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));

    const QString mediaRoot = QStringLiteral("/media/") + MountInfoVolumeMonitor::currentUserName();
    const QString volume
        = mediaRoot + QStringLiteral("/TindlewickTest-%1").arg(QCoreApplication::applicationPid());
    bool mounted = QDir().mkpath(volume)
        && runCommand(QStringLiteral("mount"),
            { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=1m"),
                QStringLiteral("tindlewick-test"), volume });
    const QString volumeFolder = mounted ? volume : home.path() + QStringLiteral("/Volume");
    const std::unique_ptr<void, std::function<void(void *)>> cleanUp(this, [&](void *) {
        if (mounted)
            runCommand(QStringLiteral("umount"), { QStringLiteral("-l"), volume });
        QDir().rmdir(volume);
    });
    std::printf("[ LinksAndFiles ] the volume is %s\n",
        mounted ? "a tmpfs mount under /media" : "a folder (this test may not mount)");
    const QString notes = volumeFolder + QStringLiteral("/notes/volume-notes.txt");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(notes).path()));
    ASSERT_TRUE(QFile(notes).open(QIODevice::WriteOnly));

    const auto fileItem = [](const QString &path, const std::optional<QColor> &picture) {
        return ClipboardItem::create(ClipboardItemType::file,
            { .fileURL = QUrl::fromLocalFile(path),
                .fileThumbnailData
                = picture ? std::optional<QByteArray>(encodedColour(QSize(64, 64), *picture)) : std::nullopt,
                .previewText = QFileInfo(path).fileName() });
    };
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

    // Drawing again and again (the selection moves over the rows, the pointer over the panel)
    // asks nothing about the files shown.
    FileSystemQuestions questions(artefactPath(QStringLiteral("files-strace-while-drawing.log")));
    ASSERT_TRUE(questions.attach(app.pid())) << "strace could not attach";
    for (int step = 0; step < 8; ++step) {
        ASSERT_TRUE(pressKey(step < 4 ? QStringLiteral("Down") : QStringLiteral("Up")));
        xdotool({ QStringLiteral("mousemove"), QString::number(shown.x() + 60 + 60 * (step % 4)),
            QString::number(shown.y() + 130 + 45 * (step % 4)) });
        QTest::qWait(120);
    }
    // A pointer move after the keys ends their selection: one more key leaves one to be seen.
    ASSERT_TRUE(pressKey(QStringLiteral("Down")));
    QTest::qWait(120);
    const QImage repainted(saveScreenshot(QStringLiteral("files-repainted.png")));
    questions.stop();
    EXPECT_NE(before, repainted) << "nothing was drawn again";
    for (const QString &path : { kept, report, notes })
        EXPECT_EQ(questions.count(path), 0)
            << "the disk was asked about " << path.toStdString() << " while drawing";
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

    // While the panel is hidden, the file is deleted and the volume goes away.
    ASSERT_TRUE(QFile::remove(report));
    if (mounted) {
        ASSERT_TRUE(runCommand(QStringLiteral("umount"), { volume }));
        mounted = false;
    } else {
        ASSERT_TRUE(QDir(volumeFolder).removeRecursively());
    }

    // The next show leaves both out; the store keeps them. Showing asks about each file (once
    // per refresh of the lists, and the file events of the deletion bring one more); drawing
    // the rows again and again afterwards asks nothing.
    FileSystemQuestions nextShow(artefactPath(QStringLiteral("files-strace-next-show.log")));
    ASSERT_TRUE(nextShow.attach(app.pid()));
    const QRect next = showPanel(app);
    ASSERT_TRUE(next.isValid());
    QTest::qWait(1500); // the file events arrive about a second after the changes
    nextShow.stop();
    std::printf(
        "[ LinksAndFiles ] file-system questions while showing again: %d about the deleted file, %d about "
        "the file on the volume, %d about the file that stayed\n",
        nextShow.count(report), nextShow.count(notes), nextShow.count(kept));
    FileSystemQuestions redrawing(artefactPath(QStringLiteral("files-strace-redrawing.log")));
    ASSERT_TRUE(redrawing.attach(app.pid()));
    for (int step = 0; step < 4; ++step) {
        ASSERT_TRUE(pressKey(step % 2 ? QStringLiteral("Up") : QStringLiteral("Down")));
        QTest::qWait(100);
    }
    const QImage after(saveScreenshot(QStringLiteral("files-gone-on-next-show.png")));
    redrawing.stop();
    EXPECT_EQ(countPixels(after, next, cyan), 0) << "the deleted file is still shown";
    EXPECT_EQ(countPixels(after, next, orange), 0) << "the file on the volume that went is still shown";
    for (const QString &path : { kept, report, notes })
        EXPECT_EQ(redrawing.count(path), 0)
            << "the disk was asked about " << path.toStdString() << " while drawing";
    QString error;
    std::unique_ptr<ModelContainer> store = ModelContainer::open(storePath(), &error);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->makeContext()->fetch(FetchDescriptor::newestFirst()).items.size(), 4);
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
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(openPanel(app));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

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
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(openPanel(app));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    ASSERT_TRUE(external.copyWithXclip(list, QStringLiteral("text/uri-list")));
    ClipboardItemPtr item;
    ASSERT_TRUE(waitUntil(
        [&] {
            item = newestStoredItem();
            return item && item->type() == ClipboardItemType::file;
        },
        std::chrono::seconds(20)));
    ASSERT_EQ(item->additionalFileURLStrings().value_or(QStringList()).size(), 9'999);
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
