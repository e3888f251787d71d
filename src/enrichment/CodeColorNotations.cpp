// Colour constructors as they appear in source code: SwiftUI, UIKit/AppKit, Flutter and
// three.js. Letter case is exact, as the compilers of those languages see it.
#include "common/Regex.h"
#include "enrichment/ColorNotations.h"
#include "enrichment/ColorText_p.h"

#include <array>

namespace ColorFormatter {

namespace {

using ColorText::byteFromFraction;
using Match = QRegularExpressionMatch;

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

// Readers of a constructor's colour arguments, giving "#RRGGBB" or nothing.

auto rgbFractions(int firstGroup)
{
    return [firstGroup](const Match &match) -> std::optional<QString> {
        std::array<int, 3> bytes {};
        for (int i = 0; i < 3; ++i) {
            const std::optional<int> byte = fractionByte(match.capturedView(firstGroup + i));
            if (!byte)
                return std::nullopt;
            bytes[i] = *byte;
        }
        return ColorText::hexRGB(bytes[0], bytes[1], bytes[2]);
    };
}

auto whiteFraction(int group)
{
    return [group](const Match &match) -> std::optional<QString> {
        const std::optional<int> white = fractionByte(match.capturedView(group));
        if (!white)
            return std::nullopt;
        return ColorText::hexRGB(*white, *white, *white);
    };
}

// Hue, saturation and brightness are taken as written; the converter clamps the channels.
auto hsbNumbers(int firstGroup)
{
    return [firstGroup](const Match &match) -> std::optional<QString> {
        std::array<double, 3> hsb {};
        for (int i = 0; i < 3; ++i) {
            const std::optional<double> value = ColorText::readNumber(match.capturedView(firstGroup + i));
            if (!value)
                return std::nullopt;
            hsb[i] = *value;
        }
        return hsbToHex(hsb[0], hsb[1], hsb[2]);
    };
}

// Finishers: the alpha rule and the label of each family.

// SwiftUI writes the opacity whenever it was given and reads (even when opaque).
auto swiftUIOpacity(int group)
{
    return [group](QString hex, const Match &match, QStringView) -> Parsed {
        if (match.hasCaptured(group)) {
            if (const std::optional<int> opacity = fractionByte(match.capturedView(group)))
                ColorText::appendHexByte(hex, *opacity);
        }
        return ParseResult { std::move(hex), QStringLiteral("swiftui") };
    };
}

// UIColor and NSColor require an alpha; only a translucent one is kept.
auto platformAlpha(int group)
{
    return [group](QString hex, const Match &match, QStringView text) -> Parsed {
        const std::optional<int> alpha = fractionByte(match.capturedView(group));
        if (!alpha)
            return std::nullopt;
        if (*alpha < 255)
            ColorText::appendHexByte(hex, *alpha);
        return ParseResult { std::move(hex),
            text.startsWith(u"UI") ? QStringLiteral("uicolor") : QStringLiteral("nscolor") };
    };
}

auto opaque(const QString &label)
{
    return [label](QString hex, const Match &, QStringView) -> Parsed {
        return ParseResult { std::move(hex), label };
    };
}

template <typename Reader, typename Finisher>
Parsed parseConstructor(
    const std::optional<QRegularExpression> &expression, QStringView text, Reader read, Finisher finish)
{
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::optional<QString> hex = read(*match);
    if (!hex)
        return std::nullopt;
    return finish(std::move(*hex), *match, text);
}

} // namespace

Parsed parseSwiftUIColorRGB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^Color\s*\(\s*(?:\.(sRGB|displayP3)\s*,\s*)?red:\s*([\d.]+)\s*,\s*green:\s*([\d.]+)\s*,\s*blue:\s*([\d.]+)(?:\s*,\s*opacity:\s*([\d.]+))?\s*,?\s*\)$)re"));
    // Display P3 values are taken as sRGB, as the pasted colour is meant to look.
    return parseConstructor(expression, text, rgbFractions(2), swiftUIOpacity(5));
}

Parsed parseSwiftUIColorHSB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^Color\s*\(\s*hue:\s*([\d.]+)\s*,\s*saturation:\s*([\d.]+)\s*,\s*brightness:\s*([\d.]+)(?:\s*,\s*opacity:\s*([\d.]+))?\s*,?\s*\)$)re"));
    return parseConstructor(expression, text, hsbNumbers(1), swiftUIOpacity(4));
}

Parsed parseSwiftUIColorWhite(QStringView text)
{
    static const auto expression = codeRegex(
        QStringLiteral(R"re(^Color\s*\(\s*white:\s*([\d.]+)(?:\s*,\s*opacity:\s*([\d.]+))?\s*,?\s*\)$)re"));
    return parseConstructor(expression, text, whiteFraction(1), swiftUIOpacity(2));
}

Parsed parsePlatformColorRGB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^(?:UI|NS)Color\s*\(\s*red:\s*([\d.]+)\s*,\s*green:\s*([\d.]+)\s*,\s*blue:\s*([\d.]+)\s*,\s*alpha:\s*([\d.]+)\s*,?\s*\)$)re"));
    return parseConstructor(expression, text, rgbFractions(1), platformAlpha(4));
}

Parsed parsePlatformColorWhite(QStringView text)
{
    static const auto expression = codeRegex(
        QStringLiteral(R"re(^(?:UI|NS)Color\s*\(\s*white:\s*([\d.]+)\s*,\s*alpha:\s*([\d.]+)\s*,?\s*\)$)re"));
    return parseConstructor(expression, text, whiteFraction(1), platformAlpha(2));
}

Parsed parsePlatformColorHSB(QStringView text)
{
    static const auto expression = codeRegex(QStringLiteral(
        R"re(^(?:UI|NS)Color\s*\(\s*hue:\s*([\d.]+)\s*,\s*saturation:\s*([\d.]+)\s*,\s*brightness:\s*([\d.]+)\s*,\s*alpha:\s*([\d.]+)\s*,?\s*\)$)re"));
    return parseConstructor(expression, text, hsbNumbers(1), platformAlpha(4));
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
    QString hex = ColorText::hexRGB(rgb[0], rgb[1], rgb[2]);
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
    return parseConstructor(expression, text, rgbFractions(1), opaque(QStringLiteral("three")));
}

std::optional<qint64> parseFlutterComponent(QStringView text)
{
    if (text.startsWith(u"0x", Qt::CaseInsensitive))
        return ColorText::readInteger(text.mid(2), 16);
    return ColorText::readInteger(text, 10);
}

} // namespace ColorFormatter
