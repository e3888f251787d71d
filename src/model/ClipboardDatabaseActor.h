#pragma once

#include "common/SerialExecutor.h"
#include "model/ModelContext.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFuture>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

class ModelContainer;

// Keeps the store small and its write-ahead log short. Deletes history beyond a count or
// an age (pinned items always stay) in a store context of its own, and runs SQLite's
// checkpoint and VACUUM on the store file. All work runs one job at a time on the
// actor's own thread; callers continue with the returned futures.
class ClipboardDatabaseActor final
{
public:
    explicit ClipboardDatabaseActor(ModelContainer &container);
    ~ClipboardDatabaseActor();
    ClipboardDatabaseActor(const ClipboardDatabaseActor &) = delete;
    ClipboardDatabaseActor &operator=(const ClipboardDatabaseActor &) = delete;

    // Keeps the newest `limit` items (pinned ones count) and every pinned item.
    QFuture<void> pruneToLimit(qint64 limit);
    // Removes from the context, unsaved, every unpinned item beyond its newest `keep` (pinned
    // ones count); how many, -1 when the store could not be read. Only the items removed are
    // read whole.
    static int removeUnpinnedBeyondNewest(ModelContext &store, qint64 keep);
    // Deletes unpinned items older than maxAgeSeconds. True when something was deleted
    // and no unpinned item is left.
    QFuture<bool> pruneOlderThan(double maxAgeSeconds);
    // Folds the write-ahead log into the store file. A checkpoint that fails, or that another
    // connection keeps from finishing, is reported with failureLine(). A passive one folds in
    // what it can without waiting for others and without holding up their writes (as SQLite's
    // own automatic checkpoint does); the default waits for them and empties the log.
    enum class CheckpointMode { passive, truncate };
    QFuture<void> checkpointWAL(CheckpointMode mode = CheckpointMode::truncate);
    // Runs work with the actor's store context, on the actor's thread: what it saves reaches
    // the other contexts as a change made elsewhere, and the main thread does not wait for the
    // write. The objects it read are let go afterwards.
    template <typename Work> auto perform(Work work) -> QFuture<std::invoke_result_t<Work, ModelContext &>>
    {
        return m_executor.run([this, work = std::move(work)] {
            using Result = std::invoke_result_t<Work, ModelContext &>;
            if constexpr (std::is_void_v<Result>) {
                work(context());
                context().releaseUnchangedObjects();
            } else {
                Result result = work(context());
                context().releaseUnchangedObjects();
                return result;
            }
        });
    }
    QFuture<void> vacuumStore();
    // Hands back the store pages the actor's connection keeps in memory.
    QFuture<void> releaseCachedPages();
    // Deleted content leaves the disk: the log is folded in, the file is rebuilt without its
    // free pages, and the rebuilt pages are folded in again. The caller saves its deletions
    // first (compacting unsaved deletions keeps them in the file).
    QFuture<void> compactStore();

    // Compacting pays off only when both the file and its free space are large.
    static constexpr qint64 compactionThresholdBytes = 5'242'880;
    static bool shouldVacuum(qint64 fileSize, qint64 freePageCount, qint64 pageSize);
    // "[ClipboardDatabaseActor] <operation> failed (<code>): <message or unknown>"
    static QString failureLine(const QString &operation, int resultCode, const char *sqliteMessage);

    // Blocks until every job submitted so far has finished, or the deadline has passed (false
    // then). Shut-down and tests.
    bool waitForIdle(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever))
    {
        return m_executor.waitForIdle(deadline);
    }

private:
    ModelContext &context();
    // Removes the items of `identifiers` that `kept` does not name; how many were removed.
    static int removeItems(ModelContext &store, const QList<PersistentIdentifier> &identifiers,
        const QList<PersistentIdentifier> &kept = {});
    // The first column of the statement's first row (null when it answers none); nothing when
    // it did not run, which is reported.
    std::optional<QByteArray> runStatement(const QString &sql, const QString &operationName);
    void runCheckpoint(CheckpointMode mode = CheckpointMode::truncate);
    void vacuumIfNeeded();

    ModelContainer &m_container;
    std::unique_ptr<ModelContext> m_context; // created and used on the actor's thread only
    SerialExecutor m_executor;
};
