#include "items/ClipboardItemPreview.h"

#include "model/StoreTestSupport.h"
#include "panel/FakePanelRoles.h"
#include "support/HugeTexts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>

namespace {

QByteArray picture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ClipboardItemPreview preview(const ClipboardItem &item, CodeHighlighting &highlighting)
{
    return ClipboardItemPreview(item, highlighting, QApplication::palette(), 13.0);
}

} // namespace

TEST(ClipboardItemPreviewTest, ShowsEachKindWithWhatItCarries)
{
    FakePanelRoles roles;
    using Kind = ClipboardItemPreview::Kind;
    ClipboardItemPtr link = ClipboardItem::create(ClipboardItemType::link,
        { .text = QStringLiteral("https://example.org/a"),
            .previewText = QStringLiteral("https://example.org/a") });
    link->setLinkTitle(QStringLiteral("An example page"));
    link->setLinkDescription(QStringLiteral("What the page is about."));
    link->setLinkThumbnailData(picture({ 64, 64 }));
    ClipboardItemPtr codeAsText
        = ClipboardItem::create(ClipboardItemType::code, { .text = QStringLiteral("x = 1") });
    codeAsText->setCodeAsText(true);

    struct Case
    {
        const char *name;
        ClipboardItemPtr item;
        Kind kind;
        QStringList shown;
        bool picture;
    };
    const Case cases[] = {
        { "text, line by line",
            ClipboardItem::create(
                ClipboardItemType::text, { .text = QStringLiteral("first\nsecond\r\nthird") }),
            Kind::text, { "first", "second", "third" }, false },
        { "code, through the panel's code lines (the rows' split, a tab four spaces)",
            ClipboardItem::create(
                ClipboardItemType::code, { .text = QStringLiteral("def f():\n\treturn 1") }),
            Kind::code, { "def f():", "    return 1" }, false },
        { "code the user treats as text", codeAsText, Kind::text, { "x = 1" }, false },
        { "colour",
            ClipboardItem::create(ClipboardItemType::color,
                { .text = QStringLiteral("rgb(255, 0, 0)"), .colorHex = QStringLiteral("#FF0000") }),
            Kind::color, { "#FF0000", "rgb(255, 0, 0)" }, false },
        { "link", link, Kind::link, { "An example page", "What the page is about.", "https://example.org/a" },
            true },
        { "files",
            ClipboardItem::create(ClipboardItemType::file,
                { .fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/report.pdf")) }),
            Kind::files, { "report.pdf", "/tmp" }, false },
        { "an image",
            ClipboardItem::create(ClipboardItemType::media,
                { .mediaThumbnailData = picture({ 40, 20 }), .mediaImageData = picture({ 1600, 900 }) }),
            Kind::image, {}, true },
    };
    for (const Case &c : cases) {
        const ClipboardItemPreview shown = preview(*c.item, roles);
        EXPECT_EQ(shown.kind(), c.kind) << c.name;
        EXPECT_EQ(shown.shownText(), c.shown) << c.name;
        EXPECT_EQ(shown.hasPicture(), c.picture) << c.name;
        EXPECT_LE(shown.sizeHint().width(), ClipboardItemPreview::maximumWidth) << c.name;
        EXPECT_LE(shown.sizeHint().height(), ClipboardItemPreview::maximumHeight) << c.name;
    }
}

TEST(ClipboardItemPreviewTest, APinsLabelLeadsItsPreview)
{
    FakePanelRoles roles;
    ClipboardItemPtr pin
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("ssh deploy@host") });
    pin->setIsPinned(true);
    pin->setPinnedLabel(QStringLiteral("staging box"));
    EXPECT_EQ(preview(*pin, roles).shownText(), QStringList({ "staging box", "ssh deploy@host" }));
}

TEST(ClipboardItemPreviewTest, ALongTextGrowsToTheLimitAndNoFurther)
{
    FakePanelRoles roles;
    const auto sized = [&](int lines) {
        QStringList text;
        for (int line = 0; line < lines; ++line)
            text << QStringLiteral("A line of a longer note, number %1").arg(line);
        const ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::text, { .text = text.join(QLatin1Char('\n')) });
        return preview(*item, roles).sizeHint();
    };
    EXPECT_LT(sized(1).height(), sized(5).height()) << "each line takes room";
    EXPECT_EQ(sized(200).height(), ClipboardItemPreview::maximumHeight);
    EXPECT_EQ(sized(200).height(), sized(400).height());
}

TEST(ClipboardItemPreviewTest, AHugeTextIsPreviewedFromItsFirstLinesAndCharacters)
{
    FakePanelRoles roles;
    const struct
    {
        const char *name;
        QString text;
        QStringList shown;
    } cases[] = {
        { "two million one-letter lines: the first 40", oneLetterLines(2'000'000, u'q'),
            QStringList(40, QStringLiteral("q")) },
        { "one letter under 100,000 accents: 31 of them", accentedLetter(u'a', 100'000),
            { accentedLetter(u'a', 31) } },
        // As many letters as 40 lines could hold at the preview's width, however narrow.
        { "a line of a million letters: 10,000 of them", QString(1'000'000, u'i'),
            { QString(10'000, u'i') } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = c.text });
        const ClipboardItemPreview shown = preview(*item, roles);
        EXPECT_EQ(shown.shownText(), c.shown);
        EXPECT_LE(shown.sizeHint().height(), ClipboardItemPreview::maximumHeight);
    }
}

// The whole of a text longer than what is kept inline is read from the history's file and
// decoded only to be pasted: on the main thread that took 17 ms for 4 MB, and would take 16
// times as long for the 64 MB a text may have.
class ClipboardItemPreviewStoreTest : public StoreTest
{
};

TEST_F(ClipboardItemPreviewStoreTest, ALongTextIsPreviewedFromWhatIsKeptInlineWithoutReadingTheWhole)
{
    FakePanelRoles roles;
    const QString text = QStringLiteral("kept inline\n") + QString(ClipboardItem::maxInlineTextLength, u'x');
    const ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = text });
    context().insert(item);
    ASSERT_TRUE(context().save().ok);
    ASSERT_TRUE(item->extendedTextData());
    // Were the whole text read, it would show this.
    item->setExtendedTextData(QByteArray("read whole"));
    ASSERT_EQ(item->fullText(), QStringLiteral("read whole"));
    EXPECT_EQ(preview(*item, roles).shownText().value(0), QStringLiteral("kept inline"));
}
