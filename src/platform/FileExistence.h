#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThreadPool;

// Whether files named by history items are on disk. Until background checking is turned
// on (the running app does so at start) each question is answered from the disk at once.
// With it on, the GUI thread never waits for a disk, which may be slow or a network mount
// that hangs: answers come from a cache that a worker thread fills, a path not checked yet
// counts as present, an answer older than maxAge is given as it is and checked again, and
// answersChanged is emitted when checks turn out differently from what was answered.
// Main thread only (the checks themselves run on the worker).
class FileExistence final : public QObject
{
    Q_OBJECT
public:
    static FileExistence &shared();
    explicit FileExistence(QObject *parent = nullptr);
    ~FileExistence() override;

    bool exists(const QString &path);

    void setBackgroundChecks(bool on);
    bool backgroundChecks() const { return m_background; }
    // How long an answer is given without a new check.
    void setMaxAge(int milliseconds) { m_maxAgeMs = milliseconds; }
    // How the disk is asked (tests count the questions or make them hang).
    void setProbe(std::function<bool(const QString &)> probe);
    // Checks still waiting for the worker.
    qsizetype pendingChecks() const;

Q_SIGNALS:
    void answersChanged();

private:
    struct Answer
    {
        bool exists = true;
        qint64 checkedAtMs = 0;
    };
    // What the worker shares with this object; it outlives the object while a check hangs.
    struct Queue;
    void queue(const QString &path);
    static void runChecks(const std::shared_ptr<Queue> &queue);
    void takeResults(const QList<std::pair<QString, bool>> &results);

    bool m_background = false;
    int m_maxAgeMs = 2000;
    QElapsedTimer m_clock;
    QHash<QString, Answer> m_answers;
    std::shared_ptr<Queue> m_queue;
    QThreadPool *m_worker;
};
