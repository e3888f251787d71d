#include "support/LocalHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {

// Filler is written in slices as the socket drains, so an endless body never sits in memory.
constexpr qint64 fillerSlice = 64 * 1024;
constexpr qint64 maxQueuedBytes = 256 * 1024;
constexpr qsizetype maxRequestSize = 64 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

} // namespace

LocalHttpServer::LocalHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

LocalHttpServer::~LocalHttpServer()
{
    m_server.close();
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url(const QString &pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(pathAndQuery));
}

void LocalHttpServer::setResponse(const QString &pathAndQuery, const Response &response)
{
    m_responses.insert(pathAndQuery, response);
}

void LocalHttpServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // Requests on one connection are answered in turn (HTTP/1.1 keeps connections open).
    auto pending = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, pending] {
        *pending += socket->readAll();
        for (;;) {
            const qsizetype end = pending->indexOf("\r\n\r\n");
            if (end < 0) {
                if (pending->size() > maxRequestSize)
                    socket->abort();
                return;
            }
            const QList<QByteArray> lines = pending->left(end).split('\n');
            pending->remove(0, end + 4);
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            const QString target = QString::fromLatin1(requestLine.value(1));
            QHash<QByteArray, QByteArray> headers;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    headers.insert(
                        lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            ++m_requestCounts[target];
            m_lastHeaders.insert(target, headers);
            const Response &response = m_responses.value(target, m_defaultResponse);
            if (response.held || response.delayMs > 0) {
                // Later requests on this connection wait for the answer to this one.
                disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
                QPointer<QTcpSocket> later(socket);
                if (response.held)
                    m_held.append({ later, target });
                else
                    QTimer::singleShot(
                        response.delayMs, this, [this, later, target] { answerLater(later, target); });
                return;
            }
            if (!answer(socket, target))
                return; // the connection ends with this answer
        }
    });
}

void LocalHttpServer::answerLater(const QPointer<QTcpSocket> &socket, const QString &target)
{
    if (!socket || !answer(socket, target))
        return;
    serve(socket);
    if (socket->bytesAvailable() > 0)
        Q_EMIT socket->readyRead();
}

void LocalHttpServer::release(const QString &pathAndQuery)
{
    if (const auto response = m_responses.find(pathAndQuery); response != m_responses.end())
        response->held = false;
    const auto held = std::exchange(m_held, {});
    for (const auto &[socket, target] : held) {
        if (target == pathAndQuery)
            answerLater(socket, target);
        else
            m_held.append({ socket, target });
    }
}

bool LocalHttpServer::answer(QTcpSocket *socket, const QString &target)
{
    const Response response = m_responses.value(target, m_defaultResponse);
    if (response.hang) {
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        return false;
    }
    // Bodies without a length, and endless ones, end with the connection.
    const bool closes = response.omitLength || response.fillerBytes > 0;
    QByteArray head
        = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    if (!response.omitLength)
        head += "Content-Length: " + QByteArray::number(response.body.size() + response.fillerBytes) + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += closes ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";

    m_bytesSent[target] += head.size() + response.body.size();
    socket->write(head + response.body);
    if (!closes)
        return true;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (response.fillerBytes <= 0) {
        socket->disconnectFromHost();
        return false;
    }
    auto remaining = std::make_shared<qint64>(response.fillerBytes);
    // Counted as the system takes it: a client that hangs up stops the count.
    auto queued = std::make_shared<qint64>(0);
    auto topUp = [this, socket, remaining, queued, target] {
        while (*remaining > 0 && socket->bytesToWrite() < maxQueuedBytes
            && socket->state() == QAbstractSocket::ConnectedState) {
            const qint64 slice = std::min(*remaining, fillerSlice);
            socket->write(QByteArray(slice, 'x'));
            *remaining -= slice;
        }
        if (*remaining == 0)
            socket->disconnectFromHost();
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, [this, target, queued, topUp](qint64 bytes) {
        *queued += bytes;
        m_bytesSent[target] = std::max(m_bytesSent[target], *queued);
        topUp();
    });
    topUp();
    return false;
}
