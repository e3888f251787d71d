#pragma once

#include <QtGlobal>

#include <csignal>
#include <optional>

#include <sys/resource.h>
#include <sys/types.h>

// While it lives, the signal is ignored by this process and by the programs it starts.
class IgnoredSignal final
{
public:
    explicit IgnoredSignal(int number)
        : m_number(number)
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(m_number, &ignore, &m_previous);
    }
    ~IgnoredSignal() { ::sigaction(m_number, &m_previous, nullptr); }
    IgnoredSignal(const IgnoredSignal &) = delete;
    IgnoredSignal &operator=(const IgnoredSignal &) = delete;

private:
    int m_number;
    struct sigaction m_previous = {};
};

// A process (0: this one) may not write any file beyond `bytes` while this lives, and is told so
// by a failing write ("File too large") where a full disk would say "No space left on device": a
// full disk that needs no privilege, on any file system. The process must ignore SIGXFSZ, which
// would end it (this process does while the limit lasts; start another one under an
// IgnoredSignal). Only the soft limit moves, so any user may lift it again.
class FileSizeLimit final
{
public:
    FileSizeLimit(pid_t pid, qint64 bytes)
        : m_pid(pid)
    {
        if (m_pid == 0)
            m_ignored.emplace(SIGXFSZ);
        if (::prlimit(m_pid, RLIMIT_FSIZE, nullptr, &m_previous) != 0)
            return;
        const struct rlimit limit = { rlim_t(bytes), m_previous.rlim_max };
        m_applied = ::prlimit(m_pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isApplied() const { return m_applied; }
    // The room comes back.
    bool lift()
    {
        if (m_applied && ::prlimit(m_pid, RLIMIT_FSIZE, &m_previous, nullptr) != 0)
            return false;
        m_applied = false;
        m_ignored.reset();
        return true;
    }

private:
    pid_t m_pid;
    struct rlimit m_previous = {};
    bool m_applied = false;
    std::optional<IgnoredSignal> m_ignored;
};
