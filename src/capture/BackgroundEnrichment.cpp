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

#include <QElapsedTimer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

bool hasStoredPreview(const ClipboardItem &item)
{
    const std::optional<QByteArray> blob = item.highlightedLinesData();
    return blob && HighlightedLinesBlob::hasContext(*blob, HighlightCacheService::previewContext());
}

// The main thread may give a refresh this long per turn of the event loop.
constexpr qint64 refreshSliceBudgetNs = 4'000'000;

} // namespace

struct BackgroundEnrichment::Refresh
{
    quint64 generation = 0;
    bool force = false;
    QList<PersistentIdentifier> items; // newest first
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
    ModelContext *main = context();
    if (!main)
        return;
    const ModelContext::FetchResult fetched = main->fetch(FetchDescriptor::newestFirst(
        Predicate::equal(ItemField::itemType, rawValue(ClipboardItemType::code))));
    if (!fetched.ok)
        return;
    auto refresh = std::make_shared<Refresh>();
    refresh->generation = ++m_refreshGeneration;
    refresh->force = force;
    refresh->items.reserve(fetched.items.size());
    for (const ClipboardItemPtr &item : fetched.items)
        refresh->items.append(item->persistentModelID());
    continueRefresh(std::move(refresh));
}

void BackgroundEnrichment::continueRefresh(std::shared_ptr<Refresh> refresh)
{
    if (refresh->generation != m_refreshGeneration || !context())
        return;
    QElapsedTimer slice;
    slice.start();
    int looked = 0;
    while (refresh->next < refresh->items.size()) {
        if (!refresh->force && refresh->started >= refreshLimitWithoutForce)
            break;
        if (looked == refreshSliceSize || slice.nsecsElapsed() > refreshSliceBudgetNs) {
            QTimer::singleShot(0, this, [this, refresh] { continueRefresh(refresh); });
            return;
        }
        ++looked;
        const PersistentIdentifier identifier = refresh->items[refresh->next++];
        const ClipboardItemPtr item = find(identifier);
        if (!item)
            continue;
        if (!refresh->force && hasStoredPreview(*item)) {
            item->releaseExternalData(); // its lines are read again when a row needs them
            continue;
        }
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
    const QFuture<std::optional<ImageExtraction::MediaArtwork>> read
        = QtConcurrent::run([fileURL] { return ImageExtraction::loadMediaMetadata(fileURL); });
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
