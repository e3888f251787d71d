#pragma once

#include "model/PersistentIdentifier.h"

#include <QFuture>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class ModelContext;
struct sqlite3;

// What one save changed, by persistent identifier. Broadcast to every other context of
// the container so each can bring its objects up to date.
struct StoreChanges
{
    QSet<PersistentIdentifier> inserted;
    QSet<PersistentIdentifier> updated;
    QSet<PersistentIdentifier> deleted;

    bool isEmpty() const { return inserted.isEmpty() && updated.isEmpty() && deleted.isEmpty(); }
};

// The one store of clipboard items: an SQLite file in WAL mode with the item schema,
// version 1.0.0. It hands out store contexts (one main context for the main thread,
// any number of others, each used on one thread) and relays the changes that one
// context saves to all others.
class ModelContainer final : public QObject
{
    Q_OBJECT
public:
    ~ModelContainer() override;

    // Opens (creating when missing) the store at path, creating its folder; folder and
    // files are made private to the user. A store that fails SQLite's quick integrity
    // check is refused and left untouched. On failure returns nullptr, sets error to a
    // readable reason and advice to what the user can do.
    static std::unique_ptr<ModelContainer> open(
        const QString &path, QString *error, QString *advice = nullptr);
    // The message a store that cannot be opened stops the program with: the reason on the
    // first line, then where the store is and what to do.
    static QString fatalMessage(const QString &path, const QString &reason, const QString &advice);

    // The store file of the one configuration.
    QString storePath() const { return m_path; }

    // The context of the main thread; created with the container's first use there.
    ModelContext *mainContext();
    // A new context for the calling thread (store maintenance, background tasks).
    std::unique_ptr<ModelContext> makeContext();

    // Milliseconds that a context waits for a lock held by another connection before a
    // save or fetch fails. Tests shorten it. The main context never waits: the interface
    // must not stand still while store maintenance or another program holds the store; a
    // save refused there is tried again later (ModelContext::retryRefusedSaves).
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }
    int busyTimeout() const { return m_busyTimeoutMs; }
    static constexpr int mainContextBusyTimeoutMs = 0;
    // The time the main context's retries run on; set before its first use (tests).
    void setClock(Clock &clock) { m_clock = &clock; }
    // Who folds the write-ahead log into the store when a save of the main context has grown
    // it past SQLite's 1000 pages, while owner lives: the main thread never does it itself
    // (after a large write elsewhere that would be copying megabytes). Without one, the main
    // context folds it in as SQLite would.
    void setLogCheckpointer(QObject *owner, std::function<QFuture<void>()> checkpoint);
    static constexpr int logCheckpointPages = 1000;
    // Statements run on every new context's connection (tests limit the file size with it).
    void setConnectionSetupSql(const QString &sql) { m_connectionSetupSql = sql; }

Q_SIGNALS:
    // After any context saved; delivered on the main thread.
    void didSave(const StoreChanges &changes);

private:
    friend class ModelContext;
    explicit ModelContainer(QString path);
    std::unique_ptr<ModelContext> makeContext(int busyTimeoutMs);

    static int mainContextLogGrew(void *container, sqlite3 *connection, const char *database, int pages);
    void registerContext(ModelContext *context);
    void unregisterContext(ModelContext *context);
    void broadcast(const StoreChanges &changes, ModelContext *origin);

    QString m_path;
    int m_busyTimeoutMs = 5000;
    Clock *m_clock;
    QPointer<QObject> m_logCheckpointOwner;
    std::function<QFuture<void>()> m_logCheckpoint;
    bool m_logCheckpointRunning = false;
    QString m_connectionSetupSql;
    std::unique_ptr<ModelContext> m_mainContext;
    QMutex m_contextsMutex;
    QList<ModelContext *> m_contexts;
};

// The process-wide store at "<XDG data folder>/Tindlewick/default.store", created on
// first use. A store that cannot be opened stops the program with fatalMessage().
ModelContainer &sharedModelContainer();
// The process-wide store if it has been opened, else nullptr (never opens it).
ModelContainer *sharedModelContainerIfOpened();
// The path of the shared store file.
QString defaultStorePath();
