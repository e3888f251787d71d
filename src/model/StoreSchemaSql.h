#pragma once

#include "model/ItemSchema.h"

#include <QList>
#include <QString>

class SqliteConnection;

// How the item schema is laid out in SQLite. Each item is one row of "ClipboardItem";
// its external values (large data) are rows of "ClipboardItemExternal", one per field,
// so a list fetch never touches them and loading one never reads another.
namespace StoreSchemaSql {

QString createTables();
// Columns (and their index) that later versions added to stores of the same schema version:
// added to a store that lacks them, so an older store opens without loss. False when that
// fails.
bool addMissingColumns(SqliteConnection &connection);
// Per-connection settings: foreign keys (the nullify and cascade rules), a lock wait,
// durable commits, a log that does not keep the size of the largest write, a bounded cache
// of store pages.
bool configure(SqliteConnection &connection, int busyTimeoutMs);
// The store pages a connection keeps in memory between statements (SQLite's own default is
// 2 MB). What it reads again and again is small: the trees' upper pages and the newest
// entries of the indexes. Every other page is read once per pass (the panel's list, a
// copy's save), and a larger cache only holds the last pass's rows, in the heap of whichever
// thread read them, among the items' own memory.
inline constexpr qint64 pageCacheBytes = 256 * 1024;
// What the write-ahead log keeps of its file once it starts over: more than the store's
// regular checkpoints let it grow to (ModelContainer::logCheckpointPages).
inline constexpr qint64 logSizeLimitBytes = 8 * 1024 * 1024;

// The fields kept in the item's row, in schema order.
const QList<ItemField> &rowFields();
// "pk, externalFields, <row fields...>, contentHash": the columns every item fetch selects.
const QString &selectColumns();
// Index of a row field's column in selectColumns().
int columnIndex(ItemField field);
inline constexpr int primaryKeyColumn = 0;
inline constexpr int externalFieldsColumn = 1;
// The item's content digest (see ClipboardItem::contentHash), last in selectColumns().
int contentHashColumn();
inline const QString contentHashName = QStringLiteral("contentHash");
// The index by time and kind that holds the digests, so that they are read without the rows.
inline const QString contentHashIndexName = QStringLiteral("ClipboardItem_contentHash");
// The index of the unpinned items by time, so that they are found without reading the rows.
inline const QString unpinnedIndexName = QStringLiteral("ClipboardItem_unpinnedByTime");

} // namespace StoreSchemaSql
