#pragma once

#include "common/Clock.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <set>

class QThreadPool;

// Whether files named by history items are on disk: the one place the app asks, for the
// items' own values and for the panel alike. Until background checking is turned on (the
// running app does so at start) each question is answered from the disk at once. With it
// on, the GUI thread never waits for a disk, which may be slow or a network mount that
// hangs: answers come from a cache that a worker thread fills, a path not checked yet
// counts as present, an answer older than maxAge is given as it is and checked again, and
// answersChanged is emitted when checks turn out differently from what was answered.
//
// Whoever watches the disk for changes says so (keepsAnswers): then answers are kept also
// when asked at once, until forget() drops those a change may have made wrong, or recheck()
// has them checked again. An answer the disk gave before a forget() or a recheck() is never
// kept after it. Checks that turn out differently are announced together, once the checks
// waiting are done (or half a second after the first, when a mount holds some up): a burst
// of thousands of deletions is one announcement, not one per batch of checks.
//
// Asked on the main thread; forget(), recheck() and the counts from any thread (the checks
// run on the worker).
class FileExistence final : public QObject
{
    Q_OBJECT
public:
    static FileExistence &shared();
    explicit FileExistence(QObject *parent = nullptr);
    ~FileExistence() override;

    bool exists(const QString &path);
    // Asks once whether anything is at the path and calls back on the main thread: at once
    // without background checks, else once the worker has asked. The answer is not kept.
    void ask(const QString &path, QObject *receiver, std::function<void(bool exists)> answer);

    void setBackgroundChecks(bool on);
    bool backgroundChecks() const { return m_background.load(); }
    void setKeepsAnswers(bool keep) { m_keepsAnswers = keep; }
    // The time answers age on and announcements wait for (tests move it by hand).
    void setClock(Clock &clock) { m_clock = &clock; }
    // How long a background answer is given without a new check.
    void setMaxAge(int milliseconds) { m_maxAgeMs = milliseconds; }
    // How the disk is asked (tests count the questions or make them hang).
    void setProbe(std::function<bool(const QString &)> probe);
    // Which lane a path's checks go in (its mount point, say): a lane held up by a hung mount
    // holds up its own checks only, as long as a few lanes hang at most. Main thread.
    void setLaneOf(std::function<QString(const QString &path)> laneOf);
    // Checks still waiting for the worker.
    qsizetype pendingChecks() const;

    // Drops the answers for the path and for everything under it; true when there was one.
    bool forget(const QString &path);
    void forgetAll();
    // Drops the answers at exactly these paths, nothing under them, and keeps none that a check
    // under way brings back: nobody asks about them any more (the items naming them are gone).
    // Main thread.
    void discard(const QStringList &paths);
    // What changed on disk at these paths (entries of a folder, or folders): the answers for
    // them and for everything under them are checked again, each once, and are given as they
    // were until then. Without background checks they are dropped instead (as forget()).
    // True when there was an answer to check. Work in proportion to the answers concerned.
    bool recheck(const QStringList &paths);
    qsizetype cachedAnswerCount() const;

Q_SIGNALS:
    void answersChanged();

private:
    struct Answer
    {
        bool exists = true;
        qint64 checkedAtMs = 0;
    };
    struct Result
    {
        QString path;
        bool exists = false;
    };
    struct Waiter
    {
        QPointer<QObject> receiver;
        std::function<void(bool)> answer;
    };
    // What the worker shares with this object; it outlives the object while a check hangs.
    struct Queue;
    std::function<bool(const QString &)> probe() const;
    void queue(const QString &path, bool keep);
    // Under m_lock: the answered paths that are the path or lie under it.
    QStringList answeredAt(const QString &path) const;
    void insertAnswer(const QString &path, const Answer &answer);
    void removeAnswer(const QString &path);
    // Main thread: checks the paths again; those being checked now are checked once more.
    void checkAgain(const QStringList &paths);
    void announceChanges();
    static void runChecks(const std::shared_ptr<Queue> &queue, const QString &lane);
    void takeResults(const QList<Result> &results);

    // Read by recheck() on the event stream's thread.
    std::atomic<bool> m_background { false };
    bool m_keepsAnswers = false;
    int m_maxAgeMs = 2000;
    std::function<QString(const QString &)> m_laneOf;
    Clock *m_clock = &Clock::system();
    // Guards the answers and the generation, which moves on with every forget().
    mutable QMutex m_lock;
    QHash<QString, Answer> m_answers;
    // The same paths in order, so that those under a folder are found without a look at
    // every answer.
    std::set<QString> m_answeredPaths;
    quint64 m_generation = 0;
    // Main thread: the generation each kept check was queued in, and who waits for a one-off.
    QHash<QString, quint64> m_queuedIn;
    // Main thread: checks under way when their path changed again; answered, they are asked
    // once more.
    QSet<QString> m_changedWhileChecked;
    // Main thread: a check turned out differently and nobody was told yet.
    bool m_unannounced = false;
    QHash<QString, QList<Waiter>> m_waiters;
    std::shared_ptr<Queue> m_queue;
    QThreadPool *m_worker;
};
