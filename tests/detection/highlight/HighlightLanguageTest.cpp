#include "detection/highlight/HighlightLanguage.h"
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

TEST(HighlightLanguageTest, ScriptNamesAreLowerCasedRawValuesExceptTheSevenTheScriptKnowsOtherwise)
{
    struct Case
    {
        HighlightLanguage language;
        const char *scriptName;
    };
    const Case cases[] = {
        { HighlightLanguage::cPlusPlus, "cpp" },
        { HighlightLanguage::latex, "tex" },
        { HighlightLanguage::phpTemplate, "phptemp" },
        { HighlightLanguage::protocolBuffers, "protobuf" },
        { HighlightLanguage::pythonRepl, "python-repl" },
        { HighlightLanguage::visualBasic, "vbnet" },
        { HighlightLanguage::webAssembly, "webass" },
        { HighlightLanguage::appleScript, "applescript" },
        { HighlightLanguage::cSharp, "csharp" },
        { HighlightLanguage::graphQL, "graphql" },
        { HighlightLanguage::postgreSQL, "postgresql" },
        { HighlightLanguage::objectiveC, "objectivec" },
        { HighlightLanguage::python, "python" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(HighlightLanguages::scriptName(c.language), QString::fromUtf8(c.scriptName));
        EXPECT_EQ(HighlightMode::language(c.language).scriptLanguageName(), QString::fromUtf8(c.scriptName));
    }
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
    EXPECT_EQ(qHash(HighlightMode::language(HighlightLanguage::go)),
        qHash(HighlightMode::language(HighlightLanguage::go)));
    EXPECT_EQ(HighlightMode(), HighlightMode::automatic());
    EXPECT_TRUE(HighlightMode::languageIgnoreIllegal(HighlightLanguage::go).ignoresIllegals());
    EXPECT_FALSE(HighlightMode::language(HighlightLanguage::go).ignoresIllegals());
    EXPECT_EQ(HighlightMode::languageAlias(QStringLiteral("Python")).scriptLanguageName(),
        QStringLiteral("Python"));
}
