#pragma once

#include <QEvent>
#include <QList>
#include <QObject>

#include <functional>

// Watches events of the given types on their way to any object of this app for as long
// as it lives. The callback answers whether it consumed the event (it then reaches no
// one); returning false lets it through unchanged.
class LocalEventMonitor final : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<bool(QObject *receiver, QEvent *event)>;

    LocalEventMonitor(QList<QEvent::Type> types, Callback callback, QObject *parent = nullptr);
    ~LocalEventMonitor() override;

    // Installs the monitor; returns itself.
    LocalEventMonitor *start();
    void stop();
    bool isRunning() const { return m_running; }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QEvent::Type> m_types;
    Callback m_callback;
    bool m_running = false;
};
