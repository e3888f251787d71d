// CSS rgb(), hsl(), hsb(), hwb(), cmyk() and device-cmyk(), with their converters to hex.
#include "common/Regex.h"
#include "enrichment/ColorNotations.h"
#include "enrichment/ColorText_p.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ColorFormatter {

namespace {

using Bytes = std::array<int, 3>;
using ColorText::byteFromFraction;

std::optional<QRegularExpression> cssRegex(const QString &pattern)
{
    return makeRegex(pattern, RegexOptions::caseInsensitive);
}

// A CSS alpha, when written, becomes the fourth byte (also when it is opaque).
ParseResult cssResult(QString hex, const QRegularExpressionMatch &match, int alphaGroup, const QString &label)
{
    if (match.hasCaptured(alphaGroup))
        ColorText::appendHexByte(hex, byteFromFraction(parseAlpha(match.capturedView(alphaGroup))));
    return { std::move(hex), label };
}

Parsed parseRGB(const std::optional<QRegularExpression> &expression, QStringView text)
{
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    Bytes bytes {};
    for (int channel = 0; channel < 3; ++channel) {
        const int group = 1 + 2 * channel;
        const bool percent = !match->capturedView(group + 1).isEmpty();
        const std::optional<double> value = parseColorComponent(match->capturedView(group), percent, 255);
        if (!value || *value > 255)
            return std::nullopt;
        bytes[channel] = ColorText::byteFromScaled(*value);
    }
    return cssResult(ColorText::hexRGB(bytes[0], bytes[1], bytes[2]), *match, 7, QStringLiteral("rgb"));
}

// hsl(), hsb() and hwb(): a hue with its unit, two values that are always percentages
// ("%" or not) and an optional alpha.
using HueConverter = QString (*)(double hueDegrees, double second, double third);

Parsed parseHueNotation(const std::optional<QRegularExpression> &expression, QStringView text,
    HueConverter converter, const QString &label)
{
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const std::optional<double> hue = parseHue(match->capturedView(1), match->capturedView(2));
    const std::optional<double> second = ColorText::readNumberOrNone(match->capturedView(3));
    const std::optional<double> third = ColorText::readNumberOrNone(match->capturedView(4));
    if (!hue || !second || !third)
        return std::nullopt;
    return cssResult(converter(*hue, *second / 100, *third / 100), *match, 5, label);
}

Bytes hslToBytes(double hueDegrees, double saturation, double lightness)
{
    const double hue = hueDegrees / 360;
    if (saturation == 0) {
        const int grey = byteFromFraction(lightness);
        return { grey, grey, grey };
    }
    const double q
        = lightness < 0.5 ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
    const double p = 2 * lightness - q;
    return {
        byteFromFraction(hueToChannel(p, q, hue + 0.3333333333333333)),
        byteFromFraction(hueToChannel(p, q, hue)),
        byteFromFraction(hueToChannel(p, q, hue - 0.3333333333333333)),
    };
}

QString cmykSeparatedPattern(const QString &head, const QString &component, const QString &tail)
{
    const QString separator = QStringLiteral(R"re((?:\s*,\s*|\s+))re");
    return head + component + separator + component + separator + component + separator + component + tail;
}

} // namespace

Parsed parseRGBComma(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^rgba?\s*\(\s*([\d.]+|none)(%?)\s*,\s*([\d.]+|none)(%?)\s*,\s*([\d.]+|none)(%?)\s*(?:,\s*([\d.]+%?|none))?\s*,?\s*\);?$)re"));
    return parseRGB(expression, text);
}

Parsed parseRGBSpace(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^rgba?\s*\(\s*([\d.]+|none)(%?)\s+([\d.]+|none)(%?)\s+([\d.]+|none)(%?)\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    return parseRGB(expression, text);
}

Parsed parseHSLComma(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^hsla?\s*\(\s*(\d{1,3}(?:\.\d+)?|none)(deg|rad|grad|turn)?\s*,\s*(\d{1,3}(?:\.\d+)?|none)%?\s*,\s*(\d{1,3}(?:\.\d+)?|none)%?\s*(?:,\s*([\d.]+%?|none))?\s*,?\s*\);?$)re"));
    return parseHueNotation(expression, text, hslToHex, QStringLiteral("hsl"));
}

Parsed parseHSLSpace(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^hsla?\s*\(\s*(\d{1,3}(?:\.\d+)?|none)(deg|rad|grad|turn)?\s+(\d{1,3}(?:\.\d+)?|none)%?\s+(\d{1,3}(?:\.\d+)?|none)%?\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    return parseHueNotation(expression, text, hslToHex, QStringLiteral("hsl"));
}

Parsed parseHSB(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^hsba?\s*\(\s*(\d{1,3}(?:\.\d+)?|none)(deg|rad|grad|turn)?\s*,\s*(\d{1,3}(?:\.\d+)?|none)%?\s*,\s*(\d{1,3}(?:\.\d+)?|none)%?\s*(?:,\s*([\d.]+%?|none))?\s*,?\s*\);?$)re"));
    const HueConverter hsbFromDegrees = [](double hue, double saturation, double brightness) {
        return hsbToHex(hue / 360, saturation, brightness);
    };
    return parseHueNotation(expression, text, hsbFromDegrees, QStringLiteral("hsb"));
}

Parsed parseHWB(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^hwb\s*\(\s*(\d{1,3}(?:\.\d+)?|none)(deg|rad|grad|turn)?\s+(\d{1,3}(?:\.\d+)?|none)%?\s+(\d{1,3}(?:\.\d+)?|none)%?\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    return parseHueNotation(expression, text, hwbToHex, QStringLiteral("hwb"));
}

Parsed parseCMYK(QStringView text)
{
    static const auto expression = cssRegex(cmykSeparatedPattern(QStringLiteral(R"re(^cmyk\s*\(\s*)re"),
        QStringLiteral(R"re((\d{1,3}(?:\.\d+)?)%?)re"),
        QStringLiteral(R"re((?:\s*,\s*([\d.]+%?)|\s*/\s*([\d.]+%?|none))?\s*\);?$)re")));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::array<double, 4> values {};
    bool anyAboveOne = false;
    for (int i = 0; i < 4; ++i) {
        const std::optional<double> value = ColorText::readNumber(match->capturedView(1 + i));
        if (!value)
            return std::nullopt;
        values[i] = *value;
        anyAboveOne = anyAboveOne || *value > 1;
    }
    // "cmyk(0, 1, 1, 0)" is in fractions, "cmyk(0, 100, 100, 0)" and any "%" in percent.
    if (text.contains(u'%') || anyAboveOne) {
        for (double &value : values)
            value /= 100;
    }
    const int alphaGroup = match->hasCaptured(5) ? 5 : 6;
    return cssResult(
        cmykToHex(values[0], values[1], values[2], values[3]), *match, alphaGroup, QStringLiteral("cmyk"));
}

Parsed parseDeviceCMYK(QStringView text)
{
    static const auto expression = cssRegex(cmykSeparatedPattern(
        QStringLiteral(R"re(^device-cmyk\s*\(\s*)re"), QStringLiteral(R"re(([\d.]+%?|none))re"),
        QStringLiteral(R"re((?:\s*/\s*([\d.]+%?|none))?\s*\);?$)re")));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::array<double, 4> values {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<double> value = parseDeviceCMYKComponent(match->capturedView(1 + i));
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    return cssResult(
        cmykToHex(values[0], values[1], values[2], values[3]), *match, 5, QStringLiteral("device-cmyk"));
}

std::optional<double> parseDeviceCMYKComponent(QStringView text)
{
    if (ColorText::isNone(text))
        return 0.0;
    if (text.endsWith(u'%')) {
        const std::optional<double> percent = ColorText::readNumber(text.chopped(1));
        if (!percent)
            return std::nullopt;
        return *percent / 100;
    }
    return ColorText::readNumber(text);
}

double hueToChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 0.16666666666666666)
        return p + (q - p) * 6 * t;
    if (t < 0.5)
        return q;
    if (t < 0.6666666666666666)
        return p + (q - p) * (0.6666666666666666 - t) * 6;
    return p;
}

QString hslToHex(double hueDegrees, double saturation, double lightness)
{
    const Bytes bytes = hslToBytes(hueDegrees, saturation, lightness);
    return ColorText::hexRGB(bytes[0], bytes[1], bytes[2]);
}

QString hsbToHex(double hueTurns, double saturation, double brightness)
{
    const double hue = hueTurns * 360;
    const double chroma = brightness * saturation;
    const double x = chroma * (1 - std::fabs(std::fmod(hue / 60, 2) - 1));
    const double m = brightness - chroma;
    std::array<double, 3> rgb { chroma, 0, x };
    if (hue < 60)
        rgb = { chroma, x, 0 };
    else if (hue < 120)
        rgb = { x, chroma, 0 };
    else if (hue < 180)
        rgb = { 0, chroma, x };
    else if (hue < 240)
        rgb = { 0, x, chroma };
    else if (hue < 300)
        rgb = { x, 0, chroma };
    return ColorText::hexRGB(
        byteFromFraction(m + rgb[0]), byteFromFraction(m + rgb[1]), byteFromFraction(m + rgb[2]));
}

QString hwbToHex(double hueDegrees, double whiteness, double blackness)
{
    if (whiteness + blackness >= 1) {
        const int grey = ColorText::byteFromScaled(whiteness / (whiteness + blackness) * 255);
        return ColorText::hexRGB(grey, grey, grey);
    }
    const Bytes pure = hslToBytes(hueDegrees, 1.0, 0.5);
    Bytes bytes {};
    for (size_t i = 0; i < 3; ++i)
        bytes[i] = ColorText::byteFromScaled((whiteness + (1 - whiteness - blackness) * pure[i] / 255) * 255);
    return ColorText::hexRGB(bytes[0], bytes[1], bytes[2]);
}

QString cmykToHex(double cyan, double magenta, double yellow, double black)
{
    const auto unit = [](double value) { return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0); };
    const double keep = 1 - unit(black);
    return ColorText::hexRGB(ColorText::byteFromScaled(keep * ((1 - unit(cyan)) * 255)),
        ColorText::byteFromScaled(keep * ((1 - unit(magenta)) * 255)),
        ColorText::byteFromScaled(keep * ((1 - unit(yellow)) * 255)));
}

} // namespace ColorFormatter
