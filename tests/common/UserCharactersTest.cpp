#include "common/UserCharacters.h"

#include <gtest/gtest.h>

#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace {

// The whole-text analysis the functions must agree with.
QList<qsizetype> referenceBoundaries(const QString &text)
{
    QList<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary())
        ends.append(next);
    return ends;
}

struct CountCase
{
    const char *name;
    QString text;
    qsizetype limit;
    qsizetype expected;
};

} // namespace

TEST(UserCharactersTest, CountsWhatAPersonSeesAsOneCharacter)
{
    const QString decomposedE = QStringLiteral("e\u0301");
    const QString flags = QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"); // two flags
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const CountCase cases[] = {
        { "empty", QString(), 10, 0 },
        { "ascii", QStringLiteral("abcdef"), 100, 6 },
        { "limit stops the count", QStringLiteral("abcdef"), 4, 4 },
        { "zero limit", QStringLiteral("abc"), 0, 0 },
        { "CR LF is one", QStringLiteral("a\r\nb"), 100, 3 },
        { "LF CR is two", QStringLiteral("a\n\rb"), 100, 4 },
        { "combining accent joins its letter", QStringLiteral("caf") + decomposedE, 100, 4 },
        { "accent right after ASCII run", QStringLiteral("abc") + decomposedE + QStringLiteral("xyz"), 100,
            7 },
        { "accent at the limit", QStringLiteral("abc") + decomposedE, 4, 4 },
        { "flags", flags, 100, 2 },
        { "family emoji", family, 100, 1 },
        { "surrogate pair", QStringLiteral("a\U0001F600b"), 100, 3 },
        { "seven decomposed letters", decomposedE.repeated(7), 8, 7 },
        { "eight decomposed letters", decomposedE.repeated(8), 8, 8 },
        { "a cluster longer than any first window",
            QStringLiteral("x") + QString(300, QChar(0x0301)) + QStringLiteral("yz"), 3, 3 },
    };
    for (const CountCase &c : cases)
        EXPECT_EQ(UserCharacters::count(c.text, c.limit), c.expected) << c.name;
}

TEST(UserCharactersTest, PrefixNeverSplitsACharacter)
{
    const QString decomposedE = QStringLiteral("e\u0301");
    EXPECT_EQ(UserCharacters::prefix(decomposedE.repeated(3), 2), decomposedE.repeated(2));
    EXPECT_EQ(UserCharacters::prefix(QString(QStringLiteral("ab") + decomposedE), 2), QStringLiteral("ab"));
    EXPECT_EQ(UserCharacters::prefix(QString(QStringLiteral("ab") + decomposedE), 3),
        QString(QStringLiteral("ab") + decomposedE));
    EXPECT_EQ(UserCharacters::prefix(QStringLiteral("a\r\nb"), 2), QStringLiteral("a\r\n"));
    EXPECT_EQ(UserCharacters::prefix(QStringLiteral("abc"), 10), QStringLiteral("abc"));
    EXPECT_EQ(UserCharacters::prefix(QStringLiteral("abc"), 0), QString());
}

// Random mixes of the characters that make boundaries hard, checked against an analysis
// of the whole text.
TEST(UserCharactersTest, AgreesWithWholeTextAnalysis)
{
    const QStringList pieces { QStringLiteral("a"), QStringLiteral(" "), QStringLiteral("\r"),
        QStringLiteral("\n"), QStringLiteral("\u0301"), QStringLiteral("\u200D"),
        QStringLiteral("\U0001F468"), QStringLiteral("\U0001F1E9"), QStringLiteral("\u1100"),
        QStringLiteral("\u1161"), QStringLiteral("\uFE0F"), QStringLiteral("\u0E33"), QStringLiteral("z") };
    QRandomGenerator random(1234);
    for (int round = 0; round < 500; ++round) {
        QString text;
        const int length = random.bounded(120);
        for (int i = 0; i < length; ++i)
            text += pieces[random.bounded(int(pieces.size()))];
        const QList<qsizetype> ends = referenceBoundaries(text);
        const qsizetype limit = random.bounded(60);
        ASSERT_EQ(UserCharacters::count(text, limit), std::min(limit, ends.size())) << qPrintable(text);
        const qsizetype expectedEnd = limit == 0 ? 0 : (limit >= ends.size() ? text.size() : ends[limit - 1]);
        ASSERT_EQ(UserCharacters::prefix(text, limit).size(), expectedEnd) << qPrintable(text);
    }
}
