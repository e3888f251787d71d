#pragma once

#include <array>

// The numeric colour-space conversions, all in double precision. The formatter's direction
// (sRGB to Lab/OKLab) and the parser's direction (Lab/OKLab to Display P3) deliberately keep
// separate constant sets: each reproduces the figures users already have from the other
// direction's tools, so they must not be merged.
namespace ColorSpaces {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

Vec3 multiply(const Mat3 &matrix, const Vec3 &vector);
Mat3 multiplyMatrices(const Mat3 &left, const Mat3 &right);
Mat3 inverse(const Mat3 &matrix);

// Transfer curves, sign-preserving so that out-of-gamut components survive a round trip.
double srgbDecode(double encoded);
double srgbEncode(double linear);
Vec3 transferEncode(const Vec3 &linear);

// --- Formatter direction ----------------------------------------------------------------

// Encoded sRGB to XYZ (D65, Y of white 1).
Vec3 srgbToXYZ(double red, double green, double blue);
Vec3 xyzToLab(const Vec3 &xyz);
Vec3 xyzToOKLab(const Vec3 &xyz);

struct HSL
{
    double hue = 0; // degrees, 0...360
    double saturation = 0; // 0...1
    double lightness = 0; // 0...1
};
HSL rgbToHSL(double red, double green, double blue);

// Chroma and hue (degrees, 0...360) of a Lab-like pair; hue 0 for chroma up to 0.0001.
struct Polar
{
    double chroma = 0;
    double hue = 0;
};
Polar rectangularToPolar(double a, double b);

// --- Parser direction -------------------------------------------------------------------

Vec3 labToXYZ(double lightness, double a, double b);
Vec3 oklabToXYZ(double lightness, double a, double b);

inline constexpr Mat3 xyzToLinearDisplayP3Matrix = { {
    { 2.4934969119414245, -0.9313836179191236, -0.40271078445071684 },
    { -0.829488969561575, 1.7626640603183468, 0.02362468584194359 },
    { 0.035845830243784335, -0.07617238926804171, 0.9568845240076873 },
} };
Vec3 xyzToLinearDisplayP3(const Vec3 &xyz);

// Encoded Display P3 components, unclamped.
Vec3 labToDisplayP3(double lightness, double a, double b);
Vec3 lchToDisplayP3(double lightness, double chroma, double hueDegrees);
Vec3 oklabToDisplayP3(double lightness, double a, double b);
Vec3 oklchToDisplayP3(double lightness, double chroma, double hueDegrees);

// --- Constants of the CSS color() spaces --------------------------------------------------

// XYZ (D65) to linear sRGB, as CSS tools commonly round it.
inline constexpr Mat3 xyzToLinearSRGBMatrix = { {
    { 3.2404542, -1.5371385, -0.4985314 },
    { -0.969266, 1.8760108, 0.041556 },
    { 0.0556434, -0.2040259, 1.0572252 },
} };

// Bradford chromatic adaptation from the D50 white to D65.
inline constexpr Mat3 bradfordD50ToD65 = { {
    { 0.9555766, -0.0230393, 0.0631636 },
    { -0.0282895, 1.0099416, 0.0210077 },
    { 0.0122982, -0.020483, 1.3299098 },
} };

inline constexpr Mat3 linearProPhotoToXYZD50 = { {
    { 0.7977604896723027, 0.13518583717574031, 0.0313493495815248 },
    { 0.2880711282292934, 0.7118432178101014, 0.00008565396060525902 },
    { 0, 0, 0.8251046025104601 },
} };

inline constexpr Mat3 linearRec2020ToXYZ = { {
    { 0.6369580483012914, 0.14461690358620832, 0.1688809751641721 },
    { 0.2627002120112671, 0.6779980715188708, 0.05930171646986196 },
    { 0, 0.028072693049087428, 1.0609850577107909 },
} };

double proPhotoDecode(double encoded);
double proPhotoEncode(double linear);
double rec2020Decode(double encoded);
double rec2020Encode(double linear);

} // namespace ColorSpaces
