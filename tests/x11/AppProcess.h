#pragma once

#include "X11TestSupport.h"
#include "support/SeparateProcess.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <QRegularExpression>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

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
    // The most of the app's own work in any one stall, which a loaded machine does not lengthen.
    double mostWorkMs = 0;

    static MainThreadStalls in(const QString &output)
    {
        static const QRegularExpression line(
            QStringLiteral(R"(Main thread stalled ([0-9.]+) ms \(([0-9.]+) ms of its own work\))"));
        MainThreadStalls stalls;
        for (QRegularExpressionMatchIterator it = line.globalMatch(output); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            ++stalls.count;
            const double ms = match.captured(1).toDouble();
            stalls.mostWorkMs = std::max(stalls.mostWorkMs, match.captured(2).toDouble());
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
    // The most the app's process may write into any one file (RLIMIT_FSIZE), as on a full disk:
    // a write beyond it fails (EFBIG) rather than ending the app; -1 for no limit. Before the start
    // or while it runs; false when it cannot be set.
    bool limitFileSize(qint64 bytes)
    {
        m_fileSizeLimit = bytes;
        if (!isRunning())
            return true;
        rlimit limit {};
        if (::prlimit(pid_t(pid()), RLIMIT_FSIZE, nullptr, &limit) != 0)
            return false;
        limit.rlim_cur = bytes < 0 ? limit.rlim_max : rlim_t(bytes);
        return ::prlimit(pid_t(pid()), RLIMIT_FSIZE, &limit, nullptr) == 0;
    }
    // Keeps what the app prints, for output() and errors(); otherwise it goes to the test's
    // own output.
    void captureOutput() { m_capture = true; }
    QString output() { return m_output += QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString errors() { return m_errors += QString::fromUtf8(m_process.readAllStandardError()); }
    // The app's test hooks (TINDLEWICK_TEST_HOOKS=1) with what it prints kept: needed by
    // caughtUp() and waitForMenu().
    void enableTestHooks()
    {
        setEnvironment(QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1"));
        captureOutput();
    }
    bool hasTestHooks() const { return m_extra.contains(QStringLiteral("TINDLEWICK_TEST_HOOKS")); }
    // Waits until the app has handled every key, click and move sent to it so far and what
    // they set off at once (a search settling, a menu opening, a repaint that has reached the
    // screen); not what it does later on a timer. Needs enableTestHooks().
    bool caughtUp(std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        static quint32 lastBarrier = 0;
        const QString number = QString::number(++lastBarrier);
        if (!runTool(QStringLiteral("xprop"),
                { QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("_TINDLEWICK_TEST_BARRIER"),
                    QStringLiteral("32c"), QStringLiteral("-set"), QStringLiteral("_TINDLEWICK_TEST_BARRIER"),
                    number }))
            return false;
        const QString handled = QStringLiteral("[TestHooks] Input handled up to %1\n").arg(number);
        return waitUntil([&] { return output().contains(handled); }, limit);
    }
    // caughtUp() after a click on one of the app's windows: the window manager takes a press
    // first (it focuses and raises on it) and hands it on, so it has to have caught up before
    // the app can.
    bool caughtUpWithClick() { return windowManagerCaughtUp() && caughtUp(); }
    // After something the app does on a timer of its own (an animation, a delay it keeps
    // before it acts) has started: waits that long, the least the app needs, and then until
    // the app has caught up, so that the timer has fired and what it drew is on the screen.
    bool caughtUpAfter(std::chrono::milliseconds appTime)
    {
        QTest::qWait(int(appTime.count()));
        return caughtUp();
    }
    // Waits until the app has used (nearly) no processor time for half a second: the work it had
    // started, on any of its threads, is over. Its own time is counted, so other programs' load
    // does not hold it back.
    bool settles()
    {
        return waitUntil(
            [&] {
                const double before = processorSeconds(pid());
                QTest::qWait(500);
                return processorSeconds(pid()) - before < 0.02;
            },
            std::chrono::seconds(60));
    }
    // Where the app's output stands now: waitForMenu() looks only at what comes after.
    qsizetype outputMark() { return output().size(); }
    // Waits until a menu the app showed after `mark` lists the entry (among others) and the app
    // has caught up with showing it: the keys sent from then on reach it. Needs enableTestHooks().
    bool waitForMenu(
        qsizetype mark, const QString &entry, std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        static const QRegularExpression menuLine(QStringLiteral(R"(\[TestHooks\] Menu: ([^\n]*)\n)"));
        return waitUntil(
                   [&] {
                       for (QRegularExpressionMatchIterator it = menuLine.globalMatch(output().mid(mark));
                            it.hasNext();) {
                           if (it.next().captured(1).split(QStringLiteral(" | ")).contains(entry))
                               return true;
                       }
                       return false;
                   },
                   limit)
            && caughtUp();
    }

    bool start(const QStringList &arguments = {})
    {
        QProcessEnvironment environment = privateHomeEnvironment(m_home);
        for (auto it = m_extra.cbegin(); it != m_extra.cend(); ++it)
            environment.insert(it.key(), it.value());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(m_capture ? QProcess::SeparateChannels : QProcess::ForwardedChannels);
        if (m_fileSizeLimit >= 0) {
            m_process.setChildProcessModifier([bytes = rlim_t(m_fileSizeLimit)] {
                std::signal(SIGXFSZ, SIG_IGN); // ignored it stays so in the app
                rlimit limit {};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = bytes;
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
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
    qint64 m_fileSizeLimit = -1;
    QString m_output;
    QString m_errors;
};
