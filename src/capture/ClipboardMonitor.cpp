// The poll, the reading of each change and the history pruning of ClipboardMonitor; the
// classification and the saving are in ClipboardMonitorClassification.cpp and
// ClipboardMonitorSaving.cpp.
#include "capture/ClipboardMonitor.h"

#include "capture/AdultFilter.h"
#include "capture/CaptureLimits.h"
#include "capture/CaptureLists.h"
#include "capture/ContentExclusion.h"
#include "capture/PasteboardSnapshot.h"
#include "common/Diagnostics.h"
#include "common/EventLoopWait.h"
#include "common/NotificationCenter.h"
#include "common/ThenWhileAlive.h"
#include "model/ModelContainer.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <limits>

namespace {

QPointer<ClipboardMonitor> g_shared;

// Chrome writes the clipboard late; a change read while it is in front may still be empty.
bool isChromium(const std::optional<QString> &bundleIdentifier)
{
    return bundleIdentifier
        && (bundleIdentifier->contains(u"chrome") || bundleIdentifier->contains(u"Chrome")
            || bundleIdentifier->contains(u"chromium", Qt::CaseInsensitive));
}

const QString panelSizeKey = QStringLiteral("ClipboardPanelSize");

} // namespace

ClipboardMonitor *ClipboardMonitor::shared()
{
    return g_shared.data();
}

ClipboardMonitor::ClipboardMonitor(ModelContainer &container, Pasteboard &pasteboard, Workspace &workspace,
    AppSettings &settings, UserDefaults &defaults, QObject *parent)
    : QObject(parent)
    , m_container(container)
    , m_pasteboard(pasteboard)
    , m_workspace(workspace)
    , m_databaseActor(std::make_unique<ClipboardDatabaseActor>(container))
    , m_settings(settings)
    , m_defaults(defaults)
    , m_clock(&Clock::system())
    , m_pollTimer(*m_clock, std::chrono::milliseconds(pollIntervalMs), [this] { checkForChanges(); })
    , m_staleHistoryTimer(*m_clock, std::chrono::milliseconds(staleHistoryIntervalMs),
          [this] {
              m_staleHistoryTimer.start();
              pruneStaleHistory(m_settings.historyRetention());
          })
    , m_themeDebounce(*m_clock, std::chrono::milliseconds(themeDebounceMs),
          [this] { Q_EMIT codePreviewsRefreshRequested(true); })
    , m_saveRetry(*m_clock, std::chrono::milliseconds(saveRetryIntervalMs), [this] { retryPendingSaves(); })
    , m_lastChangeCount(pasteboard.changeCount())
    , m_lastProcessedMs(std::numeric_limits<qint64>::min() / 2)
{
    g_shared = this;
    // At the change the owner went, not when the app is told: a copy counted in between has an
    // owner.
    connect(&pasteboard, &Pasteboard::ownerLeft, this, [this](qint64 atChange) {
        m_ownerLeftAt = atChange;
        putBackAfterOwnerLeft();
    });
    // The main thread never folds the store's log in itself: this monitor's actor does, as
    // SQLite would have, without holding up the writes of others.
    container.setLogCheckpointer(this,
        [this] { return m_databaseActor->checkpointWAL(ClipboardDatabaseActor::CheckpointMode::passive); });

    NotificationCenter::defaultCenter().addObserver(
        Notifications::codeThemeChanged, this, [this](const QVariantMap &) { m_themeDebounce.start(); });

    // Stored code items that lack their highlighted preview get one; whoever does the
    // highlighting connects right after creation.
    QTimer::singleShot(0, this, [this] { Q_EMIT codePreviewsRefreshRequested(false); });
}

ClipboardMonitor::~ClipboardMonitor() = default;

void ClipboardMonitor::setClock(Clock &clock)
{
    m_clock = &clock;
    for (ClockTimer *timer : { &m_pollTimer, &m_staleHistoryTimer, &m_themeDebounce, &m_saveRetry })
        timer->setClock(clock);
}

void ClipboardMonitor::startMonitoring()
{
    m_monitoring = true;
    scheduleChangeTimer();
    enforceHistoryLimit();
    pruneStaleHistory(m_settings.historyRetention());
    m_staleHistoryTimer.start();
    // Read on the pool from now on: a capture's checks wait for them there (captureClipboard).
    (void)CaptureLists::loaded();
}

void ClipboardMonitor::stop()
{
    m_monitoring = false;
    m_pollTimer.stop();
    m_staleHistoryTimer.stop();
}

void ClipboardMonitor::track(QFuture<void> step)
{
    ++m_stepsUnderWay;
    const QPointer<ClipboardMonitor> alive(this);
    const auto ended = [alive] {
        if (alive)
            alive->stepEnded();
    };
    // The step ends on the main thread (thenWhileAlive), and is counted out in the same turn: a
    // quit that looks between the two would take a copy already saved for one still under way.
    // However it ended: a cancelled step is made an ended one first, as a continuation runs after
    // a step that failed but not after one cancelled. Counted as under way for good, it would hold
    // every later quit for the whole wait.
    step.onCanceled([] {}).then(QtFuture::Launch::Sync, [ended](const QFuture<void> &) { ended(); });
}

void ClipboardMonitor::stepEnded()
{
    if (--m_stepsUnderWay == 0 && m_endWait)
        m_endWait->end();
}

bool ClipboardMonitor::waitUntilEnded(QDeadlineTimer deadline)
{
    // What the X server said about the clipboard since the loop last turned.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const qint64 changeCount = m_pasteboard.changeCount();
    if (changeCount != m_lastChangeCount)
        acceptChange(changeCount);
    EventLoopWait wait;
    if (m_stepsUnderWay == 0)
        wait.end();
    m_endWait = &wait;
    const bool ended = wait.run(deadline);
    m_endWait = nullptr;
    return ended;
}

void ClipboardMonitor::scheduleChangeTimer()
{
    if (m_monitoring)
        m_pollTimer.start();
}

void ClipboardMonitor::checkForChanges()
{
    const qint64 changeCount = m_pasteboard.changeCount();
    if (changeCount == m_lastChangeCount) {
        scheduleChangeTimer();
        return;
    }
    const qint64 now = m_clock->nowMs();
    if (now - m_lastProcessedMs < minimumChangeIntervalMs) {
        // Not lost: the count stays unaccepted, so a later tick takes the change.
        scheduleChangeTimer();
        return;
    }
    scheduleChangeTimer();
    m_lastProcessedMs = now;
    acceptChange(changeCount);
}

void ClipboardMonitor::acceptChange(qint64 changeCount)
{
    m_lastChangeCount = changeCount;
    if (m_ignoreNextChange) {
        m_ignoreNextChange = false;
        // Only the app's own write is skipped: a copy that another application made in the
        // same tick has replaced it, and is the user's.
        if (m_pasteboard.ownsContents())
            return;
    }
    captureClipboard(0);
}

void ClipboardMonitor::captureClipboard(int retryCount)
{
    const qint64 change = m_lastChangeCount;
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    const QFuture<PasteboardSnapshot> reading
        = m_pasteboard.readContents(PasteboardSnapshot::requests(), CaptureLimits::reading)
              .then(QtFuture::Launch::Async,
                  [front](const PasteboardContents &contents) {
                      // Decoding a long text takes long: it happens here, off the GUI thread.
                      return PasteboardSnapshot::make(contents, front);
                  })
              // The checks on this thread consult the lists: it never waits for their reading.
              .then([](const PasteboardSnapshot &snapshot) {
                  return CaptureLists::loaded().then([snapshot] { return snapshot; });
              })
              .unwrap();
    track(thenWhileAlive(reading, this, [this, retryCount, change](const PasteboardSnapshot &snapshot) {
        handleReading(snapshot, retryCount, change);
    }));
}

void ClipboardMonitor::handleReading(const PasteboardSnapshot &snapshot, int retryCount, qint64 change)
{
    const bool fromPasswordManager = ContentExclusion::isPasswordManagerSource(snapshot.types,
        snapshot.passwordManagerHint, snapshot.sourceBundleIdentifier, snapshot.chromiumSourceURL);
    if (m_settings.filterPasswords() && fromPasswordManager) {
        Q_EMIT changeDiscarded();
        return;
    }
    // What the owner did not send may be what marks the copy as a password: a reading that
    // stopped short is not kept at all.
    if (!snapshot.complete) {
        printDiagnostic(QStringLiteral("[ClipboardMonitor] A copy was not kept: the application that "
                                       "made it stopped answering before it was read whole"));
        Q_EMIT changeDiscarded();
        return;
    }
    if (snapshot.refusal) {
        printDiagnostic(QStringLiteral("[ClipboardMonitor] ") + *snapshot.refusal);
        Q_EMIT changeDiscarded();
        return;
    }
    if (m_settings.filterAdultContent()) {
        const std::optional<QString> page = snapshot.chromiumSourceURL
            ? snapshot.chromiumSourceURL
            : ContentExclusion::frontBrowserURL(snapshot.sourceBundleIdentifier);
        if (page && AdultFilter::isAdultURL(*page)) {
            Q_EMIT changeDiscarded();
            return;
        }
    }

    const bool noFiles = !snapshot.files || snapshot.files->isEmpty();
    const bool imageLate = snapshot.announcesImage() && snapshot.image.isEmpty() && noFiles;
    const bool chromiumEmpty = isChromium(snapshot.sourceBundleIdentifier) && snapshot.types.isEmpty();
    if ((imageLate || chromiumEmpty) && retryCount < maxCaptureRetries) {
        scheduleRetry(retryCount);
        return;
    }

    track(thenWhileAlive(processClipboardContent(snapshot), this,
        [this, fromPasswordManager, change](const std::optional<CapturedContent> &captured) {
            if (!captured) {
                Q_EMIT changeDiscarded();
                return;
            }
            captured->item->computeSearchableText();
            save(PendingSave { captured->item, fromPasswordManager, captured->fileURL, 0, change });
        }));
}

void ClipboardMonitor::scheduleRetry(int retryCount)
{
    ++m_stepsUnderWay;
    m_clock->runAfter(std::chrono::milliseconds(captureRetryIntervalMs), this, [this, retryCount] {
        // A newer change belongs to the poll.
        if (m_pasteboard.changeCount() == m_lastChangeCount)
            captureClipboard(retryCount + 1);
        stepEnded();
    });
}

QFuture<void> ClipboardMonitor::enforceHistoryLimit()
{
    return m_databaseActor->pruneToLimit(m_settings.historyLimit());
}

QFuture<void> ClipboardMonitor::pruneStaleHistory(AppSettings::HistoryRetention retention)
{
    return thenWhileAlive(
        m_databaseActor->pruneOlderThan(double(int(retention))), this, [this](bool unpinnedHistoryGone) {
            // The panel was sized for a history that is no more: it opens at its default size.
            if (unpinnedHistoryGone)
                m_defaults.removeObject(panelSizeKey);
        });
}
