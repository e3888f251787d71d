#include "detection/heuristics/RequiredLiterals.h"

#include <gtest/gtest.h>

TEST(RequiredLiteralsTest, ReadsOnlyWhatEveryMatchMustContain)
{
    struct Case
    {
        const char *pattern;
        QStringList expected;
    };
    const Case cases[] = {
        { R"(\bguard\s+(let|var)\b)", { "guard" } }, { R"(\b(grep|sed|awk)\b)", { "grep", "sed", "awk" } },
        { R"(#\[(derive|allow|cfg|test)\b)", { "derive", "allow", "cfg", "test" } },
        { R"(\$this->)", { "$this->" } }, { R"(\"use strict\")", { "\"use strict\"" } },
        { R"((?i)\bSELECT\s+.+\s+FROM\b)", { "SELECT" } },
        { R"(\bas\??\s+\w+)", { "as" } }, // the optional "?" is not part of it
        { R"(\d{4}-\d{2}-\d{2})", { "-" } }, // counted quantifiers are skipped whole
        { R"([abc]+def)", { "def" } }, { R"((ab)?cd)", { "cd" } }, { R"(ab{2}c)", { "a" } },
        { R"(x(?=abc)y)", { "x" } }, // a look-ahead asserts, it adds nothing
        { R"(\bfor\s+\w+\s+(in|∈)\s+)", { "for" } }, { R"(===|!==)", {} }, // top-level alternation
        { R"((a|b)+)", {} }, { R"(\w{3,})", {} }, { R"((?s)abc)", {} }, // inline options change the reading
        { R"(\x41bc)", {} }, // escapes with arguments
        { R"(\1abc)", {} }, { R"((?i)\bcafé\b)", {} }, // non-ASCII without case
    };
    for (const Case &c : cases) {
        const QString pattern = QString::fromUtf8(c.pattern);
        EXPECT_EQ(RequiredLiterals::fromPattern(pattern).alternatives(), c.expected) << c.pattern;
    }
}

TEST(RequiredLiteralsTest, CaseInsensitivePatternsKeepOnlyAsciiLiterals)
{
    EXPECT_EQ(
        RequiredLiterals::fromPattern(u"\\bcafé\\b").alternatives(), QStringList { QStringLiteral("café") });
    EXPECT_TRUE(RequiredLiterals::fromPattern(u"\\bcafé\\b", true).isEmpty());
    EXPECT_EQ(RequiredLiterals::fromPattern(u"\\border\\b", true).alternatives(),
        QStringList { QStringLiteral("order") });
}
