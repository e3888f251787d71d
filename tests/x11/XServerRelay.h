#pragma once

#include <QString>

#include <memory>

class QThread;

// A way to the test's X server for a program under test that sets DISPLAY to display(): every
// connection made to it is passed on to the server, byte for byte, on a thread of the relay's own.
// holdServerMessages() makes it hold what the server sends each connection open now until that
// connection's program next sends the server anything: a notice the server sent a moment before
// the program acts has not reached the program yet, as over a slow link, for as long as the
// program only waits.
class XServerRelay final
{
public:
    XServerRelay();
    ~XServerRelay();
    XServerRelay(const XServerRelay &) = delete;
    XServerRelay &operator=(const XServerRelay &) = delete;

    bool isListening() const { return !m_display.isEmpty(); }
    // "127.0.0.1:N", a display on a TCP port of its own; empty when none could be had.
    QString display() const { return m_display; }

    void holdServerMessages();
    // How many bytes the server sent that the relay held and let go of since.
    qint64 bytesHeldThenPassedOn() const;

private:
    class Connections;

    std::unique_ptr<QThread> m_thread;
    Connections *m_connections = nullptr; // lives on m_thread
    QString m_display;
};
