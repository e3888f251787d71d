// The Linux pieces behind file availability: the mount table and its change notice, and the
// inotify stream on real folders (mounts only where the test may mount).
#include "common/NotificationCenter.h"
#include "enrichment/FileAvailabilityService.h"
#include "platform/InotifyFileEventStream.h"
#include "platform/MountInfoVolumeMonitor.h"
#include "support/SeparateProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// What a stream reported, collected from its thread.
struct Reports
{
    mutable QMutex mutex;
    QStringList paths;
    QStringList dropped;

    FileEventStream::Handler handler()
    {
        return [this](const FileEventStream::Events &events) {
            QMutexLocker locker(&mutex);
            paths += events.paths;
            dropped += events.droppedDirectories;
        };
    }
    bool hasPath(const QString &path) const
    {
        QMutexLocker locker(&mutex);
        return paths.contains(path);
    }
    bool hasDropped(const QString &path) const
    {
        QMutexLocker locker(&mutex);
        return dropped.contains(path);
    }
};

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

TEST(MountInfoVolumeMonitorTest, MountPointsAreTheFifthFieldUnescaped)
{
    const QByteArray table = "22 1 0:21 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                             "35 22 8:17 / /media/ann/My\\040Stick rw,nosuid - vfat /dev/sdb1 rw\n"
                             "36 22 8:18 / /run/media/ann/back\\134slash rw - ext4 /dev/sdb2 rw\n"
                             "37 22 0:50 /sub /mnt/tab\\011name rw - tmpfs none rw\n"
                             "38 22 0:51 / /media/ann/caf\xc3\xa9 rw - vfat /dev/sdc1 rw\n"
                             "broken line\n"
                             "\n";
    EXPECT_EQ(MountInfoVolumeMonitor::parseMountPoints(table),
        (QStringList { QStringLiteral("/"), QStringLiteral("/media/ann/My Stick"),
            QStringLiteral("/run/media/ann/back\\slash"), QStringLiteral("/mnt/tab\tname"),
            QStringLiteral("/media/ann/caf\u00e9") }));
    EXPECT_TRUE(MountInfoVolumeMonitor::parseMountPoints(QByteArray()).isEmpty());
}

TEST(MountInfoVolumeMonitorTest, VolumesAreMountedUnderTheUsersFoldersAndMnt)
{
    struct Case
    {
        const char *user;
        QStringList roots;
    };
    for (const Case &c :
        { Case { "ann",
              { QStringLiteral("/media/ann"), QStringLiteral("/run/media/ann"), QStringLiteral("/mnt") } },
            Case { "", { QStringLiteral("/mnt") } }, Case { "../etc", { QStringLiteral("/mnt") } } }) {
        SCOPED_TRACE(c.user);
        QStringList roots;
        for (const VolumeMonitor::VolumeRoot &root :
            MountInfoVolumeMonitor::rootsForUser(QString::fromUtf8(c.user))) {
            roots.append(root.path);
            EXPECT_EQ(root.holdsOnlyMountPoints, root.path != QLatin1String("/mnt"));
        }
        EXPECT_EQ(roots, c.roots);
    }
    EXPECT_FALSE(MountInfoVolumeMonitor::currentUserName().isEmpty());
}

TEST(MountInfoVolumeMonitorTest, TheRealTableIsReadAndAMissingOneIsNoTable)
{
    MountInfoVolumeMonitor monitor;
    const std::optional<QStringList> points = monitor.mountPoints();
    ASSERT_TRUE(points);
    EXPECT_TRUE(points->contains(QStringLiteral("/")));
    MountInfoVolumeMonitor missing(QStringLiteral("/nonexistent/mountinfo"));
    EXPECT_EQ(missing.mountPoints(), std::nullopt);
}

TEST(MountInfoVolumeMonitorTest, AMountAndAnUnmountAreNoticed)
{
    QTemporaryDir folder;
    const QString point = folder.filePath(QStringLiteral("volume"));
    ASSERT_TRUE(QDir().mkpath(point));
    MountInfoVolumeMonitor monitor;
    QSignalSpy changes(&monitor, &VolumeMonitor::mountsChanged);
    if (!run(QStringLiteral("mount"),
            { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("none"), point }))
        GTEST_SKIP() << "this test may not mount file systems";
    EXPECT_TRUE(waitUntil([&] { return changes.size() >= 1; })) << "the mount went unnoticed";
    EXPECT_TRUE(monitor.mountPoints()->contains(point));
    const qsizetype afterMount = changes.size();
    ASSERT_TRUE(run(QStringLiteral("umount"), { point }));
    EXPECT_TRUE(waitUntil([&] { return changes.size() > afterMount; })) << "the unmount went unnoticed";
    EXPECT_FALSE(monitor.mountPoints()->contains(point));
}

TEST(InotifyFileEventStreamTest, ChangesInWatchedFoldersAreReportedWithTheirPaths)
{
    QTemporaryDir folder;
    const QString watched = folder.filePath(QStringLiteral("watched"));
    const QString sibling = folder.filePath(QStringLiteral("sibling"));
    ASSERT_TRUE(QDir().mkpath(watched));
    ASSERT_TRUE(QDir().mkpath(sibling));
    ASSERT_TRUE(touch(watched + QStringLiteral("/old.txt")));
    ASSERT_TRUE(touch(watched + QStringLiteral("/moved.txt")));

    Reports reports;
    InotifyFileEventStream stream(50);
    ASSERT_TRUE(stream.isValid());
    stream.setHandler(reports.handler());
    stream.watchDirectories({ watched, folder.filePath(QStringLiteral("missing")) });
    EXPECT_TRUE(waitUntil([&] { return reports.hasDropped(folder.filePath(QStringLiteral("missing"))); }))
        << "a folder that cannot be watched is reported";
    // The watch is set on the stream's thread; a created file shows when it is in place.
    ASSERT_TRUE(waitUntil([&] {
        touch(watched + QStringLiteral("/probe.txt"));
        return reports.hasPath(watched + QStringLiteral("/probe.txt"));
    }));

    struct Case
    {
        const char *name;
        std::function<bool()> change;
        QString reported;
    };
    const Case cases[] = {
        { "created", [&] { return touch(watched + QStringLiteral("/new.txt")); },
            watched + QStringLiteral("/new.txt") },
        { "deleted", [&] { return QFile::remove(watched + QStringLiteral("/old.txt")); },
            watched + QStringLiteral("/old.txt") },
        { "renamed away",
            [&] {
                return QFile::rename(
                    watched + QStringLiteral("/moved.txt"), sibling + QStringLiteral("/moved.txt"));
            },
            watched + QStringLiteral("/moved.txt") },
        { "a sub-folder created", [&] { return QDir().mkdir(watched + QStringLiteral("/sub")); },
            watched + QStringLiteral("/sub") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.change());
        EXPECT_TRUE(waitUntil([&] { return reports.hasPath(c.reported); }));
    }
    // A change in a folder that is not watched is not reported.
    ASSERT_TRUE(touch(sibling + QStringLiteral("/quiet.txt")));
    // The watched folder itself goes: reported, and its watch dropped.
    ASSERT_TRUE(QDir(watched).removeRecursively());
    EXPECT_TRUE(waitUntil([&] { return reports.hasDropped(watched); }));
    EXPECT_TRUE(reports.hasPath(watched));
    EXPECT_FALSE(reports.hasPath(sibling + QStringLiteral("/quiet.txt")));
}

// The folders of the items that left the history are let go: the kernel holds no watch for them
// and their changes are not reported, while the folders still named stay watched.
TEST(InotifyFileEventStreamTest, FoldersLeftOutOfTheWatchesAreLetGo)
{
    QTemporaryDir folder;
    // The third is a second path of the first, through a link: they share a watch.
    const QStringList folders { folder.filePath(QStringLiteral("kept")),
        folder.filePath(QStringLiteral("gone")), folder.filePath(QStringLiteral("alias")) };
    ASSERT_TRUE(QDir().mkpath(folders[0]) && QDir().mkpath(folders[1]));
    ASSERT_TRUE(QFile::link(folders[0], folders[2]));
    Reports reports;
    InotifyFileEventStream stream(50);
    ASSERT_TRUE(stream.isValid());
    stream.setHandler(reports.handler());
    // Which of the two folders the kernel holds watches on, for any instance of this process.
    const auto watched = [&] {
        const QList<quint64> inodes = inotifyWatchedInodes(QCoreApplication::applicationPid());
        return QList<qsizetype> { inodes.count(inodeOf(folders[0])), inodes.count(inodeOf(folders[1])) };
    };
    stream.watchDirectories(folders);
    ASSERT_TRUE(waitUntil([&] { return watched() == QList<qsizetype> { 1, 1 }; }));

    stream.watchDirectories({ folders[0] });
    ASSERT_TRUE(waitUntil([&] { return watched() == QList<qsizetype> { 1, 0 }; })) << "a watch was kept";
    ASSERT_TRUE(touch(folders[1] + QStringLiteral("/quiet.txt")));
    ASSERT_TRUE(waitUntil([&] {
        touch(folders[0] + QStringLiteral("/probe.txt"));
        return reports.hasPath(folders[0] + QStringLiteral("/probe.txt"));
    })) << "the folder still named is no longer watched";
    EXPECT_FALSE(reports.hasPath(folders[1] + QStringLiteral("/quiet.txt")));
    EXPECT_FALSE(reports.hasPath(folders[2] + QStringLiteral("/probe.txt")));
    EXPECT_FALSE(reports.hasDropped(folders[1])) << "a folder let go on purpose was reported as dropped";

    stream.watchDirectories({});
    EXPECT_TRUE(waitUntil([&] { return watched() == QList<qsizetype> { 0, 0 }; }));
}

TEST(InotifyFileEventStreamTest, TheServiceForgetsADeletedFileAndTellsThePanel)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.txt"));
    ASSERT_TRUE(touch(path));
    FileAvailabilityService::Dependencies dependencies;
    dependencies.fileEvents = std::make_unique<InotifyFileEventStream>(50);
    dependencies.volumes = std::make_unique<MountInfoVolumeMonitor>();
    FileAvailabilityService service(std::move(dependencies));
    int posts = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::volumesDidChange, &observer, [&](const QVariantMap &) { ++posts; });

    const ClipboardItemPtr item
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) });
    ASSERT_TRUE(service.isAvailable(*item));
    // The folder's watch is set on the stream's thread: a probe file shows when it is in place.
    const QString probe = folder.filePath(QStringLiteral("probe"));
    ASSERT_TRUE(waitUntil([&] {
        service.checkFile(probe); // remembered as missing, until an event says otherwise
        touch(probe);
        QFile::remove(probe);
        return posts > 0;
    }));
    const int before = posts;
    ASSERT_TRUE(service.isAvailable(*item));
    ASSERT_TRUE(QFile::remove(path));
    // The probe's own last events may still post after `before` was read: the wait is for the
    // deletion's answer itself, told to the panel.
    EXPECT_TRUE(waitUntil([&] { return posts > before && !service.isAvailable(*item); }))
        << "the deletion was not told (posts " << posts - before << ") or the file still counts as there";
}

TEST(InotifyFileEventStreamTest, AFileOnAnUnmountedFileSystemIsForgotten)
{
    QTemporaryDir folder;
    const QString point = folder.filePath(QStringLiteral("volume"));
    ASSERT_TRUE(QDir().mkpath(point));
    if (!run(QStringLiteral("mount"),
            { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("none"), point }))
        GTEST_SKIP() << "this test may not mount file systems";
    // Unmounted whatever happens, before the folder goes.
    const std::unique_ptr<void, std::function<void(void *)>> unmount(&folder, [&](void *) {
        run(QStringLiteral("umount"), { QStringLiteral("-l"), point });
    });
    const QString inside = point + QStringLiteral("/inside");
    ASSERT_TRUE(QDir().mkpath(inside));

    Reports reports;
    InotifyFileEventStream stream(50);
    stream.setHandler(reports.handler());
    stream.watchDirectories({ inside });
    ASSERT_TRUE(waitUntil([&] {
        touch(inside + QStringLiteral("/probe"));
        QFile::remove(inside + QStringLiteral("/probe"));
        return reports.hasPath(inside + QStringLiteral("/probe"));
    }));
    ASSERT_TRUE(run(QStringLiteral("umount"), { point }));
    EXPECT_TRUE(waitUntil([&] { return reports.hasDropped(inside); }));
    EXPECT_TRUE(reports.hasPath(inside));
}
