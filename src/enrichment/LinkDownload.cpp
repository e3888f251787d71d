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
    auto *download = new LinkDownload(request, std::move(done));
    download->begin(manager);
}

bool LinkDownload::isWebScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

LinkDownload::LinkDownload(const Request &request, std::function<void(Result)> done)
    : m_request(request)
    , m_done(std::move(done))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(false); });
}

void LinkDownload::begin(QNetworkAccessManager &manager)
{
    if (!isWebScheme(m_request.url) || !m_request.url.isValid()) {
        // Answered later, as every other outcome is.
        QMetaObject::invokeMethod(
            this, [this] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_request.url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (m_request.userAgent)
        request.setHeader(QNetworkRequest::UserAgentHeader, *m_request.userAgent);
    m_reply = manager.get(request);
    m_reply->setReadBufferSize(readBufferSize);
    m_deadline.start(m_request.timeoutMs);

    QUrl current = m_request.url;
    connect(m_reply, &QNetworkReply::redirected, this, [this, current](const QUrl &target) mutable {
        // Web addresses only, and never from https down to http.
        const bool downgrade = current.scheme().toLower() == QLatin1String("https")
            && target.scheme().toLower() == QLatin1String("http");
        if (!isWebScheme(target) || downgrade) {
            finish(false);
            return;
        }
        current = target;
        Q_EMIT m_reply->redirectAllowed();
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (!m_request.isPage && length.isValid() && length.toLongLong() > m_request.maxBytes)
            finish(false);
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &LinkDownload::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        readAvailable();
        if (m_finished)
            return;
        const QNetworkReply::NetworkError error = m_reply->error();
        const bool hasStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        // An HTTP error status still brings a page; a failed connection, a time-out or a
        // refused redirect brings nothing (those errors are all below 200).
        finish(hasStatus && (error == QNetworkReply::NoError || int(error) >= 200));
    });
}

void LinkDownload::readAvailable()
{
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
        // abort() reports finished at once; nothing of ours must hear it.
        disconnect(m_reply, nullptr, this, nullptr);
        if (m_reply->isRunning())
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
