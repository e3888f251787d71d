#pragma once

#include "platform/GlobalInputMonitor.h"

#include <QHash>

class X11Connection;

// Raw XInput 2 events of the root window for all master devices: they arrive for every
// key and button, whichever window has the focus or the grab, and leave the events
// themselves untouched.
class X11GlobalInputMonitor final : public GlobalInputMonitor
{
    Q_OBJECT
public:
    explicit X11GlobalInputMonitor(X11Connection &connection, QObject *parent = nullptr);
    ~X11GlobalInputMonitor() override;

    void setWatchesMouseDowns(bool watch) override;
    void setWatchesModifiers(bool watch) override;
    bool isAvailable() const override;

private:
    void select();
    void handleEvent(const void *event);
    quint64 modifierFlagOf(quint8 keycode);
    double secondsOf(quint32 serverTime);

    X11Connection &m_connection;
    int m_handlerId = 0;
    bool m_mouse = false;
    bool m_modifiers = false;
    QHash<quint8, quint64> m_flagByKeycode;
    QHash<quint8, quint64> m_heldModifierKeys;
    quint64 m_flags = 0;
    // The server's millisecond time wraps after 49 days; this keeps it going.
    quint32 m_lastServerTime = 0;
    qint64 m_wrapOffset = 0;
};
