// CSS lab(), lch(), oklab(), oklch() and color() with its colour spaces.
#include "common/Regex.h"
#include "enrichment/ColorNotations.h"
#include "enrichment/ColorSpaces.h"
#include "enrichment/ColorText_p.h"

#include <algorithm>
#include <array>

namespace ColorFormatter {

namespace {

using ColorSpaces::Vec3;
using ColorText::byteFromFraction;

std::optional<QRegularExpression> cssRegex(const QString &pattern)
{
    return makeRegex(pattern, RegexOptions::caseInsensitive);
}

// Where a Lab-family pattern keeps its values; 0 for a group the notation does not have.
struct LabFamilyGroups
{
    int lightness;
    int lightnessPercent; // a "%" here means the lightness is a percentage of 1
    int second;
    int third;
    int hueUnit; // the third value is a hue with this unit group
    int alpha;
};

// The Lab family goes through Display P3, like the desktop's own colour picker, and its hex
// truncates the channels (an alpha, when written, is rounded).
Parsed parseLabFamily(const std::optional<QRegularExpression> &expression, QStringView text,
    const LabFamilyGroups &groups, Color (*makeColor)(double, double, double, double), const QString &label)
{
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::optional<double> lightness = ColorText::readNumberOrNone(match->capturedView(groups.lightness));
    const std::optional<double> second = ColorText::readNumberOrNone(match->capturedView(groups.second));
    const std::optional<double> third = groups.hueUnit
        ? parseHue(match->capturedView(groups.third), match->capturedView(groups.hueUnit))
        : ColorText::readNumberOrNone(match->capturedView(groups.third));
    if (!lightness || !second || !third)
        return std::nullopt;
    if (groups.lightnessPercent && !match->capturedView(groups.lightnessPercent).isEmpty())
        *lightness /= 100;
    QString hex = makeColor(*lightness, *second, *third, 1).hexString();
    if (match->hasCaptured(groups.alpha))
        ColorText::appendHexByte(hex, byteFromFraction(parseAlpha(match->capturedView(groups.alpha))));
    return ParseResult { std::move(hex), label };
}

QString rgbHex(const Vec3 &encoded)
{
    return ColorText::hexRGB(
        byteFromFraction(encoded[0]), byteFromFraction(encoded[1]), byteFromFraction(encoded[2]));
}

} // namespace

Parsed parseLab(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^lab\s*\(\s*([\d.]+|none)(%?)\s+([\d.-]+|none)\s+([\d.-]+|none)\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    // A "%" after L changes nothing: L is a percentage already.
    return parseLabFamily(expression, text, { 1, 0, 3, 4, 0, 5 }, Color::fromLab, QStringLiteral("lab"));
}

Parsed parseLCH(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^lch\s*\(\s*([\d.]+|none)%?\s+([\d.]+|none)\s+([\d.]+|none)(deg|rad|grad|turn)?\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    return parseLabFamily(expression, text, { 1, 0, 2, 3, 4, 5 }, Color::fromLCH, QStringLiteral("lch"));
}

Parsed parseOKLab(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^oklab\s*\(\s*([\d.]+|none)(%?)\s+([\d.-]+|none)\s+([\d.-]+|none)\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    return parseLabFamily(expression, text, { 1, 2, 3, 4, 0, 5 }, Color::fromOKLab, QStringLiteral("oklab"));
}

Parsed parseOKLCH(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^oklch\s*\(\s*([\d.]+|none)(%?)\s+([\d.]+|none)\s+([\d.]+|none)(deg|rad|grad|turn)?\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    return parseLabFamily(expression, text, { 1, 2, 3, 4, 5, 6 }, Color::fromOKLCH, QStringLiteral("oklch"));
}

Parsed parseColorFunction(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^color\s*\(\s*(srgb|srgb-linear|display-p3|a98-rgb|prophoto-rgb|rec2020|xyz|xyz-d50|xyz-d65)\s+(-?[\d.]+|none)(%?)\s+(-?[\d.]+|none)(%?)\s+(-?[\d.]+|none)(%?)\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const QStringView space = match->capturedView(1);
    const auto isSpace = [&](QStringView name) { return space.compare(name, Qt::CaseInsensitive) == 0; };

    Vec3 components {};
    for (int i = 0; i < 3; ++i) {
        const int group = 2 + 2 * i;
        const bool percent = !match->capturedView(group + 1).isEmpty();
        const std::optional<double> value = parseColorComponent(match->capturedView(group), percent, 1);
        if (!value)
            return std::nullopt;
        components[i] = *value;
    }
    const auto [x, y, z] = components;
    const bool isXYZ = isSpace(u"xyz") || isSpace(u"xyz-d65") || isSpace(u"xyz-d50");
    // XYZ values beyond 1 are ordinary (white has Z ≈ 1.089): only the resulting sRGB channels
    // are clamped. The RGB spaces are clamped to their gamut first.
    const auto [r, g, b] = isXYZ
        ? components
        : Vec3 { std::clamp(x, 0.0, 1.0), std::clamp(y, 0.0, 1.0), std::clamp(z, 0.0, 1.0) };

    QString hex;
    if (isSpace(u"srgb"))
        hex = rgbHex({ r, g, b });
    else if (isSpace(u"srgb-linear"))
        hex = linearSRGBToHex(r, g, b);
    else if (isSpace(u"display-p3"))
        hex = colorSpaceRGBToHex(Color::Space::displayP3, r, g, b);
    else if (isSpace(u"a98-rgb"))
        hex = colorSpaceRGBToHex(Color::Space::adobeRGB1998, r, g, b);
    else if (isSpace(u"prophoto-rgb"))
        hex = proPhotoToHex(r, g, b);
    else if (isSpace(u"rec2020"))
        hex = rec2020ToHex(r, g, b);
    else if (isSpace(u"xyz-d50")) {
        const Vec3 d65 = ColorSpaces::multiply(ColorSpaces::bradfordD50ToD65, { r, g, b });
        hex = xyzToHex(d65[0], d65[1], d65[2]);
    } else if (isXYZ)
        hex = xyzToHex(r, g, b);
    else
        return std::nullopt;

    QString label = QStringLiteral("color");
    if (match->hasCaptured(8))
        ColorText::appendHexByte(hex, byteFromFraction(parseAlpha(match->capturedView(8))));
    return ParseResult { std::move(hex), std::move(label) };
}

QString linearSRGBToHex(double red, double green, double blue)
{
    return rgbHex(ColorSpaces::transferEncode({ red, green, blue }));
}

QString xyzToHex(double x, double y, double z)
{
    return rgbHex(
        ColorSpaces::transferEncode(ColorSpaces::multiply(ColorSpaces::xyzToLinearSRGBMatrix, { x, y, z })));
}

QString proPhotoToHex(double red, double green, double blue)
{
    using namespace ColorSpaces;
    const Vec3 d50 = multiply(
        linearProPhotoToXYZD50, { proPhotoDecode(red), proPhotoDecode(green), proPhotoDecode(blue) });
    const Vec3 d65 = multiply(bradfordD50ToD65, d50);
    return xyzToHex(d65[0], d65[1], d65[2]);
}

QString rec2020ToHex(double red, double green, double blue)
{
    using namespace ColorSpaces;
    const Vec3 xyz
        = multiply(linearRec2020ToXYZ, { rec2020Decode(red), rec2020Decode(green), rec2020Decode(blue) });
    return xyzToHex(xyz[0], xyz[1], xyz[2]);
}

QString colorSpaceRGBToHex(Color::Space space, double red, double green, double blue)
{
    const std::optional<Color> srgb = Color(space, red, green, blue).converted(Color::Space::sRGB);
    if (!srgb)
        return rgbHex({ red, green, blue });
    return rgbHex({ srgb->red(), srgb->green(), srgb->blue() });
}

} // namespace ColorFormatter
