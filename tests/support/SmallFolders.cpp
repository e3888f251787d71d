#include "support/SmallFolders.h"

#include "support/TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child's own mounts so far.
QSet<QString> g_limited;

bool writeProcFile(const char *path, const QByteArray &text)
{
    const int descriptor = ::open(path, O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool written = ::write(descriptor, text.constData(), size_t(text.size())) == text.size();
    ::close(descriptor);
    return written;
}

// Gives the calling (single-threaded) process a mount namespace of its own, whose mounts no
// other process sees: directly as root, otherwise inside a user namespace where it is root.
bool ownMounts()
{
    if (::geteuid() != 0) {
        const QByteArray uid = QByteArray::number(::geteuid());
        const QByteArray gid = QByteArray::number(::getegid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !writeProcFile("/proc/self/setgroups", "deny")
            || !writeProcFile("/proc/self/uid_map", "0 " + uid + " 1")
            || !writeProcFile("/proc/self/gid_map", "0 " + gid + " 1"))
            return false;
    } else if (::unshare(CLONE_NEWNS) != 0) {
        return false;
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// The child's side: runs the job and writes its result to the pipe; 77 when it has no mounts of
// its own.
[[noreturn]] void runChild(int pipe, const std::function<QString()> &job)
{
    if (!ownMounts())
        ::_exit(77);
    const QByteArray result = job().toUtf8();
    for (qsizetype written = 0; written < result.size();) {
        const ssize_t now = ::write(pipe, result.constData() + written, size_t(result.size() - written));
        if (now <= 0)
            ::_exit(3);
        written += now;
    }
    ::_exit(0);
}

QString howItEnded(int status)
{
    if (WIFSIGNALED(status))
        return QStringLiteral("<the child died of signal %1>").arg(WTERMSIG(status));
    return QStringLiteral("<the child exited with %1>").arg(WEXITSTATUS(status));
}

} // namespace

namespace SmallFolders {

Outcome inChild(const std::function<QString()> &job, std::chrono::seconds limit)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return { true, QStringLiteral("<no pipe>") };
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        runChild(pipe[1], job);
    }
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        return { true, QStringLiteral("<no child process>") };
    }
    ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
    QByteArray result;
    int status = 0;
    bool ended = false;
    const auto endedNow = [&] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
            result.append(buffer, got);
        ended = ended || ::waitpid(child, &status, WNOHANG) == child;
        return ended;
    };
    if (!waitUntil(endedNow, limit)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        ::close(pipe[0]);
        return { true, QStringLiteral("<the child did not end in time>") };
    }
    endedNow(); // what it wrote last
    ::close(pipe[0]);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        return { false, {} };
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return { true, howItEnded(status) };
    return { true, QString::fromUtf8(result) };
}

bool limit(const QString &folder, qint64 bytes)
{
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray path = QFile::encodeName(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes);
    const bool mounted = g_limited.contains(folder);
    if (::mount("tmpfs", path.constData(), "tmpfs", mounted ? MS_REMOUNT : 0, options.constData()) != 0)
        return false;
    g_limited.insert(folder);
    return true;
}

Outcome usesWithNoRoomThenRoom(
    const QString &cache, const QString &temporary, const std::function<QString()> &use)
{
    return inChild([&] {
        qputenv("TMPDIR", QFile::encodeName(temporary));
        if (!limit(cache, 64 * 1024) || !limit(temporary, 64 * 1024))
            return QStringLiteral("<no small folders>");
        CapturedDiagnostics diagnostics;
        QStringList results { use(), use() };
        if (!limit(cache, 16 * 1024 * 1024))
            return QStringLiteral("<no room made>");
        results.append(use());
        return (results + diagnostics.lines()).join(QLatin1Char('\n'));
    });
}

} // namespace SmallFolders
