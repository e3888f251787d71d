#include "detection/HighlightedLinesBlob.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightCacheService.h"

#include "detection/highlight/Highlight.h"
#include "model/ItemSchema.h"
#include "support/OlderHighlightBlob.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtEndian>

namespace {

// Lines styled as the highlighter styles them: colours, weight, italics, underline and
// strike-out, read from HTML by the same reader.
AttributedText styled(const QString &fragment)
{
    const QString css = QStringLiteral(
        ".k{color:#a71d5d;font-weight:700}.s{color:#183691}.i{font-style:italic;color:#969896}"
        ".u{text-decoration:underline}.x{text-decoration:line-through}.f{color:#795da3}");
    return Highlight::attributedTextFromHtml(Highlight::htmlDocument(fragment, css));
}

HighlightedLinesBlob::Lines sampleLines()
{
    HighlightedLinesBlob::Lines lines;
    lines.insert(QStringLiteral("preview_0"),
        styled(QStringLiteral("<span class=\"k\">def</span> <span class=\"f\">greet</span>(name):")));
    lines.insert(QStringLiteral("preview_1"),
        styled(QStringLiteral(
            "<span class=\"k\">return</span> <span class=\"s\">&quot;hi \u00e9\U0001F600&quot;</span>")));
    lines.insert(QStringLiteral("preview_2"), AttributedText::plain(QString()));
    lines.insert(QStringLiteral("preview_12"),
        styled(QStringLiteral(
            "<span class=\"i\"># note</span> <span class=\"u\">link</span> <span class=\"x\">old</span>")));
    // Styles a theme turns off again stay explicitly off: absent would let an outer style through.
    QTextCharFormat undone;
    undone.setProperty(QTextFormat::FontItalic, false);
    undone.setProperty(QTextFormat::FontUnderline, false);
    undone.setProperty(QTextFormat::FontStrikeOut, false);
    lines.insert(QStringLiteral("preview_13"), { QStringLiteral("plain again"), { { 0, 5, undone } } });
    lines.insert(QStringLiteral("grid_3"), AttributedText::plain(QStringLiteral("\tplain\ttabs")));
    // Enough "?" characters that its base64 form holds slashes.
    lines.insert(QStringLiteral("grid_4"), AttributedText::plain(QStringLiteral("???? >>>> ????")));
    return lines;
}

QByteArray u16(quint16 value)
{
    value = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&value), 2);
}
QByteArray u32(quint32 value)
{
    value = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&value), 4);
}

// An archive as the format lays it out: a header, a text and plain runs.
QByteArray archived(const QString &text, const QList<std::pair<quint32, quint32>> &runs,
    const QByteArray &header = QByteArray("TWAT\x01", 5))
{
    QByteArray bytes = header + u32(quint32(text.size()));
    for (QChar c : text)
        bytes += u16(c.unicode());
    bytes += u32(quint32(runs.size()));
    for (const auto &[start, length] : runs)
        bytes += u32(start) + u32(length) + u16(0);
    return bytes;
}

QByteArray blobOf(const QByteArray &members)
{
    return "{" + members + "}";
}
QByteArray member(const char *name, const QByteArray &archive)
{
    return QByteArray("\"") + name + "\":\"" + archive.toBase64() + "\"";
}

// Whether a line is one a view can show: every run within its text.
bool runsWithinText(const AttributedText &line)
{
    return std::all_of(line.formats.begin(), line.formats.end(), [&](const QTextLayout::FormatRange &range) {
        return range.start >= 0 && range.length >= 0
            && qint64(range.start) + range.length <= line.text.size();
    });
}

} // namespace

TEST(HighlightedLinesBlobTest, LinesComeBackAsTheyWereWritten)
{
    const HighlightedLinesBlob::Lines lines = sampleLines();
    // The styles the test means to carry are really there.
    const AttributedText &first = lines[QStringLiteral("preview_0")];
    ASSERT_EQ(first.formatAt(0).foreground().color(), QColor(0xa7, 0x1d, 0x5d));
    ASSERT_EQ(first.formatAt(0).fontWeight(), 700);
    ASSERT_TRUE(lines[QStringLiteral("preview_12")].formatAt(0).fontItalic());

    const QByteArray blob = HighlightedLinesBlob::encode(lines);
    EXPECT_EQ(HighlightedLinesBlob::decode(blob), lines);
    for (auto it = lines.constBegin(); it != lines.constEnd(); ++it)
        EXPECT_EQ(HighlightedLinesBlob::line(blob, it.key()), *it) << it.key().toStdString();
    EXPECT_EQ(HighlightedLinesBlob::line(blob, u"preview_3"), std::nullopt);
    EXPECT_EQ(HighlightedLinesBlob::line(blob, u"preview_1 "), std::nullopt);

    EXPECT_TRUE(HighlightedLinesBlob::hasContext(blob, u"preview"));
    EXPECT_TRUE(HighlightedLinesBlob::hasContext(blob, u"grid"));
    EXPECT_FALSE(HighlightedLinesBlob::hasContext(blob, u"prev"));
    EXPECT_FALSE(HighlightedLinesBlob::hasContext(HighlightedLinesBlob::encode({}), u"preview"));
    EXPECT_EQ(HighlightedLinesBlob::decode(HighlightedLinesBlob::encode({})), HighlightedLinesBlob::Lines());

    EXPECT_EQ(HighlightedLinesBlob::lineName(u"preview", 0), QStringLiteral("preview_0"));
    EXPECT_EQ(HighlightedLinesBlob::lineName(u"grid", 12), QStringLiteral("grid_12"));
}

TEST(HighlightedLinesBlobTest, TheBlobIsOneJsonObjectOfBase64Archives)
{
    const HighlightedLinesBlob::Lines lines = sampleLines();
    const QByteArray blob = HighlightedLinesBlob::encode(lines);
    EXPECT_EQ(HighlightedLinesBlob::encode({}), QByteArray("{}"));

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(blob, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << blob.constData();
    ASSERT_TRUE(document.isObject());
    const QJsonObject object = document.object();
    EXPECT_EQ(object.keys(), QStringList(lines.keys()));
    bool sawSlash = false;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        ASSERT_TRUE(it.value().isString());
        const QByteArray base64 = it.value().toString().toLatin1();
        sawSlash = sawSlash || base64.contains('/');
        // Standard base64 with its padding: it encodes back to the same text.
        const QByteArray archive = QByteArray::fromBase64(base64);
        EXPECT_EQ(archive.toBase64(), base64);
        EXPECT_TRUE(archive.startsWith("TWAT\x01"));
        EXPECT_EQ(HighlightedLinesBlob::unarchive(archive), lines.value(it.key()));
    }
    ASSERT_TRUE(sawSlash) << "the sample has no slash to escape";

    // Compact, and every slash written "\/".
    EXPECT_FALSE(blob.contains(' ') || blob.contains('\n'));
    for (qsizetype i = blob.indexOf('/'); i >= 0; i = blob.indexOf('/', i + 1))
        EXPECT_EQ(blob[i - 1], '\\') << "at " << i;

    // Readers take it in any member order and escaping.
    const QByteArray reordered = "{ \"preview_0\" : \""
        + HighlightedLinesBlob::archive(lines[QStringLiteral("preview_0")]).toBase64().replace("/", "\\/")
        + "\",\n \"grid_3\":\"" + HighlightedLinesBlob::archive(lines[QStringLiteral("grid_3")]).toBase64()
        + "\" }";
    const std::optional<HighlightedLinesBlob::Lines> read = HighlightedLinesBlob::decode(reordered);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->value(QStringLiteral("preview_0")), lines[QStringLiteral("preview_0")]);
    EXPECT_EQ(read->value(QStringLiteral("grid_3")), lines[QStringLiteral("grid_3")]);
}

TEST(HighlightedLinesBlobTest, TheLargestPreviewTheAppCanWriteIsReadBackFromTheStore)
{
    // The most a code item's preview lines can take: as many lines and characters as they may
    // have, every character in a run of its own with every property, and characters whose
    // archive is all 0xFF bytes, whose base64 form is all slashes (each written as two bytes).
    const QString text
        = QStringList(CodePreviewLines::maxLines, QString(CodePreviewLines::maxLineCharacters, QChar(0xFFFF)))
              .join(u'\n');
    QTextCharFormat format;
    format.setForeground(QColor::fromRgba(0xFFFFFFFF));
    format.setProperty(QTextFormat::FontWeight, 0xFFFF);
    format.setFontItalic(true);
    format.setProperty(QTextFormat::FontUnderline, true);
    format.setProperty(QTextFormat::TextUnderlineStyle, 0xFF);
    format.setFontStrikeOut(true);
    HighlightedLinesBlob::Lines lines;
    const QStringList preview = CodePreviewLines::make(text);
    ASSERT_EQ(preview.size(), CodePreviewLines::maxLines);
    for (int index = 0; index < preview.size(); ++index) {
        AttributedText line = AttributedText::plain(preview[index]);
        for (int i = 0; i < line.text.size(); ++i)
            line.formats.append({ i, 1, format });
        lines.insert(HighlightedLinesBlob::lineName(HighlightCacheService::previewContext(), index), line);
    }
    EXPECT_LE(HighlightedLinesBlob::encode(lines).size(), maxHighlightedLinesBytes)
        << "the app would write lines that it drops unread and makes again at every start";
}

TEST(HighlightedLinesBlobTest, DamagedForeignOrOlderBlobsReadAsEmpty)
{
    const QByteArray good = archived(QStringLiteral("abc"), { { 0, 3 } });
    ASSERT_TRUE(HighlightedLinesBlob::decode(blobOf(member("preview_0", good))));
    const QByteArray mixed = blobOf(member("preview_0", good) + "," + member("preview_1", good.chopped(1)));
    const QByteArray older = olderHighlightBlob();
    struct Case
    {
        const char *name;
        QByteArray blob;
    };
    const Case cases[] = {
        { "the older binary form", older },
        { "nothing", QByteArray() },
        { "a JSON array", "[\"" + good.toBase64() + "\"]" },
        { "a number instead of a string", "{\"preview_0\":12}" },
        { "a string that is no base64", "{\"preview_0\":\"not base64!\"}" },
        { "an archive of another system", blobOf(member("preview_0", QByteArray("bplist00\xd4\x01\x02"))) },
        { "another archive version",
            blobOf(member("preview_0", archived(QStringLiteral("abc"), {}, QByteArray("TWAT\x02", 5)))) },
        { "an unnamed line", blobOf(member("", good)) },
        { "one sound line and one damaged", mixed },
        { "JSON cut short", blobOf(member("preview_0", good)).chopped(2) },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(HighlightedLinesBlob::decode(c.blob));
        EXPECT_FALSE(HighlightedLinesBlob::hasContext(c.blob, u"preview"));
    }
    // Asked for one line, a reader does not care for the others.
    const std::optional<AttributedText> soundLine = HighlightedLinesBlob::line(mixed, u"preview_0");
    ASSERT_TRUE(soundLine);
    EXPECT_EQ(soundLine->text, QStringLiteral("abc"));
    EXPECT_FALSE(HighlightedLinesBlob::line(mixed, u"preview_1"));
    EXPECT_FALSE(HighlightedLinesBlob::line(older, u"preview_0"));
}

TEST(HighlightedLinesBlobTest, DamagedArchivesAreNoLineAndNeverCrash)
{
    const QByteArray good = HighlightedLinesBlob::archive(sampleLines()[QStringLiteral("preview_1")]);
    ASSERT_TRUE(HighlightedLinesBlob::unarchive(good));

    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        { "a byte more", good + '\0' },
        { "a run past its text", archived(QStringLiteral("abc"), { { 2, 2 } }) },
        { "a run far past its text", archived(QStringLiteral("abc"), { { 0xFFFFFFF0u, 0x20 } }) },
        { "a text longer than the archive", QByteArray("TWAT\x01", 5) + u32(1000) + "xx" },
        { "a huge run count", archived(QStringLiteral("a"), {}).chopped(4) + u32(0x10000000) },
        { "another header", archived(QStringLiteral("a"), {}, QByteArray("TWHL\x01", 5)) },
    };
    for (const Case &c : cases)
        EXPECT_FALSE(HighlightedLinesBlob::unarchive(c.bytes)) << c.name;

    // Every truncation reads as nothing.
    for (qsizetype size = 0; size < good.size(); ++size)
        EXPECT_FALSE(HighlightedLinesBlob::unarchive(good.first(size))) << "cut to " << size;
    // Flipped bytes and random bytes, with and without the header: no crash, and whatever
    // still reads is a line a view can draw.
    QRandomGenerator random(14);
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        if (round % 3 == 0) {
            bytes = good;
            for (int flips = random.bounded(1, 4); flips > 0; --flips)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        } else {
            bytes = QByteArray(random.bounded(0, 200), Qt::Uninitialized);
            for (char &byte : bytes)
                byte = char(random.bounded(256));
            if (round % 3 == 1)
                bytes.prepend(QByteArray("TWAT\x01", 5));
        }
        if (const std::optional<AttributedText> line = HighlightedLinesBlob::unarchive(bytes)) {
            ++read;
            EXPECT_TRUE(runsWithinText(*line)) << "round " << round;
        }
        // The same bytes inside a blob: no crash either.
        const QByteArray blob = blobOf(member("preview_0", bytes));
        EXPECT_EQ(HighlightedLinesBlob::line(blob, u"preview_0").has_value(),
            HighlightedLinesBlob::unarchive(bytes).has_value());
    }
    EXPECT_GT(read, 0) << "no damaged archive read at all: the check of runs was never reached";
}
