// Memory of the app as it runs: its own program in a process of its own for each benchmark,
// under the X server the benchmark runs on (scripts/with-xserver.sh), over a history an earlier
// run left or one copied into it through the clipboard. Each figure is read from
// /proc/PID/smaps_rollup once the app has settled (no processor time for three seconds), first
// before the panel was ever shown, then once it has been shown: what a system monitor shows.
#include "AppUnderBench.h"

#include "BenchCodeItems.h"
#include "BenchPictures.h"
#include "model/HighlightTheme.h"
#include "model/ModelContainer.h"

#include "model/ClipboardItem.h"
#include "support/EverydayTexts.h"
#include "support/NumberedTestTexts.h"

#include <benchmark/benchmark.h>

#include <QDateTime>

#include <map>

namespace {

// A history within the capture's retention (eight hours by default, which prunes older
// unpinned items when the app starts), none of it later than now, and a limit that keeps it.
QList<ClipboardItemPtr> recentTexts(const QStringList &texts)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-2 * 3600);
    QList<ClipboardItemPtr> items;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = texts[i] });
        item->setTimestamp(start.addSecs(i));
        items.append(item);
    }
    return items;
}

QJsonObject keepingHistoryOf(qsizetype count)
{
    return { { QStringLiteral("historyLimit"), qint64(count) } };
}

void report(benchmark::State &state, const char *name, const AppUnderBench::Memory &memory)
{
    state.counters[std::string("private_MiB") + name] = memory.privateMiB;
    state.counters[std::string("dirty_MiB") + name] = memory.privateDirtyMiB;
    state.counters[std::string("rss_MiB") + name] = memory.residentMiB;
}

// Measures the started app before its panel is shown ("_before_panel") and once it has been
// shown (with every column scrolled through when asked).
void measureBeforeAndShown(benchmark::State &state, AppUnderBench &app, bool scroll = false)
{
    if (!app.settles()) {
        state.SkipWithError("the app never settled");
        return;
    }
    report(state, "_before_panel", app.memory());
    if (!app.showPanel() || (scroll && !app.scrollPanelThrough()) || !app.settles()) {
        state.SkipWithError("the panel was not shown");
        return;
    }
    report(state, "", app.memory());
    state.counters["peak_rss_MiB"] = app.peakResidentMiB();
    state.counters["stored"] = double(app.storedCount());
}

bool canRun(benchmark::State &state)
{
    if (AppUnderBench::hasDisplay())
        return true;
    state.SkipWithError("needs an X server (scripts/with-xserver.sh)");
    return false;
}

// The app started over an empty history, one sentence copied.
void BM_AppMemoryFreshStartOneCopy(benchmark::State &state)
{
    if (!canRun(state))
        return;
    for (auto _ : state) {
        AppUnderBench app;
        if (!app.start() || !app.settles()) {
            state.SkipWithError("the app did not start");
            break;
        }
        if (!app.copy(QStringLiteral("The meeting moved to Thursday at ten, room 4.12."))) {
            state.SkipWithError("the copy was not stored");
            break;
        }
        measureBeforeAndShown(state, app);
    }
}
BENCHMARK(BM_AppMemoryFreshStartOneCopy)->Iterations(1)->Unit(benchmark::kMillisecond);

// The app started over a history of 5,000 long lines "big-history item N  lorem ipsum ... N"
// that an earlier run kept.
void BM_AppMemoryHistory(benchmark::State &state)
{
    if (!canRun(state))
        return;
    const int count = int(state.range(0));
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts.append(NumberedTestTexts::historyLine(i));
    for (auto _ : state) {
        AppUnderBench app;
        if (!app.writeSettings(keepingHistoryOf(count)) || !app.seedStore(recentTexts(texts))
            || !app.start()) {
            state.SkipWithError("the app did not start");
            break;
        }
        measureBeforeAndShown(state, app);
    }
}
BENCHMARK(BM_AppMemoryHistory)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The app after texts were copied in it one by one, each decided by its patterns and shipped
// models as it is copied.
void appMemoryAfterCopies(benchmark::State &state, const QStringList &copies)
{
    if (!canRun(state))
        return;
    for (auto _ : state) {
        AppUnderBench app;
        if (!app.writeSettings(keepingHistoryOf(copies.size())) || !app.start() || !app.settles()) {
            state.SkipWithError("the app did not start");
            break;
        }
        int stored = 0;
        for (const QString &text : copies)
            stored += app.copy(text) ? 1 : 0;
        state.counters["copies_stored"] = stored;
        state.counters["code_items"] = double(app.storedCount(QStringLiteral("itemType = 'code'")));
        measureBeforeAndShown(state, app);
    }
}

// 250 everyday texts, the first of each kind of the everyday-text evaluation in turn.
void BM_AppMemoryEverydayCopied(benchmark::State &state)
{
    const std::map<QString, QStringList> kinds
        = EverydayTexts::byKind(QStringLiteral(TINDLEWICK_TEST_DATA_DIR "/everyday-text"));
    QStringList copies;
    for (int round = 0; copies.size() < 250; ++round) {
        for (const auto &[kind, texts] : kinds) {
            if (round < texts.size() && copies.size() < 250)
                copies.append(texts[round]);
        }
    }
    appMemoryAfterCopies(state, copies);
}
BENCHMARK(BM_AppMemoryEverydayCopied)->Iterations(1)->Unit(benchmark::kMillisecond);

// What a script fills a history with: 200 kilobyte texts of numbered lorem-ipsum pieces.
void BM_AppMemoryNumberedTestTexts(benchmark::State &state)
{
    QStringList copies;
    for (int i = 1; i <= 200; ++i)
        copies.append(NumberedTestTexts::kilobyteText(i) + QStringLiteral(" %1").arg(i));
    appMemoryAfterCopies(state, copies);
}
BENCHMARK(BM_AppMemoryNumberedTestTexts)->Iterations(1)->Unit(benchmark::kMillisecond);

// The app started over an empty history, its panel shown and hidden ("_fresh"); then 2,000
// distinct kilobyte texts copied in it, measured as the last is stored ("_at_last_copy"), five
// seconds later ("_5s_after", with the most it held at once, "peak_rss_MiB_copies") and once it
// has settled ("_copied"); then the history cleared with Control+K and "Clear" in the panel,
// hidden again ("_after_clear"). What the app keeps of the texts after the clearing is the
// difference: it gives memory back by itself, nothing is trimmed from outside. 400 copies take
// two minutes, 2,000 ten.
void BM_AppMemoryAfterClear(benchmark::State &state)
{
    if (!canRun(state))
        return;
    const int count = int(state.range(0));
    for (auto _ : state) {
        AppUnderBench app;
        if (!app.writeSettings(keepingHistoryOf(count)) || !app.start() || !app.settles()) {
            state.SkipWithError("the app did not start");
            break;
        }
        if (!app.showPanel() || !app.hidePanel() || !app.settles()) {
            state.SkipWithError("the panel was not shown");
            break;
        }
        report(state, "_fresh", app.memory());
        int stored = 0;
        for (int i = 1; i <= count; ++i)
            stored += app.copy(NumberedTestTexts::kilobyteText(i) + QStringLiteral(" %1").arg(i)) ? 1 : 0;
        state.counters["copies_stored"] = stored;
        report(state, "_at_last_copy", app.memory());
        app.letPass(std::chrono::seconds(5));
        report(state, "_5s_after", app.memory());
        state.counters["peak_rss_MiB_copies"] = app.peakResidentMiB();
        if (!app.settles()) {
            state.SkipWithError("the app never settled");
            break;
        }
        report(state, "_copied", app.memory());
        if (!app.showPanel() || !app.clearHistory() || !app.hidePanel() || !app.settles()) {
            state.SkipWithError("the history was not cleared");
            break;
        }
        report(state, "_after_clear", app.memory());
        state.counters["peak_rss_MiB"] = app.peakResidentMiB();
        state.counters["stored"] = double(app.storedCount());
    }
}
BENCHMARK(BM_AppMemoryAfterClear)->Arg(400)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The app started over 200 texts and 50 full-HD pictures, its panel shown and every column
// scrolled through.
void BM_PanelMemory(benchmark::State &state)
{
    if (!canRun(state))
        return;
    QList<ClipboardItemPtr> items;
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-2 * 3600);
    for (int i = 0; i < 250; ++i) {
        ClipboardItemPtr item = i % 5 == 4
            ? ClipboardItem::create(ClipboardItemType::media,
                { .mediaThumbnailData = encodedImage({ 256, 144 }, i, "JPEG", 80),
                    .mediaImageData = encodedImage({ 1920, 1080 }, i, "PNG"),
                    .mediaSubtypeRaw = QStringLiteral("image") })
            : ClipboardItem::create(ClipboardItemType::text,
                { .text = QStringLiteral("Copied text %1: the meeting moved to Thursday at ten.").arg(i) });
        item->setTimestamp(start.addSecs(i));
        items.append(item);
    }
    for (auto _ : state) {
        AppUnderBench app;
        if (!app.writeSettings(keepingHistoryOf(items.size())) || !app.seedStore(items) || !app.start()) {
            state.SkipWithError("the app did not start");
            break;
        }
        measureBeforeAndShown(state, app, true);
    }
}
BENCHMARK(BM_PanelMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The app started over 200 code items whose highlighted lines an earlier run kept, its panel
// shown and scrolled through (the rows draw the kept lines: no highlighting engine starts), and
// then once a copied function has started the engine ("_with_engine").
void BM_PanelMemoryCode(benchmark::State &state)
{
    if (!canRun(state))
        return;
    for (auto _ : state) {
        AppUnderBench app;
        QJsonObject settings = keepingHistoryOf(201);
        settings.insert(QStringLiteral("codeTheme"), HighlightThemes::rawValue(HighlightTheme::github));
        if (!app.writeSettings(settings)) {
            state.SkipWithError("the app did not start");
            break;
        }
        if (std::unique_ptr<ModelContainer> store = app.openStore())
            BenchCodeItems::insertHighlighted(*store, 200, HighlightTheme::github,
                BenchCodeItems::appearanceIsDark(), QDateTime::currentDateTimeUtc().addSecs(-2 * 3600));
        if (!app.start()) {
            state.SkipWithError("the app did not start");
            break;
        }
        measureBeforeAndShown(state, app, true);
        if (!app.copy(BenchCodeItems::snippet(200)) || !app.settles()) {
            state.SkipWithError("the code was not stored");
            break;
        }
        report(state, "_with_engine", app.memory());
    }
}
BENCHMARK(BM_PanelMemoryCode)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
