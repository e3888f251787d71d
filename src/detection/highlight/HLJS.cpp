#include "detection/highlight/HLJS.h"

#include "common/Diagnostics.h"
#include "detection/highlight/HLJSError.h"
#include "platform/Bundle.h"
#include "platform/ResourceFile.h"

#include <QFileInfo>
#include <QJSEngine>
#include <QJSValue>
#include <QLoggingCategory>
#include <QMutex>
#include <QPromise>
#include <QThread>

#include <atomic>
#include <mutex>

namespace {

// The script shipped is a third of a megabyte.
constexpr qint64 maxScriptBytes = 16 * 1024 * 1024;

// The engine's compiler lints every script it compiles ("Variable is used before its
// declaration"), which for the minified highlight.js is a page of warnings per load.
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void quietScriptCompiler(QLoggingCategory *category)
{
    if (g_previousFilter)
        g_previousFilter(category);
    if (qstrcmp(category->categoryName(), "qt.qml.compiler") == 0)
        category->setEnabled(QtWarningMsg, false);
}

} // namespace

struct HLJS::State
{
    explicit State(const QString &path)
        : scriptPath(path)
    { }

    bool isStopping()
    {
        QMutexLocker lock(&engineMutex);
        return stopping;
    }
    void setEngine(QJSEngine *newEngine)
    {
        QMutexLocker lock(&engineMutex);
        engine = newEngine;
        if (engine && stopping)
            engine->setInterrupted(true);
    }
    void stop()
    {
        QMutexLocker lock(&engineMutex);
        stopping = true;
        if (engine)
            engine->setInterrupted(true);
    }

    const QString scriptPath;
    std::atomic<int> scriptReadCount { 0 };
    std::atomic<int> engineCount { 0 };
    // The worker's engine, for interruption from the owning thread.
    QMutex engineMutex;
    QJSEngine *engine = nullptr;
    bool stopping = false;
};

class HLJS::Worker final : public QObject
{
public:
    explicit Worker(std::shared_ptr<State> state)
        : m_state(std::move(state))
    { }
    ~Worker() override
    {
        m_hljs = QJSValue();
        m_state->setEngine(nullptr);
    }

    HLJSResult highlight(const QString &text, const HighlightMode &mode)
    {
        const QJSValue hljs = loadedHljs();
        const QString functionName
            = mode.isAutomatic() ? QStringLiteral("highlightAuto") : QStringLiteral("highlight");
        QJSValue function = hljs.property(functionName);
        if (!function.isCallable())
            throw HLJSError(HLJSError::Code::valueNotFound,
                QStringLiteral("hljs.") + functionName + QStringLiteral(" is not a function"));

        QJSValueList arguments { QJSValue(text) };
        if (!mode.isAutomatic()) {
            QJSValue options = m_engine->newObject();
            options.setProperty(QStringLiteral("language"), mode.scriptLanguageName());
            if (mode.ignoresIllegals())
                options.setProperty(QStringLiteral("ignoreIllegals"), true);
            arguments.append(options);
        }

        QJSValue result = function.callWithInstance(hljs, arguments);
        // An interrupted engine is not touched again, only destroyed: its next allocation can
        // run a collection over the script stack the interrupt left behind, which crashes.
        if (m_state->isStopping())
            return {};
        // A throw inside the script (an unknown language, say) counts as an undefined
        // result, whose fields read as false, 0 and "undefined".
        if (result.isError())
            result = QJSValue(QJSValue::UndefinedValue);

        HLJSResult record;
        record.illegal = result.property(QStringLiteral("illegal")).toBool();
        record.relevance = result.property(QStringLiteral("relevance")).toInt();
        record.value = result.property(QStringLiteral("value")).toString();
        record.language = result.property(QStringLiteral("language")).toString();
        return record;
    }

private:
    QJSValue loadedHljs()
    {
        if (m_hljs.isObject())
            return m_hljs;

        // The file first: while it is missing the rows ask again and again, and an engine made
        // and thrown away for each question costs the memory of one every time.
        QString path = m_state->scriptPath;
        if (path.isEmpty()) {
            path = Bundle::pathForResource(QStringLiteral("highlight.min"), QStringLiteral("js"));
            if (path.isEmpty()) {
                const QString missing
                    = QStringLiteral("highlight.min.js (") + Bundle::searchedFolders() + QLatin1Char(')');
                // The rows ask again and again while it is missing: said once.
                if (!std::exchange(m_reportedMissingScript, true))
                    printDiagnostic(QStringLiteral("HLJS: Could not find %1; code is shown without colours")
                                        .arg(missing));
                throw HLJSError(HLJSError::Code::fileNotFound, missing);
            }
        } else if (!QFileInfo::exists(path)) {
            throw HLJSError(HLJSError::Code::fileNotFound, path);
        }

        const QByteArray bytes = readScript(path);

        auto engine = std::make_unique<QJSEngine>();
        ++m_state->engineCount;
        if (!engine->globalObject().isObject())
            throw HLJSError(HLJSError::Code::contextIsNil);
        m_hljs = QJSValue();
        m_state->setEngine(engine.get());
        m_engine = std::move(engine);
        const QJSValue evaluation = m_engine->evaluate(QString::fromUtf8(bytes), path);
        QJSValue hljs = m_engine->globalObject().property(QStringLiteral("hljs"));
        if (!hljs.isObject()) {
            m_state->setEngine(nullptr);
            m_engine.reset();
            throw HLJSError(
                HLJSError::Code::hljsNotFound, evaluation.isError() ? evaluation.toString() : QString());
        }
        m_hljs = hljs;
        return m_hljs;
    }

    QByteArray readScript(const QString &path)
    {
        ++m_state->scriptReadCount;
        QString error;
        std::optional<QByteArray> bytes = ResourceFile::read(path, maxScriptBytes, &error);
        if (!bytes) {
            const QString detail = path + QStringLiteral(": ") + error;
            // The rows ask again and again while it cannot be read: said once.
            if (std::exchange(m_reportedUnreadableScript, detail) != detail)
                printDiagnostic(
                    QStringLiteral("HLJS: Could not read %1; code is shown without colours").arg(detail));
            throw HLJSError(HLJSError::Code::fileUnreadable, detail);
        }
        m_reportedUnreadableScript.clear();
        return *std::move(bytes);
    }

    std::shared_ptr<State> m_state;
    // The handle must go before the engine it belongs to.
    std::unique_ptr<QJSEngine> m_engine;
    QJSValue m_hljs;
    bool m_reportedMissingScript = false;
    QString m_reportedUnreadableScript;
};

HLJS::HLJS(const QString &scriptPath)
    : m_state(std::make_shared<State>(scriptPath))
{
    static std::once_flag installFilter;
    std::call_once(
        installFilter, [] { g_previousFilter = QLoggingCategory::installFilter(quietScriptCompiler); });
}

HLJS::~HLJS()
{
    stop();
    if (!m_leftBehind && !waitUntilEnded(QDeadlineTimer(endLimit)))
        printDiagnostic(QStringLiteral("HLJS: The highlighting thread had not ended %1 s after it was "
                                       "stopped: left to end by itself")
                            .arg(double(endLimit.count()) / 1000.0));
}

int HLJS::scriptReadCount() const
{
    return m_state->scriptReadCount.load();
}

int HLJS::engineCount() const
{
    return m_state->engineCount.load();
}

void HLJS::stop()
{
    m_state->stop();
    if (m_thread)
        m_thread->quit();
}

bool HLJS::waitUntilEnded(QDeadlineTimer deadline)
{
    if (m_leftBehind)
        return false;
    if (!m_thread)
        return true;
    if (!m_thread->wait(deadline)) {
        // The thread and its worker go by themselves when it ends (the worker with the thread's
        // last deferred deletions); the shared state lives on with the worker.
        m_leftBehind = true;
        m_thread = nullptr;
        m_worker = nullptr;
        return false;
    }
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;
    return true;
}

void HLJS::ensureStarted()
{
    std::call_once(m_started, [this] {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("HLJS"));
        m_worker = new Worker(m_state);
        m_worker->moveToThread(m_thread);
        // The worker, and with it the engine, is destroyed on its own thread as it ends.
        QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread->start();
    });
}

QFuture<HLJSResult> HLJS::highlight(const QString &text, const HighlightMode &mode)
{
    auto promise = std::make_shared<QPromise<HLJSResult>>();
    QFuture<HLJSResult> future = promise->future();
    promise->start();
    if (m_state->isStopping()) {
        future.cancel();
        promise->finish();
        return future;
    }
    ensureStarted();
    // The request holds what it uses: a thread left to end by itself still serves it after the
    // bridge has gone.
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [state = m_state, worker, promise, text, mode] {
            // Once the bridge is going away the requests still queued end cancelled unrun: the
            // thread's loop delivers every event posted before its quit, and running each one
            // (loading the script again after an interrupted load) held the quit for seconds.
            if (state->isStopping())
                promise->future().cancel();
            else if (!promise->isCanceled()) {
                try {
                    HLJSResult result = worker->highlight(text, mode);
                    // A call cut short because this bridge is going away answers nothing.
                    if (state->isStopping())
                        promise->future().cancel();
                    else
                        promise->addResult(std::move(result));
                } catch (const HLJSError &error) {
                    promise->setException(error);
                }
            }
            promise->finish();
        },
        Qt::QueuedConnection);
    return future;
}
