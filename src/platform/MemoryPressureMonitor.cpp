#include "platform/MemoryPressureMonitor.h"

#include "platform/LinuxMemoryPressureMonitor.h"

#include <QCoreApplication>
#include <QThread>

MemoryPressureMonitor::MemoryPressureMonitor(QObject *parent)
    : QObject(parent)
{ }

MemoryPressureMonitor::~MemoryPressureMonitor() = default;

MemoryPressureMonitor &MemoryPressureMonitor::system()
{
    static MemoryPressureMonitor *instance = [] {
        auto *monitor = new LinuxMemoryPressureMonitor;
        // Its timer needs an event loop: the main thread's, whoever asked first.
        if (QCoreApplication *application = QCoreApplication::instance()) {
            if (monitor->thread() != application->thread())
                monitor->moveToThread(application->thread());
            QMetaObject::invokeMethod(monitor, &LinuxMemoryPressureMonitor::start, Qt::QueuedConnection);
        }
        return monitor;
    }();
    return *instance;
}

void MemoryPressureMonitor::simulatePressure(MemoryPressureLevel level)
{
    m_level.store(level);
    if (level != MemoryPressureLevel::Normal)
        Q_EMIT pressureRaised(level);
}

void MemoryPressureMonitor::reportLevel(MemoryPressureLevel level)
{
    if (m_level.exchange(level) != level && level != MemoryPressureLevel::Normal)
        Q_EMIT pressureRaised(level);
}
