#include "platform/LinuxMemoryPressureMonitor.h"

#include <QFile>
#include <QList>

namespace {

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report a size of 0: read until the end instead of trusting it.
    return file.read(64 * 1024);
}

// The value of key=value in a PSI line such as "some avg10=1.25 avg60=0.40 ...".
std::optional<double> psiValue(const QByteArray &line, QByteArrayView key)
{
    for (const QByteArray &field : line.split(' ')) {
        if (field.startsWith(key) && field.size() > key.size() && field[key.size()] == '=') {
            bool ok = false;
            const double value = QByteArrayView(field).sliced(key.size() + 1).toDouble(&ok);
            if (ok)
                return value;
        }
    }
    return std::nullopt;
}

} // namespace

LinuxMemoryPressureMonitor::LinuxMemoryPressureMonitor(
    QString pressurePath, QString meminfoPath, std::chrono::milliseconds interval, QObject *parent)
    : MemoryPressureMonitor(parent)
    , m_pressurePath(std::move(pressurePath))
    , m_meminfoPath(std::move(meminfoPath))
    , m_timer(Clock::system(), interval, [this] {
        m_timer.start();
        poll();
    })
{ }

void LinuxMemoryPressureMonitor::start()
{
    poll();
    m_timer.start();
}

void LinuxMemoryPressureMonitor::stop()
{
    m_timer.stop();
}

void LinuxMemoryPressureMonitor::poll()
{
    std::optional<MemoryPressureLevel> level = levelFromPressure(readSmallFile(m_pressurePath));
    if (!level)
        level = levelFromMeminfo(readSmallFile(m_meminfoPath));
    if (level)
        reportLevel(*level);
}

std::optional<MemoryPressureLevel> LinuxMemoryPressureMonitor::levelFromPressure(const QByteArray &contents)
{
    std::optional<double> some;
    std::optional<double> full;
    for (QByteArray line : contents.split('\n')) {
        line = line.trimmed();
        if (line.startsWith("some "))
            some = psiValue(line, "avg10");
        else if (line.startsWith("full "))
            full = psiValue(line, "avg10");
    }
    if (!some)
        return std::nullopt;
    if (*some >= 40.0 || full.value_or(0.0) >= 10.0)
        return MemoryPressureLevel::Critical;
    if (*some >= 10.0)
        return MemoryPressureLevel::Warning;
    return MemoryPressureLevel::Normal;
}

std::optional<MemoryPressureLevel> LinuxMemoryPressureMonitor::levelFromMeminfo(const QByteArray &contents)
{
    // Lines read "MemAvailable:    1234567 kB".
    std::optional<double> total;
    std::optional<double> available;
    double freeBuffersCached = 0.0; // for kernels older than MemAvailable
    bool sawFree = false;
    for (const QByteArray &line : contents.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArrayView key = QByteArrayView(line).first(colon);
        QByteArrayView rest = QByteArrayView(line).sliced(colon + 1).trimmed();
        if (rest.endsWith(" kB"))
            rest.chop(3);
        bool ok = false;
        const double value = rest.trimmed().toDouble(&ok);
        if (!ok)
            continue;
        if (key == "MemTotal")
            total = value;
        else if (key == "MemAvailable")
            available = value;
        else if (key == "MemFree" || key == "Buffers" || key == "Cached") {
            freeBuffersCached += value;
            sawFree = true;
        }
    }
    if (!available && sawFree)
        available = freeBuffersCached;
    if (!total || !available || *total <= 0.0)
        return std::nullopt;
    const double share = *available / *total;
    if (share <= 0.05)
        return MemoryPressureLevel::Critical;
    if (share <= 0.10)
        return MemoryPressureLevel::Warning;
    return MemoryPressureLevel::Normal;
}
