#include "columns/RowLayoutAnimator.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QHash>

using namespace std::chrono_literals;

namespace {

// Rows 44 high on a 46-point pitch, as a list column lays them out.
constexpr double pitch = 46.0;
// The ease-in-out curve's progress a quarter, half and three quarters of the way through.
constexpr double progressAtQuarter = 0.1292;
constexpr double progressAtHalf = 0.5;
constexpr double progressAtThreeQuarters = 0.8708;

const QString unpinned = QStringLiteral("Unpinned");
const QString pinned = QStringLiteral("Pinned");

struct Named
{
    QString name;
    QString block = unpinned;
};

// What one row does over the transition: its top and opacity at the start and at the end
// (a row that leaves keeps its top and ends at opacity 0).
struct Expected
{
    QString name;
    bool leaves;
    double fromTop;
    double toTop;
    double fromOpacity;
    double toOpacity;
};

class RowLayoutAnimatorTest : public ::testing::Test
{
protected:
    ClipboardItemPtr item(const QString &name)
    {
        ClipboardItemPtr &found = m_items[name];
        if (!found)
            found = ClipboardItem::create(ClipboardItemType::text, { .text = name });
        return found;
    }
    // The rows in this order, one under the other from the top.
    QList<RowLayoutAnimator::Row> rows(const QList<Named> &names)
    {
        QList<RowLayoutAnimator::Row> placed;
        for (qsizetype i = 0; i < names.size(); ++i)
            placed.append({ item(names[i].name), names[i].block, QRectF(10, i * pitch, 180, 44) });
        return placed;
    }
    double opacityOfLeaving(const RowLayoutAnimator &animator, const QString &name)
    {
        for (const RowLayoutAnimator::Drawn &leaving : animator.leavingRows()) {
            if (leaving.item == item(name))
                return leaving.opacity;
        }
        return -1.0; // not among the rows that left
    }
    QRectF leavingRect(const RowLayoutAnimator &animator, const QString &name)
    {
        for (const RowLayoutAnimator::Drawn &leaving : animator.leavingRows()) {
            if (leaving.item == item(name))
                return leaving.rect;
        }
        return {};
    }

    // Each row where the transition has taken it at that progress of the curve.
    void expectDrawnAt(const RowLayoutAnimator &animator, const QList<RowLayoutAnimator::Row> &after,
        const QList<Expected> &rows, double progress)
    {
        for (const Expected &row : rows) {
            const double top = row.fromTop + (row.toTop - row.fromTop) * progress;
            const double opacity = row.fromOpacity + (row.toOpacity - row.fromOpacity) * progress;
            if (row.leaves) {
                EXPECT_NEAR(leavingRect(animator, row.name).top(), top, 0.05) << row.name.toStdString();
                EXPECT_NEAR(opacityOfLeaving(animator, row.name), opacity, 1e-3) << row.name.toStdString();
                continue;
            }
            const int index = int(std::find_if(after.begin(), after.end(), [&](const auto &r) {
                return r.item == item(row.name);
            }) - after.begin());
            EXPECT_NEAR(animator.drawnRect(index).top(), top, 0.05) << row.name.toStdString();
            EXPECT_NEAR(animator.opacity(index), opacity, 1e-3) << row.name.toStdString();
        }
    }

    ManualClock clock;
    QHash<QString, ClipboardItemPtr> m_items;
};

} // namespace

TEST_F(RowLayoutAnimatorTest, RowsSlideFadeInAndFadeOutAlongTheCurveOverTheDuration)
{
    struct Case
    {
        const char *name;
        QList<Named> after;
        QList<Expected> rows;
    };
    const QList<Named> before { { "A" }, { "B" }, { "C" } };
    const Case cases[] = {
        { "B leaves: it fades out where it was while C slides up into its place", { { "A" }, { "C" } },
            { { "A", false, 0, 0, 1, 1 }, { "C", false, 2 * pitch, pitch, 1, 1 },
                { "B", true, pitch, pitch, 1, 0 } } },
        { "N arrives second: it fades in at its place while B and C slide down",
            { { "A" }, { "N" }, { "B" }, { "C" } },
            { { "A", false, 0, 0, 1, 1 }, { "N", false, pitch, pitch, 0, 1 },
                { "B", false, pitch, 2 * pitch, 1, 1 }, { "C", false, 2 * pitch, 3 * pitch, 1, 1 } } },
        { "C moves to the top: it slides up while A and B slide down", { { "C" }, { "A" }, { "B" } },
            { { "C", false, 2 * pitch, 0, 1, 1 }, { "A", false, 0, pitch, 1, 1 },
                { "B", false, pitch, 2 * pitch, 1, 1 } } },
        { "B is pinned: it leaves the unpinned rows and arrives among the pins",
            { { "B", pinned }, { "A" }, { "C" } },
            { { "B", false, 0, 0, 0, 1 }, { "A", false, 0, pitch, 1, 1 },
                { "C", false, 2 * pitch, 2 * pitch, 1, 1 }, { "B", true, pitch, pitch, 1, 0 } } },
    };
    const struct Frame
    {
        Clock::Duration at;
        double progress;
    } frames[] = { { 0ms, 0.0 }, { 50ms, progressAtQuarter }, { 100ms, progressAtHalf },
        { 150ms, progressAtThreeQuarters } };
    for (const Case &c : cases) {
        RowLayoutAnimator animator(clock);
        animator.setRows(rows(before), std::nullopt);
        const QList<RowLayoutAnimator::Row> after = rows(c.after);
        animator.setRows(after, AnimationTiming { 200ms, TimingCurve::easeInOut() });
        Clock::Duration now { 0 };
        for (const Frame &frame : frames) {
            clock.advance(frame.at - now);
            now = frame.at;
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(frame.at.count()) + " ms");
            EXPECT_TRUE(animator.isRunning());
            expectDrawnAt(animator, after, c.rows, frame.progress);
        }
        clock.advance(200ms - now);
        EXPECT_FALSE(animator.isRunning()) << c.name;
        EXPECT_TRUE(animator.leavingRows().isEmpty()) << c.name << ": the rows that left are gone";
        for (int row = 0; row < after.size(); ++row) {
            EXPECT_EQ(animator.drawnRect(row), after[row].rect) << c.name << ", row " << row;
            EXPECT_EQ(animator.opacity(row), 1.0) << c.name << ", row " << row;
        }
    }
}

TEST_F(RowLayoutAnimatorTest, AChangeDuringATransitionStartsFromWhereTheRowsAreDrawn)
{
    struct Case
    {
        const char *name;
        QList<Named> first;
        QList<Named> second;
        QString row;
        // The row's top and opacity when the second change comes (halfway through the first),
        // and where it ends.
        double topThen;
        double opacityThen;
        double finalTop;
    };
    const QList<Named> start { { "A" }, { "B" }, { "C" } };
    const Case cases[] = {
        { "C moving to the top is sent back", { { "C" }, { "A" }, { "B" } }, start, "C", pitch, 1.0,
            2 * pitch },
        { "B fading out comes back", { { "A" }, { "C" } }, start, "B", pitch, 0.5, pitch },
        { "N fading in is moved down", { { "N" }, { "A" }, { "B" }, { "C" } },
            { { "A" }, { "N" }, { "B" }, { "C" } }, "N", 0, 0.5, pitch },
    };
    for (const Case &c : cases) {
        RowLayoutAnimator animator(clock);
        animator.setRows(rows(start), std::nullopt);
        animator.setRows(rows(c.first), AnimationTiming { 200ms, TimingCurve::easeInOut() });
        clock.advance(100ms);
        const QList<RowLayoutAnimator::Row> second = rows(c.second);
        animator.setRows(second, AnimationTiming { 250ms, TimingCurve::easeInOut() });
        const int index = int(std::find_if(second.begin(), second.end(), [&](const auto &r) {
            return r.item == item(c.row);
        }) - second.begin());
        EXPECT_NEAR(animator.drawnRect(index).top(), c.topThen, 0.05) << c.name << ": no jump";
        EXPECT_NEAR(animator.opacity(index), c.opacityThen, 1e-3) << c.name << ": no jump";
        clock.advance(125ms);
        EXPECT_NEAR(
            animator.drawnRect(index).top(), c.topThen + (c.finalTop - c.topThen) * progressAtHalf, 0.05)
            << c.name << ": halfway along the second change";
        EXPECT_NEAR(animator.opacity(index), c.opacityThen + (1.0 - c.opacityThen) * progressAtHalf, 1e-3)
            << c.name;
        clock.advance(125ms);
        EXPECT_FALSE(animator.isRunning()) << c.name;
        EXPECT_EQ(animator.drawnRect(index).top(), c.finalTop) << c.name;
        EXPECT_TRUE(animator.leavingRows().isEmpty()) << c.name;
    }
}

TEST_F(RowLayoutAnimatorTest, WithoutATimingOrOnceFinishedTheRowsAreAtTheirPlaces)
{
    struct Case
    {
        const char *name;
        std::function<void(RowLayoutAnimator &)> change;
    };
    const QList<Named> after { { "C" }, { "A" } };
    const Case cases[] = {
        { "a change without a timing", [&](RowLayoutAnimator &a) { a.setRows(rows(after), std::nullopt); } },
        { "a transition finished at once (the panel hid)",
            [&](RowLayoutAnimator &a) {
                a.setRows(rows(after), AnimationTiming { 250ms, TimingCurve::easeInOut() });
                clock.advance(50ms);
                a.finish();
            } },
    };
    for (const Case &c : cases) {
        RowLayoutAnimator animator(clock);
        animator.setRows(rows({ { "A" }, { "B" }, { "C" } }), std::nullopt);
        int frames = 0;
        QObject::connect(&animator, &RowLayoutAnimator::frame, [&] { ++frames; });
        c.change(animator);
        EXPECT_FALSE(animator.isRunning()) << c.name;
        EXPECT_TRUE(animator.leavingRows().isEmpty()) << c.name << ": B is gone at once";
        EXPECT_EQ(animator.drawnRect(0).top(), 0.0) << c.name;
        EXPECT_EQ(animator.drawnRect(1).top(), pitch) << c.name;
        EXPECT_EQ(animator.opacity(0), 1.0) << c.name;
        EXPECT_GT(frames, 0) << c.name << ": the column is told to draw again";
        const int framesBefore = frames;
        clock.advance(500ms);
        EXPECT_EQ(frames, framesBefore) << c.name << ": nothing moves afterwards";
    }
}

TEST_F(RowLayoutAnimatorTest, RowsLaidOutAnewWhileTheyMoveHeadForTheirNewPlacesInTheTimeLeft)
{
    RowLayoutAnimator animator(clock);
    animator.setRows(rows({ { "A" }, { "B" }, { "C" } }), std::nullopt);
    animator.setRows(
        rows({ { "C" }, { "A" }, { "B" } }), AnimationTiming { 200ms, TimingCurve::easeInOut() });
    clock.advance(100ms);
    // The column is made wider halfway (a column beside it went): the same rows, wider.
    QList<RowLayoutAnimator::Row> wider = rows({ { "C" }, { "A" }, { "B" } });
    for (RowLayoutAnimator::Row &row : wider)
        row.rect.setWidth(280);
    animator.setRows(wider, std::nullopt);
    EXPECT_TRUE(animator.isRunning()) << "the rows jumped";
    EXPECT_NEAR(animator.drawnRect(0).top(), pitch, 0.05) << "C is still halfway up";
    EXPECT_NEAR(animator.drawnRect(0).width(), 230, 0.05) << "and halfway to its new width";
    clock.advance(100ms);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(animator.drawnRect(0), wider[0].rect);
}

TEST_F(RowLayoutAnimatorTest, RowsChangedWithoutATimingMidwayMoveFromWhereTheyAreDrawnInTheTimeLeft)
{
    struct Case
    {
        const char *name;
        QList<Named> first; // a 200 ms transition from A, B, C
        QList<Named> second; // that far through it, without a timing
        std::chrono::milliseconds at;
        // From where each row is drawn when the second layout comes to its new place.
        QList<Expected> rows;
    };
    constexpr double quarter = progressAtQuarter;
    const Case cases[] = {
        { "a copy arrives while a pin's rows move", { { "B", pinned }, { "A" }, { "C" } },
            { { "B", pinned }, { "N" }, { "A" }, { "C" } }, 100ms,
            { { "B", false, 0, 0, 0.5, 1 }, { "N", false, pitch, pitch, 0, 1 },
                { "A", false, pitch / 2, 2 * pitch, 1, 1 }, { "C", false, 2 * pitch, 3 * pitch, 1, 1 },
                { "B", true, pitch, pitch, 0.5, 0 } } },
        { "a copy arrives while a deleted row fades out", { { "A" }, { "C" } }, { { "N" }, { "A" }, { "C" } },
            100ms,
            { { "N", false, 0, 0, 0, 1 }, { "A", false, 0, pitch, 1, 1 },
                { "C", false, 1.5 * pitch, 2 * pitch, 1, 1 }, { "B", true, pitch, pitch, 0.5, 0 } } },
        // Elsewhere than halfway the time left is not the time gone.
        { "a copy arrives a quarter through a deletion", { { "A" }, { "C" } }, { { "N" }, { "A" }, { "C" } },
            50ms,
            { { "N", false, 0, 0, 0, 1 }, { "A", false, 0, pitch, 1, 1 },
                { "C", false, (2 - quarter) * pitch, 2 * pitch, 1, 1 },
                { "B", true, pitch, pitch, 1 - quarter, 0 } } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RowLayoutAnimator animator(clock);
        animator.setRows(rows({ { "A" }, { "B" }, { "C" } }), std::nullopt);
        animator.setRows(rows(c.first), AnimationTiming { 200ms, TimingCurve::easeInOut() });
        clock.advance(c.at);
        const QList<RowLayoutAnimator::Row> second = rows(c.second);
        animator.setRows(second, std::nullopt);
        ASSERT_TRUE(animator.isRunning()) << "the rows jumped";
        expectDrawnAt(animator, second, c.rows, 0.0);
        // The first transition's time left, along the curve.
        const std::chrono::milliseconds left = 200ms - c.at;
        clock.advance(left / 2);
        expectDrawnAt(animator, second, c.rows, progressAtHalf);
        clock.advance(left / 2);
        EXPECT_FALSE(animator.isRunning()) << "it outlasted the first transition";
        EXPECT_TRUE(animator.leavingRows().isEmpty());
        for (int row = 0; row < second.size(); ++row) {
            EXPECT_EQ(animator.drawnRect(row), second[row].rect) << row;
            EXPECT_EQ(animator.opacity(row), 1.0) << row;
        }
    }
}

TEST_F(RowLayoutAnimatorTest, TheRowsDrawnInABandAreThoseThatMeetItEvenInPart)
{
    struct Case
    {
        const char *name;
        double top;
        double bottom;
        // Rows at rest (A, B, C from the top) and halfway through C sliding to the top (C, A, B:
        // C drawn 46 to 90, A 23 to 67, B 69 to 113).
        QList<int> atRest;
        QList<int> halfway;
    };
    const Case cases[] = {
        { "the whole column", 0, 600, { 0, 1, 2 }, { 0, 1, 2 } },
        { "a row straddling the top edge and one the bottom edge", 50, 100, { 1, 2 }, { 0, 1, 2 } },
        { "the top edge inside the first row's last point", 43, 45, { 0 }, { 1 } },
        { "scrolled below the middle row", 95, 400, { 2 }, { 2 } },
        { "the top edge inside the last row", 110, 400, { 2 }, { 2 } },
        { "below every row", 140, 400, {}, {} },
        { "above every row drawn halfway", 0, 20, { 0 }, {} },
    };
    RowLayoutAnimator atRest(clock);
    atRest.setRows(rows({ { "A" }, { "B" }, { "C" } }), std::nullopt);
    RowLayoutAnimator moving(clock);
    moving.setRows(rows({ { "A" }, { "B" }, { "C" } }), std::nullopt);
    moving.setRows(rows({ { "C" }, { "A" }, { "B" } }), AnimationTiming { 200ms, TimingCurve::easeInOut() });
    clock.advance(100ms);
    ASSERT_TRUE(moving.isRunning());
    for (const Case &c : cases) {
        EXPECT_EQ(atRest.rowsDrawnBetween(c.top, c.bottom), c.atRest) << c.name << ", at rest";
        EXPECT_EQ(moving.rowsDrawnBetween(c.top, c.bottom), c.halfway) << c.name << ", halfway";
    }
}
