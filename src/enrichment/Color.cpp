#include "enrichment/Color.h"

#include "enrichment/ColorSpaces.h"
#include "enrichment/ColorText_p.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace ColorSpaces;

namespace {

double adobeRGBDecode(double encoded)
{
    const double magnitude = std::pow(std::fabs(encoded), 563.0 / 256.0);
    return std::signbit(encoded) ? -magnitude : magnitude;
}

double adobeRGBEncode(double linear)
{
    const double magnitude = std::pow(std::fabs(linear), 256.0 / 563.0);
    return std::signbit(linear) ? -magnitude : magnitude;
}

// How a space's encoded components relate to XYZ (D65).
struct SpaceModel
{
    Mat3 toXYZ;
    Mat3 fromXYZ;
    double (*decode)(double);
    double (*encode)(double);
};

// sRGB from its primaries and the D65 white (0.3127, 0.3290).
constexpr Mat3 linearSRGBToXYZ = { {
    { 506752.0 / 1228815, 87881.0 / 245763, 12673.0 / 70218 },
    { 87098.0 / 409605, 175762.0 / 245763, 12673.0 / 175545 },
    { 7918.0 / 409605, 87881.0 / 737289, 1001167.0 / 1053270 },
} };

// Scales the primaries so that every space's white lands on exactly the same XYZ white: the
// published matrices are rounded differently, and a white off by 1e-7 would truncate to FE.
SpaceModel makeModel(Mat3 toXYZ, double (*decode)(double), double (*encode)(double))
{
    const Vec3 white = multiply(linearSRGBToXYZ, { 1, 1, 1 });
    const Vec3 scale = multiply(inverse(toXYZ), white);
    for (Vec3 &row : toXYZ) {
        for (size_t column = 0; column < 3; ++column)
            row[column] *= scale[column];
    }
    return { toXYZ, inverse(toXYZ), decode, encode };
}

const SpaceModel &model(Color::Space space)
{
    // Display P3 as the inverse of the matrix the Lab family converts with, so a Lab colour
    // survives the round trip through Display P3.
    static const std::array<SpaceModel, 5> models = {
        makeModel(linearSRGBToXYZ, srgbDecode, srgbEncode),
        makeModel(inverse(xyzToLinearDisplayP3Matrix), srgbDecode, srgbEncode),
        makeModel({ { { 573536.0 / 994567, 263643.0 / 1420810, 187206.0 / 994567 },
                      { 591459.0 / 1989134, 6239551.0 / 9945670, 374412.0 / 4972835 },
                      { 53769.0 / 1989134, 351524.0 / 4972835, 4929758.0 / 4972835 } } },
            adobeRGBDecode, adobeRGBEncode),
        makeModel(multiplyMatrices(bradfordD50ToD65, linearProPhotoToXYZD50), proPhotoDecode, proPhotoEncode),
        makeModel(linearRec2020ToXYZ, rec2020Decode, rec2020Encode),
    };
    return models[size_t(space)];
}

Color fromDisplayP3Components(const Vec3 &components, double alpha)
{
    return Color::displayP3(components[0], components[1], components[2], alpha);
}

} // namespace

Color::Color(Space space, double red, double green, double blue, double alpha)
    : m_space(space)
    , m_red(red)
    , m_green(green)
    , m_blue(blue)
    , m_alpha(alpha)
{ }

std::optional<Color> Color::fromHex(QStringView hex)
{
    QString digits = hex.trimmed().toString();
    digits.remove(u'#');
    const auto components = ColorText::componentsFromHexDigits(digits);
    if (!components)
        return std::nullopt;
    return sRGB(components->red, components->green, components->blue, components->alpha);
}

Color Color::fromLab(double lightness, double a, double b, double alpha)
{
    return fromDisplayP3Components(labToDisplayP3(lightness, a, b), alpha);
}

Color Color::fromLCH(double lightness, double chroma, double hueDegrees, double alpha)
{
    return fromDisplayP3Components(lchToDisplayP3(lightness, chroma, hueDegrees), alpha);
}

Color Color::fromOKLab(double lightness, double a, double b, double alpha)
{
    return fromDisplayP3Components(oklabToDisplayP3(lightness, a, b), alpha);
}

Color Color::fromOKLCH(double lightness, double chroma, double hueDegrees, double alpha)
{
    return fromDisplayP3Components(oklchToDisplayP3(lightness, chroma, hueDegrees), alpha);
}

std::optional<Color> Color::fromQColor(const QColor &color)
{
    if (!color.isValid())
        return std::nullopt;
    if (color.spec() == QColor::ExtendedRgb)
        return sRGB(color.redF(), color.greenF(), color.blueF(), color.alphaF());
    // The 16-bit components, divided in double precision: a byte b comes back as exactly b/255.
    const QRgba64 rgba = color.rgba64();
    return sRGB(rgba.red() / 65535.0, rgba.green() / 65535.0, rgba.blue() / 65535.0, rgba.alpha() / 65535.0);
}

QColor Color::toQColor() const
{
    const std::optional<Color> srgb = converted(Space::sRGB);
    if (!srgb)
        return {};
    const auto unit = [](double value) {
        return quint16(std::lround(std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0) * 65535));
    };
    return QColor::fromRgba64(
        unit(srgb->m_red), unit(srgb->m_green), unit(srgb->m_blue), unit(srgb->m_alpha));
}

std::optional<Color> Color::converted(Space target) const
{
    if (target == m_space)
        return *this;
    const SpaceModel &source = model(m_space);
    const SpaceModel &destination = model(target);
    Vec3 decoded {};
    const Vec3 components = { m_red, m_green, m_blue };
    for (size_t i = 0; i < 3; ++i) {
        if (!(std::fabs(components[i]) <= std::numeric_limits<float>::max()))
            return std::nullopt;
        decoded[i] = source.decode(double(float(components[i])));
    }
    const Vec3 linear = multiply(destination.fromXYZ, multiply(source.toXYZ, decoded));
    Vec3 encoded {};
    for (size_t i = 0; i < 3; ++i) {
        encoded[i] = destination.encode(linear[i]);
        if (!std::isfinite(encoded[i]))
            return std::nullopt;
        encoded[i] = double(float(std::clamp(encoded[i], 0.0, 1.0)));
    }
    return Color(target, encoded[0], encoded[1], encoded[2], m_alpha);
}

QString Color::hexString() const
{
    const std::optional<Color> srgb = converted(Space::sRGB);
    if (!srgb || !std::isfinite(srgb->m_red) || !std::isfinite(srgb->m_green) || !std::isfinite(srgb->m_blue))
        return QStringLiteral("#000000");
    return ColorText::hexRGB(ColorText::truncatedByteFromFraction(srgb->m_red),
        ColorText::truncatedByteFromFraction(srgb->m_green),
        ColorText::truncatedByteFromFraction(srgb->m_blue));
}
