#include "enrichment/ColorSpaces.h"
#include "enrichment/Color.h"

#include <gtest/gtest.h>

#include <QColor>

#include <cmath>
#include <limits>

using namespace ColorSpaces;

namespace {

void expectNear(const Vec3 &actual, const Vec3 &expected, double tolerance)
{
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

Vec3 components(const Color &color)
{
    return { color.red(), color.green(), color.blue() };
}

constexpr Color::Space allSpaces[] = { Color::Space::sRGB, Color::Space::displayP3,
    Color::Space::adobeRGB1998, Color::Space::proPhotoRGB, Color::Space::rec2020 };

} // namespace

TEST(ColorSpacesTest, FormatterDirection)
{
    // White: the matrix and the white point come from different roundings.
    const Vec3 whiteLab = xyzToLab(srgbToXYZ(1, 1, 1));
    EXPECT_NEAR(whiteLab[0], 100, 1e-5);
    EXPECT_NEAR(whiteLab[1], 0.00245, 5e-5);
    EXPECT_NEAR(whiteLab[2], 0.0139, 5e-5);
    expectNear(xyzToLab(srgbToXYZ(0, 0, 0)), { 0, 0, 0 }, 1e-12);
    expectNear(srgbToXYZ(1, 0, 0), { 0.4124564, 0.2126729, 0.0193339 }, 1e-15);
    // The linear branch of the sRGB curve.
    expectNear(srgbToXYZ(0.04045, 0, 0),
        { 0.4124564 * 0.04045 / 12.92, 0.2126729 * 0.04045 / 12.92, 0.0193339 * 0.04045 / 12.92 }, 1e-15);

    const std::vector<std::pair<Vec3, Vec3>> hsl = {
        { { 1, 0, 0 }, { 0, 1, 0.5 } },
        { { 0, 1, 0 }, { 120, 1, 0.5 } },
        { { 0, 0, 1 }, { 240, 1, 0.5 } },
        { { 1, 0, 1 }, { 300, 1, 0.5 } },
        { { 0.5, 0.5, 0.5 }, { 0, 0, 0.5 } },
        { { 0.2, 0.4, 0.8 }, { 220, 0.6, 0.5 } },
    };
    for (const auto &[rgb, expected] : hsl) {
        const HSL actual = rgbToHSL(rgb[0], rgb[1], rgb[2]);
        expectNear({ actual.hue, actual.saturation, actual.lightness }, expected, 1e-9);
    }

    const Polar tinyChroma = rectangularToPolar(0.00005, 0.00005);
    EXPECT_EQ(tinyChroma.hue, 0);
    const Polar negativeHue = rectangularToPolar(0, -1);
    EXPECT_DOUBLE_EQ(negativeHue.hue, 270);
    EXPECT_DOUBLE_EQ(negativeHue.chroma, 1);
}

TEST(ColorSpacesTest, ParserDirection)
{
    expectNear(labToXYZ(0, 0, 0), { 0, 0, 0 }, 0);
    // L = 8 takes the linear branch for Y, just above 8 the cubic one.
    EXPECT_DOUBLE_EQ(labToXYZ(8, 0, 0)[1], 8 / 903.2962962962963);
    const double fy = (8.001 + 16) / 116;
    EXPECT_DOUBLE_EQ(labToXYZ(8.001, 0, 0)[1], fy * fy * fy);
    expectNear(labToXYZ(100, 0, 0), { 0.9504559270516716, 1, 1.0890577507598784 }, 1e-15);

    // Zero chroma has no hue.
    for (double hue : { 0.0, 90.0, 237.5, 720.0 })
        EXPECT_EQ(lchToDisplayP3(50, 0, hue), labToDisplayP3(50, 0, 0)) << hue;

    // The D65 white is the Display P3 white.
    expectNear(labToDisplayP3(100, 0, 0), { 1, 1, 1 }, 1e-6);
    expectNear(oklabToDisplayP3(1, 0, 0), { 1, 1, 1 }, 1e-6);

    // Out-of-gamut components keep their sign through the curve.
    EXPECT_DOUBLE_EQ(transferEncode({ -0.5, 0, 0.5 })[0], -transferEncode({ 0.5, 0, 0 })[0]);
    EXPECT_DOUBLE_EQ(transferEncode({ 0.001, 0, 0 })[0], 12.92 * 0.001);
}

TEST(ColorTest, HexString)
{
    const std::vector<std::pair<Color, QString>> cases = {
        { Color::sRGB(0.999, 0, 0), QStringLiteral("#FE0000") },
        { Color::sRGB(1, 1, 1), QStringLiteral("#FFFFFF") },
        { Color::sRGB(1, 0, 0, 0.5), QStringLiteral("#FF0000") },
        { Color::sRGB(1.7, -0.2, 0.5), QStringLiteral("#FF007F") },
        { Color::displayP3(1, 1, 1), QStringLiteral("#FFFFFF") },
        { Color::displayP3(1, 0, 0), QStringLiteral("#FF0000") },
        { Color::fromLab(100, 0, 0), QStringLiteral("#FFFFFF") },
        { Color::fromOKLCH(1, 0, 0), QStringLiteral("#FFFFFF") },
        { Color::displayP3(std::nan(""), 0, 0), QStringLiteral("#000000") },
        { Color::displayP3(std::numeric_limits<double>::infinity(), 0, 0), QStringLiteral("#000000") },
        { Color::displayP3(1e300, 0, 0), QStringLiteral("#000000") },
        { Color::sRGB(std::nan(""), 0, 0), QStringLiteral("#000000") },
    };
    for (const auto &[color, expected] : cases)
        EXPECT_EQ(color.hexString(), expected) << color.red() << " " << color.green() << " " << color.blue();
}

TEST(ColorTest, FromHex)
{
    struct Case
    {
        QString text;
        std::optional<Vec3> rgb;
        double alpha = 1;
    };
    const std::vector<Case> cases = {
        { QStringLiteral("#FF0000"), Vec3 { 1, 0, 0 } },
        { QStringLiteral("##FF0000"), Vec3 { 1, 0, 0 } },
        { QStringLiteral("FF0000"), Vec3 { 1, 0, 0 } },
        { QStringLiteral(" FF#00#00\n"), Vec3 { 1, 0, 0 } },
        { QStringLiteral("#3366CC80"), Vec3 { 0.2, 0.4, 0.8 }, 128.0 / 255 },
        { QStringLiteral("#FFF"), std::nullopt },
        { QStringLiteral("#FF00000"), std::nullopt },
        { QStringLiteral("#GGGGGG"), std::nullopt },
        { QString(), std::nullopt },
    };
    for (const Case &c : cases) {
        const std::optional<Color> color = Color::fromHex(c.text);
        ASSERT_EQ(color.has_value(), c.rgb.has_value()) << c.text.toStdString();
        if (!color)
            continue;
        EXPECT_EQ(color->space(), Color::Space::sRGB);
        EXPECT_EQ(components(*color), *c.rgb) << c.text.toStdString();
        EXPECT_EQ(color->alpha(), c.alpha) << c.text.toStdString();
    }
}

TEST(ColorTest, ConversionBetweenSpaces)
{
    // Known coordinates of sRGB red in the wide-gamut spaces.
    const Color red = Color::sRGB(1, 0, 0);
    expectNear(components(*red.converted(Color::Space::displayP3)), { 0.9175, 0.2003, 0.1386 }, 1e-4);
    expectNear(components(*red.converted(Color::Space::rec2020)), { 0.7920, 0.2310, 0.0738 }, 1e-4);
    expectNear(components(*red.converted(Color::Space::adobeRGB1998)), { 0.8586, 0, 0 }, 1e-4);

    // Every space keeps white and round-trips an in-gamut colour.
    const Color sample = Color::sRGB(0.2, 0.4, 0.6, 0.3);
    for (Color::Space space : allSpaces) {
        const std::optional<Color> there = sample.converted(space);
        ASSERT_TRUE(there) << int(space);
        EXPECT_EQ(there->space(), space);
        EXPECT_EQ(there->alpha(), 0.3);
        expectNear(components(*there->converted(Color::Space::sRGB)), { 0.2, 0.4, 0.6 }, 1e-6);
        EXPECT_EQ(Color(space, 1, 1, 1).hexString(), QStringLiteral("#FFFFFF")) << int(space);
        EXPECT_EQ(Color(space, 0, 0, 0).hexString(), QStringLiteral("#000000")) << int(space);
    }

    // Out of gamut is clamped into the target.
    const std::optional<Color> p3Green = Color::displayP3(0, 1, 0).converted(Color::Space::sRGB);
    ASSERT_TRUE(p3Green);
    EXPECT_EQ(p3Green->red(), 0);
    EXPECT_EQ(p3Green->green(), 1);
    EXPECT_EQ(Color::displayP3(std::nan(""), 0, 0).converted(Color::Space::sRGB), std::nullopt);
}

TEST(ColorTest, QtColours)
{
    const QColor qt(51, 102, 204, 128);
    const std::optional<Color> color = Color::fromQColor(qt);
    ASSERT_TRUE(color);
    EXPECT_EQ(color->hexString(), QStringLiteral("#3366CC"));
    EXPECT_EQ(color->toQColor(), qt);
    EXPECT_EQ(Color::fromQColor(QColor()), std::nullopt);
    EXPECT_EQ(Color::displayP3(1, 0, 0).toQColor().name(), QStringLiteral("#ff0000"));
    // Qt's extended colours may leave 0...1; the hex clamps them.
    EXPECT_EQ(
        Color::fromQColor(QColor::fromRgbF(1.5f, -0.25f, 0.5f))->hexString(), QStringLiteral("#FF007F"));
    // Every byte survives the trip through Qt and back.
    for (int byte = 0; byte < 256; ++byte) {
        const QString hex = Color::fromQColor(QColor(byte, 255 - byte, byte / 2))->hexString();
        EXPECT_EQ(Color::fromHex(hex)->toQColor(), QColor(byte, 255 - byte, byte / 2)) << hex.toStdString();
    }
}
