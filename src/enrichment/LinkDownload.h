#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One bounded GET for the link service: web addresses only (http and https, also after every
// redirect, at most maxRedirects of them), no cookies, a deadline for the whole transfer, and
// a cap on the bytes kept, so a hostile or broken server can neither make the app read without
// end nor make it open a local file. Runs on the thread of the access manager it is given.
class LinkDownload final : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QUrl url;
        int timeoutMs = 5000;
        qint64 maxBytes = 1024 * 1024;
        // A page: what came before the cap is kept and the transfer ends with the first
        // "</head>". Otherwise more than maxBytes is a failure.
        bool isPage = false;
        std::optional<QByteArray> userAgent;
    };

    struct Result
    {
        // A response came (any HTTP status); false on transport failures, time-outs, refused
        // schemes and redirects, and an oversized picture.
        bool received = false;
        int httpStatus = 0;
        QByteArray body;
        // The body was cut at the cap (possibly inside a character).
        bool truncated = false;
        // The answer's "Content-Type" header as sent (it may name the page's character set).
        QByteArray contentType;
    };

    static constexpr int maxRedirects = 5;

    // Starts the transfer; done runs once, later, on the access manager's thread.
    static void start(
        QNetworkAccessManager &manager, const Request &request, std::function<void(Result)> done);

    static bool isWebScheme(const QUrl &url);

private:
    LinkDownload(QNetworkAccessManager &manager, const Request &request, std::function<void(Result)> done);
    // Asks for url: the first address, or where a redirect pointed.
    void send(const QUrl &url);
    // The redirect target the current answer names, if it is one.
    std::optional<QUrl> redirectTarget() const;
    void readAvailable();
    void replyFinished();
    void finish(bool received);

    QNetworkAccessManager &m_manager;
    Request m_request;
    QUrl m_currentURL;
    int m_redirects = 0;
    std::function<void(Result)> m_done;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    Result m_result;
    bool m_finished = false;
};
