#pragma once

#include "enrichment/Color.h"
#include "enrichment/ColorFormatter.h"

// The individual notations behind ColorFormatter::parse, in the order it tries them, and the
// readers and converters they share. Each parser takes the trimmed text and accepts it only
// when the whole text is its notation.
namespace ColorFormatter {

using Parsed = std::optional<ParseResult>;

// "#" with 3, 4, 6 or 8 hex digits, optionally followed by ";".
Parsed parseHex(QStringView text);
// 0xAARRGGBB, optionally wrapped as Color(0xAARRGGBB): labels "compose" and "hex-argb".
Parsed parseHexARGB(QStringView text);

// CSS functions (letter case ignored, optional trailing ";").
Parsed parseRGBComma(QStringView text);
Parsed parseRGBSpace(QStringView text);
Parsed parseHSLComma(QStringView text);
Parsed parseHSLSpace(QStringView text);
Parsed parseHSB(QStringView text);
Parsed parseHWB(QStringView text);
Parsed parseCMYK(QStringView text);
Parsed parseDeviceCMYK(QStringView text);
Parsed parseLab(QStringView text);
Parsed parseLCH(QStringView text);
Parsed parseOKLab(QStringView text);
Parsed parseOKLCH(QStringView text);
Parsed parseColorFunction(QStringView text);

// Colour constructors as written in source code (letter case exact).
Parsed parseSwiftUIColorRGB(QStringView text);
Parsed parseSwiftUIColorHSB(QStringView text);
Parsed parseSwiftUIColorWhite(QStringView text);
Parsed parsePlatformColorRGB(QStringView text);
Parsed parsePlatformColorWhite(QStringView text);
Parsed parsePlatformColorHSB(QStringView text);
Parsed parseFlutterARGB(QStringView text);
Parsed parseFlutterRGBO(QStringView text);
Parsed parseThreeColorHex(QStringView text);
Parsed parseThreeColorRGB(QStringView text);

// --- Component readers ------------------------------------------------------------------

// A channel: "none" is 0; with `percent` the number is a percentage of maximum.
std::optional<double> parseColorComponent(QStringView text, bool percent, double maximum);
// A CSS alpha: "none" is 0, "50%" is 0.5; an unreadable alpha is opaque (1). Not clamped.
double parseAlpha(QStringView text);
// A hue in degrees ("none" is 0); unit is "deg", "rad", "grad", "turn" or empty.
std::optional<double> parseHue(QStringView number, QStringView unit);
double degreesFromAngle(double value, QStringView unit);
// A Flutter argument: decimal, or hexadecimal after "0x".
std::optional<qint64> parseFlutterComponent(QStringView text);
// A device-cmyk component: "none" is 0, "50%" is 0.5, otherwise the fraction as written.
std::optional<double> parseDeviceCMYKComponent(QStringView text);

// --- Converters to "#RRGGBB" (every channel clamped into 0...255) --------------------------

QString hslToHex(double hueDegrees, double saturation, double lightness);
double hueToChannel(double p, double q, double t);
QString hsbToHex(double hueTurns, double saturation, double brightness);
QString hwbToHex(double hueDegrees, double whiteness, double blackness);
QString cmykToHex(double cyan, double magenta, double yellow, double black);

QString linearSRGBToHex(double red, double green, double blue);
QString xyzToHex(double x, double y, double z);
QString proPhotoToHex(double red, double green, double blue);
QString rec2020ToHex(double red, double green, double blue);
QString colorSpaceRGBToHex(Color::Space space, double red, double green, double blue);

} // namespace ColorFormatter
