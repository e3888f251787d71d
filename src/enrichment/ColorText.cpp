#include "enrichment/ColorText_p.h"

#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace ColorText {

namespace {

int hexValue(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'a' && unit <= u'f')
        return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return -1;
}

// The text as ASCII bytes; nothing when any character lies outside ASCII (no reader here
// accepts one, and from_chars works on bytes).
bool toAscii(QStringView text, QVarLengthArray<char, 64> &ascii)
{
    ascii.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x80)
            return false;
        ascii[i] = char(unit);
    }
    return true;
}

// Whether a decimal text that from_chars found out of range is too large (rather than too
// small, which reads as zero): some digit before the point is not 0.
bool isOverflow(const QVarLengthArray<char, 64> &ascii)
{
    for (char c : ascii) {
        if (c == '.')
            return false;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

} // namespace

bool isHexDigit(QChar character)
{
    return hexValue(character.unicode()) >= 0;
}

qsizetype characterCount(QStringView text)
{
    // Clusters only form around non-ASCII characters and CR LF.
    const bool simple = std::all_of(
        text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80 && c.unicode() != u'\r'; });
    if (simple)
        return text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

std::optional<quint64> scanHexNumber(QStringView text)
{
    qsizetype position = 0;
    while (position < text.size() && text[position].isSpace())
        ++position;
    // "0x" is a prefix only when a digit follows; otherwise its "0" is the number.
    if (position + 2 < text.size() && text[position] == u'0'
        && (text[position + 1] == u'x' || text[position + 1] == u'X')
        && hexValue(text[position + 2].unicode()) >= 0) {
        position += 2;
    }
    quint64 value = 0;
    bool found = false;
    for (; position < text.size(); ++position) {
        const int digit = hexValue(text[position].unicode());
        if (digit < 0)
            break;
        found = true;
        value = value > (std::numeric_limits<quint64>::max() >> 4) ? std::numeric_limits<quint64>::max()
                                                                   : (value << 4) | quint64(digit);
    }
    if (!found)
        return std::nullopt;
    return value;
}

std::optional<ColorFormatter::RGBAComponents> componentsFromHexDigits(QStringView digits)
{
    const qsizetype length = characterCount(digits);
    if (length != 6 && length != 8)
        return std::nullopt;
    const std::optional<quint64> value = scanHexNumber(digits);
    if (!value)
        return std::nullopt;
    const auto byte = [&](int shift) { return double((*value >> shift) & 0xFF) / 255.0; };
    if (length == 8)
        return ColorFormatter::RGBAComponents { byte(24), byte(16), byte(8), byte(0) };
    return ColorFormatter::RGBAComponents { byte(16), byte(8), byte(0), 1.0 };
}

std::optional<double> readNumber(QStringView text)
{
    QVarLengthArray<char, 64> ascii;
    if (text.isEmpty() || !toAscii(text, ascii))
        return std::nullopt;
    const char *end = ascii.data() + ascii.size();
    double value = 0;
    const auto [stop, error] = std::from_chars(ascii.data(), end, value, std::chars_format::general);
    if (stop != end)
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        if (isOverflow(ascii))
            return std::nullopt;
        return ascii.front() == '-' ? -0.0 : 0.0;
    }
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> readInteger(QStringView text, int base)
{
    QVarLengthArray<char, 64> ascii;
    if (text.isEmpty() || !toAscii(text, ascii) || ascii.front() == '-')
        return std::nullopt;
    const char *end = ascii.data() + ascii.size();
    qint64 value = 0;
    const auto [stop, error] = std::from_chars(ascii.data(), end, value, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

int byteFromScaled(double value)
{
    if (std::isnan(value))
        return 0;
    return int(std::clamp(std::round(value), 0.0, 255.0));
}

int byteFromFraction(double fraction)
{
    if (std::isnan(fraction))
        return 0;
    return byteFromScaled(std::clamp(fraction, 0.0, 1.0) * 255);
}

int truncatedByteFromFraction(double fraction)
{
    if (std::isnan(fraction))
        return 0;
    return int(std::clamp(fraction, 0.0, 1.0) * 255.0);
}

void appendHexByte(QString &text, int byte)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    byte = std::clamp(byte, 0, 255);
    text.append(QChar(digits[byte >> 4]));
    text.append(QChar(digits[byte & 0xF]));
}

QString hexRGB(int red, int green, int blue)
{
    QString hex;
    hex.reserve(9);
    hex.append(u'#');
    appendHexByte(hex, red);
    appendHexByte(hex, green);
    appendHexByte(hex, blue);
    return hex;
}

std::optional<QRegularExpressionMatch> matchNotation(
    const std::optional<QRegularExpression> &expression, QStringView text)
{
    if (!expression)
        return std::nullopt;
    QRegularExpressionMatch match = expression->match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match;
}

bool isNone(QStringView text)
{
    return text.compare(u"none", Qt::CaseInsensitive) == 0;
}

std::optional<double> readNumberOrNone(QStringView text)
{
    if (isNone(text))
        return 0.0;
    return readNumber(text);
}

} // namespace ColorText
