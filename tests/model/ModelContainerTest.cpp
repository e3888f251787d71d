#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteConnection.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QTemporaryDir>

#include <sqlite3.h>

TEST(ModelContainerTest, CreatesTheFolderAndAWalStoreOfVersionOneAndReopensIt)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/deep/Tindlewick/default.store");
    QString error;
    {
        auto container = ModelContainer::open(path, &error);
        ASSERT_TRUE(container) << error.toStdString();
        EXPECT_EQ(container->storePath(), path);
        auto item = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("kept") });
        container->mainContext()->insert(item);
        ASSERT_TRUE(container->mainContext()->save().ok);
    }
    SqliteConnection raw;
    ASSERT_TRUE(raw.open(path, SQLITE_OPEN_READONLY));
    SqliteStatement journal = raw.prepare(QStringLiteral("PRAGMA journal_mode"));
    ASSERT_TRUE(journal.step());
    EXPECT_EQ(journal.text(0), QStringLiteral("wal"));
    SqliteStatement version
        = raw.prepare(QStringLiteral("SELECT value FROM StoreMetadata WHERE key='schemaVersion'"));
    ASSERT_TRUE(version.step());
    EXPECT_EQ(version.text(0), QStringLiteral("1.0.0"));

    auto reopened = ModelContainer::open(path, &error);
    ASSERT_TRUE(reopened) << error.toStdString();
    EXPECT_EQ(reopened->mainContext()->fetchCount(FetchDescriptor::newestFirst()), 1);
}

namespace {

// A store of a few hundred texts cut to half its length, as a disk that filled during a copy of
// it leaves it.
void writeCutShortStore(const QString &path)
{
    {
        auto container = ModelContainer::open(path, nullptr);
        ASSERT_TRUE(container);
        for (int i = 0; i < 300; ++i)
            container->mainContext()->insert(ClipboardItem::create(
                ClipboardItemType::text, { .text = QStringLiteral("text %1 ").arg(i).repeated(20) }));
        ASSERT_TRUE(container->mainContext()->save().ok);
    }
    QFile file(path);
    ASSERT_TRUE(file.resize(file.size() / 2));
}

} // namespace

TEST(ModelContainerTest, RefusesFilesItCannotUseWithAReasonAndLeavesThemAsTheyWere)
{
    QTemporaryDir folder;
    const auto at = [&](const char *name) { return folder.filePath(QLatin1String(name)); };
    {
        QFile file(at("garbage.store"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    }
    {
        auto container = ModelContainer::open(at("future.store"), nullptr);
        ASSERT_TRUE(container);
    }
    {
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(at("future.store"), SQLITE_OPEN_READWRITE));
        ASSERT_TRUE(raw.exec(QStringLiteral("UPDATE StoreMetadata SET value='2.0.0'")));
    }
    ASSERT_NO_FATAL_FAILURE(writeCutShortStore(at("cut.store")));
    ASSERT_TRUE(QDir().mkdir(at("folder.store")));
    ASSERT_TRUE(replaceWithStandIn(at("fifo.store"), FileStandIn::fifo));
    ASSERT_TRUE(replaceWithStandIn(at("device.store"), FileStandIn::zeroDeviceLink));
    QLocalServer socket;
    ASSERT_TRUE(socket.listen(at("socket.store")));

    // Each with a reason that names what is wrong and advice that fits it.
    const struct
    {
        QString path;
        const char *reason;
        const char *advice;
    } cases[] = {
        { at("garbage.store"), "not a database", "Move it away" },
        { at("future.store"), "schema version 2.0.0", "version of Tindlewick that wrote it" },
        { at("cut.store"), "", "Move it away" },
        { at("folder.store"), "the store is a folder, not a file", "Move it away" },
        { at("fifo.store"), "the store is a FIFO, not a file", "Move it away" },
        { at("socket.store"), "the store is a socket, not a file", "Move it away" },
        { at("device.store"), "the store leads to /dev/zero, which is a character device, not a file",
            "make the link lead to a file" },
        { QStringLiteral("/proc/tindlewick/default.store"), "", "read and write" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QStringList before = folderContents(folder.path());
        QString error;
        QString advice;
        EXPECT_EQ(ModelContainer::open(c.path, &error, &advice), nullptr);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_TRUE(advice.contains(QLatin1String(c.advice))) << advice.toStdString();
        // Nothing the user had is changed, and nothing is left beside it: no log or index of
        // SQLite's beside a store it refused, no journal beside a device (in /dev).
        EXPECT_EQ(folderContents(folder.path()), before);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/dev/zero-journal")));
        QFile::remove(QStringLiteral("/dev/zero-journal"));
    }
}

TEST(ModelContainerTest, TheDefaultStoreLivesInTheXdgDataFolder)
{
    // The process-wide container is the app's alone: opened here it would outlive this test's
    // home, so the test opens its own at the same place.
    EXPECT_TRUE(defaultStorePath().endsWith(QStringLiteral("/Tindlewick/default.store")));
    EXPECT_TRUE(defaultStorePath().startsWith(QDir::homePath() + QLatin1Char('/')));
    QString error;
    EXPECT_TRUE(ModelContainer::open(defaultStorePath(), &error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(defaultStorePath()));
}
