#include "platform/FileExistence.h"

#include <QFileInfo>
#include <QSet>
#include <QThreadPool>

struct FileExistence::Queue
{
    QMutex mutex;
    // The paths waiting, per lane, and the lanes a worker runs for.
    QHash<QString, QList<QString>> paths;
    QSet<QString> queued;
    QSet<QString> runningLanes;
    std::function<bool(const QString &)> probe;
    // Cleared when the object goes; read and written under the mutex.
    FileExistence *owner = nullptr;
};

FileExistence &FileExistence::shared()
{
    static FileExistence *instance = new FileExistence;
    return *instance;
}

FileExistence::FileExistence(QObject *parent)
    : QObject(parent)
    , m_queue(std::make_shared<Queue>())
    , m_worker(new QThreadPool)
{
    m_clock.start();
    m_queue->probe = [](const QString &path) { return QFileInfo::exists(path); };
    m_queue->owner = this;
    // A lane that hangs keeps its thread; the others go on with the rest.
    m_worker->setMaxThreadCount(4);
}

FileExistence::~FileExistence()
{
    {
        QMutexLocker lock(&m_queue->mutex);
        m_queue->owner = nullptr;
        m_queue->paths.clear();
    }
    // A check that hangs on a dead mount is not waited for: its thread is left to it.
    if (m_worker->waitForDone(100))
        delete m_worker;
}

void FileExistence::setProbe(std::function<bool(const QString &)> probe)
{
    QMutexLocker lock(&m_queue->mutex);
    m_queue->probe = std::move(probe);
}

std::function<bool(const QString &)> FileExistence::probe() const
{
    QMutexLocker lock(&m_queue->mutex);
    return m_queue->probe;
}

void FileExistence::setLaneOf(std::function<QString(const QString &)> laneOf)
{
    m_laneOf = std::move(laneOf);
}

void FileExistence::setBackgroundChecks(bool on)
{
    m_background = on;
}

qsizetype FileExistence::pendingChecks() const
{
    QMutexLocker lock(&m_queue->mutex);
    return m_queue->queued.size();
}

bool FileExistence::exists(const QString &path)
{
    if (!m_background) {
        if (!m_keepsAnswers)
            return probe()(path);
        quint64 generation = 0;
        {
            QMutexLocker lock(&m_lock);
            if (const auto found = m_answers.constFind(path); found != m_answers.cend())
                return found->exists;
            generation = m_generation;
        }
        // Asked without the lock: a forget() may come meanwhile, even from the question.
        const bool exists = probe()(path);
        QMutexLocker lock(&m_lock);
        if (generation == m_generation)
            m_answers.insert(path, Answer { exists, m_clock.elapsed() });
        return exists;
    }
    bool answer = true;
    bool check = true;
    {
        QMutexLocker lock(&m_lock);
        if (const auto found = m_answers.constFind(path); found != m_answers.cend()) {
            answer = found->exists;
            check = m_clock.elapsed() - found->checkedAtMs > m_maxAgeMs;
        }
    }
    if (check)
        queue(path, true);
    return answer;
}

void FileExistence::ask(const QString &path, QObject *receiver, std::function<void(bool exists)> answer)
{
    if (!m_background) {
        answer(probe()(path));
        return;
    }
    QList<Waiter> &waiting = m_waiters[path];
    waiting.append({ receiver, std::move(answer) });
    if (waiting.size() == 1)
        queue(path, false);
}

bool FileExistence::forget(const QString &path)
{
    const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    QMutexLocker lock(&m_lock);
    ++m_generation;
    const bool itself = m_answers.remove(path);
    const bool under
        = m_answers.removeIf([&](const auto &answer) { return answer.key().startsWith(prefix); }) > 0;
    return itself || under;
}

void FileExistence::forgetAll()
{
    QMutexLocker lock(&m_lock);
    ++m_generation;
    m_answers.clear();
}

qsizetype FileExistence::cachedAnswerCount() const
{
    QMutexLocker lock(&m_lock);
    return m_answers.size();
}

void FileExistence::queue(const QString &path, bool keep)
{
    if (keep && !m_queuedIn.contains(path)) {
        QMutexLocker lock(&m_lock);
        m_queuedIn.insert(path, m_generation);
    }
    const QString lane = m_laneOf ? m_laneOf(path) : QString();
    QMutexLocker lock(&m_queue->mutex);
    if (m_queue->queued.contains(path))
        return;
    m_queue->queued.insert(path);
    m_queue->paths[lane].append(path);
    if (m_queue->runningLanes.contains(lane))
        return;
    m_queue->runningLanes.insert(lane);
    const std::shared_ptr<Queue> shared = m_queue;
    m_worker->start([shared, lane] { runChecks(shared, lane); });
}

void FileExistence::runChecks(const std::shared_ptr<Queue> &queue, const QString &lane)
{
    for (;;) {
        QList<QString> batch;
        std::function<bool(const QString &)> probe;
        {
            QMutexLocker lock(&queue->mutex);
            QList<QString> &waiting = queue->paths[lane];
            if (waiting.isEmpty() || !queue->owner) {
                queue->paths.remove(lane);
                queue->runningLanes.remove(lane);
                return;
            }
            batch = waiting.mid(0, 256);
            waiting.remove(0, batch.size());
            probe = queue->probe;
        }
        QList<Result> results;
        results.reserve(batch.size());
        for (const QString &path : std::as_const(batch))
            results.append({ path, probe(path) });
        QMutexLocker lock(&queue->mutex);
        if (FileExistence *owner = queue->owner) {
            QMetaObject::invokeMethod(
                owner, [owner, results] { owner->takeResults(results); }, Qt::QueuedConnection);
        }
    }
}

void FileExistence::takeResults(const QList<Result> &results)
{
    {
        QMutexLocker lock(&m_queue->mutex);
        for (const Result &result : results)
            m_queue->queued.remove(result.path);
    }
    bool changed = false;
    QStringList askAgain;
    {
        QMutexLocker lock(&m_lock);
        const qint64 now = m_clock.elapsed();
        for (const Result &result : results) {
            // Kept when somebody asked for the path to be kept, not only once.
            const auto queuedIn = m_queuedIn.constFind(result.path);
            if (queuedIn == m_queuedIn.cend())
                continue;
            const bool current = *queuedIn == m_generation;
            m_queuedIn.erase(queuedIn);
            // Asked before a change was heard of: the answer may be wrong, so ask again.
            if (!current) {
                askAgain.append(result.path);
                continue;
            }
            const auto found = m_answers.constFind(result.path);
            // What was answered before the check: a path not seen counted as present.
            const bool answered = found == m_answers.cend() ? true : found->exists;
            changed = changed || answered != result.exists;
            m_answers.insert(result.path, Answer { result.exists, now });
        }
    }
    for (const QString &path : std::as_const(askAgain))
        queue(path, true);
    for (const Result &result : results) {
        const QList<Waiter> waiting = m_waiters.take(result.path);
        for (const Waiter &waiter : waiting) {
            if (waiter.receiver)
                waiter.answer(result.exists);
        }
    }
    if (changed)
        Q_EMIT answersChanged();
}
