#include "enrichment/ColorFormatMenuItem.h"
#include "enrichment/ColorFormatter.h"

#include <gtest/gtest.h>

using namespace ColorFormatter;

namespace {

struct FormatCase
{
    QString hex;
    Format format;
    QString expected; // empty: no result
};

void expectFormats(const std::vector<FormatCase> &cases)
{
    for (const FormatCase &c : cases) {
        const std::optional<QString> actual = format(c.hex, c.format);
        EXPECT_EQ(actual.value_or(QString()).toStdString(), c.expected.toStdString())
            << c.hex.toStdString() << " as " << rawValue(c.format).toStdString();
        EXPECT_EQ(actual.has_value(), !c.expected.isEmpty()) << c.hex.toStdString();
    }
}

QStringList keyEquivalents(const QList<ColorFormatMenuItem> &items)
{
    QStringList keys;
    for (const ColorFormatMenuItem &item : items)
        keys.append(item.keyEquivalent);
    return keys;
}

QList<Format> defaultOrder()
{
    return { allFormats.begin(), allFormats.end() };
}

} // namespace

TEST(ColorFormatTest, CasesRawValuesAndDisplayNames)
{
    const std::vector<std::tuple<Format, QString, QString>> table = {
        { Format::hex, QStringLiteral("hex"), QStringLiteral("Hex") },
        { Format::rgb, QStringLiteral("rgb"), QStringLiteral("RGB") },
        { Format::hsl, QStringLiteral("hsl"), QStringLiteral("HSL") },
        { Format::hwb, QStringLiteral("hwb"), QStringLiteral("HWB") },
        { Format::lab, QStringLiteral("lab"), QStringLiteral("LAB") },
        { Format::lch, QStringLiteral("lch"), QStringLiteral("LCH") },
        { Format::oklab, QStringLiteral("oklab"), QStringLiteral("OKLab") },
        { Format::oklch, QStringLiteral("oklch"), QStringLiteral("OKLCH") },
        { Format::swiftUI, QStringLiteral("swiftUI"), QStringLiteral("SwiftUI") },
        { Format::nsColor, QStringLiteral("nsColor"), QStringLiteral("NSColor") },
        { Format::uiColor, QStringLiteral("uiColor"), QStringLiteral("UIColor") },
    };
    ASSERT_EQ(allFormats.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const auto &[format, raw, display] = table[i];
        EXPECT_EQ(allFormats[i], format) << "declaration order at " << i;
        EXPECT_EQ(rawValue(format), raw);
        EXPECT_EQ(displayName(format), display);
        EXPECT_EQ(formatFromRawValue(raw), format);
        EXPECT_EQ(qHash(format, 7), qHash(raw, 7));
    }
    for (const QString &unknown : { QStringLiteral("Hex"), QStringLiteral(" hex"), QStringLiteral("hex "),
             QStringLiteral("swiftui"), QStringLiteral("HSL"), QString() }) {
        EXPECT_EQ(formatFromRawValue(unknown), std::nullopt) << unknown.toStdString();
    }
}

TEST(ColorFormatterOutputTest, WorkedValues)
{
    expectFormats({
        { QStringLiteral("#FF0000"), Format::hex, QStringLiteral("#FF0000") },
        { QStringLiteral("#FF0000"), Format::rgb, QStringLiteral("rgb(255, 0, 0)") },
        { QStringLiteral("#FF0000"), Format::hsl, QStringLiteral("hsl(0, 100%, 50%)") },
        { QStringLiteral("#FF0000"), Format::hwb, QStringLiteral("hwb(0 0% 0%)") },
        { QStringLiteral("#FF0000"), Format::lab, QStringLiteral("lab(53.2 80.1 67.2)") },
        { QStringLiteral("#FF0000"), Format::lch, QStringLiteral("lch(53.2 104.6 40)") },
        { QStringLiteral("#FF0000"), Format::oklab, QStringLiteral("oklab(0.63 0.2248 0.1258)") },
        { QStringLiteral("#FF0000"), Format::oklch, QStringLiteral("oklch(0.63 0.2576 29.2)") },
        { QStringLiteral("#FF0000"), Format::swiftUI, QStringLiteral("Color(red: 1, green: 0, blue: 0)") },
        { QStringLiteral("#FF0000"), Format::nsColor,
            QStringLiteral("NSColor(red: 1, green: 0, blue: 0, alpha: 1)") },
        { QStringLiteral("#FF0000"), Format::uiColor,
            QStringLiteral("UIColor(red: 1, green: 0, blue: 0, alpha: 1)") },
        { QStringLiteral("#3366CC80"), Format::hex, QStringLiteral("#3366CC80") },
        { QStringLiteral("#3366CC80"), Format::rgb, QStringLiteral("rgb(51 102 204 / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::hsl, QStringLiteral("hsl(220 60% 50% / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::hwb, QStringLiteral("hwb(220 20% 20% / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::lab, QStringLiteral("lab(45 18.7 -57.8 / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::lch, QStringLiteral("lch(45 60.8 287.9 / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::oklab, QStringLiteral("oklab(0.53 -0.0225 -0.1664 / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::oklch, QStringLiteral("oklch(0.53 0.1679 262.3 / 0.5)") },
        { QStringLiteral("#3366CC80"), Format::swiftUI,
            QStringLiteral("Color(red: 0.2, green: 0.4, blue: 0.8, opacity: 0.5)") },
        { QStringLiteral("#3366CC80"), Format::nsColor,
            QStringLiteral("NSColor(red: 0.2, green: 0.4, blue: 0.8, alpha: 0.5)") },
        { QStringLiteral("#3366CC80"), Format::uiColor,
            QStringLiteral("UIColor(red: 0.2, green: 0.4, blue: 0.8, alpha: 0.5)") },
    });
}

TEST(ColorFormatterOutputTest, HexReading)
{
    expectFormats({
        { QStringLiteral(" #1A2B3C "), Format::rgb, QStringLiteral("rgb(26, 43, 60)") },
        { QStringLiteral("\n#1A2B3C\n"), Format::hex, QStringLiteral("#1A2B3C") },
        // Six characters decide the layout even when fewer are digits.
        { QStringLiteral("#12345Z"), Format::hex, QStringLiteral("#012345") },
        { QStringLiteral("#0x1234"), Format::hex, QStringLiteral("#001234") },
        { QStringLiteral("#FFF"), Format::hex, QString() },
        { QStringLiteral("FF0000"), Format::hex, QString() },
        { QStringLiteral("#ZZZZZZ"), Format::rgb, QString() },
        { QStringLiteral("#FF00000"), Format::rgb, QString() },
        { QString(), Format::hex, QString() },
        // A combining accent belongs to its letter: still six characters.
        { QStringLiteral("#12345e\u0301"), Format::hex, QStringLiteral("#12345E") },
    });
}

TEST(ColorFormatterOutputTest, Alpha)
{
    expectFormats({
        { QStringLiteral("#FF0000FF"), Format::rgb, QStringLiteral("rgb(255, 0, 0)") },
        { QStringLiteral("#FF0000FF"), Format::hex, QStringLiteral("#FF0000") },
        { QStringLiteral("#FF000000"), Format::rgb, QStringLiteral("rgb(255 0 0 / 0)") },
        { QStringLiteral("#FF000000"), Format::swiftUI,
            QStringLiteral("Color(red: 1, green: 0, blue: 0, opacity: 0)") },
        { QStringLiteral("#FF000000"), Format::hex, QStringLiteral("#FF000000") },
        { QStringLiteral("#FF000001"), Format::rgb, QStringLiteral("rgb(255 0 0 / 0)") },
        { QStringLiteral("#FF000001"), Format::hex, QStringLiteral("#FF000001") },
        { QStringLiteral("#FF000080"), Format::nsColor,
            QStringLiteral("NSColor(red: 1, green: 0, blue: 0, alpha: 0.5)") },
    });
}

TEST(ColorFormatterOutputTest, WhiteAndBlack)
{
    expectFormats({
        { QStringLiteral("#FFFFFF"), Format::lab, QStringLiteral("lab(100 0 0)") },
        { QStringLiteral("#FFFFFF"), Format::lch, QStringLiteral("lch(100 0 80)") },
        { QStringLiteral("#FFFFFF"), Format::oklab, QStringLiteral("oklab(1 -0 -0.0001)") },
        { QStringLiteral("#FFFFFF"), Format::oklch, QStringLiteral("oklch(1 0.0001 0)") },
        { QStringLiteral("#FFFFFF"), Format::hsl, QStringLiteral("hsl(0, 0%, 100%)") },
        { QStringLiteral("#000000"), Format::hsl, QStringLiteral("hsl(0, 0%, 0%)") },
        { QStringLiteral("#000000"), Format::hwb, QStringLiteral("hwb(0 0% 100%)") },
        { QStringLiteral("#000000"), Format::lab, QStringLiteral("lab(0 0 0)") },
        { QStringLiteral("#000000"), Format::oklch, QStringLiteral("oklch(0 0 0)") },
    });
}

TEST(ColorFormatterOutputTest, NumberText)
{
    const std::vector<std::tuple<double, int, QString>> decimals = {
        { 0.5, 2, QStringLiteral("0.5") },
        { 1.0, 2, QStringLiteral("1") },
        { 53.24, 1, QStringLiteral("53.2") },
        { -0.00001, 4, QStringLiteral("-0") },
        { 100, 1, QStringLiteral("100") },
        { 0.125, 2, QStringLiteral("0.12") },
        { 2.5, 0, QStringLiteral("2") },
        { -57.84, 1, QStringLiteral("-57.8") },
        { 1e6, 2, QStringLiteral("1000000") },
    };
    for (const auto &[value, count, expected] : decimals)
        EXPECT_EQ(decimalString(value, count), expected) << value << " with " << count;

    const std::vector<std::pair<double, QString>> alphas = {
        { 0.0, QStringLiteral("0") },
        { -0.0, QStringLiteral("0") },
        { 1.0 / 255, QStringLiteral("0") },
        { 128.0 / 255, QStringLiteral("0.5") },
        { 0.25, QStringLiteral("0.25") },
        { 1, QStringLiteral("1") },
    };
    for (const auto &[alpha, expected] : alphas)
        EXPECT_EQ(alphaString(alpha), expected) << alpha;
}

TEST(ColorFormatterOutputTest, RGBAComponents)
{
    EXPECT_EQ(rgbaComponents(u"#3366CC80"), (RGBAComponents { 0.2, 0.4, 0.8, 128.0 / 255 }));
    EXPECT_EQ(rgbaComponents(u"#FF0000"), (RGBAComponents { 1, 0, 0, 1 }));
    EXPECT_EQ(rgbaComponents(u"#  FF0000"), (RGBAComponents { 0, 1, 0, 0 }));
    EXPECT_EQ(rgbaComponents(u"3366CC"), std::nullopt);
    EXPECT_EQ(rgbaComponents(u"#"), std::nullopt);
}

TEST(ColorFormatMenuTest, EntriesInOrderWithShortcuts)
{
    const QList<ColorFormatMenuItem> items = colorFormatMenuItems(u"#FF0000", defaultOrder(), {});
    ASSERT_EQ(items.size(), 11);
    EXPECT_EQ(keyEquivalents(items), QStringList({ "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-" }));
    EXPECT_EQ(items[1].format, Format::rgb);
    EXPECT_EQ(items[1].title, QStringLiteral("RGB  \u2014  rgb(255, 0, 0)"));
    EXPECT_EQ(items[1].value, QStringLiteral("rgb(255, 0, 0)"));
    EXPECT_EQ(items[0].shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));
    EXPECT_EQ(items[10].shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Minus));
    for (const ColorFormatMenuItem &item : items)
        EXPECT_EQ(item.value, format(u"#FF0000", item.format));
}

TEST(ColorFormatMenuTest, UserOrderAndDisabledFormats)
{
    // Switching rgb off moves the later shortcuts up.
    QList<ColorFormatMenuItem> items
        = colorFormatMenuItems(u"#FF0000", defaultOrder(), { QStringLiteral("rgb") });
    ASSERT_EQ(items.size(), 10);
    EXPECT_EQ(items[1].format, Format::hsl);
    EXPECT_EQ(items[1].keyEquivalent, QStringLiteral("2"));
    EXPECT_EQ(items.last().keyEquivalent, QStringLiteral("0"));

    const QList<Format> order = { Format::oklch, Format::hex, Format::uiColor };
    items = colorFormatMenuItems(u"#3366CC80", order, { QStringLiteral("hex"), QStringLiteral("unknown") });
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].title, QStringLiteral("OKLCH  \u2014  oklch(0.53 0.1679 262.3 / 0.5)"));
    EXPECT_EQ(items[1].format, Format::uiColor);
    EXPECT_EQ(keyEquivalents(items), QStringList({ "1", "2" }));

    // Past the eleventh entry there is no shortcut.
    QList<Format> doubled = defaultOrder() + defaultOrder();
    items = colorFormatMenuItems(u"#FF0000", doubled, {});
    ASSERT_EQ(items.size(), 22);
    EXPECT_TRUE(items[11].keyEquivalent.isEmpty());
    EXPECT_TRUE(items[11].shortcut().isEmpty());
}

TEST(ColorFormatMenuTest, UnreadableHexGivesNoEntries)
{
    EXPECT_TRUE(colorFormatMenuItems(u"#FFF", defaultOrder(), {}).isEmpty());
    EXPECT_TRUE(colorFormatMenuItems(u"red", defaultOrder(), {}).isEmpty());
}
