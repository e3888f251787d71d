#include "capture/LinkMetadataTask.h"

#include "capture/ClipboardMonitor.h"
#include "common/ThenWhileAlive.h"
#include "enrichment/LinkMetadataService.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

QFuture<void> fetchLinkMetadataTask(
    ClipboardMonitor &monitor, LinkMetadataService &service, PersistentIdentifier identifier, const QUrl &url)
{
    // The monitor need not outlive the fetch.
    return thenWhileAlive(
        service.fetchLinkMetadata(url), &monitor, [&monitor, identifier](const LinkMetadata &metadata) {
            if (metadata.isEmpty())
                return;
            // Written by the store actor: two pictures are a few hundred kilobytes, too much to write
            // on the main thread. The main context takes the change in as one made elsewhere.
            monitor.databaseActor().perform([identifier, metadata](ModelContext &context) {
                return applyLinkMetadata(context, identifier, metadata);
            });
        });
}

bool applyLinkMetadata(ModelContext &context, PersistentIdentifier identifier, const LinkMetadata &metadata)
{
    if (metadata.isEmpty())
        return false;
    const ClipboardItemPtr item = context.model(identifier);
    if (!item || item->isDeleted())
        return false;
    if (metadata.title) {
        const std::optional<QString> stored = item->linkTitle();
        if (!stored || stored->trimmed().isEmpty())
            item->setLinkTitle(metadata.title);
    }
    if (metadata.description)
        item->setLinkDescription(metadata.description);
    if (metadata.thumbnailData)
        item->setLinkThumbnailData(metadata.thumbnailData);
    if (metadata.previewData)
        item->setLinkPreviewData(metadata.previewData);
    context.save(); // a failed save keeps the changes pending for the next one
    return true;
}

QMetaObject::Connection startLinkMetadataTasks(ClipboardMonitor &monitor, LinkMetadataService &service)
{
    return QObject::connect(&monitor, &ClipboardMonitor::linkMetadataRequested, &monitor,
        [&monitor, &service](PersistentIdentifier identifier, const QUrl &url) {
            fetchLinkMetadataTask(monitor, service, identifier, url);
        });
}
