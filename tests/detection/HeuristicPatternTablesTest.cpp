#include "detection/heuristics/HeuristicPatternTables.h"
#include "detection/HeuristicCodeDetection.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

struct LanguageShape
{
    const char *name;
    qsizetype patterns;
    qsizetype nearTop;
};

// Names in table order, with the number of patterns and of near-top patterns of each.
constexpr LanguageShape expectedLanguages[] = {
    { "swift", 25, 1 },
    { "javascript", 25, 2 },
    { "typescript", 15, 1 },
    { "python", 31, 2 },
    { "html", 12, 1 },
    { "css", 12, 0 },
    { "json", 8, 0 },
    { "shell", 19, 0 },
    { "java", 17, 2 },
    { "kotlin", 15, 0 },
    { "c", 18, 1 },
    { "cpp", 20, 1 },
    { "go", 16, 3 },
    { "rust", 21, 1 },
    { "ruby", 17, 1 },
    { "php", 15, 2 },
    { "cs", 16, 3 },
    { "dart", 13, 1 },
    { "yaml", 6, 1 },
    { "xml", 6, 1 },
    { "dockerfile", 12, 1 },
    { "sql", 17, 0 },
    { "lua", 15, 0 },
    { "elixir", 10, 0 },
    { "scala", 10, 0 },
    { "perl", 11, 2 },
    { "r", 10, 0 },
    { "objectivec", 10, 1 },
    { "haskell", 10, 2 },
    { "powershell", 10, 0 },
    { "toml", 6, 0 },
    { "graphql", 8, 0 },
    { "terraform", 8, 0 },
    { "clojure", 10, 1 },
    { "erlang", 10, 2 },
    { "julia", 10, 1 },
    { "groovy", 9, 0 },
    { "fsharp", 10, 1 },
};

// The pattern of language with exactly this text; fails the test when there is none.
const HeuristicPattern *findPattern(const QString &language, const char *pattern)
{
    for (const HeuristicLanguagePatterns &entry : HeuristicPatternTables::languages()) {
        if (entry.name != language)
            continue;
        for (const HeuristicPattern &candidate : entry.patterns) {
            if (qstrcmp(candidate.pattern, pattern) == 0)
                return &candidate;
        }
    }
    return nullptr;
}

} // namespace

TEST(HeuristicPatternTablesTest, HoldsThirtyEightLanguagesAndFiveHundredThirteenPatterns)
{
    const auto generic = HeuristicPatternTables::genericPatterns();
    EXPECT_EQ(generic.size(), 7u);
    EXPECT_TRUE(
        std::none_of(generic.begin(), generic.end(), [](const HeuristicPattern &p) { return p.nearTop; }));

    const auto languages = HeuristicPatternTables::languages();
    ASSERT_EQ(languages.size(), std::size(expectedLanguages));
    qsizetype total = 0;
    qsizetype nearTop = 0;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        const LanguageShape &expected = expectedLanguages[i];
        EXPECT_EQ(languages[i].name, QString::fromLatin1(expected.name)) << "position " << i;
        EXPECT_EQ(qsizetype(languages[i].patterns.size()), expected.patterns) << expected.name;
        const auto marked = std::count_if(languages[i].patterns.begin(), languages[i].patterns.end(),
            [](const HeuristicPattern &p) { return p.nearTop; });
        EXPECT_EQ(marked, expected.nearTop) << expected.name;
        total += qsizetype(languages[i].patterns.size());
        nearTop += marked;
    }
    EXPECT_EQ(total, 513);
    EXPECT_EQ(nearTop, 35);
}

TEST(HeuristicPatternTablesTest, PointsStayBetweenMinusTenAndFifteen)
{
    const auto check = [](std::span<const HeuristicPattern> patterns, const QString &name) {
        for (const HeuristicPattern &p : patterns) {
            EXPECT_GE(p.points, -10) << qPrintable(name) << " " << p.pattern;
            EXPECT_LE(p.points, 15) << qPrintable(name) << " " << p.pattern;
            EXPECT_NE(p.points, 0) << qPrintable(name) << " " << p.pattern;
        }
    };
    check(HeuristicPatternTables::genericPatterns(), QStringLiteral("generic"));
    for (const HeuristicLanguagePatterns &language : HeuristicPatternTables::languages())
        check(language.patterns, language.name);
}

TEST(HeuristicPatternTablesTest, EveryPatternCompiles)
{
    const auto check = [](std::span<const HeuristicPattern> patterns) {
        for (const HeuristicPattern &p : patterns) {
            const QRegularExpression regex(
                QString::fromUtf8(p.pattern), HeuristicCodeDetection::patternOptions);
            EXPECT_TRUE(regex.isValid()) << p.pattern << ": " << qPrintable(regex.errorString());
        }
    };
    check(HeuristicPatternTables::genericPatterns());
    for (const HeuristicLanguagePatterns &language : HeuristicPatternTables::languages())
        check(language.patterns);

    const HeuristicCodeDetection &detection = HeuristicCodeDetection::shared();
    EXPECT_EQ(detection.genericPatterns().size(), 7u);
    std::size_t compiled = 0;
    for (const auto &language : detection.languages())
        compiled += language.patterns.size();
    EXPECT_EQ(compiled, 513u);
}

// The tables were written for a Unicode-aware engine whose syntax mostly equals ours;
// these are the constructs where engines differ, checked for the meaning intended.
TEST(HeuristicPatternTablesTest, PatternsKeepTheirMeaningOnThisEngine)
{
    struct Case
    {
        const char *language;
        const char *pattern;
        const char *subject;
        bool matches;
    };
    const Case cases[] = {
        { "julia", R"(\bfor\s+\w+\s+(in|∈)\s+)", "for x ∈ xs", true },
        { "swift", R"(\bif\s+let\s+\w+)", "if let größe = value", true }, // \w takes letters beyond ASCII
        { "swift", R"(\bguard\s+(let|var)\b)", "éguard let x", false }, // so does \b
        { "sql", R"((?i)\bSELECT\s+.+\s+FROM\b)", "select name from users", true },
        { "sql", R"((?i)\bPRIMARY\s+KEY\b)", "id int primary key", true },
        { "javascript", R"(\"use strict\")", "\"use strict\";", true },
        { "javascript", R"(\"use strict\")", "use strict", false },
        { "php", R"(\===|\!==)", "if ($a !== $b)", true },
        { "r", R"(\bc\s*\(\s*[\d\"\'])", "x <- c('a', 'b')", true },
        { "r", R"(\bc\s*\(\s*[\d\"\'])", "c(x)", false },
        { "haskell", R"(\w+\s*::\s*[\w\[\]()-> ]+)", "main :: IO ()", true },
        { "css", R"(#([A-Fa-f0-9]{3}|[A-Fa-f0-9]{6})\b)", "color: #fff;", true },
        { "css", R"(#([A-Fa-f0-9]{3}|[A-Fa-f0-9]{6})\b)", "issue #ffff", false },
        { "shell", R"(\bif\s+\[{1,2}\s+)", "if [[ -f file ]]; then", true },
        { "php", R"(\buse\s+\w+(\\\w+)+\s*;)", "use App\\Models\\User;", true },
        { "objectivec", R"(\b(NS|UI)\w{3,}\s*\*)", "NSString *name", true },
        { "toml", R"(^\s*\w[\w-]*\s*=\s*\d{4}-\d{2}-\d{2})", "released = 2024-05-01", true },
        { "cpp", R"(\bclass\s+\w+\s*(\:\s*(public|private|protected)\s+\w+)?)", "class Widget : public Base",
            true },
        { "kotlin", R"(\b(Unit|Nothing)\b)", "fun f(): Unit", true },
    };
    for (const Case &c : cases) {
        const HeuristicPattern *entry = findPattern(QString::fromLatin1(c.language), c.pattern);
        ASSERT_NE(entry, nullptr) << c.language << " has no pattern " << c.pattern;
        const QRegularExpression regex(
            QString::fromUtf8(entry->pattern), HeuristicCodeDetection::patternOptions);
        EXPECT_EQ(regex.match(QString::fromUtf8(c.subject)).hasMatch(), c.matches)
            << c.pattern << " on " << c.subject;
    }
}
