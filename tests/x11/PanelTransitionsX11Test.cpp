// The panel's transitions in the running app under Xvfb: a pin (in every column that shows
// the item) and a tab switch move over a fraction of a second rather than jump. Pictures of
// the screen read one after another while the change runs must catch one that is neither the
// panel before nor the panel after. The pictures go to $TINDLEWICK_ARTEFACT_DIR.

#include "PanelPointerFixture.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

namespace {

class PanelTransitionsX11Test : public PanelPointerX11Test
{
protected:
    static QImage grab(const QRect &area)
    {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    // The part of the screen once it has not changed for 0.4 s.
    static QImage settled(const QRect &area)
    {
        QImage last = grab(area);
        QElapsedTimer sinceChange;
        sinceChange.start();
        waitUntil(
            [&] {
                const QImage now = grab(area);
                if (now != last) {
                    last = now;
                    sinceChange.restart();
                }
                return sinceChange.elapsed() > 400;
            },
            std::chrono::seconds(10));
        return last;
    }
    // Pictures of a part of the screen read one after another, as fast as the server answers,
    // for a time.
    static QList<QImage> picturesFor(const QRect &area, std::chrono::milliseconds time)
    {
        QList<QImage> pictures;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < time.count())
            pictures.append(grab(area));
        return pictures;
    }
    static int differingPixels(const QImage &a, const QImage &b)
    {
        if (a.size() != b.size())
            return a.width() * a.height();
        int count = 0;
        for (int y = 0; y < a.height(); ++y) {
            const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
            const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x)
                count += lineA[x] != lineB[x] ? 1 : 0;
        }
        return count;
    }
    // Among the pictures, one that differs from both the picture before and the one after by
    // more than a few pixels: the change caught on its way. Null when every picture is one of
    // the two (the change jumped).
    static QImage caughtMidway(const QList<QImage> &pictures, const QImage &before, const QImage &after)
    {
        constexpr int somePixels = 50;
        QImage best;
        int bestDistance = 0;
        for (const QImage &picture : pictures) {
            const int distance = std::min(differingPixels(picture, before), differingPixels(picture, after));
            if (distance > somePixels && distance > bestDistance) {
                best = picture;
                bestDistance = distance;
            }
        }
        return best;
    }
    void keep(const QImage &picture, const QString &name)
    {
        EXPECT_TRUE(picture.save(artefactPath(name), "PNG")) << name.toStdString();
    }
};

} // namespace

namespace {

// A pin chosen in a column's row menu: the column (0 History, 1 Text) and the name its pictures
// are kept under.
struct PinFrom
{
    int column;
    const char *pictures;
    friend void PrintTo(const PinFrom &from, std::ostream *out) { *out << from.pictures; }
};

class PanelPinX11Test : public PanelTransitionsX11Test, public ::testing::WithParamInterface<PinFrom>
{
protected:
    // Where the app's other windows (the row menu) lie over an area, in the area's coordinates.
    QRect appWindowsOver(const QRect &area)
    {
        const QString found = toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                QString::number(app->pid()) });
        QRect over;
        for (const QString &line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const quint64 window = line.toULongLong();
            const Geometry geometry = window == panelWindow ? Geometry() : windowGeometry(window);
            if (geometry.valid)
                over |= geometry.rect.intersected(area).translated(-area.topLeft());
        }
        return over;
    }
    // History and Text in the pictures, down to below Text's rows moved down by its group of pins.
    static constexpr int areaHeight = 3 * rowPitch + pinnedHeaderHeight + 20;
    struct Column
    {
        const char *name;
        QRect part;
    };
    static constexpr Column columns[]
        = { { "History", QRect(0, 0, 190, areaHeight) }, { "Text", QRect(200, 0, 190, areaHeight) } };

    // A picture is on its way in a column when it differs there from both ends by more than a
    // few pixels: how many are in each column, and the one furthest from both ends in the two
    // columns at once (null when none is on its way in both).
    struct OnTheirWay
    {
        QList<int> pictures;
        QImage both;
    };
    static OnTheirWay onTheirWay(
        const QList<QImage> &pictures, const QImage &before, const QImage &after, const QRect &menu)
    {
        constexpr int somePixels = 50;
        OnTheirWay caught { QList<int>(qsizetype(std::size(columns)), 0), QImage() };
        int bestDistance = 0;
        for (const QImage &picture : pictures) {
            int nearest = std::numeric_limits<int>::max();
            for (qsizetype i = 0; i < qsizetype(std::size(columns)); ++i) {
                const QRect &part = columns[i].part;
                const int distance = std::min(
                    differingIn(picture, before, part, menu), differingIn(picture, after, part, menu));
                caught.pictures[i] += distance > somePixels ? 1 : 0;
                nearest = std::min(nearest, distance);
            }
            if (nearest > somePixels && nearest > bestDistance) {
                caught.both = picture;
                bestDistance = nearest;
            }
        }
        return caught;
    }

    // Pixels that differ in a part of two pictures, leaving out what lay under the menu.
    static int differingIn(const QImage &a, const QImage &b, const QRect &part, const QRect &hidden)
    {
        int count = 0;
        for (int y = part.top(); y <= part.bottom(); ++y) {
            for (int x = part.left(); x <= part.right(); ++x) {
                if (!hidden.contains(x, y) && a.pixel(x, y) != b.pixel(x, y))
                    ++count;
            }
        }
        return count;
    }
};

} // namespace

// A pin chosen in History or in the item's own column moves both columns together: in
// History the row fades out while the rows below slide up, in Text the group of pins fades
// in over rows that slide down. Pictures of the two columns read while the pin runs must catch
// one in which each column is neither as before nor as after. The menu's place is left out of
// the comparison: the panel draws there again once it closes.
TEST_P(PanelPinX11Test, APinMovesHistoryAndTheItemsOwnColumnTogether)
{
    const PinFrom &c = GetParam();
    // Newest last: History and Text show gamma, beta, alpha.
    seedStore({ QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    // Both columns, from above Text's group of pins to below its rows moved down by it.
    const QRect area(panel.rect.left() + 4, panel.rect.top() + firstRowTop - 12, 392, areaHeight);
    const QString name = QString::fromUtf8(c.pictures);
    const QPoint beta = rowPoint(panel.rect, c.column, 1);
    ASSERT_TRUE(moveTo(beta));
    ASSERT_TRUE(app->caughtUp());
    const QImage before = settled(area);
    const qsizetype mark = app->outputMark();
    ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("3") }));
    ASSERT_TRUE(app->waitForMenu(mark, QStringLiteral("Pin"))) << "no menu";
    const QRect menu = appWindowsOver(area);
    ASSERT_FALSE(menu.isEmpty()) << "the menu is not over the columns, or was not found";
    keep(grab(area), QStringLiteral("transition-%1-menu.png").arg(name));
    ASSERT_TRUE(pressKey(QStringLiteral("Down"))); // Pin
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    const QList<QImage> pictures = picturesFor(area, std::chrono::milliseconds(700));
    ASSERT_TRUE(waitUntil([&] {
        const QList<ClipboardItemPtr> stored = storedItems();
        return std::any_of(stored.begin(), stored.end(), [](const ClipboardItemPtr &item) {
            return item->isPinned() && item->textContent() == QStringLiteral("beta");
        });
    })) << "beta was not pinned";
    const QImage after = settled(area);
    keep(before, QStringLiteral("transition-%1-0-before.png").arg(name));
    keep(after, QStringLiteral("transition-%1-2-after.png").arg(name));

    const OnTheirWay caught = onTheirWay(pictures, before, after, menu);
    for (qsizetype i = 0; i < qsizetype(std::size(columns)); ++i) {
        EXPECT_GT(differingIn(before, after, columns[i].part, menu), 500)
            << columns[i].name << " did not change";
        EXPECT_GT(caught.pictures[i], 0) << "of " << pictures.size() << " pictures, none caught "
                                         << columns[i].name << "'s rows on their way";
    }
    EXPECT_FALSE(caught.both.isNull()) << "no picture caught both columns on their way at once";
    if (!caught.both.isNull())
        keep(caught.both, QStringLiteral("transition-%1-1-midway.png").arg(name));
}

INSTANTIATE_TEST_SUITE_P(FromEitherColumn, PanelPinX11Test,
    ::testing::Values(PinFrom { 1, "pin-from-text" }, PinFrom { 0, "pin-from-history" }),
    [](const ::testing::TestParamInfo<PinFrom> &info) {
        return std::string(info.param.column == 0 ? "FromHistory" : "FromTheTextColumn");
    });

TEST_F(PanelTransitionsX11Test, TabSlidesTheHighlightToTheNextTabAndCrossFadesTheContent)
{
    // A panel that shows tabs, as the window is left after it was narrowed below its columns.
    ASSERT_NO_FATAL_FAILURE(seedSettings(R"({"ClipboardPanelTabModeLock": true})"));
    // History shows links and notes; the Text tab the notes alone.
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < 4; ++i) {
        items.append(ClipboardItem::create(
            ClipboardItemType::link, { .text = QStringLiteral("https://example%1.org/page").arg(i) }));
        items.append(ClipboardItem::create(ClipboardItemType::text,
            { .text = QStringLiteral("A note about the weekly plan, number %1").arg(i) }));
    }
    seedStore(items);
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    ASSERT_TRUE(moveTo(QPoint(2, 2))); // no hover over the panel
    // The tab header and the first rows.
    const QRect area(panel.rect.left() + 4, panel.rect.top() + 60, 400, 260);
    const QImage before = settled(area);
    ASSERT_TRUE(pressKey(QStringLiteral("Tab")));
    const QList<QImage> pictures = picturesFor(area, std::chrono::milliseconds(500));
    const QImage after = settled(area);
    keep(before, QStringLiteral("transition-tab-0-before.png"));
    keep(after, QStringLiteral("transition-tab-2-after.png"));
    ASSERT_GT(differingPixels(before, after), 500) << "Tab did not switch to the next tab";
    const QImage midway = caughtMidway(pictures, before, after);
    EXPECT_FALSE(midway.isNull()) << "of " << pictures.size()
                                  << " pictures, none caught the tabs on their way";
    if (!midway.isNull())
        keep(midway, QStringLiteral("transition-tab-1-midway.png"));
}
