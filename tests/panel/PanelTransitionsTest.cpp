// The panel's changes that move rather than jump, on a clock the tests move: each with its curve
// and duration, frames at the start, a quarter and half of the way through and at the end.

#include "columns/CategoryColumn.h"
#include "columns/ColumnItemsModel.h"
#include "columns/ColumnItemsView.h"
#include "common/NotificationCenter.h"
#include "panel/CategoryTitles.h"
#include "panel/CrossFadeOverlay.h"
#include "panel/PanelTestSupport.h"
#include "panel/PanelViewState.h"
#include "panel/SearchField.h"
#include "panel/TabHeader.h"
#include "panel/WidgetOpacity.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

// The ease-in-out curve's progress at a tenth, half and nine tenths of the way through; each
// duration is a whole number of milliseconds at these fractions.
constexpr double progressAtTenth = 0.0197;
constexpr double progressAtHalf = 0.5;
constexpr double progressAtNineTenths = 1.0 - progressAtTenth;
constexpr double curveTolerance = 5e-4;

using Items = QHash<QString, ClipboardItemPtr>;

// What a column's group of pins does over a change: no group on either side, a group that
// stays, arrives or leaves (fading in or out with the rows).
enum class PinnedHeader { absent, stays, arrives, leaves };

// How opaque a column's group of pins is drawn at a progress of the change.
double headerOpacity(PinnedHeader header, double progress)
{
    switch (header) {
    case PinnedHeader::absent:
        return 0.0;
    case PinnedHeader::stays:
        return 1.0;
    case PinnedHeader::arrives:
        return progress;
    case PinnedHeader::leaves:
        return 1.0 - progress;
    }
    return -1.0;
}

// A row watched in a column over a change: whether it leaves (else it slides), and what the
// column's group of pins does meanwhile.
struct ColumnWatch
{
    QString column;
    QString watched;
    bool leaves;
    PinnedHeader header;
};

// A change of the rows: what it needs besides the three texts, the change, the rows watched
// (History's first, then the changed item's own column where it stays) and how long the change
// takes.
struct RowChange
{
    const char *name;
    // Adds to the three texts what the change needs.
    std::function<void(Items &)> setup;
    std::function<void(PanelViewState &, Items &)> change;
    QList<ColumnWatch> watches;
    Clock::Duration duration;
};

class PanelTransitionsTest : public PanelStoreTest
{
protected:
    void TearDown() override { m_view.reset(); }

    ClipboardPanelView &show(int width)
    {
        EXPECT_TRUE(context().save().ok);
        m_view = std::make_unique<ClipboardPanelView>(
            context(), m_env.roles(), &m_controller, *m_settings, m_rowStates.rows(), m_clock);
        m_view->resize(width, 600);
        m_view->show();
        m_view->focusSearchField();
        settle();
        return *m_view;
    }
    static void settle() { settleEvents(); }
    // Time passes, and what it set off runs.
    void after(Clock::Duration time)
    {
        m_clock.advance(time);
        settle();
    }
    ColumnItemsView *itemsOf(const QString &title) const
    {
        CategoryColumn *column = shownColumn(*m_view, title);
        return column ? column->itemsView() : nullptr;
    }
    static std::optional<int> rowOf(const ColumnItemsView &view, const ClipboardItemPtr &item)
    {
        const qsizetype row = view.model()->items().indexOf(item);
        return row < 0 ? std::nullopt : std::optional<int>(int(row));
    }
    // Texts one, two and three copied in that order; History shows them newest first.
    Items threeTexts()
    {
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-60);
        Items items;
        int second = 0;
        for (const char *text : { "one", "two", "three" })
            items.insert(
                QString::fromUtf8(text), insertText(QString::fromUtf8(text), start.addSecs(++second)));
        return items;
    }

    // A value that has just begun to move from one number to another along the ease-in-out
    // curve over duration: where it is at the start, a tenth, half and nine tenths of the way
    // through and at the end (with what else is to hold at each frame).
    void expectEaseInOut(Clock::Duration duration, double from, double to,
        const std::function<double()> &value, const std::function<void(double progress)> &alsoAt = {})
    {
        const struct
        {
            const char *when;
            Clock::Duration step;
            double progress;
        } frames[] = { { "at the start", 0ms, 0.0 }, { "a tenth of the way", duration / 10, progressAtTenth },
            { "halfway", duration * 4 / 10, progressAtHalf },
            { "nine tenths of the way", duration * 4 / 10, progressAtNineTenths },
            { "at the end", duration / 10, 1.0 } };
        for (const auto &frame : frames) {
            after(frame.step);
            EXPECT_NEAR(value(), from + (to - from) * frame.progress, std::abs(to - from) * curveTolerance)
                << frame.when;
            if (alsoAt)
                alsoAt(frame.progress);
        }
    }
    // The new content of a cross-fade, as drawn at a frame of it (frames come every 16 ms, so
    // it may lag the fade's progress by one): hidden at the start, part-way while the fade
    // runs, fully there at the end.
    static void expectFadingIn(const QWidget *incoming, double progress)
    {
        const double opacity = widgetOpacity(incoming);
        if (progress == 0.0 || progress == 1.0) {
            EXPECT_EQ(opacity, progress) << "the new content's opacity";
            return;
        }
        EXPECT_LE(opacity, progress + curveTolerance) << "the new content is ahead of the fade";
        if (progress >= progressAtHalf) {
            EXPECT_GT(opacity, 0.0) << "the new content does not show yet";
        }
    }
    // Three tabs, History, Text and Links, in a panel locked to tabs.
    ClipboardPanelView &showTabs()
    {
        insertText(QStringLiteral("note"));
        context().insert(
            ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://a.example") }));
        m_controller.setIsLockedInTabMode(true);
        ClipboardPanelView &panel = show(500);
        EXPECT_EQ(panel.state().tabTitles(), QStringList({ "History", "Text", "Links" }));
        return panel;
    }

    // Every change that moves History's rows.
    QList<RowChange> rowChanges();

    ManualClock m_clock;
    std::unique_ptr<ClipboardPanelView> m_view;
};

// How far through its change a row of a column is: a row that stays, from where it was drawn
// to its new place; a row that left, by how much it has faded out.
class RowWatch
{
public:
    RowWatch(const ColumnItemsView *view, ClipboardItemPtr item, bool leaves)
        : m_item(std::move(item))
        , m_leaves(leaves)
    {
        if (view && !leaves && view->model()->items().contains(m_item))
            m_fromTop = view->columnLayout().cellRect(int(view->model()->items().indexOf(m_item))).top();
    }
    std::optional<double> progress(const ColumnItemsView *view) const
    {
        if (!view || !view->rowAnimator())
            return std::nullopt;
        const RowLayoutAnimator &animator = *view->rowAnimator();
        if (m_leaves) {
            for (const RowLayoutAnimator::Drawn &leaving : animator.leavingRows()) {
                if (leaving.item == m_item)
                    return 1.0 - leaving.opacity;
            }
            return view->model()->items().contains(m_item) ? std::nullopt : std::optional(1.0);
        }
        const qsizetype row = view->model()->items().indexOf(m_item);
        if (row < 0)
            return std::nullopt;
        const double toTop = view->columnLayout().cellRect(int(row)).top();
        if (toTop == m_fromTop)
            return std::nullopt; // it does not move: nothing to watch
        return (animator.drawnRect(int(row)).top() - m_fromTop) / (toTop - m_fromTop);
    }

private:
    ClipboardItemPtr m_item;
    bool m_leaves;
    double m_fromTop = 0.0;
};

} // namespace

QList<RowChange> PanelTransitionsTest::rowChanges()
{
    const auto pinned = [this](Items &items) {
        items.insert(QStringLiteral("kept"),
            insertText(QStringLiteral("kept"), QDateTime::currentDateTimeUtc(), true));
    };
    const QString history = CategoryTitle::history;
    const QString text = CategoryTitle::text;
    return {
        { "pinning", {}, [](PanelViewState &state, Items &items) { state.handlePinToggle(items["two"]); },
            { { history, "one", false, PinnedHeader::absent },
                { text, "one", false, PinnedHeader::arrives } },
            250ms },
        { "unpinning", [](Items &items) { items["two"]->setIsPinned(true); },
            [](PanelViewState &state, Items &items) { state.handlePinToggle(items["two"]); },
            { { history, "three", false, PinnedHeader::absent },
                { text, "three", false, PinnedHeader::leaves } },
            250ms },
        { "deleting a history entry that stands for a pin",
            [this](Items &items) {
                items["two"]->setIsPinned(true);
                ClipboardItemPtr reference = insertText(QStringLiteral("two again"));
                reference->setPinnedReference(items["two"]);
                items.insert(QStringLiteral("reference"), reference);
            },
            [](PanelViewState &state, Items &items) { state.handlePinToggle(items["reference"]); },
            { { history, "three", false, PinnedHeader::absent },
                { text, "three", false, PinnedHeader::stays } },
            250ms },
        { "a row's Delete", {},
            [](PanelViewState &state, Items &items) { state.handleItemDeleted(items["three"]); },
            { { history, "two", false, PinnedHeader::absent }, { text, "two", false, PinnedHeader::absent } },
            200ms },
        { "clearing a column", pinned,
            [](PanelViewState &state, Items &) {
                state.clearColumn(CategoryTitle::history, state.cachedCategories().visible.first().items);
            },
            { { history, "two", true, PinnedHeader::absent }, { text, "two", true, PinnedHeader::stays } },
            200ms },
        { "choosing an item whose file is gone",
            [this](Items &items) {
                ClipboardItemPtr file = ClipboardItem::create(ClipboardItemType::file,
                    { .fileURL = QUrl::fromLocalFile(m_folder->path() + QStringLiteral("/gone.txt")) });
                context().insert(file);
                items.insert(QStringLiteral("file"), file);
            },
            [](PanelViewState &state, Items &items) { state.chooseItem(items["file"]); },
            { { history, "three", false, PinnedHeader::absent } }, 350ms },
        { "clearing the whole history", pinned,
            [](PanelViewState &state, Items &) { state.clearHistoryConfirmed(); },
            { { history, "two", true, PinnedHeader::absent }, { text, "two", true, PinnedHeader::stays } },
            350ms },
    };
}

// Every column that shows the changed item moves with the change, whichever of them lays out
// first, and a column's group of pins fades in or out with its rows.
TEST_F(PanelTransitionsTest, EachChangeOfTheRowsMovesThemWithItsCurveAndDurationInEveryColumn)
{
    for (const RowChange &c : rowChanges()) {
        SCOPED_TRACE(c.name);
        m_view.reset();
        resetStore();
        Items items = threeTexts();
        if (c.setup)
            c.setup(items);
        ClipboardPanelView &panel = show(800);
        QList<RowWatch> watches;
        for (const ColumnWatch &w : c.watches)
            watches.append(RowWatch(itemsOf(w.column), items[w.watched], w.leaves));

        c.change(panel.state(), items);
        settle();
        for (qsizetype i = 0; i < c.watches.size(); ++i) {
            ASSERT_TRUE(watches[i].progress(itemsOf(c.watches[i].column)))
                << c.watches[i].column.toStdString() << ": the row did not change";
        }
        const auto progressIn
            = [&](qsizetype i) { return watches[i].progress(itemsOf(c.watches[i].column)).value_or(-1); };
        expectEaseInOut(
            c.duration, 0.0, 1.0, [&] { return progressIn(0); },
            [&](double progress) {
                for (qsizetype i = 0; i < c.watches.size(); ++i) {
                    const ColumnWatch &w = c.watches[i];
                    SCOPED_TRACE(w.column.toStdString());
                    EXPECT_NEAR(progressIn(i), progress, curveTolerance) << "the row is not with the change";
                    const ColumnItemsView *view = itemsOf(w.column);
                    const RowLayoutAnimator *animator = view->rowAnimator();
                    EXPECT_EQ(animator->isRunning(), progress < 1.0);
                    if (progress == 1.0) {
                        EXPECT_TRUE(animator->leavingRows().isEmpty()) << "the rows that left are gone";
                    }
                    EXPECT_NEAR(
                        view->pinnedHeaderOpacity(), headerOpacity(w.header, progress), curveTolerance)
                        << "the group of pins";
                }
            });
    }
}

namespace {

// A way of choosing a tab, and the tab it chooses (from the first).
struct TabChoice
{
    const char *name;
    std::function<void(ClipboardPanelView &)> choose;
    int to;
};

QList<TabChoice> tabChoices()
{
    return {
        { "a click on the third tab",
            [](ClipboardPanelView &panel) {
                TabHeader *header = panel.tabHeader();
                QTest::mouseClick(header, Qt::LeftButton, {}, header->tabRect(2).center().toPoint());
            },
            2 },
        { "Tab",
            [](ClipboardPanelView &) {
                NotificationCenter::defaultCenter().post(Notifications::tabNavigateForward);
            },
            1 },
        { "Shift+Tab, round to the last tab",
            [](ClipboardPanelView &) {
                NotificationCenter::defaultCenter().post(Notifications::tabNavigateBackward);
            },
            2 },
        { "Control+2",
            [](ClipboardPanelView &panel) {
                QTest::keyClick(panel.searchField(), Qt::Key_2, Qt::ControlModifier);
                // Control let go, as a hand lets it go.
                QTest::sendKeyEvent(
                    QTest::Release, panel.searchField(), Qt::Key_Control, QString(), Qt::NoModifier);
            },
            1 },
    };
}

} // namespace

TEST_F(PanelTransitionsTest, ChoosingATabSlidesItsHighlightAndCrossFadesTheContentOverAFifteenthOfASecond)
{
    for (const TabChoice &c : tabChoices()) {
        SCOPED_TRACE(c.name);
        m_view.reset();
        resetStore();
        ClipboardPanelView &panel = showTabs();
        const QString title = panel.state().tabTitles()[c.to];
        TabHeader *header = panel.tabHeader();
        c.choose(panel);
        settle();
        // The new tab's column is there at once, under the old one's fading picture.
        ASSERT_EQ(panel.columns().size(), 1);
        EXPECT_EQ(panel.columns().first()->config().title, title);
        EXPECT_NE(panel.findChild<CrossFadeOverlay *>(), nullptr) << "no cross-fade";
        expectEaseInOut(
            150ms, 0.0, c.to, [&] { return panel.state().tabTransitions().highlightPosition(); },
            [&](double progress) {
                EXPECT_NEAR(
                    panel.state().tabTransitions().contentFade().progress(), progress, curveTolerance);
                expectFadingIn(panel.columns().first(), progress);
                if (progress == progressAtHalf) {
                    EXPECT_GT(header->highlightRect().left(), header->tabRect(0).left())
                        << "the highlight is drawn on its way";
                }
            });
        EXPECT_EQ(header->highlightRect(), header->tabRect(c.to));
        EXPECT_EQ(panel.findChild<CrossFadeOverlay *>(), nullptr) << "the old content's picture stayed";
    }
}

TEST_F(PanelTransitionsTest, TheTabHeadersHoverFadesInAndOut)
{
    ClipboardPanelView &panel = showTabs();
    TabHeader *header = panel.tabHeader();
    const QPointF inside = header->tabRect(1).center();
    QEnterEvent enter(inside, header->mapToGlobal(inside), header->mapToGlobal(inside));
    const auto hover = [&] { return panel.state().tabTransitions().headerHover(); };
    QApplication::sendEvent(header, &enter);
    expectEaseInOut(150ms, 0.0, 1.0, hover);
    EXPECT_EQ(header->hoverAmount(), 1.0) << "the header draws its hover";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(header, &leave);
    expectEaseInOut(150ms, 1.0, 0.0, hover);
    EXPECT_EQ(header->hoverAmount(), 0.0) << "the header draws its hover";
}

TEST_F(PanelTransitionsTest, SwitchingBetweenListAndGridCrossFadesTheColumnOverAFifthOfASecond)
{
    struct Case
    {
        const char *name;
        bool tabs;
    };
    for (const Case &c :
        { Case { "a Files column's own toggle", false }, Case { "the tab header's toggle", true } }) {
        SCOPED_TRACE(c.name);
        m_view.reset();
        resetStore();
        for (int i = 0; i < 3; ++i)
            context().insert(ClipboardItem::create(ClipboardItemType::file,
                { .fileURL = QUrl::fromLocalFile(m_folder->path() + QStringLiteral("/f%1.txt").arg(i)) }));
        m_controller.setIsLockedInTabMode(c.tabs);
        m_settings->setFilesViewMode(AppSettings::ColumnViewMode::list);
        ClipboardPanelView &panel = show(c.tabs ? 500 : 800);
        if (c.tabs) {
            panel.state().selectTab(int(panel.state().tabTitles().indexOf(CategoryTitle::files)));
            after(200ms);
            TabHeader *header = panel.tabHeader();
            ASSERT_TRUE(header->viewModeToggleRect());
            QTest::mouseClick(header, Qt::LeftButton, {}, header->viewModeToggleRect()->center().toPoint());
        } else {
            QToolButton *toggle = nullptr;
            for (QToolButton *button :
                shownColumn(panel, CategoryTitle::files)->findChildren<QToolButton *>()) {
                if (button->toolTip() == QStringLiteral("List or grid"))
                    toggle = button;
            }
            ASSERT_NE(toggle, nullptr);
            toggle->click();
        }
        settle();
        CategoryColumn *files = shownColumn(panel, CategoryTitle::files);
        ASSERT_NE(files, nullptr);
        EXPECT_EQ(m_settings->filesViewMode(), AppSettings::ColumnViewMode::grid);
        EXPECT_EQ(files->itemsView()->columnLayout().cellKind(0), ColumnLayout::CellKind::tile)
            << "the grid is there at once, under the list's fading picture";
        EXPECT_NE(files->findChild<CrossFadeOverlay *>(), nullptr) << "no cross-fade";
        expectEaseInOut(
            200ms, 0.0, 1.0, [&] { return panel.state().viewModeFade().progress(); },
            [&](double progress) { expectFadingIn(files->itemsView(), progress); });
        EXPECT_EQ(files->findChild<CrossFadeOverlay *>(), nullptr) << "the list's picture stayed";
    }
}

TEST_F(PanelTransitionsTest, NothingMovesWhileThePanelIsHiddenAndHidingEndsWhatMoves)
{
    struct Case
    {
        const char *name;
        Clock::Duration shownFor; // before the panel hides (none: hidden before the change)
        bool pinnedBefore; // the change unpins
        double headerOpacity; // of the Text column's group of pins, once hidden
    };
    for (const Case &c : { Case { "pinned while hidden", 0ms, false, 1.0 },
             Case { "hidden while the pin moves", 50ms, false, 1.0 },
             Case { "hidden while the unpin moves", 50ms, true, 0.0 } }) {
        SCOPED_TRACE(c.name);
        m_view.reset();
        resetStore();
        Items items = threeTexts();
        items["two"]->setIsPinned(c.pinnedBefore);
        ClipboardPanelView &panel = show(800);
        if (c.shownFor == 0ms)
            panel.hide();
        panel.state().handlePinToggle(items["two"]);
        settle();
        after(c.shownFor);
        panel.hide();
        settle();
        ColumnItemsView *history = itemsOf(CategoryTitle::history);
        const RowLayoutAnimator *animator = history->rowAnimator();
        EXPECT_FALSE(animator->isRunning());
        EXPECT_TRUE(animator->leavingRows().isEmpty());
        for (int row = 0; row < animator->rowCount(); ++row) {
            EXPECT_EQ(animator->drawnRect(row), history->columnLayout().cellRect(row)) << row;
            EXPECT_EQ(animator->opacity(row), 1.0) << row;
        }
        EXPECT_EQ(itemsOf(CategoryTitle::text)->pinnedHeaderOpacity(), c.headerOpacity)
            << "the group of pins is still fading";
        panel.show();
        settle();
        EXPECT_FALSE(animator->isRunning()) << "it moves when shown again";
    }
}

// While rows move, the pointer and the keys work on the rows' new places: the rows' layout is
// what is hit, not where a row happens to be drawn (nor the row fading out where it was).
TEST_F(PanelTransitionsTest, WhileRowsMoveAClickAHoverAndTheKeysActOnTheRowsNewPlaces)
{
    Items items = threeTexts();
    ClipboardPanelView &panel = show(800);
    panel.state().handleItemDeleted(items["three"]); // History: two, one
    settle();
    after(100ms);
    ColumnItemsView *history = itemsOf(CategoryTitle::history);
    ASSERT_TRUE(history->rowAnimator()->isRunning());
    ASSERT_EQ(history->rowAnimator()->leavingRows().size(), 1);
    const QPoint firstPlace = history->visualRect(0).center();
    ASSERT_TRUE(history->rowAnimator()->leavingRows().first().rect.contains(firstPlace))
        << "three is fading out over the first place";

    EXPECT_EQ(history->model()->itemAt(history->rowAt(firstPlace).value_or(-1)), items["two"]);
    const QPointF inWindow = history->viewport()->mapTo(m_view.get(), history->visualRect(1).center());
    panel.state().hoverTracker().handleMouseMoved(inWindow);
    EXPECT_EQ(panel.state().selectedItem(), items["one"]) << "the pointer rests on one's new place";

    QTest::keyClick(panel.searchField(), Qt::Key_Up);
    QTest::keyClick(panel.searchField(), Qt::Key_Return);
    QTest::mouseClick(history->viewport(), Qt::LeftButton, {}, history->visualRect(1).center());
    settle();
    QStringList pasted;
    for (const PanelCalls::CopyItem &copy : m_env.callsOf<PanelCalls::CopyItem>())
        pasted.append(copy.item->textContent().value_or(QString()));
    EXPECT_EQ(pasted, QStringList({ "two", "one" }));
}
