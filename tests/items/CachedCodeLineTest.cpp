#include "items/CachedCodeLine.h"
#include "items/ClipboardItemPreview.h"
#include "items/CodeHighlighting.h"
#include "items/ItemRowPainter.h"
#include "items/ThumbnailCache.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightCacheService.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "platform/UserDefaults.h"
#include "support/IndentedCode.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>

namespace {

const QString preview = HighlightCacheService::previewContext();
const QColor githubKeyword(0xa7, 0x1d, 0x5d);

class CachedCodeLineTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        defaults = std::make_unique<UserDefaults>(m_folder->filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<AppSettings>(*defaults);
        cache.setSettings(settings.get());
    }

    ClipboardItemPtr storedCode(const QString &text, const QString &language)
    {
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::code, { .text = text, .codeLanguage = language });
        context().insert(item);
        EXPECT_TRUE(context().save().ok);
        return item;
    }
    QList<CodeLine> rowLines(const ClipboardItem &item, int count = 4)
    {
        return CachedCodeLine::lines(item, count, QApplication::palette(), HighlightTheme::github, cache);
    }
    bool idle()
    {
        return waitUntil([this] { return cache.isIdle(); }, std::chrono::seconds(30));
    }

    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    HighlightCacheService cache;
};

TEST_F(CachedCodeLineTest, RowsShowTheLinesTheCaptureMadeWithoutTheEngine)
{
    // Windows line breaks, indentation and an empty line: the rows split as the capture did.
    const QString text = QStringLiteral("public class Greeter\r\n{\r\n\r\n    public void Hello() { }\r\n}");
    ClipboardItemPtr item = storedCode(text, QStringLiteral("cs"));
    cache.prehighlight(CodePreviewLines::make(text), item, HighlightLanguages::forDetectorLabel(u"cs"), false,
        HighlightTheme::github, preview);
    ASSERT_TRUE(idle());

    // A panel after a restart: an empty memory, the lines read from the item.
    HighlightCacheService restarted;
    const QList<CodeLine> lines
        = CachedCodeLine::lines(*item, 4, QApplication::palette(), HighlightTheme::github, restarted);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].text, QStringLiteral("public class Greeter"));
    EXPECT_EQ(lines[2].text, QString());
    // Drawn after its indentation, which the kept lines leave out; its colours move along.
    EXPECT_EQ(lines[3].text, QStringLiteral("    public void Hello() { }"));
    // "public" as a C# keyword, in the light theme's colour.
    const AttributedText first { lines[0].text, lines[0].formats };
    EXPECT_EQ(first.formatAt(0).foreground().color(), githubKeyword);
    const AttributedText indented { lines[3].text, lines[3].formats };
    EXPECT_EQ(indented.formatAt(4).foreground().color(), githubKeyword);
    EXPECT_NE(indented.formatAt(3).foreground().color(), githubKeyword);
    EXPECT_FALSE(restarted.hasHighlighter());
    EXPECT_EQ(restarted.jobCount(), 0);
    EXPECT_EQ(restarted.cacheCount(), 3) << "the three lines that are not blank, copied into memory";
}

TEST_F(CachedCodeLineTest, MissingLinesAreAskedForOnceAndArriveForTheNextPaint)
{
    ClipboardItemPtr item
        = storedCode(QStringLiteral("  \nimport os\n\t\nprint(os.name)"), QStringLiteral("PYTHON"));
    const QList<CodeLine> first = rowLines(*item);
    ASSERT_EQ(first.size(), 4);
    for (const CodeLine &line : first)
        EXPECT_TRUE(line.formats.isEmpty()) << "plain until highlighted";
    EXPECT_EQ(cache.jobCount(), 1);
    const auto pending = [&](int line) {
        return cache.isPending({ item->id(), line, false, QStringLiteral("GitHub"), preview });
    };
    EXPECT_FALSE(pending(0)) << "a blank line is never asked for";
    EXPECT_TRUE(pending(1));
    EXPECT_FALSE(pending(2));
    EXPECT_TRUE(pending(3));
    // Painting again while they are on their way asks for nothing more.
    rowLines(*item);
    EXPECT_EQ(cache.jobCount(), 1);

    ASSERT_TRUE(idle());
    const QList<CodeLine> second = rowLines(*item);
    EXPECT_TRUE(second[0].formats.isEmpty());
    const AttributedText import { second[1].text, second[1].formats };
    EXPECT_EQ(import.formatAt(0).foreground().color(), githubKeyword) << "highlighted as Python";
    EXPECT_EQ(cache.jobCount(), 0);
    // And they were saved with the item for the next start.
    HighlightCacheService restarted;
    EXPECT_TRUE(restarted.cachedHighlight(*item, 3, false, HighlightTheme::github, preview));
}

// The panel's code lines as the running app makes them: from the cache, highlighted when it
// knows them.
class CachedLines final : public CodeHighlighting
{
public:
    explicit CachedLines(HighlightCacheService &cache)
        : m_cache(cache)
    { }
    QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, const QPalette &palette) override
    {
        return CachedCodeLine::lines(item, maxLines, palette, HighlightTheme::github, m_cache);
    }
    void invalidateHighlightCache(const QUuid &) override { }
    void releaseHighlighter() override { }
    void clearHighlightCache() override { }

private:
    HighlightCacheService &m_cache;
};

TEST_F(CachedCodeLineTest, RowsAndPreviewsDrawEachLineAtItsIndentation)
{
    ClipboardItemPtr item = storedCode(indentedPythonText(), QStringLiteral("python"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12); // the rows' and previews' code font at the panel's 13-point text
    const QFontMetricsF metrics(mono);
    const double space = metrics.horizontalAdvance(QLatin1Char(' '));
    const QString firstLine = QString::fromUtf8(indentedPython[0].text);
    const QPalette palette = QApplication::palette();
    ASSERT_FALSE(ItemRowPainter::isDark(palette));
    CachedLines highlighting(cache);
    ThumbnailCache thumbnails(1024 * 1024);
    ItemRowPainter painter(highlighting, thumbnails);

    // The row's text starts right of its picture; a taller row shows more of the lines.
    const auto row = [&](double height, int count) {
        QImage image(300, int(height), QImage::Format_RGB32);
        image.fill(palette.color(QPalette::Window));
        QPainter p(&image);
        painter.paintRow(p, QRectF(0, 0, 300, height), *item, { .palette = palette });
        p.end();
        return firstInkColumns(image, QRect(42, 0, 258, int(height)), mono, firstLine, count);
    };
    const auto preview = [&] {
        ClipboardItemPreview shown(*item, highlighting, palette, 13.0);
        QImage image(shown.size(), QImage::Format_RGB32);
        image.fill(palette.color(QPalette::Window));
        shown.render(&image);
        return firstInkColumns(
            image, image.rect().adjusted(4, 4, -4, -4), mono, firstLine, int(std::size(indentedPython)));
    };
    const int lines = int(std::size(indentedPython));
    const struct
    {
        const char *name;
        std::function<QList<int>()> columns;
    } views[] = {
        { "a row, its first two lines", [&] { return row(44, 2); } },
        { "a row tall enough for every line", [&] { return row(8 + lines * metrics.lineSpacing(), lines); } },
        { "the preview", preview },
    };
    // Plain until highlighted, then with the lines kept with the item (without indentation).
    for (const bool highlighted : { false, true }) {
        if (highlighted) {
            ASSERT_TRUE(idle());
            const QList<CodeLine> kept
                = CachedCodeLine::lines(*item, lines, QApplication::palette(), HighlightTheme::github, cache);
            ASSERT_FALSE(kept[1].formats.isEmpty()) << "not highlighted";
            EXPECT_EQ(kept[1].formats.first().start, 4) << "\"for\" after its four spaces";
        }
        for (const auto &view : views) {
            SCOPED_TRACE(view.name);
            SCOPED_TRACE(highlighted ? "highlighted" : "plain");
            EXPECT_EQ(misplacedLines(view.columns(), space), QStringList());
        }
    }
    ASSERT_TRUE(idle());
}

} // namespace
