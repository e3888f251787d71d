#include "model/ClipboardDatabaseActor.h"

#include "common/Diagnostics.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>

#include <limits>

#include <sqlite3.h>

ClipboardDatabaseActor::ClipboardDatabaseActor(ModelContainer &container)
    : m_container(container)
{ }

ClipboardDatabaseActor::~ClipboardDatabaseActor()
{
    // The context belongs to the actor's thread: it goes there too.
    m_executor.run([this] { m_context.reset(); }).waitForFinished();
}

ModelContext &ClipboardDatabaseActor::context()
{
    if (!m_context)
        m_context = m_container.makeContext();
    return *m_context;
}

QFuture<void> ClipboardDatabaseActor::pruneToLimit(qint64 limit)
{
    return m_executor.run([this, limit] {
        ModelContext &store = context();
        const int deleted = removeUnpinnedBeyondNewest(store, std::max<qint64>(0, limit));
        if (deleted < 0)
            return;
        store.save(); // a failed save keeps the deletions pending for the next one
        if (deleted > 0)
            vacuumIfNeeded();
        store.releaseUnchangedObjects();
    });
}

int ClipboardDatabaseActor::removeUnpinnedBeyondNewest(ModelContext &store, qint64 keep)
{
    // Identifiers only: this runs at every copy, over histories of thousands, and mostly finds
    // nothing to do.
    const ModelContext::IdentifiersResult unpinned
        = store.fetchIdentifiers(FetchDescriptor::newestFirst(Predicate::equal(ItemField::isPinned, false)));
    if (!unpinned.ok)
        return -1;
    if (unpinned.identifiers.isEmpty())
        return 0;
    FetchDescriptor newestDescriptor = FetchDescriptor::newestFirst();
    newestDescriptor.fetchLimit = int(std::min<qint64>(keep, std::numeric_limits<int>::max()));
    const ModelContext::IdentifiersResult newest = store.fetchIdentifiers(newestDescriptor);
    if (!newest.ok)
        return -1;
    return removeItems(store, unpinned.identifiers, newest.identifiers);
}

QFuture<bool> ClipboardDatabaseActor::pruneOlderThan(double maxAgeSeconds)
{
    return m_executor.run([this, maxAgeSeconds] {
        const QDateTime cutoff = QDateTime::currentDateTimeUtc().addMSecs(qint64(-maxAgeSeconds * 1000.0));
        ModelContext &store = context();
        const Predicate unpinned = Predicate::equal(ItemField::isPinned, false);
        FetchDescriptor stale;
        stale.predicate = Predicate::all({ unpinned, Predicate::less(ItemField::timestamp, cutoff) });
        const ModelContext::IdentifiersResult old = store.fetchIdentifiers(stale);
        if (!old.ok || old.identifiers.isEmpty())
            return false;
        FetchDescriptor allUnpinned;
        allUnpinned.predicate = unpinned;
        const int unpinnedCount = store.fetchCount(allUnpinned);
        const int deleted = removeItems(store, old.identifiers);
        if (deleted > 0) {
            store.save();
            vacuumIfNeeded();
        }
        store.releaseUnchangedObjects();
        return deleted > 0 && deleted == unpinnedCount;
    });
}

int ClipboardDatabaseActor::removeItems(ModelContext &store, const QList<PersistentIdentifier> &identifiers,
    const QList<PersistentIdentifier> &kept)
{
    const QSet<PersistentIdentifier> keep(kept.begin(), kept.end());
    int removed = 0;
    for (const PersistentIdentifier identifier : identifiers) {
        if (keep.contains(identifier))
            continue;
        // Only the item to delete is read, and let go once the deletion is saved.
        if (const ClipboardItemPtr item = store.model(identifier)) {
            store.remove(item);
            ++removed;
        }
    }
    return removed;
}

QFuture<void> ClipboardDatabaseActor::checkpointWAL(CheckpointMode mode)
{
    return m_executor.run([this, mode] { runCheckpoint(mode); });
}

QFuture<void> ClipboardDatabaseActor::vacuumStore()
{
    return m_executor.run([this] { runStatement(QStringLiteral("VACUUM"), QStringLiteral("VACUUM")); });
}

QFuture<void> ClipboardDatabaseActor::releaseCachedPages()
{
    return m_executor.run([this] {
        if (m_context)
            m_context->releaseCachedPages();
    });
}

QFuture<void> ClipboardDatabaseActor::compactStore()
{
    return m_executor.run([this] {
        runCheckpoint();
        runStatement(QStringLiteral("VACUUM"), QStringLiteral("VACUUM"));
        runCheckpoint();
    });
}

bool ClipboardDatabaseActor::shouldVacuum(qint64 fileSize, qint64 freePageCount, qint64 pageSize)
{
    return fileSize > compactionThresholdBytes && freePageCount * pageSize > compactionThresholdBytes;
}

QString ClipboardDatabaseActor::failureLine(
    const QString &operation, int resultCode, const char *sqliteMessage)
{
    return QStringLiteral("[ClipboardDatabaseActor] %1 failed (%2): %3")
        .arg(operation)
        .arg(resultCode)
        .arg(sqliteMessage ? QString::fromUtf8(sqliteMessage) : QStringLiteral("unknown"));
}

namespace {

// Opens the store file for maintenance: read-write, never created here. Like the store's
// own connections it waits a while for a lock another connection holds, instead of
// failing at once.
sqlite3 *openStoreFile(const QString &path, int busyTimeoutMs)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return db;
}

std::optional<qint64> queryInteger(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return std::nullopt;
    }
    std::optional<qint64> value;
    if (sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

// Runs the statement; false when it failed, which is then reported. A statement that answers
// with rows has the first column of its first row put in firstValue.
bool execReportingFailure(
    sqlite3 *db, const char *sql, const QString &operation, QByteArray *firstValue = nullptr)
{
    const auto keepFirst = [](void *target, int columns, char **values, char **) {
        auto *first = static_cast<QByteArray *>(target);
        if (first && first->isNull() && columns > 0 && values[0])
            *first = QByteArray(values[0]);
        return 0;
    };
    char *message = nullptr;
    const int result = sqlite3_exec(db, sql, keepFirst, firstValue, &message);
    if (result != SQLITE_OK)
        printDiagnostic(ClipboardDatabaseActor::failureLine(operation, result, message));
    sqlite3_free(message);
    return result == SQLITE_OK;
}

} // namespace

std::optional<QByteArray> ClipboardDatabaseActor::runStatement(
    const QString &sql, const QString &operationName)
{
    const QString path = m_container.storePath();
    if (path.isEmpty())
        return std::nullopt;
    sqlite3 *db = openStoreFile(path, m_container.busyTimeout());
    if (!db)
        return std::nullopt;
    QByteArray firstValue;
    const bool ran = execReportingFailure(db, sql.toUtf8().constData(), operationName, &firstValue);
    sqlite3_close(db);
    return ran ? std::optional(firstValue) : std::nullopt;
}

void ClipboardDatabaseActor::runCheckpoint(CheckpointMode mode)
{
    const QString operation = QStringLiteral("WAL checkpoint");
    const std::optional<QByteArray> answer
        = runStatement(mode == CheckpointMode::passive ? QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")
                                                       : QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"),
            operation);
    // SQLite answers a checkpoint that readers or a writer kept from finishing with a row
    // whose first column is 1, not with an error: the log then stays as long as it was.
    if (answer == "1")
        printDiagnostic(failureLine(operation, SQLITE_BUSY, sqlite3_errstr(SQLITE_BUSY)));
}

void ClipboardDatabaseActor::vacuumIfNeeded()
{
    const QString path = m_container.storePath();
    const QFileInfo file(path);
    if (path.isEmpty() || !file.exists())
        return;
    const qint64 size = file.size();
    if (size <= compactionThresholdBytes)
        return;
    sqlite3 *db = openStoreFile(path, m_container.busyTimeout());
    if (!db)
        return;
    const std::optional<qint64> freePages = queryInteger(db, "PRAGMA freelist_count");
    const std::optional<qint64> pageSize = freePages ? queryInteger(db, "PRAGMA page_size") : std::nullopt;
    if (freePages && pageSize && shouldVacuum(size, *freePages, *pageSize))
        execReportingFailure(db, "VACUUM", QStringLiteral("VACUUM"));
    sqlite3_close(db);
}
