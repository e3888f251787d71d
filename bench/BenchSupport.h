#pragma once

#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <ctime>

// Resident memory of this process in megabytes, from /proc/self/status.
inline double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Private memory of this process in megabytes (its own pages, clean and dirty; pages of shared
// libraries and files that other processes share not counted), from /proc/self/smaps_rollup.
inline double privateMegabytes()
{
    QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
    if (!rollup.open(QIODevice::ReadOnly))
        return 0;
    double kilobytes = 0;
    for (const QByteArray &line : rollup.readAll().split('\n')) {
        if (line.startsWith("Private_Clean:") || line.startsWith("Private_Dirty:"))
            kilobytes += line.mid(14).trimmed().split(' ').first().toDouble();
    }
    return kilobytes / 1024.0;
}

// CPU time this thread has used, in milliseconds: work done, not time waited or preempted.
inline double threadMilliseconds()
{
    timespec time {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

// A fresh store and settings of their own in a temporary folder.
struct BenchStoreFixture
{
    QTemporaryDir folder;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;

    BenchStoreFixture()
    {
        container = ModelContainer::open(folder.path() + QStringLiteral("/default.store"), nullptr);
        defaults = std::make_unique<UserDefaults>(folder.path() + QStringLiteral("/defaults.json"));
        settings = std::make_unique<AppSettings>(*defaults);
    }
};
