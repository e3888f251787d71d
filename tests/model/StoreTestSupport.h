#pragma once

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteConnection.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <memory>

// Another program that holds the store's write lock, on a thread of its own, until released
// or for at most `holdAtMost`; or, with `reading`, a reader's place in the write-ahead log.
class StoreLockHolder final
{
public:
    StoreLockHolder(const QString &path, std::chrono::milliseconds holdAtMost, bool reading = false)
        : m_thread(QThread::create([this, path, holdAtMost, reading] {
            SqliteConnection other;
            other.open(path, SQLITE_OPEN_READWRITE);
            other.exec(reading
                    ? QStringLiteral("BEGIN; SELECT count(*) FROM ClipboardItem;")
                    : QStringLiteral("BEGIN IMMEDIATE; INSERT INTO StoreMetadata VALUES('lock', 'held');"));
            m_locked = true;
            for (qint64 waited = 0; waited < holdAtMost.count() && !m_release; waited += 5)
                QThread::msleep(5);
            other.exec(QStringLiteral("ROLLBACK"));
            m_locked = false;
        }))
    {
        m_thread->start();
        while (!m_locked && !m_thread->isFinished())
            QThread::msleep(1);
    }
    ~StoreLockHolder() { release(); }
    bool isLocked() const { return m_locked; }
    void release()
    {
        m_release = true;
        m_thread->wait();
    }

private:
    std::atomic<bool> m_locked { false };
    std::atomic<bool> m_release { false };
    std::unique_ptr<QThread> m_thread;
};

// Garbage over the first page of the item table, as a failing disk leaves it: the rows are
// still in the file, but nothing can be read through the table.
inline void damageItemTable(const QString &path)
{
    qint64 rootPage = 0;
    qint64 pageSize = 0;
    {
        // Fold the log into the file, so the damage below is in the file itself.
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(path, SQLITE_OPEN_READWRITE));
        ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
        SqliteStatement root
            = raw.prepare(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'ClipboardItem'"));
        ASSERT_TRUE(root.step());
        rootPage = root.int64(0);
        SqliteStatement size = raw.prepare(QStringLiteral("PRAGMA page_size"));
        ASSERT_TRUE(size.step());
        pageSize = size.int64(0);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek((rootPage - 1) * pageSize));
    file.write(QByteArray(pageSize, '\x5A'));
}

// A fresh store file in a temporary folder for each test.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override { resetStore(); }

    // Starts over with a new, empty store file. The folder stays: settings a test keeps beside
    // the store would otherwise write their next change into a folder that was removed, making
    // it again where nothing removes it.
    void resetStore()
    {
        m_container.reset();
        if (!m_folder) {
            m_folder = std::make_unique<QTemporaryDir>();
            ASSERT_TRUE(m_folder->isValid());
        } else {
            ASSERT_TRUE(QDir(QFileInfo(storePath()).absolutePath()).removeRecursively());
        }
        QString error;
        m_container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(m_container) << error.toStdString();
    }

    QString storePath() const { return m_folder->path() + QStringLiteral("/Tindlewick/default.store"); }
    ModelContainer &container() { return *m_container; }
    ModelContext &context() { return *m_container->mainContext(); }

    ClipboardItemPtr insertText(const QString &text,
        const QDateTime &timestamp = QDateTime::currentDateTimeUtc(), bool pinned = false)
    {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = text });
        item->setTimestamp(timestamp);
        item->setIsPinned(pinned);
        context().insert(item);
        return item;
    }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ModelContainer> m_container;
};

// Whether the bytes occur in the store file or its write-ahead log: deleted content must
// leave both.
inline bool storeFilesContain(const QString &storePath, const QByteArray &bytes)
{
    for (const QString &suffix : { QString(), QStringLiteral("-wal") }) {
        QFile file(storePath + suffix);
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes))
            return true;
    }
    return false;
}
