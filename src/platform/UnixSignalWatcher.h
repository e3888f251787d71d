#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so the app can
// save and checkpoint its store before it ends; on request SIGUSR1 too.
class UnixSignalWatcher final : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

    // From now on SIGUSR1 no longer ends the process but arrives as userSignalReceived.
    void watchUserSignal();

Q_SIGNALS:
    void terminationRequested(int signalNumber);
    void userSignalReceived();

private:
    void readSignal();
    QSocketNotifier *m_notifier = nullptr;
    bool m_watchesUserSignal = false;
};
