#include "panel/EmojiText.h"

#include <gtest/gtest.h>

#include <QString>

TEST(EmojiTextTest, EmojiPresentationCountsPlainDigitsDoNot)
{
    const struct
    {
        const char *text;
        bool emoji;
    } cases[] = {
        { "", false }, { "abc", false }, { "a1", false }, // digits only carry the wider Emoji property
        { "#*0123456789", false }, { "\u00A9 2024", false }, // © is drawn as text unless asked otherwise
        { "\u00A9\uFE0F", true }, // ... and as an emoji when asked
        { "\u2764", false }, { "\u2764\uFE0F", true }, { "1\uFE0F\u20E3", true }, // keycap one
        { "#\u20E3", true }, { "x\u20E3", false }, { "\u231A", true }, // watch: emoji by default
        { "hello 😀", true }, { "👍🏽", true }, { "🇩🇪", true }, { "\u5B57", false }, // CJK
        { "\uFE0F", false }, // a lone selector
        { "\xED\xA0\xBD", false }, // a lone high surrogate decodes to a replacement character
    };
    for (const auto &c : cases)
        EXPECT_EQ(containsEmoji(QString::fromUtf8(c.text)), c.emoji) << c.text;
}
