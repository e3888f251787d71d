// Fading a widget inside a parent that moves: what the window shows must follow the widget.
#include "panel/WidgetOpacity.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>

namespace {

// The left edge of the dark pixels in the window as the screen shows it, -1 when there are none.
int darkLeftEdge(QWidget &window)
{
    QTest::qWait(30);
    const QImage image = window.screen()->grabWindow(window.winId()).toImage();
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).lightness() < 200)
                return x;
        }
    }
    return -1;
}

} // namespace

TEST(WidgetOpacityTest, AFadedWidgetIsDrawnWhereItIsAfterItsParentMoved)
{
    struct Step
    {
        double opacity;
        int parentX;
        const char *what;
    };
    // A header that slides while its button fades, as a column does while History is toggled.
    const Step steps[] = {
        { 1.0, 0, "at first" },
        { 0.5, 0, "faded" },
        { 0.5, 60, "faded and moved" },
        { 1.0, 60, "back in full" },
        { 1.0, 0, "moved back in full" }, // drew a picture kept from the faded steps, or nothing
        { 0.0, 0, "hidden" },
        { 0.4, 30, "fading in elsewhere" },
        { 1.0, 30, "in full there" },
        { 1.0, 90, "moved once more" },
    };
    QWidget window;
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::white));
    window.resize(200, 40);
    auto *header = new QWidget(&window);
    header->setGeometry(0, 0, 100, 40);
    auto *button = new QWidget(header);
    button->setAutoFillBackground(true);
    button->setPalette(QPalette(Qt::black));
    button->setGeometry(10, 10, 20, 20);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    for (const Step &step : steps) {
        setWidgetOpacity(button, step.opacity);
        header->move(step.parentX, 0);
        EXPECT_DOUBLE_EQ(widgetOpacity(button), step.opacity) << step.what;
        EXPECT_EQ(darkLeftEdge(window), step.opacity > 0.0 ? step.parentX + 10 : -1) << step.what;
    }
}
