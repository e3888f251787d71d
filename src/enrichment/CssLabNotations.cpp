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

// The Lab family goes through Display P3, like the desktop's own colour picker, and its hex
// truncates the channels (an alpha, when written, is rounded).
ParseResult labFamilyResult(
    const Color &color, const QRegularExpressionMatch &match, int alphaGroup, const QString &label)
{
    QString hex = color.hexString();
    if (match.hasCaptured(alphaGroup))
        ColorText::appendHexByte(hex, byteFromFraction(parseAlpha(match.capturedView(alphaGroup))));
    return { std::move(hex), label };
}

// Reads the given groups as numbers or "none"; nothing when any of them does not read.
std::optional<Vec3> readValues(const QRegularExpressionMatch &match, std::array<int, 3> groups)
{
    Vec3 values {};
    for (size_t i = 0; i < 3; ++i) {
        const std::optional<double> value = ColorText::readNumberOrNone(match.capturedView(groups[i]));
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    return values;
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
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const std::optional<Vec3> lab = readValues(*match, { 1, 3, 4 });
    if (!lab)
        return std::nullopt;
    return labFamilyResult(Color::fromLab((*lab)[0], (*lab)[1], (*lab)[2]), *match, 5, QStringLiteral("lab"));
}

Parsed parseLCH(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^lch\s*\(\s*([\d.]+|none)%?\s+([\d.]+|none)\s+([\d.]+|none)(deg|rad|grad|turn)?\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const std::optional<double> lightness = ColorText::readNumberOrNone(match->capturedView(1));
    const std::optional<double> chroma = ColorText::readNumberOrNone(match->capturedView(2));
    const std::optional<double> hue = parseHue(match->capturedView(3), match->capturedView(4));
    if (!lightness || !chroma || !hue)
        return std::nullopt;
    return labFamilyResult(Color::fromLCH(*lightness, *chroma, *hue), *match, 5, QStringLiteral("lch"));
}

Parsed parseOKLab(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^oklab\s*\(\s*([\d.]+|none)(%?)\s+([\d.-]+|none)\s+([\d.-]+|none)\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::optional<Vec3> lab = readValues(*match, { 1, 3, 4 });
    if (!lab)
        return std::nullopt;
    if (!match->capturedView(2).isEmpty())
        (*lab)[0] /= 100;
    return labFamilyResult(
        Color::fromOKLab((*lab)[0], (*lab)[1], (*lab)[2]), *match, 5, QStringLiteral("oklab"));
}

Parsed parseOKLCH(QStringView text)
{
    static const auto expression = cssRegex(QStringLiteral(
        R"re(^oklch\s*\(\s*([\d.]+|none)(%?)\s+([\d.]+|none)\s+([\d.]+|none)(deg|rad|grad|turn)?\s*(?:/\s*([\d.]+%?|none)\s*)?\);?$)re"));
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    std::optional<double> lightness = ColorText::readNumberOrNone(match->capturedView(1));
    const std::optional<double> chroma = ColorText::readNumberOrNone(match->capturedView(3));
    const std::optional<double> hue = parseHue(match->capturedView(4), match->capturedView(5));
    if (!lightness || !chroma || !hue)
        return std::nullopt;
    if (!match->capturedView(2).isEmpty())
        *lightness /= 100;
    return labFamilyResult(Color::fromOKLCH(*lightness, *chroma, *hue), *match, 6, QStringLiteral("oklch"));
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
