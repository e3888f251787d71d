#include "enrichment/ColorNotations.h"

#include "ColorTestSupport.h"

#include <gtest/gtest.h>

using namespace ColorFormatter;

namespace {

void expectParses(const std::vector<ParseCase> &cases)
{
    for (const ParseCase &c : cases)
        EXPECT_EQ(describe(parse(c.input)), c.expected) << "input: " << c.input.toStdString();
}

QString digits(int count, char digit = '9')
{
    return QString(count, QLatin1Char(digit));
}

} // namespace

TEST(ColorParseTest, HashHex)
{
    expectParses({
        { QStringLiteral("  #fff\n"), "#FFFFFF hex" },
        { QStringLiteral("#FfF;"), "#FFFFFF hex" },
        { QStringLiteral("#f0a8"), "#FF00AA88 hex" },
        { QStringLiteral("#ABC;"), "#AABBCC hex" },
        { QStringLiteral("\t#aabbcc "), "#AABBCC hex" },
        { QStringLiteral("#ff000080"), "#FF000080 hex" },
        { QStringLiteral("#ff0000ff"), "#FF0000FF hex" },
        { QStringLiteral("#12345678;"), "#12345678 hex" },
        { QStringLiteral("#decade"), "#DECADE hex" },
        { QStringLiteral("fff"), "nothing" },
        { QStringLiteral("ff0000"), "nothing" },
        { QStringLiteral("abcd"), "nothing" },
        { QStringLiteral("#12345"), "nothing" },
        { QStringLiteral("#ff00000"), "nothing" },
        { QStringLiteral("#ggg"), "nothing" },
        { QStringLiteral("#"), "nothing" },
        { QStringLiteral("#;"), "nothing" },
        { QStringLiteral("##fff"), "nothing" },
        { QStringLiteral("#ff 000"), "nothing" },
        { QStringLiteral("#fff;;"), "nothing" },
        // A line break before the ";" is not the end of the text.
        { QStringLiteral("#fff\n;"), "nothing" },
        { QStringLiteral("#ff0000\n;"), "nothing" },
    });
}

TEST(ColorParseTest, HexARGBAndCompose)
{
    expectParses({
        { QStringLiteral("0xFF336699"), "#336699FF hex-argb" },
        { QStringLiteral("0x80ff0000"), "#FF000080 hex-argb" },
        { QStringLiteral("Color(0xff336699)"), "#336699FF compose" },
        { QStringLiteral("COLOR( 0XFF336699 )"), "#336699FF compose" },
        { QStringLiteral("Color(0xFF42A5F5)"), "#42A5F5FF compose" },
        { QStringLiteral("Color(0xFF00FF00"), "#00FF00FF compose" },
        { QStringLiteral("0xFF00FF00)"), "#00FF00FF hex-argb" },
        { QStringLiteral("0xFF3366"), "nothing" },
        { QStringLiteral("0xFF33669900"), "nothing" },
        // Six digits are not ARGB: three.js takes them later.
        { QStringLiteral("THREE.Color(0x336699)"), "#336699 three" },
    });
}

TEST(ColorParseTest, WholeTextMustBeOneNotation)
{
    expectParses({
        { QStringLiteral("rgb(255, 0, 0) text"), "nothing" },
        { QStringLiteral("the colour #ff0000"), "nothing" },
        { QStringLiteral("#ff0000 and more"), "nothing" },
        { QStringLiteral(""), "nothing" },
        { QStringLiteral("   \n\t "), "nothing" },
        { QStringLiteral("Hello, world."), "nothing" },
    });
}

TEST(ColorParseTest, BareHex)
{
    const std::vector<ParseCase> cases = {
        { QStringLiteral("c0ffee"), "#C0FFEE hex" },
        { QStringLiteral(" C0FFEE12\n"), "#C0FFEE12 hex" },
        { QStringLiteral("decade"), "nothing" },
        { QStringLiteral("DECADE"), "nothing" },
        { QStringLiteral("Facade"), "nothing" },
        { QStringLiteral("deeded"), "nothing" },
        { QStringLiteral("#c0ffee"), "nothing" },
        { QStringLiteral("c0ffe"), "nothing" },
        { QStringLiteral("c0ffee12a"), "nothing" },
        { QStringLiteral("c0ffeg"), "nothing" },
        { QStringLiteral("c0 fee"), "nothing" },
    };
    for (const ParseCase &c : cases)
        EXPECT_EQ(describe(parseBareHex(c.input)), c.expected) << "input: " << c.input.toStdString();
    // The bare form is never taken by the general entry.
    EXPECT_EQ(describe(parse(QStringLiteral("c0ffee"))), "nothing");
}

TEST(ColorParseTest, CssRGB)
{
    expectParses({
        { QStringLiteral("rgb(255, 0, 0)"), "#FF0000 rgb" },
        { QStringLiteral("RGBA(255,0,0,.5)"), "#FF000080 rgb" },
        { QStringLiteral("rgb(255 0 0 / 1)"), "#FF0000FF rgb" },
        { QStringLiteral("rgb(100%, 50%, 0%)"), "#FF8000 rgb" },
        { QStringLiteral("rgb(none 0 0)"), "#000000 rgb" },
        { QStringLiteral("rgb(NONE 0 0)"), "#000000 rgb" },
        { QStringLiteral("rgb(255, 0, 0);"), "#FF0000 rgb" },
        { QStringLiteral("rgba(0, 128, 255, 50%)"), "#0080FF80 rgb" },
        { QStringLiteral("rgb(0 0 0 / none)"), "#00000000 rgb" },
        { QStringLiteral("rgb(12.5, 0, 0)"), "#0D0000 rgb" },
        { QStringLiteral("rgb( 255 , 0 , 0 , )"), "#FF0000 rgb" },
        { QStringLiteral("rgba(255, 0, 0)"), "#FF0000 rgb" },
        { QStringLiteral("rgb(255 0, 0)"), "nothing" },
        { QStringLiteral("rgb(256, 0, 0)"), "nothing" },
        { QStringLiteral("rgb(101%, 0, 0)"), "nothing" },
        { QStringLiteral("rgb(1.2.3, 0, 0)"), "nothing" },
        { QStringLiteral("rgb(., 0, 0)"), "nothing" },
        { QStringLiteral("rgb(255, 0)"), "nothing" },
        // An unreadable alpha counts as opaque.
        { QStringLiteral("rgb(255 0 0 / .)"), "#FF0000FF rgb" },
    });
}

TEST(ColorParseTest, CssHSLHSBAndHWB)
{
    expectParses({
        { QStringLiteral("hsl(120, 100%, 50%)"), "#00FF00 hsl" },
        { QStringLiteral("hsl(120 100 50)"), "#00FF00 hsl" },
        { QStringLiteral("HSL(120DEG, 100%, 50%)"), "#00FF00 hsl" },
        { QStringLiteral("hsl(0.5turn 100% 50%)"), "#00FFFF hsl" },
        { QStringLiteral("hsl(200grad 100% 50%)"), "#00FFFF hsl" },
        { QStringLiteral("hsl(3.14159rad 100% 50%)"), "#00FFFF hsl" },
        { QStringLiteral("hsl(none 0% 100%)"), "#FFFFFF hsl" },
        { QStringLiteral("hsl(180deg 100% 25%)"), "#007F80 hsl" },
        { QStringLiteral("hsla(240, 100%, 50%, 0.5)"), "#0000FF80 hsl" },
        { QStringLiteral("hsl(240 100% 50% / 25%)"), "#0000FF40 hsl" },
        { QStringLiteral("hsl(480, 100%, 50%)"), "#00FF00 hsl" },
        { QStringLiteral("hsl(1000, 100%, 50%)"), "nothing" },
        { QStringLiteral("hsl(120, 100%)"), "nothing" },
        { QStringLiteral("hsb(0, 100%, 100%)"), "#FF0000 hsb" },
        { QStringLiteral("hsba(240, 100%, 100%, 0.2)"), "#0000FF33 hsb" },
        { QStringLiteral("hsb(120 100% 100%)"), "nothing" },
        { QStringLiteral("hwb(0 0% 0%)"), "#FF0000 hwb" },
        { QStringLiteral("hwb(0 60% 60%)"), "#808080 hwb" },
        { QStringLiteral("hwb(120 0% 0% / 0.5)"), "#00FF0080 hwb" },
        { QStringLiteral("hwb(none 100% 0%)"), "#FFFFFF hwb" },
        { QStringLiteral("hwb(240 20% 40%)"), "#333399 hwb" },
        { QStringLiteral("hwb(0, 0%, 0%)"), "nothing" },
    });
}

TEST(ColorParseTest, CssCMYK)
{
    expectParses({
        { QStringLiteral("cmyk(0%, 100%, 100%, 0%)"), "#FF0000 cmyk" },
        { QStringLiteral("cmyk(0 1 1 0)"), "#FF0000 cmyk" },
        { QStringLiteral("cmyk(0, 100, 100, 0)"), "#FF0000 cmyk" },
        { QStringLiteral("cmyk(0, 50, 0, 0)"), "#FF80FF cmyk" },
        { QStringLiteral("cmyk(1, 0, 0, 0%)"), "#FCFFFF cmyk" },
        { QStringLiteral("cmyk(0 0 0 100% / 50%)"), "#00000080 cmyk" },
        { QStringLiteral("cmyk(0, 0, 0, 0, 0.5)"), "#FFFFFF80 cmyk" },
        { QStringLiteral("cmyk(0,0,0,0 / none)"), "#FFFFFF00 cmyk" },
        { QStringLiteral("cmyk(0, 0 0,0)"), "#FFFFFF cmyk" },
        { QStringLiteral("cmyk(none, 0, 0, 0)"), "nothing" },
        { QStringLiteral("device-cmyk(0 1 1 0)"), "#FF0000 device-cmyk" },
        { QStringLiteral("device-cmyk(0 50 0 0)"), "#FF00FF device-cmyk" },
        { QStringLiteral("device-cmyk(none 100% 100% none)"), "#FF0000 device-cmyk" },
        { QStringLiteral("device-cmyk(0 0 0 0 / 0.5)"), "#FFFFFF80 device-cmyk" },
        { QStringLiteral("device-cmyk(0 0 0 %)"), "nothing" },
    });
}

TEST(ColorParseTest, CssLabFamily)
{
    // Channels are truncated after the trip through Display P3.
    expectParses({
        { QStringLiteral("lab(53.2408 80.0925 67.2032)"), "#FF0000 lab" },
        { QStringLiteral("lab(100 0 0)"), "#FFFFFF lab" },
        { QStringLiteral("lab(0 0 0)"), "#000000 lab" },
        { QStringLiteral("lab(50 0 0)"), "#767676 lab" },
        { QStringLiteral("lab(50% 0 0)"), "#767676 lab" },
        { QStringLiteral("lab(45 18.7 -57.8)"), "#3365CB lab" },
        { QStringLiteral("LAB(75 -40 30);"), "#7ACA7F lab" },
        { QStringLiteral("lab(50 0 0 / none)"), "#76767600 lab" },
        { QStringLiteral("lab(50 0 0 / 0.5)"), "#76767680 lab" },
        { QStringLiteral("lab(50 1-2 0)"), "nothing" },
        { QStringLiteral("lch(53.2 104.6 40)"), "#FE0000 lch" },
        { QStringLiteral("lch(45 60.8 287.9)"), "#3265CB lch" },
        { QStringLiteral("lch(100 0 80)"), "#FFFFFF lch" },
        { QStringLiteral("lch(60 50 0.5turn)"), "#00A68F lch" },
        { QStringLiteral("lch(60% 50 180deg / 1)"), "#00A68FFF lch" },
        { QStringLiteral("oklab(0.628 0.2249 0.1258)"), "#FF0000 oklab" },
        { QStringLiteral("oklab(1 0 0)"), "#FFFFFF oklab" },
        { QStringLiteral("oklab(0.5 0 0)"), "#636363 oklab" },
        { QStringLiteral("oklab(50% 0 0)"), "#636363 oklab" },
        { QStringLiteral("oklab(0.7 0.1 0.1)"), "#E57E4E oklab" },
        { QStringLiteral("oklch(0.628 0.2577 29.23)"), "#FF0000 oklch" },
        { QStringLiteral("oklch(0.53 0.1679 262.3)"), "#3265CB oklch" },
        { QStringLiteral("oklch(90% 0.05 120 / 20%)"), "#D9E3BE33 oklch" },
        { QStringLiteral("oklch(0.5 -0.1 0)"), "nothing" },
    });
}

TEST(ColorParseTest, CssColorFunction)
{
    expectParses({
        { QStringLiteral("color(srgb 1 0 0)"), "#FF0000 color" },
        { QStringLiteral("color(srgb 120% -5 0.5)"), "#FF0080 color" },
        { QStringLiteral("color(srgb 0 0 1 / 25%)"), "#0000FF40 color" },
        { QStringLiteral("COLOR(SRGB none 1 none);"), "#00FF00 color" },
        { QStringLiteral("color(srgb-linear 1 1 1)"), "#FFFFFF color" },
        { QStringLiteral("color(srgb-linear 0.5 0 0)"), "#BC0000 color" },
        { QStringLiteral("color(display-p3 1 0 0)"), "#FF0000 color" },
        { QStringLiteral("color(display-p3 0.5 0.5 0.5)"), "#808080 color" },
        { QStringLiteral("color(display-p3 0.2 0.6 0.4)"), "#009C61 color" },
        { QStringLiteral("color(a98-rgb 0 1 0)"), "#00FF00 color" },
        { QStringLiteral("color(a98-rgb 0.3 0.5 0.7)"), "#1D81B6 color" },
        { QStringLiteral("color(prophoto-rgb 1 1 1)"), "#FFFFFF color" },
        { QStringLiteral("color(prophoto-rgb 0.5 0.5 0.5)"), "#929292 color" },
        { QStringLiteral("color(rec2020 0.5 0.5 0.5)"), "#8B8B8B color" },
        { QStringLiteral("color(rec2020 0.6 0.3 0.2)"), "#C24D3C color" },
        { QStringLiteral("color(xyz-d65 0.4124564 0.2126729 0.0193339)"), "#FF0000 color" },
        { QStringLiteral("color(xyz-d50 0.9642 1 0.8249)"), "#FFFFFF color" },
        { QStringLiteral("color(srgb 1 0)"), "nothing" },
        { QStringLiteral("color(cmyk 1 0 0)"), "nothing" },
    });
}

TEST(ColorParseTest, SwiftUIConstructors)
{
    expectParses({
        { QStringLiteral("Color(red: 1, green: 0.5, blue: 0)"), "#FF8000 swiftui" },
        { QStringLiteral("Color(.displayP3, red: 1, green: 0, blue: 0, opacity: 0.5)"), "#FF000080 swiftui" },
        { QStringLiteral("Color(.sRGB, red: 0.2, green: 0.4, blue: 0.8)"), "#3366CC swiftui" },
        { QStringLiteral("Color(red: 1, green: 0, blue: 0, opacity: 1)"), "#FF0000FF swiftui" },
        { QStringLiteral("Color(red: 255, green: 0, blue: 0)"), "#FF0000 swiftui" },
        { QStringLiteral("Color(red: 1, green: 0, blue: 0,)"), "#FF0000 swiftui" },
        { QStringLiteral("Color(red: 1, green: 0, blue: 0, opacity: 1.2.3)"), "#FF0000 swiftui" },
        { QStringLiteral("Color(white: 0.5)"), "#808080 swiftui" },
        { QStringLiteral("Color(white: 0.5, opacity: 0.25)"), "#80808040 swiftui" },
        { QStringLiteral("Color(hue: 0, saturation: 1, brightness: 1)"), "#FF0000 swiftui" },
        { QStringLiteral("Color(hue: 0.5, saturation: 1, brightness: 1, opacity: 0.5)"),
            "#00FFFF80 swiftui" },
        { QStringLiteral("color(red: 1, green: 0, blue: 0)"), "nothing" },
        { QStringLiteral("Color(red: 1, green: 0, blue: 0);"), "nothing" },
        { QStringLiteral("Color(red: 1.2.3, green: 0, blue: 0)"), "nothing" },
    });
}

TEST(ColorParseTest, UIKitAndAppKitConstructors)
{
    expectParses({
        { QStringLiteral("UIColor(red: 1, green: 0, blue: 0, alpha: 1)"), "#FF0000 uicolor" },
        { QStringLiteral("NSColor(red: 1.0, green: 0, blue: 0, alpha: 0.5)"), "#FF000080 nscolor" },
        { QStringLiteral("NSColor(white: 0, alpha: 0.999)"), "#000000 nscolor" },
        { QStringLiteral("UIColor(white: 1, alpha: 0.5)"), "#FFFFFF80 uicolor" },
        { QStringLiteral("NSColor(hue: 0.5, saturation: 1, brightness: 1, alpha: 1)"), "#00FFFF nscolor" },
        { QStringLiteral("UIColor(red: 1, green: 0, blue: 0)"), "nothing" },
        { QStringLiteral("NSColor(red: 1, green: 0, blue: 0, alpha: .)"), "nothing" },
        { QStringLiteral("uicolor(red: 1, green: 0, blue: 0, alpha: 1)"), "nothing" },
    });
}

TEST(ColorParseTest, FlutterConstructors)
{
    expectParses({
        { QStringLiteral("Color.fromARGB(255, 66, 165, 245)"), "#42A5F5 flutter-argb" },
        { QStringLiteral("Color.fromARGB(0x80, 0xFF, 0, 0)"), "#FF000080 flutter-argb" },
        { QStringLiteral("Color.fromARGB(0xff, 0x42, 0xa5, 0xF5,)"), "#42A5F5 flutter-argb" },
        { QStringLiteral("Color.fromARGB(255, 256, 0, 0)"), "nothing" },
        { QStringLiteral("Color.fromARGB(ff, 0, 0, 0)"), "nothing" },
        { QStringLiteral("Color.fromARGB(0x, 0, 0, 0)"), "nothing" },
        { QStringLiteral("Color.fromARGB(0x1x, 0, 0, 0)"), "nothing" },
        { QStringLiteral("Color.fromARGB(0XFF, 0, 0, 0)"), "nothing" },
        { QStringLiteral("Color.fromRGBO(66, 165, 245, 1.0)"), "#42A5F5 flutter-rgbo" },
        { QStringLiteral("Color.fromRGBO(66, 165, 245, 0.5)"), "#42A5F580 flutter-rgbo" },
        { QStringLiteral("Color.fromRGBO(256, 0, 0, 1)"), "nothing" },
        { QStringLiteral("Color.fromRGBO(0, 0, 0, .)"), "nothing" },
    });
}

TEST(ColorParseTest, ThreeJsConstructors)
{
    expectParses({
        { QStringLiteral("new THREE.Color(0xff8800)"), "#FF8800 three" },
        { QStringLiteral("THREE.Color(0xFf8800)"), "#FF8800 three" },
        { QStringLiteral("THREE.Color(0XFF8800)"), "nothing" },
        { QStringLiteral("THREE.Color(0xff8800,)"), "nothing" },
        { QStringLiteral("THREE.Color(1, 0.5, 0)"), "#FF8000 three" },
        { QStringLiteral("new   THREE.Color( 0.2 , 0.4 , 0.8 , )"), "#3366CC three" },
        { QStringLiteral("three.Color(1, 0.5, 0)"), "nothing" },
    });
}

// Values beyond a channel's range must never give more than two digits per byte, and numbers
// too large to represent must not reach the arithmetic.
TEST(ColorParseTest, OutOfRangeValuesAreClampedOrRejected)
{
    expectParses({
        { QStringLiteral("rgb(255 0 0 / 1.5)"), "#FF0000FF rgb" },
        { QStringLiteral("rgb(255 0 0 / 150%)"), "#FF0000FF rgb" },
        { QStringLiteral("hsl(0 100% 50% / 2)"), "#FF0000FF hsl" },
        { QStringLiteral("hsl(0, 200%, 50%)"), "#FF0000 hsl" },
        { QStringLiteral("hsl(0, 100%, 999%)"), "#FFFFFF hsl" },
        { QStringLiteral("hsb(120, 100%, 500%)"), "#00FF00 hsb" },
        { QStringLiteral("hwb(0 0% 0% / 999)"), "#FF0000FF hwb" },
        { QStringLiteral("cmyk(0, 100, 100, 0, 7)"), "#FF0000FF cmyk" },
        { QStringLiteral("lab(50 0 0 / 3)"), "#767676FF lab" },
        { QStringLiteral("color(srgb 1 0 0 / 250%)"), "#FF0000FF color" },
        { QStringLiteral("Color(hue: 0, saturation: 1, brightness: 2)"), "#FF0000 swiftui" },
        { QStringLiteral("NSColor(hue: 0, saturation: 5, brightness: 1, alpha: 1)"), "#FF0000 nscolor" },
        { QStringLiteral("Color(red: 1, green: 0, blue: 0, opacity: 40)"), "#FF0000FF swiftui" },
        // Numbers beyond double range do not read.
        { QStringLiteral("rgb(") + digits(400) + QStringLiteral(", 0, 0)"), "nothing" },
        { QStringLiteral("color(srgb ") + digits(400) + QStringLiteral(" 0 0)"), "nothing" },
        { QStringLiteral("Color(red: ") + digits(400) + QStringLiteral(", green: 0, blue: 0)"), "nothing" },
        { QStringLiteral("Color.fromARGB(") + digits(30) + QStringLiteral(", 0, 0, 0)"), "nothing" },
        { QStringLiteral("rgb(0 0 0 / ") + digits(400) + u')', "#000000FF rgb" },
        // Tiny numbers read as zero.
        { QStringLiteral("rgb(0.") + digits(400, '0') + QStringLiteral("1, 0, 0)"), "#000000 rgb" },
        // Finite but unconvertible Lab values give black rather than garbage.
        { QStringLiteral("lab(") + digits(300) + QStringLiteral(" 0 0)"), "#000000 lab" },
        { QStringLiteral("lch(50 ") + digits(300) + QStringLiteral(" 0)"), "#000000 lch" },
    });
}

// XYZ components are not limited to 0...1 (white has Z ≈ 1.089); only the sRGB result is.
TEST(ColorParseTest, XYZIsClampedOnlyAfterConversion)
{
    expectParses({
        { QStringLiteral("color(xyz 0.9505 1 1.089)"), "#FFFFFF color" },
        { QStringLiteral("color(xyz-d65 0.9505 1 1.089)"), "#FFFFFF color" },
        { QStringLiteral("color(xyz 2 2 2)"), "#FFFFFF color" },
        { QStringLiteral("color(xyz -1 -1 -1)"), "#000000 color" },
    });
}

TEST(ColorParseTest, AlphaReader)
{
    const std::vector<std::pair<QString, double>> alphas = {
        { QStringLiteral("none"), 0 },
        { QStringLiteral("NONE"), 0 },
        { QStringLiteral("50%"), 0.5 },
        { QStringLiteral(".5"), 0.5 },
        { QStringLiteral("5."), 5 },
        { QStringLiteral("1.2.3"), 1 },
        { QStringLiteral("."), 1 },
        { QStringLiteral("%"), 1 },
        { QStringLiteral("5.%"), 0.05 },
        { QStringLiteral(" 0.5"), 1 },
        { QStringLiteral("0.25"), 0.25 },
    };
    for (const auto &[text, expected] : alphas)
        EXPECT_DOUBLE_EQ(parseAlpha(text), expected) << text.toStdString();
}

TEST(ColorParseTest, HueReader)
{
    struct HueCase
    {
        QString number;
        QString unit;
        std::optional<double> degrees;
    };
    const std::vector<HueCase> hues = {
        { QStringLiteral("90"), {}, 90 },
        { QStringLiteral("1"), QStringLiteral("turn"), 360 },
        { QStringLiteral("1"), QStringLiteral("TURN"), 360 },
        { QStringLiteral("200"), QStringLiteral("grad"), 180 },
        { QStringLiteral("3.141592653589793"), QStringLiteral("rad"), 180 },
        { QStringLiteral("45"), QStringLiteral("deg"), 45 },
        { QStringLiteral("none"), QStringLiteral("turn"), 0 },
        { QStringLiteral("720"), {}, 720 },
        { QStringLiteral("1.2.3"), {}, std::nullopt },
        { QStringLiteral("5-"), {}, std::nullopt },
    };
    for (const HueCase &c : hues) {
        const std::optional<double> degrees = parseHue(c.number, c.unit);
        ASSERT_EQ(degrees.has_value(), c.degrees.has_value()) << c.number.toStdString();
        if (degrees) {
            EXPECT_NEAR(*degrees, *c.degrees, 1e-12) << c.number.toStdString();
        }
    }
}

TEST(ColorParseTest, ComponentReaders)
{
    EXPECT_EQ(parseColorComponent(u"50", true, 255), 127.5);
    EXPECT_EQ(parseColorComponent(u"none", true, 255), 0.0);
    EXPECT_EQ(parseColorComponent(u"-0.5", false, 1), -0.5);
    EXPECT_EQ(parseColorComponent(u"5.", false, 1), 5.0);
    EXPECT_EQ(parseColorComponent(u".", false, 1), std::nullopt);
    EXPECT_EQ(parseColorComponent(u"5-", false, 1), std::nullopt);
    EXPECT_EQ(parseColorComponent(u"\u0663", false, 1), std::nullopt); // an Arabic-Indic three

    EXPECT_EQ(parseFlutterComponent(u"255"), 255);
    EXPECT_EQ(parseFlutterComponent(u"0xFF"), 255);
    EXPECT_EQ(parseFlutterComponent(u"0XfF"), 255);
    EXPECT_EQ(parseFlutterComponent(u"ff"), std::nullopt);
    EXPECT_EQ(parseFlutterComponent(u"0x"), std::nullopt);
    EXPECT_EQ(parseFlutterComponent(u"99999999999999999999"), std::nullopt);

    EXPECT_EQ(parseDeviceCMYKComponent(u"50%"), 0.5);
    EXPECT_EQ(parseDeviceCMYKComponent(u"None"), 0.0);
    EXPECT_EQ(parseDeviceCMYKComponent(u"0.3"), 0.3);
    EXPECT_EQ(parseDeviceCMYKComponent(u"%"), std::nullopt);
}

TEST(ColorParseTest, HueConverters)
{
    // One wrap only: a t still above 1 takes the last branch.
    EXPECT_DOUBLE_EQ(hueToChannel(0.2, 0.8, -0.25), 0.2);
    EXPECT_DOUBLE_EQ(hueToChannel(0.2, 0.8, 0.1), 0.2 + 0.6 * 6 * 0.1);
    EXPECT_DOUBLE_EQ(hueToChannel(0.2, 0.8, 0.3), 0.8);
    EXPECT_DOUBLE_EQ(hueToChannel(0.2, 0.8, 0.6), 0.2 + 0.6 * (0.6666666666666666 - 0.6) * 6);
    EXPECT_DOUBLE_EQ(hueToChannel(0.2, 0.8, 2.5), 0.2);
    EXPECT_DOUBLE_EQ(hueToChannel(0.2, 0.8, 1.1), 0.2 + 0.6 * 6 * (1.1 - 1));

    const std::vector<std::pair<QString, QString>> hexes = {
        { hslToHex(0, 0, 0.5), QStringLiteral("#808080") },
        { hslToHex(300, 1, 0.5), QStringLiteral("#FF00FF") },
        { hsbToHex(1.0 / 6, 1, 1), QStringLiteral("#FFFF00") },
        { hsbToHex(5, 1, 1), QStringLiteral("#FF0000") },
        { hwbToHex(0, 0.5, 0.5), QStringLiteral("#808080") },
        { hwbToHex(0, 2, 0), QStringLiteral("#FFFFFF") },
        { cmykToHex(0, 0, 0, 0.5), QStringLiteral("#808080") },
        { cmykToHex(-1, 2, 0, 0), QStringLiteral("#FF00FF") },
        { xyzToHex(0, 0, 0), QStringLiteral("#000000") },
        { linearSRGBToHex(0.0031308, 0, 1), QStringLiteral("#0A00FF") },
    };
    for (const auto &[actual, expected] : hexes)
        EXPECT_EQ(actual, expected);
}
