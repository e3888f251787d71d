#include "platform/AtomicFile.h"

#include "support/FileSizeLimit.h"
#include "support/SmallFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Takes up the room left in the folder with a file of its own; true once a write found none.
bool fill(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'f');
    while (filler.write(block) > 0) { }
    return filler.error() != QFileDevice::NoError;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A write that runs out of room, at the start, on the way or at its last byte, leaves the old
// file as it was and nothing else; one that has room replaces it whole.
TEST(AtomicFileTest, AWriteWithoutRoomForEveryByteKeepsTheOldFile)
{
    const struct
    {
        const char *name;
        // The room the write has; none: no limit.
        std::optional<qint64> room;
        qsizetype size;
    } cases[] = {
        { "room enough", std::nullopt, 600 },
        { "room for exactly every byte", 600, 600 },
        { "no room at all", 0, 600 },
        { "room for part of it", 100, 600 },
        { "room for all but the last byte", 599, 600 },
        { "room for a buffer's worth of a larger file", 4096, 20'000 },
        { "room for a larger file", 20'000, 20'000 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("settings.json"));
        const QByteArray old = "{\"historyLimit\": 70}\n";
        ASSERT_TRUE(writeFile(path, old));
        QByteArray contents(c.size, 'n');
        contents.back() = '\n';
        AtomicFile::Result result;
        {
            std::optional<FileSizeLimit> limit;
            if (c.room) {
                limit.emplace(0, *c.room);
                ASSERT_TRUE(limit->isApplied());
            }
            result = AtomicFile::replace(path, contents);
        }
        const bool fits = !c.room || *c.room >= c.size;
        EXPECT_EQ(result.ok, fits);
        EXPECT_EQ(result.error, fits ? QString() : systemWords(EFBIG));
        EXPECT_EQ(contentsOf(path), fits ? contents : old);
        EXPECT_EQ(entriesOf(folder.path()), QStringList { QStringLiteral("settings.json") })
            << "a temporary file was left behind";
    }
}

TEST(AtomicFileTest, AFolderThatCannotHoldTheFileIsReportedAndChangesNothing)
{
    QTemporaryDir home;
    // A file where the folder should be.
    const QString blocking = home.filePath(QStringLiteral("config"));
    ASSERT_TRUE(writeFile(blocking, "not a folder"));
    const AtomicFile::Result result = AtomicFile::replace(blocking + QStringLiteral("/entry"), "contents");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, systemWords(ENOTDIR));
    EXPECT_EQ(contentsOf(blocking), QByteArray("not a folder"));
}

// A file system with no room left, the full disk users meet; written whole once room is made.
TEST(AtomicFileTest, AFullFileSystemKeepsTheOldFileUntilThereIsRoom)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("config"));
    const QString path = folder + QStringLiteral("/settings.json");
    const QByteArray contents(8192, 'n');
    const SmallFolders::Outcome outcome = SmallFolders::inChild([&] {
        if (!SmallFolders::limit(folder, 64 * 1024) || !writeFile(path, "old") || !fill(folder))
            return QStringLiteral("<no full folder>");
        const AtomicFile::Result full = AtomicFile::replace(path, contents);
        QStringList seen { full.error, QString::fromUtf8(contentsOf(path)), entriesOf(folder).join(u' ') };
        if (!SmallFolders::limit(folder, 1024 * 1024))
            return QStringLiteral("<no room made>");
        seen.append(AtomicFile::replace(path, contents).ok && contentsOf(path) == contents ? "written"
                                                                                           : "not written");
        return seen.join(u'\n');
    });
    if (!outcome.available)
        GTEST_SKIP() << "this machine gives a process no mounts of its own";
    EXPECT_EQ(outcome.result,
        QStringList({ systemWords(ENOSPC), "old", "filler settings.json", "written" }).join(u'\n'));
}

} // namespace
