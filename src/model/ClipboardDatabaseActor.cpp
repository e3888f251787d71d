#include "model/ClipboardDatabaseActor.h"

#include "common/Diagnostics.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <QDateTime>
#include <QFileInfo>

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
        const ModelContext::FetchResult fetched = store.fetch(FetchDescriptor::newestFirst());
        if (!fetched.ok)
            return;
        const qint64 keep = std::max<qint64>(0, limit);
        if (fetched.items.size() <= keep)
            return;
        int deleted = 0;
        for (qsizetype i = qsizetype(keep); i < fetched.items.size(); ++i) {
            if (!fetched.items[i]->isPinned()) {
                store.remove(fetched.items[i]);
                ++deleted;
            }
        }
        store.save(); // a failed save keeps the deletions pending for the next one
        if (deleted > 0)
            vacuumIfNeeded();
        store.releaseUnchangedObjects();
    });
}

QFuture<bool> ClipboardDatabaseActor::pruneOlderThan(double maxAgeSeconds)
{
    return m_executor.run([this, maxAgeSeconds] {
        const QDateTime cutoff = QDateTime::currentDateTimeUtc().addMSecs(qint64(-maxAgeSeconds * 1000.0));
        ModelContext &store = context();
        FetchDescriptor all;
        const ModelContext::FetchResult fetched = store.fetch(all);
        if (!fetched.ok || fetched.items.isEmpty())
            return false;
        int deleted = 0;
        int unpinned = 0;
        for (const ClipboardItemPtr &item : fetched.items) {
            if (item->isPinned())
                continue;
            ++unpinned;
            if (item->timestamp() < cutoff) {
                store.remove(item);
                ++deleted;
            }
        }
        if (deleted > 0) {
            store.save();
            vacuumIfNeeded();
        }
        store.releaseUnchangedObjects();
        return deleted > 0 && deleted == unpinned;
    });
}

QFuture<void> ClipboardDatabaseActor::checkpointWAL(CheckpointMode mode)
{
    return m_executor.run([this, mode] { runCheckpoint(mode); });
}

QFuture<void> ClipboardDatabaseActor::vacuumStore()
{
    return m_executor.run([this] { runStatement(QStringLiteral("VACUUM"), QStringLiteral("VACUUM")); });
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
