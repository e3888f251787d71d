#include "enrichment/LinkDownload.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// What QNetworkReply buffers before we read it; keeps a large body from piling up in memory
// between two reads.
constexpr qint64 readBufferSize = 64 * 1024;
const QByteArray headEnd = QByteArrayLiteral("</head>");

} // namespace

void LinkDownload::start(
    QNetworkAccessManager &manager, const Request &request, std::function<void(Result)> done)
{
    auto *download = new LinkDownload(manager, request, std::move(done));
    // Gone with the manager when the service stops mid-transfer, and its callback with it.
    download->setParent(&manager);
    download->m_deadline.start(request.timeoutMs);
    download->send(request.url);
}

bool LinkDownload::isWebScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

LinkDownload::LinkDownload(
    QNetworkAccessManager &manager, const Request &request, std::function<void(Result)> done)
    : m_manager(manager)
    , m_request(request)
    , m_done(std::move(done))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(false); });
}

void LinkDownload::send(const QUrl &url)
{
    // Web addresses only, and never from https down to http on a redirect.
    const bool downgrade = m_currentURL.scheme().toLower() == QLatin1String("https")
        && url.scheme().toLower() == QLatin1String("http");
    if (!url.isValid() || !isWebScheme(url) || downgrade) {
        // Answered later, as every other outcome is.
        QMetaObject::invokeMethod(
            this, [this] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    m_currentURL = url;
    QNetworkRequest request(url);
    // Redirects are followed here, where each target is checked before it is asked for.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (m_request.userAgent)
        request.setHeader(QNetworkRequest::UserAgentHeader, *m_request.userAgent);
    m_reply = m_manager.get(request);
    m_reply->setReadBufferSize(readBufferSize);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (!m_request.isPage && !redirectTarget() && length.isValid()
            && length.toLongLong() > m_request.maxBytes)
            finish(false);
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &LinkDownload::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &LinkDownload::replyFinished);
}

std::optional<QUrl> LinkDownload::redirectTarget() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 300 || status > 399)
        return std::nullopt;
    const QVariant target = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (!target.isValid())
        return std::nullopt;
    return m_currentURL.resolved(target.toUrl());
}

void LinkDownload::replyFinished()
{
    readAvailable();
    if (m_finished)
        return;
    if (const std::optional<QUrl> target = redirectTarget()) {
        m_reply->deleteLater();
        m_reply = nullptr;
        if (++m_redirects > maxRedirects)
            finish(false);
        else
            send(*target);
        return;
    }
    const QNetworkReply::NetworkError error = m_reply->error();
    const bool hasStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    // An HTTP error status still brings a page; a failed connection or a time-out brings
    // nothing (those errors are all below 200).
    finish(hasStatus && (error == QNetworkReply::NoError || int(error) >= 200));
}

void LinkDownload::readAvailable()
{
    if (m_reply && redirectTarget()) {
        m_reply->readAll(); // the body of a redirect is not the page
        return;
    }
    while (!m_finished && m_reply && m_reply->bytesAvailable() > 0) {
        QByteArray &body = m_result.body;
        const qsizetype searchFrom = std::max<qsizetype>(0, body.size() - (headEnd.size() - 1));
        body += m_reply->read(m_request.maxBytes - body.size() + 1);
        if (m_request.isPage) {
            const qsizetype end = body.sliced(searchFrom).toLower().indexOf(headEnd);
            if (end >= 0) {
                body.truncate(searchFrom + end + headEnd.size());
                finish(true);
            } else if (body.size() >= m_request.maxBytes) {
                body.truncate(m_request.maxBytes);
                m_result.truncated = true;
                finish(true);
            }
        } else if (body.size() > m_request.maxBytes) {
            finish(false);
        }
    }
}

void LinkDownload::finish(bool received)
{
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    if (m_reply) {
        m_result.httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        m_result.contentType = m_reply->rawHeader(QByteArrayLiteral("Content-Type"));
        // abort() reports finished at once; nothing of ours must hear it. A reply with an error
        // status (a 404 page read to its head) has an error report of its own on the way, which
        // must not meet a second one: it ends when it is deleted.
        disconnect(m_reply, nullptr, this, nullptr);
        if (m_reply->isRunning() && m_reply->error() == QNetworkReply::NoError && m_result.httpStatus < 400)
            m_reply->abort();
        m_reply->deleteLater();
    }
    m_result.received = received;
    if (!received)
        m_result.body.clear();
    const std::function<void(Result)> done = std::move(m_done);
    const Result result = std::move(m_result);
    deleteLater();
    done(result);
}
