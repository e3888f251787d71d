#pragma once

#include "common/ClockTimer.h"
#include "platform/MemoryPressureMonitor.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

// Watches the kernel's memory-pressure stall information (/proc/pressure/memory): the
// share of recent time that tasks waited for memory. Where the kernel offers none (an
// older kernel, PSI switched off, a container hiding it), it falls back to how much of
// the memory is still available (/proc/meminfo). Polled on a timer: reading either file
// costs a few microseconds.
class LinuxMemoryPressureMonitor final : public MemoryPressureMonitor
{
    Q_OBJECT

public:
    explicit LinuxMemoryPressureMonitor(QString pressurePath = QStringLiteral("/proc/pressure/memory"),
        QString meminfoPath = QStringLiteral("/proc/meminfo"),
        std::chrono::milliseconds interval = std::chrono::seconds(5), QObject *parent = nullptr);

    void start();
    void stop();
    // The time of the polls; tests move it by hand.
    void setClock(Clock &clock) { m_timer.setClock(clock); }

    // Reads the level once and reports it; the timer calls this.
    void poll();

    // The level the contents of the pressure file stand for, or nothing when they cannot
    // be read as such. Warning from 10 % of the last 10 s with some task stalled, critical
    // from 10 % with all tasks stalled or 40 % with some.
    static std::optional<MemoryPressureLevel> levelFromPressure(const QByteArray &contents);
    // The same from meminfo: warning at 10 % of the memory available or less, critical
    // at 5 % or less.
    static std::optional<MemoryPressureLevel> levelFromMeminfo(const QByteArray &contents);

private:
    QString m_pressurePath;
    QString m_meminfoPath;
    ClockTimer m_timer;
};
