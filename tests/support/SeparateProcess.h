#pragma once

// The app in a process of its own, as the X11 tests and the memory benchmarks run it: a home
// of its own, and the processor time it has used (to wait until it settles). Header-only.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

// Processor time a process has used so far (user and system, every thread), in seconds; -1
// when unknown.
inline double processorSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command's name, which may itself hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The folders a process watches through inotify, by inode, as the kernel lists its watches
// (a folder watched twice is listed twice).
inline QList<quint64> inotifyWatchedInodes(qint64 pid)
{
    QList<quint64> inodes;
    for (const QFileInfo &entry :
        QDir(QStringLiteral("/proc/%1/fdinfo").arg(pid)).entryInfoList(QDir::Files)) {
        QFile info(entry.filePath());
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n')) {
            const qsizetype at = line.startsWith("inotify wd:") ? line.indexOf(" ino:") : -1;
            if (at >= 0)
                inodes.append(line.mid(at + 5, line.indexOf(' ', at + 5) - at - 5).toULongLong(nullptr, 16));
        }
    }
    return inodes;
}

// The inode of a path; 0 when it cannot be read.
inline quint64 inodeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? quint64(info.st_ino) : 0;
}

// This process's environment with a private home for the app: its settings, store and cache
// folders, and a runtime folder of its own. Copies with the same home are one user's: they
// meet at the same socket and lock, and no other copy (anyone else's) is asked to quit.
inline QProcessEnvironment privateHomeEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}
