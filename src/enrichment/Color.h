#pragma once

#include <QString>
#include <QStringView>

#include <optional>

class QColor;

// A colour with its colour space: what a colour item shows and what the pasteboard's colour
// flavour carries. Components are kept as given (an out-of-gamut Display P3 colour may have
// components outside 0...1); conversions clamp into the target space.
class Color final
{
public:
    enum class Space { sRGB, displayP3, adobeRGB1998, proPhotoRGB, rec2020 };

    Color(Space space, double red, double green, double blue, double alpha = 1.0);

    static Color sRGB(double red, double green, double blue, double alpha = 1.0)
    {
        return Color(Space::sRGB, red, green, blue, alpha);
    }
    static Color displayP3(double red, double green, double blue, double alpha = 1.0)
    {
        return Color(Space::displayP3, red, green, blue, alpha);
    }

    // "#RRGGBB" or "#RRGGBBAA" to an sRGB colour. Surrounding whitespace and every "#" are
    // ignored; the text after them must be six or eight characters, read from its leading hex
    // digits. Nothing for any other length or when no hex digit leads.
    static std::optional<Color> fromHex(QStringView hex);

    // Device-independent CSS colours, as Display P3 colours (unclamped).
    static Color fromLab(double lightness, double a, double b, double alpha = 1.0);
    static Color fromLCH(double lightness, double chroma, double hueDegrees, double alpha = 1.0);
    static Color fromOKLab(double lightness, double a, double b, double alpha = 1.0);
    static Color fromOKLCH(double lightness, double chroma, double hueDegrees, double alpha = 1.0);

    // Qt's colours are sRGB (the extended form may leave 0...1).
    static std::optional<Color> fromQColor(const QColor &color);
    QColor toQColor() const;

    Space space() const { return m_space; }
    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double alpha() const { return m_alpha; }

    // The same colour in another space, clamped to 0...1. Components pass through single
    // precision on the way, as in the desktop's colour matching, so that the last-bit noise of
    // the double arithmetic cannot turn a white into #FEFFFF after truncation. Nothing when a
    // component is not a finite single-precision number. The same space gives the colour as is.
    std::optional<Color> converted(Space target) const;

    // "#RRGGBB" of the colour in sRGB, each channel clamped and truncated (not rounded);
    // "#000000" when the colour cannot be converted. Alpha is never part of it.
    QString hexString() const;

    friend bool operator==(const Color &, const Color &) = default;

private:
    Space m_space;
    double m_red;
    double m_green;
    double m_blue;
    double m_alpha;
};
