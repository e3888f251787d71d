#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QTcpServer>
#include <QUrl>

// A small HTTP/1.1 server on 127.0.0.1 for tests that fetch web pages: each path answers as a
// test sets it (a page, a picture, a redirect, an endless body, or no answer at all), and it
// counts what it was asked and what it sent. Runs on the thread that made it; that thread's
// event loop must run while a client waits.
class LocalHttpServer final : public QObject
{
public:
    struct Response
    {
        int status = 200;
        QByteArray contentType = QByteArrayLiteral("text/html; charset=utf-8");
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // Never answers (the connection stays open).
        bool hang = false;
        // After body, this many more bytes of filler, made as the client reads them.
        qint64 fillerBytes = 0;
        // Without a Content-Length header: the body ends when the connection closes.
        bool omitLength = false;
        // Answers this much later.
        int delayMs = 0;
        // Answers only once release() is called for its path: later than whatever the test
        // looks at before, however busy the machine is.
        bool held = false;
    };

    LocalHttpServer();
    ~LocalHttpServer() override;

    // Listens on a free port of 127.0.0.1; false when none could be had.
    bool listen();
    QUrl url(const QString &pathAndQuery) const;

    void setResponse(const QString &pathAndQuery, const Response &response);
    // Answers the held requests of the path, and those that come later, at once.
    void release(const QString &pathAndQuery);
    // The answer to paths without a response of their own (404 until set).
    void setDefaultResponse(const Response &response) { m_defaultResponse = response; }
    static Response page(const QByteArray &html)
    {
        return Response { 200, "text/html; charset=utf-8", html };
    }
    static Response image(const QByteArray &bytes, const QByteArray &type = "image/png")
    {
        return Response { 200, type, bytes };
    }
    static Response redirect(const QByteArray &location, int status = 302)
    {
        return Response { status, "text/html", QByteArray(), { { "Location", location } } };
    }

    int requestCount(const QString &pathAndQuery) const { return m_requestCounts.value(pathAndQuery); }
    // The request headers of the last request of that path, names in lower case.
    QHash<QByteArray, QByteArray> lastHeaders(const QString &pathAndQuery) const
    {
        return m_lastHeaders.value(pathAndQuery);
    }
    // Bytes of the answers to that path that the system took from the server.
    qint64 bytesSent(const QString &pathAndQuery) const { return m_bytesSent.value(pathAndQuery); }

private:
    void serve(class QTcpSocket *socket);
    // False when the connection ends with this answer.
    bool answer(QTcpSocket *socket, const QString &pathAndQuery);
    // Answers a request that was kept waiting, then serves the connection's next ones.
    void answerLater(const QPointer<QTcpSocket> &socket, const QString &pathAndQuery);

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    Response m_defaultResponse { 404, "text/plain", "not found" };
    QHash<QString, int> m_requestCounts;
    QHash<QString, QHash<QByteArray, QByteArray>> m_lastHeaders;
    QHash<QString, qint64> m_bytesSent;
    QList<QPair<QPointer<QTcpSocket>, QString>> m_held;
};
