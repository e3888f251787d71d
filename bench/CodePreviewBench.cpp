// The enrichment of code items: what highlighting and persisting one new 40-line item costs the
// main thread, and a refresh of 200 stored items in a new theme (how long it takes, and the
// longest the main thread is kept from answering meanwhile).
#include "BenchCodeItems.h"
#include "BenchSupport.h"

#include "capture/BackgroundEnrichment.h"
#include "capture/ClipboardMonitor.h"
#include "detection/HighlightCacheService.h"
#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// The app's pieces that take part: the store, the settings, the monitor whose requests the
// enrichment follows, the highlight cache with a started engine.
struct Fixture : BenchStoreFixture
{
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    std::unique_ptr<ClipboardMonitor> monitor;
    std::unique_ptr<HighlightCacheService> highlights;
    std::unique_ptr<BackgroundEnrichment> enrichment;

    Fixture()
    {
        settings->setHistoryLimit(200);
        monitor = std::make_unique<ClipboardMonitor>(*container, pasteboard, workspace, *settings, *defaults);
        highlights = std::make_unique<HighlightCacheService>();
        highlights->setSettings(settings.get());
        settings->setCodeThemeWillChangeHandler([this] { highlights->clearMemoryCache(); });
        enrichment = std::make_unique<BackgroundEnrichment>(*monitor, *highlights, *settings);
        enrichment->setAppearance([] { return BenchCodeItems::appearanceIsDark(); });
        waitForIdle(); // the monitor's first refresh, over an empty store
    }
    ~Fixture()
    {
        enrichment.reset();
        monitor.reset();
    }

    ClipboardItemPtr insertCode(int index)
    {
        ModelContext &context = *container->mainContext();
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::code,
            { .text = BenchCodeItems::snippet(index), .codeLanguage = BenchCodeItems::language(index) });
        context.insert(item);
        context.save();
        return item;
    }
    void waitForIdle()
    {
        QEventLoop loop;
        QObject::connect(highlights.get(), &HighlightCacheService::idle, &loop, &QEventLoop::quit);
        QTimer::singleShot(0, &loop, [&] {
            if (highlights->isIdle())
                loop.quit();
        });
        loop.exec();
    }
};

// Main-thread time from the request to the item's lines cached, persisted and saved (the
// engine already started): finding the item, splitting its text, handing the lines on,
// then taking the results in, writing them into the item and saving it.
void BM_HighlightNewCodeItemMainThread(benchmark::State &state)
{
    Fixture fixture;
    int index = 0;
    fixture.enrichment->prepareCodePreview(fixture.insertCode(index++)->persistentModelID());
    fixture.waitForIdle();
    double wall = 0;
    for (auto _ : state) {
        const PersistentIdentifier item = fixture.insertCode(index++)->persistentModelID();
        QElapsedTimer clock;
        clock.start();
        const double before = threadMilliseconds();
        fixture.enrichment->prepareCodePreview(item);
        fixture.waitForIdle();
        state.SetIterationTime((threadMilliseconds() - before) / 1e3);
        wall += double(clock.nsecsElapsed()) / 1e6;
    }
    state.counters["wall_ms"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_HighlightNewCodeItemMainThread)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

// A theme change: every one of 200 stored 40-line items highlighted again and persisted, by
// the refresh the monitor starts a second after the change. Time from that start until all
// are saved; "longest_block_ms" is the longest the main thread did not get to a timer due
// every millisecond, "longest_busy_ms" the most main-thread time spent between two of its
// ticks (the first includes time the system gave to other processes, the second does not).
void BM_RefreshCodePreviewsInANewTheme(benchmark::State &state)
{
    Fixture fixture;
    BenchCodeItems::insertHighlighted(*fixture.container, 200, HighlightTheme::github,
        BenchCodeItems::appearanceIsDark(), QDateTime::currentDateTimeUtc().addDays(-1));
    fixture.container->mainContext()->processPendingStoreChanges();
    fixture.enrichment->prepareCodePreview(
        fixture.insertCode(1000)->persistentModelID()); // the engine starts
    fixture.waitForIdle();

    const HighlightTheme themes[]
        = { HighlightTheme::solarized, HighlightTheme::xcode, HighlightTheme::atomOne };
    int round = 0;
    double longestBlock = 0;
    double longestBusy = 0;
    double mainCpu = 0;
    for (auto _ : state) {
        // Timed from the refresh that the theme change starts, a second after it.
        QElapsedTimer clock;
        double before = 0;
        qint64 lastTick = 0;
        double lastCpu = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            const double cpu = threadMilliseconds();
            longestBlock = std::max(longestBlock, double(now - lastTick) / 1e6 - 1.0);
            longestBusy = std::max(longestBusy, cpu - lastCpu);
            lastTick = now;
            lastCpu = cpu;
        });
        const QMetaObject::Connection started
            = QObject::connect(fixture.monitor.get(), &ClipboardMonitor::codePreviewsRefreshRequested, [&] {
                  clock.start();
                  before = threadMilliseconds();
                  lastCpu = before;
                  probe.start(1);
              });
        QEventLoop scheduled;
        QObject::connect(
            fixture.enrichment.get(), &BackgroundEnrichment::refreshScheduled, &scheduled, &QEventLoop::quit);
        fixture.settings->setCodeTheme(themes[round++ % 3]);
        scheduled.exec();
        fixture.waitForIdle();
        mainCpu += threadMilliseconds() - before;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        QObject::disconnect(started);
    }
    state.counters["longest_block_ms"] = longestBlock;
    state.counters["longest_busy_ms"] = longestBusy;
    state.counters["main_thread_cpu_ms"] = benchmark::Counter(mainCpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RefreshCodePreviewsInANewTheme)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
