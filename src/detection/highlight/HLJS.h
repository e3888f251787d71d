#pragma once

#include "common/Stoppable.h"
#include "detection/highlight/HighlightMode.h"

#include <QDeadlineTimer>
#include <QFuture>
#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

class QJSEngine;
class QThread;

// What one call of the highlighting script reported.
struct HLJSResult
{
    QString value; // the highlighted HTML fragment
    bool illegal = false;
    QString language; // the language as the script names it
    qint32 relevance = 0;

    friend bool operator==(const HLJSResult &, const HLJSResult &) = default;
};

// The one place where highlight.js runs: a JavaScript engine of its own on a thread of its
// own (the engine may only be used on the thread that created it). The script is loaded on
// the first request and kept; a failed load is tried again on the next request. Requests
// are served one at a time, in order.
class HLJS final : public Stoppable
{
public:
    // scriptPath: the script to load; empty for the bundle resource "highlight.min.js".
    explicit HLJS(const QString &scriptPath = {});
    // stop(), then waits for the thread at most endLimit: a thread that has not ended by then
    // (one whose script's reading does not end, on a mount that stopped answering say) is left to end by
    // itself, in the log.
    ~HLJS();

    HLJS(const HLJS &) = delete;
    HLJS &operator=(const HLJS &) = delete;

    // Highlights text in the given mode. Fails with HLJSError; a script failure (an
    // unknown language, say) is a result whose value and language are "undefined".
    // A request cancelled before its turn is skipped; one made after stop() is cancelled.
    QFuture<HLJSResult> highlight(const QString &text, const HighlightMode &mode);

    // Serves no more requests: a running script call is interrupted, the requests not yet
    // served end cancelled, and the thread ends after them. Returns at once.
    void stop() override;
    // After stop(): waits until the thread has ended or the deadline has passed. False when it
    // has not ended by then: it is left to end by itself, and touches nothing of this object
    // any more (later waits return false at once).
    bool waitUntilEnded(QDeadlineTimer deadline) override;
    static constexpr std::chrono::milliseconds endLimit { 1000 };

    // How many times the script file has been read: once, unless loading failed.
    int scriptReadCount() const;
    // How many script engines have been made: one for each script read, none while it is missing.
    int engineCount() const;

private:
    class Worker;
    // What the bridge and its thread share; it lives as long as either does.
    struct State;

    void ensureStarted();

    std::shared_ptr<State> m_state;
    std::once_flag m_started;
    QThread *m_thread = nullptr;
    Worker *m_worker = nullptr;
    bool m_leftBehind = false;
};
