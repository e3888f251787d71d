#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running copy per user: each copy listens on a local socket in the user's runtime
// folder. A new copy asks the running one to quit before it starts its own work, and the
// running one quits when asked. Which copy runs is settled by a lock file beside the
// socket, held for the life of the copy: copies started at the same moment cannot both
// run, whatever the order in which they reach the socket.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    // socketPath: empty means "<XDG runtime folder>/tindlewick.socket" (or the temporary
    // folder with the user id when there is no runtime folder). The lock file is the
    // socket's path with ".lock" added.
    explicit SingleInstance(QString socketPath = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultSocketPath();
    QString socketPath() const { return m_socketPath; }
    QString lockPath() const { return m_socketPath + QStringLiteral(".lock"); }

    // Asks every running copy to quit. Answers whether one was asked; only then does it
    // wait, at most waitMilliseconds, for that copy to go away.
    bool terminateOtherInstances(int waitMilliseconds = 500);
    // Takes the lock that lets this copy run, waiting at most waitMilliseconds for the copy
    // that holds it to go away. False when another copy still holds it (this one must then
    // quit). The lock goes with this object or the process.
    bool claim(int waitMilliseconds);
    bool hasClaimed() const { return m_lockDescriptor >= 0; }
    // Starts answering the requests of later copies. False when the socket cannot be made.
    bool listen();

Q_SIGNALS:
    // A later copy asked this one to quit; the receiver must stop its work and quit.
    void quitRequested();

private:
    void acceptConnections();

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    int m_lockDescriptor = -1;
};
