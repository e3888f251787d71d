#include "common/TextExcerpt.h"

#include "support/HugeTexts.h"

#include <gtest/gtest.h>

#include <QList>

namespace {

struct Case
{
    const char *name;
    QString text;
    int lines;
    qsizetype units;
    QString expected;
    bool cut;
};

void expectExcerpts(const QList<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TextExcerpt::Excerpt excerpt = TextExcerpt::make(c.text, c.lines, c.units);
        EXPECT_EQ(excerpt.text, c.expected);
        EXPECT_EQ(excerpt.cut, c.cut);
    }
}

} // namespace

TEST(TextExcerptTest, KeepsTheFirstLinesAndUnitsOfWholeCharacters)
{
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    const QString scotland
        = QStringLiteral("\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F");
    expectExcerpts({
        { "all of a short text", QStringLiteral("one\ntwo"), 5, 100, QStringLiteral("one\ntwo"), false },
        { "empty", QString(), 5, 100, QString(), false },
        { "the first lines", QStringLiteral("a\nb\nc\nd"), 2, 100, QStringLiteral("a\nb"), true },
        { "a break that ends the text leaves nothing out", QStringLiteral("a\n"), 1, 100, QStringLiteral("a"),
            false },
        { "CR LF is one break, every break a newline", QStringLiteral("a\r\nb\rc\u2028d\u0085e"), 10, 100,
            QStringLiteral("a\nb\nc\nd\ne"), false },
        { "empty lines count", QStringLiteral("\n\n\nx"), 3, 100, QStringLiteral("\n\n"), true },
        { "units in all, lines included", QStringLiteral("abc\ndefgh"), 5, 6, QStringLiteral("abc\nde"),
            true },
        { "an accented letter is not split at the units' end", QStringLiteral("abe\u0301f"), 1, 3,
            QStringLiteral("ab"), true },
        { "nor a surrogate pair", QStringLiteral("a\U0001F600"), 1, 2, QStringLiteral("a"), true },
        { "no lines", QStringLiteral("abc"), 0, 100, QString(), true },
        { "no units", QStringLiteral("abc"), 3, 0, QString(), true },
        { "a letter under a hundred accents keeps 31 of them", accentedLetter(u'e', 100), 1, 1000,
            accentedLetter(u'e', 31), true },
        { "and the letters after it", accentedLetter(u'e', 100) + QStringLiteral("xy"), 1, 1000,
            accentedLetter(u'e', 31) + QStringLiteral("xy"), true },
        { "a letter under 31 accents is whole", accentedLetter(u'e', 31), 1, 1000, accentedLetter(u'e', 31),
            false },
        { "an emoji family is one whole character", family + family, 1, 1000, family + family, false },
        { "a flag of tag characters too", scotland, 1, 1000, scotland, false },
        // 15 pairs of accents beyond the plane leave one unit that would be half a pair.
        { "a cut character keeps whole surrogate pairs",
            QStringLiteral("e") + QString(QStringLiteral("\U0001D167")).repeated(40), 1, 1000,
            QStringLiteral("e") + QString(QStringLiteral("\U0001D167")).repeated(15), true },
    });
}

TEST(TextExcerptTest, HugeTextsGiveSmallExcerpts)
{
    expectExcerpts({
        { "two million one-letter lines", oneLetterLines(2'000'000, u'x'), 40, 10'000,
            oneLetterLines(40, u'x').chopped(1), true },
        { "one letter under 100,000 accents", accentedLetter(u'e', 100'000), 40, 10'000,
            accentedLetter(u'e', 31), true },
        { "a line of a million letters", QString(1'000'000, u'y'), 40, 10'000, QString(10'000, u'y'), true },
        // No more is looked at than 65,536 units, even when more would be kept.
        { "a line longer than is looked at", QString(100'000, u'z'), 1, 200'000, QString(65'536, u'z'),
            true },
    });
}
