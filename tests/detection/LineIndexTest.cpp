#include "detection/heuristics/LineIndex.h"

#include <gtest/gtest.h>

namespace {

LineIndex::LineSet lineSet(std::initializer_list<int> lines)
{
    LineIndex::LineSet set;
    for (int line : lines)
        set.set(line);
    return set;
}

} // namespace

TEST(LineIndexTest, FindsTheLinesThatMayHoldAText)
{
    LineIndex index;
    const QStringList lines { QStringLiteral("SELECT name FROM users"),
        QStringLiteral("  for item in items:"), QStringLiteral("console.log(x);"), QString(),
        QStringLiteral("\u212Aey = 1"), QStringLiteral("bun ut") };
    for (qsizetype i = 0; i < lines.size(); ++i)
        index.addLine(i, lines[i]);

    struct Case
    {
        const char *query;
        LineIndex::LineSet expected;
    };
    const Case cases[] = {
        { "select", lineSet({ 0 }) }, // case folded
        { "FOR", lineSet({ 1 }) },
        { "o", lineSet({ 0, 1, 2 }) }, // a single character
        { ";", lineSet({ 2 }) },
        { "key", lineSet({ 4 }) }, // KELVIN SIGN folds to k, as in case-insensitive matching
        { "but",
            lineSet({ 5 }) }, // all pairs present ("bu", "ut") though "but" is not: a wider answer is allowed
        { "python", lineSet({}) },
        { "", lineSet({ 0, 1, 2, 3, 4, 5 }) },
    };
    for (const Case &c : cases)
        EXPECT_EQ(index.linesWith(QString::fromUtf8(c.query)), c.expected) << c.query;

    EXPECT_EQ(index.linesWithAny({ QStringLiteral("users"), QStringLiteral("console") }), lineSet({ 0, 2 }));
    EXPECT_EQ(index.linesWithAny({}), lineSet({ 0, 1, 2, 3, 4, 5 }));
}
