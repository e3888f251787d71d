// Cost of capturing one copy, from the change on the clipboard to the saved row, by kind
// (text, code, link, colour, a 1920×1080 and a 3840×2160 PNG), with 200 items in the store
// and with 5,000 pinned items. Code detection answers at once here (its own cost is
// measured by CodeDetectionBench). Beside the time per capture, "longest_step_ms" is the
// longest the event loop was held by one piece of the capture's main-thread work (thread
// CPU time, so that a busy machine's preemption does not count as work).
#include "BenchSupport.h"

#include "support/LongBlacklist.h"

#include "capture/ClipboardMonitor.h"
#include "capture/CodeClassifier.h"
#include "capture/ImageExtraction.h"
#include "model/AppSettings.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "support/ManualClock.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>

#include <ctime>

namespace {

class InstantCodeClassifier final : public CodeClassifier
{
public:
    QFuture<Detection> detect(const QString &) override
    {
        return QtFuture::makeReadyFuture(
            Detection { true, QStringLiteral("javascript"), 90, QStringLiteral("javascript") });
    }
    QFuture<std::optional<LanguageGuess>> rankLanguages(const QString &) override
    {
        return QtFuture::makeReadyFuture(
            std::optional<LanguageGuess>(LanguageGuess { QStringLiteral("js"), 0.8f }));
    }
};

enum class StoreShape { twoHundredItems = 0, fiveThousandPinned = 1 };

struct Harness
{
    QTemporaryDir folder;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    InstantCodeClassifier classifier;
    std::unique_ptr<ClipboardMonitor> monitor;
    ManualClock clock;
    int saved = 0;

    explicit Harness(StoreShape shape)
    {
        container = ModelContainer::open(folder.filePath(QStringLiteral("default.store")), nullptr);
        defaults = std::make_unique<UserDefaults>(folder.filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<AppSettings>(*defaults);
        settings->setHistoryLimit(shape == StoreShape::twoHundredItems ? 200 : 50);
        fill(shape);
        workspace.frontmost
            = RunningApplication { QStringLiteral("org.kde.kate"), QStringLiteral("Kate"), 1, 1 };
        monitor = std::make_unique<ClipboardMonitor>(*container, pasteboard, workspace, *settings, *defaults);
        monitor->setCodeClassifier(&classifier);
        monitor->setClock(clock);
        QObject::connect(monitor.get(), &ClipboardMonitor::itemSaved, [this] { ++saved; });
    }

    void fill(StoreShape shape)
    {
        ModelContext &context = *container->mainContext();
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        const int count = shape == StoreShape::twoHundredItems ? 200 : 5000;
        for (int i = 0; i < count; ++i) {
            const ClipboardItemType type = i % 4 == 0 ? ClipboardItemType::link : ClipboardItemType::text;
            const QString text = type == ClipboardItemType::link
                ? QStringLiteral("https://example.com/stored/%1").arg(i)
                : QStringLiteral("Stored clipboard text number %1 with a few words").arg(i);
            ClipboardItemPtr item = ClipboardItem::create(type, { .text = text, .previewText = text });
            item->setTimestamp(start.addSecs(i));
            item->setIsPinned(shape == StoreShape::fiveThousandPinned);
            context.insert(item);
        }
        context.save();
    }

    // One copy, captured: returns the longest stretch of main-thread work in ms.
    double capture(std::unique_ptr<QMimeData> mime)
    {
        pasteboard.writeContents(std::move(mime));
        clock.advance(std::chrono::milliseconds(ClipboardMonitor::minimumChangeIntervalMs + 1));
        const int before = saved;
        double start = threadMilliseconds();
        monitor->checkForChanges();
        double longest = threadMilliseconds() - start;
        while (saved == before) {
            start = threadMilliseconds();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longest = std::max(longest, threadMilliseconds() - start);
        }
        return longest;
    }
};

std::unique_ptr<QMimeData> textMime(const QString &text)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setText(text);
    return mime;
}

void runCapture(benchmark::State &state, const std::function<std::unique_ptr<QMimeData>(int)> &makeCopy,
    const QStringList &blacklist = {})
{
    Harness harness(StoreShape(state.range(0)));
    harness.settings->setExcludedURLPatterns(blacklist.join(u'\n'));
    double longest = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<QMimeData> mime = makeCopy(n++);
        state.ResumeTiming();
        longest = std::max(longest, harness.capture(std::move(mime)));
    }
    state.counters["longest_step_ms"] = longest;
    state.counters["items"]
        = double(harness.container->mainContext()->fetchCount(FetchDescriptor::newestFirst()));
}

void BM_CaptureText(benchmark::State &state)
{
    runCapture(state, [](int n) {
        return textMime(
            QStringLiteral("Meeting notes %1: bring the quarterly figures and the draft agenda.").arg(n));
    });
}

void BM_CaptureCode(benchmark::State &state)
{
    runCapture(state, [](int n) {
        return textMime(
            QStringLiteral("function total%1(items) {\n  let sum = 0;\n  for (const item of items) {\n"
                           "    sum += item.price * item.quantity;\n  }\n  return sum;\n}\n")
                .arg(n));
    });
}

void BM_CaptureLink(benchmark::State &state)
{
    runCapture(state, [](int n) {
        return textMime(
            QStringLiteral("https://www.example.com/articles/%1?ref=home&utm_source=newsletter").arg(n));
    });
}

// The link again, beside a URL blacklist of as many entries as the second argument says (written
// into the settings before the first copy, as a user would have them from an earlier start).
void BM_CaptureLinkBesideBlacklist(benchmark::State &state)
{
    runCapture(
        state,
        [](int n) {
            return textMime(
                QStringLiteral("https://www.example.com/articles/%1?ref=home&utm_source=newsletter").arg(n));
        },
        longBlacklist(int(state.range(1))));
}

void BM_CaptureColor(benchmark::State &state)
{
    runCapture(state,
        [](int n) { return textMime(QStringLiteral("#%1").arg(n % 0xFFFFFF, 6, 16, QLatin1Char('0'))); });
}

// A screenshot-like picture: flat areas, text and a gradient; each one differs.
QByteArray screenshot(int width, int height, int variant)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(40, 44, 52));
    gradient.setColorAt(1, QColor(90, 110, 140));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    for (int y = 20; y < height; y += 24) {
        painter.fillRect(40, y - 14, width / 3, 18, QColor(60, 64, 72));
        painter.drawText(
            48, y, QStringLiteral("Line %1 of a window full of text, variant %2").arg(y / 24).arg(variant));
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

void BM_CapturePng(benchmark::State &state)
{
    const int width = int(state.range(1));
    const int height = width * 9 / 16;
    runCapture(state, [&](int n) {
        auto mime = std::make_unique<QMimeData>();
        mime->setData(PasteboardType::png, screenshot(width, height, n));
        return mime;
    });
}

} // namespace

BENCHMARK(BM_CaptureText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureCode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureLink)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureLinkBesideBlacklist)->Args({ 0, 10'000 })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureColor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CapturePng)
    ->Args({ 0, 1920 })
    ->Args({ 1, 1920 })
    ->Args({ 0, 3840 })
    ->Args({ 1, 3840 })
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);

namespace {

// The off-thread part of a picture's capture: decoding, the 80-pixel thumbnail, and
// (for types other than PNG) the PNG encoding.
void BM_PrepareClipboardImage(benchmark::State &state)
{
    const int width = int(state.range(0));
    const QByteArray png = screenshot(width, width * 9 / 16, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageExtraction::prepareImage(
            { PasteboardType::png, png, {} }, ImageExtraction::itemThumbnailSize));
    state.counters["png_mb"] = png.size() / 1e6;
}

} // namespace

BENCHMARK(BM_PrepareClipboardImage)->Arg(1920)->Arg(3840)->Unit(benchmark::kMillisecond);
