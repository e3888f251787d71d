#include "KeyboardShortcuts/LocalEventMonitor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <memory>

namespace {

// An object of the app that counts the events that reach it.
class Receiver final : public QObject
{
public:
    QList<QEvent::Type> received;

    bool event(QEvent *event) override
    {
        received.append(event->type());
        return true;
    }
};

// The watched types reach the callback with their receiver, on their way to any object of the
// app; what the callback consumes reaches no one, everything else arrives unchanged.
TEST(LocalEventMonitorTest, WatchedEventsReachTheCallbackAndConsumedOnesNoOneElse)
{
    const QEvent::Type watched = QEvent::Type(QEvent::registerEventType());
    const QEvent::Type consumed = QEvent::Type(QEvent::registerEventType());
    const QEvent::Type unwatched = QEvent::Type(QEvent::registerEventType());
    Receiver receiver;
    QList<std::pair<QObject *, QEvent::Type>> seen;
    LocalEventMonitor monitor({ watched, consumed }, [&](QObject *object, QEvent *event) {
        seen.append({ object, event->type() });
        return event->type() == consumed;
    });
    EXPECT_FALSE(monitor.isRunning());
    EXPECT_EQ(monitor.start(), &monitor);
    EXPECT_TRUE(monitor.isRunning());
    monitor.start(); // a second start installs nothing more

    const struct
    {
        QEvent::Type type;
        bool reachesCallback;
        bool reachesReceiver;
    } cases[] = {
        { watched, true, true },
        { consumed, true, false },
        { unwatched, false, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.type));
        seen.clear();
        receiver.received.clear();
        QEvent event(c.type);
        QCoreApplication::sendEvent(&receiver, &event);
        const decltype(seen) expectedSeen
            = c.reachesCallback ? decltype(seen) { { &receiver, c.type } } : decltype(seen) {};
        EXPECT_EQ(seen, expectedSeen);
        EXPECT_EQ(receiver.received.size(), c.reachesReceiver ? 1 : 0);
        EXPECT_EQ(receiver.received.count(c.type), c.reachesReceiver ? 1 : 0);
    }
}

// Once stopped or gone, the monitor sees nothing and consumes nothing; started again, it
// watches again.
TEST(LocalEventMonitorTest, AStoppedOrDestroyedMonitorLetsEverythingThrough)
{
    const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    Receiver receiver;
    int calls = 0;
    auto monitor
        = std::make_unique<LocalEventMonitor>(QList<QEvent::Type> { type }, [&](QObject *, QEvent *) {
              ++calls;
              return true;
          });
    auto send = [&] {
        QEvent event(type);
        QCoreApplication::sendEvent(&receiver, &event);
    };

    const struct
    {
        const char *name;
        std::function<void()> step;
        int calls;
        qsizetype received;
    } steps[] = {
        { "never started", [] {}, 0, 1 },
        { "started", [&] { monitor->start(); }, 1, 0 },
        { "stopped", [&] { monitor->stop(); }, 0, 1 },
        { "stopped twice", [&] { monitor->stop(); }, 0, 1 },
        { "started again", [&] { monitor->start(); }, 1, 0 },
        { "destroyed while running", [&] { monitor.reset(); }, 0, 1 },
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        s.step();
        calls = 0;
        receiver.received.clear();
        send();
        EXPECT_EQ(calls, s.calls);
        EXPECT_EQ(receiver.received.size(), s.received);
    }
}

} // namespace
