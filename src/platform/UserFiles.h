#pragma once

#include "common/Clock.h"

#include <QByteArray>
#include <QFuture>
#include <QObject>
#include <QPromise>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// The files the user's items name, read so that none of them can hold the app up. Such a file
// may be anything: a FIFO or a device that never answers, or a file on a network mount that
// hangs in open() or read(). So:
// - only regular files are read, opened without waiting (a FIFO's open() would wait for a
//   writer) and looked at before anything is read; anything else is refused, in the log;
// - every piece of work that touches them runs on a thread of its own, never one of the shared
//   pool that capture and saving need, and never one that quitting waits for;
// - work that has not finished within its time limit is abandoned: its caller gets the
//   fallback, the log says so, and the thread is left to end (or hang) by itself. While
//   maxUnfinished of them have not ended, further work is refused at once, in the log: a mount
//   that hangs for good costs a bounded number of threads.
class UserFiles final : public QObject
{
    Q_OBJECT
public:
    static UserFiles &shared();
    explicit UserFiles(QObject *parent = nullptr);
    ~UserFiles() override;

    enum class Refusal { none, unreadable, notRegular, tooLarge };
    // Opens the file for reading, when it is a regular file: a descriptor the caller closes, or
    // -1 (why says why; a file that is not a regular one is named in the log). Any thread.
    static int openRegular(const QString &path, Refusal *why = nullptr);
    // The whole file, when it is a regular file of at most maxBytes. Any thread: its own time
    // limit is the caller's (run it through run()).
    static std::optional<QByteArray> readRegular(
        const QString &path, qint64 maxBytes, Refusal *why = nullptr);

    // Runs job() on a thread of its own and gives its result, or a default-made result when
    // the job did not finish within `limit` or too many earlier ones have not finished. `path`
    // names the file in the log. Main thread.
    template <typename Job>
    auto run(const QString &path, std::chrono::milliseconds limit, Job &&job)
        -> QFuture<std::invoke_result_t<std::decay_t<Job>>>
    {
        using Result = std::invoke_result_t<std::decay_t<Job>>;
        auto promise = std::make_shared<QPromise<Result>>();
        auto settled = std::make_shared<std::atomic<bool>>(false);
        promise->start();
        QFuture<Result> future = promise->future();
        // The job's result or the fallback, whichever comes first; true for that one.
        const auto give = [promise, settled](Result result) {
            if (settled->exchange(true))
                return false;
            promise->addResult(std::move(result));
            promise->finish();
            return true;
        };
        start(
            path, limit, [give, job = std::forward<Job>(job)]() mutable { give(job()); },
            [give] { return give(Result {}); });
        return future;
    }

    // At quit: every job not finished yet is abandoned now (its caller gets the fallback), and
    // later jobs are refused at once. A job that ends after the application has gone then
    // finishes nothing that would continue on its threads. Nothing of it is waited for: a reading
    // that hangs holds a thread of its own, not the quit.
    void stop();

    // Jobs that have neither finished nor been let go by their thread.
    int unfinished() const;
    static constexpr int maxUnfinished = 16;
    // The time limits run on (tests move it by hand).
    void setClock(Clock &clock) { m_clock = &clock; }

private:
    struct Threads;
    // Starts work() on a thread of its own, or calls giveUp() at once when too many have not
    // finished; giveUp() also runs when the limit passes, and says whether the work had not
    // given its result by then.
    void start(const QString &path, std::chrono::milliseconds limit, std::function<void()> work,
        std::function<bool()> giveUp);

    Clock *m_clock = &Clock::system();
    // The give-ups of jobs whose time limit has not passed yet, by their number.
    std::map<quint64, std::function<bool()>> m_waiting;
    quint64 m_lastJob = 0;
    bool m_stopped = false;
    // Outlives this object: a thread that hangs still counts itself out of it when it ends.
    std::shared_ptr<Threads> m_threads;
};
