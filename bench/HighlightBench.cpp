// The highlighting engine: start-up (script load) and memory per engine, and highlighting a
// 40-line snippet with a given language and with automatic detection.
#include "detection/highlight/Highlight.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <unistd.h>

namespace {

const QString kSnippet = QStringLiteral(R"PY(import json
import logging
from dataclasses import dataclass, field
from pathlib import Path
from typing import Iterator, Optional

log = logging.getLogger(__name__)


@dataclass
class Entry:
    """One line of the journal."""

    when: str
    level: str
    message: str
    tags: list[str] = field(default_factory=list)

    def matches(self, word: str) -> bool:
        return word.lower() in self.message.lower() or word in self.tags


class Journal:
    def __init__(self, path: Path, limit: int = 1000) -> None:
        self.path = path
        self.limit = limit
        self._entries: list[Entry] = []

    def load(self) -> int:
        with self.path.open(encoding="utf-8") as handle:
            for number, line in enumerate(handle, start=1):
                try:
                    self._entries.append(Entry(**json.loads(line)))
                except (ValueError, TypeError) as error:
                    log.warning("line %d: %s", number, error)
        return len(self._entries)

    def search(self, word: str, level: Optional[str] = None) -> Iterator[Entry]:
        for entry in self._entries[-self.limit:]:
            if (level is None or entry.level == level) and entry.matches(word):
                yield entry
)PY");

double residentMebibytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

const HighlightColors &colors()
{
    static const HighlightColors dark = HighlightColors::dark(HighlightTheme::github);
    return dark;
}

// Creating an engine and answering its first request: the script load dominates.
void BM_HighlightEngineStartUp(benchmark::State &state)
{
    for (auto _ : state) {
        Highlight engine;
        const HighlightResult result = engine
                                           .request(QStringLiteral("x = 1"),
                                               HighlightMode::language(HighlightLanguage::python), colors())
                                           .result();
        benchmark::DoNotOptimize(result.relevance);
    }
}
BENCHMARK(BM_HighlightEngineStartUp)->Unit(benchmark::kMillisecond)->Iterations(10);

// Resident memory added by each loaded engine (one, and three alive at once).
void BM_HighlightEngineMemory(benchmark::State &state)
{
    const int kEngines = int(state.range(0));
    for (auto _ : state) {
        // One-time costs of the process (fonts, the rich-text reader) do not count.
        Highlight::attributedTextFromHtml(Highlight::htmlDocument(QStringLiteral("<b>x</b>"), colors().css));
        const double before = residentMebibytes();
        std::vector<std::unique_ptr<Highlight>> engines;
        for (int i = 0; i < kEngines; ++i) {
            engines.push_back(std::make_unique<Highlight>());
            engines.back()
                ->request(kSnippet, HighlightMode::language(HighlightLanguage::python), colors())
                .waitForFinished();
        }
        state.counters["MiB_per_engine"] = (residentMebibytes() - before) / kEngines;
    }
}
BENCHMARK(BM_HighlightEngineMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1)->Arg(3);

void highlightSnippet(benchmark::State &state, const HighlightMode &mode)
{
    Highlight engine;
    engine.request(kSnippet, mode, colors()).waitForFinished(); // load the script first
    for (auto _ : state) {
        const HighlightResult result = engine.request(kSnippet, mode, colors()).result();
        benchmark::DoNotOptimize(result.relevance);
    }
}

// The whole request: script call, HTML document, conversion to styled text.
void BM_Highlight40LinesWithLanguage(benchmark::State &state)
{
    highlightSnippet(state, HighlightMode::language(HighlightLanguage::python));
}
BENCHMARK(BM_Highlight40LinesWithLanguage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Highlight40LinesAutomatic(benchmark::State &state)
{
    highlightSnippet(state, HighlightMode::automatic());
}
BENCHMARK(BM_Highlight40LinesAutomatic)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The parts: the script call alone, and the conversion of its HTML alone.
void BM_HighlightScriptCall40Lines(benchmark::State &state)
{
    HLJS bridge;
    const HighlightMode mode = HighlightMode::language(HighlightLanguage::python);
    bridge.highlight(kSnippet, mode).waitForFinished();
    for (auto _ : state)
        benchmark::DoNotOptimize(bridge.highlight(kSnippet, mode).result().relevance);
}
BENCHMARK(BM_HighlightScriptCall40Lines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HighlightHtmlConversion40Lines(benchmark::State &state)
{
    HLJS bridge;
    const QString value
        = bridge.highlight(kSnippet, HighlightMode::language(HighlightLanguage::python)).result().value;
    const QString document = Highlight::htmlDocument(value, colors().css);
    for (auto _ : state)
        benchmark::DoNotOptimize(Highlight::attributedTextFromHtml(document).formats.size());
}
BENCHMARK(BM_HighlightHtmlConversion40Lines)->Unit(benchmark::kMillisecond);

} // namespace
