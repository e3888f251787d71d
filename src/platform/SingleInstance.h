#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;
class QLocalSocket;

// One running copy per user. Which copy runs is settled by a lock file in the user's runtime
// folder, held for the life of the copy; the copy that holds it listens on a local socket
// beside it, so that a later copy can ask it to quit, or to open its settings window. All of
// it is settled before a copy opens the store or loads a model: a copy that does not run
// leaves at once.
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

    struct Waits
    {
        // How long a copy that holds the lock but does not listen (yet) is waited for.
        int silentHolderMs = 1000;
        // How long a copy that was asked to quit may take to go.
        int leavingCopyMs = 5000;
    };
    // Makes this the running copy: a copy that runs already is asked to quit, and this one
    // takes the lock as it goes. False when another copy keeps running: one that took the
    // lock first while this one waited (copies started at the same moment end as one), or one
    // that does not go. True: this copy holds the lock and listens for later copies, or no
    // lock can be made at all (lockProblem() says why) and it runs unchecked.
    bool takeOver(const Waits &waits);
    bool takeOver() { return takeOver(Waits {}); }

    enum class SettingsRequest {
        // The running copy has the request in hand; this one leaves.
        delivered,
        // No copy was running: this one holds the lock and listens, as takeOver() leaves it.
        thisCopyRuns,
        // A copy holds the lock but never answered (one still starting for longer than
        // silentHolderMs, or one too busy for leavingCopyMs).
        unanswered,
    };
    // For a copy started to show the settings: asks the running copy to open its settings
    // window and leaves it running; with none running, this copy becomes the running one.
    SettingsRequest askToOpenSettings(const Waits &waits);
    SettingsRequest askToOpenSettings() { return askToOpenSettings(Waits {}); }

    // Takes the lock that lets this copy run, waiting at most waitMilliseconds for the copy
    // that holds it to go away. False when another copy still holds it (this one must then
    // quit), or when the lock file cannot be made. The lock goes with this object or the process.
    bool claim(int waitMilliseconds);
    bool hasClaimed() const { return m_lockDescriptor >= 0; }
    // Why the lock file could not be made at the last try (a read-only runtime folder): which
    // copy runs cannot be settled then. Empty when it could.
    QString lockProblem() const { return m_lockProblem; }
    // Whether this copy runs: it holds the lock, or no lock could be made.
    bool runs() const { return hasClaimed() || !m_lockProblem.isEmpty(); }
    // Starts answering the requests of later copies. False when the socket cannot be made.
    bool listen();
    bool isListening() const;

Q_SIGNALS:
    // A later copy asked this one to quit; the receiver must stop its work and quit.
    void quitRequested();
    // A later copy asked this one to open its settings window (it has left since).
    void settingsRequested();

private:
    // The lock file opened (made when missing); -1 with lockProblem() set when it cannot be.
    int openLockFile();
    void acceptConnections();
    void answerRequest(QLocalSocket *client);
    // Sends the settings request over a connection to the running copy and waits for its answer.
    // Nothing when the connection closed before an answer.
    std::optional<SettingsRequest> sendSettingsRequest(QLocalSocket &runningCopy, int waitMs);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    int m_lockDescriptor = -1;
    QString m_lockProblem;
};
