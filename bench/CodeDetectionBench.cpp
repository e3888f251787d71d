// Cost of code detection per text: the heuristics alone and the whole service, for a
// mixed corpus (the code and text samples of the tests), a typical 40-line snippet, the
// largest text the heuristics read (100 lines of 500 characters) and a cache hit.
#include "detection/CodeDetectionService.h"
#include "detection/ContentTypeClassifier.h"
#include "detection/HeuristicCodeDetection.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <memory>

namespace {

// Answers at once, as a model that finds plain text would, or (given a code label) as one that
// takes every text for that code, so that the text is searched for the label's syntax.
class InstantClassifier final : public ContentTypeClassifier
{
public:
    explicit InstantClassifier(QString label = QStringLiteral("txt"))
        : m_label(std::move(label))
    { }

    QList<ContentTypePrediction> predictTopK(const QString &, int) override
    {
        return { { m_label, 0.9f, m_label != u"txt" }, { QStringLiteral("python"), 0.05f, true } };
    }

private:
    QString m_label;
};

QStringList readSamples()
{
    // Not beside __FILE__: the compiler cache makes that path relative to the build folder.
    const QDir data(QStringLiteral(TINDLEWICK_TEST_DATA_DIR));
    QStringList texts;
    for (const QString &folder :
        { QStringLiteral("code-samples"), QStringLiteral("code-samples/not-code") }) {
        const QDir dir(data.filePath(folder));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                texts.append(QString::fromUtf8(file.readAll()));
        }
    }
    return texts;
}

const QStringList &samples()
{
    static const QStringList texts = readSamples();
    return texts;
}

// A typical snippet: 40 lines of real code (the C sample, repeated as needed).
QString typicalSnippet()
{
    QStringList lines;
    for (const QString &text : samples()) {
        if (text.startsWith(QStringLiteral("#include <stdio.h>"))) {
            while (lines.size() < 40)
                lines += text.split(u'\n');
            break;
        }
    }
    return lines.mid(0, 40).join(u'\n');
}

// 100 lines of 500 characters: the most the heuristics read. Prose hits few patterns,
// so every pattern searches every line before giving up.
QString longProse()
{
    static const char *const words[] = { "the", "quick", "brown", "fox", "jumps", "over", "a", "lazy", "dog",
        "and", "then", "returns", "for", "more", "if", "it", "can", "while", "others", "sort", "find", "head",
        "end", "do", "in", "value", "type", "data" };
    QRandomGenerator random(7);
    QStringList lines;
    for (int i = 0; i < 100; ++i) {
        QString line;
        while (line.size() < 500)
            line += QString::fromLatin1(words[random.bounded(int(std::size(words)))]) + u' ';
        lines.append(line.left(500));
    }
    return lines.join(u'\n');
}

// 100 lines of 500 characters of dense code (bundled JavaScript reads like this).
QString longCode()
{
    const QString piece
        = QStringLiteral("function f(a,b){if(a===b){return a.map(x=>x*2)}var c=JSON.parse(b);");
    QStringList lines;
    for (int i = 0; i < 100; ++i) {
        QString line;
        while (line.size() < 500)
            line += piece;
        lines.append(line.left(500));
    }
    return lines.join(u'\n');
}

void runHeuristics(benchmark::State &state, const QStringList &texts)
{
    const HeuristicCodeDetection &detection = HeuristicCodeDetection::shared();
    for (auto _ : state) {
        for (const QString &text : texts)
            benchmark::DoNotOptimize(detection.detect(text));
    }
    state.SetItemsProcessed(state.iterations() * texts.size());
}

// Every detection misses the cache: the one entry it stores is trimmed again at once.
void runServiceCold(
    benchmark::State &state, const QStringList &texts, const QString &modelLabel = QStringLiteral("txt"))
{
    HeuristicCodeDetection::shared();
    CodeDetectionService service(std::make_shared<InstantClassifier>(modelLabel));
    for (auto _ : state) {
        for (const QString &text : texts) {
            benchmark::DoNotOptimize(service.detectNow(text));
            service.trimCache();
        }
    }
    state.SetItemsProcessed(state.iterations() * texts.size());
}

void BM_Heuristics_MixedCorpus(benchmark::State &state)
{
    runHeuristics(state, samples());
}
void BM_Heuristics_Typical40Lines(benchmark::State &state)
{
    runHeuristics(state, { typicalSnippet() });
}
void BM_Heuristics_WorstCaseProse(benchmark::State &state)
{
    runHeuristics(state, { longProse() });
}
void BM_Heuristics_WorstCaseCode(benchmark::State &state)
{
    runHeuristics(state, { longCode() });
}

void BM_Service_ColdMixedCorpus(benchmark::State &state)
{
    runServiceCold(state, samples());
}
void BM_Service_ColdTypical40Lines(benchmark::State &state)
{
    runServiceCold(state, { typicalSnippet() });
}
void BM_Service_ColdWorstCase(benchmark::State &state)
{
    runServiceCold(state, { longProse(), longCode() });
}
// The model calls the long prose shell: every mark that backs shell is looked for in vain.
void BM_Service_ColdWorstCaseProseLabelledCode(benchmark::State &state)
{
    runServiceCold(state, { longProse() }, QStringLiteral("shell"));
}

// A text detected before: one hash and one lookup, so the cost grows with the text only.
void runCacheHit(benchmark::State &state, const QString &text)
{
    CodeDetectionService service(std::make_shared<InstantClassifier>());
    service.detectNow(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(service.detectNow(text));
}

void BM_Service_CacheHit(benchmark::State &state)
{
    runCacheHit(state, typicalSnippet());
}
void BM_Service_CacheHitWorstCase(benchmark::State &state)
{
    runCacheHit(state, longProse());
}

// The detector's start-up: compiling every table.
void BM_Heuristics_CompileTables(benchmark::State &state)
{
    for (auto _ : state) {
        HeuristicCodeDetection detection;
        benchmark::DoNotOptimize(detection.languages().size());
    }
}

} // namespace

BENCHMARK(BM_Heuristics_MixedCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Heuristics_Typical40Lines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Heuristics_WorstCaseProse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Heuristics_WorstCaseCode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Service_ColdMixedCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Service_ColdTypical40Lines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Service_ColdWorstCase)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Service_ColdWorstCaseProseLabelledCode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Service_CacheHit)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Service_CacheHitWorstCase)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Heuristics_CompileTables)->Unit(benchmark::kMillisecond);
