// ClipboardMonitor: putting a new item into the history without duplicates, within the
// history limit, then starting the background work on it.
#include "capture/ClipboardMonitor.h"
#include "capture/UrlComponents.h"
#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <QSet>

namespace {

// The web address of a link item, when its text is one.
std::optional<QUrl> linkURL(const ClipboardItem &item)
{
    const std::optional<QString> text = item.textContent();
    if (!text || !UrlComponents::parse(*text))
        return std::nullopt;
    const QUrl url = QUrl::fromEncoded(text->toUtf8());
    return url.isValid() ? std::optional<QUrl>(url) : std::nullopt;
}

} // namespace

void ClipboardMonitor::saveClipboardItem(
    const ClipboardItemPtr &item, bool fromPasswordManager, const std::optional<QUrl> &fileURL)
{
    save(PendingSave { item, fromPasswordManager, fileURL, 0 });
}

void ClipboardMonitor::save(const PendingSave &pending)
{
    const ClipboardItemPtr &item = pending.item;
    ModelContext &context = *m_container.mainContext();
    // What this copy changes is taken back if it cannot be saved, so that it never holds up
    // the copies after it.
    const ModelContext::PendingMark mark = context.pendingMark();
    const ClipboardItemPtr match = m_duplicates.findDuplicate(*item, context);

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
        if (!commit(context, mark, pending))
            return;
        NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
        Q_EMIT itemSaved(match->persistentModelID(), match->type(), false);
        startBackgroundWorkForRepeat(*item, *match);
        return;
    }

    if (match) {
        // A repeat of a pinned item: a history entry that shows the pinned one. It keeps
        // its own content, so that it still shows and pastes it once the pinned item is
        // deleted.
        item->setPinnedReference(match);
    }
    trimHistory(context);
    if (pending.fromPasswordManager)
        item->setIsFromPasswordManager(true);
    context.insert(item);
    if (!commit(context, mark, pending))
        return;
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
    Q_EMIT itemSaved(item->persistentModelID(), item->type(), true);
    if (match)
        startBackgroundWorkForRepeat(*item, *match);
    else
        startBackgroundWorkForNewItem(*item, pending.fileURL);
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
        return false;
    }
    reportStoreFailure(failure);
    Q_EMIT changeDiscarded();
    return false;
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

void ClipboardMonitor::trimHistory(ModelContext &context)
{
    // Room for one more: every unpinned item beyond the newest limit − 1 goes. The limit
    // is at least 1 whatever the setting says.
    const qint64 limit = std::max<qint64>(1, settings().historyLimit());
    QSet<const ClipboardItem *> newest;
    if (limit > 1) {
        FetchDescriptor descriptor = FetchDescriptor::newestFirst();
        descriptor.fetchLimit = int(std::min<qint64>(limit - 1, std::numeric_limits<int>::max()));
        const ModelContext::FetchResult fetched = context.fetch(descriptor);
        if (!fetched.ok)
            return;
        for (const ClipboardItemPtr &kept : fetched.items)
            newest.insert(kept.get());
    }
    const ModelContext::FetchResult unpinned
        = context.fetch(FetchDescriptor::newestFirst(Predicate::equal(ItemField::isPinned, false)));
    if (!unpinned.ok)
        return;
    for (const ClipboardItemPtr &candidate : unpinned.items) {
        if (!newest.contains(candidate.get()))
            context.remove(candidate);
    }
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
