#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>

struct _XDisplay;
struct xcb_connection_t;
class QSocketNotifier;

// The app's own connection to the X server, beside Qt's: global grabs, raw input and
// window-manager queries go through it so they never disturb Qt's event handling. Its
// events are read whenever its socket has data, and after every call that may have
// buffered some (a reply read can bring events along that would never wake the socket).
// Main thread only.
class X11Connection final : public QObject
{
    Q_OBJECT
public:
    // The shared connection, opened on first use; nullptr when there is no X display or
    // Qt does not run on X11.
    static X11Connection *shared();
    // Another connection of the same process: to the server it is a separate client
    // (tests use one to hold a grab against the app). Nothing without a display.
    static std::unique_ptr<X11Connection> open();

    ~X11Connection() override;

    _XDisplay *display() const { return m_display; }
    xcb_connection_t *xcb() const { return m_xcb; }
    quint32 root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }
    quint32 atom(const QByteArray &name);
    // A window's property of this type, its first maxLength bytes; empty when the window lacks it
    // or is gone.
    QByteArray property(quint32 window, const QByteArray &name, quint32 type, quint32 maxLength = 4096);

    // Handlers see every event of this connection (the xcb event, not owned); id for removal.
    using EventHandler = std::function<void(const void *event)>;
    int addEventHandler(EventHandler handler);
    void removeEventHandler(int id);
    // Reads and dispatches every event already received or buffered.
    void drain();
    // A round trip to the server, then drain(): the events the server sent before now have all
    // been handled on return (what another client, a tool say, just caused).
    void sync();
    void flush();

    // The time of the latest key or button event seen here: what the window manager
    // wants with a focus request so it can tell a user's request from focus stealing.
    quint32 lastUserTime() const { return m_lastUserTime; }
    void noteUserTime(quint32 time);

    // The major opcode of XInput 2.1 or later (raw events of the whole desktop); 0 when the
    // server lacks it or the environment switched raw input off, which the tests do to play
    // a server without it: TINDLEWICK_X11_NO_RAW_INPUT=1.
    quint8 xinputOpcode() const { return m_xinputOpcode; }
    // Why there is no raw input; empty when there is.
    QString rawInputUnavailableReason() const { return m_rawInputUnavailableReason; }
    // Whether the server is XWayland: its raw input only sees keys typed into X11 windows.
    bool isXWayland() const { return m_isXWayland; }
    bool hasXTest() const { return m_hasXTest; }

private:
    X11Connection(_XDisplay *display);
    void dispatch(const void *event);

    _XDisplay *m_display = nullptr;
    xcb_connection_t *m_xcb = nullptr;
    quint32 m_root = 0;
    int m_screenNumber = 0;
    QSocketNotifier *m_notifier = nullptr;
    QHash<QByteArray, quint32> m_atoms;
    std::map<int, EventHandler> m_handlers;
    int m_nextHandlerId = 1;
    quint32 m_lastUserTime = 0;
    quint8 m_xinputOpcode = 0;
    QString m_rawInputUnavailableReason;
    bool m_isXWayland = false;
    bool m_hasXTest = false;
    bool m_draining = false;
};
