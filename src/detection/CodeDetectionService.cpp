#include "detection/CodeDetectionService.h"

#include "detection/MagikaDetectionCoreML.h"

#include "common/UserCharacters.h"
#include "detection/CodeEvidence.h"
#include "detection/ContentTypeClassifier.h"
#include "detection/HeuristicCodeDetection.h"
#include "platform/MemoryPressureMonitor.h"

#include <QRegularExpression>

#include <array>
#include <cmath>

namespace {

constexpr int modelTopK = 10;
constexpr qsizetype lispCleanUpLimit = 1000;

struct ShebangEntry
{
    const char16_t *pattern;
    const char16_t *language;
};

// Interpreters of a "#!" line, tried in this order. Each is matched as a whole word, so
// "sh" does not fire inside "bash" (which comes earlier anyway).
constexpr std::array<ShebangEntry, 17> shebangTable { {
    { u"python[0-9.]*", u"python" },
    { u"node", u"javascript" },
    { u"ruby", u"ruby" },
    { u"perl", u"perl" },
    { u"php", u"php" },
    { u"swift", u"swift" },
    { u"bash", u"shell" },
    { u"zsh", u"shell" },
    { u"sh", u"shell" },
    { u"fish", u"shell" },
    { u"ksh", u"shell" },
    { u"csh", u"shell" },
    { u"tcsh", u"shell" },
    { u"dash", u"shell" },
    { u"lua", u"lua" },
    { u"Rscript", u"r" },
    { u"groovy", u"groovy" },
} };

struct CompiledShebang
{
    QRegularExpression regex;
    QString language;
};

const std::vector<CompiledShebang> &compiledShebangs()
{
    static const std::vector<CompiledShebang> compiled = [] {
        std::vector<CompiledShebang> entries;
        for (const ShebangEntry &entry : shebangTable) {
            QRegularExpression regex(
                u"\\b" % QStringView(entry.pattern) % u"\\b", HeuristicCodeDetection::patternOptions);
            if (!regex.isValid())
                continue;
            regex.optimize();
            entries.push_back({ std::move(regex), QString::fromUtf16(entry.language) });
        }
        return entries;
    }();
    return compiled;
}

// Labels of the content-type model that name kinds of plain text, never code.
bool isTextLabel(const QString &label)
{
    static const QSet<QString> textLabels {
        QStringLiteral("txt"),
        QStringLiteral("randombytes"),
        QStringLiteral("randomtxt"),
        QStringLiteral("csv"),
        QStringLiteral("tsv"),
        QStringLiteral("markdown"),
        QStringLiteral("rst"),
        QStringLiteral("eml"),
        QStringLiteral("srt"),
        QStringLiteral("vtt"),
        QStringLiteral("sum"),
        QStringLiteral("po"),
        QStringLiteral("bib"),
    };
    return textLabels.contains(label);
}

// Labels the model is often too sure of get a threshold of their own.
std::optional<float> labelThreshold(const QString &label)
{
    static const QHash<QString, float> thresholds {
        { QStringLiteral("batch"), 0.75f },
        { QStringLiteral("crt"), 0.90f },
        { QStringLiteral("handlebars"), 0.90f },
        { QStringLiteral("ignorefile"), 0.95f },
        { QStringLiteral("latex"), 0.95f },
        { QStringLiteral("lisp"), 0.90f },
        { QStringLiteral("markdown"), 0.75f },
        { QStringLiteral("ocaml"), 0.90f },
        { QStringLiteral("pascal"), 0.95f },
        { QStringLiteral("powershell"), 0.90f },
        { QStringLiteral("r"), 0.90f },
        { QStringLiteral("rst"), 0.90f },
        { QStringLiteral("snap"), 0.90f },
        { QStringLiteral("srt"), 0.95f },
        { QStringLiteral("sql"), 0.90f },
        { QStringLiteral("tsv"), 0.90f },
        { QStringLiteral("zig"), 0.90f },
    };
    const auto found = thresholds.constFind(label);
    if (found == thresholds.cend())
        return std::nullopt;
    return *found;
}

// The default threshold: short texts give the model little to go on, so it may be less
// sure of them.
float lengthThreshold(qsizetype length)
{
    if (length <= 100)
        return 0.10f;
    if (length <= 300)
        return 0.15f;
    return 0.30f;
}

// The model reads emoticons and runs of lone brackets in chat-like text as Lisp; this
// takes them out for a second opinion.
QString withoutEmoticonsAndLoneBrackets(const QString &text)
{
    static const QRegularExpression loneBrackets(
        QStringLiteral(R"((^|\s)[\])(]+(?=\s|$|[.,!?]))"), HeuristicCodeDetection::patternOptions);
    static const QRegularExpression emoticons(
        QStringLiteral(R"([:;=]-?[\])(]+)"), HeuristicCodeDetection::patternOptions);
    QString cleaned = text;
    cleaned.replace(loneBrackets, QStringLiteral("\\1 "));
    cleaned.replace(emoticons, QStringLiteral(" "));
    return cleaned;
}

int confidencePercent(float score)
{
    if (!std::isfinite(score) || score < 0.0f)
        return 0;
    // In single precision on purpose: the model's scores are floats, and 0.125 must give
    // 12.5 exactly, which rounds away from zero to 13.
    const float scaled = std::min(score * 100.0f, 100.0f);
    return int(std::lround(scaled));
}

} // namespace

CodeDetectionService::CodeDetectionService(
    std::shared_ptr<ContentTypeClassifier> classifier, MemoryPressureMonitor *memoryPressure)
    : m_classifier(std::move(classifier))
    , m_pressureReceiver(std::make_unique<QObject>())
{
    if (memoryPressure) {
        // The signal may come from any thread; the trim itself runs on the executor.
        QObject::connect(
            memoryPressure, &MemoryPressureMonitor::pressureRaised, m_pressureReceiver.get(),
            [this](MemoryPressureLevel) { m_executor.run([this] { trimCache(); }); }, Qt::DirectConnection);
    }
}

CodeDetectionService::~CodeDetectionService()
{
    m_pressureReceiver.reset(); // no new trims from here on
    m_executor.waitForIdle();
}

CodeDetectionService &CodeDetectionService::shared()
{
    // Lives until the process ends, like the executor thread serving it. Its model stage is
    // the shared content-type model, which lives as long.
    static CodeDetectionService *instance
        = new CodeDetectionService(std::shared_ptr<ContentTypeClassifier>(
                                       &MagikaDetectionCoreML::shared(), [](ContentTypeClassifier *) {}),
            &MemoryPressureMonitor::system());
    return *instance;
}

QFuture<CodeDetectionService::DetectionResult> CodeDetectionService::detect(const QString &text)
{
    return m_executor.run([this, text] { return detectNow(text); });
}

void CodeDetectionService::setClassifier(std::shared_ptr<ContentTypeClassifier> classifier)
{
    const QMutexLocker lock(&m_mutex);
    m_classifier = std::move(classifier);
}

qsizetype CodeDetectionService::cachedResultCount() const
{
    const QMutexLocker lock(&m_mutex);
    return m_detectionCache.size();
}

qint64 CodeDetectionService::cacheKey(QStringView text)
{
    return qint64(qHash(text, 0));
}

std::optional<QString> CodeDetectionService::detectShebang(QStringView text)
{
    if (!text.startsWith(u"#!"))
        return std::nullopt;
    qsizetype end = 0;
    while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
        ++end;
    const QStringView firstLine = text.first(end);
    for (const CompiledShebang &entry : compiledShebangs()) {
        if (entry.regex.match(firstLine).hasMatch())
            return entry.language;
    }
    return std::nullopt;
}

CodeDetectionService::DetectionResult CodeDetectionService::detectNow(const QString &text)
{
    if (UserCharacters::count(text, minTextLength) < minTextLength)
        return {};

    const qint64 key = cacheKey(text);
    std::shared_ptr<ContentTypeClassifier> classifier;
    {
        const QMutexLocker lock(&m_mutex);
        const auto cached = m_detectionCache.constFind(key);
        if (cached != m_detectionCache.cend())
            return *cached;
        classifier = m_classifier;
    }

    if (const std::optional<QString> language = detectShebang(text)) {
        const DetectionResult result { true, language, 100, language };
        store(key, result);
        return result;
    }

    const HeuristicResult heuristic = HeuristicCodeDetection::shared().detect(text);
    if (heuristic.isCode) {
        const DetectionResult result { true, heuristic.language, heuristic.confidence, heuristic.language };
        store(key, result);
        return result;
    }

    // Without the model's word there is nothing to remember: caching "not code" here
    // would keep the text from the model after it has loaded (or recovered).
    const std::optional<DetectionResult> result = classifier ? modelResult(text, *classifier) : std::nullopt;
    if (!result)
        return {};
    store(key, *result);
    return *result;
}

std::optional<CodeDetectionService::DetectionResult> CodeDetectionService::modelResult(
    const QString &text, ContentTypeClassifier &classifier)
{
    QList<ContentTypePrediction> predictions = classifier.predictTopK(text, modelTopK);
    if (predictions.isEmpty())
        return std::nullopt;

    const qsizetype length = UserCharacters::count(text, lispCleanUpLimit);
    if (predictions.first().label == u"lisp" && length < lispCleanUpLimit) {
        const QString cleaned = withoutEmoticonsAndLoneBrackets(text);
        if (cleaned != text) {
            QList<ContentTypePrediction> again = classifier.predictTopK(cleaned, modelTopK);
            if (!again.isEmpty())
                predictions = std::move(again);
        }
    }
    return decide(predictions, text, length);
}

CodeDetectionService::DetectionResult CodeDetectionService::decide(
    const QList<ContentTypePrediction> &predictions, const QString &text, qsizetype length)
{
    const QList<ContentTypePrediction> best
        = predictions.first(std::min<qsizetype>(predictions.size(), modelTopK));
    const ContentTypePrediction &top = best.first();

    DetectionResult result;
    result.topLabel = top.label;
    // The first label that is not a kind of plain text is the language, even when the
    // top label is one and the text is therefore not code.
    for (const ContentTypePrediction &prediction : best) {
        if (!isTextLabel(prediction.label)) {
            result.language = prediction.label;
            result.confidence = confidencePercent(prediction.confidence);
            break;
        }
    }
    const float threshold = labelThreshold(top.label).value_or(lengthThreshold(length));
    // The model reads words and shapes: a line of words and numbers may look like shell to
    // it. Its code label stands only where the text shows some syntax of that label.
    result.isCode
        = threshold <= top.confidence && !isTextLabel(top.label) && CodeEvidence::supports(top.label, text);
    return result;
}

void CodeDetectionService::store(qint64 key, const DetectionResult &result)
{
    const QMutexLocker lock(&m_mutex);
    const auto existing = m_detectionCache.find(key);
    if (existing != m_detectionCache.end()) {
        // A detection of the same text that overlapped this one stored first.
        *existing = result;
        return;
    }
    while (m_detectionCache.size() >= maxCacheSize && !m_cacheOrder.empty()) {
        m_detectionCache.remove(m_cacheOrder.front());
        m_cacheOrder.pop_front();
    }
    m_detectionCache.insert(key, result);
    m_cacheOrder.push_back(key);
}

void CodeDetectionService::trimCache()
{
    const QMutexLocker lock(&m_mutex);
    const qsizetype target = m_detectionCache.size() / 2;
    while (m_detectionCache.size() > target && !m_cacheOrder.empty()) {
        m_detectionCache.remove(m_cacheOrder.front());
        m_cacheOrder.pop_front();
    }
}
