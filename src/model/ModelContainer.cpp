#include "model/ModelContainer.h"

#include "common/Clock.h"
#include "common/Diagnostics.h"
#include "common/ThenWhileAlive.h"
#include "model/ItemSchema.h"
#include "model/ModelContext.h"
#include "model/StoreFailure.h"
#include "model/StoreSchemaSql.h"
#include "platform/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

const QString damagedAdvice = QStringLiteral(
    "Tindlewick has left the file as it is. Move it away (or restore it from a backup) and start "
    "Tindlewick again to begin a new history.");

// A store whose pages are damaged shows an empty history and saves nothing: it is refused
// at start instead, before anything is written to it.
bool checkIntegrity(SqliteConnection &connection, QString *error, QString *advice)
{
    SqliteStatement check = connection.prepare(QStringLiteral("PRAGMA quick_check"));
    if (!check.isValid()) {
        *error = connection.lastError();
        *advice = damagedAdvice;
        return false;
    }
    if (!check.step()) {
        *error = check.errorMessage();
        *advice = damagedAdvice;
        return false;
    }
    const QString verdict = check.text(0);
    if (verdict == u"ok")
        return true;
    // SQLite's report spans lines and may be long: its first finding is the reason.
    QString finding;
    for (const QString &line : verdict.split(u'\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1String("***"))) {
            finding = line.trimmed().left(120);
            break;
        }
    }
    *error = QStringLiteral("the store is damaged (%1)")
                 .arg(finding.isEmpty() ? verdict.simplified().left(120) : finding);
    *advice = damagedAdvice;
    return false;
}

bool ensureSchema(SqliteConnection &connection, QString *error, int *code)
{
    if (!connection.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = connection.lastError();
        *code = sqlite3_errcode(connection.handle());
        return false;
    }
    auto fail = [&] {
        *error = connection.lastError();
        *code = sqlite3_errcode(connection.handle());
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
            *code = SQLITE_ERROR;
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
    if (!StoreSchemaSql::addMissingColumns(connection) || !connection.exec(QStringLiteral("COMMIT")))
        return fail();
    return true;
}

// Write-ahead logging (readers never wait for the writer, and a crash loses nothing
// committed) and the schema.
bool prepareStore(SqliteConnection &connection, QString *reason, int *code)
{
    SqliteStatement journal = connection.prepare(QStringLiteral("PRAGMA journal_mode=WAL"));
    if (!journal.isValid() || !journal.step()
        || journal.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        *code = sqlite3_errcode(connection.handle());
        *reason = journal.isValid()
            ? QStringLiteral("the store cannot use write-ahead logging (%1)").arg(journal.errorMessage())
            : connection.lastError();
        return false;
    }
    journal = {};
    return ensureSchema(connection, reason, code);
}

// Copies started at the same moment open the store together: the switch to write-ahead logging
// and the schema check can then meet a lock SQLite does not wait for, and are tried again for a
// while.
bool prepareWhileOthersDo(SqliteConnection &connection, QString *reason, QString *advice)
{
    QElapsedTimer waited;
    waited.start();
    int code = SQLITE_OK;
    while (!prepareStore(connection, reason, &code)) {
        if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || waited.elapsed() > 5000) {
            if (reason->contains(QLatin1String("schema version")))
                *advice = QStringLiteral("Use the version of Tindlewick that wrote it, or move the file away "
                                         "to begin a new history.");
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

// The store file and SQLite's files beside it, wherever the store's path leads: each is made the
// user's alone, and one that cannot be (another user's file) is named in the log.
void restrictStoreFiles(const QString &file)
{
    for (const char *suffix : { "", "-wal", "-shm", "-journal" }) {
        const QString path = file + QLatin1String(suffix);
        if (!PrivateFiles::restrictFile(path))
            printDiagnostic(QStringLiteral("[ModelContainer] %1 could not be made readable by you alone: %2")
                                .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

// What stands in the store's place must be a file (or nothing yet) before SQLite opens it: SQLite
// opens a folder only to fail with advice that does not fit, and beside a device it makes a
// journal of its own (in /dev for a link to /dev/zero). Whatever stands there is left as it is.
bool isUsableStoreFile(const QString &path, const QString &file, QString *reason, QString *advice)
{
    if (file.isEmpty()) {
        *reason = QStringLiteral("the store is a symbolic link that leads round in a circle");
        *advice = QStringLiteral("Remove the link, or make it lead to a file, and start Tindlewick again.");
        return false;
    }
    const QString kind = PrivateFiles::nonFileKind(file);
    if (kind.isEmpty())
        return true;
    *reason = file == path ? QStringLiteral("the store is %1, not a file").arg(kind)
                           : QStringLiteral("the store leads to %1, which is %2, not a file").arg(file, kind);
    *advice = QStringLiteral("Tindlewick has left it as it is. Move it away (or make the link lead to a "
                             "file) and start Tindlewick again to begin a new history.");
    return false;
}

// SQLite makes the log and its index beside a store in WAL mode as soon as it reads it. The ones a
// refused store did not have before are taken away again: nobody else had the store open then (a
// reader keeps the index there), and nothing was written to them.
class NewCompanionFiles final
{
public:
    explicit NewCompanionFiles(const QString &file)
    {
        for (const char *suffix : { "-wal", "-shm" }) {
            const QString companion = file + QLatin1String(suffix);
            if (!QFileInfo::exists(companion))
                m_paths.append(companion);
        }
    }
    void remove() const
    {
        for (const QString &companion : m_paths)
            QFile::remove(companion);
    }

private:
    QStringList m_paths;
};

// Opens the store, checks a store that was there and sets it up. On failure the connection is
// closed again and a store refused as damaged is left as it was found.
bool openAndPrepare(const QString &path, const QString &file, bool existed, QString *reason, QString *advice)
{
    const NewCompanionFiles companions(file);
    SqliteConnection connection;
    if (!connection.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX)) {
        *reason = connection.lastError();
        return false;
    }
    bool damaged = false;
    if (!StoreSchemaSql::configure(connection, 5000)) {
        *reason = connection.lastError();
        damaged = StoreFailure::causeOf(connection.lastResultCode()) == StoreFailure::Cause::damaged;
        if (damaged)
            *advice = damagedAdvice;
    } else if (existed && !checkIntegrity(connection, reason, advice)) {
        // Unless another program's lock kept it from reading the store at all.
        damaged = StoreFailure::causeOf(sqlite3_extended_errcode(connection.handle()))
            != StoreFailure::Cause::locked;
    } else {
        return prepareWhileOthersDo(connection, reason, advice);
    }
    connection.close();
    if (damaged)
        companions.remove();
    return false;
}

std::unique_ptr<ModelContainer> g_shared;
std::once_flag g_sharedOnce;

} // namespace

ModelContainer::ModelContainer(QString path)
    : m_path(std::move(path))
    , m_clock(&Clock::system())
{ }

ModelContainer::~ModelContainer()
{
    m_mainContext.reset();
}

std::unique_ptr<ModelContainer> ModelContainer::open(const QString &path, QString *error, QString *advice)
{
    QString ignored;
    QString &reason = error ? *error : ignored;
    QString ignoredAdvice;
    QString &whatToDo = advice ? *advice : ignoredAdvice;
    whatToDo = QStringLiteral("Check that you can read and write the file and its folder and that the "
                              "disk has room, then start Tindlewick again.");
    // The history is the user's alone; files an earlier version left readable by others are
    // tightened too. SQLite gives the write-ahead log and its index the mode of the store.
    const QString folder = QFileInfo(path).absolutePath();
    PrivateFiles::makeFolder(folder);
    PrivateFiles::restrictFolder(folder);
    // The store may be a symbolic link (the history kept on another disk): the file it leads to
    // holds the history, and SQLite keeps its log and the log's index beside that file.
    const QString file = PrivateFiles::finalTarget(path);
    if (!isUsableStoreFile(path, file, &reason, &whatToDo))
        return nullptr;
    const bool existed = QFileInfo(file).size() > 0;
    PrivateFiles::createFile(file);
    restrictStoreFiles(file);
    if (!openAndPrepare(path, file, existed, &reason, &whatToDo))
        return nullptr;
    PrivateFiles::restrictFolder(folder);
    restrictStoreFiles(file);
    return std::unique_ptr<ModelContainer>(new ModelContainer(path));
}

QString ModelContainer::fatalMessage(const QString &path, const QString &reason, const QString &advice)
{
    return QStringLiteral("Could not create ModelContainer: %1\nThe clipboard history is kept in %2\n%3")
        .arg(reason, path, advice);
}

ModelContext *ModelContainer::mainContext()
{
    if (!m_mainContext) {
        m_mainContext = makeContext(mainContextBusyTimeoutMs);
        m_mainContext->retryRefusedSaves(*m_clock);
        // In place of SQLite's own automatic checkpoint, which runs in the saving thread.
        sqlite3_wal_hook(m_mainContext->m_connection.handle(), &ModelContainer::mainContextLogGrew, this);
        if (QCoreApplication *app = QCoreApplication::instance())
            m_mainContext->moveToThread(app->thread());
    }
    return m_mainContext.get();
}

std::unique_ptr<ModelContext> ModelContainer::makeContext()
{
    return makeContext(m_busyTimeoutMs);
}

std::unique_ptr<ModelContext> ModelContainer::makeContext(int busyTimeoutMs)
{
    SqliteConnection connection;
    if (connection.open(m_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX)) {
        StoreSchemaSql::configure(connection, busyTimeoutMs);
        if (!m_connectionSetupSql.isEmpty())
            connection.exec(m_connectionSetupSql);
    } else
        printDiagnostic(
            QStringLiteral("[ModelContainer] Could not open the store: ") + connection.lastError());
    return std::unique_ptr<ModelContext>(new ModelContext(this, std::move(connection)));
}

void ModelContainer::setLogCheckpointer(QObject *owner, std::function<QFuture<void>()> checkpoint)
{
    m_logCheckpointOwner = owner;
    m_logCheckpoint = std::move(checkpoint);
}

int ModelContainer::mainContextLogGrew(void *container, sqlite3 *connection, const char *database, int pages)
{
    auto *self = static_cast<ModelContainer *>(container);
    if (pages < logCheckpointPages)
        return SQLITE_OK;
    if (!self->m_logCheckpointOwner || !self->m_logCheckpoint) {
        sqlite3_wal_checkpoint(connection, database);
        return SQLITE_OK;
    }
    if (self->m_logCheckpointRunning)
        return SQLITE_OK;
    self->m_logCheckpointRunning = true;
    thenWhileAlive(self->m_logCheckpoint(), self, [self] { self->m_logCheckpointRunning = false; });
    return SQLITE_OK;
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
        QString advice;
        const QString path = defaultStorePath();
        g_shared = ModelContainer::open(path, &error, &advice);
        if (!g_shared)
            fatalError(ModelContainer::fatalMessage(path, error, advice));
    });
    return *g_shared;
}

ModelContainer *sharedModelContainerIfOpened()
{
    return g_shared.get();
}
