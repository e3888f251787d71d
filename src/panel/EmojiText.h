#pragma once

#include <QStringView>

// Whether the text shows an emoji: a character drawn as an emoji by default
// (Emoji_Presentation), an emoji character asked for in emoji style (followed by U+FE0F), or a
// keycap (a digit, "#" or "*" with U+20E3). Plain digits, "#" and "*" are not emoji here:
// they only carry the wider Emoji property, which would make every number an emoji.
bool containsEmoji(QStringView text);
