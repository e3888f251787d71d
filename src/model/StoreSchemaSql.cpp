#include "model/StoreSchemaSql.h"

#include "model/SqliteConnection.h"

#include <QSet>
#include <QStringList>

#include <array>

namespace StoreSchemaSql {

const QList<ItemField> &rowFields()
{
    static const QList<ItemField> fields = [] {
        QList<ItemField> list;
        for (const FieldInfo &info : itemSchema()) {
            if (!info.external && info.type != FieldType::inverseRelationship)
                list.append(info.field);
        }
        return list;
    }();
    return fields;
}

const QString &selectColumns()
{
    static const QString columns = [] {
        QString sql = QStringLiteral("pk, externalFields");
        for (ItemField field : rowFields())
            sql += QStringLiteral(", ") + QLatin1String(fieldInfo(field).name);
        return QString(sql + QStringLiteral(", ") + contentHashName);
    }();
    return columns;
}

int contentHashColumn()
{
    return 2 + int(rowFields().size());
}

int columnIndex(ItemField field)
{
    static const std::array<int, itemFieldCount> columns = [] {
        std::array<int, itemFieldCount> table {};
        table.fill(-1);
        for (qsizetype i = 0; i < rowFields().size(); ++i)
            table[std::size_t(rowFields()[i])] = 2 + int(i);
        return table;
    }();
    return columns[std::size_t(field)];
}

namespace {

// The column's SQL type and constraints.
QString columnDefinition(const FieldInfo &info)
{
    QString definition = QLatin1String(info.name);
    switch (info.type) {
    case FieldType::uuid:
    case FieldType::string:
        definition += QStringLiteral(" TEXT");
        break;
    case FieldType::date:
    case FieldType::integer:
    case FieldType::boolean:
        definition += QStringLiteral(" INTEGER");
        break;
    case FieldType::relationship:
        definition += QStringLiteral(" INTEGER REFERENCES ClipboardItem(pk) ON DELETE SET NULL");
        break;
    default:
        break;
    }
    if (!info.optional)
        definition += info.type == FieldType::boolean ? QStringLiteral(" NOT NULL DEFAULT 0")
                                                      : QStringLiteral(" NOT NULL");
    return definition;
}

} // namespace

QString createTables()
{
    QString item
        = QStringLiteral("CREATE TABLE IF NOT EXISTS ClipboardItem (pk INTEGER PRIMARY KEY AUTOINCREMENT, "
                         "externalFields INTEGER NOT NULL DEFAULT 0");
    for (ItemField field : rowFields())
        item += QStringLiteral(", ") + columnDefinition(fieldInfo(field));
    item += QStringLiteral(", ") + contentHashName + QStringLiteral(" BLOB);");
    return QStringLiteral(
               "CREATE TABLE IF NOT EXISTS StoreMetadata (key TEXT PRIMARY KEY, value TEXT NOT NULL);")
        + item
        + QStringLiteral(
            "CREATE INDEX IF NOT EXISTS ClipboardItem_timestamp ON ClipboardItem(timestamp);"
            "CREATE INDEX IF NOT EXISTS ClipboardItem_pinnedReference ON ClipboardItem(pinnedReference);"
            "CREATE INDEX IF NOT EXISTS ClipboardItem_id ON ClipboardItem(id);"
            "CREATE TABLE IF NOT EXISTS ClipboardItemExternal ("
            "item INTEGER NOT NULL REFERENCES ClipboardItem(pk) ON DELETE CASCADE, "
            "field INTEGER NOT NULL, value BLOB, PRIMARY KEY (item, field));");
}

bool addMissingColumns(SqliteConnection &connection)
{
    SqliteStatement columns = connection.prepare(QStringLiteral("PRAGMA table_info(ClipboardItem)"));
    if (!columns.isValid())
        return false;
    QSet<QString> present;
    while (columns.step())
        present.insert(columns.text(1));
    columns = {};
    // Stores written before the digest existed: their rows get it when it is first needed.
    QStringList missing;
    if (!present.contains(contentHashName))
        missing.append(contentHashName + QStringLiteral(" BLOB"));
    // Optional properties added later (the count of a long file list) are missing in the
    // rows of older stores, as they are in rows that never had them.
    for (ItemField field : rowFields()) {
        const FieldInfo &info = fieldInfo(field);
        if (info.optional && !present.contains(QLatin1String(info.name)))
            missing.append(columnDefinition(info));
    }
    for (const QString &definition : std::as_const(missing)) {
        if (!connection.exec(QStringLiteral("ALTER TABLE ClipboardItem ADD COLUMN ") + definition))
            return false;
    }
    // The duplicate lookup reads the newest digests of a kind from this index alone: the
    // digest is the row's last column, behind a text that may span many pages. The pruning
    // after every copy reads the unpinned items newest first from the second: without it,
    // SQLite reads every row, texts and all, to learn whether the item is pinned.
    return connection.exec(
        QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON ClipboardItem(timestamp, pk, itemType, %2);"
                       "CREATE INDEX IF NOT EXISTS %3 ON ClipboardItem(isPinned, timestamp);")
            .arg(contentHashIndexName, contentHashName, unpinnedIndexName));
}

bool configure(SqliteConnection &connection, int busyTimeoutMs)
{
    // The lock wait first: the other statements already read the store, which another
    // connection may hold locked for a moment. The write-ahead log keeps no more than
    // logSizeLimitBytes of a large write once it starts over.
    return connection.exec(QStringLiteral("PRAGMA busy_timeout=%1; PRAGMA foreign_keys=ON; "
                                          "PRAGMA synchronous=FULL; PRAGMA journal_size_limit=%2; "
                                          "PRAGMA cache_size=-%3;")
                               .arg(busyTimeoutMs)
                               .arg(logSizeLimitBytes)
                               .arg(pageCacheBytes / 1024));
}

} // namespace StoreSchemaSql
