// The shell's hot paths: from the shortcut's key release to the panel's first paint (on a
// warm panel and on the first show after start), and from start to ready (capture
// running, shortcut registered). Under X11 (QT_QPA_PLATFORM=xcb, e.g. through
// scripts/with-xserver.sh) the key goes through the server: an XTest release reaching the
// app's grab; otherwise the grab's release is simulated in process.
#include "BenchSupport.h"

#include "BenchCodeItems.h"
#include "capture/ClipboardMonitor.h"
#include "detection/HighlightCacheService.h"

#include "enrichment/FileAvailabilityService.h"
#include "items/HoverPreviewTimer.h"
#include "model/AppSettings.h"
#include "model/ClipboardItem.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "panel/ClipboardPanelView.h"
#include "panel/PanelViewState.h"
#include "platform/GlobalHotKeys.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/Pasteboard.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/X11Connection.h"
#include "platform/X11GlobalHotKeys.h"
#include "platform/X11GlobalInputMonitor.h"
#include "platform/X11SyntheticKeyboard.h"
#include "platform/X11Workspace.h"
#include "shell/AppDelegate.h"
#include "shell/ClipboardPanel.h"
#include "shell/PreviewPanelManager.h"
#include "shell/PreviewWindow.h"
#include "shell/ShellPanelEnvironment.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <numeric>

namespace {

constexpr HotKeyCombination controlSpace { 0x20, 4 };
constexpr quint32 controlL = 0xffe3;
constexpr quint32 space = 0x20;

// A store of 250 everyday items, of 5,000 pinned ones, or of 200 code items whose highlighted
// lines are kept in them.
enum class StoreKind { everyday, pinnedThousands, highlightedCode };

struct BenchStore
{
    QTemporaryDir folder;
    std::unique_ptr<ModelContainer> container;
};

BenchStore &store(StoreKind kind)
{
    static BenchStore *stores[3] = { nullptr, nullptr, nullptr };
    BenchStore *&slot = stores[int(kind)];
    if (slot)
        return *slot;
    slot = new BenchStore;
    slot->container = ModelContainer::open(slot->folder.path() + QStringLiteral("/default.store"), nullptr);
    // Within the capture's retention (eight hours by default), which prunes older unpinned
    // items when the app starts, and none of them later than now.
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-2 * 3600);
    if (kind == StoreKind::highlightedCode) {
        BenchCodeItems::insertHighlighted(
            *slot->container, 200, HighlightTheme::github, BenchCodeItems::appearanceIsDark(), start);
        return *slot;
    }
    std::unique_ptr<ModelContext> context = slot->container->makeContext();
    const bool pinnedThousands = kind == StoreKind::pinnedThousands;
    const int count = pinnedThousands ? 5000 : 250;
    const ClipboardItemType kinds[] = { ClipboardItemType::text, ClipboardItemType::link,
        ClipboardItemType::code, ClipboardItemType::text, ClipboardItemType::color };
    for (int i = 0; i < count; ++i) {
        ClipboardItemPtr item
            = ClipboardItem::create(pinnedThousands ? ClipboardItemType::text : kinds[i % 5],
                { .text = QStringLiteral("Item %1 with a few ordinary words").arg(i) });
        item->setTimestamp(start.addSecs(i));
        if (pinnedThousands) {
            item->setIsPinned(true);
            item->setPinnedTimestamp(start.addSecs(i));
        }
        context->insert(item);
    }
    context->save();
    return *slot;
}

BenchStore &store(bool pinnedThousands)
{
    return store(pinnedThousands ? StoreKind::pinnedThousands : StoreKind::everyday);
}

// The desktop the app runs on in the benchmark.
struct BenchDesktop
{
    BenchDesktop()
    {
        if (X11Connection *connection = X11Connection::shared()) {
            workspace = std::make_unique<X11Workspace>(*connection);
            hotKeys = std::make_unique<X11GlobalHotKeys>(*connection);
            input = std::make_unique<X11GlobalInputMonitor>(*connection);
        } else {
            workspace = std::make_unique<FakeWorkspace>();
            hotKeys = std::make_unique<FakeGlobalHotKeys>();
            input = std::make_unique<FakeGlobalInputMonitor>();
        }
    }
    bool onX11() const { return X11Connection::shared() != nullptr; }

    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<GlobalHotKeys> hotKeys;
    std::unique_ptr<GlobalInputMonitor> input;
    FakeSyntheticKeyboard keyboard;
    MemoryPasteboard pasteboard;
};

struct App
{
    App(ModelContainer &container, BenchDesktop &desktop)
        : defaults(folder.path() + QStringLiteral("/defaults.json"))
        , settings(defaults)
        , delegate(AppDelegate::Services { container, settings, defaults, desktop.pasteboard,
                       *desktop.workspace, *desktop.hotKeys, *desktop.input, desktop.keyboard,
                       HighlightCacheService::shared(), nullptr, false },
              neighbours(container, desktop))
    {
        delegate.applicationDidFinishLaunching();
    }
    QTemporaryDir folder;
    UserDefaults defaults;
    AppSettings settings;
    AppDelegate delegate;

private:
    // The panel view and the volumes' refresh as the app has them, and quiet notices.
    AppDelegate::Neighbours neighbours(ModelContainer &container, BenchDesktop &desktop)
    {
        return AppDelegate::Neighbours { .makePanelContent
            = ShellPanelEnvironment::panelViewFactory(
                *desktop.workspace, container, settings, FileAvailabilityService::shared()),
            .availability = &FileAvailabilityService::shared(),
            .notifyUser = [](const QString &, const QString &) {} };
    }
};

// Runs its callback on every paint of the widgets it watches.
class PaintWatcher final : public QObject
{
public:
    explicit PaintWatcher(std::function<void()> painted)
        : m_painted(std::move(painted))
    { }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted();
        return false;
    }

private:
    std::function<void()> m_painted;
};

bool spinUntil(const std::function<bool()> &done, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

struct FirstPaint
{
    double seconds = -1; // from the key release to the first paint; negative when it never came
    double mainThreadMs = 0; // of that, the time the app's main thread worked
};

// Presses the shortcut and times from its key release to the panel's first paint.
FirstPaint releaseToFirstPaint(App &app, BenchDesktop &desktop)
{
    bool painted = false;
    QEventLoop waiting;
    QMetaObject::Connection connection
        = QObject::connect(app.delegate.popoverPanel(), &ClipboardPanel::painted, [&] {
              painted = true;
              waiting.quit();
          });
    QElapsedTimer timer;
    double cpuBefore = 0;
    if (desktop.onX11()) {
        // The press first (not timed), then the release through the server.
        X11SyntheticKeyboard keys(*X11Connection::shared());
        keys.sendKeys({ { controlL, true }, { space, true } });
        spinUntil([] { return false; }, 20);
        timer.start();
        cpuBefore = threadMilliseconds();
        keys.sendKeys({ { space, false }, { controlL, false } });
    } else {
        auto *fake = static_cast<FakeGlobalHotKeys *>(desktop.hotKeys.get());
        fake->press(controlSpace);
        timer.start();
        cpuBefore = threadMilliseconds();
        fake->release(controlSpace);
    }
    // Waiting blocks, so the thread's time is its work alone.
    QTimer::singleShot(3000, &waiting, &QEventLoop::quit);
    if (!painted)
        waiting.exec();
    FirstPaint result;
    if (painted) {
        result.seconds = double(timer.nsecsElapsed()) / 1e9;
        result.mainThreadMs = threadMilliseconds() - cpuBefore;
    }
    QObject::disconnect(connection);
    return result;
}

void hidePanel(App &app)
{
    app.delegate.hidePanel(false);
    spinUntil([&] { return !app.delegate.popoverPanel()->isVisible(); });
    QCoreApplication::processEvents();
}

void firstPaintWarm(benchmark::State &state, ModelContainer &container)
{
    BenchDesktop desktop;
    App app(container, desktop);
    // One show beforehand: the window exists and has painted once. The first benchmark of a
    // run can press the keys before a fresh X server and window manager are ready for them:
    // the untimed show is tried a few times.
    bool shown = false;
    for (int attempt = 0; attempt < 5 && !shown; ++attempt)
        shown = releaseToFirstPaint(app, desktop).seconds >= 0;
    if (!shown)
        state.SkipWithError("the panel never painted");
    hidePanel(app);
    double mainThreadMs = 0;
    for (auto _ : state) {
        const FirstPaint paint = releaseToFirstPaint(app, desktop);
        if (paint.seconds < 0) {
            state.SkipWithError("the panel never painted");
            break;
        }
        state.SetIterationTime(paint.seconds);
        mainThreadMs += paint.mainThreadMs;
        hidePanel(app);
    }
    state.counters["main_thread_ms"] = benchmark::Counter(mainThreadMs, benchmark::Counter::kAvgIterations);
    state.SetLabel(desktop.onX11() ? "X11 key release" : "simulated release");
}

void firstPaintCold(benchmark::State &state, ModelContainer &container)
{
    BenchDesktop desktop;
    const int enginesBefore = HighlightCacheService::shared().highlighterStartCount();
    double mainThreadMs = 0;
    for (auto _ : state) {
        // As after a restart: nothing highlighted in memory, every item read from the store again.
        HighlightCacheService::shared().clearMemoryCache();
        container.mainContext()->releaseUnchangedObjects();
        auto app = std::make_unique<App>(container, desktop);
        spinUntil([] { return false; }, 20); // start-up settles
        const FirstPaint paint = releaseToFirstPaint(*app, desktop);
        if (paint.seconds < 0) {
            state.SkipWithError("the panel never painted");
            break;
        }
        state.SetIterationTime(paint.seconds);
        mainThreadMs += paint.mainThreadMs;
        hidePanel(*app);
        app.reset();
        QCoreApplication::processEvents();
    }
    state.counters["main_thread_ms"] = benchmark::Counter(mainThreadMs, benchmark::Counter::kAvgIterations);
    // Highlighting engines started while the panels showed (none when every line was kept).
    state.counters["engines_started"]
        = HighlightCacheService::shared().highlighterStartCount() - enginesBefore;
    state.SetLabel(desktop.onX11() ? "X11 key release" : "simulated release");
}

void BM_PanelFirstPaintWarm(benchmark::State &state)
{
    firstPaintWarm(state, *store(state.range(0) != 0).container);
}
BENCHMARK(BM_PanelFirstPaintWarm)
    ->ArgName("pinned5000")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_PanelFirstPaintCold(benchmark::State &state)
{
    firstPaintCold(state, *store(state.range(0) != 0).container);
}
BENCHMARK(BM_PanelFirstPaintCold)
    ->ArgName("pinned5000")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// Runs the event loop, asleep between events (unlike spinUntil), until done or the time is up:
// the thread's CPU time then counts only the work the events made.
bool sleepUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(2);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// The panel shown once (its window made and painted), and the view in it; nothing when it never
// painted.
ClipboardPanelView *shownPanelView(App &app, BenchDesktop &desktop, benchmark::State &state)
{
    if (releaseToFirstPaint(app, desktop).seconds < 0) {
        state.SkipWithError("the panel never painted");
        return nullptr;
    }
    QWidget *content = app.delegate.popoverPanel()->contentView();
    auto *view = qobject_cast<ClipboardPanelView *>(content);
    return view ? view : content->findChild<ClipboardPanelView *>();
}

// The history loads and the window widens to its five columns; false (the benchmark skipped) when
// it does not.
bool widenedToFiveColumns(ClipboardPanelView &view, ClipboardPanel &panel, benchmark::State &state)
{
    if (spinUntil([&] { return view.state().visibleColumnCount() == 5 && panel.width() >= 995; }, 5000))
        return true;
    const std::string reason = QStringLiteral("the panel did not widen to five columns (a screen of "
                                              "1920 is needed): %1 columns, %2 wide")
                                   .arg(view.state().visibleColumnCount())
                                   .arg(panel.width())
                                   .toStdString();
    state.SkipWithError(reason.c_str());
    return false;
}

// The frames drawn per toggle, the time between them and the app's work per frame.
void reportFrames(benchmark::State &state, QList<double> intervals, const QList<double> &work, double frames)
{
    if (intervals.isEmpty()) {
        state.SkipWithError("no frames were drawn");
        return;
    }
    std::sort(intervals.begin(), intervals.end());
    state.counters["frames"] = frames / double(state.iterations());
    state.counters["interval_median_ms"] = intervals[intervals.size() / 2];
    state.counters["interval_p90_ms"] = intervals[intervals.size() * 9 / 10];
    state.counters["interval_max_ms"] = intervals.last();
    state.counters["work_per_frame_ms"]
        = std::accumulate(work.begin(), work.end(), 0.0) / double(work.size());
}

// Collapsing and expanding History in the shown panel (History, Text, Links, Code, Colors): the
// time between the frames the window shows while it and the values animate (0.2 s: about twelve
// frames at 60 per second; a frame is a paint at a new width), and the app's work per frame.
void BM_HistoryAnimationFrames(benchmark::State &state)
{
    BenchDesktop desktop;
    App app(*store(false).container, desktop);
    ClipboardPanelView *view = shownPanelView(app, desktop, state);
    if (!view)
        return;
    ClipboardPanel *panel = app.delegate.popoverPanel();
    if (!widenedToFiveColumns(*view, *panel, state))
        return;
    QList<double> intervals;
    QList<double> work;
    double frames = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        std::optional<qint64> lastFrame;
        int lastWidth = panel->width();
        double cpuAtLastFrame = threadMilliseconds();
        QList<double> iteration;
        QMetaObject::Connection connection = QObject::connect(panel, &ClipboardPanel::painted, [&] {
            if (panel->width() == lastWidth)
                return;
            lastWidth = panel->width();
            const qint64 now = clock.nsecsElapsed();
            const double cpu = threadMilliseconds();
            if (lastFrame) {
                iteration.append(double(now - *lastFrame) / 1e6);
                work.append(cpu - cpuAtLastFrame);
            }
            lastFrame = now;
            cpuAtLastFrame = cpu;
            frames += 1;
        });
        clock.start();
        view->state().toggleHistory();
        // Through the 0.05 s start and the 0.2 s resize; the toggle settles 0.05 s later.
        sleepUntil([&] { return clock.elapsed() > 100 && !view->state().isHistoryToggling(); }, 3000);
        QObject::disconnect(connection);
        state.SetIterationTime(iteration.isEmpty()
                ? 0
                : std::accumulate(iteration.begin(), iteration.end(), 0.0) / iteration.size() / 1e3);
        intervals << iteration;
        sleepUntil([] { return false; }, 550); // toggles within 0.5 s of the last are dropped
    }
    reportFrames(state, intervals, work, frames);
    state.SetLabel(desktop.onX11() ? "X11" : "offscreen");
}
BENCHMARK(BM_HistoryAnimationFrames)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The item preview: from the moment the pointer has rested on a row for the hover delay to the
// preview window's first paint beside the panel (its content built from a 60-line text).
void BM_PreviewAfterHoverDelay(benchmark::State &state)
{
    BenchDesktop desktop;
    App app(*store(false).container, desktop);
    ClipboardPanelView *view = shownPanelView(app, desktop, state);
    if (!view)
        return;
    QStringList lines;
    for (int line = 0; line < 60; ++line)
        lines << QStringLiteral("Line %1 of a long note that the preview shows in full, wrapped.").arg(line);
    const ClipboardItemPtr items[2] = {
        ClipboardItem::create(ClipboardItemType::text, { .text = lines.join(QLatin1Char('\n')) }),
        ClipboardItem::create(ClipboardItemType::text, { .text = lines.mid(5).join(QLatin1Char('\n')) }),
    };
    const QRect frame = app.delegate.popoverPanel()->geometry();
    const QRectF anchor(frame.left(), frame.top() + 200, frame.width(), 44);
    HoverPreviewTimer &timer = view->previewTimer();
    int next = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        bool due = false;
        bool painted = false;
        QMetaObject::Connection requested = QObject::connect(&timer, &HoverPreviewTimer::showRequested, [&] {
            due = true;
            clock.start();
        });
        PaintWatcher watcher([&] {
            if (due)
                painted = true;
        });
        timer.pointerOver(items[next++ % 2], anchor);
        // The delay first, then the window.
        spinUntil([&] {
            if (auto *window = dynamic_cast<QWidget *>(PreviewPanelManager::shared().window()))
                window->installEventFilter(&watcher);
            return painted;
        });
        QObject::disconnect(requested);
        state.SetIterationTime(painted ? double(clock.nsecsElapsed()) / 1e9 : 0);
        timer.cancel();
        PreviewPanelManager::shared().hide(false);
        QCoreApplication::processEvents();
    }
    state.SetLabel(desktop.onX11() ? "X11" : "offscreen");
}
BENCHMARK(BM_PreviewAfterHoverDelay)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

// 200 code items whose rows draw their highlighted lines: from memory (warm), and after a
// restart from the lines kept in the items, without the highlighting engine (cold).
void BM_PanelFirstPaintWarmCode(benchmark::State &state)
{
    firstPaintWarm(state, *store(StoreKind::highlightedCode).container);
}
BENCHMARK(BM_PanelFirstPaintWarmCode)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PanelFirstPaintColdCode(benchmark::State &state)
{
    firstPaintCold(state, *store(StoreKind::highlightedCode).container);
}
BENCHMARK(BM_PanelFirstPaintColdCode)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

// From nothing to a running app: store opened, capture started, shortcut registered.
void BM_StartupToReady(benchmark::State &state)
{
    BenchDesktop desktop;
    const QString path = store(false).container->storePath();
    store(false).container.reset(); // the app opens the file itself, as at a real start
    for (auto _ : state) {
        std::unique_ptr<ModelContainer> container = ModelContainer::open(path, nullptr);
        auto app = std::make_unique<App>(*container, desktop);
        benchmark::DoNotOptimize(app.get());
        state.PauseTiming();
        app.reset();
        container.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    store(false).container = ModelContainer::open(path, nullptr);
    state.SetLabel(desktop.onX11() ? "X11" : "offscreen");
}
BENCHMARK(BM_StartupToReady)->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace
