#pragma once

#include "common/Clock.h"
#include "common/Stoppable.h"
#include "detection/highlight/AttributedText.h"
#include "detection/highlight/HighlightLanguage.h"
#include "model/ClipboardItem.h"
#include "model/HighlightTheme.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUuid>

#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <optional>

class AppSettings;
class Highlight;
class MemoryPressureMonitor;
class ModelContext;

// The highlighted lines of code items: a memory cache in front of the lines persisted inside
// each item, and the one highlighting engine of the application, which it starts on first
// need and runs off the main thread. Main thread only; the engine's work comes back here to
// be cached, persisted with its theme and appearance tags in one save, and announced.
//
// A line that could not be highlighted for a passing reason (the engine failed or was
// replaced while it worked) is neither cached nor persisted: it stays plain for now and is
// tried again after a pause, by the work that asked for it and by any row that shows it.
class HighlightCacheService final : public QObject, public Stoppable
{
    Q_OBJECT
public:
    // One highlighted line: of an item, at an index of its lines (CodePreviewLines), in an
    // appearance and a theme (its display name), for a display context.
    struct CacheKey
    {
        QUuid itemId;
        int lineIndex = 0;
        bool isDark = false;
        QString theme;
        QString context;

        friend bool operator==(const CacheKey &, const CacheKey &) = default;
        friend size_t qHash(const CacheKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.itemId, key.lineIndex, key.isDark, key.theme, key.context);
        }
    };

    // The context of the lines the capture highlights, which the rows and the preview show.
    static QString previewContext() { return QStringLiteral("preview"); }

    // Work that rows wait for goes first, then new captures, then refreshes.
    enum class Priority { visible, capture, background };

    struct Line
    {
        int index = 0;
        QString text;
    };

    // The application's instance, made on first use; it follows the shared settings and the
    // system's memory pressure.
    static HighlightCacheService &shared();

    explicit HighlightCacheService(QObject *parent = nullptr);
    ~HighlightCacheService() override;

    // The capacity follows this history limit (the default limit when none is set).
    void setSettings(AppSettings *settings);
    // Makes the engine when one is needed (tests point it at another script).
    void setHighlighterFactory(std::function<std::shared_ptr<Highlight>()> factory)
    {
        m_highlighterFactory = std::move(factory);
    }
    // The time of the pause before a failed line is tried again; tests move it by hand.
    void setClock(Clock &clock) { m_clock = &clock; }
    // Halves the cache whenever the monitor reports pressure; not owned.
    void setMemoryPressureMonitor(MemoryPressureMonitor *monitor);

    // -- The memory cache
    // Inserts or replaces a line; a stored key becomes the newest. Beyond the capacity the
    // oldest lines go.
    void store(const AttributedText &value, const CacheKey &key);
    // The line from memory, else from the item's persisted lines when they were made in this
    // theme and appearance (copied into memory then), else nothing. Never highlights.
    std::optional<AttributedText> cachedHighlight(
        const ClipboardItem &item, int lineIndex, bool isDark, HighlightTheme theme, const QString &context);
    // Forgets every line of one item (every context, theme and appearance), or of several.
    void invalidate(const QUuid &itemId);
    void invalidate(const QSet<QUuid> &itemIds);
    // Drops the older half (memory pressure).
    void trimCache();
    // Forgets every line, and every result still on its way (the theme changed).
    void clearMemoryCache();
    qsizetype cacheCount() const { return m_memory.size(); }
    // Oldest first.
    QList<CacheKey> cacheOrder() const { return QList<CacheKey>(m_order.begin(), m_order.end()); }
    // max(2000, 20 × the history limit) lines.
    qsizetype capacity() const;

    // -- The engine
    // Started on first use.
    Highlight &highlighter();
    bool hasHighlighter() const { return m_highlighter != nullptr; }
    // Lets the engine go (it is ended off the main thread); lines it was working on are tried
    // again later with a new one.
    void resetHighlighter();
    // How many engines were started in this run.
    int highlighterStartCount() const { return m_highlighterStarts; }
    // At quit, first: takes no more work, drops what is queued and stops the engine (its
    // script interrupted, what it had not begun cancelled) without waiting for its thread.
    void stop() override;
    // At quit, after stop(): waits for the engine's thread until the deadline and lets the
    // engine go. False when the thread had not ended by then (one stuck opening its script): it
    // is left to end by itself. What the engine still answered is put together on the shared
    // thread pool, which must still be there.
    bool waitUntilEnded(QDeadlineTimer deadline) override;

    // -- Highlighting and persisting
    // Highlights lines of the item in the background (language none: automatic detection),
    // caches them and persists them into the item, which is saved. Blank lines are stored
    // as they are and never reach the engine. Lines already being worked on, or resting
    // after a failure, are left out. Nothing happens for an item that leaves the store.
    void highlightLines(const ClipboardItemPtr &item, const QList<Line> &lines,
        std::optional<HighlightLanguage> language, bool isDark, HighlightTheme theme, const QString &context,
        Priority priority);
    // highlightLines() for all lines of an item, numbered from 0.
    void prehighlight(const QStringList &lines, const ClipboardItemPtr &item,
        std::optional<HighlightLanguage> language, bool isDark, HighlightTheme theme, const QString &context,
        Priority priority = Priority::capture);
    // Adds or replaces lines in the item's persisted lines: kept when those were made in the
    // same theme and appearance, else started afresh. The tags are written with the lines.
    void persistLines(ClipboardItem &item, const QList<std::pair<int, AttributedText>> &lines, bool isDark,
        HighlightTheme theme, const QString &context);

    // Whether the line is queued, being highlighted or resting after a failure.
    bool isPending(const CacheKey &key) const;
    // The lines known to have failed, whose rest may be over (those go now and then).
    qsizetype restCount() const { return m_restingUntil.size(); }
    // Whether the line has been handed to the engine and is not back yet.
    bool isUnderWay(const CacheKey &key) const;
    // Work queued or under way.
    int jobCount() const;
    // No work queued, under way, waiting to be tried again or to be saved.
    bool isIdle() const;

    // A failed line is tried again after a pause (this one times the attempts so far), by the
    // work that asked for it up to maxAttempts times, by a row whenever the pause is over.
    static constexpr qint64 defaultRetryPauseMs = 3000;
    static constexpr int maxAttempts = 3;
    void setRetryPause(qint64 milliseconds) { m_retryPauseMs = milliseconds; }
    // Jobs (one item's lines each) handed to the engine at once.
    static constexpr int maxJobsInFlight = 2;

Q_SIGNALS:
    // New lines of the item are in the cache.
    void linesHighlighted(const QUuid &itemId);
    // Lines of the item could not be highlighted this time (they rest, then are tried again).
    void linesFailed(const QUuid &itemId, int count);
    // An engine was started (the first highlight after start, or after a reset).
    void highlighterStarted(int count);
    // isIdle() became true.
    void idle();

private:
    struct Entry
    {
        AttributedText value;
        std::list<CacheKey>::iterator position;
    };
    struct Job
    {
        std::weak_ptr<ClipboardItem> item;
        QUuid itemId;
        QList<Line> lines;
        std::optional<HighlightLanguage> language;
        bool isDark = false;
        HighlightTheme theme = HighlightTheme::github;
        QString context;
        Priority priority = Priority::capture;
        int attempt = 1;
        quint64 generation = 0;
    };
    struct Outcome;

    CacheKey keyFor(const Job &job, int lineIndex) const;
    void enqueue(Job job);
    void pump();
    void start(Job job);
    void finish(const Job &job, const Outcome &outcome);
    void releaseKeys(const Job &job, int rank);
    void scheduleRetry(Job job, const QList<Line> &failed);
    void rest(const CacheKey &key, qint64 until);
    void scheduleSave(ModelContext *context);
    void saveNow();
    void announceIfIdle();
    void dropQueuedJobs();
    void evictOldest();
    void remove(const CacheKey &key);

    QHash<CacheKey, Entry> m_memory;
    std::list<CacheKey> m_order; // oldest first

    QPointer<AppSettings> m_settings;
    std::function<std::shared_ptr<Highlight>()> m_highlighterFactory;
    Clock *m_clock = &Clock::system();
    qint64 m_retryPauseMs = defaultRetryPauseMs;
    std::shared_ptr<Highlight> m_highlighter;
    // Stopped at quit, until waitUntilEnded() lets it go.
    std::shared_ptr<Highlight> m_stoppedEngine;
    int m_highlighterStarts = 0;
    bool m_stopped = false;
    QPointer<MemoryPressureMonitor> m_memoryPressure;
    QMetaObject::Connection m_memoryPressureConnection;

    std::deque<Job> m_queues[3]; // by priority
    int m_jobsInFlight = 0;
    int m_retriesWaiting = 0;
    QHash<CacheKey, int> m_pending; // queued (the queue's priority) or under way (-1)
    QHash<CacheKey, qint64> m_restingUntil; // failed, not to be tried before then
    // The rests that are over go once there are this many.
    qsizetype m_restsLookedAtFrom = minRestsLookedAt;
    static constexpr qsizetype minRestsLookedAt = 256;
    // Bumped when the cache is cleared: work begun before is dropped on return.
    quint64 m_generation = 0;

    QList<QPointer<ModelContext>> m_contextsToSave;
    std::list<std::weak_ptr<ClipboardItem>> m_savedItems;
    bool m_saveScheduled = false;
};
