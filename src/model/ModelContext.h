#pragma once

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/SqliteConnection.h"
#include "model/StoreFailure.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>

class Clock;

#include <chrono>
#include <functional>

// A unit of work on the store, used on one thread: it keeps one object per stored item
// (its identity map), collects inserts, changes and deletions, and writes them in one
// transaction on save(). Fetches see the context as it is, saved or not.
class ModelContext final : public QObject
{
    Q_OBJECT
public:
    ~ModelContext() override;

    ModelContainer *container() const { return m_container; }

    void insert(const ClipboardItemPtr &item);
    // Marks the item for deletion; items in memory that reference it lose the reference.
    void remove(const ClipboardItemPtr &item);
    bool hasChanges() const;

    struct SaveResult
    {
        bool ok = true;
        QString error; // SQLite's reason when the save failed
        int resultCode = 0; // SQLite's result code when the save failed
    };
    // Writes every pending change in one transaction. On failure nothing is written and
    // every change stays pending, so a later save can still succeed.
    SaveResult save();
    // A save the store refused is tried again later, and again, while changes are pending: for
    // the main context, which never waits for a lock, so that a pin or a deletion made while
    // another program held the store, or while its disk was full, still reaches it. After
    // another connection's lock refusedSaveRetryDelay later; after any other refusal (a full
    // disk, a file that cannot be written) first failedSaveRetryDelay later, the wait doubling
    // up to longestFailedSaveRetryDelay until a save goes through.
    void retryRefusedSaves(Clock &clock);
    static constexpr std::chrono::milliseconds refusedSaveRetryDelay { 500 };
    static constexpr std::chrono::milliseconds failedSaveRetryDelay { 1000 };
    static constexpr std::chrono::milliseconds longestFailedSaveRetryDelay { 8000 };
    // Forgets every pending change and restores the objects' stored values.
    void rollback();

    // A point in the context's pending changes, to forget what came after it.
    struct PendingMark
    {
        qsizetype inserted = 0;
        qsizetype updated = 0;
        qsizetype deleted = 0;
    };
    PendingMark pendingMark() const { return { m_inserted.size(), m_updated.size(), m_deleted.size() }; }
    // Forgets the insertions and deletions made since the mark and the changes of the items
    // first changed since (their stored values come back), so that one change that cannot
    // be saved does not hold up the changes after it. Inserted items leave the context.
    void rollbackTo(const PendingMark &mark);
    // Forgets the objects it holds that have no pending change, so their memory can go;
    // later fetches read them afresh. For contexts that do a job and then wait.
    void releaseUnchangedObjects();

    struct FetchResult
    {
        QList<ClipboardItemPtr> items;
        bool ok = true;
        QString error;
    };
    FetchResult fetch(const FetchDescriptor &descriptor);
    int fetchCount(const FetchDescriptor &descriptor);

    // The identifiers of the items a fetch would return, in its order, for passes over the
    // whole history that decide by a condition alone (which to prune): no object is made for
    // an item this context does not hold yet, unless it has unsaved changes that only the
    // objects know.
    struct IdentifiersResult
    {
        QList<PersistentIdentifier> identifiers;
        bool ok = true;
        QString error;
    };
    IdentifiersResult fetchIdentifiers(const FetchDescriptor &descriptor);

    // The identifiers and stored content digests of the items a fetch would return, in its
    // order, without reading their content (nothing when a digest is not stored yet).
    struct ContentHashesResult
    {
        QList<std::pair<PersistentIdentifier, std::optional<QByteArray>>> entries;
        bool ok = true;
        QString error;
    };
    ContentHashesResult fetchContentHashes(const FetchDescriptor &descriptor);

    // The object of the item with that identifier in this context: the registered one, or
    // one read from the store; nullptr when the item does not exist (any more).
    ClipboardItemPtr model(PersistentIdentifier identifier);

    // Deletes the stored values that are never read because they are larger than their field
    // takes (FieldInfo::maxStoredBytes) or are no data, as a damaged or edited store may hold
    // them; the other contexts take the change in. Freeing the store of a large value takes
    // a while: for contexts off the main thread. How many went; -1 when the store refused.
    int deleteValuesTooLargeToRead();

    // Hands back what the connection keeps in memory: the store pages (read from the file
    // again when needed) and the changes other contexts saved, which it takes in first. For
    // idle points.
    void releaseCachedPages();

    // Reads changes saved by other contexts into this one now (the main context also
    // does so on its own, as soon as the main thread is free).
    void processPendingStoreChanges();
    // How many saves of other contexts wait to be read into this one (any thread).
    qsizetype pendingStoreChangeCount() const;

    // Every SQL statement this context's connection runs, for tests and diagnostics.
    void setStatementTrace(std::function<void(const QString &)> trace);

Q_SIGNALS:
    // Items were inserted, deleted, saved or changed by another context: queries over
    // this context should look again.
    void objectsDidChange();
    // A persisted property of a registered or inserted item was written.
    void itemDidChangeProperty(const ClipboardItemPtr &item, ItemField field);
    void didSave(const StoreChanges &changes);
    // Items were deleted, by this context's save or by another's that it took in.
    void itemsDeleted(int count);
    // A save tried again was refused, for more than a moment's lock, with items deleted here
    // among its changes: they are still in the store file until a later save goes through.
    void deletionsNotSaved(const StoreFailure &failure);
    // The objects of those items that this context held (the others it never handed out), for
    // whoever keeps something per item: it lets it go with them.
    void objectsDeleted(const QList<ClipboardItemPtr> &items);

private:
    friend class ModelContainer;
    friend class ClipboardItem;
    ModelContext(ModelContainer *container, SqliteConnection connection);

    // Called by items.
    void itemDidChange(ClipboardItem *item, ItemField field);
    void itemDidChangeContentHash(ClipboardItem *item);
    QVariant loadExternalValue(PersistentIdentifier identifier, ItemField field);
    // Says in the log, once per item and field, that a stored value was left unread (size -1:
    // it is no data).
    void reportUnreadValue(PersistentIdentifier identifier, const FieldInfo &info, qint64 size);
    // The items of which a field's stored value is too large to read.
    QList<qint64> itemsWithValuesTooLargeToRead(const FieldInfo &info);
    QList<ClipboardItemPtr> referencingItems(const ClipboardItem &item);

    // Called by the container, from any thread.
    void enqueueStoreChanges(const StoreChanges &changes);

    SaveResult writeChanges();
    void rollBackAndGiveLogSpaceBack();
    void scheduleRefusedSaveRetry(StoreFailure::Cause cause);
    void retryRefusedSave();
    QString fetchSql(const QString &columns, const FetchDescriptor &descriptor, bool limited,
        QVariantList *bindings, const QString &index = {}) const;
    // The fetch's statement with its values bound (invalid when it did not compile).
    SqliteStatement prepareFetch(
        const QString &columns, const FetchDescriptor &descriptor, bool limited, const QString &index = {});
    ClipboardItemPtr materialize(const SqliteStatement &row);
    // A new object's values from the row (its references by row number).
    void readRowValues(ClipboardItem &item, const SqliteStatement &row);
    void refreshFromRow(ClipboardItem &item, const SqliteStatement &row, bool keepDirtyFields);
    // Rows of items inserted by a save, known only once its transaction commits.
    using NewRows = QHash<const ClipboardItem *, qint64>;
    // The row an item's reference names: stored, inserted by this save, or none.
    static QVariant rowOf(const ClipboardItemPtr &target, const NewRows &newRows);
    bool writeInsertedItems(NewRows &newRows, QString *error);
    bool writeUpdatedItems(const NewRows &newRows, QString *error);
    bool writeDeletions(QString *error);
    StoreChanges markCommitted(const NewRows &newRows);
    bool writeInsert(ClipboardItem &item, QString *error);
    bool writeUpdate(ClipboardItem &item, QString *error);
    bool writeExternal(qint64 row, ClipboardItem &item, bool onlyDirty, QString *error);
    bool writeReference(qint64 row, const QVariant &referenceRow, QString *error);
    void detachDeleted(const ClipboardItemPtr &item);
    void clearReferencesTo(const ClipboardItem *target, bool markDirty);
    void scheduleObjectsDidChange();

    ModelContainer *m_container;
    SqliteConnection m_connection;
    std::function<void(const QString &)> m_trace;

    QHash<qint64, ClipboardItemPtr> m_registered;
    QList<ClipboardItemPtr> m_inserted;
    QList<ClipboardItemPtr> m_updated;
    QList<ClipboardItemPtr> m_deleted;

    // Takes in what was posted to this context's thread (the one event that may be pending).
    void takeInPostedStoreChanges();

    mutable QMutex m_incomingMutex;
    QList<StoreChanges> m_incoming;
    // An event to take the changes in is pending (guarded by m_incomingMutex).
    bool m_incomingPosted = false;
    bool m_changeSignalScheduled = false;
    Clock *m_refusedSaveClock = nullptr;
    bool m_refusedSaveRetryScheduled = false;
    // The wait before the next try after a refusal that was no lock; zero after a save went through.
    std::chrono::milliseconds m_failedSaveRetryDelay { 0 };
    QSet<std::pair<qint64, int>> m_reportedUnreadValues;
};
