#include "items/CodeLine.h"
#include "items/ItemContextMenu.h"
#include "items/ItemRowPainter.h"
#include "items/ItemRowText.h"
#include "items/ThumbnailCache.h"

#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "panel/FakePanelRoles.h"
#include "platform/UserDefaults.h"
#include "support/HugeTexts.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <tuple>

TEST(ItemRowTextTest, TitlesAndSubtitlesByKind)
{
    ClipboardItemPtr text = ClipboardItem::create(
        ClipboardItemType::text, { .text = QStringLiteral("\n\n  first line  \nsecond") });
    ClipboardItemPtr link = ClipboardItem::create(ClipboardItemType::link,
        { .text = QStringLiteral("https://www.qt.io/"),
            .previewText = QStringLiteral("https://www.qt.io/") });
    link->setLinkTitle(QStringLiteral("Qt | Tools for Each Stage"));
    ClipboardItemPtr bareLink = ClipboardItem::create(ClipboardItemType::link,
        { .text = QStringLiteral("https://example.com/a"),
            .previewText = QStringLiteral("https://example.com/a") });
    ClipboardItemPtr files = ClipboardItem::create(
        ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(QStringLiteral("/home/u/report.pdf")) });
    files->setAdditionalFileURLStrings(
        { QStringLiteral("file:///home/u/b.txt"), QStringLiteral("file:///home/u/c.txt") });
    ClipboardItemPtr color = ClipboardItem::create(ClipboardItemType::color,
        { .text = QStringLiteral("rgb(255, 0, 0)"), .colorHex = QStringLiteral("#FF0000") });
    ClipboardItemPtr image
        = ClipboardItem::create(ClipboardItemType::media, { .mediaSubtypeRaw = QStringLiteral("image") });
    ClipboardItemPtr labelled
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("sk-123") });
    labelled->setPinnedLabel(QStringLiteral("API key"));

    const struct
    {
        ClipboardItemPtr item;
        QString title;
        QString subtitle;
    } cases[] = {
        { text, "first line", "" },
        { link, "Qt | Tools for Each Stage", "qt.io" },
        { bareLink, "example.com/a", "" },
        { files, "report.pdf + 2 more", "/home/u" },
        { color, "rgb(255, 0, 0)", "#FF0000" },
        { image, "Image", "" },
        { labelled, "API key", "sk-123" },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(itemTitle(*c.item), c.title);
        EXPECT_EQ(itemSubtitle(*c.item), c.subtitle) << c.title.toStdString();
    }
}

TEST(ItemRowTextTest, ARowLaysOutNoMoreThan300UnitsOfTheFirstLine)
{
    // What a row lays out of a huge text: 300 units, a letter keeping 31 of its accents.
    const struct
    {
        const char *name;
        QString text;
        QString title;
    } huge[] = {
        { "a long line", QString(10'000, u'x'), QString(300, u'x') },
        { "one letter under 100,000 accents", accentedLetter(u'e', 100'000), accentedLetter(u'e', 31) },
        { "accented letters up to 300 units", accentedLetter(u'o', 40).repeated(20),
            accentedLetter(u'o', 31).repeated(9) },
    };
    for (const auto &c : huge)
        EXPECT_EQ(itemTitle(*ClipboardItem::create(ClipboardItemType::text, { .text = c.text })), c.title)
            << c.name;
}

TEST(ItemContextMenuTest, PinDeleteAndTheEnabledColourFormats)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path() + QStringLiteral("/defaults.json"));
    AppSettings settings(defaults);
    ClipboardItemPtr text = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("x") });
    QList<ItemMenuEntry> entries = itemMenuEntries(*text, settings);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].title, QStringLiteral("Pin"));
    EXPECT_EQ(entries[1].title, QStringLiteral("Delete"));
    text->setIsPinned(true);
    EXPECT_EQ(itemMenuEntries(*text, settings)[0].title, QStringLiteral("Unpin"));

    ClipboardItemPtr color
        = ClipboardItem::create(ClipboardItemType::color, { .colorHex = QStringLiteral("#FF0000") });
    entries = itemMenuEntries(*color, settings);
    ASSERT_EQ(entries.size(), 14);
    EXPECT_TRUE(entries[2].separatorBefore);
    EXPECT_EQ(entries[2].action, ItemMenuEntry::Action::pasteText);
    EXPECT_EQ(entries[2].value, QStringLiteral("#FF0000"));
    EXPECT_EQ(entries[3].title, QStringLiteral("RGB  \u2014  rgb(255, 0, 0)"));
    EXPECT_EQ(entries[3].shortcut, QKeySequence(Qt::CTRL | Qt::Key_2));

    // Last, apart: the settings of the notations.
    EXPECT_EQ(entries.last().action, ItemMenuEntry::Action::customizeFormats);
    EXPECT_EQ(entries.last().title, QStringLiteral("Customize Formats"));
    EXPECT_TRUE(entries.last().separatorBefore);

    settings.toggleColorFormat(ColorFormatter::Format::rgb);
    entries = itemMenuEntries(*color, settings);
    ASSERT_EQ(entries.size(), 13);
    EXPECT_EQ(entries[3].value, QStringLiteral("hsl(0, 100%, 50%)"));
    EXPECT_EQ(entries[3].shortcut, QKeySequence(Qt::CTRL | Qt::Key_2)) << "later formats move up";

    QString chosen;
    std::unique_ptr<QMenu> menu(
        buildItemMenu(entries, nullptr, [&](const ItemMenuEntry &entry) { chosen = entry.value; }));
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), 15); // two separators
    actions[4]->trigger();
    EXPECT_EQ(chosen, QStringLiteral("hsl(0, 100%, 50%)"));

    // With every notation switched off the menu still leads to where they are switched on.
    for (ColorFormatter::Format format : settings.orderedColorFormats()) {
        if (!settings.disabledColorFormats().contains(ColorFormatter::rawValue(format)))
            settings.toggleColorFormat(format);
    }
    entries = itemMenuEntries(*color, settings);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[2].action, ItemMenuEntry::Action::customizeFormats);
    EXPECT_EQ(itemMenuEntries(*text, settings).size(), 2) << "a text has no notations";
}

TEST(ItemContextMenuTest, APinOffersItsLabelButASingleCharacterPinDoesNot)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path() + QStringLiteral("/defaults.json"));
    AppSettings settings(defaults);
    const auto titles = [&](const ClipboardItem &item) {
        QStringList shown;
        for (const ItemMenuEntry &entry : itemMenuEntries(item, settings))
            shown << entry.title;
        return shown;
    };
    ClipboardItemPtr text
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("ssh deploy@host") });
    EXPECT_EQ(titles(*text), QStringList({ "Pin", "Delete" }));
    text->setIsPinned(true);
    EXPECT_EQ(titles(*text), QStringList({ "Unpin", "Add Label", "Delete" }));
    text->setPinnedLabel(QStringLiteral("deploy box"));
    EXPECT_EQ(titles(*text), QStringList({ "Unpin", "Edit Label", "Delete" }));
    EXPECT_EQ(itemMenuEntries(*text, settings)[1].action, ItemMenuEntry::Action::editLabel);

    ClipboardItemPtr star = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("★") });
    star->setIsPinned(true);
    EXPECT_EQ(titles(*star), QStringList({ "Unpin", "Delete" }));
}

TEST(ItemContextMenuTest, TheShortcutsAnOpenMenuShowsChooseTheirEntry)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path() + QStringLiteral("/defaults.json"));
    AppSettings settings(defaults);
    settings.toggleColorFormat(ColorFormatter::Format::hsl);
    ClipboardItemPtr color
        = ClipboardItem::create(ClipboardItemType::color, { .colorHex = QStringLiteral("#00FFFF") });
    const QList<ItemMenuEntry> entries = itemMenuEntries(*color, settings);
    const struct
    {
        QKeyCombination keys;
        std::optional<QString> chosen;
    } cases[] = {
        { Qt::CTRL | Qt::Key_1, QStringLiteral("#00FFFF") },
        { Qt::CTRL | Qt::Key_2, QStringLiteral("rgb(0, 255, 255)") },
        { Qt::CTRL | Qt::Key_3, QStringLiteral("hwb(180 0% 0%)") }, // HSL is off: HWB moves up
        { Qt::CTRL | Qt::Key_0, QStringLiteral("UIColor(red: 0, green: 1, blue: 1, alpha: 1)") },
        { Qt::CTRL | Qt::Key_Minus, std::nullopt }, // ten formats are on: none answers "-"
        { QKeyCombination(Qt::Key_2), std::nullopt }, // the digit alone is no shortcut
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QKeySequence(c.keys).toString().toStdString());
        std::optional<QString> chosen;
        std::unique_ptr<QMenu> menu(
            buildItemMenu(entries, nullptr, [&](const ItemMenuEntry &entry) { chosen = entry.value; }));
        menu->popup(QPoint(10, 10));
        ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
        QTest::keyClick(menu.get(), c.keys.key(), c.keys.keyboardModifiers());
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(menu->isVisible(), !c.chosen) << "a chosen entry closes the menu";
    }
}

TEST(ItemRowPainterTest, FormattedTextShowsItsFormattingUntilShiftDropsIt)
{
    struct Case
    {
        const char *name;
        ClipboardItemType kind;
        std::optional<QString> html;
        bool shift;
        QString glyph;
        bool rich;
    };
    const Case cases[] = {
        { "formatted text", ClipboardItemType::text, QStringLiteral("<b>x</b>"), false, QStringLiteral("Aa"),
            true },
        { "formatted text, Shift held", ClipboardItemType::text, QStringLiteral("<b>x</b>"), true,
            QStringLiteral("Aa"), false },
        { "plain text", ClipboardItemType::text, std::nullopt, false, QStringLiteral("Aa"), false },
        { "empty markup", ClipboardItemType::text, QString(), false, QStringLiteral("Aa"), false },
        { "formatted code", ClipboardItemType::code, QStringLiteral("<pre>x</pre>"), false,
            QStringLiteral("Aa"), true },
        { "formatted code, Shift held", ClipboardItemType::code, QStringLiteral("<pre>x</pre>"), true,
            QStringLiteral("{ }"), false },
        { "a link keeps its arrow", ClipboardItemType::link, QStringLiteral("<a>x</a>"), false,
            QStringLiteral("\u2197"), false },
    };
    for (const Case &c : cases) {
        ClipboardItemPtr item
            = ClipboardItem::create(c.kind, { .text = QStringLiteral("x"), .htmlContent = c.html });
        const ItemRowPainter::Glyph glyph = ItemRowPainter::rowGlyph(*item, c.shift);
        EXPECT_EQ(glyph.text, c.glyph) << c.name;
        EXPECT_EQ(glyph.rich, c.rich) << c.name;
    }
}

// A light and a dark appearance: the window's colour and the text colour.
QList<QPalette> lightAndDarkPalettes()
{
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::Text, QColor(20, 20, 30));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(240, 240, 235));
    return { light, dark };
}

// The shared tints are the appearance's text colour at their opacities, light and dark.
TEST(ItemRowPainterTest, TheSharedTintsAreTheTextColourAtTheirOpacities)
{
    const struct
    {
        const char *name;
        QColor (*tint)(const QPalette &);
        double opacity;
    } tints[] = {
        { "primaryTint04", primaryTint04, 0.04 },
        { "primaryTint05", primaryTint05, 0.05 },
        { "primaryTint075", primaryTint075, 0.075 },
        { "primaryTint65", primaryTint65, 0.65 },
    };
    for (const QPalette &palette : lightAndDarkPalettes()) {
        for (const auto &t : tints) {
            SCOPED_TRACE(t.name);
            const QColor tint = t.tint(palette);
            EXPECT_EQ(tint.rgb(), palette.color(QPalette::Text).rgb());
            EXPECT_NEAR(tint.alphaF(), t.opacity, 0.5 / 255);
        }
    }
}

// The rows draw with the shared tints: over the window's colour a row's picture ground and a
// single-character button show the tint blended in, not an opacity of their own.
TEST(ItemRowPainterTest, RowsAreDrawnWithTheSharedTints)
{
    FakePanelRoles roles;
    ThumbnailCache thumbnails(1024 * 1024);
    ItemRowPainter painter(roles, thumbnails);
    ClipboardItemPtr text = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("x") });
    text->setIsPinned(true);
    const QRectF row(0, 0, 200, 44);
    const QRectF button(0, 0, 24, 24);
    const struct
    {
        const char *name;
        std::function<void(QPainter &, const ItemRowPainter::Style &)> paint;
        QPoint inside; // a point of the tinted ground, away from any text
    } cells[] = {
        { "a row's picture", [&](QPainter &p, const auto &style) { painter.paintRow(p, row, *text, style); },
            QPoint(8, 22) },
        { "a single-character button",
            [&](QPainter &p, const auto &style) { painter.paintSingleCharacter(p, button, *text, style); },
            QPoint(3, 12) },
    };
    for (const QPalette &palette : lightAndDarkPalettes()) {
        const QColor ground = palette.color(QPalette::Window);
        const QColor tint = primaryTint05(palette);
        const auto blend
            = [&](int over, int under) { return over * tint.alphaF() + under * (1 - tint.alphaF()); };
        for (const auto &cell : cells) {
            SCOPED_TRACE(cell.name);
            QImage image(200, 44, QImage::Format_ARGB32);
            image.fill(ground);
            ItemRowPainter::Style style;
            style.palette = palette;
            QPainter p(&image);
            cell.paint(p, style);
            p.end();
            const QColor drawn = image.pixelColor(cell.inside);
            EXPECT_NEAR(drawn.red(), blend(tint.red(), ground.red()), 1.5);
            EXPECT_NEAR(drawn.green(), blend(tint.green(), ground.green()), 1.5);
            EXPECT_NEAR(drawn.blue(), blend(tint.blue(), ground.blue()), 1.5);
        }
    }
}

// A code row at a text size keeps its lines inside, with at least the room above and below them
// that it has at the default size, and centred: a row taller for large text, blank lines at the
// end left out of the centring.
TEST(ItemRowPainterTest, CodeRowsKeepTheirLinesInsideAndCentredAtEveryTextSize)
{
    FakePanelRoles roles;
    ThumbnailCache thumbnails(1024 * 1024);
    ItemRowPainter painter(roles, thumbnails);
    const QPalette palette = lightAndDarkPalettes().first();
    // The rows of ink of the code, right of the row's picture, in a row drawn at the top.
    const auto inkRows = [&](const QString &code, double fontSize) {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::code, { .text = code });
        const double height = ItemRowPainter::rowHeight(fontSize);
        QImage image(240, int(std::ceil(height)), QImage::Format_ARGB32);
        image.fill(palette.color(QPalette::Window));
        ItemRowPainter::Style style;
        style.palette = palette;
        style.fontSize = fontSize;
        QPainter p(&image);
        painter.paintRow(p, QRectF(0, 0, 240, height), *item, style);
        p.end();
        int top = -1;
        int bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 50; x < image.width(); ++x) {
                if (image.pixel(x, y) != image.pixel(49, 0)) {
                    top = top < 0 ? y : top;
                    bottom = y;
                    break;
                }
            }
        }
        return std::tuple { top, image.height() - 1 - bottom, height };
    };
    const QString twoLines = QStringLiteral("def walk(tree, depth=0):\n    for node in tree:\n        pass");
    const auto [defaultTop, defaultBottom, defaultHeight] = inkRows(twoLines, AppSettings::defaultFontSize);
    ASSERT_GE(defaultTop, 0) << "nothing drawn";
    EXPECT_EQ(defaultHeight, 44.0);
    const struct
    {
        const char *name;
        QString code;
        double fontSize;
    } rows[] = {
        { "two lines, Large", twoLines, AppSettings::maximumFontSize },
        { "the second line blank", QStringLiteral("import os\n\nprint(os.getcwd())"),
            AppSettings::defaultFontSize },
        { "the second line blank, Large", QStringLiteral("import os\n   \nprint(os.getcwd())"),
            AppSettings::maximumFontSize },
        { "one line", QStringLiteral("x = [i * i for i in range(10)]"), AppSettings::defaultFontSize },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const auto [top, bottom, height] = inkRows(row.code, row.fontSize);
        ASSERT_GE(top, 0) << "nothing drawn";
        EXPECT_GE(height, defaultHeight);
        EXPECT_GE(std::min(top, bottom), std::min(defaultTop, defaultBottom) - 1)
            << top << " above, " << bottom << " below";
        EXPECT_LE(std::abs(top - bottom), 3) << top << " above, " << bottom << " below";
    }
}

TEST(ThumbnailCacheTest, DecodesSmallFromTheSmallestPictureAndRemembersPictureless)
{
    ThumbnailCache cache(1024 * 1024);
    ClipboardItemPtr media = ClipboardItem::create(ClipboardItemType::media,
        { .mediaThumbnailData = encodedColour({ 256, 128 }, Qt::red),
            .mediaImageData = encodedColour({ 1920, 1080 }, Qt::blue) });
    const QImage thumbnail = cache.thumbnail(*media, QSize(64, 64));
    EXPECT_EQ(thumbnail.size(), QSize(64, 32));
    EXPECT_EQ(thumbnail.pixelColor(10, 10), QColor(Qt::red)) << "the stored thumbnail, not the image";
    EXPECT_GT(cache.byteCount(), 0);

    ClipboardItemPtr onlyImage = ClipboardItem::create(
        ClipboardItemType::media, { .mediaImageData = encodedColour({ 1920, 1080 }, Qt::blue) });
    const QImage scaled = cache.thumbnail(*onlyImage, QSize(64, 64));
    EXPECT_EQ(scaled.size(), QSize(64, 36));
    EXPECT_EQ(scaled.pixelColor(5, 5), QColor(Qt::blue));

    ClipboardItemPtr text = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("x") });
    EXPECT_TRUE(cache.thumbnail(*text, QSize(64, 64)).isNull());
    ClipboardItemPtr broken = ClipboardItem::create(
        ClipboardItemType::media, { .mediaThumbnailData = QByteArray("not an image") });
    EXPECT_TRUE(cache.thumbnail(*broken, QSize(64, 64)).isNull());

    // The budget holds: many pictures never grow the cache past it.
    for (int i = 0; i < 100; ++i) {
        ClipboardItemPtr item = ClipboardItem::create(
            ClipboardItemType::media, { .mediaThumbnailData = encodedColour({ 256, 256 }, Qt::green) });
        cache.thumbnail(*item, QSize(128, 128));
    }
    EXPECT_LE(cache.byteCount(), 1024 * 1024);
    cache.remove(media->id());
    cache.clear();
    EXPECT_EQ(cache.byteCount(), 0);
}

class ThumbnailCacheStoreTest : public StoreTest
{
};

TEST_F(ThumbnailCacheStoreTest, APictureThatArrivesLateIsShownInPlaceOfTheRememberedNone)
{
    ThumbnailCache cache(1024 * 1024);
    ClipboardItemPtr link
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://example.com") });
    context().insert(link);
    // A history entry that shows the link (a repeat of a pinned item).
    ClipboardItemPtr repeat
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://example.com") });
    repeat->setPinnedReference(link);
    context().insert(repeat);
    ASSERT_TRUE(context().save().ok);
    EXPECT_TRUE(cache.thumbnail(*link, QSize(32, 32)).isNull());
    EXPECT_TRUE(cache.thumbnail(*repeat, QSize(32, 32)).isNull());

    link->setLinkThumbnailData(encodedColour({ 80, 80 }, Qt::magenta));
    // Until told, the cache answers with what it remembered.
    EXPECT_TRUE(cache.thumbnail(*link, QSize(32, 32)).isNull());
    struct Case
    {
        const char *name;
        ItemField field;
        bool drops;
    };
    for (const Case c : { Case { "the title", ItemField::linkTitle, false },
             Case { "the description", ItemField::linkDescription, false },
             Case { "the thumbnail", ItemField::linkThumbnailData, true } }) {
        SCOPED_TRACE(c.name);
        cache.propertyDidChange(*link, c.field);
        for (const ClipboardItemPtr &shown : { link, repeat }) {
            const QImage picture = cache.thumbnail(*shown, QSize(32, 32));
            EXPECT_EQ(picture.isNull(), !c.drops);
            if (!picture.isNull()) {
                EXPECT_EQ(picture.pixelColor(16, 16), QColor(Qt::magenta));
            }
        }
    }
}

TEST(CodeLineTest, FirstLinesSplitAsTheHighlightedLinesAfterTheirIndentation)
{
    // Tabs within a line stay (the row draws them four spaces wide), so that a line's colour runs
    // fit it; its indentation is drawn with four spaces for a tab.
    const QList<CodeLine> lines = plainCodeLines(QStringLiteral("  a\tb\r\n\tsecond\nthird"), 2);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].text, QStringLiteral("  a\tb"));
    EXPECT_EQ(lines[1].text, QStringLiteral("    second"));
    EXPECT_TRUE(lines[0].formats.isEmpty());
    EXPECT_TRUE(plainCodeLines(QStringLiteral("x"), 0).isEmpty());
}

TEST(CodeLineTest, TheIndentationGoesBeforeTheLineAndItsColoursMoveAlong)
{
    QTextCharFormat keyword;
    keyword.setForeground(Qt::red);
    const QList<QTextLayout::FormatRange> formats { { 0, 6, keyword }, { 7, 4, keyword } };
    const struct
    {
        const char *name;
        QString indentation;
        QString text;
        QString drawn;
        QList<int> starts; // where the two colour runs begin in what is drawn
    } cases[] = {
        { "none", QString(), QStringLiteral("return node"), QStringLiteral("return node"), { 0, 7 } },
        { "four spaces", QStringLiteral("    "), QStringLiteral("return node"),
            QStringLiteral("    return node"), { 4, 11 } },
        { "a tab is four spaces", QStringLiteral("\t"), QStringLiteral("return node"),
            QStringLiteral("    return node"), { 4, 11 } },
        { "two tabs", QStringLiteral("\t\t"), QStringLiteral("return node"),
            QStringLiteral("        return node"), { 8, 15 } },
        { "spaces around a tab", QStringLiteral(" \t  "), QStringLiteral("return node"),
            QStringLiteral("       return node"), { 7, 14 } },
        { "other spaces kept as they are", QStringLiteral("\u00A0\u2003"), QStringLiteral("return node"),
            QStringLiteral("\u00A0\u2003return node"), { 2, 9 } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CodeLine line = CodeLine::indented(c.indentation, c.text, formats);
        EXPECT_EQ(line.text, c.drawn);
        ASSERT_EQ(line.formats.size(), 2);
        EXPECT_EQ(line.formats[0].start, c.starts[0]);
        EXPECT_EQ(line.formats[1].start, c.starts[1]);
        EXPECT_EQ(line.formats[0].length, 6);
        EXPECT_EQ(line.formats[1].length, 4);
    }
}
