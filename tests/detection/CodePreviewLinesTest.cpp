#include "detection/CodePreviewLines.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QString numberedLines(int count, const QString &indent = QString())
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines.append(indent + QStringLiteral("line %1").arg(i));
    return lines.join(u'\n');
}

} // namespace

TEST(CodePreviewLinesTest, SplitsCutsAndStripsAsTheHighlightedLinesAreMade)
{
    struct Case
    {
        const char *name;
        QString text;
        QStringList expected;
    };
    const Case cases[] = {
        { "one line", QStringLiteral("x = 1"), { QStringLiteral("x = 1") } },
        { "empty text", QString(), { QString() } },
        { "LF", QStringLiteral("a\nb"), { QStringLiteral("a"), QStringLiteral("b") } },
        { "CR LF is one break", QStringLiteral("a\r\nb\r\n"),
            { QStringLiteral("a"), QStringLiteral("b"), QString() } },
        { "lone CR", QStringLiteral("a\rb"), { QStringLiteral("a"), QStringLiteral("b") } },
        { "LF CR is two", QStringLiteral("a\n\rb"), { QStringLiteral("a"), QString(), QStringLiteral("b") } },
        { "other breaks", QStringLiteral("a\u2028b\u2029c\u0085d\u000Be\u000Cf"),
            { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                QStringLiteral("e"), QStringLiteral("f") } },
        { "empty lines kept", QStringLiteral("a\n\n\nb"),
            { QStringLiteral("a"), QString(), QString(), QStringLiteral("b") } },
        { "indentation stripped",
            QStringLiteral("    four\n\ttab\n \t mixed\n\u00A0\u2003wide spaces\ninner  space"),
            { QStringLiteral("four"), QStringLiteral("tab"), QStringLiteral("mixed"),
                QStringLiteral("wide spaces"), QStringLiteral("inner  space") } },
        { "trailing space kept", QStringLiteral("x  "), { QStringLiteral("x  ") } },
        { "blank line becomes empty", QStringLiteral(" \t "), { QString() } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CodePreviewLines::make(c.text), c.expected);
    }
}

TEST(CodePreviewLinesTest, EachLineKeepsTheIndentationItWasSplitFromBesideIt)
{
    struct Case
    {
        const char *name;
        QString text;
        QList<std::pair<QString, QString>> expected; // indentation, then the rest
    };
    const Case cases[] = {
        { "spaces, a tab, both, other spaces, none",
            QStringLiteral("    four\n\ttab\n \t mixed\n\u00A0\u2003wide\nnone"),
            { { "    ", "four" }, { "\t", "tab" }, { " \t ", "mixed" }, { "\u00A0\u2003", "wide" },
                { "", "none" } } },
        { "a blank line is all indentation", QStringLiteral("x\n \t \ny"),
            { { "", "x" }, { " \t ", "" }, { "", "y" } } },
        { "inner and trailing spaces stay with the rest", QStringLiteral("\tif a  and b: "),
            { { "\t", "if a  and b: " } } },
        // The 500 characters are counted with the indentation.
        { "cut first, then split", QString(QStringLiteral("    ") + QString(600, u'y')),
            { { "    ", QString(496, u'y') } } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<CodePreviewLines::Line> lines = CodePreviewLines::split(c.text);
        ASSERT_EQ(lines.size(), c.expected.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].indentation, c.expected[i].first) << i;
            EXPECT_EQ(lines[i].code, c.expected[i].second) << i;
        }
        EXPECT_EQ(CodePreviewLines::make(c.text).size(), lines.size());
    }
}

TEST(CodePreviewLinesTest, Limits)
{
    // A thousand lines: the first 40, each without its indentation.
    const QStringList first = CodePreviewLines::make(numberedLines(1000, QStringLiteral("    ")));
    ASSERT_EQ(first.size(), 40);
    EXPECT_EQ(first.first(), QStringLiteral("line 0"));
    EXPECT_EQ(first.last(), QStringLiteral("line 39"));

    // The caller may ask for fewer; they are the first lines of the full split.
    EXPECT_EQ(CodePreviewLines::make(numberedLines(10), 3), first.mid(0, 3));
    EXPECT_TRUE(CodePreviewLines::make(numberedLines(10), 0).isEmpty());

    // 800 characters on one line: 500 of them.
    EXPECT_EQ(CodePreviewLines::make(QString(800, u'x')), QStringList { QString(500, u'x') });
    // Cut first, then stripped: four spaces and 600 letters leave 496 letters.
    EXPECT_EQ(CodePreviewLines::make(QString(QStringLiteral("    ") + QString(600, u'y'))),
        QStringList { QString(496, u'y') });
    // Characters, not units: 600 accented e's (two units each) give 500 characters.
    QString accented;
    for (int i = 0; i < 600; ++i)
        accented += QStringLiteral("e\u0301");
    EXPECT_EQ(CodePreviewLines::make(accented).first().size(), 1000);

    // A letter under a hundred accents keeps 31 of them, and the line goes on after it.
    QString accents;
    for (int i = 0; i < 100; ++i)
        accents += QChar(0x0300 + i % 4);
    EXPECT_EQ(CodePreviewLines::make(QString(QStringLiteral("\ts = 'e") + accents + QStringLiteral("'"))),
        QStringList { QStringLiteral("s = 'e") + accents.left(31) + QStringLiteral("'") });

    // 25,000 units on one line: only the first 20,000 count, and of those 500 characters.
    EXPECT_EQ(CodePreviewLines::make(QString(25'000, u'z')), QStringList { QString(500, u'z') });
    // Lines beyond the first 20,000 units are not there at all.
    const QString longFirst = QString(19'998, u'a') + QStringLiteral("\nbc\nd");
    EXPECT_EQ(CodePreviewLines::make(longFirst), (QStringList { QString(500, u'a'), QStringLiteral("b") }));
    // A cut that would split a surrogate pair drops its first half.
    const QString emoji = QString(19'999, u'\n') + QStringLiteral("\U0001F600");
    const QStringList cut = CodePreviewLines::make(emoji, 20'001);
    EXPECT_EQ(cut.size(), 19'999 + 1);
    EXPECT_EQ(cut.last(), QString());
}

TEST(CodePreviewLinesTest, BlankMeansSpacesAndTabsOnly)
{
    struct Case
    {
        QString line;
        bool blank;
    };
    const Case cases[] = {
        { QString(), true },
        { QStringLiteral("    "), true },
        { QStringLiteral("\t \t"), true },
        { QStringLiteral("\u00A0\u2003"), true },
        { QStringLiteral("  x "), false },
        { QStringLiteral("\n"), false }, // a line break is no blank here
        { QStringLiteral("}"), false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(CodePreviewLines::isBlank(c.line), c.blank) << c.line.toStdString();
}
