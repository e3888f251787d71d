#include "model/ModelContext.h"
#include "model/ClipboardItem.h"
#include "model/LiveQuery.h"
#include "model/SqliteConnection.h"
#include "model/StoreFailure.h"
#include "model/StoreSchemaSql.h"
#include "model/StoreTestSupport.h"

#include "support/FullDiskVfs.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QSignalSpy>
#include <QThread>
#include <QTimeZone>

#include <sqlite3.h>

#include <malloc.h>

#include <functional>

namespace {

QDateTime at(int secondsAgo)
{
    return QDateTime::currentDateTimeUtc().addSecs(-secondsAgo);
}

// A value of the right type for each persisted field, distinct from its initial value.
QVariant sampleValue(const FieldInfo &info)
{
    const QString name = QString::fromLatin1(info.name);
    switch (info.type) {
    case FieldType::uuid:
        return QUuid::createUuid();
    case FieldType::date:
        return QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, QTimeZone::utc());
    case FieldType::string:
        return name == QLatin1String("itemType") ? QStringLiteral("code")
                                                 : QStringLiteral("ü %1 ✓").arg(name);
    case FieldType::data:
        return QByteArray(QByteArray("\x00\x01 bytes of ", 13) + name.toUtf8());
    case FieldType::boolean:
        return true;
    case FieldType::integer:
        return qint64(42);
    default:
        return {};
    }
}

// The steps of SQLite's plan for the query that read the items' rows rather than an index
// alone.
QStringList rowsReadBy(const QString &storePath, const QString &sql)
{
    SqliteConnection raw;
    if (!raw.open(storePath, SQLITE_OPEN_READONLY))
        return { QStringLiteral("the store did not open") };
    SqliteStatement plan = raw.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    QStringList readingRows;
    while (plan.step()) {
        const QString step = plan.text(3);
        if (step.contains(QLatin1String("ClipboardItem")) && !step.contains(QLatin1String("COVERING INDEX")))
            readingRows.append(step);
    }
    return readingRows;
}

// Writes an external value behind the store's back, as SQL gives it.
void writeExternalValue(
    const QString &storePath, PersistentIdentifier item, ItemField field, const QString &sql)
{
    SqliteConnection raw;
    ASSERT_TRUE(raw.open(storePath, SQLITE_OPEN_READWRITE));
    ASSERT_TRUE(raw.exec(QStringLiteral("INSERT INTO ClipboardItemExternal VALUES (%1, %2, %3); "
                                        "UPDATE ClipboardItem SET externalFields = %4 WHERE pk = %1")
                             .arg(item.value)
                             .arg(int(field))
                             .arg(sql)
                             .arg(qint64(1) << int(field))));
}

std::optional<QByteArray> stored(const ClipboardItem &item, ItemField field)
{
    const QVariant value = item.value(field);
    return value.isNull() ? std::nullopt : std::optional(value.toByteArray());
}

} // namespace

using ModelContextTest = StoreTest;

TEST_F(ModelContextTest, EveryPersistedFieldRoundTripsThroughTheStore)
{
    ClipboardItemPtr target = insertText(QStringLiteral("target"));
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text);
    for (const FieldInfo &info : itemSchema())
        item->setValue(info.field, sampleValue(info));
    item->setPinnedReference(target);
    context().insert(item);
    ASSERT_TRUE(context().save().ok);

    // A second context reads the rows afresh.
    std::unique_ptr<ModelContext> reader = container().makeContext();
    ClipboardItemPtr loaded = reader->model(item->persistentModelID());
    ASSERT_TRUE(loaded);
    for (const FieldInfo &info : itemSchema()) {
        if (info.type == FieldType::relationship || info.type == FieldType::inverseRelationship)
            continue;
        EXPECT_EQ(loaded->value(info.field), item->value(info.field)) << info.name;
    }
    ASSERT_TRUE(loaded->pinnedReference());
    EXPECT_EQ(loaded->pinnedReference()->textContent(), QStringLiteral("target"));
    ASSERT_EQ(loaded->pinnedReference()->referencingItems().size(), 1);
    EXPECT_EQ(loaded->pinnedReference()->referencingItems().first(), loaded);
}

TEST_F(ModelContextTest, MissingOptionalsAndEmptyValuesStayDistinct)
{
    ClipboardItemPtr empty = insertText(QString());
    empty->setLinkThumbnailData(QByteArray());
    ClipboardItemPtr missing = ClipboardItem::create(ClipboardItemType::link);
    context().insert(missing);
    ASSERT_TRUE(context().save().ok);

    std::unique_ptr<ModelContext> reader = container().makeContext();
    ClipboardItemPtr loadedEmpty = reader->model(empty->persistentModelID());
    ClipboardItemPtr loadedMissing = reader->model(missing->persistentModelID());
    ASSERT_TRUE(loadedEmpty && loadedMissing);
    EXPECT_EQ(loadedEmpty->textContent(), QString());
    EXPECT_EQ(loadedEmpty->linkThumbnailData(), QByteArray());
    EXPECT_EQ(loadedMissing->textContent(), std::nullopt);
    EXPECT_EQ(loadedMissing->linkThumbnailData(), std::nullopt);
    EXPECT_FALSE(loadedMissing->codeAsText());
    EXPECT_EQ(loadedMissing->highlightedLinesIsDark(), std::nullopt);
}

TEST_F(ModelContextTest, ALongFileListIsHeldByItsFirstAddressesAndKeptWholeInTheStore)
{
    const auto addresses = [](int count, int length = 0) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list.append(QStringLiteral("file:///data/%1/f%2").arg(QString(length, u'x')).arg(i));
        return list;
    };
    const int heldAtMost = ClipboardItem::maxListedFiles - 1;
    const struct
    {
        const char *name;
        QStringList further;
        qsizetype held;
    } cases[] = {
        { "a few files", addresses(3), 3 },
        { "as many as are held", addresses(heldAtMost), heldAtMost },
        { "one more than that", addresses(heldAtMost + 1), heldAtMost },
        { "a hundred thousand", addresses(100'000), heldAtMost },
        // Three of these fill what an item holds of its addresses.
        { "long addresses", addresses(4, 30'000), 3 },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        ClipboardItemPtr item = ClipboardItem::create(
            ClipboardItemType::file, { .fileURL = QUrl(QStringLiteral("file:///data/first")) });
        item->setAdditionalFileURLStrings(test.further);
        const QByteArray digest = item->contentHash();
        context().insert(item);
        ASSERT_TRUE(context().save().ok);

        std::unique_ptr<ModelContext> reader = container().makeContext();
        const ClipboardItemPtr loaded = reader->model(item->persistentModelID());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->additionalFileTotal(), test.further.size());
        EXPECT_EQ(loaded->additionalFileURLStrings(), test.further.first(test.held));
        EXPECT_LE(loaded->additionalFileURLStringsJoined()->size(), ClipboardItem::maxInlineTextLength)
            << "the row holds more than an item keeps in memory";
        EXPECT_EQ(loaded->additionalFileURLList(), test.further.join(u'\n').toUtf8());
        EXPECT_EQ(loaded->computeContentHash(), digest) << "the whole list is digested either way";
    }
}

TEST_F(ModelContextTest, AStoredValueLargerThanItsFieldTakesIsLeftUnreadToldOfAndDeletedOnRequest)
{
    // Highlighted lines of up to 2 MiB are read.
    constexpr qsizetype limit = 2'097'152;
    const struct
    {
        const char *name;
        ItemField field;
        QString value; // SQL
        std::optional<QByteArray> read;
    } cases[] = {
        { "lines at the limit", ItemField::highlightedLinesData, QStringLiteral("zeroblob(%1)").arg(limit),
            QByteArray(limit, '\0') },
        { "lines over it", ItemField::highlightedLinesData, QStringLiteral("zeroblob(%1)").arg(limit + 1),
            std::nullopt },
        { "lines as text", ItemField::highlightedLinesData, QStringLiteral("'{}'"), std::nullopt },
        { "a picture of that size", ItemField::mediaImageData, QStringLiteral("zeroblob(%1)").arg(limit + 1),
            QByteArray(limit + 1, '\0') },
    };
    QList<ClipboardItemPtr> items;
    for (const auto &test : cases)
        items.append(insertText(QString::fromLatin1(test.name)));
    ASSERT_TRUE(context().save().ok);
    // As a damaged or edited store has them.
    for (qsizetype i = 0; i < items.size(); ++i)
        writeExternalValue(storePath(), items[i]->persistentModelID(), cases[i].field, cases[i].value);
    CapturedDiagnostics log;
    std::unique_ptr<ModelContext> reader = container().makeContext();
    for (qsizetype i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const ClipboardItemPtr loaded = reader->model(items[i]->persistentModelID());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(stored(*loaded, cases[i].field), cases[i].read);
        loaded->releaseExternalData();
        EXPECT_EQ(stored(*loaded, cases[i].field), cases[i].read) << "read again";
    }
    EXPECT_EQ(log.lines().size(), 2) << "told once of each: " << log.lines().join(u'\n').toStdString();

    // Those never read leave the store; the others stay.
    EXPECT_EQ(container().makeContext()->deleteValuesTooLargeToRead(), 2);
    SqliteConnection raw;
    ASSERT_TRUE(raw.open(storePath(), SQLITE_OPEN_READONLY));
    SqliteStatement left = raw.prepare(QStringLiteral("SELECT count(*) FROM ClipboardItemExternal"));
    ASSERT_TRUE(left.step());
    EXPECT_EQ(left.int64(0), 2);
    const std::unique_ptr<ModelContext> later = container().makeContext();
    for (qsizetype i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(stored(*later->model(items[i]->persistentModelID()), cases[i].field), cases[i].read);
    }
}

TEST_F(ModelContextTest, DeletingAReferencedItemClearsEveryReferenceToIt)
{
    ClipboardItemPtr pinned = insertText(QStringLiteral("pinned"), at(10), true);
    ClipboardItemPtr first = insertText(QStringLiteral("a"));
    ClipboardItemPtr second = insertText(QStringLiteral("b"));
    first->setPinnedReference(pinned);
    second->setPinnedReference(pinned);
    ASSERT_TRUE(context().save().ok);
    ASSERT_EQ(pinned->referencingItems().size(), 2);

    context().remove(pinned);
    ASSERT_TRUE(context().save().ok);

    EXPECT_EQ(first->pinnedReference(), nullptr);
    EXPECT_EQ(second->pinnedReference(), nullptr);
    EXPECT_FALSE(first->isDeleted());
    std::unique_ptr<ModelContext> reader = container().makeContext();
    for (const ClipboardItemPtr &item : { first, second }) {
        ClipboardItemPtr stored = reader->model(item->persistentModelID());
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->pinnedReference(), nullptr);
    }
}

TEST_F(ModelContextTest, DeletingAReferencingItemLeavesTheReferencedOne)
{
    ClipboardItemPtr pinned = insertText(QStringLiteral("pinned"), at(10), true);
    ClipboardItemPtr reference = insertText(QStringLiteral("ref"));
    reference->setPinnedReference(pinned);
    ASSERT_TRUE(context().save().ok);

    context().remove(reference);
    EXPECT_TRUE(pinned->referencingItems().isEmpty()) << "pending deletion already counts";
    ASSERT_TRUE(context().save().ok);
    EXPECT_TRUE(pinned->referencingItems().isEmpty());
    EXPECT_FALSE(pinned->isDeleted());
    EXPECT_TRUE(reference->isDeleted());
    EXPECT_EQ(reference->modelContext(), nullptr);
}

TEST_F(ModelContextTest, ItemsAreEqualByIdentityNotContent)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ClipboardItemPtr a = insertText(QStringLiteral("same"), now);
    ClipboardItemPtr b = insertText(QStringLiteral("same"), now);
    ASSERT_TRUE(context().save().ok);
    EXPECT_FALSE(*a == *b);

    // The same entry in another context is the same item.
    std::unique_ptr<ModelContext> other = container().makeContext();
    ClipboardItemPtr aElsewhere = other->model(a->persistentModelID());
    ASSERT_TRUE(aElsewhere);
    EXPECT_TRUE(*a == *aElsewhere);
    // And one context never holds two objects for one entry.
    EXPECT_EQ(context().model(a->persistentModelID()), a);
}

TEST_F(ModelContextTest, ListFetchesNeverReadExternalData)
{
    for (int i = 0; i < 5; ++i) {
        ClipboardItemPtr item = insertText(QStringLiteral("image %1").arg(i), at(i));
        item->setMediaImageData(QByteArray(200'000, char('a' + i)));
        item->setMediaThumbnailData(QByteArray(100, 't'));
    }
    ASSERT_TRUE(context().save().ok);

    std::unique_ptr<ModelContext> reader = container().makeContext();
    QStringList statements;
    reader->setStatementTrace([&](const QString &sql) { statements.append(sql); });
    const QList<ClipboardItemPtr> items = reader->fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items.first()->textContent(), QStringLiteral("image 0"));
    EXPECT_TRUE(items.first()->pinnedLabel() == std::nullopt);
    for (const QString &sql : std::as_const(statements))
        EXPECT_FALSE(sql.contains(QLatin1String("ClipboardItemExternal"))) << sql.toStdString();

    // The thumbnail loads on first access, alone; a missing value needs no query at all.
    statements.clear();
    EXPECT_EQ(items[2]->mediaThumbnailData(), QByteArray(100, 't'));
    EXPECT_EQ(items[2]->linkThumbnailData(), std::nullopt);
    EXPECT_EQ(statements.size(), 1);

    // Released data loads again.
    items[2]->releaseExternalData();
    statements.clear();
    EXPECT_EQ(items[2]->mediaImageData(), QByteArray(200'000, 'c'));
    EXPECT_EQ(statements.size(), 1);
}

TEST_F(ModelContextTest, FetchSeesUnsavedInsertsDeletionsAndChanges)
{
    ClipboardItemPtr old = insertText(QStringLiteral("old"), at(30));
    ClipboardItemPtr middle = insertText(QStringLiteral("middle"), at(20));
    ASSERT_TRUE(context().save().ok);

    ClipboardItemPtr fresh = insertText(QStringLiteral("fresh"), at(0));
    context().remove(middle);
    old->setIsPinned(true);

    const QList<ClipboardItemPtr> all = context().fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0], fresh);
    EXPECT_EQ(all[1], old);

    FetchDescriptor pinnedOnly = FetchDescriptor::newestFirst(Predicate::equal(ItemField::isPinned, true));
    EXPECT_EQ(context().fetch(pinnedOnly).items, QList<ClipboardItemPtr> { old });
    FetchDescriptor newestOne = FetchDescriptor::newestFirst();
    newestOne.fetchLimit = 1;
    EXPECT_EQ(context().fetch(newestOne).items, QList<ClipboardItemPtr> { fresh });
    EXPECT_EQ(context().fetchCount(FetchDescriptor::newestFirst()), 2);
}

TEST_F(ModelContextTest, PredicatesMatchTheSameItemsInSqlAndInMemory)
{
    ClipboardItemPtr a = insertText(QStringLiteral("alpha"), at(50));
    ClipboardItemPtr b = insertText(QStringLiteral("beta"), at(40), true);
    ClipboardItemPtr c
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://x.org") });
    c->setTimestamp(at(30));
    context().insert(c);
    ASSERT_TRUE(context().save().ok);

    const QDateTime cutoff = at(45);
    const struct
    {
        const char *name;
        Predicate predicate;
        QList<ClipboardItemPtr> expectedNewestFirst;
    } cases[] = {
        { "equal text", Predicate::equal(ItemField::textContent, QStringLiteral("beta")), { b } },
        { "kind", Predicate::equal(ItemField::itemType, QStringLiteral("link")), { c } },
        { "older than", Predicate::less(ItemField::timestamp, cutoff), { a } },
        { "newer than", Predicate::greaterOrEqual(ItemField::timestamp, cutoff), { c, b } },
        { "unpinned and text",
            Predicate::all({ Predicate::equal(ItemField::isPinned, false),
                Predicate::equal(ItemField::itemType, QStringLiteral("text")) }),
            { a } },
        { "either",
            Predicate::any({ Predicate::equal(ItemField::textContent, QStringLiteral("alpha")),
                Predicate::equal(ItemField::isPinned, true) }),
            { b, a } },
        { "no label", Predicate::isNull(ItemField::pinnedLabel), { c, b, a } },
        { "not kind", Predicate::negation(Predicate::equal(ItemField::itemType, QStringLiteral("text"))),
            { c } },
    };
    for (const auto &test : cases) {
        EXPECT_EQ(
            context().fetch(FetchDescriptor::newestFirst(test.predicate)).items, test.expectedNewestFirst)
            << test.name;
        QList<ClipboardItemPtr> inMemory;
        for (const ClipboardItemPtr &item : { c, b, a }) {
            if (test.predicate.matches(*item))
                inMemory.append(item);
        }
        EXPECT_EQ(inMemory, test.expectedNewestFirst) << test.name << " (in memory)";
    }
}

TEST_F(ModelContextTest, DeletionsOfAnotherContextReachTheMainContext)
{
    ClipboardItemPtr keep = insertText(QStringLiteral("keep"));
    ClipboardItemPtr gone = insertText(QStringLiteral("gone"));
    ClipboardItemPtr referencing = insertText(QStringLiteral("ref"));
    referencing->setPinnedReference(gone);
    ASSERT_TRUE(context().save().ok);
    QSignalSpy changed(&context(), &ModelContext::objectsDidChange);
    LiveQuery query(&context(), FetchDescriptor::newestFirst());
    ASSERT_EQ(query.results().size(), 3);

    std::unique_ptr<ModelContext> background = container().makeContext();
    QThread *worker = QThread::create([&] {
        ClipboardItemPtr item = background->model(gone->persistentModelID());
        background->remove(item);
        ASSERT_TRUE(background->save().ok);
    });
    worker->start();
    worker->wait();
    delete worker;

    ASSERT_TRUE(waitUntil([&] { return gone->isDeleted(); }));
    EXPECT_EQ(gone->modelContext(), nullptr);
    EXPECT_EQ(referencing->pinnedReference(), nullptr);
    EXPECT_FALSE(keep->isDeleted());
    ASSERT_TRUE(waitUntil([&] { return query.results().size() == 2; }));
    EXPECT_GE(changed.count(), 1);
}

TEST_F(ModelContextTest, ChangesOfAnotherContextRefreshLoadedObjects)
{
    ClipboardItemPtr item = insertText(QStringLiteral("link"));
    ASSERT_TRUE(context().save().ok);
    EXPECT_EQ(item->searchableText(), QStringLiteral("link"));

    std::unique_ptr<ModelContext> background = container().makeContext();
    ClipboardItemPtr elsewhere = background->model(item->persistentModelID());
    elsewhere->setLinkTitle(QStringLiteral("Fetched Title"));
    elsewhere->setLinkThumbnailData(QByteArray("png"));
    ASSERT_TRUE(background->save().ok);

    context().processPendingStoreChanges();
    EXPECT_EQ(item->linkTitle(), QStringLiteral("Fetched Title"));
    EXPECT_EQ(item->linkThumbnailData(), QByteArray("png"));
    EXPECT_EQ(item->searchableText(), QStringLiteral("fetched title link"));
}

TEST_F(ModelContextTest, AStoredValueThatAppearsElsewhereIsAnnouncedHereEvenUnread)
{
    ClipboardItemPtr item = insertText(QStringLiteral("https://example.com"));
    item->setItemType(QStringLiteral("link"));
    ASSERT_TRUE(context().save().ok);
    // Read once and let go, as a view that drew the item without a picture does.
    EXPECT_EQ(item->linkThumbnailData(), std::nullopt);
    item->releaseExternalData();
    QSignalSpy announced(&context(), &ModelContext::itemDidChangeProperty);

    std::unique_ptr<ModelContext> background = container().makeContext();
    ClipboardItemPtr elsewhere = background->model(item->persistentModelID());
    elsewhere->setLinkThumbnailData(QByteArray("png"));
    elsewhere->setLinkTitle(QStringLiteral("Fetched"));
    ASSERT_TRUE(background->save().ok);
    context().processPendingStoreChanges();

    QList<ItemField> fields;
    for (const QList<QVariant> &signal : announced)
        fields.append(signal.at(1).value<ItemField>());
    EXPECT_TRUE(fields.contains(ItemField::linkThumbnailData));
    EXPECT_TRUE(fields.contains(ItemField::linkTitle));
    EXPECT_FALSE(fields.contains(ItemField::mediaImageData)) << "a value missing on both sides";
    EXPECT_EQ(item->linkThumbnailData(), QByteArray("png"));
}

TEST_F(ModelContextTest, AFailedSaveKeepsEveryChangeAndLosesNothingCommitted)
{
    ClipboardItemPtr committed = insertText(QStringLiteral("committed"));
    ASSERT_TRUE(context().save().ok);

    // Another connection holds the write lock.
    container().setBusyTimeout(50);
    std::unique_ptr<ModelContext> shortWait = container().makeContext();
    SqliteConnection blocker;
    ASSERT_TRUE(blocker.open(storePath(), SQLITE_OPEN_READWRITE));
    ASSERT_TRUE(blocker.exec(QStringLiteral("BEGIN IMMEDIATE")));

    ClipboardItemPtr pending
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("pending") });
    shortWait->insert(pending);
    ClipboardItemPtr committedThere = shortWait->model(committed->persistentModelID());
    committedThere->setPinnedLabel(QStringLiteral("label"));
    const ModelContext::SaveResult failed = shortWait->save();
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_TRUE(shortWait->hasChanges());
    EXPECT_TRUE(pending->persistentModelID().isTemporary());

    ASSERT_TRUE(blocker.exec(QStringLiteral("ROLLBACK")));
    ASSERT_TRUE(shortWait->save().ok);
    std::unique_ptr<ModelContext> reader = container().makeContext();
    EXPECT_EQ(reader->fetchCount(FetchDescriptor::newestFirst()), 2);
    EXPECT_EQ(reader->model(committed->persistentModelID())->pinnedLabel(), QStringLiteral("label"));
}

TEST_F(ModelContextTest, AFullDiskFailsTheSaveWithoutCorruptingTheStore)
{
    insertText(QStringLiteral("small"));
    ASSERT_TRUE(context().save().ok);
    // Another program reads what the log holds meanwhile.
    StoreLockHolder logReader(storePath(), std::chrono::seconds(20), true);
    ASSERT_TRUE(logReader.isLocked());

    // The writer's connection may not grow the file beyond its current size; it waits for
    // another's lock far longer than the test runs.
    container().setConnectionSetupSql(QStringLiteral("PRAGMA max_page_count = 12"));
    container().setBusyTimeout(600'000);
    std::unique_ptr<ModelContext> writer = container().makeContext();
    ClipboardItemPtr big
        = ClipboardItem::create(ClipboardItemType::media, { .mediaImageData = QByteArray(400'000, 'x') });
    writer->insert(big);
    const ModelContext::SaveResult result = writer->save();
    // Giving the log's space back waits for nobody.
    EXPECT_TRUE(logReader.isLocked()) << "the failed save waited for the reader to leave the log";
    logReader.release();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QLatin1String("full"))) << result.error.toStdString();
    EXPECT_TRUE(writer->hasChanges());

    std::unique_ptr<ModelContext> reader = container().makeContext();
    const QList<ClipboardItemPtr> items = reader->fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first()->textContent(), QStringLiteral("small"));
    EXPECT_EQ(big->mediaImageData()->size(), 400'000) << "the unsaved item keeps its data for a later save";

    // A later save still waits for another's lock, as before the failure.
    writer->rollback();
    writer->insert(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("later") }));
    StoreLockHolder holder(storePath(), std::chrono::milliseconds(100));
    ASSERT_TRUE(holder.isLocked());
    const ModelContext::SaveResult later = writer->save();
    EXPECT_TRUE(later.ok) << later.error.toStdString();
}

TEST_F(ModelContextTest, TheLogKeepsNoMoreThanItsLimitOfALargeWriteOnceItStartsOver)
{
    const QString log = storePath() + QStringLiteral("-wal");
    std::unique_ptr<ModelContext> writer = container().makeContext();
    writer->insert(ClipboardItem::create(ClipboardItemType::text, { .text = QString(12'000'000, u'x') }));
    ASSERT_TRUE(writer->save().ok);
    ASSERT_GT(QFileInfo(log).size(), 12'000'000);
    // Folded into the store, as the checkpointer does; the next write starts the log over.
    SqliteConnection raw;
    ASSERT_TRUE(raw.open(storePath(), SQLITE_OPEN_READWRITE));
    ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")));
    writer->insert(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("small") }));
    ASSERT_TRUE(writer->save().ok);
    EXPECT_LE(QFileInfo(log).size(), 8 * 1024 * 1024) << "the log kept the size of the largest write";
}

// A connection keeps the store pages it read or wrote for its next statements, up to a bound:
// a pass over a history larger than that (the panel's list read whole, a large save) leaves
// no more than the bound behind, whatever the store's size.
TEST_F(ModelContextTest, AConnectionKeepsNoMoreStorePagesThanItsBound)
{
    // 3,000 kilobyte texts: some 4 MB of rows, twice what SQLite keeps by default.
    const QString kilobyte(1000, u'x');
    const struct
    {
        const char *name;
        std::function<void(ModelContext &)> pass;
    } cases[] = {
        { "the whole history saved",
            [&](ModelContext &store) {
                for (int i = 0; i < 3000; ++i) {
                    ClipboardItemPtr item = ClipboardItem::create(
                        ClipboardItemType::text, { .text = QStringLiteral("%1 %2").arg(i).arg(kilobyte) });
                    item->setTimestamp(at(i));
                    store.insert(item);
                }
                ASSERT_TRUE(store.save().ok);
            } },
        { "the whole history read",
            [](ModelContext &store) {
                EXPECT_EQ(store.fetch(FetchDescriptor::newestFirst()).items.size(), 3000);
            } },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        std::unique_ptr<ModelContext> store = container().makeContext();
        (void)store->fetchCount(FetchDescriptor()); // the schema, read once per connection
        const sqlite3_int64 before = sqlite3_memory_used();
        test.pass(*store);
        const sqlite3_int64 held = sqlite3_memory_used() - before;
        // Each page takes a little more than its size; the statements' own memory is gone.
        EXPECT_LT(held, StoreSchemaSql::pageCacheBytes * 5 / 4);
        EXPECT_GT(held, StoreSchemaSql::pageCacheBytes / 2) << "the pages last used are kept";
    }
}

TEST_F(ModelContextTest, RollbackRestoresStoredValues)
{
    ClipboardItemPtr item = insertText(QStringLiteral("stored"));
    ASSERT_TRUE(context().save().ok);
    item->setTextContent(QStringLiteral("edited"));
    ClipboardItemPtr added = insertText(QStringLiteral("added"));
    context().remove(item);
    context().rollback();
    EXPECT_FALSE(context().hasChanges());
    EXPECT_FALSE(item->isDeleted());
    EXPECT_EQ(item->textContent(), QStringLiteral("stored"));
    EXPECT_EQ(context().fetch(FetchDescriptor::newestFirst()).items, QList<ClipboardItemPtr> { item });
    EXPECT_EQ(added->modelContext(), nullptr);
}

// Every item of the history is held by the panel's list: an item read from the store takes room
// for the few fields it has, not one for each field there is.
TEST_F(ModelContextTest, AnItemReadFromTheStoreTakesRoomForTheFieldsItHasOnly)
{
    const struct
    {
        const char *name;
        std::function<ClipboardItemPtr(int)> make;
    } kinds[] = {
        { "a short text",
            [](int i) {
                return ClipboardItem::create(
                    ClipboardItemType::text, { .text = QStringLiteral("note %1").arg(i) });
            } },
        { "a link with its title and source",
            [](int i) {
                ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::link,
                    { .text = QStringLiteral("https://example.org/%1").arg(i),
                        .sourceAppBundleIdentifier = QStringLiteral("firefox"),
                        .sourceAppName = QStringLiteral("Firefox") });
                item->setLinkTitle(QStringLiteral("Page %1").arg(i));
                return item;
            } },
    };
    constexpr int count = 2000;
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.name);
        resetStore();
        for (int i = 0; i < count; ++i)
            context().insert(kind.make(i));
        ASSERT_TRUE(context().save().ok);
        std::unique_ptr<ModelContext> reader = container().makeContext();
        (void)reader->fetchCount(FetchDescriptor()); // the connection's own start is not the items'
        const std::size_t before = mallinfo2().uordblks;
        const QList<ClipboardItemPtr> items = reader->fetch(FetchDescriptor::newestFirst()).items;
        const std::size_t after = mallinfo2().uordblks;
        ASSERT_EQ(items.size(), count);
        // Their texts, digests and the list's entries included (some 850 bytes for the text,
        // 1.3 KB for the link); a slot for each of the 41 fields would add 1 KB to either.
        EXPECT_LT(double(after - before) / count, 1600.0);
    }
}

// Passes over the whole history that decide by a condition read identifiers alone: the same
// ones in the same order as the fetch, unsaved changes included.
TEST_F(ModelContextTest, IdentifierFetchesNameWhatTheFetchWouldReturnInItsOrder)
{
    ClipboardItemPtr old = insertText(QStringLiteral("old"), at(300));
    ClipboardItemPtr pinned = insertText(QStringLiteral("pinned"), at(200));
    pinned->setIsPinned(true);
    ClipboardItemPtr middle = insertText(QStringLiteral("middle"), at(100));
    ClipboardItemPtr recent = insertText(QStringLiteral("recent"), at(10));
    ASSERT_TRUE(context().save().ok);
    const auto identifiers = [](const QList<ClipboardItemPtr> &items) {
        QList<PersistentIdentifier> ids;
        for (const ClipboardItemPtr &item : items)
            ids.append(item->persistentModelID());
        return ids;
    };
    FetchDescriptor newestTwo = FetchDescriptor::newestFirst();
    newestTwo.fetchLimit = 2;
    FetchDescriptor oldestFirst;
    oldestFirst.sortBy = { { ItemField::timestamp, true } };
    const struct
    {
        const char *name;
        FetchDescriptor descriptor;
        QList<ClipboardItemPtr> expected;
    } cases[] = {
        { "newest first", FetchDescriptor::newestFirst(), { recent, middle, pinned, old } },
        { "oldest first", oldestFirst, { old, pinned, middle, recent } },
        { "the unpinned", FetchDescriptor::newestFirst(Predicate::equal(ItemField::isPinned, false)),
            { recent, middle, old } },
        { "the newest two", newestTwo, { recent, middle } },
    };
    QStringList statements;
    context().setStatementTrace([&](const QString &sql) { statements.append(sql); });
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        statements.clear();
        const ModelContext::IdentifiersResult saved = context().fetchIdentifiers(test.descriptor);
        ASSERT_TRUE(saved.ok);
        EXPECT_EQ(saved.identifiers, identifiers(test.expected));
        // The pruning asks at every copy: it reads an index, never the rows and their texts.
        ASSERT_EQ(statements.size(), 1);
        EXPECT_EQ(rowsReadBy(storePath(), statements.first()), QStringList())
            << statements.first().toStdString();
    }
    context().setStatementTrace({});
    // Unsaved: a deletion, a new item, a pin taken off.
    context().remove(middle);
    ClipboardItemPtr added = insertText(QStringLiteral("added"), at(1));
    pinned->setIsPinned(false);
    const ModelContext::IdentifiersResult unsaved = context().fetchIdentifiers(
        FetchDescriptor::newestFirst(Predicate::equal(ItemField::isPinned, false)));
    ASSERT_TRUE(unsaved.ok);
    EXPECT_EQ(unsaved.identifiers, identifiers({ added, recent, pinned, old }));
}

TEST_F(ModelContextTest, ALimitedFetchCountsOnlyWhatTheSaveWillLeave)
{
    ClipboardItemPtr older = insertText(QStringLiteral("older"), at(60));
    ClipboardItemPtr newer = insertText(QStringLiteral("newer"), at(10));
    ClipboardItemPtr newest = insertText(QStringLiteral("newest"), at(5));
    ASSERT_TRUE(context().save().ok);
    // Two deletions not yet saved: the newest items left are the older ones.
    context().remove(newest);
    context().remove(newer);
    const struct
    {
        int limit;
        QList<ClipboardItemPtr> expected;
    } cases[] = { { 1, { older } }, { 2, { older } }, { 0, {} } };
    for (const auto &c : cases) {
        FetchDescriptor descriptor = FetchDescriptor::newestFirst();
        descriptor.fetchLimit = c.limit;
        EXPECT_EQ(context().fetch(descriptor).items, c.expected) << c.limit;
    }
    FetchDescriptor one = FetchDescriptor::newestFirst();
    one.fetchLimit = 1;
    const ModelContext::ContentHashesResult digests = context().fetchContentHashes(one);
    ASSERT_EQ(digests.entries.size(), 1);
    EXPECT_EQ(digests.entries.first().first, older->persistentModelID());
}

TEST_F(ModelContextTest, UnsavedItemsAreDistinctFromTheirCreation)
{
    ClipboardItemPtr a = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("same") });
    ClipboardItemPtr b = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("same") });
    EXPECT_TRUE(a->persistentModelID().isValid());
    EXPECT_FALSE(*a == *b) << "two new items are two items";
    EXPECT_TRUE(*a == *a);
    const PersistentIdentifier beforeInsert = a->persistentModelID();
    context().insert(a);
    EXPECT_EQ(a->persistentModelID(), beforeInsert) << "the identity holds once inserted";
    EXPECT_EQ(context().model(beforeInsert), a);
    context().rollback();
    EXPECT_FALSE(*a == *b) << "nor after a rollback";
    context().insert(a);
    context().insert(b);
    ASSERT_TRUE(context().save().ok);
    EXPECT_FALSE(*a == *b);
    EXPECT_NE(a->persistentModelID(), b->persistentModelID());
}

TEST_F(ModelContextTest, RollingBackToAMarkKeepsWhatCameBefore)
{
    ClipboardItemPtr kept = insertText(QStringLiteral("stored"), at(60));
    ClipboardItemPtr trimmed = insertText(QStringLiteral("trimmed"), at(50));
    ASSERT_TRUE(context().save().ok);
    kept->setPinnedLabel(QStringLiteral("before the mark"));
    const ModelContext::PendingMark mark = context().pendingMark();
    // What one copy did: a deletion, an insertion, a change of an item changed before.
    context().remove(trimmed);
    ClipboardItemPtr added = insertText(QStringLiteral("added"));
    kept->setTimestamp(at(1));
    context().rollbackTo(mark);

    EXPECT_FALSE(trimmed->isDeleted());
    EXPECT_EQ(added->modelContext(), nullptr);
    EXPECT_EQ(kept->pinnedLabel(), QStringLiteral("before the mark"));
    ASSERT_TRUE(context().save().ok);
    std::unique_ptr<ModelContext> reader = container().makeContext();
    const QList<ClipboardItemPtr> stored = reader->fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(reader->model(kept->persistentModelID())->pinnedLabel(), QStringLiteral("before the mark"));
}

TEST_F(ModelContextTest, AChangedReferenceOfASavedItemSurvivesAReopen)
{
    const struct
    {
        const char *name;
        int before; // index into the pinned items, -1 for none
        int after;
    } cases[] = {
        { "none to one", -1, 0 },
        { "one to another", 0, 1 },
        { "one to none", 0, -1 },
        { "one to a new one", 0, 2 },
    };
    for (const bool reopenFirst : { false, true }) {
        for (const auto &test : cases) {
            SCOPED_TRACE(test.name);
            SCOPED_TRACE(reopenFirst ? "read back before the change" : "changed in memory");
            resetStore();
            QList<ClipboardItemPtr> pinned = { insertText(QStringLiteral("first pinned"), at(30), true),
                insertText(QStringLiteral("second pinned"), at(20), true) };
            ClipboardItemPtr item = insertText(QStringLiteral("copy"));
            if (test.before >= 0)
                item->setPinnedReference(pinned[test.before]);
            ASSERT_TRUE(context().save().ok);
            const PersistentIdentifier identifier = item->persistentModelID();
            std::unique_ptr<ModelContext> other;
            if (reopenFirst) {
                other = container().makeContext();
                item = other->model(identifier);
                for (ClipboardItemPtr &p : pinned)
                    p = other->model(p->persistentModelID());
            }
            ModelContext &changing = reopenFirst ? *other : context();
            pinned.append(
                ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("new pinned") }));
            changing.insert(pinned.last());
            item->setPinnedReference(test.after >= 0 ? pinned[test.after] : nullptr);
            ASSERT_TRUE(changing.save().ok);
            other.reset();

            m_container.reset();
            QString error;
            m_container = ModelContainer::open(storePath(), &error);
            ASSERT_TRUE(m_container) << error.toStdString();
            const ClipboardItemPtr reopened = context().model(identifier);
            ASSERT_TRUE(reopened);
            const ClipboardItemPtr reference = reopened->pinnedReference();
            if (test.after < 0) {
                EXPECT_EQ(reference, nullptr);
            } else {
                ASSERT_TRUE(reference);
                EXPECT_EQ(reference->textContent(), pinned[test.after]->textContent());
            }
        }
    }
}

TEST_F(ModelContextTest, TheMainContextNeverWaitsForALockAndTriesARefusedSaveAgainUntilItIsIn)
{
    ManualClock clock;
    container().setClock(clock);
    // However long other contexts wait, the main context does not.
    container().setBusyTimeout(60'000);
    const struct
    {
        const char *name;
        bool takenBack; // the caller takes its change back (as a copy tried again on its own)
    } cases[] = { { "a pin made while another program holds the store", false },
        { "a change the caller took back", true } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ClipboardItemPtr item = insertText(QStringLiteral("%1").arg(QString::fromUtf8(c.name)));
        ASSERT_TRUE(context().save().ok);
        auto lock = std::make_unique<StoreLockHolder>(storePath(), std::chrono::seconds(60));
        ASSERT_TRUE(lock->isLocked());

        const ModelContext::PendingMark mark = context().pendingMark();
        item->setIsPinned(true);
        const ModelContext::SaveResult refused = context().save();
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(StoreFailure::causeOf(refused.resultCode), StoreFailure::Cause::locked);
        if (c.takenBack)
            context().rollbackTo(mark);
        // Still held: tried again, refused again, still pending.
        clock.advance(ModelContext::refusedSaveRetryDelay);
        EXPECT_EQ(context().hasChanges(), !c.takenBack);

        lock.reset();
        clock.advance(ModelContext::refusedSaveRetryDelay);
        EXPECT_FALSE(context().hasChanges());
        std::unique_ptr<ModelContext> reader = container().makeContext();
        EXPECT_EQ(reader->model(item->persistentModelID())->isPinned(), !c.takenBack);
    }
}

// A disk stays full for a while: what the main context could not save is tried again, less often
// the longer the disk stays full, until there is room. Each try that leaves a deletion in the
// file says so.
TEST_F(ModelContextTest, TheMainContextTriesASaveRefusedByAFullDiskAgainLessOftenUntilThereIsRoom)
{
    using namespace std::chrono_literals;
    ManualClock clock;
    container().setClock(clock);
    FullDiskVfs disk; // the main context's connection opens on it
    const struct
    {
        const char *name;
        bool deletes;
    } cases[] = { { "a deletion", true }, { "a pin", false } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ClipboardItemPtr item = insertText(QString::fromUtf8(c.name));
        ASSERT_TRUE(context().save().ok);
        QSignalSpy told(&context(), &ModelContext::deletionsNotSaved);
        disk.setFull(true);
        if (c.deletes)
            context().remove(item);
        else
            item->setIsPinned(true);
        const ModelContext::SaveResult refused = context().save();
        ASSERT_FALSE(refused.ok);
        EXPECT_EQ(StoreFailure::causeOf(refused.resultCode), StoreFailure::Cause::diskFull);
        for (const std::chrono::milliseconds delay : { 1000ms, 2000ms, 4000ms, 8000ms, 8000ms }) {
            const int tries = disk.refusedWrites();
            clock.advance(delay - 1ms);
            EXPECT_EQ(disk.refusedWrites(), tries) << "tried before " << delay.count() << " ms";
            clock.advance(1ms);
            EXPECT_GT(disk.refusedWrites(), tries) << "not tried after " << delay.count() << " ms";
        }
        ASSERT_EQ(told.size(), c.deletes ? 5 : 0);
        if (c.deletes) {
            const StoreFailure failure = told.first().first().value<StoreFailure>();
            EXPECT_EQ(failure.cause, StoreFailure::Cause::diskFull);
            EXPECT_EQ(failure.storePath, storePath());
        }
        std::unique_ptr<ModelContext> reader = container().makeContext();
        EXPECT_TRUE(reader->model(item->persistentModelID())) << "the store changed on a full disk";

        disk.setFull(false);
        clock.advance(ModelContext::longestFailedSaveRetryDelay);
        EXPECT_FALSE(context().hasChanges());
        reader->processPendingStoreChanges();
        const ClipboardItemPtr stored = reader->model(item->persistentModelID());
        EXPECT_EQ(stored == nullptr, c.deletes);
        EXPECT_EQ(stored && stored->isPinned(), !c.deletes);
        EXPECT_EQ(clock.pendingCount(), 0) << "tried again with nothing left to save";
    }
}

TEST_F(ModelContextTest, TheMainContextLeavesFoldingTheLogInToTheCheckpointerOneAtATime)
{
    QObject owner;
    int asked = 0;
    std::unique_ptr<QPromise<void>> running;
    container().setLogCheckpointer(&owner, [&] {
        ++asked;
        running = std::make_unique<QPromise<void>>();
        running->start();
        return running->future();
    });
    const QString wal = storePath() + QStringLiteral("-wal");
    // Each save grows the log by more pages than SQLite would let it have before folding it in.
    const auto saveMegabytes = [&] {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::media,
            { .mediaImageData = QByteArray(6 * 1024 * 1024, 'x'),
                .mediaSubtypeRaw = QStringLiteral("image") });
        context().insert(item);
        ASSERT_TRUE(context().save().ok);
    };
    saveMegabytes();
    EXPECT_EQ(asked, 1);
    saveMegabytes();
    EXPECT_EQ(asked, 1) << "not asked again while a checkpoint runs";
    EXPECT_GT(QFileInfo(wal).size(), 12 * 1024 * 1024) << "the main thread folded the log in itself";

    running->finish();
    ASSERT_TRUE(waitUntil([&] {
        saveMegabytes();
        return asked == 2;
    }));
}
