#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// A thin RAII layer over SQLite's C interface: one connection, prepared statements that
// finalise themselves, and errors reported as values (never thrown).
class SqliteStatement final
{
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3 *db, sqlite3_stmt *statement)
        : m_db(db)
        , m_statement(statement)
    { }
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool isValid() const { return m_statement != nullptr; }

    // Binds a value to the 1-based parameter index. A null QVariant binds NULL; bool,
    // integers and doubles bind as numbers; QByteArray as a blob; anything else as text.
    void bind(int index, const QVariant &value);
    void bindInt64(int index, qint64 value);
    void bindText(int index, const QString &value);
    void bindBlob(int index, const QByteArray &value);

    // One step: true when a row is available. Check resultCode() after false.
    bool step();
    int resultCode() const { return m_lastResult; }
    bool isDone() const;
    QString errorMessage() const;
    void reset();

    bool isNull(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    // The column's UTF-8 bytes without a copy, valid until the next step.
    QByteArrayView textBytes(int column) const;
    QByteArray blob(int column) const;

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    int m_lastResult = 0;
};

class SqliteConnection final
{
public:
    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(SqliteConnection &&other) noexcept;
    SqliteConnection &operator=(SqliteConnection &&other) noexcept;
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    // Opens path with the given sqlite3_open_v2 flags. On failure the connection stays
    // closed and lastError() says why.
    bool open(const QString &path, int flags);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *handle() const { return m_db; }

    // Runs one or more statements without results. False on failure (see lastError()).
    bool exec(const QString &sql);
    SqliteStatement prepare(const QString &sql);

    int lastResultCode() const { return m_lastResult; }
    QString lastError() const { return m_lastError; }
    qint64 lastInsertRowId() const;

private:
    void recordError(int result);

    sqlite3 *m_db = nullptr;
    int m_lastResult = 0;
    QString m_lastError;
};
