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
    static void settle()
    {
        for (int i = 0; i < 6; ++i) {
            QApplication::processEvents();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
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
            items.insert(QString::fromUtf8(text), insertText(QString::fromUtf8(text), start.addSecs(++second)));
        return items;
    }

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

TEST_F(PanelTransitionsTest, EachChangeOfTheRowsMovesThemWithItsCurveAndDuration)
{
    struct Case
    {
        const char *name;
        // Adds to the three texts what the change needs.
        std::function<void(Items &)> setup;
        std::function<void(PanelViewState &, Items &)> change;
        // The History row watched, and whether it leaves (else it slides).
        QString watched;
        bool leaves;
        Clock::Duration duration;
    };
    const auto pinned = [this](Items &items) {
        items.insert(QStringLiteral("kept"), insertText(QStringLiteral("kept"), QDateTime::currentDateTimeUtc(), true));
    };
    const Case cases[] = {
        { "pinning", {}, [](PanelViewState &state, Items &items) { state.handlePinToggle(items["two"]); },
            "one", false, 250ms },
        { "unpinning", [](Items &items) { items["two"]->setIsPinned(true); },
            [](PanelViewState &state, Items &items) { state.handlePinToggle(items["two"]); }, "three", false,
            250ms },
        { "deleting a history entry that stands for a pin",
            [this](Items &items) {
                items["two"]->setIsPinned(true);
                ClipboardItemPtr reference = insertText(QStringLiteral("two again"));
                reference->setPinnedReference(items["two"]);
                items.insert(QStringLiteral("reference"), reference);
            },
            [](PanelViewState &state, Items &items) { state.handlePinToggle(items["reference"]); }, "three",
            false, 250ms },
        { "a row's Delete", {}, [](PanelViewState &state, Items &items) { state.handleItemDeleted(items["three"]); },
            "two", false, 200ms },
        { "clearing a column", pinned,
            [](PanelViewState &state, Items &) {
                state.clearColumn(CategoryTitle::history, state.cachedCategories().visible.first().items);
            },
            "two", true, 200ms },
        { "choosing an item whose file is gone",
            [this](Items &items) {
                ClipboardItemPtr file = ClipboardItem::create(ClipboardItemType::file,
                    { .fileURL = QUrl::fromLocalFile(m_folder->path() + QStringLiteral("/gone.txt")) });
                context().insert(file);
                items.insert(QStringLiteral("file"), file);
            },
            [](PanelViewState &state, Items &items) { state.chooseItem(items["file"]); }, "three", false, 350ms },
        { "clearing the whole history", pinned,
            [](PanelViewState &state, Items &) { state.clearHistoryConfirmed(); }, "two", true, 350ms },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view.reset();
        resetStore();
        Items items = threeTexts();
        if (c.setup)
            c.setup(items);
        ClipboardPanelView &panel = show(800);
        const RowWatch watch(itemsOf(CategoryTitle::history), items[c.watched], c.leaves);

        c.change(panel.state(), items);
        settle();
        const auto progress = [&] { return watch.progress(itemsOf(CategoryTitle::history)); };
        ASSERT_TRUE(progress()) << "the row did not change";
        EXPECT_NEAR(*progress(), 0.0, 1e-9) << "at the start";
        after(c.duration / 10);
        EXPECT_NEAR(progress().value_or(-1), progressAtTenth, curveTolerance) << "a tenth of the way";
        after(c.duration * 4 / 10);
        EXPECT_NEAR(progress().value_or(-1), progressAtHalf, curveTolerance) << "halfway";
        after(c.duration * 4 / 10);
        EXPECT_NEAR(progress().value_or(-1), progressAtNineTenths, curveTolerance) << "nine tenths";
        after(c.duration / 10 - 1ms);
        EXPECT_LT(progress().value_or(-1), 1.0) << "just before the end";
        EXPECT_TRUE(itemsOf(CategoryTitle::history)->rowAnimator()->isRunning());
        after(1ms);
        EXPECT_NEAR(progress().value_or(-1), 1.0, 1e-9) << "at the end";
        EXPECT_FALSE(itemsOf(CategoryTitle::history)->rowAnimator()->isRunning());
        EXPECT_TRUE(itemsOf(CategoryTitle::history)->rowAnimator()->leavingRows().isEmpty());
    }
}
