#include "KeyboardShortcuts/LocalEventMonitor.h"

#include <QCoreApplication>

LocalEventMonitor::LocalEventMonitor(QList<QEvent::Type> types, Callback callback, QObject *parent)
    : QObject(parent)
    , m_types(std::move(types))
    , m_callback(std::move(callback))
{ }

LocalEventMonitor::~LocalEventMonitor()
{
    stop();
}

LocalEventMonitor *LocalEventMonitor::start()
{
    if (!m_running && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_running = true;
    }
    return this;
}

void LocalEventMonitor::stop()
{
    if (m_running && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_running = false;
}

bool LocalEventMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running && m_callback && m_types.contains(event->type()))
        return m_callback(watched, event);
    return false;
}
