#include "detection/HeuristicCodeDetection.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {

const QString filler = QStringLiteral("plain words here");

qsizetype languageIndex(const HeuristicCodeDetection &detection, const QString &name)
{
    for (std::size_t i = 0; i < detection.languages().size(); ++i) {
        if (detection.languages()[i].name == name)
            return qsizetype(i);
    }
    return -1;
}

qint64 scoreOf(const QString &language, const QString &text)
{
    const HeuristicCodeDetection &detection = HeuristicCodeDetection::shared();
    const qsizetype index = languageIndex(detection, language);
    EXPECT_GE(index, 0) << qPrintable(language);
    return index < 0 ? 0 : detection.languageScores(text)[index];
}

QString fillerLines(int count, int markedLine, const QString &marker)
{
    QStringList lines(count, filler);
    if (markedLine >= 0)
        lines[markedLine] = marker;
    return lines.join(u'\n');
}

// A small detector of its own: one language per entry, each with the given patterns.
struct Tables
{
    std::vector<HeuristicPattern> generic;
    std::vector<std::vector<HeuristicPattern>> patterns;
    std::vector<HeuristicLanguagePatterns> languages;

    Tables(std::vector<HeuristicPattern> genericPatterns,
        std::vector<std::pair<QString, std::vector<HeuristicPattern>>> entries)
        : generic(std::move(genericPatterns))
    {
        patterns.reserve(entries.size());
        for (auto &[name, list] : entries) {
            patterns.push_back(std::move(list));
            languages.push_back({ name, patterns.back() });
        }
    }
    HeuristicCodeDetection detector() const { return HeuristicCodeDetection(generic, languages); }
};

QStringList sampleTexts()
{
    QStringList texts;
    for (const QString &folder :
        { QStringLiteral("code-samples"), QStringLiteral("code-samples/not-code") }) {
        const QDir dir(testDataPath(folder));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                texts.append(QString::fromUtf8(file.readAll()));
        }
    }
    return texts;
}

} // namespace

TEST(HeuristicCodeDetectionTest, FillerMatchesNothing)
{
    const std::vector<qint64> scores
        = HeuristicCodeDetection::shared().languageScores(fillerLines(120, -1, {}));
    EXPECT_TRUE(std::all_of(scores.begin(), scores.end(), [](qint64 score) { return score == 0; }));
}

TEST(HeuristicCodeDetectionTest, NearTopPatternsCountOnlyOnTheFirstLines)
{
    const QString doctype = QStringLiteral("<!DOCTYPE html>");
    struct Case
    {
        int lines;
        int doctypeLine;
        qint64 htmlScore;
    };
    const Case cases[] = {
        { 20, 4, 15 },
        { 20, 5, 0 }, // fewer than 50 lines: the first 5
        { 60, 5, 15 },
        { 60, 6, 0 }, // 60 lines: the first 6
        { 100, 9, 15 },
        { 100, 10, 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(scoreOf(QStringLiteral("html"), fillerLines(c.lines, c.doctypeLine, doctype)), c.htmlScore)
            << c.lines << " lines, DOCTYPE on index " << c.doctypeLine;
}

TEST(HeuristicCodeDetectionTest, ReadsOnlyTheFirstHundredLines)
{
    const QString select = QStringLiteral("SELECT name FROM users");
    EXPECT_GT(scoreOf(QStringLiteral("sql"), fillerLines(120, 99, select)), 0);
    EXPECT_EQ(scoreOf(QStringLiteral("sql"), fillerLines(120, 100, select)), 0);
}

TEST(HeuristicCodeDetectionTest, CutsLinesAtFiveHundredUserCharacters)
{
    const Tables tables({}, { { QStringLiteral("tail"), { { "MARK$", 5 } } } });
    const HeuristicCodeDetection detection = tables.detector();
    const QString accented = QStringLiteral("e\u0301"); // one character, two code units
    // 496 characters, then the four of MARK: 500 characters, 996 code units.
    EXPECT_EQ(detection.languageScores(QString(accented.repeated(496) + QStringLiteral("MARK")))[0], 5);
    // One more character pushes the K past the cut.
    EXPECT_EQ(detection.languageScores(QString(accented.repeated(497) + QStringLiteral("MARK")))[0], 0);
    EXPECT_EQ(detection.languageScores(QString(QString(496, u'x') + QStringLiteral("MARK")))[0], 5);
    EXPECT_EQ(detection.languageScores(QString(QString(497, u'x') + QStringLiteral("MARK")))[0], 0);
}

TEST(HeuristicCodeDetectionTest, EveryNewlineCharacterEndsALine)
{
    const Tables tables({}, { { QStringLiteral("anchored"), { { "^MARK", 5 } } } });
    const HeuristicCodeDetection detection = tables.detector();
    const struct
    {
        const char *name;
        char16_t separator;
        qint64 score;
    } cases[] = {
        { "line feed", u'\n', 5 },
        { "vertical tab", u'\v', 5 },
        { "form feed", u'\f', 5 },
        { "carriage return", u'\r', 5 },
        { "next line", u'\u0085', 5 },
        { "line separator", u'\u2028', 5 },
        { "paragraph separator", u'\u2029', 5 },
        { "tab is no separator", u'\t', 0 },
        { "space", u' ', 0 },
    };
    for (const auto &c : cases) {
        const QString text = QStringLiteral("x") + QChar(c.separator) + QStringLiteral("MARK");
        EXPECT_EQ(detection.languageScores(text)[0], c.score) << c.name;
    }
}

TEST(HeuristicCodeDetectionTest, CarriageReturnLineFeedCountsAsTwoLineEnds)
{
    const Tables tables({}, { { QStringLiteral("top"), { { "^MARK", 5, true } } } });
    const HeuristicCodeDetection detection = tables.detector();
    // a, "", b, "", MARK: index 4, inside the first five lines.
    EXPECT_EQ(detection.languageScores(u"a\r\nb\r\nMARK")[0], 5);
    // a, "", b, "", c, "", MARK: index 6, outside.
    EXPECT_EQ(detection.languageScores(u"a\r\nb\r\nc\r\nMARK")[0], 0);
    EXPECT_EQ(detection.languageScores(u"a\nb\nc\nMARK")[0], 5);
}

TEST(HeuristicCodeDetectionTest, APatternCountsOncePerText)
{
    const Tables tables({}, { { QStringLiteral("lang"), { { "MARK", 3 } } } });
    EXPECT_EQ(tables.detector().languageScores(u"MARK\nMARK MARK\nMARK")[0], 3);
}

TEST(HeuristicCodeDetectionTest, GenericPointsCountForEveryLanguage)
{
    const Tables tables(
        { { "GEN", 2 } }, { { QStringLiteral("a"), { { "AAA", 3 } } }, { QStringLiteral("b"), {} } });
    EXPECT_EQ(tables.detector().languageScores(u"GEN AAA"), (std::vector<qint64> { 5, 2 }));

    // With the real tables, a text of generic shapes alone is the first language's.
    const QString genericOnly = QStringLiteral("// note\n/* block\n  if (ready) {\ngo;\n");
    const std::vector<qint64> scores = HeuristicCodeDetection::shared().languageScores(genericOnly);
    EXPECT_GE(scores.front(), 5);
    EXPECT_TRUE(std::all_of(scores.begin(), scores.end(), [&](qint64 s) { return s == scores.front(); }));
    const HeuristicResult result = HeuristicCodeDetection::shared().detect(genericOnly);
    EXPECT_TRUE(result.isCode);
    EXPECT_EQ(result.language, QStringLiteral("swift"));
}

TEST(HeuristicCodeDetectionTest, TiesGoToTheEarlierLanguage)
{
    const Tables tie({},
        { { QStringLiteral("first"), { { "MARK", 5 } } }, { QStringLiteral("second"), { { "MARK", 5 } } } });
    EXPECT_EQ(tie.detector().detect(u"MARK").language, QStringLiteral("first"));
    const Tables higher({},
        { { QStringLiteral("first"), { { "MARK", 5 } } }, { QStringLiteral("second"), { { "MARK", 6 } } } });
    EXPECT_EQ(higher.detector().detect(u"MARK").language, QStringLiteral("second"));
}

TEST(HeuristicCodeDetectionTest, ScoresOfZeroOrLessNameNoLanguage)
{
    const Tables negative({}, { { QStringLiteral("minus"), { { "MARK", -3 } } } });
    EXPECT_EQ(negative.detector().detect(u"MARK"), HeuristicResult());
    const Tables mixed({},
        { { QStringLiteral("minus"), { { "MARK", -3 } } }, { QStringLiteral("plus"), { { "MARK", 1 } } } });
    EXPECT_EQ(mixed.detector().detect(u"MARK"), (HeuristicResult { false, QStringLiteral("plus"), 0, 1 }));
    // The real python table holds back JavaScript.
    EXPECT_LT(scoreOf(QStringLiteral("python"), QStringLiteral("const x = 1;\nconsole.log(x)")), 0);
}

TEST(HeuristicCodeDetectionTest, RequiredScoreAndConfidenceFollowTheLength)
{
    struct Case
    {
        qsizetype length; // characters
        int points;
        HeuristicResult expected;
    };
    const QString lang = QStringLiteral("lang");
    const Case cases[] = {
        { 100, 5, { true, lang, 75, 5 } },
        { 100, 4, { false, lang, 0, 4 } },
        { 101, 5, { false, lang, 0, 5 } },
        { 101, 8, { true, lang, 87, 8 } },
        { 300, 8, { true, lang, 87, 8 } },
        { 301, 8, { false, lang, 0, 8 } },
        { 301, 11, { false, lang, 0, 11 } },
        { 301, 12, { true, lang, 95, 12 } },
        { 2000, 10, { false, lang, 0, 10 } },
        { 50, 9, { true, lang, 91, 9 } },
        { 50, 10, { true, lang, 95, 10 } },
        { 50, 15, { true, lang, 95, 15 } },
    };
    for (const Case &c : cases) {
        const Tables tables({}, { { lang, { { "MARK", c.points } } } });
        const QString text = QStringLiteral("MARK") + QString(c.length - 4, u'x');
        EXPECT_EQ(tables.detector().detect(text), c.expected)
            << c.length << " characters, " << c.points << " points";
    }

    // Length is counted in characters, not code units: 100 characters in 196 code units.
    const Tables tables({}, { { lang, { { "MARK", 5 } } } });
    const QString accented = QStringLiteral("MARK") + QStringLiteral("e\u0301").repeated(96);
    EXPECT_EQ(tables.detector().detect(accented), (HeuristicResult { true, lang, 75, 5 }));
}

TEST(HeuristicCodeDetectionTest, EmptyTextsAndTablesGiveTheEmptyResult)
{
    EXPECT_EQ(HeuristicCodeDetection::shared().detect(u""), HeuristicResult());
    const Tables noLanguages({ { "GEN", 20 } }, {});
    EXPECT_EQ(noLanguages.detector().detect(u"GEN"), HeuristicResult());
}

TEST(HeuristicCodeDetectionTest, PatternsThatDoNotCompileCountNothing)
{
    const Tables tables({ { "(", 1 } },
        { { QStringLiteral("lang"), { { "[unclosed", 5 }, { "MARK", 5 } } },
            { QStringLiteral("broken"), { { "(?<", 9 } } } });
    const HeuristicCodeDetection detection = tables.detector();
    ASSERT_EQ(detection.languages().size(), 2u);
    EXPECT_EQ(detection.languages()[1].name, QStringLiteral("broken")); // stays, with nothing to count
    // The broken patterns' own text is on the lines too: none of them adds a point.
    EXPECT_EQ(detection.detect(u"MARK\n(\n[unclosed\n(?<"),
        (HeuristicResult { true, QStringLiteral("lang"), 75, 5 }));
    EXPECT_EQ(detection.languageScores(u"( [unclosed (?<"), (std::vector<qint64> { 0, 0 }));
}

// The indexed scan skips lines by their literals; it must count exactly what running
// every pattern on every line counts.
TEST(HeuristicCodeDetectionTest, IndexedScanAgreesWithScanningEveryLine)
{
    const HeuristicCodeDetection &detection = HeuristicCodeDetection::shared();
    const QStringList samples = sampleTexts();
    ASSERT_GE(samples.size(), 44);
    QStringList pool;
    for (const QString &text : samples) {
        EXPECT_EQ(detection.languageScores(text),
            detection.languageScores(text, HeuristicCodeDetection::Scan::EveryLine));
        pool += text.split(u'\n');
    }

    // Lines of every sample mixed, in random order, case and length, with all kinds of line ends.
    const QString separators = QStringLiteral("\n\n\n\r\v\u2028");
    QRandomGenerator random(99);
    for (int round = 0; round < 150; ++round) {
        QString text;
        const int lines = 1 + random.bounded(130);
        for (int i = 0; i < lines; ++i) {
            QString line = pool[random.bounded(int(pool.size()))];
            switch (random.bounded(6)) {
            case 0:
                line = line.toUpper();
                break;
            case 1:
                line = line.repeated(1 + random.bounded(20));
                break;
            case 2:
                line = line.mid(random.bounded(int(line.size()) + 1));
                break;
            default:
                break;
            }
            text += line + separators[random.bounded(int(separators.size()))];
        }
        ASSERT_EQ(detection.languageScores(text),
            detection.languageScores(text, HeuristicCodeDetection::Scan::EveryLine))
            << qPrintable(text.left(400));
    }
}
