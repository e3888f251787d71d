#pragma once

// Texts far too long or too dense to lay out whole, as a person may copy them: a generated list
// of one-letter lines, one letter under thousands of combining accents.

#include <QString>

// `count` lines of one letter each, each ended by a line feed.
inline QString oneLetterLines(int count, QChar letter)
{
    QString text;
    text.reserve(2 * qsizetype(count));
    for (int i = 0; i < count; ++i) {
        text += letter;
        text += QLatin1Char('\n');
    }
    return text;
}

// A letter under `count` combining accents, taken in turn from four different ones (grave,
// acute, circumflex, tilde): one character to the eye however many.
inline QString accentedLetter(QChar letter, int count)
{
    QString text(letter);
    text.reserve(1 + qsizetype(count));
    for (int i = 0; i < count; ++i)
        text += QChar(0x0300 + i % 4);
    return text;
}
