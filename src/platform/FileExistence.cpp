#include "platform/FileExistence.h"

#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QThreadPool>

struct FileExistence::Queue
{
    QMutex mutex;
    QList<QString> paths;
    QSet<QString> queued;
    bool workerRunning = false;
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
    m_worker->setMaxThreadCount(1);
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
        std::function<bool(const QString &)> probe;
        {
            QMutexLocker lock(&m_queue->mutex);
            probe = m_queue->probe;
        }
        return probe(path);
    }
    const auto found = m_answers.constFind(path);
    if (found == m_answers.cend()) {
        queue(path);
        return true;
    }
    if (m_clock.elapsed() - found->checkedAtMs > m_maxAgeMs)
        queue(path);
    return found->exists;
}

void FileExistence::queue(const QString &path)
{
    QMutexLocker lock(&m_queue->mutex);
    if (m_queue->queued.contains(path))
        return;
    m_queue->queued.insert(path);
    m_queue->paths.append(path);
    if (m_queue->workerRunning)
        return;
    m_queue->workerRunning = true;
    const std::shared_ptr<Queue> shared = m_queue;
    m_worker->start([shared] { runChecks(shared); });
}

void FileExistence::runChecks(const std::shared_ptr<Queue> &queue)
{
    for (;;) {
        QList<QString> batch;
        std::function<bool(const QString &)> probe;
        {
            QMutexLocker lock(&queue->mutex);
            if (queue->paths.isEmpty() || !queue->owner) {
                queue->workerRunning = false;
                return;
            }
            batch = queue->paths.mid(0, 256);
            queue->paths.remove(0, batch.size());
            probe = queue->probe;
        }
        QList<std::pair<QString, bool>> results;
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

void FileExistence::takeResults(const QList<std::pair<QString, bool>> &results)
{
    {
        QMutexLocker lock(&m_queue->mutex);
        for (const auto &[path, exists] : results)
            m_queue->queued.remove(path);
    }
    bool changed = false;
    const qint64 now = m_clock.elapsed();
    for (const auto &[path, exists] : results) {
        const auto found = m_answers.constFind(path);
        // What was answered before the check: a path not seen counted as present.
        const bool answered = found == m_answers.cend() ? true : found->exists;
        changed = changed || answered != exists;
        m_answers.insert(path, Answer { exists, now });
    }
    if (changed)
        Q_EMIT answersChanged();
}
