#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const QByteArray quitRequest = "quit\n";
const QByteArray settingsRequest = "settings\n";
// Sent once the request is in hand, before the window is made: the asking copy need not wait
// for it.
const QByteArray settingsAnswer = "opening settings\n";
// The lock and the connection of a copy go together as it ends (the lock first); a copy that
// saw the connection close tries this much longer before it concludes that another took the
// lock.
constexpr int handOverMs = 100;
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(socketPath.isEmpty() ? defaultSocketPath() : std::move(socketPath))
{ }

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockDescriptor >= 0)
        ::close(m_lockDescriptor); // releases the lock
}

bool SingleInstance::claim(int waitMilliseconds)
{
    if (m_lockDescriptor >= 0)
        return true;
    const int descriptor = openLockFile();
    if (descriptor < 0)
        return false;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            m_lockDescriptor = descriptor;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (timer.elapsed() >= waitMilliseconds)
            break;
        QThread::msleep(20);
    }
    ::close(descriptor);
    return false;
}

int SingleInstance::openLockFile()
{
    const QByteArray path = QFile::encodeName(lockPath());
    int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const int error = errno;
    // A lock file made earlier is locked as well through a descriptor that only reads (a runtime
    // folder mounted read-only since).
    if (descriptor < 0)
        descriptor = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    m_lockProblem = descriptor >= 0 ? QString()
                                    : QStringLiteral("%1 cannot be made (%2)")
                                          .arg(lockPath(), QString::fromLocal8Bit(std::strerror(error)));
    return descriptor;
}

QString SingleInstance::defaultSocketPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        return QDir::tempPath() + QStringLiteral("/tindlewick-%1.socket").arg(getuid());
    return folder + QStringLiteral("/tindlewick.socket");
}

bool SingleInstance::takeOver(const Waits &waits)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket runningCopy;
    bool asked = false;
    qint64 goneAt = -1;
    // Not being found by later copies is the caller's to report; this one runs.
    const auto runs = [this] {
        listen();
        return true;
    };
    for (;;) {
        if (claim(0))
            return runs();
        const qint64 now = clock.elapsed();
        if (!asked) {
            runningCopy.connectToServer(m_socketPath);
            if (runningCopy.waitForConnected(100)) {
                runningCopy.write(quitRequest);
                runningCopy.flush();
                asked = true;
            } else {
                runningCopy.abort();
                // Where no lock can be made, no copy holds one either: this one runs unchecked.
                if (!m_lockProblem.isEmpty())
                    return runs();
                // A copy that took the lock this very moment listens right after; one that
                // never does (it cannot make its socket) is left to run.
                if (now >= waits.silentHolderMs)
                    return false;
                QThread::msleep(10);
            }
            continue;
        }
        if (goneAt < 0 && runningCopy.state() != QLocalSocket::ConnectedState)
            goneAt = now;
        if (goneAt >= 0 && !m_lockProblem.isEmpty())
            return runs();
        if (goneAt >= 0) {
            // Gone, and the lock it left was taken by a copy started beside this one.
            if (now - goneAt >= handOverMs)
                return false;
            QThread::msleep(5);
        } else if (now >= waits.leavingCopyMs) {
            return false;
        } else {
            runningCopy.waitForDisconnected(10);
        }
    }
}

SingleInstance::SettingsRequest SingleInstance::askToOpenSettings(const Waits &waits)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (claim(0)) {
            listen();
            return SettingsRequest::thisCopyRuns;
        }
        QLocalSocket runningCopy;
        runningCopy.connectToServer(m_socketPath);
        if (runningCopy.waitForConnected(100)) {
            if (const std::optional<SettingsRequest> answer
                = sendSettingsRequest(runningCopy, waits.leavingCopyMs))
                return *answer;
            // It went before it answered (a copy started beside this one took over): the
            // next running copy is asked, or this one runs.
        } else {
            runningCopy.abort();
            // Where no lock can be made, no copy holds one either.
            if (!m_lockProblem.isEmpty()) {
                listen();
                return SettingsRequest::thisCopyRuns;
            }
        }
        // A copy that took the lock this very moment listens right after.
        const qint64 limit = std::max(waits.silentHolderMs, waits.leavingCopyMs);
        if (clock.elapsed() >= limit)
            return SettingsRequest::unanswered;
        QThread::msleep(10);
    }
}

std::optional<SingleInstance::SettingsRequest> SingleInstance::sendSettingsRequest(
    QLocalSocket &runningCopy, int waitMs)
{
    runningCopy.write(settingsRequest);
    runningCopy.flush();
    QElapsedTimer clock;
    clock.start();
    while (!runningCopy.canReadLine()) {
        if (runningCopy.state() != QLocalSocket::ConnectedState)
            return std::nullopt;
        if (clock.elapsed() >= waitMs)
            return SettingsRequest::unanswered;
        runningCopy.waitForReadyRead(20);
    }
    if (runningCopy.readLine() == settingsAnswer)
        return SettingsRequest::delivered;
    return SettingsRequest::unanswered;
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

bool SingleInstance::listen()
{
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a copy that has gone (or ignored our request) is taken over.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        client->setParent(this);
        QPointer<QLocalSocket> weakClient = client;
        connect(client, &QLocalSocket::readyRead, this, [this, weakClient] {
            if (weakClient)
                answerRequest(weakClient);
        });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
}

void SingleInstance::answerRequest(QLocalSocket *client)
{
    while (client->canReadLine()) {
        const QByteArray request = client->readLine();
        if (request == quitRequest) {
            // The connection stays open until this process ends: its closing tells the new
            // copy that this one has gone.
            Q_EMIT quitRequested();
        } else if (request == settingsRequest) {
            client->write(settingsAnswer);
            client->disconnectFromServer();
            Q_EMIT settingsRequested();
            return;
        }
    }
}
