#pragma once

#include <QString>
#include <QStringView>

// The start of a text as much of it as a row or a preview draws: however long the text and
// however it is made up, what is laid out from it stays small. Laying out a text costs time and
// memory in proportion to all of it, not to what is seen: two million short lines, or one
// letter under a hundred thousand combining accents (a single character to the eye), held the
// panel up for most of a second.
namespace TextExcerpt {

// A user-perceived character is drawn from at most this many UTF-16 units. Every real one fits
// (an emoji family, a flag of tag characters, a syllable with its vowel signs); a letter under
// more accents keeps its first ones, which already cover it and each other.
inline constexpr qsizetype maxCharacterUnits = 32;
// No more of a text than this many UTF-16 units is looked at.
inline constexpr qsizetype maxLookedAt = 65'536;

struct Excerpt
{
    QString text;
    // Whether anything of the text was left out: lines, characters or accents.
    bool cut = false;
};

// The first characters of text: at most maxLines lines, every line break (CR LF as one) written
// as "\n"; at most maxUnits UTF-16 units in all, whole characters only; each character kept to
// maxCharacterUnits units.
Excerpt make(QStringView text, int maxLines, qsizetype maxUnits);

} // namespace TextExcerpt
