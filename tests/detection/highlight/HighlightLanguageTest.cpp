#include "detection/highlight/HighlightLanguage.h"
#include "detection/highlight/HLJS.h"
#include "detection/highlight/HighlightMode.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(HighlightLanguageTest, HasSixtyLanguagesEachFoundByItsExactRawValueOnly)
{
    const QList<HighlightLanguage> &all = HighlightLanguages::allCases();
    ASSERT_EQ(all.size(), 60);
    EXPECT_EQ(all.first(), HighlightLanguage::appleScript);
    EXPECT_EQ(all.last(), HighlightLanguage::yaml);

    QSet<QString> rawValues;
    for (HighlightLanguage language : all) {
        const QString rawValue = HighlightLanguages::rawValue(language);
        rawValues.insert(rawValue);
        EXPECT_EQ(HighlightLanguages::fromRawValue(rawValue), language) << rawValue.toStdString();
    }
    EXPECT_EQ(rawValues.size(), 60);

    struct Case
    {
        const char *rawValue;
        std::optional<HighlightLanguage> expected;
    };
    const Case cases[] = {
        { "cPlusPlus", HighlightLanguage::cPlusPlus },
        { "javaScript", HighlightLanguage::javaScript },
        { "cpp", std::nullopt },
        { "C++", std::nullopt },
        { "CPlusPlus", std::nullopt },
        { "javascript", std::nullopt },
        { "", std::nullopt },
        { "python ", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(HighlightLanguages::fromRawValue(QString::fromUtf8(c.rawValue)), c.expected) << c.rawValue;
}

// The names the highlighter is asked for are names the script knows: highlighting in each
// language gives a result, where an unknown name gives "undefined".
TEST(HighlightLanguageTest, TheScriptKnowsEveryLanguageByTheNameItIsAskedFor)
{
    HLJS engine;
    for (HighlightLanguage language : HighlightLanguages::allCases()) {
        const QString name = HighlightLanguages::scriptName(language);
        const HLJSResult result
            = engine.highlight(QStringLiteral("x = 1\n"), HighlightMode::language(language)).result();
        EXPECT_NE(result.language, QStringLiteral("undefined")) << name.toStdString();
        EXPECT_FALSE(result.value.isEmpty()) << name.toStdString();
    }
    const HLJSResult unknown
        = engine
              .highlight(QStringLiteral("x = 1\n"), HighlightMode::languageAlias(QStringLiteral("cPlusPlus")))
              .result();
    EXPECT_EQ(unknown.language, QStringLiteral("undefined")) << "the raw value is no script name";
}

TEST(HighlightModeTest, EqualityAndHashFollowKindAndPayload)
{
    const HighlightMode modes[] = {
        HighlightMode::automatic(),
        HighlightMode::languageAlias(QStringLiteral("python")),
        HighlightMode::languageAliasIgnoreIllegal(QStringLiteral("python")),
        HighlightMode::language(HighlightLanguage::python),
        HighlightMode::languageIgnoreIllegal(HighlightLanguage::python),
        HighlightMode::languageAlias(QStringLiteral("Python")),
        HighlightMode::language(HighlightLanguage::rust),
    };
    for (size_t i = 0; i < std::size(modes); ++i) {
        for (size_t j = 0; j < std::size(modes); ++j)
            EXPECT_EQ(modes[i] == modes[j], i == j) << i << " vs " << j;
    }
    // The alias "python" and the language python name the same thing but are different modes.
    QSet<HighlightMode> set(std::begin(modes), std::end(modes));
    EXPECT_EQ(set.size(), qsizetype(std::size(modes)));
    // Equal modes made apart are found in the set: their hashes agree.
    EXPECT_TRUE(set.contains(HighlightMode::languageAlias(QStringLiteral("py") + QStringLiteral("thon"))));
    EXPECT_TRUE(
        set.contains(HighlightMode::language(*HighlightLanguages::fromRawValue(QStringLiteral("rust")))));
    EXPECT_FALSE(set.contains(HighlightMode::languageIgnoreIllegal(HighlightLanguage::rust)));
    EXPECT_EQ(HighlightMode(), HighlightMode::automatic());
    EXPECT_TRUE(HighlightMode::languageIgnoreIllegal(HighlightLanguage::go).ignoresIllegals());
    EXPECT_FALSE(HighlightMode::language(HighlightLanguage::go).ignoresIllegals());
    EXPECT_EQ(HighlightMode::languageAlias(QStringLiteral("Python")).scriptLanguageName(),
        QStringLiteral("Python"));
}
