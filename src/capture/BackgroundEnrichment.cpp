#include "capture/BackgroundEnrichment.h"

#include "capture/ClipboardMonitor.h"
#include "capture/ImageExtraction.h"
#include "common/ThenWhileAlive.h"
#include "detection/CodePreviewLines.h"
#include "detection/HighlightedLinesBlob.h"
#include "model/AppSettings.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/FilePaths.h"
#include "platform/UserFiles.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

bool hasStoredPreview(const ClipboardItem &item)
{
    const std::optional<QByteArray> blob = item.highlightedLinesData();
    return blob && HighlightedLinesBlob::hasContext(*blob, HighlightCacheService::previewContext());
}

// The stored code items to highlight again, newest first: all of them when forced, else those
// without sound preview lines, at most `limit`. Telling that means reading and decoding their
// lines: it is done on the database actor, each item's lines let go once looked at. Lines too
// large to be read (a damaged or edited store's) go first: they are made again, and deleting
// tens of megabytes must not hold up the main thread's save of the new ones.
QList<PersistentIdentifier> codeItemsToRefresh(ModelContext &context, bool force, int limit)
{
    context.deleteValuesTooLargeToRead();
    const ModelContext::FetchResult fetched = context.fetch(FetchDescriptor::newestFirst(
        Predicate::equal(ItemField::itemType, rawValue(ClipboardItemType::code))));
    QList<PersistentIdentifier> chosen;
    for (const ClipboardItemPtr &item : fetched.items) {
        if (!force && chosen.size() == limit)
            break;
        const bool hasLines = !force && hasStoredPreview(*item);
        item->releaseExternalData();
        if (!hasLines)
            chosen.append(item->persistentModelID());
    }
    return chosen;
}

// The main thread may give a refresh this long per turn of the event loop.
constexpr qint64 refreshSliceBudgetNs = 4'000'000;

} // namespace

struct BackgroundEnrichment::Refresh
{
    quint64 generation = 0;
    QList<PersistentIdentifier> items; // newest first, each to be highlighted
    qsizetype next = 0;
    int started = 0;
};

BackgroundEnrichment::BackgroundEnrichment(
    ClipboardMonitor &monitor, HighlightCacheService &highlights, AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_monitor(&monitor)
    , m_highlights(highlights)
    , m_settings(settings)
{
    // Queued: each task starts once the capture that asked for it has finished its turn.
    connect(
        &monitor, &ClipboardMonitor::codePreviewRequested, this,
        [this](PersistentIdentifier identifier) { prepareCodePreview(identifier); }, Qt::QueuedConnection);
    connect(&monitor, &ClipboardMonitor::codePreviewsRefreshRequested, this,
        &BackgroundEnrichment::refreshCodePreviews, Qt::QueuedConnection);
    connect(&monitor, &ClipboardMonitor::mediaPreviewRequested, this,
        &BackgroundEnrichment::generateMediaPreview, Qt::QueuedConnection);
    connect(&monitor, &ClipboardMonitor::audioArtworkRequested, this,
        &BackgroundEnrichment::loadAudioArtworkTask, Qt::QueuedConnection);
}

BackgroundEnrichment::~BackgroundEnrichment() = default;

ModelContext *BackgroundEnrichment::context() const
{
    return m_monitor ? m_monitor->modelContainer().mainContext() : nullptr;
}

ClipboardItemPtr BackgroundEnrichment::find(PersistentIdentifier identifier) const
{
    ModelContext *main = context();
    ClipboardItemPtr item = main ? main->model(identifier) : nullptr;
    return item && !item->isDeleted() ? item : nullptr;
}

void BackgroundEnrichment::save(PersistentIdentifier identifier)
{
    // A failed save keeps the change pending for the next one.
    if (ModelContext *main = context())
        main->save();
    Q_EMIT itemEnriched(identifier);
}

// -- Code

void BackgroundEnrichment::prepareCodePreview(
    PersistentIdentifier identifier, HighlightCacheService::Priority priority)
{
    const ClipboardItemPtr item = find(identifier);
    if (!item)
        return;
    const std::optional<QString> text = item->textContent();
    if (!text)
        return;
    m_highlights.prehighlight(CodePreviewLines::make(*text), item,
        HighlightLanguages::forDetectorLabel(item->codeLanguage().value_or(QString())),
        m_isDark ? m_isDark() : true, m_settings.codeTheme(), HighlightCacheService::previewContext(),
        priority);
}

void BackgroundEnrichment::refreshCodePreviews(bool force)
{
    if (!m_monitor)
        return;
    const quint64 generation = ++m_refreshGeneration;
    const QFuture<QList<PersistentIdentifier>> chosen
        = m_monitor->databaseActor().perform([force](ModelContext &context) {
              return codeItemsToRefresh(context, force, refreshLimitWithoutForce);
          });
    thenWhileAlive(chosen, this, [this, generation](const QList<PersistentIdentifier> &items) {
        auto refresh = std::make_shared<Refresh>();
        refresh->generation = generation;
        refresh->items = items;
        continueRefresh(std::move(refresh));
    });
}

void BackgroundEnrichment::continueRefresh(std::shared_ptr<Refresh> refresh)
{
    if (refresh->generation != m_refreshGeneration || !context())
        return;
    QElapsedTimer slice;
    slice.start();
    int looked = 0;
    while (refresh->next < refresh->items.size()) {
        if (looked == refreshSliceSize || slice.nsecsElapsed() > refreshSliceBudgetNs) {
            QTimer::singleShot(0, this, [this, refresh] { continueRefresh(refresh); });
            return;
        }
        ++looked;
        const PersistentIdentifier identifier = refresh->items[refresh->next++];
        if (!find(identifier))
            continue;
        prepareCodePreview(identifier, HighlightCacheService::Priority::background);
        ++refresh->started;
    }
    Q_EMIT refreshScheduled(refresh->started);
}

// -- Media

QFuture<void> BackgroundEnrichment::generateMediaPreview(PersistentIdentifier identifier)
{
    const ClipboardItemPtr item = find(identifier);
    const std::optional<QByteArray> image = item ? item->mediaImageData() : std::nullopt;
    if (!image || image->isEmpty())
        return QtFuture::makeReadyFuture();
    const QFuture<std::optional<QByteArray>> made = QtConcurrent::run(
        [image = *image] { return ImageExtraction::makeThumbnail(image, ImageExtraction::previewSize); });
    return thenWhileAlive(made, this, [this, identifier](const std::optional<QByteArray> &preview) {
        const ClipboardItemPtr item = find(identifier);
        if (!preview || !item || item->type() != ClipboardItemType::media)
            return;
        item->setMediaPreviewData(preview);
        save(identifier);
        item->releaseExternalData(); // the full picture need not stay in memory
    });
}

QFuture<void> BackgroundEnrichment::loadAudioArtworkTask(PersistentIdentifier identifier, const QUrl &fileURL)
{
    if (!m_monitor)
        return QtFuture::makeReadyFuture();
    // The file may be no file at all, or on a mount that hangs: it is read through UserFiles.
    const QFuture<std::optional<ImageExtraction::MediaArtwork>> read
        = UserFiles::shared().run(FilePaths::ofUrl(fileURL), artworkReadLimit,
            [fileURL] { return ImageExtraction::loadMediaMetadata(fileURL); });
    return thenWhileAlive(
        read, this, [this, identifier](const std::optional<ImageExtraction::MediaArtwork> &artwork) {
            if (artwork)
                updateMediaThumbnails(identifier, artwork->thumbnail, artwork->preview);
        });
}

void BackgroundEnrichment::updateMediaThumbnails(
    PersistentIdentifier identifier, const QByteArray &thumbnail, const std::optional<QByteArray> &preview)
{
    const ClipboardItemPtr item = find(identifier);
    if (!item)
        return;
    item->setMediaThumbnailData(thumbnail);
    if (preview)
        item->setMediaPreviewData(preview);
    save(identifier);
}
