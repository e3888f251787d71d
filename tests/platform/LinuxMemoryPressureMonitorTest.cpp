#include "platform/LinuxMemoryPressureMonitor.h"

#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray pressure(double some, double full)
{
    return QByteArray("some avg10=") + QByteArray::number(some, 'f', 2)
        + " avg60=0.00 avg300=0.00 total=12345\n" + "full avg10=" + QByteArray::number(full, 'f', 2)
        + " avg60=0.00 avg300=0.00 total=678\n";
}

QByteArray meminfo(qint64 totalKb, qint64 availableKb)
{
    return "MemTotal:       " + QByteArray::number(totalKb)
        + " kB\nMemFree:          100 kB\nMemAvailable:   " + QByteArray::number(availableKb)
        + " kB\nBuffers:          20 kB\n";
}

using Level = MemoryPressureLevel;

struct ParseCase
{
    const char *name;
    QByteArray contents;
    std::optional<Level> level;
};

} // namespace

TEST(LinuxMemoryPressureMonitorTest, ReadsTheStallShares)
{
    const ParseCase cases[] = {
        { "calm", pressure(0.0, 0.0), Level::Normal },
        { "some stalls", pressure(9.99, 0.0), Level::Normal },
        { "warning", pressure(10.0, 2.0), Level::Warning },
        { "all tasks stalled", pressure(12.0, 10.0), Level::Critical },
        { "most time stalled", pressure(40.0, 0.0), Level::Critical },
        { "only a some line", "some avg10=15.00 avg60=1.00 avg300=0.10 total=1\n", Level::Warning },
        { "empty (PSI switched off)", "", std::nullopt },
        { "garbage", "not a pressure file\n", std::nullopt },
        { "unreadable number", "some avg10=x avg60=0 avg300=0 total=0\n", std::nullopt },
    };
    for (const ParseCase &c : cases)
        EXPECT_EQ(LinuxMemoryPressureMonitor::levelFromPressure(c.contents), c.level) << c.name;
}

TEST(LinuxMemoryPressureMonitorTest, ReadsTheAvailableShare)
{
    const ParseCase cases[] = {
        { "plenty", meminfo(16000000, 8000000), Level::Normal },
        { "just above a tenth", meminfo(1000000, 100001), Level::Normal },
        { "a tenth", meminfo(1000000, 100000), Level::Warning },
        { "a twentieth", meminfo(1000000, 50000), Level::Critical },
        { "old kernel: free, buffers and cached",
            "MemTotal: 1000 kB\nMemFree: 30 kB\nBuffers: 10 kB\nCached: 40 kB\n", Level::Warning },
        { "no total", "MemAvailable: 100 kB\n", std::nullopt },
        { "zero total", meminfo(0, 0), std::nullopt },
        { "empty", "", std::nullopt },
    };
    for (const ParseCase &c : cases)
        EXPECT_EQ(LinuxMemoryPressureMonitor::levelFromMeminfo(c.contents), c.level) << c.name;
}

TEST(LinuxMemoryPressureMonitorTest, RaisesAnEventWhenTheLevelRises)
{
    QTemporaryDir dir;
    const QString pressurePath = dir.filePath(QStringLiteral("pressure"));
    LinuxMemoryPressureMonitor monitor(pressurePath, dir.filePath(QStringLiteral("meminfo")), 1h);
    QSignalSpy spy(&monitor, &MemoryPressureMonitor::pressureRaised);

    const struct
    {
        QByteArray contents;
        MemoryPressureLevel level;
        int events; // in total so far
    } steps[] = {
        { pressure(0, 0), MemoryPressureLevel::Normal, 0 },
        { pressure(20, 0), MemoryPressureLevel::Warning, 1 },
        { pressure(25, 0), MemoryPressureLevel::Warning, 1 }, // no news
        { pressure(50, 20), MemoryPressureLevel::Critical, 2 },
        { pressure(20, 0), MemoryPressureLevel::Warning, 3 }, // still short of memory
        { pressure(0, 0), MemoryPressureLevel::Normal, 3 }, // relief is no event
        { pressure(15, 0), MemoryPressureLevel::Warning, 4 },
    };
    for (const auto &step : steps) {
        writeFile(pressurePath, step.contents);
        monitor.poll();
        EXPECT_EQ(monitor.level(), step.level);
        EXPECT_EQ(spy.count(), step.events);
    }
    EXPECT_EQ(spy.at(1).at(0).value<MemoryPressureLevel>(), MemoryPressureLevel::Critical);
}

TEST(LinuxMemoryPressureMonitorTest, FallsBackToMeminfoWithoutPressureFile)
{
    QTemporaryDir dir;
    const QString meminfoPath = dir.filePath(QStringLiteral("meminfo"));
    LinuxMemoryPressureMonitor monitor(dir.filePath(QStringLiteral("missing")), meminfoPath, 1h);
    QSignalSpy spy(&monitor, &MemoryPressureMonitor::pressureRaised);

    writeFile(meminfoPath, meminfo(1000000, 40000));
    monitor.poll();
    EXPECT_EQ(monitor.level(), MemoryPressureLevel::Critical);
    EXPECT_EQ(spy.count(), 1);

    // Neither source readable: the last level stands.
    QFile::remove(meminfoPath);
    monitor.poll();
    EXPECT_EQ(monitor.level(), MemoryPressureLevel::Critical);
    EXPECT_EQ(spy.count(), 1);
}

TEST(LinuxMemoryPressureMonitorTest, PollsOnItsTimerOnceStarted)
{
    QTemporaryDir dir;
    const QString pressurePath = dir.filePath(QStringLiteral("pressure"));
    writeFile(pressurePath, pressure(0, 0));
    LinuxMemoryPressureMonitor monitor(pressurePath, dir.filePath(QStringLiteral("meminfo")), 10ms);
    ManualClock clock;
    monitor.setClock(clock);
    QSignalSpy spy(&monitor, &MemoryPressureMonitor::pressureRaised);
    monitor.start();

    writeFile(pressurePath, pressure(30, 0));
    clock.advance(9ms);
    EXPECT_EQ(spy.count(), 0) << "polled before its interval";
    clock.advance(1ms);
    EXPECT_EQ(spy.count(), 1);
    writeFile(pressurePath, pressure(80, 50));
    clock.advance(10ms);
    EXPECT_EQ(spy.count(), 2) << "polled again";
    monitor.stop();
    writeFile(pressurePath, pressure(10, 0));
    clock.advance(1s);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(monitor.level(), MemoryPressureLevel::Critical);
}

TEST(MemoryPressureMonitorTest, TheTestHookRaisesEveryEventItIsGiven)
{
    MemoryPressureMonitor monitor;
    QSignalSpy spy(&monitor, &MemoryPressureMonitor::pressureRaised);
    monitor.simulatePressure(MemoryPressureLevel::Warning);
    monitor.simulatePressure(MemoryPressureLevel::Warning);
    monitor.simulatePressure(MemoryPressureLevel::Critical);
    monitor.simulatePressure(MemoryPressureLevel::Normal);
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(monitor.level(), MemoryPressureLevel::Normal);
}

TEST(MemoryPressureMonitorTest, TheSystemMonitorIsOneAndLivesOnTheMainThread)
{
    MemoryPressureMonitor &system = MemoryPressureMonitor::system();
    EXPECT_EQ(&system, &MemoryPressureMonitor::system());
    EXPECT_EQ(system.thread(), QCoreApplication::instance()->thread());
}
