#include "detection/HighlightedLinesBlob.h"

#include "detection/highlight/Highlight.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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
    lines.insert(QStringLiteral("grid_3"), AttributedText::plain(QStringLiteral("\tplain\ttabs")));
    return lines;
}

// A blob with a correct header and checksum around any payload.
QByteArray framed(
    const QByteArray &payload, quint32 entryCount, quint8 version = HighlightedLinesBlob::version)
{
    QByteArray blob("TWHL");
    blob.append(char(version));
    blob.append(3, '\0');
    const auto append = [&blob](auto value) {
        value = qToLittleEndian(value);
        blob.append(reinterpret_cast<const char *>(&value), sizeof value);
    };
    append(entryCount);
    append(quint32(payload.size()));
    append(HighlightedLinesBlob::checksum(payload.constData(), payload.size()));
    return blob + payload;
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

// One entry as the format lays it out: a name, a text and plain runs.
QByteArray entry(const QByteArray &name, const QString &text, const QList<std::pair<quint32, quint32>> &runs)
{
    QByteArray body = u16(quint16(name.size())) + name + u32(quint32(text.size()));
    for (QChar c : text)
        body += u16(c.unicode());
    body += u32(quint32(runs.size()));
    for (const auto &[start, length] : runs)
        body += u32(start) + u32(length) + u16(0);
    return u32(quint32(body.size())) + body;
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

TEST(HighlightedLinesBlobTest, DamagedOrForeignBlobsAreEmpty)
{
    const QByteArray blob = HighlightedLinesBlob::encode(sampleLines());
    const auto unreadable = [](const QByteArray &bytes) {
        return !HighlightedLinesBlob::decode(bytes) && !HighlightedLinesBlob::line(bytes, u"preview_0")
            && !HighlightedLinesBlob::hasContext(bytes, u"preview");
    };

    // Every truncation, and every single flipped bit, anywhere.
    for (qsizetype size = 0; size < blob.size(); ++size)
        EXPECT_TRUE(unreadable(blob.first(size))) << "cut to " << size;
    for (qsizetype i = 0; i < blob.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray flipped = blob;
            flipped[i] = char(flipped[i] ^ (1 << bit));
            ASSERT_TRUE(unreadable(flipped)) << "byte " << i << " bit " << bit;
        }
    }
    EXPECT_TRUE(unreadable(blob + '\0')) << "a byte more";

    // Sound checksums around unsound contents.
    const QByteArray good = entry("preview_0", QStringLiteral("abc"), { { 0, 3 } });
    ASSERT_TRUE(HighlightedLinesBlob::decode(framed(good, 1)));
    struct Case
    {
        const char *name;
        QByteArray blob;
    };
    const Case cases[] = {
        { "another version", framed(good, 1, 2) },
        { "more entries than there are", framed(good, 2) },
        { "fewer entries than there are", framed(good + entry("preview_1", QStringLiteral("d"), {}), 1) },
        { "a run past its text", framed(entry("preview_0", QStringLiteral("abc"), { { 2, 2 } }), 1) },
        { "a run far past its text",
            framed(entry("preview_0", QStringLiteral("abc"), { { 0xFFFFFFF0u, 0x20 } }), 1) },
        { "a text longer than its entry", framed(u32(10) + u16(1) + "p" + u32(1000) + "xx", 1) },
        { "an entry longer than the blob", framed(u32(1000) + good.mid(4), 1) },
        { "a run count past its entry",
            framed(entry("preview_0", QStringLiteral("a"), {}).chopped(4) + u32(0x10000000), 1) },
        { "the same name twice", framed(good + good, 2) },
        { "no name", framed(entry("", QStringLiteral("a"), {}), 1) },
        { "a huge entry count", framed(good, 0xFFFFFFFFu) },
        { "not ours", QByteArray("{\"preview_0\":\"YnBsaXN0\"}") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(unreadable(c.blob));
    }

    // Random bytes, with and without our header.
    QRandomGenerator random(14);
    for (int round = 0; round < 500; ++round) {
        QByteArray noise(random.bounded(0, 400), Qt::Uninitialized);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        EXPECT_TRUE(unreadable(noise));
        EXPECT_TRUE(unreadable(QByteArray("TWHL\x01") + noise));
    }
}
