#pragma once

// Texts that a script fills a clipboard history with, each with its own number: an item
// line, a long line of an item number and lorem ipsum, and a kilobyte of numbered
// lorem-ipsum pieces. None of them is code. Header-only, for the tests and the benchmarks
// alike.

#include <QString>

namespace NumberedTestTexts {

// "bulk item number 071"
inline QString itemLine(int number)
{
    return QStringLiteral("bulk item number %1").arg(number % 1000, 3, 10, QLatin1Char('0'));
}

// "big-history item 4998  lorem ipsum dolor sit amet ... tempor 4998"
inline QString historyLine(int number)
{
    return QStringLiteral(
        "big-history item %1  lorem ipsum dolor sit amet consectetur adipiscing elit sed do "
        "eiusmod tempor %1")
        .arg(number);
}

// About a kilobyte of "word01-001 lorem ipsum dolor sit" pieces, numbered by text and piece.
inline QString kilobyteText(int number)
{
    QString text;
    for (int piece = 1; text.size() < 1024; ++piece)
        text += QStringLiteral("word%1-%2 lorem ipsum dolor sit ")
                    .arg(number % 100, 2, 10, QLatin1Char('0'))
                    .arg(piece, 3, 10, QLatin1Char('0'));
    return text.trimmed();
}

} // namespace NumberedTestTexts
