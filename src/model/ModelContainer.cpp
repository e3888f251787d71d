#include "model/ModelContainer.h"

#include "common/Diagnostics.h"
#include "model/ItemSchema.h"
#include "model/ModelContext.h"
#include "model/StoreSchemaSql.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <sqlite3.h>

#include <mutex>

namespace {

bool ensureSchema(SqliteConnection &connection, QString *error)
{
    if (!connection.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = connection.lastError();
        return false;
    }
    auto fail = [&] {
        *error = connection.lastError();
        connection.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!connection.exec(StoreSchemaSql::createTables()))
        return fail();
    SqliteStatement version
        = connection.prepare(QStringLiteral("SELECT value FROM StoreMetadata WHERE key = 'schemaVersion'"));
    if (!version.isValid())
        return fail();
    if (version.step()) {
        const QString stored = version.text(0);
        version = {};
        if (stored != itemSchemaVersion) {
            connection.exec(QStringLiteral("ROLLBACK"));
            *error = QStringLiteral(
                "the store was written with schema version %1, and this version of Tindlewick reads %2")
                         .arg(stored, itemSchemaVersion);
            return false;
        }
    } else {
        version = {};
        SqliteStatement insert = connection.prepare(
            QStringLiteral("INSERT INTO StoreMetadata(key, value) VALUES('schemaVersion', ?)"));
        if (!insert.isValid())
            return fail();
        insert.bindText(1, itemSchemaVersion);
        insert.step();
        if (!insert.isDone())
            return fail();
    }
    if (!connection.exec(QStringLiteral("COMMIT")))
        return fail();
    return true;
}

std::unique_ptr<ModelContainer> g_shared;
std::once_flag g_sharedOnce;

} // namespace

ModelContainer::ModelContainer(QString path)
    : m_path(std::move(path))
{ }

ModelContainer::~ModelContainer()
{
    m_mainContext.reset();
}

std::unique_ptr<ModelContainer> ModelContainer::open(const QString &path, QString *error)
{
    QString ignored;
    QString &reason = error ? *error : ignored;
    QDir().mkpath(QFileInfo(path).absolutePath());

    SqliteConnection connection;
    if (!connection.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX)) {
        reason = connection.lastError();
        return nullptr;
    }
    if (!StoreSchemaSql::configure(connection, 5000)) {
        reason = connection.lastError();
        return nullptr;
    }
    // Write-ahead logging: readers never wait for the writer, and a crash loses nothing committed.
    SqliteStatement journal = connection.prepare(QStringLiteral("PRAGMA journal_mode=WAL"));
    if (!journal.isValid() || !journal.step()
        || journal.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        reason = journal.isValid()
            ? QStringLiteral("the store cannot use write-ahead logging (%1)").arg(connection.lastError())
            : connection.lastError();
        return nullptr;
    }
    journal = {};
    if (!ensureSchema(connection, &reason))
        return nullptr;
    return std::unique_ptr<ModelContainer>(new ModelContainer(path));
}

ModelContext *ModelContainer::mainContext()
{
    if (!m_mainContext) {
        m_mainContext = makeContext();
        if (QCoreApplication *app = QCoreApplication::instance())
            m_mainContext->moveToThread(app->thread());
    }
    return m_mainContext.get();
}

std::unique_ptr<ModelContext> ModelContainer::makeContext()
{
    SqliteConnection connection;
    if (connection.open(m_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX)) {
        StoreSchemaSql::configure(connection, m_busyTimeoutMs);
        if (!m_connectionSetupSql.isEmpty())
            connection.exec(m_connectionSetupSql);
    } else
        printDiagnostic(
            QStringLiteral("[ModelContainer] Could not open the store: ") + connection.lastError());
    return std::unique_ptr<ModelContext>(new ModelContext(this, std::move(connection)));
}

void ModelContainer::registerContext(ModelContext *context)
{
    QMutexLocker lock(&m_contextsMutex);
    m_contexts.append(context);
}

void ModelContainer::unregisterContext(ModelContext *context)
{
    QMutexLocker lock(&m_contextsMutex);
    m_contexts.removeAll(context);
}

void ModelContainer::broadcast(const StoreChanges &changes, ModelContext *origin)
{
    {
        QMutexLocker lock(&m_contextsMutex);
        for (ModelContext *context : std::as_const(m_contexts)) {
            if (context != origin)
                context->enqueueStoreChanges(changes);
        }
    }
    if (QThread::currentThread() == thread())
        Q_EMIT didSave(changes);
    else
        QMetaObject::invokeMethod(
            this, [this, changes] { Q_EMIT didSave(changes); }, Qt::QueuedConnection);
}

QString defaultStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tindlewick/default.store");
}

ModelContainer &sharedModelContainer()
{
    std::call_once(g_sharedOnce, [] {
        QString error;
        g_shared = ModelContainer::open(defaultStorePath(), &error);
        if (!g_shared)
            fatalError(QStringLiteral("Could not create ModelContainer: ") + error);
    });
    return *g_shared;
}
