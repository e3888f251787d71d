// The two detection models: one prediction, one load, and the memory both take once loaded.
#include "detection/GuesslangDetection.h"
#include "detection/MagikaDetectionCoreML.h"
#include "platform/MemoryGiveBack.h"

#include <benchmark/benchmark.h>

#include <QFile>

namespace {

// A 50-line snippet, the size a copied piece of code usually has.
QString snippet()
{
    QString text;
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("def handler_%1(request, *args, **kwargs):\n"
                               "    \"\"\"Serve one request.\"\"\"\n"
                               "    data = json.loads(request.body or '{}')\n"
                               "    return JsonResponse({'ok': True, 'n': len(data)})\n\n")
                    .arg(i);
    return text;
}

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

void BM_ContentTypePredictTopK(benchmark::State &state)
{
    MagikaDetectionCoreML runner;
    if (!runner.loadModel()) {
        state.SkipWithError("the content-type model did not load");
        return;
    }
    const QString text = snippet();
    for (auto _ : state)
        benchmark::DoNotOptimize(runner.predictTopK(text, 10));
}
BENCHMARK(BM_ContentTypePredictTopK)->Unit(benchmark::kMicrosecond);

void BM_GuesslangRankLanguages(benchmark::State &state)
{
    GuesslangDetection network;
    if (!network.loadModel()) {
        state.SkipWithError("the language network did not load");
        return;
    }
    const QString text = snippet();
    for (auto _ : state)
        benchmark::DoNotOptimize(network.rankLanguages(text));
}
BENCHMARK(BM_GuesslangRankLanguages)->Unit(benchmark::kMicrosecond);

void BM_ContentTypeLoad(benchmark::State &state)
{
    MagikaDetectionCoreML runner;
    for (auto _ : state) {
        if (!runner.loadModel())
            state.SkipWithError("the content-type model did not load");
        state.PauseTiming();
        runner.unloadModel();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ContentTypeLoad)->Unit(benchmark::kMillisecond);

void BM_GuesslangLoad(benchmark::State &state)
{
    GuesslangDetection network;
    for (auto _ : state) {
        if (!network.loadModel())
            state.SkipWithError("the language network did not load");
        state.PauseTiming();
        network.unloadModel();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GuesslangLoad)->Unit(benchmark::kMillisecond);

// Resident memory of the process with both models loaded, and what loading them added, then
// once the app would have given memory back.
void BM_BothModelsResidentMemory(benchmark::State &state)
{
    for (auto _ : state) {
        const long before = residentKilobytes();
        auto runner = std::make_unique<MagikaDetectionCoreML>();
        auto network = std::make_unique<GuesslangDetection>();
        if (!runner->loadModel() || !network->loadModel()) {
            state.SkipWithError("a model did not load");
            return;
        }
        benchmark::DoNotOptimize(runner->predictTopK(snippet(), 10));
        benchmark::DoNotOptimize(network->rankLanguages(snippet()));
        const long after = residentKilobytes();
        state.counters["process_MiB"] = double(after) / 1024.0;
        state.counters["models_MiB"] = double(after - before) / 1024.0;
        // What the app keeps of them once it is idle and has given memory back: the rows of
        // the mapped files that were read go, and come back from the files when read again.
        MemoryGiveBack::giveBack();
        state.counters["models_idle_MiB"] = double(residentKilobytes() - before) / 1024.0;
    }
}
BENCHMARK(BM_BothModelsResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
