#pragma once

#include "platform/GlobalInputMonitor.h"
#include "platform/X11KeyboardMap.h"

#include <QHash>

class X11Connection;

// Raw XInput 2 events of the root window for all master devices: they arrive for every
// key and button, whichever window has the focus or the grab, and leave the events
// themselves untouched. The modifier keys come from the server's modifier map, read once
// and again when it changes; the keys already held when watching starts are taken from
// the keyboard's state, so a Shift held since before counts.
class X11GlobalInputMonitor final : public GlobalInputMonitor
{
    Q_OBJECT
public:
    explicit X11GlobalInputMonitor(X11Connection &connection, QObject *parent = nullptr);
    ~X11GlobalInputMonitor() override;

    void setWatchesMouseDowns(bool watch) override;
    bool setWatchesModifiers(bool watch, QString *error) override;
    bool isAvailable() const override;

    // The modifiers held as last seen, in the shortcut model's flags.
    quint64 heldModifierFlags() const { return m_flags; }

private:
    bool select(QString *error = nullptr);
    void handleEvent(const void *event);
    double secondsOf(quint32 serverTime);

    X11Connection &m_connection;
    X11KeyboardMap m_keyboardMap;
    int m_handlerId = 0;
    bool m_mouse = false;
    bool m_modifiers = false;
    QHash<quint8, quint64> m_heldModifierKeys;
    quint64 m_flags = 0;
    // The server's millisecond time wraps after 49 days; this keeps it going.
    quint32 m_lastServerTime = 0;
    qint64 m_wrapOffset = 0;
};
