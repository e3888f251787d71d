#include "panel/PanelLayout.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

using PanelLayout::Decision;

TEST(PanelLayoutTest, ColumnsOrTabsByWidthResizeAndLock)
{
    const struct
    {
        double width;
        int visible;
        bool liveResize;
        bool locked;
        bool toggling;
        Decision expected;
    } cases[] = {
        { 594, 3, true, false, false, { true, 594 } },
        { 595, 3, true, false, false, { false, 595.0 / 3 } },
        { 51, 3, true, false, false, { true, 51 } },
        { 50, 3, true, false, false, { false, 50.0 / 3 } },
        { 40, 3, true, false, false, { false, 40.0 / 3 } },
        { 100, 0, true, false, false, { true, 100 } }, // no column counts as one
        { 195, 0, true, false, false, { false, 195 } },
        { 1200, 3, false, true, false, { true, 1200 } }, // locked: tabs at any width
        { 500, 7, false, false, false, { false, 500.0 / 7 } },
        { 900, 3, false, false, true, { false, 250 } }, // a toggle freezes the width
        { 900, 3, true, false, true, { false, 250 } },
        { 900, 3, false, true, true, { true, 900 } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(
            PanelLayout::decide(c.width, c.visible, c.liveResize, c.locked, c.toggling, 250), c.expected)
            << c.width << " " << c.visible;
}

TEST(PanelLayoutTest, TabBarWidthCountsEveryTabAtLeast44Wide)
{
    const double bare = PanelLayout::tabBarWidth({}, 13);
    const QFontMetricsF clear(PanelLayout::panelFont(12));
    EXPECT_DOUBLE_EQ(
        bare, 10 + 12 + std::ceil(clear.horizontalAdvance(QStringLiteral("Clear"))) + 8 + 4 + 24 + 10);
    // A one-letter title is narrower than 24 points: its tab takes the minimum.
    EXPECT_DOUBLE_EQ(PanelLayout::tabBarWidth({ QStringLiteral("i") }, 13), bare + 44);
    EXPECT_DOUBLE_EQ(
        PanelLayout::tabBarWidth({ QStringLiteral("i"), QStringLiteral("i") }, 13), bare + 44 + 2 + 44);
    const QString wide(40, QLatin1Char('W'));
    EXPECT_GT(PanelLayout::tabBarWidth({ wide }, 13), bare + 200);
    EXPECT_GT(PanelLayout::tabBarWidth({ wide }, 20), PanelLayout::tabBarWidth({ wide }, 13));
}
