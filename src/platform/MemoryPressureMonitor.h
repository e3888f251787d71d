#pragma once

#include <QObject>

#include <atomic>

enum class MemoryPressureLevel { Normal, Warning, Critical };

// A source of memory-pressure events. Caches listen and give memory back when the level
// rises to warning or critical. This base class reports only what it is told, which is
// what tests use; LinuxMemoryPressureMonitor watches the system.
class MemoryPressureMonitor : public QObject
{
    Q_OBJECT

public:
    explicit MemoryPressureMonitor(QObject *parent = nullptr);
    ~MemoryPressureMonitor() override;

    // The monitor of the system's memory, created and started on first use from any
    // thread; it lives on the main thread until the process ends.
    static MemoryPressureMonitor &system();

    MemoryPressureLevel level() const { return m_level.load(); }

    // Test hook: raises the event as if the system had just reported level (warning or
    // critical; normal only lowers the level quietly).
    void simulatePressure(MemoryPressureLevel level);

Q_SIGNALS:
    // The level became warning or critical. May be emitted on any thread.
    void pressureRaised(MemoryPressureLevel level);

protected:
    // Takes a level read from the system and emits when it changed to warning or critical.
    void reportLevel(MemoryPressureLevel level);

private:
    std::atomic<MemoryPressureLevel> m_level { MemoryPressureLevel::Normal };
};
