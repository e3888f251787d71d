#pragma once

#include "platform/ClipboardRequests.h"

#include <QAbstractNativeEventFilter>
#include <QHash>

struct xcb_connection_t;

// The requests for the app's CLIPBOARD and PRIMARY selections as they reach Qt's own connection,
// which owns them, seen before Qt answers them. A request's window belongs to the program
// followed when the server made both windows for the same client: they share the bits above the
// server's resource mask. Nothing is reported when Qt does not run on X11.
class X11ClipboardRequests final : public ClipboardRequests, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit X11ClipboardRequests(QObject *parent = nullptr);
    ~X11ClipboardRequests() override;

    void follow(quint64 window) override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    QString atomName(quint32 atom);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_resourceMask = 0;
    quint32 m_clipboard = 0;
    quint32 m_primary = 0;
    quint32 m_followedClient = 0;
    bool m_following = false;
    QHash<quint32, QString> m_names;
};
