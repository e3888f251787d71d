#pragma once

// Text helpers shared by the colour reader, the colour writer and the colour type. Numbers
// are read and written without the process locale: a German desktop must neither change
// what "0.5" means nor write "0,5".

#include "enrichment/ColorFormat.h"

#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <optional>

namespace ColorText {

bool isHexDigit(QChar character);

// Number of user-perceived characters (grapheme clusters).
qsizetype characterCount(QStringView text);

// Reads a hexadecimal number the way a text scanner does: skips leading whitespace, takes an
// optional "0x" and then the longest run of hex digits, ignoring the rest. Nothing when no
// digit is found; saturates instead of overflowing.
std::optional<quint64> scanHexNumber(QStringView text);

// The components of hex digits after the "#": six characters are RRGGBB, eight RRGGBBAA.
std::optional<ColorFormatter::RGBAComponents> componentsFromHexDigits(QStringView digits);

// A decimal number that must fill the whole text ("5.", ".5", "-1"); nothing for an empty,
// partial or non-finite reading.
std::optional<double> readNumber(QStringView text);

// A non-negative integer in base 10 or 16 filling the whole text; nothing on overflow.
std::optional<qint64> readInteger(QStringView text, int base);

// A channel as a byte: the fraction kept within 0...1, times 255, rounded half away from
// zero. Not-a-number gives 0.
int byteFromFraction(double fraction);
// The same for a value already on the 0...255 scale.
int byteFromScaled(double value);
// Truncating instead of rounding.
int truncatedByteFromFraction(double fraction);

// "#RRGGBB" (upper-case).
QString hexRGB(int red, int green, int blue);
// Appends a byte as two upper-case hex digits.
void appendHexByte(QString &text, int byte);

// The match of a notation's pattern over the whole text, or nothing (also when the pattern
// did not compile).
std::optional<QRegularExpressionMatch> matchNotation(
    const std::optional<QRegularExpression> &expression, QStringView text);

// "none", in any letter case: the CSS keyword for a missing component.
bool isNone(QStringView text);

// A component that may be "none" (0) or a number.
std::optional<double> readNumberOrNone(QStringView text);

} // namespace ColorText
