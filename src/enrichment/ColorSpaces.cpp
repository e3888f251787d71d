#include "enrichment/ColorSpaces.h"

#include <algorithm>
#include <cmath>

namespace ColorSpaces {

namespace {

constexpr double pi = 3.141592653589793;

// Applies a curve to the magnitude and keeps the sign (a negative zero stays negative).
template <typename Curve> double signPreserving(double value, Curve curve)
{
    const double magnitude = curve(std::fabs(value));
    return std::signbit(value) ? -magnitude : magnitude;
}

constexpr Mat3 linearSRGBToXYZFormatter = { {
    { 0.4124564, 0.3575761, 0.1804375 },
    { 0.2126729, 0.7151522, 0.072175 },
    { 0.0193339, 0.119192, 0.9503041 },
} };

double labF(double t)
{
    return t > 0.008856451679035631 ? std::cbrt(t) : t / 0.12841854934601665 + 0.13793103448275862;
}

constexpr double labKappa = 903.2962962962963;
constexpr double labEpsilon = 0.008856451679035631;

double labFInverse(double f)
{
    const double cube = f * f * f;
    return cube > labEpsilon ? cube : (116 * f - 16) / labKappa;
}

Vec3 polarToRectangular(double lightness, double chroma, double hueDegrees)
{
    const double radians = hueDegrees * pi / 180;
    return { lightness, chroma * std::cos(radians), chroma * std::sin(radians) };
}

} // namespace

Vec3 multiply(const Mat3 &matrix, const Vec3 &vector)
{
    Vec3 result {};
    for (int row = 0; row < 3; ++row) {
        result[row] = matrix[row][0] * vector[0] + matrix[row][1] * vector[1] + matrix[row][2] * vector[2];
    }
    return result;
}

Mat3 multiplyMatrices(const Mat3 &left, const Mat3 &right)
{
    Mat3 result {};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            result[row][column] = left[row][0] * right[0][column] + left[row][1] * right[1][column]
                + left[row][2] * right[2][column];
        }
    }
    return result;
}

Mat3 inverse(const Mat3 &m)
{
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double determinant = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    return { {
        { c00 / determinant, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / determinant,
            (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / determinant },
        { c01 / determinant, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / determinant,
            (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / determinant },
        { c02 / determinant, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / determinant,
            (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / determinant },
    } };
}

double srgbDecode(double encoded)
{
    return signPreserving(
        encoded, [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); });
}

double srgbEncode(double linear)
{
    return signPreserving(linear,
        [](double c) { return c > 0.0031308 ? 1.055 * std::pow(c, 0.4166666666666667) - 0.055 : 12.92 * c; });
}

Vec3 transferEncode(const Vec3 &linear)
{
    return { srgbEncode(linear[0]), srgbEncode(linear[1]), srgbEncode(linear[2]) };
}

Vec3 srgbToXYZ(double red, double green, double blue)
{
    return multiply(linearSRGBToXYZFormatter, { srgbDecode(red), srgbDecode(green), srgbDecode(blue) });
}

Vec3 xyzToLab(const Vec3 &xyz)
{
    const double fx = labF(xyz[0] / 0.95045592705);
    const double fy = labF(xyz[1]);
    const double fz = labF(xyz[2] / 1.08905775076);
    return { 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz) };
}

Vec3 xyzToOKLab(const Vec3 &xyz)
{
    const auto [x, y, z] = xyz;
    const double l = std::cbrt(0.8189330101 * x + 0.3618667424 * y - 0.1288597137 * z);
    const double m = std::cbrt(0.0329845436 * x + 0.9293118715 * y + 0.0361456387 * z);
    const double s = std::cbrt(0.0482003018 * x + 0.2643662691 * y + 0.633851707 * z);
    return {
        0.2104542553 * l + 0.793617785 * m - 0.0040720468 * s,
        1.9779984951 * l - 2.428592205 * m + 0.4505937099 * s,
        0.0259040371 * l + 0.7827717662 * m - 0.808675766 * s,
    };
}

HSL rgbToHSL(double red, double green, double blue)
{
    const double max = std::max({ red, green, blue });
    const double min = std::min({ red, green, blue });
    const double delta = max - min;
    HSL hsl;
    hsl.lightness = (max + min) * 0.5;
    if (delta <= 1e-10)
        return hsl;
    double sector;
    if (max == red)
        sector = std::fmod((green - blue) / delta, 6);
    else if (max == green)
        sector = (blue - red) / delta + 2;
    else
        sector = (red - green) / delta + 4;
    hsl.hue = sector * 60;
    if (hsl.hue < 0)
        hsl.hue += 360;
    hsl.saturation = delta / (1 - std::fabs(2 * hsl.lightness - 1));
    return hsl;
}

Polar rectangularToPolar(double a, double b)
{
    Polar polar;
    polar.chroma = std::sqrt(a * a + b * b);
    if (polar.chroma > 0.0001) {
        polar.hue = std::atan2(b, a) * 180 / pi;
        if (polar.hue < 0)
            polar.hue += 360;
    }
    return polar;
}

Vec3 labToXYZ(double lightness, double a, double b)
{
    const double fy = (lightness + 16) / 116;
    const double fx = fy + a / 500;
    const double fz = fy + b / -200;
    const double y = lightness > 8 ? fy * fy * fy : lightness / labKappa;
    return { labFInverse(fx) * 0.9504559270516716, y, labFInverse(fz) * 1.0890577507598784 };
}

Vec3 oklabToXYZ(double lightness, double a, double b)
{
    const double lRoot = 0.9999999984505198 * lightness + 0.39633779217376786 * a + 0.2158037580607588 * b;
    const double mRoot = 1.0000000088817609 * lightness - 0.10556134232365635 * a - 0.06385417477170591 * b;
    const double sRoot = 1.0000000546724108 * lightness - 0.08948418209496575 * a - 1.2914855378640917 * b;
    const double l = lRoot * lRoot * lRoot;
    const double m = mRoot * mRoot * mRoot;
    const double s = sRoot * sRoot * sRoot;
    return {
        1.2268798733741557 * l - 0.5578149965554813 * m + 0.28139105017721583 * s,
        -0.04057576262431372 * l + 1.1122868293970594 * m - 0.07171106666151701 * s,
        -0.07637294974672142 * l - 0.4214933239627914 * m + 1.5869240244272418 * s,
    };
}

Vec3 xyzToLinearDisplayP3(const Vec3 &xyz)
{
    return multiply(xyzToLinearDisplayP3Matrix, xyz);
}

Vec3 labToDisplayP3(double lightness, double a, double b)
{
    return transferEncode(xyzToLinearDisplayP3(labToXYZ(lightness, a, b)));
}

Vec3 lchToDisplayP3(double lightness, double chroma, double hueDegrees)
{
    const auto [l, a, b] = polarToRectangular(lightness, chroma, hueDegrees);
    return labToDisplayP3(l, a, b);
}

Vec3 oklabToDisplayP3(double lightness, double a, double b)
{
    return transferEncode(xyzToLinearDisplayP3(oklabToXYZ(lightness, a, b)));
}

Vec3 oklchToDisplayP3(double lightness, double chroma, double hueDegrees)
{
    const auto [l, a, b] = polarToRectangular(lightness, chroma, hueDegrees);
    return oklabToDisplayP3(l, a, b);
}

double proPhotoDecode(double encoded)
{
    return signPreserving(encoded, [](double c) { return c <= 0.03125 ? c * 0.0625 : std::pow(c, 1.8); });
}

double proPhotoEncode(double linear)
{
    return signPreserving(linear, [](double c) { return c <= 0.001953125 ? c * 16 : std::pow(c, 1 / 1.8); });
}

namespace {
constexpr double rec2020Alpha = 1.09929682680944;
constexpr double rec2020Beta = 0.018053968510807;
} // namespace

double rec2020Decode(double encoded)
{
    return signPreserving(encoded, [](double c) {
        return c < 0.08124285829863151 ? c / 4.5
                                       : std::pow((c + rec2020Alpha - 1) / rec2020Alpha, 2.2222222222222223);
    });
}

double rec2020Encode(double linear)
{
    return signPreserving(linear, [](double c) {
        return c < rec2020Beta ? c * 4.5 : rec2020Alpha * std::pow(c, 0.45) - (rec2020Alpha - 1);
    });
}

} // namespace ColorSpaces
