// The panel: one search keystroke (categories and column lists recomputed) at a realistic and at
// a large history, a pointer move over 5,000 pinned items, the frames of a pin and of a tab
// switch.
#include "BenchSupport.h"

#include "BenchPanelEnvironment.h"
#include "columns/CategoryColumn.h"
#include "columns/ColumnItemsModel.h"
#include "columns/ColumnItemsView.h"
#include "enrichment/FileAvailabilityService.h"
#include "items/LabelEditState.h"
#include "items/SwipeStateManager.h"
#include "model/AppSettings.h"
#include "model/ClipboardItem.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "panel/ClipboardPanelView.h"
#include "panel/PanelColumnsModel.h"
#include "panel/PanelViewState.h"
#include "platform/UserDefaults.h"
#include "support/ManualClock.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <QElapsedTimer>

namespace {

using Fixture = BenchStoreFixture;
using namespace std::chrono_literals;

// The app's swiped row and label edit, which its panels share.
RowStates appRowStates()
{
    return { SwipeStateManager::shared(), LabelEditState::shared() };
}

void drainEvents()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// A realistic history of 200 mixed captures, or 5,000 pinned texts.
void fillForSearch(ModelContext &context, bool pinnedMany)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    const int count = pinnedMany ? 5000 : 200;
    for (int i = 0; i < count; ++i) {
        const ClipboardItemType type
            = pinnedMany ? ClipboardItemType::text : allClipboardItemTypes[std::size_t(i % 6)];
        ClipboardItemPtr item = ClipboardItem::create(type,
            { .text = QStringLiteral("Clipboard entry number %1 with some ordinary words, a name and a date")
                          .arg(i) });
        item->setTimestamp(start.addSecs(i));
        if (pinnedMany) {
            item->setIsPinned(true);
            item->setPinnedTimestamp(start.addSecs(i));
            if (i % 10 == 0)
                item->setPinnedLabel(QStringLiteral("Label %1").arg(i));
        }
        if (type == ClipboardItemType::link)
            item->setLinkTitle(QStringLiteral("Page title %1").arg(i));
        context.insert(item);
    }
    context.save();
}

// One keystroke: the text changes, the deferred recomputation runs, the columns' lists follow.
void BM_PanelSearchKeystroke(benchmark::State &state)
{
    Fixture fixture;
    ModelContext &context = *fixture.container->mainContext();
    fillForSearch(context, state.range(0) != 0);
    BenchPanelEnvironment environment;
    PanelViewState view(context, environment.roles(), nullptr, *fixture.settings, appRowStates());
    view.appear();
    // Every column shows its pinned group, so the lists include the pins.
    for (const QString &title : { QStringLiteral("Text"), QStringLiteral("Links"), QStringLiteral("Code") })
        view.setPinnedGroupExpanded(title, true);
    PanelColumnsModel columns(view);
    columns.update(view.layoutPass(1400));
    for (const ClipboardItemPtr &item : view.cachedFilteredItems())
        item->searchableText(); // as the prewarm leaves them
    drainEvents();

    const QStringList keystrokes { QStringLiteral("n"), QStringLiteral("nu"), QStringLiteral("num"),
        QStringLiteral("numb"), QStringLiteral("number 4"), QStringLiteral("number 42"), QStringLiteral("e"),
        QStringLiteral("en"), QStringLiteral("entry 1") };
    qsizetype next = 0;
    qsizetype shown = 0;
    for (auto _ : state) {
        view.setSearchText(keystrokes[next++ % keystrokes.size()]);
        QApplication::processEvents(); // the cancelled-and-restarted recomputation
        columns.update(view.layoutPass(1400));
        shown = view.cachedCategories().display.isEmpty()
            ? 0
            : view.cachedCategories().display.first().items.size();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["items"] = double(view.cachedFilteredItems().size());
}
BENCHMARK(BM_PanelSearchKeystroke)->ArgName("pinned5000")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One pointer move over the panel with 5,000 pinned items on show in the Text column: the move
// reaches the window, the item under it is looked up among the registered cells and selected,
// the columns' selection follows; with repaint, the rows that changed are drawn too. Every move
// lands on another row, the most a move can cost.
void BM_HoverPointerMove(benchmark::State &state)
{
    Fixture fixture;
    ModelContext &context = *fixture.container->mainContext();
    fillForSearch(context, true);
    // Made first, as the app does: its making announces the volumes, which panels then read.
    FileAvailabilityService::shared();
    BenchPanelEnvironment environment;
    QWidget window;
    window.resize(1200, 700);
    environment.setWindow(&window);
    auto *panel = new ClipboardPanelView(
        context, environment.roles(), nullptr, *fixture.settings, appRowStates(), Clock::system(), &window);
    panel->resize(1200, 700);
    window.show();
    drainEvents();
    panel->state().setPinnedGroupExpanded(QStringLiteral("Text"), true);
    drainEvents();
    (void)window.grab();
    ColumnItemsView *text = nullptr;
    for (CategoryColumn *column : panel->columns()) {
        if (column->config().title == QStringLiteral("Text"))
            text = column->itemsView();
    }
    QWindow *handle = window.windowHandle();
    if (!text || !handle || !text->model() || text->model()->rowCount() < 5000) {
        state.SkipWithError("the Text column does not show the pins");
        return;
    }
    QList<QPointF> points;
    for (int row = 0; row < 8; ++row)
        points.append(QPointF(text->viewport()->mapTo(&window, text->visualRect(row).center())));
    const bool repaint = state.range(0) != 0;
    qsizetype next = 0;
    for (auto _ : state) {
        const QPointF point = points[next++ % points.size()];
        QMouseEvent move(QEvent::MouseMove, point, point, handle->mapToGlobal(point), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &move);
        if (repaint)
            QCoreApplication::processEvents();
    }
    const std::optional<int> selected = panel->state().selectionState().selectedItemIndex();
    if (!selected)
        state.SkipWithError("the pointer selected nothing");
    state.counters["rows"] = double(text->model()->rowCount());
}
BENCHMARK(BM_HoverPointerMove)->ArgName("repaint")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The panel shown over 200 mixed items in a window, its animations on a clock the benchmark moves
// a frame at a time.
struct AnimatedPanel
{
    Fixture fixture;
    BenchPanelEnvironment environment;
    ManualClock clock;
    QWidget window;
    ClipboardPanelView *panel = nullptr;

    explicit AnimatedPanel(bool tabs)
    {
        fillForSearch(*fixture.container->mainContext(), false);
        fixture.settings->setHistoryLimit(200);
        window.resize(tabs ? 500 : 1200, 700);
        environment.setWindow(&window);
        panel = new ClipboardPanelView(*fixture.container->mainContext(), environment.roles(), nullptr,
            *fixture.settings, appRowStates(), clock, &window);
        panel->state().panelController().setIsLockedInTabMode(tabs);
        panel->resize(window.size());
        window.show();
        drainEvents();
        (void)window.grab();
    }

    // How long one frame took on the clock, and the thread's own work in it.
    struct Frame
    {
        double wallMs;
        double workMs;
    };
    static Frame timed(const std::function<void()> &frame)
    {
        QElapsedTimer timer;
        timer.start();
        const double workBefore = threadMilliseconds();
        frame();
        drainEvents();
        return { double(timer.nsecsElapsed()) / 1e6, threadMilliseconds() - workBefore };
    }
    // Runs a change and then its frames, 16 ms apart, until nothing moves: the change's own frame
    // (the change, the layout, the first drawing) first, then each later one.
    QList<Frame> framesOf(const std::function<void()> &change, Clock::Duration duration)
    {
        QList<Frame> frames { timed(change) };
        for (Clock::Duration elapsed { 0 }; elapsed < duration; elapsed += AnimatedValue::frameInterval)
            frames.append(timed([this] { clock.advance(AnimatedValue::frameInterval); }));
        return frames;
    }
};

// The frames of the changes a benchmark ran: the changes' own frames, and the frames after them.
class TransitionFrames
{
public:
    void add(const QList<AnimatedPanel::Frame> &frames)
    {
        m_changes.append(frames.first());
        m_frames.append(frames.mid(1));
    }
    void report(benchmark::State &state) const
    {
        report(state, "change_frame", m_changes);
        report(state, "frame", m_frames);
    }

private:
    static void report(
        benchmark::State &state, const std::string &name, const QList<AnimatedPanel::Frame> &frames)
    {
        QList<double> wall;
        QList<double> work;
        for (const AnimatedPanel::Frame &frame : frames) {
            wall.append(frame.wallMs);
            work.append(frame.workMs);
        }
        std::sort(wall.begin(), wall.end());
        std::sort(work.begin(), work.end());
        state.counters[name + "_median_ms"] = wall[wall.size() / 2];
        state.counters[name + "_longest_ms"] = wall.last();
        state.counters[name + "_longest_work_ms"] = work.last();
    }

    QList<AnimatedPanel::Frame> m_changes;
    QList<AnimatedPanel::Frame> m_frames;
};

// A History item pinned and unpinned in turn over 200 items: its row fades out of History and
// into the Text column's pins while the rows around it slide (0.25 s each way).
void BM_PinTransitionFrames(benchmark::State &state)
{
    AnimatedPanel shown(false);
    PanelViewState &view = shown.panel->state();
    const ClipboardItemPtr item = view.cachedCategories().visible.first().items.value(5);
    if (!item) {
        state.SkipWithError("no History item to pin");
        return;
    }
    // Once unmeasured, as in a panel already used: the pinned group's header and fonts drawn once.
    shown.framesOf([&] { view.handlePinToggle(item); }, 250ms);
    shown.framesOf([&] { view.handlePinToggle(item); }, 250ms);
    TransitionFrames frames;
    for (auto _ : state)
        frames.add(shown.framesOf([&] { view.handlePinToggle(item); }, 250ms));
    frames.report(state);
}
BENCHMARK(BM_PinTransitionFrames)->Iterations(40)->Unit(benchmark::kMillisecond);

// Tab in a panel showing tabs over 200 items: the highlight slides to the next tab and the
// content cross-fades (0.15 s).
void BM_TabSwitchTransitionFrames(benchmark::State &state)
{
    AnimatedPanel shown(true);
    PanelViewState &view = shown.panel->state();
    if (!shown.panel->isShowingTabs()) {
        state.SkipWithError("the panel shows no tabs");
        return;
    }
    // Once round the tabs unmeasured, as in a panel already used.
    for (qsizetype tab = 0; tab < view.tabTitles().size(); ++tab)
        shown.framesOf([&] { view.tabForward(); }, 150ms);
    TransitionFrames frames;
    for (auto _ : state)
        frames.add(shown.framesOf([&] { view.tabForward(); }, 150ms));
    state.counters["tabs"] = double(view.tabTitles().size());
    frames.report(state);
}
BENCHMARK(BM_TabSwitchTransitionFrames)->Iterations(40)->Unit(benchmark::kMillisecond);

} // namespace
