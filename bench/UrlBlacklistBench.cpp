// The URL blacklist against a copied link: reading the list (once per change of it) and asking
// about one link, with 100 and with 10,000 entries [a link under 10 ms whatever the list's length].
#include "BenchSupport.h"

#include "support/LongBlacklist.h"

#include "model/UrlBlacklist.h"

#include <benchmark/benchmark.h>

namespace {

// Links that no entry of longBlacklist() matches, of the lengths links have.
QStringList copiedLinks()
{
    return { QStringLiteral("https://www.example.com/articles/2024/05/the-harbour-at-dusk?ref=home"),
        QStringLiteral("https://site5.example.org/public/notes/today"),
        QStringLiteral("https://docs.example.net/guide/install#linux"),
        QStringLiteral("https://m\u00FCnchen.example.de/stra\u00DFe?q=\u00E4"),
        QStringLiteral("https://shop.example.co.uk/basket?item=1234&utm_source=mail") };
}

void BM_UrlBlacklistPrepare(benchmark::State &state)
{
    const QStringList entries = longBlacklist(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(UrlBlacklist::Matcher(entries));
}

void BM_UrlBlacklistMatchLink(benchmark::State &state)
{
    const UrlBlacklist::Matcher matcher(longBlacklist(int(state.range(0))));
    const QStringList links = copiedLinks();
    qsizetype n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.isExcluded(links[n++ % links.size()]));
}

} // namespace

BENCHMARK(BM_UrlBlacklistPrepare)->Arg(100)->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UrlBlacklistMatchLink)->Arg(100)->Arg(10'000)->Unit(benchmark::kMicrosecond);
