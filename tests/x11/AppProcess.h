#pragma once

#include "X11TestSupport.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <QRegularExpression>

#include <csignal>

// The program under test; TINDLEWICK_APP_UNDER_TEST may name another build of it.
inline QString appPath()
{
    return qEnvironmentVariable("TINDLEWICK_APP_UNDER_TEST", QStringLiteral(TINDLEWICK_APP_PATH));
}

// What the app's main-thread stall meter (TINDLEWICK_TEST_HOOKS=1) reported in a stretch of
// its output: each time its event loop was not turned for more than 20 ms.
struct MainThreadStalls
{
    int count = 0;
    double longestMs = 0;
    // The app's own work in the longest (the rest of it other programs had the processor).
    double longestWorkMs = 0;

    static MainThreadStalls in(const QString &output)
    {
        static const QRegularExpression line(
            QStringLiteral(R"(Main thread stalled ([0-9.]+) ms \(([0-9.]+) ms of its own work\))"));
        MainThreadStalls stalls;
        for (QRegularExpressionMatchIterator it = line.globalMatch(output); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            ++stalls.count;
            const double ms = match.captured(1).toDouble();
            if (ms > stalls.longestMs) {
                stalls.longestMs = ms;
                stalls.longestWorkMs = match.captured(2).toDouble();
            }
        }
        return stalls;
    }
    QString describe() const
    {
        return count == 0
            ? QStringLiteral("no stall over 20 ms")
            : QStringLiteral("%1 stalls over 20 ms, the longest %2 ms (%3 ms of the app's own work)")
                  .arg(count)
                  .arg(longestMs, 0, 'f', 1)
                  .arg(longestWorkMs, 0, 'f', 1);
    }
};

// The most memory the app's process has held, and what it holds now, in megabytes.
inline double peakMegabytes(qint64 pid)
{
    return double(peakResidentBytes(pid)) / (1024.0 * 1024.0);
}
inline double residentMegabytes(qint64 pid)
{
    return double(residentBytes(pid)) / (1024.0 * 1024.0);
}

// The app in a process of its own, with its own settings and store.
class AppProcess final
{
public:
    explicit AppProcess(const QString &home)
        : m_home(home)
    { }
    AppProcess(const AppProcess &) = delete;
    AppProcess &operator=(const AppProcess &) = delete;
    ~AppProcess() { stop(); }

    // An environment variable of the app's process (a test switch).
    void setEnvironment(const QString &name, const QString &value) { m_extra.insert(name, value); }
    // Keeps what the app prints, for output() and errors(); otherwise it goes to the test's
    // own output.
    void captureOutput() { m_capture = true; }
    QString output() { return m_output += QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString errors() { return m_errors += QString::fromUtf8(m_process.readAllStandardError()); }

    bool start(const QStringList &arguments = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home + QStringLiteral("/cache"));
        // Copies with the same home are one user's: they meet at the same socket and lock,
        // and no other test's (or anyone else's) copy is asked to quit.
        const QString runtime = m_home + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(
            runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        for (auto it = m_extra.cbegin(); it != m_extra.cend(); ++it)
            environment.insert(it.key(), it.value());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(m_capture ? QProcess::SeparateChannels : QProcess::ForwardedChannels);
        m_process.start(appPath(), arguments);
        return m_process.waitForStarted(5000);
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    bool waitForExit(int milliseconds)
    {
        return waitUntil([&] { return m_process.state() == QProcess::NotRunning; },
            std::chrono::milliseconds(milliseconds));
    }
    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    void stop()
    {
        if (!isRunning())
            return;
        signal(SIGTERM);
        if (!waitForExit(5000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    QString m_home;
    QProcess m_process;
    QHash<QString, QString> m_extra;
    bool m_capture = false;
    QString m_output;
    QString m_errors;
};
