// The panel's transitions in the running app under Xvfb: a pin and a tab switch move over a
// fraction of a second rather than jump. Pictures of the screen read one after another while
// the change runs must catch one that is neither the panel before nor the panel after. The
// pictures go to $TINDLEWICK_ARTEFACT_DIR.

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

TEST_F(PanelTransitionsX11Test, APinnedItemFadesOutOfHistoryWhileTheRowsBelowSlideUp)
{
    // Newest last: History and Text show gamma, beta, alpha.
    seedStore({ QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    // The History column alone: the pin is chosen in the Text column's menu, which opens to the
    // right of the pointer and never over History.
    const QRect history(panel.rect.left() + 4, panel.rect.top() + firstRowTop - 4, 190, 3 * rowPitch + 8);
    const QPoint beta = rowPoint(panel.rect, 1, 1);
    ASSERT_TRUE(moveTo(beta));
    const QImage before = settled(history);
    const QRect menuArea(beta + QPoint(4, 4), QSize(100, 40));
    const QImage withoutMenu = grab(menuArea);
    ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("3") }));
    ASSERT_TRUE(waitUntil([&] { return differingPixels(grab(menuArea), withoutMenu) > 1000; })) << "no menu";
    ASSERT_TRUE(pressKey(QStringLiteral("Down"))); // Pin
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    const QList<QImage> pictures = picturesFor(history, std::chrono::milliseconds(700));
    ASSERT_TRUE(waitUntil([&] {
        const QList<ClipboardItemPtr> stored = storedItems();
        return std::any_of(stored.begin(), stored.end(), [](const ClipboardItemPtr &item) {
            return item->isPinned() && item->textContent() == QStringLiteral("beta");
        });
    })) << "beta was not pinned";
    const QImage after = settled(history);
    keep(before, QStringLiteral("transition-pin-0-before.png"));
    keep(after, QStringLiteral("transition-pin-2-after.png"));
    ASSERT_GT(differingPixels(before, after), 500) << "History did not change";
    const QImage midway = caughtMidway(pictures, before, after);
    EXPECT_FALSE(midway.isNull()) << "of " << pictures.size()
                                  << " pictures, none caught the rows on their way";
    if (!midway.isNull())
        keep(midway, QStringLiteral("transition-pin-1-midway.png"));
}

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
