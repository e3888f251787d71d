// The rows of the panel in the running app under Xvfb: their menus, their sideways swipe to
// Delete, the icon that follows Shift, the preview of each kind and "/emoji" without a picker.
// Screenshots of each step go to $TINDLEWICK_ARTEFACT_DIR.

#include "PanelPointerFixture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>

namespace {

class PanelRowsX11Test : public PanelPointerX11Test
{
protected:
    // How many pixels of a part of the screen are near a colour.
    static int pixelsNear(const QImage &image, const QRect &area, const QColor &color, int tolerance = 40)
    {
        int count = 0;
        const QRect inside = area.intersected(image.rect());
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - color.red()) <= tolerance
                    && std::abs(pixel.green() - color.green()) <= tolerance
                    && std::abs(pixel.blue() - color.blue()) <= tolerance)
                    ++count;
            }
        }
        return count;
    }
    // Pixels of a strong hue (the accent, a swatch) in a part of the screen.
    static int colouredPixels(const QImage &image, const QRect &area)
    {
        int count = 0;
        const QRect inside = area.intersected(image.rect());
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.hsvSaturation() > 90 && pixel.value() > 80)
                    ++count;
            }
        }
        return count;
    }
    // A row of the History column (0 the first), as the screen shows it.
    QRect rowRect(int row) const
    {
        return QRect(panel.rect.left() + 10, panel.rect.top() + firstRowTop + row * rowPitch, 180, 44);
    }
    // The panel hides with a row's menu open: the menu goes with it and the keys reach the
    // window, which held `typed` before.
    void expectARowsMenuGoesWithThePanel(const QString &typed)
    {
        ASSERT_TRUE(openPanelShown(*app));
        ASSERT_TRUE(moveTo(rowPoint(panel.rect, 0, 0)));
        const qsizetype beforeMenu = app->outputMark();
        ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("3") }));
        ASSERT_TRUE(app->waitForMenu(beforeMenu, QStringLiteral("Delete"))) << "no menu";
        ASSERT_TRUE(pressKey(QStringLiteral("ctrl+space")));
        ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
        ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("z") }));
        EXPECT_TRUE(waitUntil([&] { return window->plainText() == typed + QStringLiteral("z"); }))
            << "typed after the hide: " << window->plainText().toStdString();
        saveScreenshot(QStringLiteral("menu-gone-with-the-panel.png"));
    }
    static QByteArray png(const QSize &size, const QColor &color)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }
};

const QColor deleteRed(0xE0, 0x3E, 0x36);

} // namespace

TEST_F(PanelRowsX11Test, ARowsMenuPastesAColourInAnotherNotationAnSvgFilesSourceAndClosesWithThePanel)
{
    const QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" "
                                       "height=\"8\"><rect width=\"8\" height=\"8\"/></svg>");
    const QString svgPath = home.path() + QStringLiteral("/logo.svg");
    {
        QFile file(svgPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(svg.toUtf8());
    }
    // Newest last: History shows the note, the colour, the SVG picture.
    seedStore({ ClipboardItem::create(ClipboardItemType::media,
                    { .fileURL = QUrl::fromLocalFile(svgPath), .mediaSubtypeRaw = QStringLiteral("image") }),
        ClipboardItem::create(ClipboardItemType::color,
            { .text = QStringLiteral("#FF0000"), .colorHex = QStringLiteral("#FF0000") }),
        ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("plain words") }) });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));

    struct Step
    {
        const char *name;
        int row;
        int downs; // the menu's entries: Pin, Delete, then the colour's notations or the SVG code
        QString pasted;
        QString lastEntry; // the entry the menu has once it is complete
    };
    const Step steps[] = {
        { "the colour as RGB", 1, 4, QStringLiteral("rgb(255, 0, 0)"), QStringLiteral("Customize Formats") },
        // Its entry joins once the file has been read.
        { "the SVG file's source", 2, 3, svg, QStringLiteral("Paste SVG code") },
    };
    QString expected;
    for (const Step &step : steps) {
        if (!isViewable(panelWindow)) {
            ASSERT_TRUE(openPanelShown(*app)) << step.name;
        }
        ASSERT_TRUE(moveTo(rowPoint(panel.rect, 0, step.row)));
        const qsizetype beforeMenu = app->outputMark();
        ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("3") }));
        ASSERT_TRUE(app->waitForMenu(beforeMenu, step.lastEntry)) << step.name << ": no complete menu";
        saveScreenshot(QStringLiteral("menu-row-%1.png").arg(step.row));
        for (int down = 0; down < step.downs; ++down)
            ASSERT_TRUE(pressKey(QStringLiteral("Down")));
        saveScreenshot(QStringLiteral("menu-row-%1-chosen.png").arg(step.row));
        ASSERT_TRUE(pressKey(QStringLiteral("Return")));
        expected += step.pasted;
        EXPECT_TRUE(waitUntil([&] { return window->plainText() == expected; }))
            << step.name << ": pasted " << window->plainText().toStdString();
    }

    ASSERT_NO_FATAL_FAILURE(expectARowsMenuGoesWithThePanel(expected));
}

TEST_F(PanelRowsX11Test, ASidewaysScrollOpensARowsDeleteWhichDeletesAndAPressElsewhereShutsIt)
{
    // Newest last: History shows "third", "swipe me", "keep me".
    seedStore({ QStringLiteral("keep me"), QStringLiteral("swipe me"), QStringLiteral("third") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    const QRect row = rowRect(1);
    const QRect actionArea(row.right() - 70, row.top() + 4, 66, row.height() - 8);
    const auto actionShown = [&] { return pixelsNear(screen(), actionArea, deleteRed) > 300; };
    ASSERT_FALSE(actionShown());

    // A sideways scroll (two fingers on a touchpad moving left, a wheel tilted right): four
    // notches from one tool, as one gesture (a pause of 0.15 s ends a swipe).
    const auto swipeOpen = [&] {
        if (!moveTo(row.center()))
            return false;
        if (!xdotool({ QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("4"),
                QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("7") }))
            return false;
        return waitUntil(actionShown);
    };
    ASSERT_TRUE(swipeOpen()) << "the row did not open";
    saveScreenshot(QStringLiteral("swipe-1-open.png"));

    // A press elsewhere in the panel shuts it.
    ASSERT_TRUE(clickAt(panel.rect.topLeft() + QPoint(150, 32)));
    EXPECT_TRUE(waitUntil([&] { return !actionShown(); })) << "the row stayed open";
    saveScreenshot(QStringLiteral("swipe-2-shut.png"));

    // Open again, its Delete deletes the item and nothing else.
    ASSERT_TRUE(swipeOpen()) << "the row did not open a second time";
    ASSERT_TRUE(clickAt(actionArea.center()));
    EXPECT_TRUE(waitUntil([&] {
        QStringList texts;
        for (const ClipboardItemPtr &item : storedItems())
            texts << item->textContent().value_or(QString());
        return texts == QStringList({ "third", "keep me" });
    })) << "the item was not deleted alone";
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("swipe-3-deleted.png"));
    EXPECT_TRUE(isViewable(panelWindow)) << "deleting keeps the panel";
}

TEST_F(PanelRowsX11Test, WhileShiftIsHeldAFormattedRowShowsThePlainTextIcon)
{
    ClipboardItemPtr formatted = ClipboardItem::create(ClipboardItemType::text,
        { .text = QStringLiteral("Bold words"), .htmlContent = QStringLiteral("<b>Bold words</b>") });
    seedStore({ formatted });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    ASSERT_TRUE(moveTo(QPoint(100, 100))); // no hover highlight on the row
    ASSERT_TRUE(app->caughtUp());
    // The icon at the row's left: the formatted text's "Aa" in the accent colour.
    const QRect icon(rowRect(0).left() + 4, rowRect(0).top() + 4, 36, 36);
    const int accented = colouredPixels(screen(), icon);
    saveScreenshot(QStringLiteral("shift-0-up.png"));
    ASSERT_GT(accented, 10) << "the formatted row shows no accented icon";

    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("shift") }));
    const bool plain = waitUntil([&] { return colouredPixels(screen(), icon) == 0; });
    saveScreenshot(QStringLiteral("shift-1-held.png"));
    ASSERT_TRUE(xdotool({ QStringLiteral("keyup"), QStringLiteral("shift") }));
    EXPECT_TRUE(plain) << "with Shift held the icon stays the formatted one";
    EXPECT_TRUE(waitUntil([&] { return colouredPixels(screen(), icon) >= accented / 2; }))
        << "the formatted icon did not come back with Shift let go";
    saveScreenshot(QStringLiteral("shift-2-up-again.png"));
}

TEST_F(PanelRowsX11Test, AColourAndAPictureRestedOnPreviewWhatTheyCarry)
{
    const QColor teal(0, 128, 128);
    // Newest last: History shows the colour, then the picture.
    seedStore({ ClipboardItem::create(ClipboardItemType::media,
                    { .mediaThumbnailData = png({ 64, 64 }, teal),
                        .mediaImageData = png({ 400, 300 }, teal),
                        .mediaSubtypeRaw = QStringLiteral("image") }),
        ClipboardItem::create(ClipboardItemType::color,
            { .text = QStringLiteral("rgb(255, 0, 0)"), .colorHex = QStringLiteral("#FF0000") }) });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));

    struct Case
    {
        const char *name;
        int row;
        QColor color;
        int atLeast; // pixels of that colour in the preview
    };
    const Case cases[] = {
        { "the colour's swatch", 0, QColor(255, 0, 0), 200 * 100 },
        { "the picture", 1, teal, 300 * 200 },
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(moveTo(QPoint(200, 200)));
        ASSERT_TRUE(waitUntil([&] { return previewWindow() == 0; })) << c.name;
        const QPoint pointer = rowPoint(panel.rect, 0, c.row);
        ASSERT_TRUE(moveTo(pointer - QPoint(5, 0)));
        ASSERT_TRUE(moveTo(pointer));
        ASSERT_TRUE(waitUntil([&] { return previewWindow() != 0; })) << c.name << ": no preview";
        ASSERT_TRUE(app->caughtUp());
        const Geometry preview = windowGeometry(previewWindow());
        ASSERT_TRUE(preview.valid) << c.name;
        // A picture's preview is read from the store after the window shows.
        waitUntil([&] { return pixelsNear(screen(), preview.rect, c.color, 12) >= c.atLeast; });
        saveScreenshot(QStringLiteral("preview-kind-%1.png").arg(c.row));
        EXPECT_FALSE(preview.rect.intersects(panel.rect)) << c.name << ": the preview covers the panel";
        EXPECT_GE(pixelsNear(screen(), preview.rect, c.color, 12), c.atLeast) << c.name;
        EXPECT_TRUE(isFront(panelWindow)) << c.name << ": the preview took the focus";
    }
}

TEST_F(PanelRowsX11Test, SlashEmojiWithoutAnEmojiPickerSaysSoAndKeepsThePanel)
{
    // No IBus, no GNOME Characters: the only programs the app can find are in an empty folder.
    QTemporaryDir noPrograms;
    ASSERT_TRUE(noPrograms.isValid());
    appEnvironment.insert(QStringLiteral("PATH"), noPrograms.path());
    seedStore({ QStringLiteral("a note") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    const QRect toast(panel.rect.center().x() - 150, panel.rect.bottom() - 80, 300, 70);
    const auto dark = [&] {
        int count = 0;
        const QImage image = screen();
        for (int y = toast.top(); y <= toast.bottom(); ++y) {
            for (int x = toast.left(); x <= toast.right(); ++x)
                count += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
        }
        return count;
    };
    // The window can be up a moment before its first paint: the black screen behind it would
    // count as the message.
    ASSERT_TRUE(waitUntil([&] { return dark() < toast.width() * toast.height() / 2; }))
        << "the panel was never drawn";
    const int before = dark();

    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("/emoji") }));
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("emoji-typed.png"));
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    EXPECT_TRUE(waitUntil([&] { return dark() > before + 50; })) << "no message at the panel's foot";
    saveScreenshot(QStringLiteral("emoji-no-picker.png"));
    EXPECT_TRUE(isFront(panelWindow)) << "the panel keeps the keyboard";
    EXPECT_TRUE(waitUntil([&] { return dark() <= before + 5; }, std::chrono::seconds(15)))
        << "the message stayed";
    saveScreenshot(QStringLiteral("emoji-message-gone.png"));
}
