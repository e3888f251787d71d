#include "model/SqliteConnection.h"

#include <sqlite3.h>

#include <utility>

SqliteStatement::~SqliteStatement()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_statement(std::exchange(other.m_statement, nullptr))
    , m_lastResult(other.m_lastResult)
{ }

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        if (m_statement)
            sqlite3_finalize(m_statement);
        m_db = std::exchange(other.m_db, nullptr);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_lastResult = other.m_lastResult;
    }
    return *this;
}

void SqliteStatement::bind(int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(m_statement, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(m_statement, index, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(m_statement, index, value.toDouble());
        return;
    case QMetaType::QByteArray:
        bindBlob(index, value.toByteArray());
        return;
    default:
        bindText(index, value.toString());
        return;
    }
}

void SqliteStatement::bindInt64(int index, qint64 value)
{
    sqlite3_bind_int64(m_statement, index, value);
}

void SqliteStatement::bindText(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindBlob(int index, const QByteArray &value)
{
    // A zero-length blob must stay a blob, not NULL: "empty data" and "no data" differ.
    sqlite3_bind_blob(
        m_statement, index, value.isEmpty() ? "" : value.constData(), int(value.size()), SQLITE_TRANSIENT);
}

bool SqliteStatement::step()
{
    m_lastResult = sqlite3_step(m_statement);
    return m_lastResult == SQLITE_ROW;
}

bool SqliteStatement::isDone() const
{
    return m_lastResult == SQLITE_DONE;
}

QString SqliteStatement::errorMessage() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(m_lastResult));
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 SqliteStatement::int64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double SqliteStatement::real(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

QString SqliteStatement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QString::fromUtf8(data, size) : QString();
}

QByteArrayView SqliteStatement::textBytes(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return data ? QByteArrayView(data, sqlite3_column_bytes(m_statement, column)) : QByteArrayView();
}

QByteArray SqliteStatement::blob(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return size > 0 ? QByteArray(data, size) : QByteArray("");
}

SqliteConnection::~SqliteConnection()
{
    close();
}

SqliteConnection::SqliteConnection(SqliteConnection &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_lastResult(other.m_lastResult)
    , m_lastError(std::move(other.m_lastError))
{ }

SqliteConnection &SqliteConnection::operator=(SqliteConnection &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_lastResult = other.m_lastResult;
        m_lastError = std::move(other.m_lastError);
    }
    return *this;
}

bool SqliteConnection::open(const QString &path, int flags)
{
    close();
    sqlite3 *db = nullptr;
    const int result = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (result != SQLITE_OK) {
        m_lastResult = result;
        m_lastError = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(result));
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    m_lastResult = SQLITE_OK;
    m_lastError.clear();
    return true;
}

void SqliteConnection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqliteConnection::exec(const QString &sql)
{
    char *message = nullptr;
    const int result = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    m_lastResult = result;
    m_lastError = message ? QString::fromUtf8(message) : QString();
    sqlite3_free(message);
    if (result != SQLITE_OK && m_lastError.isEmpty())
        m_lastError = QString::fromUtf8(sqlite3_errstr(result));
    return result == SQLITE_OK;
}

SqliteStatement SqliteConnection::prepare(const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int result = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &statement, nullptr);
    if (result != SQLITE_OK) {
        recordError(result);
        sqlite3_finalize(statement);
        return {};
    }
    m_lastResult = SQLITE_OK;
    return SqliteStatement(m_db, statement);
}

qint64 SqliteConnection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

void SqliteConnection::recordError(int result)
{
    m_lastResult = result;
    m_lastError = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(result));
}
