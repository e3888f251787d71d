#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>

struct xcb_connection_t;

// Lets an end-to-end test wait until the app has handled what the test sent it, instead of
// sleeping for a time that a busy machine may not honour. After its keys, clicks and moves the
// test writes a number to the root window's property _TINDLEWICK_TEST_BARRIER; the server
// tells the app of that change behind those events, on the connection Qt reads them from. Once
// the app has handled them and what they set off at once (a search settling, a menu opening, a
// repaint: all queued behind them), and the server has taken the app's drawing, `reached` is
// called with the number. What the app does later on a timer is not waited for. Nothing
// happens when Qt does not run on X11. Main thread only.
class X11InputBarrier final : public QObject, public QAbstractNativeEventFilter
{
public:
    static constexpr const char *propertyName = "_TINDLEWICK_TEST_BARRIER";

    X11InputBarrier(std::function<void(quint32 number)> reached, QObject *parent);
    ~X11InputBarrier() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    // Turns of the event loop between seeing the number and reporting it: the events before
    // it are delivered on the next turn, what they queue on the turn after, and so on.
    static constexpr int queuedTurns = 5;

    void passOn(quint32 number, int turnsLeft);

    std::function<void(quint32)> m_reached;
    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    quint32 m_atom = 0;
};
