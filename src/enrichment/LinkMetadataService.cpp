#include "enrichment/LinkMetadataService.h"

#include "common/StrictText.h"
#include "enrichment/LinkDownload.h"
#include "enrichment/LinkMetadataText.h"
#include "enrichment/LinkPageHead.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QPromise>
#include <QStringDecoder>

#include <functional>
#include <memory>

// The actor's state and work, on the service's thread only.
class LinkMetadataWorker final : public QObject
{
public:
    explicit LinkMetadataWorker(const LinkMetadataService::Limits &limits)
        : m_limits(limits)
    { }

    void fetch(const QUrl &url, std::function<void(LinkMetadata)> done);
    void downloadImage(const QUrl &url, std::function<void(LinkPictures)> done);
    void store(const QString &key, const LinkMetadata &entry);
    std::optional<LinkMetadata> cached(const QString &key) const
    {
        const auto found = m_cache.constFind(key);
        return found == m_cache.constEnd() ? std::nullopt : std::optional<LinkMetadata>(*found);
    }

private:
    QNetworkAccessManager &network();
    // The first of the pictures that gives a thumbnail, in order.
    void downloadFirstPicture(QList<QUrl> candidates, std::function<void(LinkPictures)> done);

    LinkMetadataService::Limits m_limits;
    // Made on first use, on this thread (an access manager belongs to the thread that made it).
    std::unique_ptr<QNetworkAccessManager> m_network;
    QHash<QString, LinkMetadata> m_cache;
    // Keys in the order they were stored, oldest first; a key stored twice stands twice.
    QStringList m_cacheOrder;
};

namespace {

// A body cut at the byte cap may end inside a character; the text ends before it.
QByteArray withoutPartialCharacter(const QByteArray &bytes)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(4, bytes.size()); ++back) {
        const uchar byte = uchar(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: the lead is further back
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.chopped(back) : bytes;
    }
    return bytes;
}

// The character set a "Content-Type" value names ("text/html; charset=iso-8859-1").
QByteArray declaredCharset(const QByteArray &contentType)
{
    for (const QByteArray &parameter : contentType.split(';')) {
        const QByteArray trimmed = parameter.trimmed();
        if (trimmed.toLower().startsWith("charset="))
            return trimmed.sliced(8).trimmed().replace('"', "").replace('\'', "");
    }
    return {};
}

// The page in the character set its server names, else the one its head names, else UTF-8.
// UTF-8 is read strictly; a page in another set it names is read in that set. A name the
// system does not know leaves UTF-8.
std::optional<QString> pageText(const LinkDownload::Result &page)
{
    const QByteArray charset = declaredCharset(page.contentType);
    QStringDecoder decoder
        = charset.isEmpty() ? QStringDecoder::decoderForHtml(page.body) : QStringDecoder(charset.constData());
    const bool utf8 = !decoder.isValid() || QByteArray(decoder.name()).toLower().replace("-", "") == "utf8";
    if (!utf8)
        return decoder.decode(page.body);
    return StrictText::fromUtf8(page.truncated ? withoutPartialCharacter(page.body) : page.body);
}

} // namespace

QNetworkAccessManager &LinkMetadataWorker::network()
{
    if (!m_network) {
        // No cookie jar is consulted (every request says so) and no disk cache is set.
        m_network = std::make_unique<QNetworkAccessManager>();
    }
    return *m_network;
}

void LinkMetadataWorker::fetch(const QUrl &url, std::function<void(LinkMetadata)> done)
{
    if (!LinkDownload::isWebScheme(url)) {
        done({});
        return;
    }
    const QString key = url.toString(QUrl::FullyEncoded);
    if (const std::optional<LinkMetadata> entry = cached(key); entry && entry->thumbnailData) {
        done(*entry);
        return;
    }
    LinkDownload::Request request;
    request.url = url;
    request.timeoutMs = m_limits.pageTimeoutMs;
    request.maxBytes = m_limits.maxPageBytes;
    request.isPage = true;
    LinkDownload::start(network(), request, [this, url, key, done](const LinkDownload::Result &page) {
        const std::optional<QString> html = page.received ? pageText(page) : std::nullopt;
        if (!html) {
            // Without a page there is no title, no description and no picture; such an
            // answer is not remembered.
            done({});
            return;
        }
        const LinkPageHead head = LinkPageHead::parse(*html, url);
        LinkMetadata result;
        // Only a line of title and a paragraph of description are kept, without control
        // characters.
        if (head.title)
            result.title = LinkMetadataText::title(*head.title);
        if (!result.title && head.documentTitle)
            result.title = LinkMetadataText::title(*head.documentTitle);
        result.description
            = head.description ? LinkMetadataText::description(*head.description) : std::nullopt;
        // The page's own picture first, then its icon.
        QList<QUrl> pictures;
        for (const std::optional<QUrl> &picture : { head.imageURL, head.iconURL }) {
            if (picture && !pictures.contains(*picture))
                pictures.append(*picture);
        }
        downloadFirstPicture(pictures, [this, key, result, done](const LinkPictures &found) mutable {
            // A page that names neither a title nor a picture says nothing worth showing (a
            // description alone included), and is asked again next time.
            if (!result.title && !found.thumbnailData) {
                done({});
                return;
            }
            result.thumbnailData = found.thumbnailData;
            result.previewData = found.previewData;
            store(key, result);
            done(result);
        });
    });
}

void LinkMetadataWorker::downloadFirstPicture(QList<QUrl> candidates, std::function<void(LinkPictures)> done)
{
    if (candidates.isEmpty()) {
        done({});
        return;
    }
    const QUrl first = candidates.takeFirst();
    downloadImage(first, [this, candidates, done](const LinkPictures &pictures) {
        if (pictures.thumbnailData || candidates.isEmpty())
            done(pictures);
        else
            downloadFirstPicture(candidates, done);
    });
}

void LinkMetadataWorker::downloadImage(const QUrl &url, std::function<void(LinkPictures)> done)
{
    LinkDownload::Request request;
    request.url = url;
    request.timeoutMs = m_limits.imageTimeoutMs;
    request.maxBytes = m_limits.maxImageBytes;
    request.userAgent = QByteArray(LinkMetadataService::userAgent);
    LinkDownload::start(network(), request, [done](const LinkDownload::Result &image) {
        if (!image.received || image.httpStatus != 200) {
            done({});
            return;
        }
        done(LinkPictures::fromImageData(image.body));
    });
}

void LinkMetadataWorker::store(const QString &key, const LinkMetadata &entry)
{
    m_cache.insert(key, entry);
    m_cacheOrder.append(key);
    while (m_cache.size() > LinkMetadataService::maxURLCacheSize && !m_cacheOrder.isEmpty())
        m_cache.remove(m_cacheOrder.takeFirst());
}

LinkMetadataService::LinkMetadataService(const Limits &limits)
    : m_worker(new LinkMetadataWorker(limits))
{
    m_thread.setObjectName(QStringLiteral("LinkMetadataService"));
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

LinkMetadataService::LinkMetadataService()
    : LinkMetadataService(Limits())
{ }

LinkMetadataService::~LinkMetadataService()
{
    stop();
    waitUntilEnded(QDeadlineTimer(QDeadlineTimer::Forever));
}

LinkMetadataService &LinkMetadataService::shared()
{
    static LinkMetadataService service;
    return service;
}

void LinkMetadataService::stop()
{
    m_worker = nullptr;
    // The worker goes with the thread's last deferred deletions; waiting promises are
    // cancelled as their jobs are dropped.
    m_thread.quit();
}

bool LinkMetadataService::waitUntilEnded(QDeadlineTimer deadline)
{
    return m_thread.wait(deadline);
}

void LinkMetadataService::runOnItsThread(std::function<void()> job)
{
    (void)post<bool>(
        [job = std::move(job)](LinkMetadataWorker &, auto deliver) {
            job();
            deliver(true);
        },
        false);
}

template <typename Result, typename Job> QFuture<Result> LinkMetadataService::post(Job job, Result fallback)
{
    auto promise = std::make_shared<QPromise<Result>>();
    promise->start();
    QFuture<Result> future = promise->future();
    auto deliver = [promise](const Result &result) {
        promise->addResult(result);
        promise->finish();
    };
    LinkMetadataWorker *worker = m_worker;
    if (!worker
        || !QMetaObject::invokeMethod(
            worker, [worker, job, deliver] { job(*worker, deliver); }, Qt::QueuedConnection))
        deliver(fallback);
    return future;
}

QFuture<LinkMetadata> LinkMetadataService::fetchLinkMetadata(const QUrl &url)
{
    return post<LinkMetadata>(
        [url](LinkMetadataWorker &worker, auto deliver) { worker.fetch(url, deliver); }, LinkMetadata());
}

QFuture<LinkPictures> LinkMetadataService::downloadImage(const QUrl &url)
{
    return post<LinkPictures>(
        [url](LinkMetadataWorker &worker, auto deliver) { worker.downloadImage(url, deliver); },
        LinkPictures());
}

QFuture<void> LinkMetadataService::storeLinkMetadata(const QString &key, const LinkMetadata &entry)
{
    return post<bool>(
        [key, entry](LinkMetadataWorker &worker, auto deliver) {
            worker.store(key, entry);
            deliver(true);
        },
        false)
        .then([](bool) {});
}

QFuture<std::optional<LinkMetadata>> LinkMetadataService::cachedLinkMetadata(const QString &key)
{
    return post<std::optional<LinkMetadata>>(
        [key](LinkMetadataWorker &worker, auto deliver) { deliver(worker.cached(key)); }, std::nullopt);
}
