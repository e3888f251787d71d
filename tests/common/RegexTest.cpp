#include "common/Regex.h"

#include <gtest/gtest.h>

TEST(RegexTest, OptionsAndUnicodeClasses)
{
    struct Case
    {
        QString pattern;
        int options;
        QString subject;
        bool matches;
    };
    const std::vector<Case> cases = {
        { QStringLiteral("^rgb$"), RegexOptions::none, QStringLiteral("RGB"), false },
        { QStringLiteral("^rgb$"), RegexOptions::caseInsensitive, QStringLiteral("RGB"), true },
        // Digits and spaces of every script, as in the desktop's other text tools.
        { QStringLiteral("^\\d$"), RegexOptions::none, QStringLiteral("\u0663"), true },
        { QStringLiteral("^a\\sb$"), RegexOptions::none, QStringLiteral("a\u00a0b"), true },
        { QStringLiteral("^a\\sb$"), RegexOptions::none, QStringLiteral("a_b"), false },
    };
    for (const Case &c : cases) {
        const std::optional<QRegularExpression> expression = makeRegex(c.pattern, c.options);
        ASSERT_TRUE(expression) << c.pattern.toStdString();
        EXPECT_EQ(expression->match(c.subject).hasMatch(), c.matches)
            << c.pattern.toStdString() << " on " << c.subject.toStdString();
    }
}

TEST(RegexTest, InvalidPatternGivesNothing)
{
    EXPECT_EQ(makeRegex(QStringLiteral("(unclosed"), RegexOptions::none), std::nullopt);
    EXPECT_EQ(makeRegex(QStringLiteral("[z-a]"), RegexOptions::caseInsensitive), std::nullopt);
}
