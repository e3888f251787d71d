#pragma once

#include "capture/DuplicateLookup.h"
#include "common/ClockTimer.h"
#include "common/Stoppable.h"
#include "model/AppSettings.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/ClipboardItem.h"
#include "model/ModelContext.h"
#include "model/PersistentIdentifier.h"
#include "model/StoreFailure.h"
#include "platform/UserDefaults.h"

#include <QFuture>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class CodeClassifier;
class EventLoopWait;
class ModelContainer;
class Pasteboard;
class Workspace;
struct PasteboardSnapshot;

// Watches the clipboard for the whole run: polls its change count, reads each new change,
// keeps out what must not be stored, classifies the rest and saves it to the history.
// Main thread only; the slow parts (reading another application's clipboard, decoding
// pictures, detecting code) run elsewhere and come back here.
class ClipboardMonitor final : public QObject, public Stoppable
{
    Q_OBJECT
public:
    // The most recently created monitor; nullptr before the first and after it is gone.
    static ClipboardMonitor *shared();

    // Whatever is on the clipboard when the monitor is created is never captured. The
    // settings decide what is kept and how much; the user defaults hold the panel's size,
    // forgotten when the unpinned history empties. Both must outlive the monitor.
    ClipboardMonitor(ModelContainer &container, Pasteboard &pasteboard, Workspace &workspace,
        AppSettings &settings, UserDefaults &defaults, QObject *parent = nullptr);
    ~ClipboardMonitor() override;

    // Starts the poll and the history pruning.
    void startMonitoring();
    // Stops them (at quit): no later copy is read. Copies waiting for a locked store stay.
    void stop() override;
    // At quit, after stop(): a change the poll has not seen yet is read now, and the captures
    // under way are let end, until the deadline, so that what the user copied just before the end
    // is kept. Runs the event loop meanwhile (user input left out). False when a capture had not
    // ended by then.
    bool waitUntilEnded(QDeadlineTimer deadline) override;
    // Steps of captures (a reading, a classification, a save, a retry) not ended yet.
    int captureStepsUnderWay() const { return m_stepsUnderWay; }
    // At quit, once no capture can go on (the event loop no longer turns): the copies whose
    // capture had not reached the store. Not counted: a copy the store's actor has written, though
    // what follows on the main thread has not run, nor one it is writing still (the quit names a
    // write it left behind).
    int copiesNotKept() const { return m_stepsUnderWay - m_writingInBackground->load(); }

    // Set before the app writes to the clipboard itself: the next accepted change is
    // skipped instead of captured when the app still owns the clipboard's contents (another
    // application's copy in the same tick is captured), and the flag clears.
    bool ignoreNextChange() const { return m_ignoreNextChange; }
    void setIgnoreNextChange(bool ignore) { m_ignoreNextChange = ignore; }

    // Store maintenance on the monitor's own database actor, after the panel's changes.
    QFuture<void> runCheckpointWAL() { return m_databaseActor->checkpointWAL(); }

    ModelContainer &modelContainer() const { return m_container; }
    ClipboardDatabaseActor &databaseActor() const { return *m_databaseActor; }

    // Without a code classifier every text is stored as text, without detector fields. The
    // classifier is not owned and must outlive the monitor.
    void setCodeClassifier(CodeClassifier *classifier) { m_codeClassifier = classifier; }
    // The time of the poll, the minimum interval, the retries and the debounce; tests move it
    // by hand. Set before monitoring starts.
    void setClock(Clock &clock);

    static constexpr int pollIntervalMs = 100;
    // Accepted changes are at least this far apart; a change that comes sooner waits.
    static constexpr int minimumChangeIntervalMs = 250;
    // A change whose picture is announced but not there yet is read again.
    static constexpr int captureRetryIntervalMs = 100;
    static constexpr int maxCaptureRetries = 10;
    static constexpr int staleHistoryIntervalMs = 30'000;
    static constexpr int themeDebounceMs = 1000;
    // Texts up to this many UTF-16 units are tested for being a link or a colour.
    static constexpr qsizetype classificationTextLimit = 100'000;
    static constexpr qsizetype previewLength = 200;
    // A copied file's identity on disk is kept when the disk gives it within this time.
    static constexpr std::chrono::milliseconds bookmarkLimit { 2000 };

    // One poll tick: accepts a new change (at most one per minimumChangeIntervalMs) and
    // captures it. While monitoring, every tick schedules the next.
    void checkForChanges();
    qint64 lastChangeCount() const { return m_lastChangeCount; }

    // Reads the clipboard and stores what it holds (retryCount 0 for a new change).
    void captureClipboard(int retryCount);

    struct CapturedContent
    {
        ClipboardItemPtr item; // new, not inserted
        std::optional<QUrl> fileURL; // the first file of a file or media item
    };
    // Classifies a reading and builds its item; nothing when it yields no entry (a file in
    // the trash, an excluded or adult link, nothing usable). Inserts and saves nothing.
    QFuture<std::optional<CapturedContent>> processClipboardContent(const PasteboardSnapshot &snapshot);

    // Puts a new item into the history: a repeat of a stored item moves that item to the
    // top instead, a repeat of a pinned item is inserted as a reference to it, and the
    // history is trimmed to the limit before an insertion (pinned items always stay).
    // A copy that cannot be saved is taken back out of the main context, so that it holds
    // up no later copy; when the store is only locked for a moment it is tried again
    // (every saveRetryIntervalMs, at most maxSaveAttempts times), otherwise it is dropped
    // and storeFailed tells why.
    void saveClipboardItem(
        const ClipboardItemPtr &item, bool fromPasswordManager, const std::optional<QUrl> &fileURL);
    static constexpr int saveRetryIntervalMs = 250;
    static constexpr int maxSaveAttempts = 40;
    // A text, or a list of files, whose whole takes more bytes than this is saved by the
    // database actor: writing it would hold the main thread (the item shows once it is in
    // the store).
    static constexpr qsizetype backgroundSaveBytes = 1024 * 1024;
    // Copies waiting for a locked store are tried once more (at quit).
    void savePendingItems();
    qsizetype pendingSaveCount() const { return m_pendingSaves.size(); }

    // Deletes unpinned items beyond the history limit, on the database actor.
    QFuture<void> enforceHistoryLimit();
    // Deletes unpinned items older than the retention; when that empties the unpinned
    // history, the panel's remembered size is forgotten.
    QFuture<void> pruneStaleHistory(AppSettings::HistoryRetention retention);

Q_SIGNALS:
    // A capture reached the store. isNew is false for a repeat, whose identifier is then
    // the stored item that moved to the top.
    void itemSaved(PersistentIdentifier identifier, ClipboardItemType kind, bool isNew);
    // A change was read and left nothing in the store (filtered, nothing to keep, too
    // large, or it could not be saved).
    void changeDiscarded();
    // A copy could not be saved. Told once per cause for the life of the monitor; the log
    // has a line for every copy lost.
    void storeFailed(const StoreFailure &failure);

    // Where the background enrichment starts, after an item was saved: each names the
    // stored item by its persistent identifier (an item may be gone by the time the work
    // is done). Highlighted preview lines for a code item:
    void codePreviewRequested(PersistentIdentifier identifier);
    // Title, description and pictures of a link:
    void linkMetadataRequested(PersistentIdentifier identifier, const QUrl &url);
    // The large preview of a picture copied as data:
    void mediaPreviewRequested(PersistentIdentifier identifier);
    // The cover art of an audio file (ImageExtraction::loadMediaMetadata):
    void audioArtworkRequested(PersistentIdentifier identifier, const QUrl &fileURL);
    // Highlighted previews of the stored code items: those lacking one (force false, once
    // after creation) or all of them (force true, a second after the theme last changed).
    void codePreviewsRefreshRequested(bool force);
    // The program whose copy the history holds newest let go of the clipboard (it quit) with
    // nothing copied since: the item is to be put back in its place, as no new change
    // (Pasteboard::restoreContents). Never a copy that was not kept, nor a password manager's.
    void copyOutlivedItsProgram(const ClipboardItemPtr &item);

private:
    void scheduleChangeTimer();
    // The clipboard change a reading was made for goes with it to the store.
    void handleReading(const PasteboardSnapshot &snapshot, int retryCount, qint64 change);
    void scheduleRetry(int retryCount);
    // Counts the step as under way until it has ended, whether it ran, was skipped or cancelled.
    void track(QFuture<void> step);
    void stepEnded();
    void acceptChange(qint64 changeCount);

    QFuture<std::optional<CapturedContent>> imageContent(const PasteboardSnapshot &snapshot);
    static QFuture<std::optional<CapturedContent>> fileContent(const PasteboardSnapshot &snapshot);
    QFuture<std::optional<CapturedContent>> textContent(const PasteboardSnapshot &snapshot);
    // A text that is one link: its item, or nothing when the link is kept out.
    std::optional<CapturedContent> linkContent(const PasteboardSnapshot &snapshot, const QString &link) const;
    // Any other text: built on a worker thread, then given to the code detectors.
    QFuture<std::optional<CapturedContent>> plainTextContent(const PasteboardSnapshot &snapshot);
    // A text item as it is, or as code when both detectors' answers say so (the item is
    // none when the text was kept out).
    QFuture<std::optional<CapturedContent>> classifyText(
        const ClipboardItemPtr &item, const QString &detectionText);

    struct PendingSave
    {
        ClipboardItemPtr item;
        bool fromPasswordManager = false;
        std::optional<QUrl> fileURL;
        int attempts = 0;
        // The clipboard change it was read from; none for an item saved by hand.
        std::optional<qint64> change;
    };
    // What saving a copy does in a context before the context is saved: the item now at the
    // top of the history (the copy, or the stored item it repeats), and the stored item it
    // repeats, if any.
    struct Placement
    {
        ClipboardItemPtr saved;
        ClipboardItemPtr match;
        bool isNew = true;
    };
    void save(const PendingSave &pending);
    static bool savesInBackground(const ClipboardItem &item);
    static Placement place(ModelContext &context, const PendingSave &pending, qint64 historyLimit);
    void saveInBackground(const PendingSave &pending);
    bool commit(ModelContext &context, const ModelContext::PendingMark &mark, const PendingSave &pending);
    void handleSaveFailure(const ModelContext::SaveResult &result, const PendingSave &pending);
    void announceSaved(const PendingSave &pending, const Placement &placed);
    void putBackAfterOwnerLeft();
    void retryPendingSaves();
    void reportStoreFailure(const StoreFailure &failure);
    static void trimHistory(ModelContext &context, qint64 historyLimit);
    void startBackgroundWorkForNewItem(const ClipboardItem &item, const std::optional<QUrl> &fileURL);
    void startBackgroundWorkForRepeat(const ClipboardItem &item, const ClipboardItem &match);

    ModelContainer &m_container;
    Pasteboard &m_pasteboard;
    Workspace &m_workspace;
    std::unique_ptr<ClipboardDatabaseActor> m_databaseActor;
    AppSettings &m_settings;
    UserDefaults &m_defaults;
    CodeClassifier *m_codeClassifier = nullptr;
    Clock *m_clock;
    DuplicateLookup m_duplicates;

    ClockTimer m_pollTimer;
    ClockTimer m_staleHistoryTimer;
    ClockTimer m_themeDebounce;
    ClockTimer m_saveRetry;
    QList<PendingSave> m_pendingSaves;
    QSet<int> m_reportedFailures;
    bool m_monitoring = false;
    int m_stepsUnderWay = 0;
    // Copies the store's actor is writing, or has written, whose step has not ended yet; shared
    // with its jobs.
    std::shared_ptr<std::atomic<int>> m_writingInBackground = std::make_shared<std::atomic<int>>(0);
    // The quit's wait for the captures under way, while it runs.
    EventLoopWait *m_endWait = nullptr;
    qint64 m_lastChangeCount = 0;
    bool m_ignoreNextChange = false;
    qint64 m_lastProcessedMs;
    // The newest copy kept from the clipboard, by the change it was read from, while it may be
    // put back; and the change at which the clipboard's owner last left it empty.
    struct KeptCopy
    {
        qint64 change = 0;
        PersistentIdentifier item;
    };
    std::optional<KeptCopy> m_lastKept;
    std::optional<qint64> m_ownerLeftAt;
};
