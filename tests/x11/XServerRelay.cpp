#include "XServerRelay.h"

#include <QLocalSocket>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <utility>

namespace {

// The socket of the test's X server, from DISPLAY (":N" or ":N.S").
QString serverSocketPath()
{
    QString number = qEnvironmentVariable("DISPLAY").section(u':', -1);
    return QStringLiteral("/tmp/.X11-unix/X") + number.section(u'.', 0, 0);
}

// One program's connection and the server's side of it.
class Link final : public QObject
{
public:
    Link(QTcpSocket *program, std::atomic<qint64> &passedOn, QObject *parent)
        : QObject(parent)
        , m_program(program)
        , m_passedOn(passedOn)
    {
        program->setParent(this);
        m_server.connectToServer(serverSocketPath());
        if (!m_server.waitForConnected(5000)) {
            program->abort();
            deleteLater();
            return;
        }
        connect(program, &QTcpSocket::readyRead, this, &Link::fromProgram);
        connect(&m_server, &QLocalSocket::readyRead, this, &Link::fromServer);
        connect(program, &QTcpSocket::disconnected, this, [this] {
            m_server.disconnectFromServer();
            deleteLater();
        });
        connect(&m_server, &QLocalSocket::disconnected, this, [this] { m_program->disconnectFromHost(); });
        fromProgram();
    }

    void hold() { m_holding = true; }

private:
    void fromProgram()
    {
        const QByteArray bytes = m_program->readAll();
        if (bytes.isEmpty())
            return;
        m_server.write(bytes);
        if (!m_holding)
            return;
        m_holding = false;
        m_passedOn += m_held.size();
        m_program->write(std::exchange(m_held, {}));
    }
    void fromServer()
    {
        const QByteArray bytes = m_server.readAll();
        if (m_holding)
            m_held += bytes;
        else
            m_program->write(bytes);
    }

    QTcpSocket *m_program;
    QLocalSocket m_server;
    std::atomic<qint64> &m_passedOn;
    bool m_holding = false;
    QByteArray m_held;
};

} // namespace

class XServerRelay::Connections final : public QObject
{
public:
    // A port of the X displays' range that no one listens on; 0 when none was found.
    int listen()
    {
        for (int attempt = 0; attempt < 200; ++attempt) {
            const quint16 port = quint16(6100 + QRandomGenerator::global()->bounded(3000));
            if (m_listener.listen(QHostAddress::LocalHost, port)) {
                connect(&m_listener, &QTcpServer::newConnection, this, [this] {
                    while (QTcpSocket *program = m_listener.nextPendingConnection())
                        new Link(program, m_passedOn, this);
                });
                return port;
            }
        }
        return 0;
    }
    void hold()
    {
        for (Link *link : findChildren<Link *>(Qt::FindDirectChildrenOnly))
            link->hold();
    }
    qint64 passedOn() const { return m_passedOn.load(); }

private:
    QTcpServer m_listener { this };
    std::atomic<qint64> m_passedOn { 0 };
};

XServerRelay::XServerRelay()
    : m_thread(std::make_unique<QThread>())
    , m_connections(new Connections)
{
    m_thread->setObjectName(QStringLiteral("XServerRelay"));
    m_connections->moveToThread(m_thread.get());
    m_thread->start();
    int port = 0;
    QMetaObject::invokeMethod(
        m_connections, [&] { port = m_connections->listen(); }, Qt::BlockingQueuedConnection);
    if (port != 0)
        m_display = QStringLiteral("127.0.0.1:%1").arg(port - 6000);
}

XServerRelay::~XServerRelay()
{
    QMetaObject::invokeMethod(
        m_connections, [connections = m_connections] { delete connections; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void XServerRelay::holdServerMessages()
{
    QMetaObject::invokeMethod(
        m_connections, [this] { m_connections->hold(); }, Qt::BlockingQueuedConnection);
}

qint64 XServerRelay::bytesHeldThenPassedOn() const
{
    return m_connections->passedOn();
}
