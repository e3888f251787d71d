#include "platform/FileExistence.h"

#include "platform/FilePaths.h"

#include <QSet>
#include <QThreadPool>

#include <chrono>

namespace {

// How long a check that turned out differently waits to be announced with the others of its
// burst, when some checks of the burst are held up.
constexpr int announceWithinMs = 500;

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

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
    m_queue->probe = [](const QString &path) { return FilePaths::exists(path); };
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
            insertAnswer(path, Answer { exists, m_clock->nowMs() });
        return exists;
    }
    bool answer = true;
    bool check = true;
    {
        QMutexLocker lock(&m_lock);
        if (const auto found = m_answers.constFind(path); found != m_answers.cend()) {
            answer = found->exists;
            check = m_clock->nowMs() - found->checkedAtMs > m_maxAgeMs;
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
    QMutexLocker lock(&m_lock);
    ++m_generation;
    const QStringList answered = answeredAt(path);
    for (const QString &found : answered)
        removeAnswer(found);
    return !answered.isEmpty();
}

void FileExistence::forgetAll()
{
    QMutexLocker lock(&m_lock);
    ++m_generation;
    m_answers.clear();
    m_answeredPaths.clear();
}

void FileExistence::discard(const QStringList &paths)
{
    QMutexLocker lock(&m_lock);
    for (const QString &path : paths) {
        removeAnswer(path);
        // Its check answers whoever waits for it, and is not kept.
        m_queuedIn.remove(path);
        m_changedWhileChecked.remove(path);
    }
}

bool FileExistence::recheck(const QStringList &paths)
{
    QStringList answered;
    {
        QMutexLocker lock(&m_lock);
        for (const QString &path : paths)
            answered.append(answeredAt(path));
        if (!m_background) {
            ++m_generation;
            for (const QString &found : std::as_const(answered))
                removeAnswer(found);
            return !answered.isEmpty();
        }
    }
    if (answered.isEmpty())
        return false;
    QMetaObject::invokeMethod(
        this, [this, answered] { checkAgain(answered); }, Qt::QueuedConnection);
    return true;
}

void FileExistence::checkAgain(const QStringList &paths)
{
    for (const QString &path : paths) {
        bool underWay = false;
        {
            QMutexLocker lock(&m_queue->mutex);
            underWay = m_queue->queued.contains(path);
        }
        // A check under way may have looked before the change: it is asked once more.
        if (underWay)
            m_changedWhileChecked.insert(path);
        queue(path, true);
    }
}

QStringList FileExistence::answeredAt(const QString &path) const
{
    const QString base = withoutTrailingSlash(path);
    QStringList found;
    if (m_answers.contains(base))
        found.append(base);
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    for (auto it = m_answeredPaths.lower_bound(prefix); it != m_answeredPaths.end() && it->startsWith(prefix);
         ++it)
        found.append(*it);
    return found;
}

void FileExistence::insertAnswer(const QString &path, const Answer &answer)
{
    m_answers.insert(path, answer);
    m_answeredPaths.insert(path);
}

void FileExistence::removeAnswer(const QString &path)
{
    m_answers.remove(path);
    m_answeredPaths.erase(path);
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
        const qint64 now = m_clock->nowMs();
        for (const Result &result : results) {
            // Kept when somebody asked for the path to be kept, not only once.
            const auto queuedIn = m_queuedIn.constFind(result.path);
            if (queuedIn == m_queuedIn.cend())
                continue;
            const bool changedMeanwhile = m_changedWhileChecked.remove(result.path);
            const bool current = *queuedIn == m_generation && !changedMeanwhile;
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
            insertAnswer(result.path, Answer { result.exists, now });
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
    if (changed && !m_unannounced) {
        m_unannounced = true;
        m_clock->runAfter(std::chrono::milliseconds(announceWithinMs), this, [this] { announceChanges(); });
    }
    // The rest of the burst first: one announcement for all of it.
    if (pendingChecks() == 0)
        announceChanges();
}

void FileExistence::announceChanges()
{
    if (!m_unannounced)
        return;
    m_unannounced = false;
    Q_EMIT answersChanged();
}
