// Links and files: what the main thread pays for one link's title and pictures (the page and
// the picture come from a local web server on a thread of its own, so only the app's work is on
// the main thread), and what asking the availability of 5,000 file items costs once their
// answers are cached, as the panel does on every refresh and paint.
#include "BenchSupport.h"

#include "capture/ClipboardMonitor.h"
#include "capture/LinkMetadataTask.h"
#include "enrichment/FileAvailabilityService.h"
#include "enrichment/LinkMetadataService.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/InotifyFileEventStream.h"
#include "platform/MountInfoVolumeMonitor.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "support/LocalHttpServer.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

namespace {

// A photograph-like picture: a gradient with fine noise, which PNG cannot shrink much.
QByteArray photograph(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(30, 90, 160));
    gradient.setColorAt(1, QColor(220, 160, 80));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(24)) - 12;
            line[x] = qRgb(qBound(0, qRed(line[x]) + noise, 255), qBound(0, qGreen(line[x]) + noise, 255),
                qBound(0, qBlue(line[x]) + noise, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// The local web server, on a thread of its own.
class ServerThread final
{
public:
    ServerThread()
    {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
        onThread([this] {
            m_server = new LocalHttpServer;
            m_server->listen();
            m_server->setResponse(
                QStringLiteral("/photo.jpg"), LocalHttpServer::image(photograph(1200, 800), "image/jpeg"));
            // Every other path is an article with that picture.
            m_server->setDefaultResponse(LocalHttpServer::page(
                "<!doctype html><html><head><title>Article</title>"
                "<meta property=\"og:title\" content=\"Harbour lights at dusk\">"
                "<meta property=\"og:description\" content=\"Photographs from the quay, taken in the blue "
                "hour\">"
                "<meta property=\"og:image\" content=\"/photo.jpg\"></head><body>...</body></html>"));
        });
    }
    ~ServerThread()
    {
        onThread([this] { delete m_server; });
        m_thread.quit();
        m_thread.wait();
    }
    QUrl url(const QString &path)
    {
        QUrl result;
        onThread([&] { result = m_server->url(path); });
        return result;
    }

private:
    void onThread(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&m_anchor, work, Qt::BlockingQueuedConnection);
    }

    QThread m_thread;
    QObject m_anchor;
    LocalHttpServer *m_server = nullptr;
};

void BM_LinkMetadataMainThread(benchmark::State &state)
{
    QTemporaryDir folder;
    std::unique_ptr<ModelContainer> container
        = ModelContainer::open(folder.filePath(QStringLiteral("default.store")), nullptr);
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.json")));
    AppSettings settings(defaults);
    ClipboardMonitor monitor(*container, pasteboard, workspace, settings, defaults);
    ModelContext &context = *container->mainContext();
    for (int i = 0; i < 200; ++i)
        context.insert(ClipboardItem::create(
            ClipboardItemType::text, { .text = QStringLiteral("Stored clipboard text number %1").arg(i) }));
    context.save();
    ServerThread server;
    LinkMetadataService service;

    // The main context hears of the pictures when the store actor has saved them.
    bool pictured = false;
    QObject::connect(
        &context, &ModelContext::itemDidChangeProperty, [&](const ClipboardItemPtr &, ItemField field) {
            pictured |= field == ItemField::linkThumbnailData;
        });
    double mainThread = 0;
    int links = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QUrl url = server.url(QStringLiteral("/article/%1").arg(links++));
        ClipboardItemPtr item = ClipboardItem::create(
            ClipboardItemType::link, { .text = url.toString(), .previewText = url.toString() });
        context.insert(item);
        context.save();
        pictured = false;
        state.ResumeTiming();
        // The main thread's part: starting the task, then every turn of the event loop until the
        // main context has taken in the saved pictures. Waiting costs no time of this thread.
        double start = threadMilliseconds();
        fetchLinkMetadataTask(monitor, service, item->persistentModelID(), url);
        mainThread += threadMilliseconds() - start;
        while (!pictured) {
            start = threadMilliseconds();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            mainThread += threadMilliseconds() - start;
        }
    }
    state.counters["main_thread_ms_per_link"] = mainThread / std::max(1, links);
}

void BM_FileAvailabilityCached(benchmark::State &state)
{
    const int count = int(state.range(0));
    QTemporaryDir folder;
    // Files in 50 folders, every other one missing.
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < count; ++i) {
        const QString directory = folder.filePath(QStringLiteral("folder%1").arg(i % 50));
        QDir().mkpath(directory);
        const QString path = directory + QStringLiteral("/file%1.txt").arg(i);
        if (i % 2 == 0)
            QFile(path).open(QIODevice::WriteOnly);
        items.append(
            ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) }));
    }
    FileAvailabilityService::Dependencies dependencies;
    dependencies.fileEvents = std::make_unique<InotifyFileEventStream>();
    dependencies.volumes = std::make_unique<MountInfoVolumeMonitor>();
    FileAvailabilityService service(std::move(dependencies));
    for (const ClipboardItemPtr &item : items)
        service.isAvailable(*item);

    int available = 0;
    for (auto _ : state) {
        available = 0;
        for (const ClipboardItemPtr &item : items)
            available += service.isAvailable(*item) ? 1 : 0;
        benchmark::DoNotOptimize(available);
    }
    state.counters["available"] = available;
    state.counters["cached_answers"] = double(service.cachedAnswerCount());
}

} // namespace

BENCHMARK(BM_LinkMetadataMainThread)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_FileAvailabilityCached)->Arg(5000)->Unit(benchmark::kMillisecond);
