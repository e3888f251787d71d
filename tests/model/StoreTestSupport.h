#pragma once

#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

// A fresh store file in a temporary folder for each test.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override { resetStore(); }

    // Starts over with a new, empty store file.
    void resetStore()
    {
        m_container.reset();
        m_folder = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(m_folder->isValid());
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
