#include "capture/DuplicateLookup.h"
#include "CaptureTestSupport.h"

#include "model/SqliteConnection.h"
#include "model/StoreTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

namespace {

class DuplicateLookupTest : public StoreTest
{
protected:
    ClipboardItemPtr store(ClipboardItemType type, const ClipboardItem::Content &content, bool pinned = false,
        int secondsAgo = 0)
    {
        return storeSavedItem(context(), type, content, pinned, secondsAgo);
    }
    ClipboardItemPtr find(const ClipboardItemPtr &newItem)
    {
        return m_lookup.findDuplicate(*newItem, context());
    }
    // The same store file in a new container: nothing is remembered in memory.
    void resetContainerKeepingTheStore()
    {
        m_container.reset();
        QString error;
        m_container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(m_container) << error.toStdString();
    }

    DuplicateLookup m_lookup;
};

ClipboardItemPtr make(ClipboardItemType type, const ClipboardItem::Content &content)
{
    return ClipboardItem::create(type, content);
}

} // namespace

TEST_F(DuplicateLookupTest, TextAndCodeFindEachOther)
{
    const ClipboardItemPtr storedCode
        = store(ClipboardItemType::code, { .text = QStringLiteral("let x = 1") }, false, 10);
    const ClipboardItemPtr storedText
        = store(ClipboardItemType::text, { .text = QStringLiteral("plain words") });
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QStringLiteral("let x = 1") })), storedCode);
    EXPECT_EQ(find(make(ClipboardItemType::code, { .text = QStringLiteral("plain words") })), storedText);
    EXPECT_EQ(find(make(ClipboardItemType::link, { .text = QStringLiteral("plain words") })), nullptr)
        << "links among links";
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QStringLiteral("Plain words") })), nullptr)
        << "no case folding";
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QStringLiteral("plain words ") })), nullptr)
        << "no trimming";
}

TEST_F(DuplicateLookupTest, TextsAreEqualUnderCanonicalEquivalence)
{
    const ClipboardItemPtr stored
        = store(ClipboardItemType::text, { .text = QString::fromUtf8("caf\xC3\xA9") });
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QString::fromUtf8("cafe\xCC\x81") })), stored);
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QString::fromUtf8("caf\xC3\xA8") })), nullptr);
}

TEST_F(DuplicateLookupTest, LongTextsAreComparedWhole)
{
    const QString prefix(ClipboardItem::maxInlineTextLength, u'a');
    const ClipboardItemPtr stored
        = store(ClipboardItemType::text, { .text = prefix + QStringLiteral("first ending") });
    // Both are cut to the same first 100,000 characters; only the whole texts differ.
    EXPECT_EQ(
        find(make(ClipboardItemType::text, { .text = prefix + QStringLiteral("second ending") })), nullptr);
    EXPECT_EQ(
        find(make(ClipboardItemType::text, { .text = prefix + QStringLiteral("first ending") })), stored);
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = prefix })), nullptr)
        << "the short form of a long text";
}

TEST_F(DuplicateLookupTest, UnpinnedMatchesComeFirst)
{
    const QString text = QStringLiteral("same text");
    const ClipboardItemPtr olderUnpinned = store(ClipboardItemType::text, { .text = text }, false, 30);
    const ClipboardItemPtr newerPinned = store(ClipboardItemType::text, { .text = text }, true, 10);
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = text })), olderUnpinned);

    context().remove(olderUnpinned);
    ASSERT_TRUE(context().save().ok);
    const ClipboardItemPtr olderPinned = store(ClipboardItemType::text, { .text = text }, true, 60);
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = text })), newerPinned) << "the newest pinned one";
}

TEST_F(DuplicateLookupTest, OnlyTheNewestTwoHundredOfTheGroupAreSearched)
{
    store(ClipboardItemType::text, { .text = QStringLiteral("old") }, false, 10'000);
    for (int i = 0; i < DuplicateLookup::searchWindow; ++i)
        store(ClipboardItemType::code, { .text = QStringLiteral("newer %1").arg(i) }, false, i);
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QStringLiteral("old") })), nullptr);
    // Items of other kinds do not push an item out of its group's window.
    for (int i = 0; i < 5; ++i)
        store(ClipboardItemType::link, { .text = QStringLiteral("https://example.com/%1").arg(i) });
    EXPECT_NE(find(make(ClipboardItemType::code, { .text = QStringLiteral("newer 199") })), nullptr);
}

TEST_F(DuplicateLookupTest, FilesCompareTheirWholeListAndMustExist)
{
    QTemporaryDir folder;
    const auto touch = [&](const QString &name) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return QUrl::fromLocalFile(file.fileName());
    };
    const QUrl a = touch(QStringLiteral("a.txt"));
    const QUrl b = touch(QStringLiteral("b.txt"));
    const QUrl c = touch(QStringLiteral("c.txt"));
    const auto fileItem = [&](const QList<QUrl> &urls) {
        ClipboardItemPtr item = make(ClipboardItemType::file, { .fileURL = urls.first() });
        QStringList others;
        for (qsizetype i = 1; i < urls.size(); ++i)
            others.append(urls[i].toString(QUrl::FullyEncoded));
        if (!others.isEmpty())
            item->setAdditionalFileURLStrings(others);
        return item;
    };
    const ClipboardItemPtr pair = fileItem({ a, b });
    context().insert(pair);
    const ClipboardItemPtr single = fileItem({ a });
    single->setTimestamp(QDateTime::currentDateTimeUtc().addSecs(-5));
    context().insert(single);
    ASSERT_TRUE(context().save().ok);

    EXPECT_EQ(find(fileItem({ a, b })), pair);
    EXPECT_EQ(find(fileItem({ a })), single);
    EXPECT_EQ(find(fileItem({ a, c })), nullptr);
    EXPECT_EQ(find(fileItem({ b, a })), nullptr) << "order counts";

    // Lists longer than an item holds in memory are compared whole, beyond what it holds.
    const auto longList = [&](const QString &last) {
        QList<QUrl> urls { c };
        for (int i = 0; i < 3000; ++i)
            urls.append(QUrl(QStringLiteral("file:///elsewhere/%1").arg(i)));
        urls.append(QUrl(last));
        return fileItem(urls);
    };
    const ClipboardItemPtr many = longList(QStringLiteral("file:///elsewhere/last"));
    context().insert(many);
    ASSERT_TRUE(context().save().ok);
    EXPECT_EQ(find(longList(QStringLiteral("file:///elsewhere/last"))), many);
    EXPECT_EQ(find(longList(QStringLiteral("file:///elsewhere/other"))), nullptr);
    EXPECT_FALSE(DuplicateLookup::isSameContent(*many, *longList(QStringLiteral("file:///elsewhere/other"))));

    QFile::remove(a.toLocalFile());
    EXPECT_EQ(find(fileItem({ a, b })), nullptr) << "a file that is gone is never returned";
}

TEST_F(DuplicateLookupTest, PicturesCompareTheirBytesThroughReferences)
{
    const QByteArray picture("\x89PNG picture one", 16);
    const QByteArray other("\x89PNG picture two", 16);
    const auto imageItem = [](const QByteArray &bytes) {
        return make(ClipboardItemType::media,
            { .mediaImageData = bytes, .mediaSubtypeRaw = QStringLiteral("image") });
    };
    const ClipboardItemPtr pinned = store(ClipboardItemType::media,
        { .mediaImageData = picture, .mediaSubtypeRaw = QStringLiteral("image") }, true, 60);
    // A history entry standing for the pinned picture has no bytes of its own.
    ClipboardItemPtr reference
        = make(ClipboardItemType::media, { .mediaSubtypeRaw = QStringLiteral("image") });
    reference->setPinnedReference(pinned);
    context().insert(reference);
    ASSERT_TRUE(context().save().ok);

    EXPECT_EQ(find(imageItem(picture)), reference) << "compared through the pinned picture, unpinned first";
    EXPECT_EQ(find(imageItem(other)), nullptr);
    EXPECT_EQ(find(imageItem(picture + QByteArray(1, '\0'))), nullptr) << "same start, other length";

    // Remembered digests keep answering after the bytes left memory.
    pinned->releaseExternalData();
    EXPECT_EQ(find(imageItem(picture)), reference);
    EXPECT_EQ(find(imageItem(other)), nullptr);

    // A file of a media kind is not a picture copied as data.
    EXPECT_EQ(find(make(ClipboardItemType::media,
                  { .fileURL = QUrl::fromLocalFile(QStringLiteral("/nowhere.png")),
                      .mediaSubtypeRaw = QStringLiteral("image") })),
        nullptr);
}

TEST_F(DuplicateLookupTest, ColoursCompareTheirHexValue)
{
    const ClipboardItemPtr native = store(ClipboardItemType::color,
        { .colorHex = QStringLiteral("#FF8800"), .originalColorFormat = QStringLiteral("native") });
    EXPECT_EQ(find(make(ClipboardItemType::color, { .colorHex = QStringLiteral("#ff8800") })), native);
    EXPECT_EQ(
        find(make(ClipboardItemType::color,
            { .colorHex = QStringLiteral("#0088FF"), .originalColorFormat = QStringLiteral("native") })),
        nullptr)
        << "two colours without text are not the same colour";
}

TEST_F(DuplicateLookupTest, HasTextComparesTheWholeText)
{
    const QString prefix(ClipboardItem::maxInlineTextLength, u'x');
    const ClipboardItemPtr longItem
        = store(ClipboardItemType::text, { .text = prefix + QStringLiteral("tail") });
    const ClipboardItemPtr shortItem
        = store(ClipboardItemType::text, { .text = QString::fromUtf8("na\xC3\xAFve") });
    EXPECT_TRUE(DuplicateLookup::hasText(*longItem, prefix + QStringLiteral("tail")));
    EXPECT_FALSE(DuplicateLookup::hasText(*longItem, prefix + QStringLiteral("other")));
    EXPECT_TRUE(DuplicateLookup::hasText(*shortItem, QString::fromUtf8("nai\xCC\x88ve")));
    EXPECT_FALSE(DuplicateLookup::hasText(*shortItem, QStringLiteral("naive")));
}

TEST_F(DuplicateLookupTest, ColoursRepeatOnlyWithTheSameHexAndTheSameText)
{
    const ClipboardItemPtr hex = store(ClipboardItemType::color,
        { .text = QStringLiteral("#1E90FF"),
            .colorHex = QStringLiteral("#1E90FF"),
            .originalColorFormat = QStringLiteral("hex") });
    const auto copied = [](const QString &text) {
        return make(ClipboardItemType::color,
            { .text = text,
                .colorHex = QStringLiteral("#1E90FF"),
                .originalColorFormat = QStringLiteral("rgb") });
    };
    EXPECT_EQ(find(copied(QStringLiteral("rgb(30, 144, 255)"))), nullptr)
        << "another notation of the colour pastes another text";
    EXPECT_EQ(find(copied(QStringLiteral("#1E90FF"))), hex);
    EXPECT_EQ(find(make(ClipboardItemType::color, { .colorHex = QStringLiteral("#1e90ff") })), nullptr)
        << "the colour copied as colour data has no text";
}

TEST_F(DuplicateLookupTest, LongTextsAreComparedByTheirDigestBeforeTheirText)
{
    // Similar long texts: the same first 100,000 characters, a different ending.
    const QString prefix(ClipboardItem::maxInlineTextLength, u'a');
    for (int i = 0; i < 16; ++i)
        store(
            ClipboardItemType::text, { .text = prefix + QStringLiteral("ending %1").arg(i) }, false, 100 - i);
    for (const ClipboardItemPtr &item : context().fetch(FetchDescriptor::newestFirst()).items)
        item->releaseExternalData();
    QStringList statements;
    context().setStatementTrace([&](const QString &sql) { statements.append(sql); });
    const auto wholeTextsRead = [&] {
        return std::count_if(statements.begin(), statements.end(),
            [](const QString &sql) { return sql.contains(QLatin1String("ClipboardItemExternal")); });
    };

    EXPECT_EQ(
        find(make(ClipboardItemType::text, { .text = prefix + QStringLiteral("another ending") })), nullptr);
    EXPECT_EQ(wholeTextsRead(), 0) << "no stored text is read when no digest matches";

    const ClipboardItemPtr match
        = find(make(ClipboardItemType::text, { .text = prefix + QStringLiteral("ending 7") }));
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(match->fullText(), prefix + QStringLiteral("ending 7"));
    EXPECT_EQ(wholeTextsRead(), 2) << "only the candidate with the same digest is read in full, then shown";
    context().setStatementTrace({});
}

TEST_F(DuplicateLookupTest, ItemsWithoutAStoredDigestGetOneWhenFirstCompared)
{
    const ClipboardItemPtr stored
        = store(ClipboardItemType::text, { .text = QStringLiteral("from an older version") });
    {
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(storePath(), SQLITE_OPEN_READWRITE));
        ASSERT_TRUE(raw.exec(QStringLiteral("UPDATE ClipboardItem SET contentHash = NULL")));
    }
    resetContainerKeepingTheStore();
    EXPECT_NE(
        find(make(ClipboardItemType::text, { .text = QStringLiteral("from an older version") })), nullptr);
    EXPECT_EQ(find(make(ClipboardItemType::text, { .text = QStringLiteral("something else") })), nullptr);
    ASSERT_TRUE(context().save().ok);
    SqliteConnection raw;
    ASSERT_TRUE(raw.open(storePath(), SQLITE_OPEN_READONLY));
    SqliteStatement digests
        = raw.prepare(QStringLiteral("SELECT COUNT(*) FROM ClipboardItem WHERE contentHash IS NOT NULL"));
    ASSERT_TRUE(digests.step());
    EXPECT_EQ(digests.int64(0), 1) << "the digest made on the way is kept";
}
