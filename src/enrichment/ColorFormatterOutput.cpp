// Writing a stored colour in the eleven paste notations.
#include "enrichment/ColorFormatter.h"
#include "enrichment/ColorSpaces.h"
#include "enrichment/ColorText_p.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ColorFormatter {

namespace {

QString integer(double value)
{
    return QString::number(qint64(std::round(value)));
}

QString percent(double fraction)
{
    return integer(fraction * 100) + u'%';
}

// "F(a b c)" or "F(a b c / alpha)": the space-separated CSS form.
QString cssFunction(QStringView name, const QString &a, const QString &b, const QString &c,
    const std::optional<QString> &alpha)
{
    QString text = name + u'(' + a + u' ' + b + u' ' + c;
    if (alpha)
        text += QStringLiteral(" / ") + *alpha;
    return text + u')';
}

// lab()/oklab() with L, a, b, or lch()/oklch() with L, chroma and hue (always 1 decimal).
QString labLike(QStringView name, bool polar, const ColorSpaces::Vec3 &lab, int lightnessDecimals,
    int chromaDecimals, const std::optional<QString> &alpha)
{
    const QString lightness = decimalString(lab[0], lightnessDecimals);
    if (!polar) {
        return cssFunction(name, lightness, decimalString(lab[1], chromaDecimals),
            decimalString(lab[2], chromaDecimals), alpha);
    }
    const ColorSpaces::Polar lch = ColorSpaces::rectangularToPolar(lab[1], lab[2]);
    return cssFunction(
        name, lightness, decimalString(lch.chroma, chromaDecimals), decimalString(lch.hue, 1), alpha);
}

QString codeLiteral(QStringView type, const RGBAComponents &rgba, QStringView alphaName, bool withAlpha)
{
    QString text = type + QStringLiteral("(red: ") + decimalString(rgba.red, 2) + QStringLiteral(", green: ")
        + decimalString(rgba.green, 2) + QStringLiteral(", blue: ") + decimalString(rgba.blue, 2);
    if (withAlpha)
        text += QStringLiteral(", ") + alphaName + QStringLiteral(": ") + decimalString(rgba.alpha, 2);
    return text + u')';
}

} // namespace

std::optional<RGBAComponents> rgbaComponents(QStringView hex)
{
    hex = hex.trimmed();
    if (!hex.startsWith(u'#'))
        return std::nullopt;
    return ColorText::componentsFromHexDigits(hex.mid(1));
}

QString decimalString(double value, int decimals)
{
    char buffer[400];
    const auto [end, error] = std::to_chars(
        buffer, buffer + sizeof buffer, value, std::chars_format::fixed, std::clamp(decimals, 0, 20));
    if (error != std::errc())
        return QString::number(value, 'f', decimals);
    QString text = QString::fromLatin1(buffer, end - buffer);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

QString alphaString(double alpha)
{
    if (alpha == 0.0)
        return QStringLiteral("0");
    return decimalString(alpha, 2);
}

std::optional<QString> format(QStringView hex, Format format)
{
    const std::optional<RGBAComponents> components = rgbaComponents(hex);
    if (!components)
        return std::nullopt;
    const RGBAComponents &rgba = *components;
    const bool translucent = rgba.alpha < 1.0;
    const std::optional<QString> cssAlpha
        = translucent ? std::optional(alphaString(rgba.alpha)) : std::nullopt;
    const auto byte = [](double fraction) { return ColorText::byteFromFraction(fraction); };

    switch (format) {
    case Format::hex: {
        QString text = ColorText::hexRGB(byte(rgba.red), byte(rgba.green), byte(rgba.blue));
        if (translucent)
            ColorText::appendHexByte(text, byte(rgba.alpha));
        return text;
    }
    case Format::rgb: {
        const QString r = QString::number(byte(rgba.red));
        const QString g = QString::number(byte(rgba.green));
        const QString b = QString::number(byte(rgba.blue));
        if (!translucent)
            return QStringLiteral("rgb(") + r + QStringLiteral(", ") + g + QStringLiteral(", ") + b + u')';
        return cssFunction(u"rgb", r, g, b, cssAlpha);
    }
    case Format::hsl: {
        const ColorSpaces::HSL hsl = ColorSpaces::rgbToHSL(rgba.red, rgba.green, rgba.blue);
        const QString h = integer(hsl.hue);
        if (!translucent) {
            return QStringLiteral("hsl(") + h + QStringLiteral(", ") + percent(hsl.saturation)
                + QStringLiteral(", ") + percent(hsl.lightness) + u')';
        }
        return cssFunction(u"hsl", h, percent(hsl.saturation), percent(hsl.lightness), cssAlpha);
    }
    case Format::hwb: {
        const ColorSpaces::HSL hsl = ColorSpaces::rgbToHSL(rgba.red, rgba.green, rgba.blue);
        const double whiteness = std::min({ rgba.red, rgba.green, rgba.blue });
        const double blackness = 1 - std::max({ rgba.red, rgba.green, rgba.blue });
        return cssFunction(u"hwb", integer(hsl.hue), percent(whiteness), percent(blackness), cssAlpha);
    }
    case Format::lab:
    case Format::lch:
        return labLike(format == Format::lch ? u"lch" : u"lab", format == Format::lch,
            ColorSpaces::xyzToLab(ColorSpaces::srgbToXYZ(rgba.red, rgba.green, rgba.blue)), 1, 1, cssAlpha);
    case Format::oklab:
    case Format::oklch:
        return labLike(format == Format::oklch ? u"oklch" : u"oklab", format == Format::oklch,
            ColorSpaces::xyzToOKLab(ColorSpaces::srgbToXYZ(rgba.red, rgba.green, rgba.blue)), 2, 4, cssAlpha);
    case Format::swiftUI:
        return codeLiteral(u"Color", rgba, u"opacity", translucent);
    case Format::nsColor:
        return codeLiteral(u"NSColor", rgba, u"alpha", true);
    case Format::uiColor:
        return codeLiteral(u"UIColor", rgba, u"alpha", true);
    }
    return std::nullopt;
}

} // namespace ColorFormatter
