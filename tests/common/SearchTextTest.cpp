#include "common/SearchText.h"

#include <gtest/gtest.h>

TEST(SearchTextTest, FindsWhatTheTextHoldsOneByteACharacterWhereLatin1HasEveryCharacter)
{
    const struct
    {
        const char *text;
        const char *query;
        bool found;
        bool latin1; // held one byte a character
    } cases[] = {
        { "meeting at ten", "at t", true, true },
        { "meeting at ten", "", true, true },
        { "meeting at ten", "eleven", false, true },
        { "crème brûlée ÿ", "brûlée ÿ", true, true },
        { "crème brûlée", "brûlée€", false, true },
        { "5 € ÿ", "€", true, false },
        { "5 € ÿ", "5 € ÿ", true, false },
        { "ā", "ā", true, false }, // U+0101, the first character past Latin-1
        { "привет мир", "мир", true, false },
        { "привет world", "world", true, false },
        { "", "", true, true },
        // Texts of more than one block of 64 characters, the one character past Latin-1 in the
        // first block, or after the last whole one.
        { "ā and then a long line of plain words that runs past the first sixty-four characters",
            "plain words", true, false },
        { "a long line of plain words that runs past the first sixty-four characters, and ÿ then ā",
            "ÿ then ā", true, false },
        { "a long line of plain words that runs past the first sixty-four characters, and then ÿ", "then ÿ",
            true, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        const SearchText search(text);
        EXPECT_EQ(search.contains(SearchText::Query(QString::fromUtf8(c.query))), c.found) << c.query;
        EXPECT_EQ(search.isLatin1(), c.latin1);
        EXPECT_EQ(search.toString(), text);
    }
}
