// ClipboardMonitor: putting a new item into the history without duplicates, within the
// history limit, then starting the background work on it.
#include "capture/ClipboardMonitor.h"
#include "capture/UrlComponents.h"
#include "common/NotificationCenter.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <QSet>

namespace {

void clearBlobs(ClipboardItem &item)
{
    item.setMediaImageData(std::nullopt);
    item.setMediaThumbnailData(std::nullopt);
    item.setMediaPreviewData(std::nullopt);
    item.setFileThumbnailData(std::nullopt);
    item.setFilePreviewData(std::nullopt);
    item.setLinkPreviewData(std::nullopt);
    item.setLinkThumbnailData(std::nullopt);
}

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
    ModelContext &context = *m_container.mainContext();
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
        if (fromPasswordManager)
            match->setIsFromPasswordManager(true);
        context.save(); // a failed save keeps the changes pending for the next one
        NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
        Q_EMIT itemSaved(match->persistentModelID(), match->type(), false);
        startBackgroundWorkForRepeat(*item, *match);
        return;
    }

    if (match) {
        // A repeat of a pinned item: a history entry that shows the pinned one.
        item->setPinnedReference(match);
        clearBlobs(*item);
    }
    trimHistory(context);
    if (fromPasswordManager)
        item->setIsFromPasswordManager(true);
    context.insert(item);
    context.save();
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
    Q_EMIT itemSaved(item->persistentModelID(), item->type(), true);
    if (match)
        startBackgroundWorkForRepeat(*item, *match);
    else
        startBackgroundWorkForNewItem(*item, fileURL);
}

void ClipboardMonitor::trimHistory(ModelContext &context)
{
    // Room for one more: every unpinned item beyond the newest limit − 1 goes. The limit
    // is at least 1 whatever the stored setting says.
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
