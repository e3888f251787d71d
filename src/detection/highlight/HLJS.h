#pragma once

#include "detection/highlight/HighlightMode.h"

#include <QFuture>
#include <QMutex>
#include <QString>

#include <atomic>
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
class HLJS final
{
public:
    // scriptPath: the script to load; empty for the bundle resource "highlight.min.js".
    explicit HLJS(const QString &scriptPath = {});
    // Interrupts a running script call; requests not yet served end cancelled.
    ~HLJS();

    HLJS(const HLJS &) = delete;
    HLJS &operator=(const HLJS &) = delete;

    // Highlights text in the given mode. Fails with HLJSError; a script failure (an
    // unknown language, say) is a result whose value and language are "undefined".
    // A request cancelled before its turn is skipped.
    QFuture<HLJSResult> highlight(const QString &text, const HighlightMode &mode);

    // How many times the script file has been read: once, unless loading failed.
    int scriptReadCount() const { return m_scriptReadCount.load(); }

private:
    class Worker;

    void ensureStarted();
    void setEngine(QJSEngine *engine);
    bool isStopping();

    const QString m_scriptPath;
    std::once_flag m_started;
    QThread *m_thread = nullptr;
    Worker *m_worker = nullptr;
    std::atomic<int> m_scriptReadCount { 0 };

    // The worker's engine, for interruption from the owning thread.
    QMutex m_engineMutex;
    QJSEngine *m_engine = nullptr;
    bool m_stopping = false;
};
