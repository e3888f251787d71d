#pragma once

// Texts far too long or too dense to lay out whole, as a person may copy them: a generated list
// of one-letter lines, one letter under thousands of combining accents, megabytes of base64.

#include <QByteArray>
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

// `bytes` pseudo-random bytes in base64, in lines of 76 each ended by a line feed, as `base64`
// writes them (2,300,000 bytes give some 3 MB of text).
inline QByteArray base64Lines(qsizetype bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &byte : data) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + '\n';
    return lines;
}
