#include "platform/FileExistence.h"

#include "model/ClipboardItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

namespace {

// Records on which threads the disk was asked, and can hold a question up like a dead
// network mount does.
struct RecordingProbe
{
    QMutex mutex;
    QList<QThread *> threads;
    QStringList paths;
    std::atomic<bool> hang { false };

    std::function<bool(const QString &)> function()
    {
        return [this](const QString &path) {
            {
                QMutexLocker lock(&mutex);
                threads.append(QThread::currentThread());
                paths.append(path);
            }
            while (hang && path.startsWith(QLatin1String("/hung/")))
                QThread::msleep(5);
            return QFile::exists(path);
        };
    }
    qsizetype askedOn(QThread *thread)
    {
        QMutexLocker lock(&mutex);
        return threads.count(thread);
    }
    qsizetype count()
    {
        QMutexLocker lock(&mutex);
        return paths.size();
    }
};

} // namespace

TEST(FileExistenceTest, WithBackgroundChecksTheCallerNeverWaitsForTheDisk)
{
    QTemporaryDir folder;
    const QString present = folder.filePath(QStringLiteral("present"));
    QFile(present).open(QIODevice::WriteOnly);
    const QString missing = folder.filePath(QStringLiteral("missing"));

    RecordingProbe probe;
    FileExistence files;
    files.setProbe(probe.function());
    EXPECT_TRUE(files.exists(present));
    EXPECT_FALSE(files.exists(missing));
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 2) << "without background checks: at once";

    files.setBackgroundChecks(true);
    QSignalSpy changed(&files, &FileExistence::answersChanged);
    EXPECT_TRUE(files.exists(missing)) << "not checked yet: present until the check says otherwise";
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty(); }));
    EXPECT_FALSE(files.exists(missing));
    EXPECT_TRUE(files.exists(present));
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    EXPECT_EQ(changed.size(), 1) << "only the answer that turned out differently is announced";
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 2) << "no question on the caller's thread since";

    // A mount that hangs holds up its own checks only, never the caller.
    probe.hang = true;
    EXPECT_TRUE(files.exists(QStringLiteral("/hung/file")));
    EXPECT_TRUE(files.exists(QStringLiteral("/hung/other")));
    EXPECT_EQ(probe.askedOn(QThread::currentThread()), 2);
    probe.hang = false;
    ASSERT_TRUE(waitUntil([&] { return files.pendingChecks() == 0; }));
    EXPECT_FALSE(files.exists(QStringLiteral("/hung/file")));

    // Old answers are given as they are and checked again.
    files.setMaxAge(0);
    QFile::remove(present);
    EXPECT_TRUE(files.exists(present));
    ASSERT_TRUE(waitUntil([&] { return !files.exists(present); }));
}

TEST(FileExistenceTest, AnItemOfManyFilesLooksForABoundedNumberOfThem)
{
    QTemporaryDir folder;
    QStringList others;
    for (int i = 0; i < 5000; ++i)
        others.append(
            QUrl::fromLocalFile(folder.filePath(QStringLiteral("f%1").arg(i))).toString(QUrl::FullyEncoded));
    // Only the first and the last three of the further files exist.
    for (const QString &name : { QStringLiteral("first"), QStringLiteral("f4997"), QStringLiteral("f4998"),
             QStringLiteral("f4999") })
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(folder.filePath(QStringLiteral("first"))) });
    item->setAdditionalFileURLStrings(others);

    RecordingProbe probe;
    FileExistence::shared().setProbe(probe.function());
    const int available = item->countAvailableFiles();
    FileExistence::shared().setProbe([](const QString &path) { return QFile::exists(path); });
    EXPECT_EQ(probe.count(), ClipboardItem::maxCheckedFiles);
    // The first is there; of the 999 further files looked for none is; the 4,001 not looked
    // for count as present.
    EXPECT_EQ(available, 1 + (5000 - (ClipboardItem::maxCheckedFiles - 1)));
}
