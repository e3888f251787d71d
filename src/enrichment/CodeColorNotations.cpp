// Colour constructors as they appear in source code: SwiftUI, UIKit/AppKit, Flutter and
// three.js. Letter case is exact, as the compilers of those languages see it.
#include "common/Regex.h"
#include "enrichment/ColorNotations.h"
#include "enrichment/ColorText_p.h"

#include <array>

namespace ColorFormatter {

namespace {

using ColorText::byteFromFraction;

std::optional<QRegularExpression> codeRegex(const QString &pattern)
{
    return makeRegex(pattern, RegexOptions::none);
}

// A fraction argument (channel, white, opacity, alpha) as a byte.
std::optional<int> fractionByte(QStringView text)
{
    const std::optional<double> value = ColorText::readNumber(text);
    if (!value)
        return std::nullopt;
    return byteFromFraction(*value);
}

std::optional<std::array<int, 3>> fractionBytes(const QRegularExpressionMatch &match, int firstGroup)
{
    std::array<int, 3> bytes {};
    for (int i = 0; i < 3; ++i) {
        const std::optional<int> byte = fractionByte(match.capturedView(firstGroup + i));
        if (!byte)
            return std::nullopt;
        bytes[i] = *byte;
    }
    return bytes;
}

std::optional<std::array<double, 3>> numbers(const QRegularExpressionMatch &match, int firstGroup)
{
    std::array<double, 3> values {};
    for (int i = 0; i < 3; ++i) {
        const std::optional<double> value = ColorText::readNumber(match.capturedView(firstGroup + i));
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    return values;
}

QString hexRGB(const std::array<int, 3> &bytes)
{
    return ColorText::hexRGB(bytes[0], bytes[1], bytes[2]);
}

// SwiftUI writes the opacity whenever it was given and reads (even when opaque).
ParseResult swiftUIResult(QString hex, const QRegularExpressionMatch &match, int opacityGroup)
{
    if (match.hasCaptured(opacityGroup)) {
        if (const std::optional<int> opacity = fractionByte(match.capturedView(opacityGroup)))
            ColorText::appendHexByte(hex, *opacity);
    }
    return { std::move(hex), QStringLiteral("swiftui") };
}

// UIColor and NSColor require an alpha; only a translucent one is kept.
Parsed platformResult(QString hex, QStringView text, const QRegularExpressionMatch &match, int alphaGroup)
{
    const std::optional<int> alpha = fractionByte(match.capturedView(alphaGroup));
    if (!alpha)
        return std::nullopt;
    if (*alpha < 255)
        ColorText::appendHexByte(hex, *alpha);
    return ParseResult { std::move(hex),
        text.startsWith(u"UI") ? QStringLiteral("uicolor") : QStringLiteral("nscolor") };
}

} // namespace

Parsed parseSwiftUIColorRGB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^Color\s*\(\s*(?:\.(sRGB|displayP3)\s*,\s*)?red:\s*([\d.]+)\s*,\s*green:\s*([\d.]+)\s*,\s*blue:\s*([\d.]+)(?:\s*,\s*opacity:\s*([\d.]+))?\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    // Display P3 values are taken as sRGB, as the pasted colour is meant to look.
    const auto bytes = fractionBytes(*match, 2);
    if (!bytes)
        return std::nullopt;
    return swiftUIResult(hexRGB(*bytes), *match, 5);
}

Parsed parseSwiftUIColorHSB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^Color\s*\(\s*hue:\s*([\d.]+)\s*,\s*saturation:\s*([\d.]+)\s*,\s*brightness:\s*([\d.]+)(?:\s*,\s*opacity:\s*([\d.]+))?\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const auto hsb = numbers(*match, 1);
    if (!hsb)
        return std::nullopt;
    return swiftUIResult(hsbToHex((*hsb)[0], (*hsb)[1], (*hsb)[2]), *match, 4);
}

Parsed parseSwiftUIColorWhite(QStringView text)
{
    static const auto expression = codeRegex(
        QStringLiteral(R"re(^Color\s*\(\s*white:\s*([\d.]+)(?:\s*,\s*opacity:\s*([\d.]+))?\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const std::optional<int> white = fractionByte(match->capturedView(1));
    if (!white)
        return std::nullopt;
    return swiftUIResult(ColorText::hexRGB(*white, *white, *white), *match, 2);
}

Parsed parsePlatformColorRGB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^(?:UI|NS)Color\s*\(\s*red:\s*([\d.]+)\s*,\s*green:\s*([\d.]+)\s*,\s*blue:\s*([\d.]+)\s*,\s*alpha:\s*([\d.]+)\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const auto bytes = fractionBytes(*match, 1);
    if (!bytes)
        return std::nullopt;
    return platformResult(hexRGB(*bytes), text, *match, 4);
}

Parsed parsePlatformColorWhite(QStringView text)
{
    static const auto expression = codeRegex(
        QStringLiteral(R"re(^(?:UI|NS)Color\s*\(\s*white:\s*([\d.]+)\s*,\s*alpha:\s*([\d.]+)\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const std::optional<int> white = fractionByte(match->capturedView(1));
    if (!white)
        return std::nullopt;
    return platformResult(ColorText::hexRGB(*white, *white, *white), text, *match, 2);
}

Parsed parsePlatformColorHSB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^(?:UI|NS)Color\s*\(\s*hue:\s*([\d.]+)\s*,\s*saturation:\s*([\d.]+)\s*,\s*brightness:\s*([\d.]+)\s*,\s*alpha:\s*([\d.]+)\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const auto hsb = numbers(*match, 1);
    if (!hsb)
        return std::nullopt;
    return platformResult(hsbToHex((*hsb)[0], (*hsb)[1], (*hsb)[2]), text, *match, 4);
}

Parsed parseFlutterARGB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^Color\.fromARGB\s*\(\s*([\dxA-Fa-f]+)\s*,\s*([\dxA-Fa-f]+)\s*,\s*([\dxA-Fa-f]+)\s*,\s*([\dxA-Fa-f]+)\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::array<int, 4> argb {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint64> value = parseFlutterComponent(match->capturedView(1 + i));
        if (!value || *value >= 256)
            return std::nullopt;
        argb[i] = int(*value);
    }
    QString hex = ColorText::hexRGB(argb[1], argb[2], argb[3]);
    if (argb[0] != 255)
        ColorText::appendHexByte(hex, argb[0]);
    return ParseResult { std::move(hex), QStringLiteral("flutter-argb") };
}

Parsed parseFlutterRGBO(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^Color\.fromRGBO\s*\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*([\d.]+)\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::array<int, 3> rgb {};
    for (int i = 0; i < 3; ++i) {
        const std::optional<qint64> value = ColorText::readInteger(match->capturedView(1 + i), 10);
        if (!value || *value >= 256)
            return std::nullopt;
        rgb[i] = int(*value);
    }
    const std::optional<int> opacity = fractionByte(match->capturedView(4));
    if (!opacity)
        return std::nullopt;
    QString hex = hexRGB(rgb);
    if (*opacity < 255)
        ColorText::appendHexByte(hex, *opacity);
    return ParseResult { std::move(hex), QStringLiteral("flutter-rgbo") };
}

Parsed parseThreeColorHex(QStringView text)
{
    static const auto expression
        = codeRegex(QStringLiteral(R"re(^(?:new\s+)?THREE\.Color\s*\(\s*(0x[A-Fa-f0-9]{6})\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    return ParseResult { u'#' + match->capturedView(1).mid(2).toString().toUpper(), QStringLiteral("three") };
}

Parsed parseThreeColorRGB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^(?:new\s+)?THREE\.Color\s*\(\s*([\d.]+)\s*,\s*([\d.]+)\s*,\s*([\d.]+)\s*,?\s*\)$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const auto bytes = fractionBytes(*match, 1);
    if (!bytes)
        return std::nullopt;
    return ParseResult { hexRGB(*bytes), QStringLiteral("three") };
}

std::optional<qint64> parseFlutterComponent(QStringView text)
{
    if (text.startsWith(u"0x", Qt::CaseInsensitive))
        return ColorText::readInteger(text.mid(2), 16);
    return ColorText::readInteger(text, 10);
}

} // namespace ColorFormatter
