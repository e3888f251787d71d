#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteConnection.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

TEST(ModelContainerTest, RefusesFilesItCannotUseWithAReason)
{
    QTemporaryDir folder;
    const QString notADatabase = folder.path() + QStringLiteral("/garbage.store");
    {
        QFile file(notADatabase);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    }
    const QString otherVersion = folder.path() + QStringLiteral("/future.store");
    {
        auto container = ModelContainer::open(otherVersion, nullptr);
        ASSERT_TRUE(container);
    }
    {
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(otherVersion, SQLITE_OPEN_READWRITE));
        ASSERT_TRUE(raw.exec(QStringLiteral("UPDATE StoreMetadata SET value='2.0.0'")));
    }
    const QString unwritableFolder = QStringLiteral("/proc/tindlewick/default.store");

    // Each with advice that fits its cause.
    const struct
    {
        QString path;
        const char *advice;
    } cases[] = {
        { notADatabase, "Move it away" },
        { otherVersion, "version of Tindlewick that wrote it" },
        { unwritableFolder, "read and write" },
    };
    for (const auto &c : cases) {
        QString error;
        QString advice;
        EXPECT_EQ(ModelContainer::open(c.path, &error, &advice), nullptr) << c.path.toStdString();
        EXPECT_FALSE(error.isEmpty()) << c.path.toStdString();
        EXPECT_TRUE(advice.contains(QLatin1String(c.advice)))
            << c.path.toStdString() << ": " << advice.toStdString();
    }
    // The refused files are left as they were: nothing the user had is deleted.
    EXPECT_EQ(QFile(notADatabase).size(), 8192);
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
