#include "model/HighlightTheme.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(HighlightThemeTest, ThirtyThemesFoundByTheirExactDisplayName)
{
    const QList<HighlightTheme> &all = HighlightThemes::allCases();
    ASSERT_EQ(all.size(), 30);
    EXPECT_EQ(all.first(), HighlightTheme::a11y);
    EXPECT_EQ(all.last(), HighlightTheme::xcode);
    QSet<QString> names;
    for (HighlightTheme theme : all) {
        const QString name = HighlightThemes::rawValue(theme);
        names.insert(name);
        EXPECT_EQ(HighlightThemes::fromRawValue(name), theme) << name.toStdString();
        EXPECT_EQ(HighlightThemes::id(theme), name);
    }
    EXPECT_EQ(names.size(), all.size()) << "two themes share a name";

    struct Case
    {
        const char *name;
        std::optional<HighlightTheme> expected;
    };
    const Case cases[] = {
        { "GitHub", HighlightTheme::github },
        { "github", std::nullopt },
        { "GITHUB", std::nullopt },
        { "a11y", HighlightTheme::a11y },
        { "A11y", std::nullopt },
        { "Atom One", HighlightTheme::atomOne },
        { "AtomOne", std::nullopt },
        { "Synth Midnight Terminal", HighlightTheme::synthMidnightTerminal },
        { "QT Creator", HighlightTheme::qtcreator },
        { "iA", HighlightTheme::ia },
        { "", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(HighlightThemes::fromRawValue(QString::fromUtf8(c.name)), c.expected) << c.name;
}
