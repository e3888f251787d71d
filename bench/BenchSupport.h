#pragma once

#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <ctime>
#include <initializer_list>

// The kilobytes of the lines named in a /proc file of the kind of status or smaps_rollup
// ("VmRSS:", "Private_Dirty:", ...), summed; 0 when it cannot be read.
inline double procKilobytes(const QString &path, std::initializer_list<const char *> names)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    double kilobytes = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        for (const char *name : names) {
            if (line.startsWith(name))
                kilobytes += line.mid(qstrlen(name)).trimmed().split(' ').first().toDouble();
        }
    }
    return kilobytes;
}

// Resident memory of this process in mebibytes.
inline double residentMebibytes()
{
    return procKilobytes(QStringLiteral("/proc/self/status"), { "VmRSS:" }) / 1024.0;
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
