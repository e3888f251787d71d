// The store at realistic and large sizes: inserting, the history list fetch, one change.
#include "BenchSupport.h"

#include "model/ClipboardItem.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteConnection.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

namespace {

struct Store
{
    QTemporaryDir folder;
    std::unique_ptr<ModelContainer> container;
};

// 10,000 items, newest last inserted; every hundredth carries a 1 MB image.
Store &largeStore()
{
    static Store *store = [] {
        auto *s = new Store;
        s->container = ModelContainer::open(s->folder.path() + QStringLiteral("/default.store"), nullptr);
        std::unique_ptr<ModelContext> context = s->container->makeContext();
        const QByteArray image(1'000'000, 'i');
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < 10'000; ++i) {
            ClipboardItemPtr item = ClipboardItem::create(
                i % 100 == 0 ? ClipboardItemType::media : ClipboardItemType::text,
                { .text
                    = QStringLiteral("Clipboard entry number %1 with some ordinary words in it").arg(i) });
            item->setTimestamp(start.addSecs(i));
            if (i % 100 == 0)
                item->setMediaImageData(image);
            context->insert(item);
            if (i % 500 == 499)
                context->save();
        }
        context->save();
        return s;
    }();
    return *store;
}

void BM_StoreInsertOneItem(benchmark::State &state)
{
    QTemporaryDir folder;
    auto container = ModelContainer::open(folder.path() + QStringLiteral("/default.store"), nullptr);
    std::unique_ptr<ModelContext> context = container->makeContext();
    const QByteArray image(int(state.range(0)), 'i');
    for (auto _ : state) {
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("copied text") });
        if (!image.isEmpty())
            item->setMediaImageData(image);
        context->insert(item);
        if (!context->save().ok)
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_StoreInsertOneItem)->Arg(0)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The panel's list: every item newest first, in a context that has not seen them yet.
void BM_StoreFetchNewestFirstCold(benchmark::State &state)
{
    Store &store = largeStore();
    qsizetype count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<ModelContext> context = store.container->makeContext();
        state.ResumeTiming();
        QList<ClipboardItemPtr> items = context->fetch(FetchDescriptor::newestFirst()).items;
        count = items.size();
        benchmark::DoNotOptimize(count);
        state.PauseTiming();
        items.clear();
        context.reset();
        state.ResumeTiming();
    }
    state.counters["items"] = double(count);
}
BENCHMARK(BM_StoreFetchNewestFirstCold)->Unit(benchmark::kMillisecond);

// The same fetch again in a context that holds the objects already (a live query's refresh).
void BM_StoreFetchNewestFirstWarm(benchmark::State &state)
{
    Store &store = largeStore();
    std::unique_ptr<ModelContext> context = store.container->makeContext();
    QList<ClipboardItemPtr> items = context->fetch(FetchDescriptor::newestFirst()).items;
    for (auto _ : state) {
        items = context->fetch(FetchDescriptor::newestFirst()).items;
        benchmark::DoNotOptimize(items.size());
    }
    state.counters["items"] = double(items.size());
    state.counters["rss_MiB"] = residentMebibytes();
}
BENCHMARK(BM_StoreFetchNewestFirstWarm)->Unit(benchmark::kMillisecond);

void BM_StoreChangeOneItem(benchmark::State &state)
{
    Store &store = largeStore();
    std::unique_ptr<ModelContext> context = store.container->makeContext();
    FetchDescriptor newest = FetchDescriptor::newestFirst();
    newest.fetchLimit = 1;
    ClipboardItemPtr item = context->fetch(newest).items.first();
    int n = 0;
    for (auto _ : state) {
        item->setPinnedLabel(QStringLiteral("label %1").arg(++n));
        if (!context->save().ok)
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_StoreChangeOneItem)->Unit(benchmark::kMillisecond);

// Opening the 10,000-item store at start, with its integrity check; the check alone is
// reported as a counter.
void BM_StoreOpenWithIntegrityCheck(benchmark::State &state)
{
    Store &store = largeStore();
    const QString path = store.container->storePath();
    for (auto _ : state) {
        std::unique_ptr<ModelContainer> opened = ModelContainer::open(path, nullptr);
        if (!opened)
            state.SkipWithError("open failed");
    }
    SqliteConnection connection;
    connection.open(path, SQLITE_OPEN_READONLY);
    QElapsedTimer timer;
    timer.start();
    SqliteStatement check = connection.prepare(QStringLiteral("PRAGMA quick_check"));
    check.step();
    state.counters["quick_check_ms"] = double(timer.nsecsElapsed()) / 1e6;
    state.counters["file_MiB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_StoreOpenWithIntegrityCheck)->Unit(benchmark::kMillisecond);

} // namespace
