#include "panel/PanelGeometry.h"

#include <gtest/gtest.h>

#include <QLocale>

using namespace PanelGeometry;

namespace {

// A 1440 × 900 screen whose top 25 points hold a bar.
const QRectF laptop(0, 25, 1440, 875);
const QSizeF minimum(360, 300);

TEST(PanelGeometryTest, ShowPlacementSizesAndPlacesThePanel)
{
    struct Case
    {
        const char *name;
        std::optional<QSizeF> savedSize;
        std::optional<QPointF> savedTopLeft;
        bool locked;
        int columns;
        QRectF expected;
    };
    const QList<Case> cases {
        { "first show, four columns: 800 × 500 centred", {}, {}, false, 4, QRectF(320, 212.5, 800, 500) },
        { "one column never wider than 360", QSizeF(500, 600), {}, false, 1, QRectF(540, 162.5, 360, 600) },
        { "locked in tabs keeps the stored width", QSizeF(500, 600), {}, true, 1,
            QRectF(470, 162.5, 500, 600) },
        { "seven columns do not fit: stored width kept", QSizeF(700, 500), {}, false, 8,
            QRectF(370, 212.5, 700, 500) },
        { "stored top-left is the top-left", QSizeF(400, 500), QPointF(100, 100), false, 2,
            QRectF(100, 100, 400, 500) },
        { "half off the right edge: moved left to meet it", QSizeF(400, 500), QPointF(1240, 100), false, 2,
            QRectF(1040, 100, 400, 500) },
        { "above the top: moved down", QSizeF(400, 500), QPointF(100, -300), false, 2,
            QRectF(100, 25, 400, 500) },
        { "below the bottom: moved up", QSizeF(400, 500), QPointF(100, 800), false, 2,
            QRectF(100, 400, 400, 500) },
        { "too tall: the top edge wins", QSizeF(400, 2000), QPointF(-50, 500), false, 2,
            QRectF(0, 25, 400, 875) },
        { "smaller than the minimum grows to it", QSizeF(100, 100), QPointF(0, 25), false, 1,
            QRectF(0, 25, 360, 300) },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ShowPlacement placement
            = placeForShow(laptop, c.savedSize, c.savedTopLeft, c.locked, c.columns, minimum);
        EXPECT_EQ(placement.frame, c.expected);
        EXPECT_EQ(placement.maximumSize, laptop.size());
        EXPECT_EQ(placement.minimumSize, minimum);
    }
    // A screen narrower than the minimum lowers the minimum width to it.
    const ShowPlacement narrow = placeForShow(QRectF(0, 0, 320, 480), {}, {}, false, 1, minimum);
    EXPECT_EQ(narrow.frame, QRectF(0, 0, 320, 480));
    EXPECT_EQ(narrow.minimumSize, QSizeF(320, 300));
}

TEST(PanelGeometryTest, LiveResizeLocksBelowTheColumnWidthAndUnlocksWithinFivePoints)
{
    struct Case
    {
        double width;
        int columns;
        bool locked;
        TabLockChange change;
    };
    const Case cases[] = {
        { 594.9, 3, false, TabLockChange::lock },
        { 595, 3, false, TabLockChange::none },
        { 595, 3, true, TabLockChange::unlock },
        { 594.9, 3, true, TabLockChange::none },
        { 100, 1, false, TabLockChange::none },
        { 400, 2, false, TabLockChange::none },
        { 394, 2, false, TabLockChange::lock },
        { 800, 4, true, TabLockChange::unlock },
    };
    for (const Case &c : cases)
        EXPECT_EQ(decideAfterLiveResize(c.width, c.columns, c.locked), c.change)
            << c.width << " " << c.columns;
    EXPECT_EQ(columnsThreshold(3), 595);
}

TEST(PanelGeometryTest, HistoryToggleKeepsTheWidthPerColumnAndTheRightEdge)
{
    const QRectF wide(0, 0, 2560, 1400);
    // Collapsing History from 4 to 3 columns on a 1000-point panel.
    HistoryResize collapse = resizeForHistoryToggle(QRectF(500, 100, 1000, 600), wide, false, 3);
    EXPECT_EQ(collapse.outcome, HistoryResize::Outcome::resize);
    EXPECT_EQ(collapse.frame, QRectF(750, 100, 750, 600));
    // Adding it back from 3 to 4.
    HistoryResize add = resizeForHistoryToggle(collapse.frame, wide, true, 4);
    EXPECT_EQ(add.frame, QRectF(500, 100, 1000, 600));
    // Collapsing never goes below 360 or the columns' full width.
    EXPECT_EQ(resizeForHistoryToggle(QRectF(0, 0, 400, 500), wide, false, 1).frame.width(), 360);
    EXPECT_EQ(resizeForHistoryToggle(QRectF(0, 0, 500, 500), wide, false, 3).frame.width(), 600);
    // Already as wide as the screen: nothing to add.
    EXPECT_EQ(resizeForHistoryToggle(QRectF(0, 0, 2560, 500), wide, true, 5).outcome,
        HistoryResize::Outcome::alreadyFullWidth);
    // The screen cannot hold the columns: tabs instead.
    EXPECT_EQ(resizeForHistoryToggle(QRectF(0, 0, 500, 500), QRectF(0, 0, 700, 800), true, 4).outcome,
        HistoryResize::Outcome::lockTabMode);
    // Growing past the left edge: pinned to it, and as wide as the screen when needed.
    EXPECT_EQ(resizeForHistoryToggle(QRectF(100, 0, 600, 500), QRectF(0, 0, 1000, 800), true, 4).frame,
        QRectF(0, 0, 800, 500));
    EXPECT_EQ(resizeForHistoryToggle(QRectF(100, 0, 900, 500), QRectF(0, 0, 1000, 800), true, 2).frame,
        QRectF(0, 0, 1000, 500));
}

TEST(PanelGeometryTest, ColumnsTabsAndMinimumWidthResizeAroundTheCentreInsideTheScreen)
{
    const QRectF screen(0, 0, 1920, 1080);
    // Growing to three columns around the centre.
    ColumnResize grow = resizeForColumns(QRectF(800, 100, 400, 500), screen, 3);
    EXPECT_FALSE(grow.lockTabMode);
    EXPECT_EQ(grow.frame, QRectF(700, 100, 600, 500));
    // At the right edge the growth goes left.
    EXPECT_EQ(resizeForColumns(QRectF(1520, 0, 400, 500), screen, 3).frame, QRectF(1320, 0, 600, 500));
    // A wider panel keeps its width; fewer columns never shrink it.
    EXPECT_EQ(resizeForColumns(QRectF(0, 0, 900, 500), screen, 2).frame, QRectF(0, 0, 900, 500));
    EXPECT_TRUE(resizeForColumns(QRectF(0, 0, 400, 500), QRectF(0, 0, 1000, 800), 6).lockTabMode);

    EXPECT_EQ(tabModeWidth(3), 599);
    EXPECT_EQ(tabModeWidth(1), 360);
    EXPECT_EQ(shrinkToTabMode(QRectF(100, 50, 801, 500), 3), QRectF(201, 50, 599, 500));
    EXPECT_FALSE(shrinkToTabMode(QRectF(0, 0, 599, 500), 3));
    EXPECT_FALSE(shrinkToTabMode(QRectF(0, 0, 360, 500), 1));

    EXPECT_EQ(widenToMinimum(QRectF(500, 0, 400, 500), screen, 600), QRectF(400, 0, 600, 500));
    EXPECT_EQ(widenToMinimum(QRectF(-50, 0, 400, 500), screen, 600), QRectF(0, 0, 600, 500));
    EXPECT_EQ(widenToMinimum(QRectF(1700, 0, 200, 500), screen, 600), QRectF(1320, 0, 600, 500));
    EXPECT_EQ(widenToMinimum(QRectF(10, 0, 700, 500), screen, 600), QRectF(10, 0, 700, 500));
}

TEST(PanelGeometryTest, AFrameThatOverflowsANewScreenIsFittedAndCentredOnThatAxis)
{
    const QRectF small(1920, 0, 1280, 800);
    EXPECT_EQ(fitIntoScreen(QRectF(2000, 100, 1500, 500), small), QRectF(1920, 100, 1280, 500));
    EXPECT_EQ(fitIntoScreen(QRectF(2000, 100, 600, 1000), small), QRectF(2000, 0, 600, 800));
    EXPECT_EQ(fitIntoScreen(QRectF(3000, 500, 600, 1000), small), QRectF(2600, 0, 600, 800));
    EXPECT_EQ(fitIntoScreen(QRectF(2000, 100, 600, 500), small), QRectF(2000, 100, 600, 500));
}

TEST(PanelGeometryTest, StoredTextsRoundTripWithoutTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(sizeText(QSizeF(800, 500)), QStringLiteral("{800, 500}"));
    EXPECT_EQ(pointText(QPointF(-12.5, 300)), QStringLiteral("{-12.5, 300}"));
    for (const QSizeF size : { QSizeF(800, 500), QSizeF(360.25, 1e4), QSizeF(0.1, 0.2) })
        EXPECT_EQ(parseSize(sizeText(size)), size);
    EXPECT_EQ(parsePoint(QStringLiteral(" {0,-1080} ")), QPointF(0, -1080));
    QLocale::setDefault(QLocale::c());
    for (const QString &bad : { QString(), QStringLiteral("{800}"), QStringLiteral("800, 500"),
             QStringLiteral("{a, b}"), QStringLiteral("{0, 500}"), QStringLiteral("{800, -1}"),
             QStringLiteral("{inf, 5}"), QStringLiteral("{800,5 00}") })
        EXPECT_FALSE(parseSize(bad)) << bad.toStdString();
    EXPECT_FALSE(parsePoint(QStringLiteral("{1, 2, 3}")));

    EXPECT_EQ(screenKey(QStringLiteral("HDMI-1"), QPointF(1920, 0)), QStringLiteral("screen_HDMI-1"));
    EXPECT_EQ(screenKey(QString(), QPointF(0, -1080)), QStringLiteral("screen_0_-1080"));
    EXPECT_EQ(screenKey(QString(), QPointF(1920.7, 0.2)), QStringLiteral("screen_1920_0"));
}

} // namespace

TEST(PanelGeometryTest, OnAScreenShorterThanThePanelItsTopStaysOnTheScreen)
{
    // The panel may not be shorter than 300 points; the screen below it is 240 tall. The
    // search field and the tabs are at the top: that is the edge that must stay reachable.
    const QRectF shortScreen(100, 40, 1280, 240);
    const QSizeF minimum(PanelGeometry::minimumWidth, PanelGeometry::minimumHeight);
    const struct
    {
        const char *name;
        std::optional<QPointF> savedTopLeft;
    } cases[] = {
        { "centred", std::nullopt },
        { "saved above the screen", QPointF(300, -500) },
        { "saved inside", QPointF(300, 60) },
        { "saved below the screen", QPointF(300, 900) },
    };
    for (const auto &c : cases) {
        const ShowPlacement placement
            = placeForShow(shortScreen, QSizeF(600, 500), c.savedTopLeft, false, 2, minimum);
        EXPECT_EQ(placement.frame.top(), shortScreen.top()) << c.name;
        EXPECT_GE(placement.frame.height(), PanelGeometry::minimumHeight) << c.name;
        EXPECT_GE(placement.frame.left(), shortScreen.left()) << c.name;
        EXPECT_LE(placement.frame.right(), shortScreen.right()) << c.name;
    }
    // Moved to such a screen, a tall panel keeps its top on it too.
    EXPECT_EQ(fitIntoScreen(QRectF(300, 500, 600, 400), shortScreen).top(), shortScreen.top());
}
