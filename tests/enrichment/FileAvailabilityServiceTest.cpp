// The file availability service over a file system and an event stream the test controls: what
// it answers, when it asks the disk, what events and mounts make it forget, and that an answer
// the disk gave before an event never outlives it.
#include "enrichment/FileAvailabilityService.h"
#include "common/NotificationCenter.h"
#include "platform/FileBookmark.h"
#include "platform/UserFiles.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>

namespace {

QString fileURL(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

class FileAvailabilityServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto stream = std::make_unique<FakeFileEventStream>();
        auto volumes = std::make_unique<FakeVolumeMonitor>();
        m_stream = stream.get();
        m_volumes = volumes.get();
        m_volumes->roots = { { QStringLiteral("/media/ann"), true }, { QStringLiteral("/mnt"), false } };
        m_volumes->table = QStringList { QStringLiteral("/"), QStringLiteral("/media/ann/Backup"),
            QStringLiteral("/home") };
        FileAvailabilityService::Dependencies dependencies;
        dependencies.fileEvents = std::move(stream);
        dependencies.volumes = std::move(volumes);
        dependencies.fileExists = [this](const QString &path) {
            m_asked.append(path);
            if (m_whileAsking)
                m_whileAsking(path);
            return m_existing.contains(path);
        };
        m_service = std::make_unique<FileAvailabilityService>(std::move(dependencies));
        // Posts that earlier tests of this process sent from other threads are still queued:
        // they are delivered before this test counts its own.
        QCoreApplication::processEvents();
        NotificationCenter::defaultCenter().addObserver(
            Notifications::volumesDidChange, &m_observer, [this](const QVariantMap &) { ++m_posts; });
    }

    // A file and all its folders exist.
    void create(const QString &path)
    {
        QString current = path;
        while (!current.isEmpty() && current != QLatin1String("/")) {
            m_existing.insert(current);
            current = current.left(current.lastIndexOf(QLatin1Char('/')));
        }
    }

    static ClipboardItemPtr fileItem(const QString &path, const QStringList &further = {},
        ClipboardItemType kind = ClipboardItemType::file)
    {
        ClipboardItemPtr item = ClipboardItem::create(kind, { .fileURL = QUrl::fromLocalFile(path) });
        if (!further.isEmpty())
            item->setAdditionalFileURLStrings(further);
        return item;
    }

    int askedAbout(const QString &path) const { return int(m_asked.count(path)); }

    // Forgets every answer (a change at the root), then has the paths answered again.
    void cacheAfresh(const QStringList &paths)
    {
        m_stream->deliver({ { QStringLiteral("/") }, {} });
        QCoreApplication::processEvents();
        for (const QString &path : paths)
            m_service->checkFile(path);
        m_asked.clear();
    }

    // How the mount table is read again: its watch's event, a show, or a refresh.
    enum class MountRead { event, show, refresh };
    void readMounts(MountRead how)
    {
        if (how == MountRead::event)
            Q_EMIT m_volumes->mountsChanged();
        else if (how == MountRead::show)
            m_service->rereadMountedVolumesUnannounced();
        else
            m_service->refreshMountedVolumes();
        QCoreApplication::processEvents();
    }

    FakeFileEventStream *m_stream = nullptr;
    FakeVolumeMonitor *m_volumes = nullptr;
    std::unique_ptr<FileAvailabilityService> m_service;
    QSet<QString> m_existing;
    QStringList m_asked;
    std::function<void(const QString &)> m_whileAsking;
    QObject m_observer;
    int m_posts = 0;
};

} // namespace

TEST_F(FileAvailabilityServiceTest, ItemsWithoutFilesAreAvailable)
{
    struct Case
    {
        const char *name;
        ClipboardItemPtr item;
    };
    const Case cases[] = {
        { "text",
            ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("/gone/file.txt") }) },
        { "link",
            ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://a.example") }) },
        { "colour",
            ClipboardItem::create(ClipboardItemType::color, { .colorHex = QStringLiteral("#FF0000") }) },
        { "code", ClipboardItem::create(ClipboardItemType::code, { .text = QStringLiteral("int x;") }) },
        { "file item without a file", ClipboardItem::create(ClipboardItemType::file) },
        { "media copied as a picture", ClipboardItem::create(ClipboardItemType::media) },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(m_service->isAvailable(*c.item));
    }
    EXPECT_TRUE(m_asked.isEmpty()) << "the disk was asked";
}

TEST_F(FileAvailabilityServiceTest, AnswersComeFromTheDiskOnceAndThenFromTheCache)
{
    create(QStringLiteral("/home/ann/report.pdf"));
    create(QStringLiteral("/mnt/data/kept.txt"));
    struct Case
    {
        const char *name;
        QString path;
        ClipboardItemType kind;
        bool available;
        int diskQuestions; // the file and, the first time, its folder
    };
    const Case cases[] = {
        { "an existing file", QStringLiteral("/home/ann/report.pdf"), ClipboardItemType::file, true, 1 },
        { "a missing file in a known folder", QStringLiteral("/home/ann/gone.pdf"), ClipboardItemType::media,
            false, 1 },
        { "on a mounted volume", QStringLiteral("/media/ann/Backup/photo.jpg"), ClipboardItemType::media,
            false, 1 },
        // udisks makes the folder when it mounts and removes it after: no disk needed.
        { "on a volume that is not mounted", QStringLiteral("/media/ann/Stick/notes.txt"),
            ClipboardItemType::file, false, 0 },
        { "the unmounted volume's folder itself", QStringLiteral("/media/ann/Stick"), ClipboardItemType::file,
            false, 0 },
        // /mnt also holds ordinary folders.
        { "an ordinary folder in /mnt", QStringLiteral("/mnt/data/kept.txt"), ClipboardItemType::file, true,
            1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ClipboardItemPtr item = fileItem(c.path, {}, c.kind);
        for (int round = 0; round < 3; ++round)
            EXPECT_EQ(m_service->isAvailable(*item), c.available);
        EXPECT_EQ(askedAbout(c.path), c.diskQuestions);
    }
}

TEST_F(FileAvailabilityServiceTest, AnItemIsAvailableWhileAnyOfItsFilesIs)
{
    create(QStringLiteral("/home/ann/b.txt"));
    const QStringList further { fileURL(QStringLiteral("/home/ann/b.txt")) };
    const ClipboardItemPtr item = fileItem(QStringLiteral("/home/ann/a.txt"), further);
    // The same files give the same answer, from the disk or from the caches, for this item
    // and for another one with the same files.
    const ClipboardItemPtr twin = fileItem(QStringLiteral("/home/ann/a.txt"), further);
    for (const ClipboardItemPtr &asked : { item, item, twin, twin })
        EXPECT_TRUE(m_service->isAvailable(*asked)) << "the second file exists";
    EXPECT_EQ(askedAbout(QStringLiteral("/home/ann/a.txt")), 1);
    EXPECT_EQ(askedAbout(QStringLiteral("/home/ann/b.txt")), 1);

    // On an unmounted volume the first file is missing without the disk; the others still
    // count.
    const ClipboardItemPtr fromStick = fileItem(QStringLiteral("/media/ann/Stick/a.txt"), further);
    EXPECT_TRUE(m_service->isAvailable(*fromStick));

    // The second file goes too.
    m_existing.remove(QStringLiteral("/home/ann/b.txt"));
    m_stream->deliver({ { QStringLiteral("/home/ann/b.txt") }, {} });
    for (const ClipboardItemPtr &asked : { item, twin, fromStick })
        EXPECT_FALSE(m_service->isAvailable(*asked));

    const ClipboardItemPtr allGone = fileItem(
        QStringLiteral("/home/ann/x.txt"), { fileURL(QStringLiteral("/home/ann/y.txt")), QString() });
    EXPECT_FALSE(m_service->isAvailable(*allGone));
}

TEST_F(FileAvailabilityServiceTest, AnItemThatNowPointsElsewhereIsAskedAgain)
{
    create(QStringLiteral("/home/ann/here.txt"));
    const ClipboardItemPtr item = fileItem(QStringLiteral("/home/ann/gone.txt"));
    EXPECT_FALSE(m_service->isAvailable(*item));
    item->setFileURLString(fileURL(QStringLiteral("/home/ann/here.txt")));
    EXPECT_TRUE(m_service->isAvailable(*item));
    // It stands for a pinned item with another file now.
    const ClipboardItemPtr pinned = fileItem(QStringLiteral("/home/ann/gone.txt"));
    item->setPinnedReference(pinned);
    EXPECT_FALSE(m_service->isAvailable(*item));
}

TEST_F(FileAvailabilityServiceTest, FoldersAreWatchedOnceEach)
{
    create(QStringLiteral("/home/ann/Docs/a.txt"));
    create(QStringLiteral("/home/ann/Docs/b.txt"));
    m_service->isAvailable(*fileItem(QStringLiteral("/home/ann/Docs/a.txt")));
    m_service->isAvailable(*fileItem(QStringLiteral("/home/ann/Docs/b.txt")));
    EXPECT_TRUE(m_service->checkFile(QStringLiteral("/home/ann/Docs/b.txt")));
    // A file whose folder does not exist leaves nothing to watch.
    m_service->isAvailable(*fileItem(QStringLiteral("/nowhere/c.txt")));
    ASSERT_EQ(m_stream->requests().size(), 1) << "the stream was rebuilt more than once";
    EXPECT_EQ(m_stream->requests().first(), QStringList { QStringLiteral("/home/ann/Docs") });
    EXPECT_EQ(m_service->watchedDirectories(), QSet<QString> { QStringLiteral("/home/ann/Docs") });

    m_service->isAvailable(*fileItem(QStringLiteral("/home/ann/c.txt")));
    ASSERT_EQ(m_stream->requests().size(), 2);
    EXPECT_EQ(QSet<QString>(m_stream->requests().last().cbegin(), m_stream->requests().last().cend()),
        (QSet<QString> { QStringLiteral("/home/ann/Docs"), QStringLiteral("/home/ann") }));
}

TEST_F(FileAvailabilityServiceTest, EventsForgetTheAnswersUnderTheChangedPath)
{
    const QStringList cached { QStringLiteral("/home/a/Docs/Old/x.txt"),
        QStringLiteral("/home/a/Docs/Older.txt"), QStringLiteral("/home/a/Docs/keep.txt") };
    struct Case
    {
        const char *name;
        QString eventPath;
        QStringList forgotten;
    };
    const Case cases[] = {
        { "a folder", QStringLiteral("/home/a/Docs/Old"), { QStringLiteral("/home/a/Docs/Old/x.txt") } },
        { "a folder with a trailing slash", QStringLiteral("/home/a/Docs/Old/"),
            { QStringLiteral("/home/a/Docs/Old/x.txt") } },
        { "one file", QStringLiteral("/home/a/Docs/Older.txt"),
            { QStringLiteral("/home/a/Docs/Older.txt") } },
        { "the parent of all", QStringLiteral("/home/a/Docs"), cached },
        { "an unrelated path", QStringLiteral("/home/b"), {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_service->refreshMountedVolumes();
        for (const QString &path : cached)
            m_service->checkFile(path);
        m_asked.clear();
        const int posts = m_posts;
        m_stream->deliver({ { c.eventPath }, {} });
        QCoreApplication::processEvents();
        EXPECT_EQ(m_posts - posts, c.forgotten.isEmpty() ? 0 : 1) << "\"volumesDidChange\"";
        for (const QString &path : cached)
            m_service->checkFile(path);
        for (const QString &path : cached)
            EXPECT_EQ(askedAbout(path), c.forgotten.contains(path) ? 1 : 0) << path.toStdString();
    }
}

TEST_F(FileAvailabilityServiceTest, BeingMadeTellsNobody)
{
    // A panel told from inside the constructor would ask the shared instance for itself while
    // it is still being made, and make another, without end.
    const int posts = m_posts;
    auto volumes = std::make_unique<FakeVolumeMonitor>();
    volumes->roots = { { QStringLiteral("/media/ann"), true } };
    volumes->table = QStringList { QStringLiteral("/"), QStringLiteral("/media/ann/Backup") };
    FileAvailabilityService::Dependencies dependencies;
    dependencies.volumes = std::move(volumes);
    FileAvailabilityService another(std::move(dependencies));
    EXPECT_EQ(m_posts, posts);
    EXPECT_EQ(another.mountedVolumes().size(), 1);
}

TEST_F(FileAvailabilityServiceTest, AMountForgetsTheAnswersUnderItAndTellsThePanel)
{
    const ClipboardItemPtr onStick = fileItem(QStringLiteral("/media/ann/Stick/notes.txt"));
    create(QStringLiteral("/media/ann/Stick/notes.txt"));
    EXPECT_FALSE(m_service->isAvailable(*onStick));
    EXPECT_EQ(m_service->mountedVolumes(), QSet<QString> { QStringLiteral("/media/ann/Backup") });

    // The stick is plugged in.
    m_volumes->table->append(QStringLiteral("/media/ann/Stick"));
    const int posts = m_posts;
    Q_EMIT m_volumes->mountsChanged();
    EXPECT_EQ(m_posts, posts + 1);
    EXPECT_EQ(m_service->cachedAnswerCount(), 0);
    EXPECT_TRUE(m_service->isAvailable(*onStick));

    // Pulled out again; an unreadable mount table leaves no volume mounted.
    m_volumes->table = std::nullopt;
    m_service->refreshMountedVolumes();
    EXPECT_EQ(m_posts, posts + 2);
    EXPECT_TRUE(m_service->mountedVolumes().isEmpty());
    EXPECT_FALSE(m_service->isAvailable(*onStick));
}

// The answers at four paths on several file systems, with the mount table read again after a
// change to it.
TEST_F(FileAvailabilityServiceTest, ReadingTheMountsAgainForgetsOnlyWhatAMountThatCameOrWentCovers)
{
    const QStringList base { QStringLiteral("/"), QStringLiteral("/media/ann/Backup"),
        QStringLiteral("/home") };
    const QString home = QStringLiteral("/home/ann/a.txt");
    const QString backup = QStringLiteral("/media/ann/Backup/b.txt");
    const QString mnt = QStringLiteral("/mnt/data/c.txt");
    const QString root = QStringLiteral("/srv/d.txt");
    const QStringList all { home, backup, mnt, root };
    struct Case
    {
        const char *name;
        std::function<void(QStringList &table)> change;
        MountRead read;
        bool posted;
        QStringList askedAgain;
    };
    const Case cases[] = {
        { "an event with the same mount points", [](QStringList &) {}, MountRead::event, false, {} },
        { "a show with the same mount points", [](QStringList &) {}, MountRead::show, false, {} },
        { "the same mount points in another order",
            [](QStringList &table) { std::reverse(table.begin(), table.end()); }, MountRead::event, false,
            {} },
        { "a share mounted over a folder",
            [](QStringList &table) { table.append(QStringLiteral("/mnt/data")); }, MountRead::event, true,
            { mnt } },
        { "a share mounted, seen at a show",
            [](QStringList &table) { table.append(QStringLiteral("/mnt/data")); }, MountRead::show, false,
            { mnt } },
        { "the backup unmounted",
            [](QStringList &table) { table.removeAll(QStringLiteral("/media/ann/Backup")); },
            MountRead::event, true, { backup } },
        { "home unmounted", [](QStringList &table) { table.removeAll(QStringLiteral("/home")); },
            MountRead::event, true, { home } },
        { "the table unreadable", [](QStringList &table) { table.clear(); }, MountRead::event, true, all },
        // Without background checks a refresh has nothing else that would look again.
        { "a refresh with the same mount points", [](QStringList &) {}, MountRead::refresh, true, all },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_volumes->table = base;
        m_service->rereadMountedVolumesUnannounced();
        cacheAfresh(all);
        const int postsBefore = m_posts;
        QStringList table = base;
        c.change(table);
        m_volumes->table = table.isEmpty() ? std::nullopt : std::optional<QStringList>(table);
        readMounts(c.read);
        EXPECT_EQ(m_posts - postsBefore, c.posted ? 1 : 0) << "\"volumesDidChange\"";
        for (const QString &path : all)
            m_service->checkFile(path);
        for (const QString &path : all)
            EXPECT_EQ(askedAbout(path), c.askedAgain.contains(path) ? 1 : 0) << path.toStdString();
    }
}

TEST_F(FileAvailabilityServiceTest, AnAnswerFromBeforeAnInvalidationIsNotKept)
{
    create(QStringLiteral("/home/ann/moving.txt"));
    const ClipboardItemPtr item = fileItem(QStringLiteral("/home/ann/moving.txt"));
    struct Case
    {
        const char *name;
        std::function<void()> invalidate;
    };
    const Case cases[] = {
        { "a file event",
            [this] {
                m_stream->deliver({ { QStringLiteral("/home/ann/moving.txt") }, {} });
            } },
        { "an event for another folder",
            [this] {
                m_stream->deliver({ { QStringLiteral("/elsewhere") }, {} });
            } },
        { "a refresh", [this] { m_service->refreshMountedVolumes(); } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_service->refreshMountedVolumes();
        m_existing.insert(QStringLiteral("/home/ann/moving.txt"));
        // While the disk is asked, the file goes and the invalidation arrives.
        m_whileAsking = [&](const QString &path) {
            if (path != QLatin1String("/home/ann/moving.txt"))
                return;
            m_whileAsking = nullptr;
            m_existing.remove(path);
            c.invalidate();
        };
        m_service->isAvailable(*item);
        EXPECT_EQ(m_service->cachedAnswerCount(), 0) << "a stale answer was kept";
        EXPECT_FALSE(m_service->isAvailable(*item)) << "the disk is asked again";
    }
}

TEST_F(FileAvailabilityServiceTest, AFolderThatWentIsWatchedAgainOnceItIsBack)
{
    create(QStringLiteral("/home/ann/Docs/a.txt"));
    const ClipboardItemPtr item = fileItem(QStringLiteral("/home/ann/Docs/a.txt"));
    EXPECT_TRUE(m_service->isAvailable(*item));
    // The folder is deleted: its watch is gone.
    m_existing.remove(QStringLiteral("/home/ann/Docs/a.txt"));
    m_existing.remove(QStringLiteral("/home/ann/Docs"));
    m_stream->deliver({ { QStringLiteral("/home/ann/Docs") }, { QStringLiteral("/home/ann/Docs") } });
    EXPECT_FALSE(m_service->isAvailable(*item));
    EXPECT_TRUE(m_service->watchedDirectories().isEmpty());
    // It comes back.
    create(QStringLiteral("/home/ann/Docs/a.txt"));
    m_stream->deliver({ { QStringLiteral("/home/ann/Docs") }, {} });
    EXPECT_TRUE(m_service->isAvailable(*item));
    EXPECT_EQ(m_service->watchedDirectories(), QSet<QString> { QStringLiteral("/home/ann/Docs") });
    EXPECT_EQ(m_stream->requests().size(), 2);
}

TEST_F(FileAvailabilityServiceTest, CachedAnswersHoldUnderConcurrentEvents)
{
    for (int i = 0; i < 50; ++i)
        create(QStringLiteral("/home/ann/f%1.txt").arg(i));
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < 100; ++i)
        items.append(fileItem(QStringLiteral("/home/ann/f%1.txt").arg(i)));
    runWhileRepeating(
        [this] {
            m_stream->deliver({ { QStringLiteral("/home/ann") }, {} });
        },
        [&] {
            for (int round = 0; round < 200; ++round) {
                for (int i = 0; i < items.size(); ++i)
                    ASSERT_EQ(m_service->isAvailable(*items[i]), i < 50) << i;
            }
        });
}

namespace {

// A disk in memory that records on which threads it was asked and can hang like a dead mount.
struct SlowDisk
{
    QMutex mutex;
    QSet<QString> existing;
    QList<QThread *> threads;
    QStringList asked;
    std::atomic<bool> hang { false };

    std::function<bool(const QString &)> probe()
    {
        return [this](const QString &path) {
            while (hang && path.startsWith(QLatin1String("/hung")))
                QThread::msleep(2);
            QMutexLocker locker(&mutex);
            threads.append(QThread::currentThread());
            asked.append(path);
            return existing.contains(path);
        };
    }
    qsizetype askedOn(QThread *thread)
    {
        QMutexLocker locker(&mutex);
        return threads.count(thread);
    }
    qsizetype askedAbout(const QString &path)
    {
        QMutexLocker locker(&mutex);
        return asked.count(path);
    }
    void setExists(const QString &path, bool exists)
    {
        QMutexLocker locker(&mutex);
        if (exists)
            existing.insert(path);
        else
            existing.remove(path);
    }
};

// A service over these answers, with a stream whose events the test delivers.
struct WatchedService
{
    FakeFileEventStream *events = nullptr;
    std::unique_ptr<FileAvailabilityService> service;
};

WatchedService watchedService(FileExistence &files, std::unique_ptr<FakeVolumeMonitor> volumes = nullptr)
{
    auto stream = std::make_unique<FakeFileEventStream>();
    WatchedService made { stream.get(), nullptr };
    FileAvailabilityService::Dependencies dependencies;
    dependencies.fileEvents = std::move(stream);
    dependencies.volumes = std::move(volumes);
    dependencies.files = &files;
    made.service = std::make_unique<FileAvailabilityService>(std::move(dependencies));
    return made;
}

ClipboardItemPtr fileItemAt(const QString &path, const QStringList &further = {})
{
    ClipboardItemPtr item
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) });
    if (!further.isEmpty())
        item->setAdditionalFileURLStrings(further);
    return item;
}

} // namespace

TEST(FileAvailabilityServiceBackgroundTest, NothingWaitsForTheDiskAndThePanelHearsWhatTheChecksFound)
{
    SlowDisk disk;
    disk.existing = { QStringLiteral("/home/ann"), QStringLiteral("/home/ann/here.txt") };
    FileExistence files;
    files.setProbe(disk.probe());
    files.setBackgroundChecks(true);
    auto volumes = std::make_unique<FakeVolumeMonitor>();
    volumes->table = QStringList { QStringLiteral("/"), QStringLiteral("/hung/share") };
    WatchedService watched = watchedService(files, std::move(volumes));
    FakeFileEventStream *events = watched.events;
    FileAvailabilityService &service = *watched.service;
    int posts = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::volumesDidChange, &observer, [&](const QVariantMap &) { ++posts; });

    const ClipboardItemPtr here = fileItemAt(QStringLiteral("/home/ann/here.txt"));
    const ClipboardItemPtr gone = fileItemAt(QStringLiteral("/home/ann/gone.txt"));
    const ClipboardItemPtr hung = fileItemAt(QStringLiteral("/hung/share/file.txt"));
    disk.hang = true;
    for (const ClipboardItemPtr &item : { here, gone, hung })
        EXPECT_TRUE(service.isAvailable(*item)) << "not checked yet: there until a check says otherwise";
    // The mount that hangs holds up its own checks only.
    ASSERT_TRUE(waitUntil([&] { return posts > 0 && !service.isAvailable(*gone); }))
        << "the missing file was never found missing";
    EXPECT_TRUE(service.isAvailable(*here));
    EXPECT_TRUE(service.isAvailable(*hung)) << "a hung mount gives no answer yet";
    ASSERT_TRUE(
        waitUntil([&] { return service.watchedDirectories().contains(QStringLiteral("/home/ann")); }));
    EXPECT_EQ(events->requests().size(), 1);
    disk.hang = false;
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    EXPECT_FALSE(service.isAvailable(*hung));

    // The file goes: the change has its answer checked again, and the check tells the panel.
    disk.setExists(QStringLiteral("/home/ann/here.txt"), false);
    const int before = posts;
    events->deliver({ { QStringLiteral("/home/ann/here.txt") }, {} });
    EXPECT_TRUE(service.isAvailable(*here)) << "the answer stands until the check";
    EXPECT_TRUE(waitUntil([&] { return posts == before + 1 && !service.isAvailable(*here); }));

    // It comes back unseen (a share's own change): a show reads the mounts again, every answer
    // stands, and the check made in the background tells the panel of the one that changed.
    disk.setExists(QStringLiteral("/home/ann/here.txt"), true);
    const int beforeShow = posts;
    EXPECT_FALSE(service.rereadMountedVolumesUnannounced()) << "the same mounts";
    EXPECT_FALSE(service.isAvailable(*here)) << "the answer stands until the check";
    EXPECT_FALSE(service.isAvailable(*gone));
    EXPECT_TRUE(waitUntil([&] { return posts == beforeShow + 1 && service.isAvailable(*here); }));
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    // Nothing changed since: a show tells nobody.
    service.rereadMountedVolumesUnannounced();
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(posts, beforeShow + 1);
    EXPECT_EQ(disk.askedOn(QThread::currentThread()), 0) << "the disk was asked on the panel's thread";
}

namespace {

// Paths of `count` files in a folder, in their names' order.
QStringList numberedFiles(const QString &folder, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths.append(folder + QStringLiteral("/file-%1.txt").arg(i, 5, 10, QLatin1Char('0')));
    return paths;
}

} // namespace

TEST(FileAvailabilityServiceBackgroundTest, ABurstOfThousandsOfDeletionsIsCheckedOnceAndToldOnce)
{
    // A copied list of 10,000 files, of which 5,000 are then deleted in one go.
    SlowDisk disk;
    const QString folder = QStringLiteral("/home/ann/list");
    disk.existing = { QStringLiteral("/home/ann"), folder };
    const QStringList paths = numberedFiles(folder, 10'000);
    disk.existing.unite(QSet<QString>(paths.cbegin(), paths.cend()));
    QStringList further;
    for (const QString &path : paths.sliced(1))
        further.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    // The one the items' own file values ask too, as in the app.
    ManualClock clock;
    FileExistence files;
    files.setClock(clock);
    files.setProbe(disk.probe());
    files.setBackgroundChecks(true);
    files.setMaxAge(3'600'000); // no answer ages during the test: only the burst has things checked
    WatchedService watched = watchedService(files);
    FakeFileEventStream *events = watched.events;
    FileAvailabilityService &service = *watched.service;
    const ClipboardItemPtr item = fileItemAt(paths.first(), further);
    // What the panel does on every "volumesDidChange": it counts the files and asks.
    int posts = 0;
    const auto look = [&] {
        item->countAvailableFiles(files);
        service.isAvailable(*item);
    };
    QObject panel;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::volumesDidChange, &panel, [&](const QVariantMap &) {
            ++posts;
            look();
        });
    look();
    ASSERT_TRUE(waitUntil(
        [&] { return files.pendingChecks() == 0 && service.watchedDirectories().contains(folder); }));
    const qsizetype answered = files.cachedAnswerCount();
    ASSERT_EQ(answered, ClipboardItem::maxCheckedFiles) << "the files counted";
    posts = 0;
    const qsizetype askedBefore = disk.asked.size();

    const QStringList deleted = paths.first(5'000);
    for (const QString &path : deleted)
        disk.setExists(path, false);
    events->deliver({ deleted, {} });
    ASSERT_TRUE(waitUntil([&] { return posts > 0 && files.pendingChecks() == 0; }));
    clock.advance(std::chrono::milliseconds(600)); // past any announcement still waiting
    QCoreApplication::processEvents();
    EXPECT_EQ(posts, 1) << "the panel is told once of the burst";
    QMutexLocker locker(&disk.mutex);
    const QStringList askedSince = disk.asked.mid(askedBefore);
    locker.unlock();
    EXPECT_EQ(askedSince.size(), ClipboardItem::maxCheckedFiles) << "each answer the burst concerned, once";
    EXPECT_EQ(QSet<QString>(askedSince.cbegin(), askedSince.cend()).size(), askedSince.size());
    // The first thousand files are gone; those not looked for count as present.
    EXPECT_EQ(item->countAvailableFiles(files), 10'000 - ClipboardItem::maxCheckedFiles);
    EXPECT_TRUE(service.isAvailable(*item));
}

TEST(FileAvailabilityServiceBackgroundTest, TheItemsOwnFileValuesAndThePanelShareOneCache)
{
    SlowDisk disk;
    disk.existing = { QStringLiteral("/home/ann"), QStringLiteral("/home/ann/a.txt") };
    FileExistence files;
    files.setProbe(disk.probe());
    {
        WatchedService watched = watchedService(files);
        FakeFileEventStream *events = watched.events;
        FileAvailabilityService &service = *watched.service;

        const ClipboardItemPtr item = fileItemAt(QStringLiteral("/home/ann/a.txt"),
            { QUrl::fromLocalFile(QStringLiteral("/home/ann/b.txt")).toString(QUrl::FullyEncoded) });
        EXPECT_TRUE(service.isAvailable(*item));
        EXPECT_EQ(item->countAvailableFiles(files), 1);
        EXPECT_EQ(disk.askedAbout(QStringLiteral("/home/ann/a.txt")), 1) << "the item asked the disk again";
        EXPECT_EQ(disk.askedAbout(QStringLiteral("/home/ann/b.txt")), 1);

        // The second file comes: the folder's change reaches both.
        disk.setExists(QStringLiteral("/home/ann/b.txt"), true);
        events->deliver({ { QStringLiteral("/home/ann/b.txt") }, {} });
        EXPECT_EQ(item->countAvailableFiles(files), 2);
        EXPECT_TRUE(service.checkFile(QStringLiteral("/home/ann/b.txt")));
        EXPECT_EQ(disk.askedAbout(QStringLiteral("/home/ann/b.txt")), 2);
        EXPECT_EQ(disk.askedAbout(QStringLiteral("/home/ann/a.txt")), 1);
    }
    // With the service gone nobody watches: answers are no longer kept.
    EXPECT_EQ(files.cachedAnswerCount(), 0);
    EXPECT_FALSE(files.exists(QStringLiteral("/home/ann/c.txt")));
    EXPECT_FALSE(files.exists(QStringLiteral("/home/ann/c.txt")));
    EXPECT_EQ(disk.askedAbout(QStringLiteral("/home/ann/c.txt")), 2);
    files.setProbe([](const QString &path) { return QFileInfo::exists(path); });
}

// An item that leaves the history (pruned, deleted, cleared) takes its answers with it: the
// service's for the item, the disk's for its files (those the rows asked about and those a
// paste counted) and the watch of its folder, unless an item that stays still needs them.
TEST(FileAvailabilityServiceHistoryTest, AnItemThatLeavesTheHistoryLeavesNoAnswerBehind)
{
    const QString docs = QStringLiteral("/home/ann/Docs");
    const QString a = docs + QStringLiteral("/a.txt");
    const QString b = docs + QStringLiteral("/b.txt");
    const QString went = docs + QStringLiteral("/went.txt");
    const QString song = QStringLiteral("/home/ann/Music/c.mp3");
    struct Case
    {
        const char *name;
        ClipboardItemPtr gone;
        QList<ClipboardItemPtr> staying;
        bool pasted;
        QStringList answersLeft; // what the disk's answers hold afterwards
        QSet<QString> watchedAfter;
    };
    const Case cases[] = {
        { "a file", fileItemAt(a), {}, false, {}, {} },
        { "a list whose first file went (the others were looked for)",
            fileItemAt(went, { fileURL(b), fileURL(song) }), {}, false, {}, {} },
        { "a list pasted (all its files were counted)", fileItemAt(a, { fileURL(went), fileURL(song) }), {},
            true, {}, {} },
        { "a file an item that stays names too", fileItemAt(a), { fileItemAt(a) }, false, { a }, { docs } },
        { "a file in the folder of a file that stays", fileItemAt(a), { fileItemAt(b) }, false, { b },
            { docs } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SlowDisk disk;
        disk.existing = { QStringLiteral("/home/ann"), docs, QStringLiteral("/home/ann/Music"), a, b, song };
        FileExistence files;
        files.setProbe(disk.probe());
        WatchedService watched = watchedService(files);
        FileAvailabilityService &service = *watched.service;
        for (const ClipboardItemPtr &item : c.staying)
            EXPECT_TRUE(service.isAvailable(*item));
        EXPECT_TRUE(service.isAvailable(*c.gone));
        if (c.pasted)
            c.gone->countAvailableFiles(files);
        ASSERT_EQ(service.itemAnswerCount(), c.staying.size() + 1);
        ASSERT_GT(files.cachedAnswerCount(), 0);

        service.forgetItems({ c.gone });
        EXPECT_EQ(service.itemAnswerCount(), c.staying.size());
        EXPECT_EQ(files.cachedAnswerCount(), c.answersLeft.size());
        EXPECT_EQ(service.watchedDirectories(), c.watchedAfter);
        // What is left is the staying items' own: asked again, the disk is not.
        const QStringList asked = disk.asked;
        for (const QString &path : c.answersLeft)
            EXPECT_TRUE(files.exists(path));
        for (const ClipboardItemPtr &item : c.staying)
            EXPECT_TRUE(service.isAvailable(*item));
        EXPECT_EQ(disk.asked, asked);
    }
}

// A file renamed within its folder is still found by its identity on disk (the paste finds it
// the same way); one deleted is not, and is not looked for again until something changes.
TEST(FileAvailabilityServiceRenameTest, AFileRenamedWithinItsFolderStaysAvailable)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString before = folder.filePath(QStringLiteral("notes.txt"));
    const QString renamed = folder.filePath(QStringLiteral("notes (old).txt"));
    const QString deleted = folder.filePath(QStringLiteral("draft.txt"));
    for (const QString &path : { before, deleted }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    auto itemFor = [](const QString &path) {
        const QUrl url = QUrl::fromLocalFile(path);
        return ClipboardItem::create(
            ClipboardItemType::file, { .fileURL = url, .fileBookmarkData = FileBookmark::create(url) });
    };
    const ClipboardItemPtr notes = itemFor(before);
    const ClipboardItemPtr draft = itemFor(deleted);
    ASSERT_TRUE(notes->fileBookmarkData() && draft->fileBookmarkData());

    FileAvailabilityService::Dependencies dependencies;
    dependencies.fileEvents = std::make_unique<FakeFileEventStream>();
    dependencies.volumes = std::make_unique<FakeVolumeMonitor>();
    dependencies.fileExists = [](const QString &path) { return QFileInfo::exists(path); };
    FileAvailabilityService service(std::move(dependencies));
    int posts = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::volumesDidChange, &observer, [&](const QVariantMap &) { ++posts; });
    EXPECT_TRUE(service.isAvailable(*notes));
    EXPECT_TRUE(service.isAvailable(*draft));

    ASSERT_TRUE(QFile::rename(before, renamed));
    ASSERT_TRUE(QFile::remove(deleted));
    service.refreshMountedVolumes();
    const int afterRefresh = posts;
    EXPECT_FALSE(service.isAvailable(*notes)) << "the search runs in the background";
    EXPECT_FALSE(service.isAvailable(*draft));
    ASSERT_TRUE(waitUntil([&] { return posts > afterRefresh; })) << "the renamed file was never found";
    EXPECT_TRUE(service.isAvailable(*notes));
    EXPECT_FALSE(service.isAvailable(*draft));

    // Renamed back, it is found at its first path again.
    ASSERT_TRUE(QFile::rename(renamed, before));
    service.refreshMountedVolumes();
    EXPECT_TRUE(service.isAvailable(*notes));
    // Nothing more to find: no notification comes of the deleted file.
    const int settled = posts;
    waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(posts, settled);
    EXPECT_FALSE(service.isAvailable(*draft));
    // The last look asked for a search of the deleted file's folder on a thread of its own:
    // it reads the folder that goes with the test.
    EXPECT_TRUE(waitUntil([] { return UserFiles::shared().unfinished() == 0; }));
}

// File names are bytes: a file whose name is no UTF-8 is there like any other, for the panel and
// for the item's own count, with the disk asked as the running app asks it.
TEST(FileAvailabilityServiceBytesTest, AFileWhoseNameIsNotUtf8IsThere)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const FilesNamedByBytes named(folder.path());
    const QList<QByteArray> names
        = { "\xFF\xFE report.txt", "plain.txt", "caf\xE9.txt", "a\x80z", "\xC0\xAF" };
    QStringList urls;
    for (const QByteArray &name : names) {
        urls.append(QString::fromLatin1(named.create(name)));
        ASSERT_FALSE(urls.last().isEmpty());
    }
    FileExistence files;
    WatchedService watched = watchedService(files);
    const struct
    {
        const char *what;
        QStringList order;
        bool available;
        int count;
    } cases[] = {
        { "one file, no UTF-8", { urls[0] }, true, 1 },
        { "five files, the first no UTF-8", urls, true, 5 },
        { "five files, the first UTF-8", { urls[1], urls[0], urls[2], urls[3], urls[4] }, true, 5 },
        { "a name that is gone", { urls[0] + QStringLiteral("%FF") }, false, 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file,
            { .fileURL = QUrl::fromEncoded(c.order.first().toLatin1(), QUrl::StrictMode) });
        if (c.order.size() > 1)
            item->setAdditionalFileURLStrings(c.order.mid(1));
        EXPECT_EQ(watched.service->isAvailable(*item), c.available);
        EXPECT_EQ(item->countAvailableFiles(files), c.count);
    }
}
