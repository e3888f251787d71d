// ClipboardMonitor: putting a new item into the history without duplicates, within the
// history limit, then starting the background work on it.
#include "capture/ClipboardMonitor.h"
#include "capture/LinkDetector.h"
#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "common/ThenWhileAlive.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/Pasteboard.h"

namespace {

// The web address of a link item, when its text is one: the link as it goes over the wire (its
// text is kept as the user copied it, "https://münchen.de/straße" say).
std::optional<QUrl> linkURL(const ClipboardItem &item)
{
    const std::optional<QString> text = item.textContent();
    const std::optional<QString> encoded = text ? LinkDetector::encodedLink(*text) : std::nullopt;
    if (!encoded)
        return std::nullopt;
    const QUrl url = QUrl::fromEncoded(encoded->toUtf8());
    return url.isValid() ? std::optional<QUrl>(url) : std::nullopt;
}

} // namespace

void ClipboardMonitor::saveClipboardItem(
    const ClipboardItemPtr &item, bool fromPasswordManager, const std::optional<QUrl> &fileURL)
{
    save(PendingSave { item, fromPasswordManager, fileURL, 0, std::nullopt });
}

void ClipboardMonitor::save(const PendingSave &pending)
{
    if (savesInBackground(*pending.item)) {
        saveInBackground(pending);
        return;
    }
    ModelContext &context = *m_container.mainContext();
    // What this copy changes is taken back if it cannot be saved, so that it never holds up
    // the copies after it.
    const ModelContext::PendingMark mark = context.pendingMark();
    const Placement placed = place(context, pending, m_settings.historyLimit());
    if (!commit(context, mark, pending))
        return;
    announceSaved(pending, placed);
}

bool ClipboardMonitor::savesInBackground(const ClipboardItem &item)
{
    for (const std::optional<QByteArray> &whole :
        { item.extendedTextData(), item.additionalFileURLListData() }) {
        if (whole && whole->size() > backgroundSaveBytes)
            return true;
    }
    return false;
}

ClipboardMonitor::Placement ClipboardMonitor::place(
    ModelContext &context, const PendingSave &pending, qint64 historyLimit)
{
    const ClipboardItemPtr &item = pending.item;
    const ClipboardItemPtr match = DuplicateLookup().findDuplicate(*item, context);

    if (match && !match->isPinned()) {
        match->setTimestamp(QDateTime::currentDateTimeUtc());
        if (!match->pinnedReference() && item->type() == ClipboardItemType::code
            && match->type() == ClipboardItemType::text) {
            match->setItemType(rawValue(ClipboardItemType::code));
            match->setCodeLanguage(item->codeLanguage());
            match->setCodeConfidence(item->codeConfidence());
        }
        if (const std::optional<QString> html = item->htmlContent())
            match->setHtmlContent(html);
        if (const std::optional<QString> source = item->sourceAppBundleIdentifier()) {
            match->setSourceAppBundleIdentifier(source);
            match->setSourceAppName(item->sourceAppName());
        }
        if (pending.fromPasswordManager)
            match->setIsFromPasswordManager(true);
        return { match, match, false };
    }

    if (match) {
        // A repeat of a pinned item: a history entry that shows the pinned one. It keeps
        // its own content, so that it still shows and pastes it once the pinned item is
        // deleted.
        item->setPinnedReference(match);
    }
    trimHistory(context, historyLimit);
    if (pending.fromPasswordManager)
        item->setIsFromPasswordManager(true);
    context.insert(item);
    return { item, match, true };
}

void ClipboardMonitor::announceSaved(const PendingSave &pending, const Placement &placed)
{
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
    Q_EMIT itemSaved(placed.saved->persistentModelID(), placed.saved->type(), placed.isNew);
    if (placed.match)
        startBackgroundWorkForRepeat(*pending.item, *placed.match);
    else
        startBackgroundWorkForNewItem(*placed.saved, pending.fileURL);
    if (!pending.change)
        return;
    // A password manager empties the clipboard on purpose: its copy is never put back.
    if (pending.fromPasswordManager || placed.saved->isFromPasswordManager())
        m_lastKept.reset();
    else
        m_lastKept = KeptCopy { *pending.change, placed.saved->persistentModelID() };
    // The program may have quit while its copy was being read or saved.
    putBackAfterOwnerLeft();
}

void ClipboardMonitor::putBackAfterOwnerLeft()
{
    // Only the copy that the clipboard held when its owner left, with nothing copied since.
    const qint64 now = m_pasteboard.changeCount();
    if (m_ownerLeftAt != now || !m_lastKept || m_lastKept->change != now)
        return;
    m_ownerLeftAt.reset();
    const ClipboardItemPtr item = m_container.mainContext()->model(m_lastKept->item);
    if (item && !item->isDeleted())
        Q_EMIT copyOutlivedItsProgram(item);
}

void ClipboardMonitor::saveInBackground(const PendingSave &pending)
{
    // Written by the store actor: tens of megabytes of text would hold the interface while
    // they are written. The main context takes the item in as a change made elsewhere.
    struct Saved
    {
        ModelContext::SaveResult result;
        PersistentIdentifier saved;
        std::optional<PersistentIdentifier> match;
        bool isNew = true;
    };
    const qint64 limit = m_settings.historyLimit();
    QFuture<Saved> saving
        = m_databaseActor->perform([pending, limit, writing = m_writingInBackground](ModelContext &context) {
              ++*writing;
              const ModelContext::PendingMark mark = context.pendingMark();
              const Placement placed = place(context, pending, limit);
              Saved saved { context.save(), {}, {}, placed.isNew };
              if (!saved.result.ok) {
                  --*writing;
                  context.rollbackTo(mark);
                  pending.item->setPinnedReference(nullptr);
                  return saved;
              }
              saved.saved = placed.saved->persistentModelID();
              if (placed.match)
                  saved.match = placed.match->persistentModelID();
              return saved;
          });
    track(thenWhileAlive(saving, this, [this, pending](const Saved &saved) {
        if (!saved.result.ok) {
            handleSaveFailure(saved.result, pending);
            return;
        }
        --*m_writingInBackground;
        // The same items as the main context sees them.
        ModelContext &main = *m_container.mainContext();
        const ClipboardItemPtr item = main.model(saved.saved);
        const ClipboardItemPtr match = saved.match ? main.model(*saved.match) : nullptr;
        if (!item || (saved.match && !match))
            return; // deleted meanwhile
        announceSaved(pending, Placement { item, match, saved.isNew });
    }));
}

bool ClipboardMonitor::commit(
    ModelContext &context, const ModelContext::PendingMark &mark, const PendingSave &pending)
{
    const ModelContext::SaveResult result = context.save();
    if (result.ok)
        return true;
    context.rollbackTo(mark);
    // A later try looks for the repeated item again.
    pending.item->setPinnedReference(nullptr);
    handleSaveFailure(result, pending);
    return false;
}

void ClipboardMonitor::handleSaveFailure(const ModelContext::SaveResult &result, const PendingSave &pending)
{
    const StoreFailure failure { StoreFailure::causeOf(result.resultCode), m_container.storePath(),
        result.error };
    // Another connection (store maintenance, another program) holds the store for a moment:
    // the copy waits in memory and is tried again, without the main thread waiting.
    if (failure.isTransient() && pending.attempts < maxSaveAttempts) {
        PendingSave again = pending;
        ++again.attempts;
        m_pendingSaves.append(again);
        if (!m_saveRetry.isActive())
            m_saveRetry.start();
        return;
    }
    reportStoreFailure(failure);
    Q_EMIT changeDiscarded();
}

void ClipboardMonitor::retryPendingSaves()
{
    const QList<PendingSave> waiting = std::exchange(m_pendingSaves, {});
    for (const PendingSave &pending : waiting)
        save(pending);
}

void ClipboardMonitor::savePendingItems()
{
    m_saveRetry.stop();
    const QList<PendingSave> waiting = std::exchange(m_pendingSaves, {});
    for (PendingSave pending : waiting) {
        // The last try: a failure now is reported, not put off.
        pending.attempts = maxSaveAttempts;
        save(pending);
    }
}

void ClipboardMonitor::reportStoreFailure(const StoreFailure &failure)
{
    printDiagnostic(QStringLiteral("[ClipboardMonitor] A copy was not saved to %1: %2")
                        .arg(failure.storePath, failure.detail));
    if (m_reportedFailures.contains(int(failure.cause)))
        return;
    m_reportedFailures.insert(int(failure.cause));
    Q_EMIT storeFailed(failure);
}

void ClipboardMonitor::trimHistory(ModelContext &context, qint64 historyLimit)
{
    // Room for one more: every unpinned item beyond the newest limit − 1 goes. The limit
    // is at least 1 whatever the setting says.
    ClipboardDatabaseActor::removeUnpinnedBeyondNewest(context, std::max<qint64>(1, historyLimit) - 1);
}

void ClipboardMonitor::startBackgroundWorkForNewItem(
    const ClipboardItem &item, const std::optional<QUrl> &fileURL)
{
    const PersistentIdentifier identifier = item.persistentModelID();
    const ClipboardItemType kind = item.type();
    if (fileURL && item.mediaSubtype() == MediaSubtype::audio)
        Q_EMIT audioArtworkRequested(identifier, *fileURL);
    if (kind == ClipboardItemType::link) {
        if (const std::optional<QUrl> url = linkURL(item))
            Q_EMIT linkMetadataRequested(identifier, *url);
    }
    if (kind == ClipboardItemType::media && item.fileURL() == fileURL)
        Q_EMIT mediaPreviewRequested(identifier);
    if (kind == ClipboardItemType::code)
        Q_EMIT codePreviewRequested(identifier);
}

void ClipboardMonitor::startBackgroundWorkForRepeat(const ClipboardItem &item, const ClipboardItem &match)
{
    const ClipboardItemPtr reference = match.pinnedReference();
    const PersistentIdentifier target
        = reference ? reference->persistentModelID() : match.persistentModelID();
    if (item.type() == ClipboardItemType::link) {
        if (const std::optional<QUrl> url = linkURL(item))
            Q_EMIT linkMetadataRequested(target, *url);
    }
    if (item.type() == ClipboardItemType::code)
        Q_EMIT codePreviewRequested(target);
}
