#pragma once

#include "common/Stoppable.h"
#include "enrichment/LinkMetadata.h"
#include "enrichment/LinkPictures.h"

#include <QFuture>
#include <QString>
#include <QThread>
#include <QUrl>

#include <functional>
#include <optional>

class LinkMetadataWorker;

// Finds a copied link's title, description and picture: reads the head of its page (Open Graph
// and Twitter card tags, the description tag, and in their absence the page's <title> and
// icon), downloads the picture and makes two small squares of it, and remembers the last 100
// pages.
//
// The service is an actor: its network access, its cache and all its state live on a thread of
// its own; every call may come from any thread and returns a future. The network is used
// without cookies or a disk cache, for http and https only; page bodies, pictures and their
// pixel counts are capped (see Limits).
class LinkMetadataService final : public Stoppable
{
public:
    struct Limits
    {
        int pageTimeoutMs = 5'000;
        int imageTimeoutMs = 60'000;
        // Of a page, only its head is read, and at most this much of it.
        qint64 maxPageBytes = 1024 * 1024;
        qint64 maxImageBytes = 10 * 1024 * 1024;
    };

    static constexpr int maxURLCacheSize = 100;
    // The browser identity sent with picture requests.
    static constexpr char userAgent[]
        = "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko)";

    LinkMetadataService();
    explicit LinkMetadataService(const Limits &limits);
    // Stops the service and waits for its thread; futures still waiting are cancelled.
    ~LinkMetadataService();
    LinkMetadataService(const LinkMetadataService &) = delete;
    LinkMetadataService &operator=(const LinkMetadataService &) = delete;

    // The application's instance, created on first use.
    static LinkMetadataService &shared();

    // The page's metadata; never fails: whatever cannot be had is missing. Served from the
    // cache when an entry with a thumbnail is there.
    QFuture<LinkMetadata> fetchLinkMetadata(const QUrl &url);
    // A picture's two squares; nothing on a transport failure, a status other than 200, a
    // scheme other than http and https, or bytes that are no acceptable picture.
    QFuture<LinkPictures> downloadImage(const QUrl &url);

    // Puts an entry in the cache under key (a page URL's full text), dropping the oldest
    // entries beyond maxURLCacheSize.
    QFuture<void> storeLinkMetadata(const QString &key, const LinkMetadata &entry);
    // The entry cached under key, thumbnail or not.
    QFuture<std::optional<LinkMetadata>> cachedLinkMetadata(const QString &key);

    // Takes no more work (the application calls this as it quits): the thread ends after what it
    // is doing now, and later calls answer with empty results at once.
    void stop() override;
    // After stop(): waits for the thread until the deadline; false when it had not ended by then
    // (called again, it waits again).
    bool waitUntilEnded(QDeadlineTimer deadline) override;
    // Runs the job on the service's thread after what was asked before (test hooks hold the
    // thread with it).
    void runOnItsThread(std::function<void()> job);

private:
    template <typename Result, typename Job> QFuture<Result> post(Job job, Result fallback);

    QThread m_thread;
    LinkMetadataWorker *m_worker = nullptr; // lives on m_thread
};
