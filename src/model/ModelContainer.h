#pragma once

#include "model/PersistentIdentifier.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class ModelContext;

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

    // Opens (creating when missing) the store at path, creating its folder. On failure
    // returns nullptr and sets error to a readable reason.
    static std::unique_ptr<ModelContainer> open(const QString &path, QString *error);

    // The store file of the one configuration.
    QString storePath() const { return m_path; }

    // The context of the main thread; created with the container's first use there.
    ModelContext *mainContext();
    // A new context for the calling thread (store maintenance, background tasks).
    std::unique_ptr<ModelContext> makeContext();

    // Milliseconds that a context waits for a lock held by another connection before a
    // save or fetch fails. Tests shorten it.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }
    int busyTimeout() const { return m_busyTimeoutMs; }
    // Statements run on every new context's connection (tests limit the file size with it).
    void setConnectionSetupSql(const QString &sql) { m_connectionSetupSql = sql; }

Q_SIGNALS:
    // After any context saved; delivered on the main thread.
    void didSave(const StoreChanges &changes);

private:
    friend class ModelContext;
    explicit ModelContainer(QString path);

    void registerContext(ModelContext *context);
    void unregisterContext(ModelContext *context);
    void broadcast(const StoreChanges &changes, ModelContext *origin);

    QString m_path;
    int m_busyTimeoutMs = 5000;
    QString m_connectionSetupSql;
    std::unique_ptr<ModelContext> m_mainContext;
    QMutex m_contextsMutex;
    QList<ModelContext *> m_contexts;
};

// The process-wide store at "<XDG data folder>/Tindlewick/default.store", created on
// first use. A store that cannot be opened stops the program with
// "Could not create ModelContainer: " and the reason.
ModelContainer &sharedModelContainer();
// The path of the shared store file.
QString defaultStorePath();
