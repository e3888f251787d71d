// The duplicate lookup of a new copy against a history of long texts: 200 texts of 1 MB
// that share their first 100,000 characters (so their inline text cannot tell them apart).
#include "capture/DuplicateLookup.h"
#include "model/ClipboardItem.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

struct LongTexts
{
    QTemporaryDir folder;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<ModelContext> context;
    QString prefix;
};

QString longText(const QString &prefix, int n)
{
    return prefix + QStringLiteral(" ending number %1").arg(n);
}

LongTexts &longTexts()
{
    static LongTexts *store = [] {
        auto *s = new LongTexts;
        s->container = ModelContainer::open(s->folder.path() + QStringLiteral("/default.store"), nullptr);
        s->context = s->container->makeContext();
        s->prefix = QString(1'000'000, u'x');
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < DuplicateLookup::searchWindow; ++i) {
            ClipboardItemPtr item
                = ClipboardItem::create(ClipboardItemType::text, { .text = longText(s->prefix, i) });
            item->setTimestamp(start.addSecs(i));
            s->context->insert(item);
            s->context->save();
        }
        // As the panel holds them: every item in the context, its long text not loaded.
        for (const ClipboardItemPtr &item : s->context->fetch(FetchDescriptor::newestFirst()).items)
            item->releaseExternalData();
        return s;
    }();
    return *store;
}

// Arg 0: a text that repeats none of them; 1: one that repeats the oldest.
void BM_DuplicateLookupLongTexts(benchmark::State &state)
{
    LongTexts &store = longTexts();
    DuplicateLookup lookup;
    // The capture brings the new item's digest along (made on a worker thread).
    const ClipboardItemPtr copied = ClipboardItem::create(ClipboardItemType::text,
        { .text = state.range(0) == 0 ? longText(store.prefix, -1) : longText(store.prefix, 0) });
    (void)copied->contentHash();
    bool found = false;
    for (auto _ : state) {
        found = lookup.findDuplicate(*copied, *store.context) != nullptr;
        benchmark::DoNotOptimize(found);
    }
    if (found != (state.range(0) == 1))
        state.SkipWithError("wrong answer");
    state.counters["candidates"] = double(DuplicateLookup::searchWindow);
}
BENCHMARK(BM_DuplicateLookupLongTexts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
