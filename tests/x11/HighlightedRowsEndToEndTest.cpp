// The running app colours code and shows pictures of media, as a user sees them: code rows in
// the theme's colours, again at once after a restart (from the lines kept with each item,
// without starting the highlighting engine), recoloured after a theme is chosen in the
// settings window; a copied picture and a song with cover art get their previews in the store
// and in their rows.

#include "AppEndToEnd.h"
#include "SettingsWindowSupport.h"
#include "TestWindowProcess.h"
#include "X11TestSupport.h"

#include "capture/ImageExtraction.h"
#include "detection/HighlightCacheService.h"
#include "detection/HighlightedLinesBlob.h"
#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteConnection.h"
#include "settings/AppearanceTab.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <limits>

#include <sqlite3.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

// Ten languages as the detectors name them, three snippets each; every first line starts
// with a keyword of its language.
struct Snippet
{
    const char *language;
    const char *text;
};
const Snippet snippets[] = {
    { "python", "def area(radius):\n    return 3.14159 * radius ** 2" },
    { "javascript", "const total = items.reduce((sum, item) => sum + item.price, 0);\nconsole.log(total);" },
    { "typescript", "interface User {\n  id: number;\n  name: string;\n}" },
    { "java", "public class Greeter {\n    private final String name;\n}" },
    { "c", "static int counter = 0;\nint next(void) { return ++counter; }" },
    { "cpp", "template <typename T>\nT largest(const std::vector<T> &values);" },
    { "cs", "public sealed class Order\n{\n    public int Id { get; set; }\n}" },
    { "go", "func main() {\n\tfmt.Println(\"hello\")\n}" },
    { "rust", "fn main() {\n    let answer = 42;\n    println!(\"{}\", answer);\n}" },
    { "ruby", "def greet(name)\n  puts \"Hello, #{name}\"\nend" },
};

bool isNear(QColor pixel, QColor colour, int tolerance)
{
    return std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
        + std::abs(pixel.blue() - colour.blue())
        < tolerance;
}

// Rows of the panel that draw text in the colour: bands of pixel lines more than 12 apart (the
// ink of a row's two code lines is at most 9 pixel lines apart, that of rows 46 pixels apart at
// least 16), each with at least ten pixels of nearly that colour, so that the edges of glyphs in
// other colours, blended with the background, do not count.
int rowsInColour(const QImage &screen, const QRect &rect, QColor colour)
{
    int rows = 0;
    int pixelsInRow = 0;
    int lastLine = -1000;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        int pixels = 0;
        for (int x = rect.left(); x <= rect.right(); ++x)
            pixels += isNear(screen.pixelColor(x, y), colour, 24) ? 1 : 0;
        if (pixels == 0)
            continue;
        if (y - lastLine > 12) {
            rows += pixelsInRow >= 10 ? 1 : 0;
            pixelsInRow = 0;
        }
        pixelsInRow += pixels;
        lastLine = y;
    }
    return rows + (pixelsInRow >= 10 ? 1 : 0);
}

int pixelsNear(const QImage &screen, const QRect &rect, QColor colour, int tolerance = 24)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += isNear(screen.pixelColor(x, y), colour, tolerance) ? 1 : 0;
    }
    return count;
}

// The columns of the band that hold pixels of nearly the colour, from the first to the last.
struct InkSpan
{
    int left = std::numeric_limits<int>::max();
    int right = -1;
    bool isEmpty() const { return right < 0; }
};
InkSpan inkSpan(const QImage &screen, const QRect &band, QColor colour)
{
    InkSpan span;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        for (int x = band.left(); x <= band.right(); ++x) {
            if (isNear(screen.pixelColor(x, y), colour, 24)) {
                span.left = std::min(span.left, x);
                span.right = std::max(span.right, x);
            }
        }
    }
    return span;
}

// The lines of text in the rect that hold ink of the colour: bands of pixel lines, lines of ink
// less than four apart in one band.
QList<QRect> inkBands(const QImage &screen, const QRect &rect, QColor colour)
{
    QList<QRect> bands;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        if (inkSpan(screen, QRect(rect.left(), y, rect.width(), 1), colour).isEmpty())
            continue;
        if (!bands.isEmpty() && y - bands.last().bottom() < 4)
            bands.last().setBottom(y);
        else
            bands.append(QRect(rect.left(), y, rect.width(), 1));
    }
    return bands;
}

// The ink of the rect in grey (red, green and blue within 8 of each other) at least half as dark
// as the text colour on the light panel: how many pixels, and the darkest grey among them.
struct GreyInk
{
    int pixels = 0;
    int darkest = 256;
};
GreyInk greyInk(const QImage &screen, const QRect &rect)
{
    GreyInk ink;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor pixel = screen.pixelColor(x, y);
            const int high = std::max({ pixel.red(), pixel.green(), pixel.blue() });
            if (high - std::min({ pixel.red(), pixel.green(), pixel.blue() }) > 8 || high > 0x90)
                continue;
            ++ink.pixels;
            ink.darkest = std::min(ink.darkest, high);
        }
    }
    return ink;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Half a second of a 440 Hz tone as 16-bit mono WAV, for lame to encode.
QByteArray toneWav()
{
    const int rate = 22050;
    const int samples = rate / 2;
    QByteArray pcm;
    for (int i = 0; i < samples; ++i) {
        const qint16 value = qToLittleEndian(qint16(8000 * std::sin(2 * M_PI * 440 * i / rate)));
        pcm.append(reinterpret_cast<const char *>(&value), 2);
    }
    const auto u32 = [](quint32 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 4);
    };
    const auto u16 = [](quint16 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 2);
    };
    return "RIFF" + u32(36 + quint32(pcm.size())) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(1) + u32(rate)
        + u32(rate * 2) + u16(2) + u16(16) + "data" + u32(quint32(pcm.size())) + pcm;
}

const QColor githubKeyword(0xa7, 0x1d, 0x5d);
const QColor solarizedKeyword(0x6c, 0x71, 0xc4);

// The thirty code items, oldest first, without highlighted lines.
QList<ClipboardItemPtr> codeItems()
{
    QList<ClipboardItemPtr> items;
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-3600);
    for (int round = 0; round < 3; ++round) {
        for (const Snippet &snippet : snippets) {
            ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::code,
                { .text = QString::fromUtf8(snippet.text),
                    .codeLanguage = QString::fromLatin1(snippet.language) });
            item->setTimestamp(start.addSecs(items.size()));
            items.append(item);
        }
    }
    return items;
}

// Code items of the store whose preview lines were made in the theme.
int codeItemsHighlightedIn(const QString &storePath, const QString &theme)
{
    std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath, nullptr);
    if (!container)
        return 0;
    std::unique_ptr<ModelContext> reader = container->makeContext();
    int count = 0;
    for (const ClipboardItemPtr &item : reader->fetch(FetchDescriptor::newestFirst()).items) {
        if (item->type() == ClipboardItemType::code && item->highlightedLinesTheme() == theme
            && HighlightedLinesBlob::hasContext(
                item->highlightedLinesData().value_or(QByteArray()), HighlightCacheService::previewContext()))
            ++count;
    }
    return count;
}

// The lines kept with the code item of the store, as the file holds them, read by SQLite's own
// JSON functions: whether they are valid JSON, the JSON type of their "preview_0" and its value.
struct StoredLinesJson
{
    qint64 valid = -1;
    QString firstType;
    QString first;
};
std::optional<StoredLinesJson> storedLinesJson(const QString &storePath)
{
    SqliteConnection store;
    if (!store.open(storePath, SQLITE_OPEN_READONLY))
        return std::nullopt;
    SqliteStatement query = store.prepare(QStringLiteral(
        "SELECT json_valid(CAST(e.value AS TEXT)), json_type(CAST(e.value AS TEXT), '$.preview_0'), "
        "json_extract(CAST(e.value AS TEXT), '$.preview_0') FROM ClipboardItemExternal e "
        "JOIN ClipboardItem i ON i.pk = e.item WHERE i.itemType = 'code' AND e.field = ?"));
    query.bindInt64(1, qint64(ItemField::highlightedLinesData));
    if (!query.isValid() || !query.step())
        return std::nullopt;
    return StoredLinesJson { query.int64(0), query.text(1), query.text(2) };
}

// Takes screenshots until the panel shows at least `rows` rows in the colour and none in the
// other; keeps the last. The rows in the colour, then those in the other.
std::pair<int, int> waitForColouredRows(const QRect &panel, QColor colour, int rows, QColor other,
    const QString &name, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    std::pair<int, int> found;
    waitUntil(
        [&] {
            const QImage screen(saveScreenshot(name));
            found = { rowsInColour(screen, panel, colour), rowsInColour(screen, panel, other) };
            return found.first >= rows && found.second == 0;
        },
        timeout);
    return found;
}

class HighlightedRowsEndToEndTest : public AppEndToEndTest
{
protected:
    // Opens the panel; its window's frame (empty when it did not open).
    QRect showPanel(AppProcess &app)
    {
        if (!openPanel(app))
            return {};
        return windowGeometry(frontWindow()).rect;
    }

    // Starts the app over a test window and waits until the window is in front again after the
    // panel's first show: from then on the app watches the clipboard.
    bool startAppOverAWindow(TestWindowProcess &window, AppProcess &app)
    {
        return startInFront(window) && app.start() && openThenDismissPanel(app)
            && waitUntil([&] { return isActiveWindow(*workspace, window.windowId()); });
    }

    // Code copied in an editor: its preview lines are in the store, kept as one JSON object
    // whose "preview_0" is the first line's archive in base64.
    void expectCopiedCodeKeptAsJson()
    {
        ASSERT_TRUE(external.copyWithXclip(
            "#!/usr/bin/env python3\nimport sys\n\ndef main():\n    print(sys.argv)\n"));
        ASSERT_TRUE(
            waitUntil([&] { return codeItemsHighlightedIn(storePath(), QStringLiteral("GitHub")) == 1; },
                std::chrono::seconds(20)));
        const std::optional<StoredLinesJson> json = storedLinesJson(storePath());
        ASSERT_TRUE(json);
        EXPECT_EQ(json->valid, 1);
        EXPECT_EQ(json->firstType, QStringLiteral("text"));
        const std::optional<AttributedText> firstLine
            = HighlightedLinesBlob::unarchive(QByteArray::fromBase64(json->first.toLatin1()));
        ASSERT_TRUE(firstLine) << json->first.toStdString();
        EXPECT_EQ(firstLine->text, QStringLiteral("#!/usr/bin/env python3"));
        EXPECT_FALSE(firstLine->formats.isEmpty()) << "the line was kept without its colours";
    }

    // A picture copied in an image editor, one colour on its left half and another on its
    // right: the stored preview shows both.
    void expectACopiedPictureGetsItsPreview(const QColor &left, const QColor &right)
    {
        QImage picture(1200, 800, QImage::Format_RGB32);
        picture.fill(right);
        QPainter(&picture).fillRect(QRect(0, 0, 600, 800), left);
        ASSERT_TRUE(external.copyWithXclip(pngOf(picture), QStringLiteral("image/png")));
        const ClipboardItemPtr image = waitForStored([](const ClipboardItem &item) {
            return item.type() == ClipboardItemType::media && item.mediaPreviewData() && !item.fileURL();
        });
        ASSERT_TRUE(image);
        const QImage preview = ImageExtraction::decodeImage(*image->mediaPreviewData());
        EXPECT_EQ(preview.size(), QSize(400, 400));
        EXPECT_EQ(preview.pixelColor(100, 200), left);
        EXPECT_EQ(preview.pixelColor(300, 200), right);
    }

    // An MP3 of a short tone, encoded by lame, with a cover of one colour written by TagLib.
    void writeSongWithCover(const QString &song, const QColor &coverColour)
    {
        const QString wav = home.filePath(QStringLiteral("tone.wav"));
        {
            QFile file(wav);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(toneWav());
        }
        ASSERT_TRUE(runTool(QStringLiteral("lame"), { QStringLiteral("--quiet"), wav, song }))
            << "lame is missing";
        QImage cover(300, 300, QImage::Format_RGB32);
        cover.fill(coverColour);
        TagLib::MPEG::File mp3(QFile::encodeName(song).constData());
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/png");
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        const QByteArray bytes = pngOf(cover);
        frame->setPicture(TagLib::ByteVector(bytes.constData(), uint(bytes.size())));
        mp3.ID3v2Tag(true)->addFrame(frame);
        ASSERT_TRUE(mp3.save());
    }

    // A song file copied in a file manager: its cover is stored as the item's pictures.
    void expectACopiedSongGetsItsCover(const QColor &coverColour)
    {
        const QString song = home.filePath(QStringLiteral("Song with cover.mp3"));
        ASSERT_NO_FATAL_FAILURE(writeSongWithCover(song, coverColour));
        ASSERT_TRUE(external.copyWithXclip(
            QUrl::fromLocalFile(song).toEncoded() + "\r\n", QStringLiteral("text/uri-list")));
        const ClipboardItemPtr audio = waitForStored([](const ClipboardItem &item) {
            return item.mediaSubtype() == MediaSubtype::audio && item.mediaThumbnailData()
                && item.mediaPreviewData();
        });
        ASSERT_TRUE(audio);
        EXPECT_EQ(ImageExtraction::decodeImage(*audio->mediaThumbnailData()).size(), QSize(80, 80));
        const QImage coverPreview = ImageExtraction::decodeImage(*audio->mediaPreviewData());
        EXPECT_EQ(coverPreview.size(), QSize(400, 400));
        EXPECT_EQ(coverPreview.pixelColor(200, 200), coverColour);
    }

    // The oldest stored item that is as wanted, within 20 s; null when none came.
    ClipboardItemPtr waitForStored(const std::function<bool(const ClipboardItem &)> &wanted)
    {
        ClipboardItemPtr found;
        waitUntil(
            [&] {
                for (const ClipboardItemPtr &item : storedItems()) {
                    if (wanted(*item))
                        found = item;
                }
                return found != nullptr;
            },
            std::chrono::seconds(20));
        return found;
    }
};

TEST_F(HighlightedRowsEndToEndTest, CodeRowsInTheThemeAndAfterARestartAtOnceWithoutTheEngine)
{
    seedStore(codeItems());
    TestWindowProcess window;
    ASSERT_TRUE(window.start());
    const QString engineStarted = QStringLiteral("[HighlightCacheService] Highlighting engine started");

    {
        AppProcess app(home.path());
        app.setEnvironment(QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1"));
        app.captureOutput();
        ASSERT_TRUE(app.start());
        // The refresh after the start highlights the stored code that has no lines yet.
        ASSERT_TRUE(
            waitUntil([&] { return codeItemsHighlightedIn(storePath(), QStringLiteral("GitHub")) == 30; },
                std::chrono::seconds(30)))
            << codeItemsHighlightedIn(storePath(), QStringLiteral("GitHub")) << " of 30";
        EXPECT_EQ(app.output().count(engineStarted), 1) << app.output().toStdString();

        const QRect rect = showPanel(app);
        ASSERT_FALSE(rect.isEmpty());
        const auto [github, solarized] = waitForColouredRows(
            rect, githubKeyword, 2, solarizedKeyword, QStringLiteral("code-rows-github.png"));
        EXPECT_GE(github, 2);
        EXPECT_EQ(solarized, 0);
        app.stop();
    }

    AppProcess app(home.path());
    app.setEnvironment(QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1"));
    app.captureOutput();
    ASSERT_TRUE(app.start());
    const QRect rect = showPanel(app);
    ASSERT_FALSE(rect.isEmpty());
    // The first show after the restart: coloured from the lines kept in the items.
    const auto [github, solarized] = waitForColouredRows(
        rect, githubKeyword, 2, solarizedKeyword, QStringLiteral("code-rows-after-restart.png"));
    EXPECT_GE(github, 2);
    EXPECT_EQ(solarized, 0);
    EXPECT_FALSE(app.output().contains(engineStarted))
        << "the engine was started: " << app.output().toStdString();
}

TEST_F(HighlightedRowsEndToEndTest, CopiedCodeKeptAsJsonAPictureAndASongWithCoverArtGetTheirPreviews)
{
    TestWindowProcess window;
    AppProcess app(home.path());
    ASSERT_TRUE(startAppOverAWindow(window, app));

    // Each copy is stored before the next: every copy is a change of its own.
    ASSERT_NO_FATAL_FAILURE(expectCopiedCodeKeptAsJson());
    const QColor orange(0xff, 0x88, 0x00);
    const QColor teal(0x00, 0x99, 0x99);
    ASSERT_NO_FATAL_FAILURE(expectACopiedPictureGetsItsPreview(orange, teal));
    const QColor magenta(0xc0, 0x00, 0xc0);
    ASSERT_NO_FATAL_FAILURE(expectACopiedSongGetsItsCover(magenta));

    // Their rows show them.
    const QRect rect = showPanel(app);
    ASSERT_FALSE(rect.isEmpty());
    // The rows' pictures are read from the store after the panel shows.
    QImage screen;
    waitUntil([&] {
        screen = QImage(saveScreenshot(QStringLiteral("media-rows.png")));
        return pixelsNear(screen, rect, magenta) > 100 && pixelsNear(screen, rect, orange) > 50
            && rowsInColour(screen, rect, QColor(0xa7, 0x1d, 0x5d)) >= 1;
    });
    EXPECT_GT(pixelsNear(screen, rect, magenta), 100) << "the song's row shows no cover";
    EXPECT_GT(pixelsNear(screen, rect, orange), 50) << "the picture's row shows no picture";
    EXPECT_GE(rowsInColour(screen, rect, QColor(0xa7, 0x1d, 0x5d)), 1) << "the copied code is not coloured";
}

// HTML copied in the light appearance and the default theme, which gives the brackets and
// equals signs of tags a colour (#e8e8e8) nearly as light as the panel: its rows draw them in the
// theme's text colour (#333333), and the tag names, attributes and values in their own.
TEST_F(HighlightedRowsEndToEndTest, CopiedHtmlShowsTheBracketsOfItsTagsOnTheLightPanel)
{
    TestWindowProcess window;
    AppProcess app(home.path());
    ASSERT_TRUE(startAppOverAWindow(window, app));
    ASSERT_TRUE(external.copyWithXclip("<div class=\"card\">\n  <span class=\"title\"></span>\n</div>\n"));
    ASSERT_TRUE(waitUntil([&] { return codeItemsHighlightedIn(storePath(), QStringLiteral("GitHub")) == 1; },
        std::chrono::seconds(20)));

    const QRect panel = showPanel(app);
    ASSERT_FALSE(panel.isEmpty());
    // The History column's rows, below the columns' headers: its one row shows the first two
    // lines, cut short after the start of the value ('<div class="card…', '  <span class="t…').
    const QRect rows = panel.adjusted(0, 105, -panel.width() / 2, 0);
    const QColor tagName(0xed, 0x6a, 0x43);
    const QColor attribute(0x00, 0x86, 0xb3);
    const QColor value(0x18, 0x36, 0x91);
    QImage screen;
    waitUntil([&] {
        screen = QImage(saveScreenshot(QStringLiteral("html-rows-light.png")));
        return inkBands(screen, rows, tagName).size() == 2 && pixelsNear(screen, rows, attribute) >= 10
            && pixelsNear(screen, rows, value) >= 10;
    });
    const QList<QRect> lines = inkBands(screen, rows, tagName);
    ASSERT_EQ(lines.size(), 2) << "the tag names of the two lines";
    for (const QRect &tagLine : lines) {
        SCOPED_TRACE(tagLine.top());
        // The line's ink from above the tag name's letters to below them.
        const QRect line = tagLine.adjusted(0, -3, 0, 3);
        const InkSpan tag = inkSpan(screen, line, tagName);
        const InkSpan name = inkSpan(screen, line, attribute);
        const InkSpan quoted = inkSpan(screen, line, value);
        ASSERT_FALSE(name.isEmpty() || quoted.isEmpty()) << "the attribute and its value";
        ASSERT_LT(tag.right, name.left);
        ASSERT_LT(name.right, quoted.left);
        // "=" between the attribute and its value, and "<" one such step before the tag name, in
        // grey; the darkest of their ink is the text colour (anti-aliased, #3e3e3e to #414141 here),
        // neither black nor a light grey.
        const int step = quoted.left - name.right;
        const GreyInk equals = greyInk(screen, QRect(name.right + 1, line.top(), step - 1, line.height()));
        const GreyInk bracket = greyInk(screen, QRect(tag.left - step, line.top(), step, line.height()));
        EXPECT_GE(equals.pixels, 3) << "no \"=\" in grey between x " << name.right << " and " << quoted.left;
        EXPECT_GE(bracket.pixels, 3) << "no \"<\" in grey within " << step << " pixels before x " << tag.left;
        const int darkest = std::min(equals.darkest, bracket.darkest);
        EXPECT_GE(darkest, 0x2b) << "darker than the text colour";
        EXPECT_LE(darkest, 0x48) << "lighter than the text colour";
    }
}

// A damaged or hostile store: the newest code item's highlighted lines are one sound line
// whose base64 member takes 60 MB. They are larger than any the app writes.
void plantHugeHighlightedLines(const QString &storePath)
{
    HighlightedLinesBlob::Lines lines;
    lines.insert(HighlightedLinesBlob::lineName(HighlightCacheService::previewContext(), 0),
        AttributedText::plain(QString(22'500'000, u'x')));
    const QByteArray blob = HighlightedLinesBlob::encode(lines);
    ASSERT_GT(blob.size(), 60'000'000);
    SqliteConnection store;
    ASSERT_TRUE(store.open(storePath, SQLITE_OPEN_READWRITE));
    SqliteStatement newest = store.prepare(QStringLiteral(
        "SELECT pk FROM ClipboardItem WHERE itemType = 'code' ORDER BY timestamp DESC LIMIT 1"));
    ASSERT_TRUE(newest.step());
    const qint64 item = newest.int64(0);
    newest = {};
    SqliteStatement insert = store.prepare(
        QStringLiteral("INSERT OR REPLACE INTO ClipboardItemExternal (item, field, value) VALUES (?, ?, ?)"));
    insert.bindInt64(1, item);
    insert.bindInt64(2, qint64(ItemField::highlightedLinesData));
    insert.bindBlob(3, blob);
    insert.step();
    ASSERT_TRUE(insert.isDone());
    ASSERT_TRUE(store.exec(QStringLiteral("UPDATE ClipboardItem SET externalFields = externalFields | %1, "
                                          "highlightedLinesTheme = 'GitHub' WHERE pk = %2")
                               .arg(qint64(1) << int(ItemField::highlightedLinesData))
                               .arg(item)));
}

// The size of the largest highlighted lines in the store.
qint64 largestStoredLines(const QString &storePath)
{
    SqliteConnection store;
    if (!store.open(storePath, SQLITE_OPEN_READONLY))
        return -1;
    SqliteStatement query = store.prepare(
        QStringLiteral("SELECT max(length(value)) FROM ClipboardItemExternal WHERE field = ?"));
    query.bindInt64(1, qint64(ItemField::highlightedLinesData));
    return query.isValid() && query.step() ? query.int64(0) : -1;
}

TEST_F(HighlightedRowsEndToEndTest, HighlightedLinesOfSixtyMegabytesAreDroppedUnreadWithoutHoldingUpTheStart)
{
    seedStore(codeItems());
    ASSERT_NO_FATAL_FAILURE(plantHugeHighlightedLines(storePath()));
    TestWindowProcess window;
    ASSERT_TRUE(window.start());
    AppProcess app(home.path());
    app.setEnvironment(QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1"));
    app.captureOutput();
    ASSERT_TRUE(app.start());
    // The lines are made again, in the size the app makes them, without their old bytes read.
    EXPECT_TRUE(waitUntil(
        [&] {
            return codeItemsHighlightedIn(storePath(), QStringLiteral("GitHub")) == 30
                && largestStoredLines(storePath()) <= maxHighlightedLinesBytes;
        },
        std::chrono::seconds(30)))
        << largestStoredLines(storePath()) << " bytes of lines in the store";
    const QRect rect = showPanel(app);
    ASSERT_FALSE(rect.isEmpty());
    const int github = waitForColouredRows(rect, githubKeyword, 2, solarizedKeyword,
        QStringLiteral("code-rows-after-huge-highlighted-lines.png"))
                           .first;
    EXPECT_GE(github, 2);
    std::printf("[ measured ] starting over highlighted lines of %.0f MB: %s; the app's peak memory %.0f MB, "
                "resident %.0f MB\n",
        60'000'000 / (1024.0 * 1024.0), qPrintable(MainThreadStalls::in(app.output()).describe()),
        peakMegabytes(app.pid()), residentMegabytes(app.pid()));
}

// The theme chosen in the running app's settings window.
using HighlightedRowsSettingsTest = SettingsWindowTest;

TEST_F(HighlightedRowsSettingsTest, AThemeChosenInTheSettingsRecoloursTheCodeRows)
{
    {
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), nullptr);
        ASSERT_TRUE(container);
        std::unique_ptr<ModelContext> context = container->makeContext();
        for (const ClipboardItemPtr &item : codeItems())
            context->insert(item);
        ASSERT_TRUE(context->save().ok);
    }
    TrayHost tray;
    ASSERT_TRUE(tray.isRunning());
    auto app = startApp();
    ASSERT_TRUE(waitUntil([&] { return codeItemsHighlightedIn(storePath(), QStringLiteral("GitHub")) == 30; },
        std::chrono::seconds(30)));
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    QRect rect = panelRect();
    ASSERT_FALSE(rect.isEmpty());
    const auto [rowsShown, before] = waitForColouredRows(
        rect, githubKeyword, 2, solarizedKeyword, QStringLiteral("settings-code-rows-github.png"));
    ASSERT_GE(rowsShown, 2);
    ASSERT_EQ(before, 0);
    ASSERT_TRUE(press(QStringLiteral("Escape")));

    // Appearance: the picker opens, typing the name picks the theme, Return takes it.
    ASSERT_TRUE(openSettingsFromTray());
    ASSERT_TRUE(showTab(SettingsView::appearance));
    ASSERT_TRUE(clickIn(
        SettingsView::appearance, [](SettingsView &view) { return view.appearanceTab()->themePicker(); }));
    ASSERT_TRUE(app->caughtUpWithClick()) << "the picker did not open";
    ASSERT_TRUE(type(QStringLiteral("Solariz")));
    ASSERT_TRUE(press(QStringLiteral("Return")));
    ASSERT_TRUE(waitUntil(
        [&] { return storedSetting(QStringLiteral("codeTheme")).toString() == QLatin1String("Solarized"); }));
    ASSERT_TRUE(press(QStringLiteral("alt+F4")));
    ASSERT_TRUE(waitUntil([] { return !activeWindowName().endsWith(settingsTitleEnd); }));

    // Every row the panel shows is in the new theme within seconds, none in the old one.
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    rect = panelRect();
    const auto [solarized, github] = waitForColouredRows(
        rect, solarizedKeyword, rowsShown, githubKeyword, QStringLiteral("code-rows-solarized.png"));
    EXPECT_GE(solarized, rowsShown);
    EXPECT_EQ(github, 0) << "rows in the old theme are left";
    // And every stored item is highlighted again in the new theme, in the background.
    EXPECT_TRUE(
        waitUntil([&] { return codeItemsHighlightedIn(storePath(), QStringLiteral("Solarized")) == 30; },
            std::chrono::seconds(30)))
        << codeItemsHighlightedIn(storePath(), QStringLiteral("Solarized")) << " of 30";
}

} // namespace
