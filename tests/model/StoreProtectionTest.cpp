// The store file on disk: private to the user, checked before use, readable from earlier
// versions of the same schema, and a failure to open it explained.
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteConnection.h"
#include "model/StoreFailure.h"
#include "model/StoreTestSupport.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

#include <sqlite3.h>

namespace {

QByteArray digestOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A store with a few texts, closed again.
void writeStore(const QString &path, int items)
{
    auto container = ModelContainer::open(path, nullptr);
    ASSERT_TRUE(container);
    for (int i = 0; i < items; ++i)
        container->mainContext()->insert(
            ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("text %1").arg(i) }));
    ASSERT_TRUE(container->mainContext()->save().ok);
}

} // namespace

TEST(StoreProtectionTest, TheFolderAndEveryFileOfTheStoreAreTheUsersAlone)
{
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/data/Tindlewick");
    const QString path = folder + QStringLiteral("/default.store");
    ::umask(022);
    auto container = ModelContainer::open(path, nullptr);
    ASSERT_TRUE(container);
    container->mainContext()->insert(
        ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("private") }));
    ASSERT_TRUE(container->mainContext()->save().ok);
    EXPECT_EQ(fileMode(folder), 0700u);
    for (const char *suffix : { "", "-wal", "-shm" }) {
        ASSERT_TRUE(QFileInfo::exists(path + QLatin1String(suffix))) << suffix;
        EXPECT_EQ(fileMode(path + QLatin1String(suffix)), 0600u) << suffix;
    }

    // Files an earlier version left open to everyone are tightened when the store opens
    // (the log and its index exist while the first container has the store open).
    for (const char *suffix : { "", "-wal", "-shm" })
        ::chmod(QFile::encodeName(path + QLatin1String(suffix)).constData(), 0644);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    auto reopened = ModelContainer::open(path, nullptr);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(fileMode(folder), 0700u);
    for (const char *suffix : { "", "-wal", "-shm" })
        EXPECT_EQ(fileMode(path + QLatin1String(suffix)), 0600u) << suffix;
    EXPECT_EQ(fileMode(home.path() + QStringLiteral("/data")), 0755u)
        << "folders above the app's own are left alone";
}

namespace {

// A history kept through symbolic links. "elsewhere" is a folder of the user's that is open to
// all (on another disk, say). A link is read against its own folder; "@" stands for the home
// folder of the case.
struct StoreLinks
{
    const char *what;
    const char *storeLink; // what the store's path is a link to; nullptr: no link
    const char *folderLink; // what the app's folder is a link to; nullptr: a real folder
    const char *secondLink; // a link "elsewhere/second.store" to this; nullptr: none
    const char *target; // the file that holds the history, under the home folder
    bool existed; // it held a history of three items before, readable by all, with its log
};

// Makes the files and links of the case under home.
void layOut(const QString &home, const StoreLinks &c)
{
    const auto linkText = [&](const char *written) {
        const QString text = QString::fromUtf8(written);
        return text.startsWith(u'@') ? home + text.mid(1) : text;
    };
    const QString elsewhere = home + QStringLiteral("/elsewhere");
    const QString folder = home + QStringLiteral("/data/Tindlewick");
    const QString target = home + u'/' + QString::fromUtf8(c.target);
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/data")));
    if (c.existed) {
        writeStore(target, 3);
        for (const char *suffix : { "", "-wal", "-shm" }) {
            QFile(target + QLatin1String(suffix)).open(QIODevice::Append);
            ::chmod(QFile::encodeName(target + QLatin1String(suffix)).constData(), 0644);
        }
    }
    ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
    if (c.folderLink) {
        ASSERT_TRUE(QFile::link(linkText(c.folderLink), folder));
    } else {
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    if (c.storeLink) {
        ASSERT_TRUE(QFile::link(linkText(c.storeLink), folder + QStringLiteral("/default.store")));
    }
    if (c.secondLink) {
        ASSERT_TRUE(QFile::link(linkText(c.secondLink), elsewhere + QStringLiteral("/second.store")));
    }
}

} // namespace

TEST(StoreProtectionTest, AStoreThatIsASymbolicLinkIsPrivateWhereverItLeads)
{
    const StoreLinks cases[] = {
        { "to an existing store", "../../elsewhere/history.store", nullptr, nullptr,
            "elsewhere/history.store", true },
        { "dangling", "../../elsewhere/new.store", nullptr, nullptr, "elsewhere/new.store", false },
        { "by an absolute path", "@/elsewhere/history.store", nullptr, nullptr, "elsewhere/history.store",
            true },
        { "through a second link", "../../elsewhere/second.store", nullptr, "history.store",
            "elsewhere/history.store", true },
        { "the folder a link", nullptr, "@/elsewhere", nullptr, "elsewhere/default.store", true },
    };
    ::umask(022);
    for (const StoreLinks &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir home;
        ASSERT_NO_FATAL_FAILURE(layOut(home.path(), c));
        const QString store = home.path() + QStringLiteral("/data/Tindlewick/default.store");
        const QString target = home.path() + u'/' + QString::fromUtf8(c.target);

        auto container = ModelContainer::open(store, nullptr);
        ASSERT_TRUE(container);
        container->mainContext()->insert(
            ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("kept private") }));
        ASSERT_TRUE(container->mainContext()->save().ok);
        EXPECT_EQ(QFileInfo(store).isSymLink(), c.storeLink != nullptr) << "the link was replaced";
        for (const char *suffix : { "", "-wal", "-shm" }) {
            ASSERT_TRUE(QFileInfo::exists(target + QLatin1String(suffix))) << suffix;
            EXPECT_EQ(fileMode(target + QLatin1String(suffix)), 0600u) << suffix;
        }
        EXPECT_EQ(
            container->mainContext()->fetch(FetchDescriptor::newestFirst()).items.size(), c.existed ? 4 : 1);
        EXPECT_EQ(fileMode(home.path() + QStringLiteral("/elsewhere")), c.folderLink ? 0700u : 0755u)
            << "only the app's own folder is made private";
    }
}

TEST(StoreProtectionTest, AStoreLinkThatLeadsRoundInACircleIsRefusedAndSaysSo)
{
    QTemporaryDir folder;
    const QString store = folder.path() + QStringLiteral("/default.store");
    ASSERT_TRUE(QFile::link(QStringLiteral("other.store"), store));
    ASSERT_TRUE(QFile::link(QStringLiteral("default.store"), folder.path() + QStringLiteral("/other.store")));
    QString error;
    QString advice;
    EXPECT_EQ(ModelContainer::open(store, &error, &advice), nullptr);
    EXPECT_EQ(error, QStringLiteral("the store is a symbolic link that leads round in a circle"));
    EXPECT_TRUE(advice.contains(QLatin1String("Remove the link"))) << advice.toStdString();
}

TEST(StoreProtectionTest, ADamagedStoreIsRefusedUntouchedWithItsPathAndAdvice)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/default.store");
    writeStore(path, 300);
    damageItemTable(path);
    const QByteArray before = digestOf(path);
    QString error;
    QString advice;
    EXPECT_EQ(ModelContainer::open(path, &error, &advice), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(advice.contains(QLatin1String("Move it away")))
        << error.toStdString() << " / " << advice.toStdString();
    EXPECT_EQ(digestOf(path), before) << "the damaged file is left as it was";

    const QString message = ModelContainer::fatalMessage(path, error, advice);
    const QStringList lines = message.split(u'\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QString(QStringLiteral("Could not create ModelContainer: ") + error));
    EXPECT_TRUE(lines[1].contains(path));
    EXPECT_EQ(lines[2], advice);
}

TEST(StoreProtectionTest, AStoreOfTheSameVersionWithoutLaterColumnsOpensWithEveryItem)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/default.store");
    writeStore(path, 3);
    {
        // As the first stores of version 1.0.0 were written: no digest column, no index of it,
        // no count of a long file list.
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(path, SQLITE_OPEN_READWRITE));
        ASSERT_TRUE(raw.exec(QStringLiteral("DROP INDEX ClipboardItem_contentHash; "
                                            "ALTER TABLE ClipboardItem DROP COLUMN contentHash; "
                                            "ALTER TABLE ClipboardItem DROP COLUMN additionalFileCount")));
    }
    auto container = ModelContainer::open(path, nullptr);
    ASSERT_TRUE(container);
    ModelContext &context = *container->mainContext();
    const QList<ClipboardItemPtr> items = context.fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(items.size(), 3);
    QStringList texts;
    for (const ClipboardItemPtr &item : items) {
        texts.append(*item->textContent());
        EXPECT_EQ(item->storedContentHash(), std::nullopt);
    }
    texts.sort();
    EXPECT_EQ(texts, (QStringList { "text 0", "text 1", "text 2" }));
    {
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(path, SQLITE_OPEN_READONLY));
        SqliteStatement index = raw.prepare(
            QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ClipboardItem_contentHash'"));
        ASSERT_TRUE(index.step());
        EXPECT_EQ(index.int64(0), 1) << "the lookup's index is made on open too";
    }

    // The digest is made when first needed and kept with the next save.
    const QByteArray digest = items.first()->contentHash();
    ASSERT_TRUE(context.save().ok);
    auto again = ModelContainer::open(path, nullptr);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->mainContext()->model(items.first()->persistentModelID())->storedContentHash(), digest);
}

TEST(StoreProtectionTest, FailuresAreToldByTheirCauseWithThePath)
{
    const struct
    {
        int code;
        StoreFailure::Cause cause;
        const char *words;
    } cases[] = {
        { SQLITE_FULL, StoreFailure::Cause::diskFull, "is full" },
        { SQLITE_IOERR_WRITE, StoreFailure::Cause::other, "could not be written" },
        { SQLITE_READONLY, StoreFailure::Cause::readOnly, "cannot be written" },
        { SQLITE_READONLY_DBMOVED, StoreFailure::Cause::readOnly, "cannot be written" },
        { SQLITE_BUSY, StoreFailure::Cause::locked, "locked" },
        { SQLITE_BUSY_SNAPSHOT, StoreFailure::Cause::locked, "locked" },
        { SQLITE_CORRUPT, StoreFailure::Cause::damaged, "damaged" },
        { SQLITE_NOTADB, StoreFailure::Cause::damaged, "damaged" },
    };
    for (const auto &c : cases) {
        const StoreFailure failure { StoreFailure::causeOf(c.code), QStringLiteral("/home/u/store"),
            QStringLiteral("why") };
        EXPECT_EQ(failure.cause, c.cause) << c.code;
        EXPECT_TRUE(failure.message().contains(QLatin1String(c.words))) << c.code;
        EXPECT_TRUE(failure.message().contains(QLatin1String("/home/u/store"))) << c.code;
        EXPECT_EQ(failure.isTransient(), c.cause == StoreFailure::Cause::locked) << c.code;
    }
}

TEST(StoreProtectionTest, CopiesStartedAtOnceAllOpenANewStore)
{
    // Several copies of the app started together create and set up the same store file.
    for (int round = 0; round < 5; ++round) {
        QTemporaryDir folder;
        const QString path = folder.path() + QStringLiteral("/Tindlewick/default.store");
        std::atomic<int> opened { 0 };
        QList<QThread *> threads;
        for (int i = 0; i < 6; ++i) {
            threads.append(QThread::create([&] {
                QString error;
                if (ModelContainer::open(path, &error))
                    ++opened;
                else
                    ADD_FAILURE() << error.toStdString();
            }));
        }
        for (QThread *thread : threads)
            thread->start();
        for (QThread *thread : threads) {
            thread->wait();
            delete thread;
        }
        EXPECT_EQ(opened.load(), 6) << "round " << round;
    }
}
