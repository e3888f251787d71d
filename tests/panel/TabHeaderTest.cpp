// What the tab header draws at its right end: "Clear" shows with the pointer over the header
// (fading in with its hover), and never without.

#include "panel/TabHeader.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

// How much is drawn in an area of the header: the sum of the pixels' opacity.
double inkIn(TabHeader &header, const QRectF &area)
{
    QImage image(header.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    header.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    double ink = 0.0;
    const QRect pixels = area.toAlignedRect().intersected(image.rect());
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            ink += qAlpha(image.pixel(x, y)) / 255.0;
    }
    return ink;
}

} // namespace

TEST(TabHeaderTest, ClearIsDrawnOnlyWithTheHeadersHoverAndFadesInWithIt)
{
    struct Case
    {
        const char *name;
        bool clearOffered;
        double hoverAmount;
        // How much of "Clear" shows, as a share of what the full hover draws.
        double expectedShare;
    };
    const Case cases[] = {
        { "the pointer away from the header", true, 0.0, 0.0 },
        { "the hover half faded in", true, 0.5, 0.5 },
        { "the pointer over the header", true, 1.0, 1.0 },
        { "nothing to clear, the pointer over the header", false, 1.0, 0.0 },
    };
    TabHeader header;
    header.setTabs({ QStringLiteral("History"), QStringLiteral("Text") }, 0);
    header.resize(460, header.sizeHint().height());
    header.setClearShown(true);
    const std::optional<QRectF> clear = header.clearRect();
    ASSERT_TRUE(clear);
    ASSERT_GT(clear->left(), header.tabRect(1).right()) << "Clear lies over a tab";
    header.setHoverAmount(1.0);
    const double full = inkIn(header, *clear);
    ASSERT_GT(full, 20.0) << "the hovered header draws no Clear";
    for (const Case &c : cases) {
        header.setClearShown(c.clearOffered);
        header.setHoverAmount(c.hoverAmount);
        EXPECT_NEAR(inkIn(header, *clear) / full, c.expectedShare, 0.1) << c.name;
    }
}
