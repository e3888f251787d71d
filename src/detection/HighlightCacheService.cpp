#include "detection/HighlightCacheService.h"

#include "common/Diagnostics.h"
#include "common/ThenWhileAlive.h"
#include "detection/CodePreviewLines.h"
#include "detection/HighlightedLinesBlob.h"
#include "detection/highlight/Highlight.h"
#include "model/AppSettings.h"
#include "model/ModelContext.h"
#include "platform/MemoryPressureMonitor.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// The rank of a pending line that the engine works on: before every queue's.
constexpr int underWay = -1;

bool isInStore(const ClipboardItem &item)
{
    return item.modelContext() && !item.isDeleted();
}

bool tagsMatch(const ClipboardItem &item, const QString &theme, bool isDark)
{
    return item.highlightedLinesTheme() == theme && item.highlightedLinesIsDark() == isDark;
}

// The item's persisted lines with the given lines added or replaced; its old lines are kept
// only when they are sound and were made in the same theme and appearance (base is then
// their blob, else empty).
QByteArray mergedBlob(
    const QByteArray &base, const QList<std::pair<int, AttributedText>> &lines, const QString &context)
{
    HighlightedLinesBlob::Lines merged = base.isEmpty()
        ? HighlightedLinesBlob::Lines()
        : HighlightedLinesBlob::decode(base).value_or(HighlightedLinesBlob::Lines());
    for (const auto &[index, text] : lines)
        merged.insert(HighlightedLinesBlob::lineName(context, index), text);
    return HighlightedLinesBlob::encode(merged);
}

} // namespace

// What the engine made of one job, put together off the main thread.
struct HighlightCacheService::Outcome
{
    QList<std::pair<int, AttributedText>> lines; // highlighted, and blank lines as they are
    QList<Line> failed;
    QByteArray base; // the persisted lines the merge started from
    QByteArray merged; // base with the lines
};

HighlightCacheService &HighlightCacheService::shared()
{
    static QPointer<HighlightCacheService> instance;
    if (!instance) {
        // Goes with the application, which ends the engine's thread in time.
        instance = new HighlightCacheService(QCoreApplication::instance());
        instance->setMemoryPressureMonitor(&MemoryPressureMonitor::system());
    }
    return *instance;
}

HighlightCacheService::HighlightCacheService(QObject *parent)
    : QObject(parent)
{ }

HighlightCacheService::~HighlightCacheService() = default;

void HighlightCacheService::setSettings(AppSettings *settings)
{
    m_settings = settings;
}

void HighlightCacheService::setMemoryPressureMonitor(MemoryPressureMonitor *monitor)
{
    disconnect(m_memoryPressureConnection);
    m_memoryPressure = monitor;
    if (monitor) {
        // Reported on any thread; the cache is trimmed here.
        m_memoryPressureConnection = connect(
            monitor, &MemoryPressureMonitor::pressureRaised, this, [this] { trimCache(); },
            Qt::QueuedConnection);
    }
}

// -- The memory cache

qsizetype HighlightCacheService::capacity() const
{
    const qint64 historyLimit = m_settings ? m_settings->historyLimit() : AppSettings::defaultHistoryLimit;
    const qint64 limit = historyLimit > 0 && historyLimit < (qint64(1) << 40) / 20 ? historyLimit * 20 : 0;
    return qsizetype(std::max<qint64>(2000, limit));
}

void HighlightCacheService::store(const AttributedText &value, const CacheKey &key)
{
    auto found = m_memory.find(key);
    if (found != m_memory.end()) {
        m_order.erase(found->position);
        found->value = value;
        found->position = m_order.insert(m_order.end(), key);
    } else {
        m_memory.insert(key, Entry { value, m_order.insert(m_order.end(), key) });
    }
    const qsizetype limit = capacity();
    while (m_memory.size() > limit && !m_order.empty())
        evictOldest();
}

void HighlightCacheService::evictOldest()
{
    const CacheKey oldest = m_order.front();
    m_order.pop_front();
    m_memory.remove(oldest);
}

std::optional<AttributedText> HighlightCacheService::cachedHighlight(
    const ClipboardItem &item, int lineIndex, bool isDark, HighlightTheme theme, const QString &context)
{
    const CacheKey key { item.id(), lineIndex, isDark, HighlightThemes::rawValue(theme), context };
    if (const auto found = m_memory.constFind(key); found != m_memory.constEnd())
        return found->value;
    if (!isInStore(item) || !tagsMatch(item, key.theme, isDark))
        return std::nullopt;
    const std::optional<QByteArray> blob = item.highlightedLinesData();
    if (!blob)
        return std::nullopt;
    std::optional<AttributedText> line
        = HighlightedLinesBlob::line(*blob, HighlightedLinesBlob::lineName(context, lineIndex));
    if (line)
        store(*line, key);
    return line;
}

void HighlightCacheService::invalidate(const QUuid &itemId)
{
    invalidate(QSet<QUuid> { itemId });
}

void HighlightCacheService::invalidate(const QSet<QUuid> &itemIds)
{
    if (itemIds.isEmpty())
        return;
    for (auto it = m_memory.begin(); it != m_memory.end();) {
        if (itemIds.contains(it.key().itemId)) {
            m_order.erase(it->position);
            it = m_memory.erase(it);
        } else {
            ++it;
        }
    }
    m_restingUntil.removeIf([&itemIds](const auto &entry) { return itemIds.contains(entry.key().itemId); });
}

void HighlightCacheService::trimCache()
{
    const qsizetype target = m_memory.size() / 2;
    while (m_memory.size() > target && !m_order.empty())
        evictOldest();
}

void HighlightCacheService::clearMemoryCache()
{
    m_memory.clear();
    m_order.clear();
    ++m_generation;
    m_restingUntil.clear();
    // Work not yet begun is for the old lines; what is under way is dropped when it returns.
    dropQueuedJobs();
}

void HighlightCacheService::dropQueuedJobs()
{
    for (std::deque<Job> &queue : m_queues) {
        for (const Job &job : queue)
            releaseKeys(job, int(job.priority));
        queue.clear();
    }
}

// -- The engine

Highlight &HighlightCacheService::highlighter()
{
    if (!m_highlighter) {
        m_highlighter = m_highlighterFactory ? m_highlighterFactory() : std::make_shared<Highlight>();
        ++m_highlighterStarts;
        Q_EMIT highlighterStarted(m_highlighterStarts);
    }
    return *m_highlighter;
}

void HighlightCacheService::resetHighlighter()
{
    if (!m_highlighter)
        return;
    // Ending the engine waits for its thread and frees its script heap: not on this thread.
    // Requests it still holds end cancelled, and their lines are tried again later.
    (void)QtConcurrent::run([engine = std::move(m_highlighter)]() mutable { engine.reset(); });
    m_highlighter.reset();
}

void HighlightCacheService::stop()
{
    m_stopped = true;
    ++m_generation;
    dropQueuedJobs();
    // Stopped here, ended by waitUntilEnded(): an engine whose thread is stuck holds up nothing of
    // the quit before that.
    if (m_highlighter) {
        m_highlighter->bridge().stop();
        m_stoppedEngine = std::move(m_highlighter);
    }
}

bool HighlightCacheService::waitUntilEnded(QDeadlineTimer deadline)
{
    if (!m_stoppedEngine)
        return true;
    const bool ended = m_stoppedEngine->bridge().waitUntilEnded(deadline);
    // Other holders of the engine (one being ended on the pool after a reset) end it there.
    m_stoppedEngine.reset();
    return ended;
}

// -- Highlighting and persisting

HighlightCacheService::CacheKey HighlightCacheService::keyFor(const Job &job, int lineIndex) const
{
    return { job.itemId, lineIndex, job.isDark, HighlightThemes::rawValue(job.theme), job.context };
}

bool HighlightCacheService::isUnderWay(const CacheKey &key) const
{
    const auto pending = m_pending.constFind(key);
    return pending != m_pending.constEnd() && *pending == underWay;
}

bool HighlightCacheService::isPending(const CacheKey &key) const
{
    if (m_pending.contains(key))
        return true;
    const auto resting = m_restingUntil.constFind(key);
    return resting != m_restingUntil.constEnd() && m_clock->nowMs() < *resting;
}

int HighlightCacheService::jobCount() const
{
    int count = m_jobsInFlight;
    for (const std::deque<Job> &queue : m_queues)
        count += int(queue.size());
    return count;
}

void HighlightCacheService::prehighlight(const QStringList &lines, const ClipboardItemPtr &item,
    std::optional<HighlightLanguage> language, bool isDark, HighlightTheme theme, const QString &context,
    Priority priority)
{
    QList<Line> numbered;
    numbered.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i)
        numbered.append({ i, lines[i] });
    highlightLines(item, numbered, language, isDark, theme, context, priority);
}

void HighlightCacheService::highlightLines(const ClipboardItemPtr &item, const QList<Line> &lines,
    std::optional<HighlightLanguage> language, bool isDark, HighlightTheme theme, const QString &context,
    Priority priority)
{
    if (m_stopped || !item || !isInStore(*item) || lines.isEmpty())
        return;
    Job job { item, item->id(), {}, language, isDark, theme, context, priority, 1, m_generation };
    const qint64 time = m_clock->nowMs();
    for (const Line &line : lines) {
        const CacheKey key = keyFor(job, line.index);
        const auto resting = m_restingUntil.find(key);
        if (resting != m_restingUntil.end()) {
            if (time < *resting)
                continue;
            m_restingUntil.erase(resting);
        }
        job.lines.append(line);
    }
    enqueue(std::move(job));
}

void HighlightCacheService::enqueue(Job job)
{
    QList<Line> wanted;
    for (const Line &line : std::as_const(job.lines)) {
        const CacheKey key = keyFor(job, line.index);
        const auto pending = m_pending.constFind(key);
        if (pending == m_pending.constEnd()) {
            wanted.append(line);
            continue;
        }
        if (*pending <= int(job.priority))
            continue; // already on its way, as soon or sooner (or under way)
        // Queued behind less urgent work: taken out of it and done with this job.
        std::deque<Job> &queue = m_queues[int(*pending)];
        for (Job &queued : queue) {
            if (queued.itemId == job.itemId && queued.isDark == job.isDark && queued.theme == job.theme
                && queued.context == job.context)
                queued.lines.removeIf([&line](const Line &other) { return other.index == line.index; });
        }
        wanted.append(line);
    }
    if (wanted.isEmpty())
        return;
    job.lines = wanted;
    for (const Line &line : std::as_const(job.lines))
        m_pending.insert(keyFor(job, line.index), int(job.priority));
    m_queues[int(job.priority)].push_back(std::move(job));
    pump();
}

void HighlightCacheService::pump()
{
    while (m_jobsInFlight < maxJobsInFlight) {
        std::deque<Job> *queue = nullptr;
        for (std::deque<Job> &candidate : m_queues) {
            if (!candidate.empty()) {
                queue = &candidate;
                break;
            }
        }
        if (!queue)
            break;
        Job job = std::move(queue->front());
        queue->pop_front();
        start(std::move(job));
    }
    announceIfIdle();
}

bool HighlightCacheService::isIdle() const
{
    return jobCount() == 0 && m_retriesWaiting == 0 && !m_saveScheduled;
}

void HighlightCacheService::announceIfIdle()
{
    if (isIdle())
        Q_EMIT idle();
}

void HighlightCacheService::releaseKeys(const Job &job, int rank)
{
    for (const Line &line : job.lines) {
        const CacheKey key = keyFor(job, line.index);
        // A more urgent job may have taken the line over meanwhile (see enqueue).
        const auto pending = m_pending.constFind(key);
        if (pending != m_pending.constEnd() && *pending == rank)
            m_pending.erase(pending);
    }
}

void HighlightCacheService::start(Job job)
{
    const ClipboardItemPtr item = job.item.lock();
    if (m_stopped || job.lines.isEmpty() || job.generation != m_generation || !item || !isInStore(*item)) {
        releaseKeys(job, int(job.priority));
        return;
    }
    for (const Line &line : std::as_const(job.lines))
        m_pending.insert(keyFor(job, line.index), underWay);
    QByteArray base;
    if (tagsMatch(*item, HighlightThemes::rawValue(job.theme), job.isDark))
        base = item->highlightedLinesData().value_or(QByteArray());

    QList<Line> sent;
    QList<std::pair<int, AttributedText>> blanks;
    for (const Line &line : std::as_const(job.lines)) {
        if (CodePreviewLines::isBlank(line.text))
            blanks.append({ line.index, AttributedText::plain(line.text) });
        else
            sent.append(line);
    }
    QList<QFuture<HighlightResult>> requests;
    if (!sent.isEmpty()) {
        const HighlightColors colors
            = job.isDark ? HighlightColors::dark(job.theme) : HighlightColors::light(job.theme);
        const HighlightMode mode
            = job.language ? HighlightMode::language(*job.language) : HighlightMode::automatic();
        Highlight &engine = highlighter();
        requests.reserve(sent.size());
        for (const Line &line : std::as_const(sent))
            requests.append(engine.request(line.text, mode, colors));
    }

    auto combine
        = [sent, blanks, base, context = job.context](const QList<QFuture<HighlightResult>> &results) {
              Outcome outcome;
              outcome.lines = blanks;
              for (qsizetype i = 0; i < sent.size(); ++i) {
                  const QFuture<HighlightResult> &result = results.value(i);
                  // A request that failed or was cancelled (its engine went) has no result.
                  if (i < results.size() && !result.isCanceled() && result.isResultReadyAt(0))
                      outcome.lines.append({ sent[i].index, result.resultAt(0).attributedText });
                  else
                      outcome.failed.append(sent[i]);
              }
              outcome.base = base;
              outcome.merged = mergedBlob(base, outcome.lines, context);
              return outcome;
          };
    ++m_jobsInFlight;
    QFuture<Outcome> outcome = requests.isEmpty()
        ? QtConcurrent::run([combine] { return combine({}); })
        : QtFuture::whenAll(requests.begin(), requests.end()).then(QtFuture::Launch::Async, combine);
    thenWhileAlive(
        outcome, this, [this, job = std::move(job)](const Outcome &result) { finish(job, result); });
}

void HighlightCacheService::finish(const Job &job, const Outcome &outcome)
{
    --m_jobsInFlight;
    releaseKeys(job, underWay);
    const ClipboardItemPtr item = job.item.lock();
    if (job.generation == m_generation && item && isInStore(*item)) {
        for (const auto &[index, text] : outcome.lines)
            store(text, keyFor(job, index));
        if (!outcome.lines.isEmpty()) {
            const QString theme = HighlightThemes::rawValue(job.theme);
            const QByteArray current = tagsMatch(*item, theme, job.isDark)
                ? item->highlightedLinesData().value_or(QByteArray())
                : QByteArray();
            // Someone wrote the lines since the job began: merged again with what is there now.
            const QByteArray blob
                = current == outcome.base ? outcome.merged : mergedBlob(current, outcome.lines, job.context);
            item->setHighlightedLinesData(blob);
            item->setHighlightedLinesTheme(theme);
            item->setHighlightedLinesIsDark(job.isDark);
            m_savedItems.push_back(item);
            scheduleSave(item->modelContext());
        }
        if (!outcome.failed.isEmpty())
            scheduleRetry(job, outcome.failed);
        if (!outcome.lines.isEmpty())
            Q_EMIT linesHighlighted(job.itemId);
        if (!outcome.failed.isEmpty())
            Q_EMIT linesFailed(job.itemId, int(outcome.failed.size()));
    }
    pump();
}

void HighlightCacheService::scheduleRetry(Job job, const QList<Line> &failed)
{
    const qint64 pause = m_retryPauseMs * job.attempt;
    const qint64 until = m_clock->nowMs() + pause;
    for (const Line &line : failed)
        rest(keyFor(job, line.index), until);
    if (job.attempt >= maxAttempts)
        return; // rows that show these lines still ask again once the pause is over
    job.lines = failed;
    ++job.attempt;
    ++m_retriesWaiting;
    m_clock->runAfter(std::chrono::milliseconds(pause), this, [this, job = std::move(job)]() mutable {
        --m_retriesWaiting;
        if (job.generation != m_generation) {
            pump();
            return;
        }
        for (const Line &line : std::as_const(job.lines))
            m_restingUntil.remove(keyFor(job, line.index));
        // A row may have asked for some of them again meanwhile, and got them.
        job.lines.removeIf([&](const Line &line) { return m_memory.contains(keyFor(job, line.index)); });
        enqueue(std::move(job));
        pump();
    });
}

void HighlightCacheService::rest(const CacheKey &key, qint64 until)
{
    // A rest that is over tells nothing any more; with the engine failing every time (its script
    // missing), the rests of every line ever asked for would pile up. They go when the records
    // have doubled since the last look: the work stays in proportion to the lines failing now.
    if (m_restingUntil.size() >= m_restsLookedAtFrom) {
        const qint64 now = m_clock->nowMs();
        m_restingUntil.removeIf([now](const auto &entry) { return entry.value() <= now; });
        m_restsLookedAtFrom = std::max(minRestsLookedAt, 2 * m_restingUntil.size());
    }
    m_restingUntil.insert(key, until);
}

void HighlightCacheService::persistLines(ClipboardItem &item,
    const QList<std::pair<int, AttributedText>> &lines, bool isDark, HighlightTheme theme,
    const QString &context)
{
    if (!isInStore(item))
        return;
    const QString themeName = HighlightThemes::rawValue(theme);
    const QByteArray base = tagsMatch(item, themeName, isDark)
        ? item.highlightedLinesData().value_or(QByteArray())
        : QByteArray();
    item.setHighlightedLinesData(mergedBlob(base, lines, context));
    item.setHighlightedLinesTheme(themeName);
    item.setHighlightedLinesIsDark(isDark);
}

void HighlightCacheService::scheduleSave(ModelContext *context)
{
    if (context && !m_contextsToSave.contains(context))
        m_contextsToSave.append(context);
    if (m_saveScheduled)
        return;
    m_saveScheduled = true;
    // One save for the lines that arrive together, after the event loop's turn.
    QTimer::singleShot(0, this, &HighlightCacheService::saveNow);
}

void HighlightCacheService::saveNow()
{
    m_saveScheduled = false;
    const QList<QPointer<ModelContext>> contexts = std::exchange(m_contextsToSave, {});
    for (const QPointer<ModelContext> &context : contexts) {
        if (!context)
            continue;
        const ModelContext::SaveResult result = context->save();
        if (!result.ok)
            printDiagnostic(
                QStringLiteral("[HighlightCacheService] Saving highlighted lines failed: ") + result.error);
    }
    // Written: the items need not hold their lines' bytes any more (read again when needed).
    for (const std::weak_ptr<ClipboardItem> &saved : std::exchange(m_savedItems, {})) {
        if (const ClipboardItemPtr item = saved.lock())
            item->releaseExternalData();
    }
    announceIfIdle();
}
