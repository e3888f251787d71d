#pragma once

#include "common/SerialExecutor.h"
#include "common/Stoppable.h"

#include <QDeadlineTimer>
#include <QFuture>
#include <QHash>
#include <QMutex>
#include <QString>

#include <deque>
#include <memory>
#include <optional>

class ContentTypeClassifier;
class MemoryPressureMonitor;
struct ContentTypePrediction;

// Decides whether a copied text is source code and in which language: a "#!" line first,
// then the pattern heuristics, then the content-type model, whose code label must be backed
// by a mark of that label's syntax in the text (CodeEvidence). Answers are cached by the
// text's hash (first in, first out, 500 entries, halved when memory runs short).
//
// The service is an actor: its work runs on its own serial executor and detect() returns
// a future. The content-type model is injected; without one (or when it fails) texts that
// the first two stages do not recognise are "not code", and that answer is not cached so
// the model gets its chance once it is there.
class CodeDetectionService final : public Stoppable
{
public:
    struct DetectionResult
    {
        bool isCode = false;
        std::optional<QString> language; // may be set while isCode is false
        int confidence = 0; // 0 to 100
        std::optional<QString> topLabel; // the model's first label, or the language found before it

        friend bool operator==(const DetectionResult &, const DetectionResult &) = default;
    };

    // classifier may be null (no model yet); memoryPressure, when given, must outlive the
    // service or be destroyed before it is used again.
    explicit CodeDetectionService(std::shared_ptr<ContentTypeClassifier> classifier = nullptr,
        MemoryPressureMonitor *memoryPressure = nullptr);
    ~CodeDetectionService();

    CodeDetectionService(const CodeDetectionService &) = delete;
    CodeDetectionService &operator=(const CodeDetectionService &) = delete;

    // The application's instance, created on first use from any thread. It starts without
    // a model and follows the system's memory pressure.
    static CodeDetectionService &shared();

    // Detects on the service's executor. Never fails; after stop() the future is
    // cancelled at once.
    QFuture<DetectionResult> detect(const QString &text);
    // At quit: takes no more work.
    void stop() override { m_executor.stop(); }
    // After stop(): waits for what was handed to the service, until the deadline, so that no
    // detection ends after the application object has gone. False when a detection still runs:
    // it is left to end by itself.
    bool waitUntilEnded(QDeadlineTimer deadline) override { return m_executor.waitUntilEnded(deadline); }

    // The same detection, run on the calling thread (which it blocks while the model
    // runs). Safe from any thread; meant for the service's own work, tests and benchmarks.
    DetectionResult detectNow(const QString &text);

    // Replaces the content-type model; detections already past the heuristics finish
    // with the model they took.
    void setClassifier(std::shared_ptr<ContentTypeClassifier> classifier);

    // The language named by a "#!" first line, if any.
    static std::optional<QString> detectShebang(QStringView text);

    // Drops the older half of the cached answers.
    void trimCache();

    qsizetype cachedResultCount() const;

    static constexpr qsizetype minTextLength = 8;
    static constexpr qsizetype maxCacheSize = 500;

private:
    static qint64 cacheKey(QStringView text);
    // The model's answer, or nothing when it gave no predictions.
    static std::optional<DetectionResult> modelResult(const QString &text, ContentTypeClassifier &classifier);
    static DetectionResult decide(
        const QList<ContentTypePrediction> &predictions, const QString &text, qsizetype length);
    void store(qint64 key, const DetectionResult &result);

    mutable QMutex m_mutex; // guards everything below it
    std::shared_ptr<ContentTypeClassifier> m_classifier;
    QHash<qint64, DetectionResult> m_detectionCache;
    std::deque<qint64> m_cacheOrder; // oldest first

    std::unique_ptr<QObject> m_pressureReceiver;
    SerialExecutor m_executor;
};
