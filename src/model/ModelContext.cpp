#include "model/ModelContext.h"

#include "common/Clock.h"
#include "common/Diagnostics.h"
#include "model/StoreFailure.h"
#include "model/StoreSchemaSql.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimeZone>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <limits>

namespace {

std::optional<QByteArray> readContentHash(const SqliteStatement &row)
{
    const int column = StoreSchemaSql::contentHashColumn();
    return row.isNull(column) ? std::nullopt : std::optional<QByteArray>(row.blob(column));
}

// The value of a column that holds one.
QVariant readValue(const SqliteStatement &row, int column, const FieldInfo &info)
{
    switch (info.type) {
    case FieldType::uuid:
        return QUuid::fromString(QUtf8StringView(row.textBytes(column)));
    // Qt::UTC keeps the date small (no time-zone object per value): list fetches make many.
    case FieldType::date:
        return QDateTime::fromMSecsSinceEpoch(row.int64(column), Qt::UTC);
    case FieldType::string:
        return row.text(column);
    case FieldType::boolean:
        return row.int64(column) != 0;
    case FieldType::integer:
        return row.int64(column);
    default:
        return {};
    }
}

QVariant readColumn(const SqliteStatement &row, int column, const FieldInfo &info)
{
    if (row.isNull(column))
        return info.type == FieldType::boolean && !info.optional ? QVariant(false) : QVariant();
    return readValue(row, column, info);
}

// The kind of an item is one of six short strings: one shared copy each instead of a new
// string per item and fetch.
QVariant internedItemType(const SqliteStatement &row, int column)
{
    static const std::array<std::pair<QByteArray, QVariant>, 6> kinds = [] {
        std::array<std::pair<QByteArray, QVariant>, 6> values;
        for (std::size_t i = 0; i < allClipboardItemTypes.size(); ++i)
            values[i] = { rawValue(allClipboardItemTypes[i]).toLatin1(), rawValue(allClipboardItemTypes[i]) };
        return values;
    }();
    const QByteArrayView bytes = row.textBytes(column);
    for (const auto &[raw, kind] : kinds) {
        if (bytes == raw)
            return kind;
    }
    return readColumn(row, column, fieldInfo(ItemField::itemType));
}

// Saved items sort by their row; unsaved ones come after every saved one, in insertion order.
qint64 insertionOrder(const ClipboardItem &item)
{
    const qint64 id = item.persistentModelID().value;
    return id > 0 ? id : std::numeric_limits<qint64>::max() + id;
}

int traceCallback(unsigned type, void *context, void *statement, void *)
{
    if (type == SQLITE_TRACE_STMT) {
        auto *trace = static_cast<std::function<void(const QString &)> *>(context);
        if (*trace) {
            const char *sql = sqlite3_sql(static_cast<sqlite3_stmt *>(statement));
            (*trace)(QString::fromUtf8(sql ? sql : ""));
        }
    }
    return 0;
}

} // namespace

ModelContext::ModelContext(ModelContainer *container, SqliteConnection connection)
    : m_container(container)
    , m_connection(std::move(connection))
{
    m_container->registerContext(this);
}

ModelContext::~ModelContext()
{
    // Objects may outlive their context (views hold them): they are then in no store.
    for (const ClipboardItemPtr &item : std::as_const(m_registered))
        item->m_context = nullptr;
    for (const ClipboardItemPtr &item : std::as_const(m_inserted))
        item->m_context = nullptr;
    for (const ClipboardItemPtr &item : std::as_const(m_deleted))
        item->m_context = nullptr;
    m_container->unregisterContext(this);
    if (m_connection.isOpen())
        sqlite3_trace_v2(m_connection.handle(), 0, nullptr, nullptr);
}

void ModelContext::setStatementTrace(std::function<void(const QString &)> trace)
{
    m_trace = std::move(trace);
    if (m_connection.isOpen())
        sqlite3_trace_v2(m_connection.handle(), m_trace ? SQLITE_TRACE_STMT : 0,
            m_trace ? &traceCallback : nullptr, &m_trace);
}

// ----- changes in this context -------------------------------------------------------

void ModelContext::insert(const ClipboardItemPtr &item)
{
    if (!item || item->m_context || item->m_deleted)
        return;
    item->m_context = this;
    if (!item->m_identifier.isTemporary())
        item->m_identifier = ClipboardItem::newTemporaryIdentifier();
    m_inserted.append(item);
    scheduleObjectsDidChange();
}

void ModelContext::remove(const ClipboardItemPtr &item)
{
    if (!item || item->m_context != this || item->m_deleted)
        return;
    if (m_inserted.removeOne(item)) {
        item->m_deleted = true;
        item->m_context = nullptr;
    } else {
        item->m_deleted = true;
        m_deleted.append(item);
    }
    clearReferencesTo(item.get(), true);
    scheduleObjectsDidChange();
}

bool ModelContext::hasChanges() const
{
    return !m_inserted.isEmpty() || !m_updated.isEmpty() || !m_deleted.isEmpty();
}

void ModelContext::itemDidChange(ClipboardItem *item, ItemField field)
{
    ClipboardItemPtr shared = item->shared_from_this();
    if (item->m_identifier.value > 0 && !item->m_deleted && !m_updated.contains(shared))
        m_updated.append(shared);
    Q_EMIT itemDidChangeProperty(shared, field);
}

void ModelContext::itemDidChangeContentHash(ClipboardItem *item)
{
    ClipboardItemPtr shared = item->shared_from_this();
    if (item->m_identifier.value > 0 && !item->m_deleted && !m_updated.contains(shared))
        m_updated.append(shared);
}

void ModelContext::clearReferencesTo(const ClipboardItem *target, bool markDirty)
{
    const qint64 targetRow = target->m_identifier.value;
    auto clear = [&](const ClipboardItemPtr &item) {
        const bool points = item->m_pinnedReference.get() == target
            || (targetRow > 0 && !item->m_pinnedReference && item->m_pinnedReferenceRow == targetRow);
        if (!points)
            return;
        if (markDirty) {
            item->setPinnedReference(nullptr);
        } else {
            item->m_pinnedReference.reset();
            item->m_pinnedReferenceRow = 0;
            ++item->m_searchRevision;
            Q_EMIT itemDidChangeProperty(item, ItemField::pinnedReference);
        }
    };
    for (const ClipboardItemPtr &item : std::as_const(m_registered))
        clear(item);
    for (const ClipboardItemPtr &item : std::as_const(m_inserted))
        clear(item);
}

void ModelContext::scheduleObjectsDidChange()
{
    // Many changes in one pass of the event loop make one signal.
    if (m_changeSignalScheduled)
        return;
    if (QThread::currentThread() != thread() || !QCoreApplication::instance()
        || !thread()->eventDispatcher()) {
        Q_EMIT objectsDidChange();
        return;
    }
    m_changeSignalScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_changeSignalScheduled = false;
            Q_EMIT objectsDidChange();
        },
        Qt::QueuedConnection);
}

void ModelContext::detachDeleted(const ClipboardItemPtr &item)
{
    item->m_deleted = true;
    item->m_context = nullptr;
    m_registered.remove(item->m_identifier.value);
    m_updated.removeOne(item);
}

// ----- saving ------------------------------------------------------------------------

ModelContext::SaveResult ModelContext::save()
{
    const SaveResult result = writeChanges();
    if (result.ok)
        m_failedSaveRetryDelay = {};
    else if (m_refusedSaveClock)
        scheduleRefusedSaveRetry(StoreFailure::causeOf(result.resultCode));
    return result;
}

void ModelContext::retryRefusedSaves(Clock &clock)
{
    m_refusedSaveClock = &clock;
}

void ModelContext::scheduleRefusedSaveRetry(StoreFailure::Cause cause)
{
    if (m_refusedSaveRetryScheduled)
        return;
    std::chrono::milliseconds delay = refusedSaveRetryDelay;
    if (cause != StoreFailure::Cause::locked) {
        // A disk stays full for a while: each try writes the changes again, so they come less often.
        m_failedSaveRetryDelay = m_failedSaveRetryDelay.count() == 0
            ? failedSaveRetryDelay
            : std::min(m_failedSaveRetryDelay * 2, longestFailedSaveRetryDelay);
        delay = m_failedSaveRetryDelay;
    }
    m_refusedSaveRetryScheduled = true;
    m_refusedSaveClock->runAfter(delay, this, [this] {
        m_refusedSaveRetryScheduled = false;
        retryRefusedSave();
    });
}

void ModelContext::retryRefusedSave()
{
    // What its own caller took back (a copy tried again on its own) is not pending.
    if (!hasChanges()) {
        m_failedSaveRetryDelay = {};
        return;
    }
    const bool deleting = !m_deleted.isEmpty();
    const SaveResult result = save();
    if (result.ok || !deleting)
        return;
    const StoreFailure failure { StoreFailure::causeOf(result.resultCode), m_container->storePath(),
        result.error };
    if (!failure.isTransient())
        Q_EMIT deletionsNotSaved(failure);
}

ModelContext::SaveResult ModelContext::writeChanges()
{
    processPendingStoreChanges();
    if (!hasChanges())
        return {};
    if (!m_connection.isOpen())
        return { false, m_connection.lastError(), m_connection.lastResultCode() };
    if (!m_connection.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return { false, m_connection.lastError(), sqlite3_extended_errcode(m_connection.handle()) };

    NewRows newRows;
    QString error;
    const bool written
        = writeInsertedItems(newRows, &error) && writeUpdatedItems(newRows, &error) && writeDeletions(&error);
    if (!written || !m_connection.exec(QStringLiteral("COMMIT"))) {
        const int code = sqlite3_extended_errcode(m_connection.handle());
        const SaveResult failed { false, written ? m_connection.lastError() : error, code };
        rollBackAndGiveLogSpaceBack();
        return failed;
    }

    const QList<ClipboardItemPtr> deleted = m_deleted;
    const StoreChanges changes = markCommitted(newRows);
    m_container->broadcast(changes, this);
    Q_EMIT didSave(changes);
    if (!changes.deleted.isEmpty()) {
        Q_EMIT itemsDeleted(int(changes.deleted.size()));
        Q_EMIT objectsDeleted(deleted);
    }
    scheduleObjectsDidChange();
    return {};
}

// A failed write leaves what it wrote in the write-ahead log, which keeps its size until the
// log starts over: tens of megabytes of a large text, on a disk that is full by then, for as
// long as the app runs. The log is emptied at once unless a reader is in it (nobody is waited
// for: a reader's next checkpoint does it).
void ModelContext::rollBackAndGiveLogSpaceBack()
{
    m_connection.exec(QStringLiteral("ROLLBACK"));
    sqlite3 *handle = m_connection.handle();
    if (!handle)
        return;
    SqliteStatement wait = m_connection.prepare(QStringLiteral("PRAGMA busy_timeout"));
    const int waitMs = wait.isValid() && wait.step() ? int(wait.int64(0)) : 0;
    wait = {};
    sqlite3_busy_timeout(handle, 0);
    sqlite3_wal_checkpoint_v2(handle, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(handle, waitMs);
}

QVariant ModelContext::rowOf(const ClipboardItemPtr &target, const NewRows &newRows)
{
    if (!target || target->m_deleted)
        return {};
    if (target->m_identifier.value > 0)
        return target->m_identifier.value;
    const auto found = newRows.constFind(target.get());
    return found == newRows.cend() ? QVariant() : QVariant(*found);
}

bool ModelContext::writeInsertedItems(NewRows &newRows, QString *error)
{
    for (const ClipboardItemPtr &item : std::as_const(m_inserted)) {
        if (!writeInsert(*item, error))
            return false;
        newRows.insert(item.get(), m_connection.lastInsertRowId());
        if (!writeExternal(newRows.value(item.get()), *item, false, error))
            return false;
    }
    // References among new items can only be written once all of them have rows.
    for (const ClipboardItemPtr &item : std::as_const(m_inserted)) {
        if (item->m_pinnedReference
            && !writeReference(newRows.value(item.get()), rowOf(item->m_pinnedReference, newRows), error))
            return false;
    }
    return true;
}

bool ModelContext::writeUpdatedItems(const NewRows &newRows, QString *error)
{
    for (const ClipboardItemPtr &item : std::as_const(m_updated)) {
        if (item->m_deleted)
            continue;
        if (!writeUpdate(*item, error))
            return false;
        if (item->m_dirty.test(std::size_t(ItemField::pinnedReference))
            && !writeReference(item->m_identifier.value, rowOf(item->pinnedReference(), newRows), error))
            return false;
        if (!writeExternal(item->m_identifier.value, *item, true, error))
            return false;
    }
    return true;
}

bool ModelContext::writeReference(qint64 row, const QVariant &referenceRow, QString *error)
{
    SqliteStatement update
        = m_connection.prepare(QStringLiteral("UPDATE ClipboardItem SET pinnedReference = ? WHERE pk = ?"));
    update.bind(1, referenceRow);
    update.bindInt64(2, row);
    update.step();
    if (!update.isDone()) {
        *error = update.errorMessage();
        return false;
    }
    return true;
}

bool ModelContext::writeDeletions(QString *error)
{
    for (const ClipboardItemPtr &item : std::as_const(m_deleted)) {
        SqliteStatement remove
            = m_connection.prepare(QStringLiteral("DELETE FROM ClipboardItem WHERE pk = ?"));
        remove.bindInt64(1, item->m_identifier.value);
        remove.step();
        if (!remove.isDone()) {
            *error = remove.errorMessage();
            return false;
        }
    }
    return true;
}

StoreChanges ModelContext::markCommitted(const NewRows &newRows)
{
    // Committed: the objects now match the store.
    StoreChanges changes;
    for (const ClipboardItemPtr &item : std::as_const(m_inserted)) {
        item->m_identifier = PersistentIdentifier { newRows.value(item.get()) };
        const QVariant reference = rowOf(item->m_pinnedReference, newRows);
        item->m_pinnedReferenceRow = reference.isNull() ? 0 : reference.toLongLong();
        item->m_dirty.reset();
        item->m_contentHashDirty = false;
        m_registered.insert(item->m_identifier.value, item);
        changes.inserted.insert(item->m_identifier);
    }
    for (const ClipboardItemPtr &item : std::as_const(m_updated)) {
        if (item->m_deleted)
            continue;
        if (const ClipboardItemPtr reference = item->m_pinnedReference)
            item->m_pinnedReferenceRow = reference->m_identifier.value;
        item->m_dirty.reset();
        item->m_contentHashDirty = false;
        changes.updated.insert(item->m_identifier);
    }
    for (const ClipboardItemPtr &item : std::as_const(m_deleted)) {
        changes.deleted.insert(item->m_identifier);
        detachDeleted(item);
    }
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    return changes;
}

bool ModelContext::writeInsert(ClipboardItem &item, QString *error)
{
    QString columns = QStringLiteral("externalFields");
    QString placeholders = QStringLiteral("?");
    for (ItemField field : StoreSchemaSql::rowFields()) {
        if (field == ItemField::pinnedReference)
            continue;
        columns += QStringLiteral(", ") + QLatin1String(fieldInfo(field).name);
        placeholders += QStringLiteral(", ?");
    }
    columns += QStringLiteral(", ") + StoreSchemaSql::contentHashName;
    placeholders += QStringLiteral(", ?");
    SqliteStatement insert = m_connection.prepare(
        QStringLiteral("INSERT INTO ClipboardItem (%1) VALUES (%2)").arg(columns, placeholders));
    if (!insert.isValid()) {
        *error = m_connection.lastError();
        return false;
    }
    int index = 1;
    insert.bindInt64(index++, qint64(item.m_externalPresent.to_ullong()));
    for (ItemField field : StoreSchemaSql::rowFields()) {
        if (field != ItemField::pinnedReference)
            insert.bind(index++, storedColumnValue(field, item.m_values.get(field)));
    }
    // Computed once, here, unless the capture brought it along (it does so for large content).
    insert.bindBlob(index++, item.contentHash());
    insert.step();
    if (!insert.isDone()) {
        *error = insert.errorMessage();
        return false;
    }
    return true;
}

bool ModelContext::writeUpdate(ClipboardItem &item, QString *error)
{
    QString assignments = QStringLiteral("externalFields = ?");
    QList<ItemField> changed;
    for (ItemField field : StoreSchemaSql::rowFields()) {
        if (field != ItemField::pinnedReference && item.m_dirty.test(std::size_t(field))) {
            assignments
                += QStringLiteral(", ") + QLatin1String(fieldInfo(field).name) + QStringLiteral(" = ?");
            changed.append(field);
        }
    }
    if (item.m_contentHashDirty)
        assignments += QStringLiteral(", ") + StoreSchemaSql::contentHashName + QStringLiteral(" = ?");
    SqliteStatement update
        = m_connection.prepare(QStringLiteral("UPDATE ClipboardItem SET %1 WHERE pk = ?").arg(assignments));
    if (!update.isValid()) {
        *error = m_connection.lastError();
        return false;
    }
    int index = 1;
    update.bindInt64(index++, qint64(item.m_externalPresent.to_ullong()));
    for (ItemField field : std::as_const(changed))
        update.bind(index++, storedColumnValue(field, item.m_values.get(field)));
    if (item.m_contentHashDirty) {
        if (item.m_contentHash)
            update.bindBlob(index++, *item.m_contentHash);
        else
            update.bind(index++, QVariant());
    }
    update.bindInt64(index, item.m_identifier.value);
    update.step();
    if (!update.isDone()) {
        *error = update.errorMessage();
        return false;
    }
    return true;
}

bool ModelContext::writeExternal(qint64 row, ClipboardItem &item, bool onlyDirty, QString *error)
{
    for (const FieldInfo &info : itemSchema()) {
        const auto index = std::size_t(info.field);
        if (!info.external || (onlyDirty && !item.m_dirty.test(index)))
            continue;
        if (!item.m_externalLoaded.test(index))
            continue;
        const QVariant &value = item.m_values.get(info.field);
        SqliteStatement statement;
        if (value.isNull()) {
            if (!onlyDirty)
                continue;
            statement = m_connection.prepare(
                QStringLiteral("DELETE FROM ClipboardItemExternal WHERE item = ? AND field = ?"));
            statement.bindInt64(1, row);
            statement.bindInt64(2, qint64(index));
        } else {
            statement = m_connection.prepare(QStringLiteral(
                "INSERT OR REPLACE INTO ClipboardItemExternal (item, field, value) VALUES (?, ?, ?)"));
            statement.bindInt64(1, row);
            statement.bindInt64(2, qint64(index));
            statement.bindBlob(
                3, info.type == FieldType::string ? value.toString().toUtf8() : value.toByteArray());
        }
        if (!statement.isValid()) {
            *error = m_connection.lastError();
            return false;
        }
        statement.step();
        if (!statement.isDone()) {
            *error = statement.errorMessage();
            return false;
        }
    }
    return true;
}

void ModelContext::rollback()
{
    rollbackTo({});
}

void ModelContext::rollbackTo(const PendingMark &mark)
{
    const QList<ClipboardItemPtr> inserted = m_inserted.mid(std::min(mark.inserted, m_inserted.size()));
    const QList<ClipboardItemPtr> deleted = m_deleted.mid(std::min(mark.deleted, m_deleted.size()));
    QList<ClipboardItemPtr> toRefresh = m_updated.mid(std::min(mark.updated, m_updated.size()));
    m_inserted.resize(std::min(mark.inserted, m_inserted.size()));
    m_deleted.resize(std::min(mark.deleted, m_deleted.size()));
    m_updated.resize(std::min(mark.updated, m_updated.size()));
    // Items taken back out keep their (temporary) identity: they are still the same items.
    for (const ClipboardItemPtr &item : inserted)
        item->m_context = nullptr;
    for (const ClipboardItemPtr &item : deleted) {
        item->m_deleted = false;
        if (!toRefresh.contains(item))
            toRefresh.append(item);
    }
    for (const ClipboardItemPtr &item : std::as_const(toRefresh)) {
        SqliteStatement row = m_connection.prepare(
            QStringLiteral("SELECT %1 FROM ClipboardItem WHERE pk = ?").arg(StoreSchemaSql::selectColumns()));
        row.bindInt64(1, item->m_identifier.value);
        if (row.step())
            refreshFromRow(*item, row, false);
        item->m_dirty.reset();
        item->m_contentHashDirty = false;
    }
    scheduleObjectsDidChange();
}

void ModelContext::releaseUnchangedObjects()
{
    for (auto it = m_registered.begin(); it != m_registered.end();) {
        const ClipboardItemPtr &item = *it;
        if (item->m_dirty.none() && !m_deleted.contains(item) && !m_updated.contains(item))
            it = m_registered.erase(it);
        else
            ++it;
    }
}

// ----- reading -----------------------------------------------------------------------

ClipboardItemPtr ModelContext::materialize(const SqliteStatement &row)
{
    const qint64 pk = row.int64(StoreSchemaSql::primaryKeyColumn);
    if (const auto found = m_registered.constFind(pk); found != m_registered.cend())
        return *found;
    ClipboardItemPtr item = ClipboardItem::createForStore();
    item->m_context = this;
    item->m_identifier = PersistentIdentifier { pk };
    // First read of the row: every value is taken as it stands (the common, hot path of
    // list fetches; refreshFromRow compares and announces instead).
    static const std::bitset<ClipboardItem::slotCount> externalFields(externalFieldMask());
    const std::bitset<ClipboardItem::slotCount> present(
        quint64(row.int64(StoreSchemaSql::externalFieldsColumn)));
    item->m_externalPresent = present & externalFields;
    item->m_externalLoaded = externalFields & ~present;
    readRowValues(*item, row);
    item->m_contentHash = readContentHash(row);
    m_registered.insert(pk, item);
    return item;
}

void ModelContext::readRowValues(ClipboardItem &item, const SqliteStatement &row)
{
    // Most optional fields are missing (and a new object's values are missing already): each
    // column is looked at once, and the item makes room for the values present alone, at once.
    constexpr int firstFieldColumn = 2;
    const QList<ItemField> &fields = StoreSchemaSql::rowFields();
    Q_ASSERT(fields.size() <= 64);
    quint64 kept = 0; // bit i: the i-th row field has a value to keep
    int held = 0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const int column = firstFieldColumn + int(i);
        if (row.isNull(column))
            continue;
        const ItemField field = fields[i];
        if (field == ItemField::pinnedReference) {
            item.m_pinnedReferenceRow = row.int64(column);
            continue;
        }
        // A required Boolean that is false is what a missing one reads as.
        if ((ItemFieldValues::requiredBooleans & (quint64(1) << int(field))) && row.int64(column) == 0)
            continue;
        kept |= quint64(1) << i;
        ++held;
    }
    item.m_values.reserve(held);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (!(kept & (quint64(1) << i)))
            continue;
        const int column = firstFieldColumn + int(i);
        const ItemField field = fields[i];
        item.m_values.append(field,
            field == ItemField::itemType ? internedItemType(row, column)
                                         : readValue(row, column, fieldInfo(field)));
    }
}

void ModelContext::refreshFromRow(ClipboardItem &item, const SqliteStatement &row, bool keepDirtyFields)
{
    const bool announce = keepDirtyFields; // refreshes of live objects are announced; first reads are not
    const std::bitset<ClipboardItem::slotCount> present(
        quint64(row.int64(StoreSchemaSql::externalFieldsColumn)));
    if (!keepDirtyFields || !item.m_contentHashDirty) {
        item.m_contentHash = readContentHash(row);
        item.m_contentHashDirty = false;
    }
    ClipboardItemPtr shared = announce ? item.shared_from_this() : nullptr;
    for (const FieldInfo &info : itemSchema()) {
        const auto index = std::size_t(info.field);
        if (keepDirtyFields && item.m_dirty.test(index))
            continue;
        if (info.external) {
            const bool wasLoaded = item.m_externalLoaded.test(index);
            // A value that came or went is announced even when it was never read here (a
            // picture written by another context while a view shows the item without it).
            const bool cameOrWent = item.m_externalPresent.test(index) != present.test(index);
            item.m_externalPresent.set(index, present.test(index));
            item.m_externalLoaded.set(index, !present.test(index));
            item.m_values.remove(info.field);
            if (announce && (wasLoaded || cameOrWent))
                Q_EMIT itemDidChangeProperty(shared, info.field);
            continue;
        }
        if (info.type == FieldType::inverseRelationship)
            continue;
        const int column = StoreSchemaSql::columnIndex(info.field);
        if (info.type == FieldType::relationship) {
            const qint64 reference = row.isNull(column) ? 0 : row.int64(column);
            if (reference != item.m_pinnedReferenceRow || (reference == 0 && item.m_pinnedReference)) {
                item.m_pinnedReferenceRow = reference;
                item.m_pinnedReference.reset();
                ++item.m_searchRevision;
                if (announce)
                    Q_EMIT itemDidChangeProperty(shared, info.field);
            }
            continue;
        }
        QVariant value = readColumn(row, column, info);
        const QVariant &current = item.m_values.get(info.field);
        if (current == value && current.isNull() == value.isNull())
            continue;
        item.m_values.set(info.field, std::move(value));
        ++item.m_searchRevision;
        if (announce)
            Q_EMIT itemDidChangeProperty(shared, info.field);
    }
}

QVariant ModelContext::loadExternalValue(PersistentIdentifier identifier, ItemField field)
{
    if (identifier.value <= 0 || !m_connection.isOpen())
        return {};
    const FieldInfo &info = fieldInfo(field);
    // A bounded value's size and type are learnt without its bytes being read (SQLite knows a
    // blob's length from its header), so that one too large is never read at all.
    SqliteStatement query = m_connection.prepare(info.maxStoredBytes > 0
            ? QStringLiteral("SELECT CASE WHEN typeof(value) = 'blob' AND length(value) <= ? THEN value END, "
                             "CASE WHEN typeof(value) = 'blob' THEN length(value) END, typeof(value) "
                             "FROM ClipboardItemExternal WHERE item = ? AND field = ?")
            : QStringLiteral("SELECT value FROM ClipboardItemExternal WHERE item = ? AND field = ?"));
    if (!query.isValid())
        return {};
    int index = 1;
    if (info.maxStoredBytes > 0)
        query.bindInt64(index++, info.maxStoredBytes);
    query.bindInt64(index++, identifier.value);
    query.bindInt64(index, qint64(field));
    if (!query.step())
        return {};
    if (query.isNull(0)) {
        if (info.maxStoredBytes > 0 && query.text(2) != QLatin1String("null"))
            reportUnreadValue(identifier, info, query.isNull(1) ? -1 : query.int64(1));
        return {};
    }
    const QByteArray bytes = query.blob(0);
    if (info.type == FieldType::string)
        return QString::fromUtf8(bytes);
    return bytes;
}

void ModelContext::reportUnreadValue(PersistentIdentifier identifier, const FieldInfo &info, qint64 size)
{
    const std::pair<qint64, int> key { identifier.value, int(info.field) };
    if (m_reportedUnreadValues.contains(key))
        return;
    m_reportedUnreadValues.insert(key);
    const QString what = size < 0
        ? QStringLiteral("is no data")
        : QStringLiteral("has %1 bytes, more than the %2 that are read").arg(size).arg(info.maxStoredBytes);
    printDiagnostic(QStringLiteral("[ModelContext] The stored %1 of item %2 %3: it was not read")
                        .arg(QLatin1String(info.name))
                        .arg(identifier.value)
                        .arg(what));
}

QList<qint64> ModelContext::itemsWithValuesTooLargeToRead(const FieldInfo &info)
{
    QList<qint64> items;
    SqliteStatement query
        = m_connection.prepare(QStringLiteral("SELECT item FROM ClipboardItemExternal WHERE field = ? "
                                              "AND (typeof(value) != 'blob' OR length(value) > ?)"));
    query.bindInt64(1, qint64(info.field));
    query.bindInt64(2, info.maxStoredBytes);
    while (query.isValid() && query.step())
        items.append(query.int64(0));
    return items;
}

int ModelContext::deleteValuesTooLargeToRead()
{
    processPendingStoreChanges();
    StoreChanges changes;
    if (!m_connection.isOpen() || !m_connection.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return -1;
    int deleted = 0;
    for (const FieldInfo &info : itemSchema()) {
        if (info.maxStoredBytes <= 0)
            continue;
        for (const qint64 row : itemsWithValuesTooLargeToRead(info)) {
            const bool done = m_connection.exec(
                QStringLiteral("DELETE FROM ClipboardItemExternal WHERE item = %1 AND field = %2; "
                               "UPDATE ClipboardItem SET externalFields = externalFields & ~%3 WHERE pk = %1")
                    .arg(row)
                    .arg(int(info.field))
                    .arg(qint64(1) << int(info.field)));
            if (!done) {
                rollBackAndGiveLogSpaceBack();
                return -1;
            }
            ++deleted;
            changes.updated.insert(PersistentIdentifier { row });
            if (const ClipboardItemPtr item = m_registered.value(row);
                item && !item->m_dirty.test(std::size_t(info.field))) {
                item->m_externalPresent.reset(std::size_t(info.field));
                item->m_externalLoaded.set(std::size_t(info.field));
                item->m_values.remove(info.field);
            }
        }
    }
    if (!m_connection.exec(QStringLiteral("COMMIT"))) {
        rollBackAndGiveLogSpaceBack();
        return -1;
    }
    if (!changes.isEmpty())
        m_container->broadcast(changes, this);
    return deleted;
}

QString ModelContext::fetchSql(const QString &columns, const FetchDescriptor &descriptor, bool limited,
    QVariantList *bindings, const QString &index) const
{
    QString sql = QStringLiteral("SELECT %1 FROM ClipboardItem").arg(columns);
    if (!index.isEmpty())
        sql += QStringLiteral(" INDEXED BY ") + index;
    if (!descriptor.predicate.matchesEverything()) {
        sql += QStringLiteral(" WHERE ");
        descriptor.predicate.appendSql(sql, *bindings);
    }
    const bool firstAscending = descriptor.sortBy.isEmpty() || descriptor.sortBy.first().ascending;
    sql += QStringLiteral(" ORDER BY ");
    for (const SortDescriptor &sort : descriptor.sortBy)
        sql += QLatin1String(fieldInfo(sort.field).name)
            + (sort.ascending ? QStringLiteral(" ASC, ") : QStringLiteral(" DESC, "));
    sql += firstAscending ? QStringLiteral("pk ASC") : QStringLiteral("pk DESC");
    if (descriptor.fetchLimit && limited)
        sql += QStringLiteral(" LIMIT %1").arg(std::max(0, *descriptor.fetchLimit));
    return sql;
}

SqliteStatement ModelContext::prepareFetch(
    const QString &columns, const FetchDescriptor &descriptor, bool limited, const QString &index)
{
    QVariantList bindings;
    SqliteStatement query = m_connection.prepare(fetchSql(columns, descriptor, limited, &bindings, index));
    if (query.isValid()) {
        for (qsizetype i = 0; i < bindings.size(); ++i)
            query.bind(int(i + 1), bindings[i]);
    }
    return query;
}

ModelContext::ContentHashesResult ModelContext::fetchContentHashes(const FetchDescriptor &descriptor)
{
    processPendingStoreChanges();
    ContentHashesResult result;
    if (hasChanges()) {
        // Unsaved changes are known only to the objects.
        const FetchResult fetched = fetch(descriptor);
        if (!fetched.ok)
            return { {}, false, fetched.error };
        for (const ClipboardItemPtr &item : fetched.items)
            result.entries.append({ item->persistentModelID(), item->storedContentHash() });
        return result;
    }
    if (!m_connection.isOpen())
        return { {}, false, m_connection.lastError() };
    // The digests come from their index alone; the rows, with their long texts, are not read.
    SqliteStatement query = prepareFetch(QStringLiteral("pk, ") + StoreSchemaSql::contentHashName, descriptor,
        true, StoreSchemaSql::contentHashIndexName);
    if (!query.isValid())
        return { {}, false, m_connection.lastError() };
    while (query.step())
        result.entries.append({ PersistentIdentifier { query.int64(0) },
            query.isNull(1) ? std::nullopt : std::optional<QByteArray>(query.blob(1)) });
    if (!query.isDone())
        return { {}, false, query.errorMessage() };
    return result;
}

ModelContext::IdentifiersResult ModelContext::fetchIdentifiers(const FetchDescriptor &descriptor)
{
    processPendingStoreChanges();
    IdentifiersResult result;
    if (hasChanges()) {
        const FetchResult fetched = fetch(descriptor);
        if (!fetched.ok)
            return { {}, false, fetched.error };
        for (const ClipboardItemPtr &item : fetched.items)
            result.identifiers.append(item->persistentModelID());
        return result;
    }
    if (!m_connection.isOpen())
        return { {}, false, m_connection.lastError() };
    SqliteStatement query = prepareFetch(QStringLiteral("pk"), descriptor, true);
    if (!query.isValid())
        return { {}, false, m_connection.lastError() };
    while (query.step())
        result.identifiers.append(PersistentIdentifier { query.int64(0) });
    if (!query.isDone())
        return { {}, false, query.errorMessage() };
    return result;
}

ModelContext::FetchResult ModelContext::fetch(const FetchDescriptor &descriptor)
{
    processPendingStoreChanges();
    FetchResult result;
    if (!m_connection.isOpen())
        return { {}, false, m_connection.lastError() };

    const bool pending = hasChanges();
    const bool firstAscending = descriptor.sortBy.isEmpty() || descriptor.sortBy.first().ascending;

    SqliteStatement query = prepareFetch(StoreSchemaSql::selectColumns(), descriptor, !pending);
    if (!query.isValid())
        return { {}, false, m_connection.lastError() };
    while (query.step())
        result.items.append(materialize(query));
    if (!query.isDone())
        return { {}, false, query.errorMessage() };
    if (!pending)
        return result;

    // Unsaved changes: the answer is what the store will hold once they are saved.
    QList<ClipboardItemPtr> merged;
    merged.reserve(result.items.size() + m_inserted.size());
    for (const ClipboardItemPtr &item : std::as_const(result.items)) {
        if (item->m_deleted)
            continue;
        if (m_updated.contains(item) && !descriptor.predicate.matches(*item))
            continue;
        merged.append(item);
    }
    for (const ClipboardItemPtr &item : std::as_const(m_updated)) {
        if (!item->m_deleted && !merged.contains(item) && descriptor.predicate.matches(*item))
            merged.append(item);
    }
    for (const ClipboardItemPtr &item : std::as_const(m_inserted)) {
        if (descriptor.predicate.matches(*item))
            merged.append(item);
    }
    std::stable_sort(merged.begin(), merged.end(), [&](const ClipboardItemPtr &a, const ClipboardItemPtr &b) {
        for (const SortDescriptor &sort : descriptor.sortBy) {
            const int order = compareFieldValues(sort.field, a->value(sort.field), b->value(sort.field));
            if (order != 0)
                return sort.ascending ? order < 0 : order > 0;
        }
        return firstAscending ? insertionOrder(*a) < insertionOrder(*b)
                              : insertionOrder(*a) > insertionOrder(*b);
    });
    if (descriptor.fetchLimit && merged.size() > *descriptor.fetchLimit)
        merged.resize(std::max(0, *descriptor.fetchLimit));
    result.items = std::move(merged);
    return result;
}

int ModelContext::fetchCount(const FetchDescriptor &descriptor)
{
    processPendingStoreChanges();
    if (hasChanges() || descriptor.fetchLimit)
        return int(fetch(descriptor).items.size());
    QString sql = QStringLiteral("SELECT COUNT(*) FROM ClipboardItem");
    QVariantList bindings;
    if (!descriptor.predicate.matchesEverything()) {
        sql += QStringLiteral(" WHERE ");
        descriptor.predicate.appendSql(sql, bindings);
    }
    SqliteStatement query = m_connection.prepare(sql);
    if (!query.isValid())
        return 0;
    for (qsizetype i = 0; i < bindings.size(); ++i)
        query.bind(int(i + 1), bindings[i]);
    return query.step() ? int(query.int64(0)) : 0;
}

ClipboardItemPtr ModelContext::model(PersistentIdentifier identifier)
{
    processPendingStoreChanges();
    if (identifier.isTemporary()) {
        for (const ClipboardItemPtr &item : std::as_const(m_inserted)) {
            if (item->m_identifier == identifier)
                return item;
        }
        return nullptr;
    }
    if (const auto found = m_registered.constFind(identifier.value); found != m_registered.cend())
        return (*found)->m_deleted ? nullptr : *found;
    if (!identifier.isValid() || !m_connection.isOpen())
        return nullptr;
    SqliteStatement query = m_connection.prepare(
        QStringLiteral("SELECT %1 FROM ClipboardItem WHERE pk = ?").arg(StoreSchemaSql::selectColumns()));
    if (!query.isValid())
        return nullptr;
    query.bindInt64(1, identifier.value);
    return query.step() ? materialize(query) : nullptr;
}

QList<ClipboardItemPtr> ModelContext::referencingItems(const ClipboardItem &target)
{
    QList<ClipboardItemPtr> referencing;
    if (target.m_identifier.value > 0 && m_connection.isOpen()) {
        SqliteStatement query = m_connection.prepare(
            QStringLiteral("SELECT %1 FROM ClipboardItem WHERE pinnedReference = ? ORDER BY pk")
                .arg(StoreSchemaSql::selectColumns()));
        query.bindInt64(1, target.m_identifier.value);
        while (query.step()) {
            ClipboardItemPtr item = materialize(query);
            // An unsaved change in memory may already point elsewhere.
            if (!item->m_deleted && item->pinnedReference().get() == &target)
                referencing.append(item);
        }
    }
    auto addInMemory = [&](const ClipboardItemPtr &item) {
        if (!item->m_deleted && item->m_pinnedReference.get() == &target && !referencing.contains(item))
            referencing.append(item);
    };
    for (const ClipboardItemPtr &item : std::as_const(m_updated))
        addInMemory(item);
    for (const ClipboardItemPtr &item : std::as_const(m_inserted))
        addInMemory(item);
    return referencing;
}

// ----- changes saved by other contexts -----------------------------------------------

void ModelContext::enqueueStoreChanges(const StoreChanges &changes)
{
    // A context of a thread with an event loop takes the changes in as soon as it can;
    // the others do so before their next fetch or save. One event at a time: a pool thread
    // (the store actor's) has an event dispatcher but never runs it, and an event per save
    // would pile up there for good, each one pinning a page of the heap it came from.
    bool post = false;
    {
        QMutexLocker lock(&m_incomingMutex);
        m_incoming.append(changes);
        post = !m_incomingPosted && thread()->eventDispatcher();
        m_incomingPosted = m_incomingPosted || post;
    }
    if (post)
        QMetaObject::invokeMethod(this, &ModelContext::takeInPostedStoreChanges, Qt::QueuedConnection);
}

void ModelContext::takeInPostedStoreChanges()
{
    {
        QMutexLocker lock(&m_incomingMutex);
        m_incomingPosted = false;
    }
    processPendingStoreChanges();
}

qsizetype ModelContext::pendingStoreChangeCount() const
{
    const QMutexLocker lock(&m_incomingMutex);
    return m_incoming.size();
}

void ModelContext::processPendingStoreChanges()
{
    QList<StoreChanges> incoming;
    {
        QMutexLocker lock(&m_incomingMutex);
        incoming.swap(m_incoming);
    }
    if (incoming.isEmpty())
        return;
    bool changed = false;
    int deleted = 0;
    QList<ClipboardItemPtr> deletedObjects;
    for (const StoreChanges &changes : std::as_const(incoming)) {
        deleted += int(changes.deleted.size());
        for (PersistentIdentifier identifier : changes.deleted) {
            const ClipboardItemPtr item = m_registered.value(identifier.value);
            if (!item) {
                // Unloaded references to the row were cleared by the store itself.
                for (const ClipboardItemPtr &other : std::as_const(m_registered)) {
                    if (other->m_pinnedReferenceRow == identifier.value && !other->m_pinnedReference)
                        other->m_pinnedReferenceRow = 0;
                }
                changed = true;
                continue;
            }
            m_deleted.removeOne(item);
            m_inserted.removeOne(item);
            detachDeleted(item);
            clearReferencesTo(item.get(), false);
            deletedObjects.append(item);
            changed = true;
        }
        for (PersistentIdentifier identifier : changes.updated) {
            const ClipboardItemPtr item = m_registered.value(identifier.value);
            if (!item)
                continue;
            SqliteStatement row
                = m_connection.prepare(QStringLiteral("SELECT %1 FROM ClipboardItem WHERE pk = ?")
                                           .arg(StoreSchemaSql::selectColumns()));
            row.bindInt64(1, identifier.value);
            if (row.step())
                refreshFromRow(*item, row, true);
            changed = true;
        }
        if (!changes.inserted.isEmpty())
            changed = true;
    }
    if (changed)
        scheduleObjectsDidChange();
    if (deleted > 0)
        Q_EMIT itemsDeleted(deleted);
    if (!deletedObjects.isEmpty())
        Q_EMIT objectsDeleted(deletedObjects);
}

void ModelContext::releaseCachedPages()
{
    // A context whose thread runs no event loop (the store actor's) keeps what the other
    // connections saved until its own next fetch or save: after a Clear, the identifiers of the
    // whole history, for as long as the app stays idle.
    processPendingStoreChanges();
    if (m_connection.isOpen())
        sqlite3_db_release_memory(m_connection.handle());
}
