// Random and mutated input for the colour reader, and its independence from the process
// locale.
#include "enrichment/Color.h"
#include "enrichment/ColorFormatMenuItem.h"
#include "enrichment/ColorFormatter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace ColorFormatter;

namespace {

const QStringList seeds = {
    QStringLiteral("#fff"),
    QStringLiteral("#f0a8"),
    QStringLiteral("#ff000080;"),
    QStringLiteral("0xFF336699"),
    QStringLiteral("Color(0xff336699)"),
    QStringLiteral("rgb(255, 0, 0)"),
    QStringLiteral("rgba(0 128 255 / 50%)"),
    QStringLiteral("hsl(120deg, 100%, 50%)"),
    QStringLiteral("hsl(0.5turn 100% 50% / .5)"),
    QStringLiteral("hsb(0, 100%, 100%)"),
    QStringLiteral("hwb(0 60% 60%)"),
    QStringLiteral("cmyk(0, 50, 0, 0, .5)"),
    QStringLiteral("device-cmyk(0 1 1 0 / none)"),
    QStringLiteral("lab(53.2 80.1 67.2)"),
    QStringLiteral("lch(53.2 104.6 40deg / 0.5)"),
    QStringLiteral("oklab(50% -0.1 0.1)"),
    QStringLiteral("oklch(0.63 0.2576 29.2)"),
    QStringLiteral("color(display-p3 1 0 0 / 50%)"),
    QStringLiteral("color(xyz-d50 0.9642 1 0.8249)"),
    QStringLiteral("color(rec2020 0.6 0.3 0.2)"),
    QStringLiteral("Color(.displayP3, red: 1, green: 0, blue: 0, opacity: 0.5)"),
    QStringLiteral("Color(hue: 0.5, saturation: 1, brightness: 1)"),
    QStringLiteral("Color(white: 0.5)"),
    QStringLiteral("UIColor(red: 1, green: 0, blue: 0, alpha: 0.5)"),
    QStringLiteral("NSColor(white: 0, alpha: 1)"),
    QStringLiteral("NSColor(hue: 0.1, saturation: 1, brightness: 1, alpha: 1)"),
    QStringLiteral("Color.fromARGB(0x80, 0xFF, 0, 0)"),
    QStringLiteral("Color.fromRGBO(66, 165, 245, 0.5)"),
    QStringLiteral("new THREE.Color(0xff8800)"),
    QStringLiteral("THREE.Color(1, 0.5, 0)"),
};

// Pieces that steer mutations towards the interesting corners: separators, signs, units,
// keywords, huge and tiny numbers, non-ASCII digits and spaces, broken UTF-16.
const QStringList fragments = {
    QStringLiteral("0"),
    QStringLiteral("1"),
    QStringLiteral("."),
    QStringLiteral("-"),
    QStringLiteral("%"),
    QStringLiteral(","),
    QStringLiteral(" "),
    QStringLiteral("/"),
    QStringLiteral("("),
    QStringLiteral(")"),
    QStringLiteral(";"),
    QStringLiteral("#"),
    QStringLiteral("x"),
    QStringLiteral("0x"),
    QStringLiteral("none"),
    QStringLiteral("deg"),
    QStringLiteral("turn"),
    QStringLiteral("rad"),
    QStringLiteral("e5"),
    QStringLiteral("\n"),
    QStringLiteral(
        "999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
        "9999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
        "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999"),
    QStringLiteral(
        "0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000001"),
    QStringLiteral("\u00a0"),
    QStringLiteral("\u0663"),
    QStringLiteral("\u00e9"),
    QStringLiteral("\u0301"),
    QString(QChar(0xD800)),
    QString(QChar(0)),
    QStringLiteral("\u212a"),
    QStringLiteral("\u017f"),
    QStringLiteral("ff"),
    QStringLiteral("FF"),
    QStringLiteral("a"),
    QStringLiteral("g"),
    QStringLiteral("\r\n"),
};

const QSet<QString> knownLabels = {
    QStringLiteral("hex"),
    QStringLiteral("compose"),
    QStringLiteral("hex-argb"),
    QStringLiteral("rgb"),
    QStringLiteral("hsl"),
    QStringLiteral("hsb"),
    QStringLiteral("hwb"),
    QStringLiteral("cmyk"),
    QStringLiteral("device-cmyk"),
    QStringLiteral("lab"),
    QStringLiteral("lch"),
    QStringLiteral("oklab"),
    QStringLiteral("oklch"),
    QStringLiteral("color"),
    QStringLiteral("swiftui"),
    QStringLiteral("uicolor"),
    QStringLiteral("nscolor"),
    QStringLiteral("flutter-argb"),
    QStringLiteral("flutter-rgbo"),
    QStringLiteral("three"),
};

QString mutate(QString text, std::mt19937 &random)
{
    const auto pick = [&](qsizetype size) {
        return qsizetype(std::uniform_int_distribution<qsizetype>(0, size)(random));
    };
    const int steps = std::uniform_int_distribution<int>(1, 4)(random);
    for (int step = 0; step < steps; ++step) {
        switch (std::uniform_int_distribution<int>(0, 5)(random)) {
        case 0:
            text.insert(pick(text.size()), fragments[pick(fragments.size() - 1)]);
            break;
        case 1:
            if (!text.isEmpty())
                text.remove(pick(text.size() - 1), 1 + pick(3));
            break;
        case 2:
            if (!text.isEmpty())
                text[pick(text.size() - 1)] = fragments[pick(fragments.size() - 1)].front();
            break;
        case 3:
            text.truncate(pick(text.size()));
            break;
        case 4: {
            // Replace a run of digits by another number.
            static const QRegularExpression number(QStringLiteral("[0-9.]+"));
            const QRegularExpressionMatch match = number.match(text, pick(text.size()));
            if (match.hasMatch())
                text.replace(
                    match.capturedStart(), match.capturedLength(), fragments[pick(fragments.size() - 1)]);
            break;
        }
        default:
            text = text.toUpper();
            break;
        }
    }
    return text;
}

QString junk(std::mt19937 &random)
{
    QString text;
    const int length = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < length; ++i)
        text.append(QChar(char16_t(std::uniform_int_distribution<int>(0, 0x2100)(random))));
    return text;
}

// Makes the process write decimal commas: the C library (printf, strtod), the C++ global
// locale and Qt's default locale. Generates the German locale into a private folder when the
// system has none.
class DecimalCommaLocale final
{
public:
    DecimalCommaLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
            return;
        if (m_folder.isValid()
            && QProcess::execute(QStringLiteral("localedef"),
                   { QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                       QStringLiteral("UTF-8"), m_folder.filePath(QStringLiteral("de_DE.UTF-8")) })
                == 0) {
            qputenv("LOCPATH", QFile::encodeName(m_folder.path()));
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
    }
    ~DecimalCommaLocale()
    {
        std::setlocale(LC_ALL, "C");
        qunsetenv("LOCPATH");
        QLocale::setDefault(QLocale::c());
    }

private:
    QTemporaryDir m_folder;
};

// Everything the colour code writes for a set of inputs, as one list of lines.
QStringList outputsFor(const QStringList &inputs)
{
    QStringList lines;
    for (const QString &input : inputs) {
        const std::optional<ParseResult> parsed = parse(input);
        lines.append(parsed ? parsed->hex + u' ' + parsed->label : QStringLiteral("nothing"));
        if (!parsed)
            continue;
        for (const ColorFormatMenuItem &item :
            colorFormatMenuItems(parsed->hex, { allFormats.begin(), allFormats.end() }, {}))
            lines.append(item.title);
    }
    for (double value : { 0.5, -0.00001, 1234.5678, 53.24 })
        lines.append(decimalString(value, 2) + u' ' + alphaString(value));
    lines.append(Color::fromLab(45, 18.7, -57.8).hexString());
    return lines;
}

} // namespace

TEST(ColorRobustnessTest, MutatedNotationsAndJunkGiveWellFormedResults)
{
    static const QRegularExpression wellFormed(QStringLiteral("^#[0-9A-F]{6}([0-9A-F]{2})?$"));
    std::mt19937 random(20240611);
    int recognised = 0;
    constexpr int rounds = 30000;
    for (int round = 0; round < rounds; ++round) {
        const QString input = round % 5 == 0 ? junk(random) : mutate(seeds[round % seeds.size()], random);
        for (const std::optional<ParseResult> &result : { parse(input), parseBareHex(input) }) {
            if (!result)
                continue;
            ++recognised;
            ASSERT_TRUE(wellFormed.match(result->hex).hasMatch())
                << result->hex.toStdString() << " from " << input.toStdString();
            ASSERT_TRUE(knownLabels.contains(result->label)) << result->label.toStdString();
            // Whatever is stored can be written in every paste format.
            for (Format format : allFormats)
                ASSERT_TRUE(ColorFormatter::format(result->hex, format)) << result->hex.toStdString();
        }
        // The writer must hold up to any stored text as well.
        (void)ColorFormatter::format(input, Format::oklch);
    }
    // The mutations keep enough inputs readable for the check to mean something.
    EXPECT_GT(recognised, rounds / 20);
}

TEST(ColorRobustnessTest, OutputDoesNotDependOnTheProcessLocale)
{
    QStringList inputs = seeds;
    inputs += { QStringLiteral("rgb(12.5, 0, 0)"), QStringLiteral("hsl(0.5turn 100% 50%)"),
        QStringLiteral("Color(red: 0.25, green: 0.5, blue: 0.75, opacity: 0.125)"),
        QStringLiteral("rgb(0,5, 0, 0)"), QStringLiteral("lab(50,5 0 0)") };
    const QStringList inCLocale = outputsFor(inputs);

    DecimalCommaLocale german;
    // The environment really writes decimal commas now.
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    ASSERT_STREQ(printed, "0,5");
    ASSERT_EQ(QLocale().toString(0.5), QStringLiteral("0,5"));

    EXPECT_EQ(outputsFor(inputs), inCLocale);
    EXPECT_TRUE(inCLocale.contains(QStringLiteral("HSL  \u2014  hsl(180, 100%, 50%)")));
}

// The capture reads colours on background threads; the compiled patterns are shared.
TEST(ColorRobustnessTest, ReadsFromManyThreadsAtOnce)
{
    QStringList inputs;
    for (int copy = 0; copy < 64; ++copy)
        inputs += seeds;
    const auto describeOne = [](const QString &input) {
        const std::optional<ParseResult> result = parse(input);
        return result ? result->hex + u' ' + result->label : QString();
    };
    const QStringList concurrent = QtConcurrent::blockingMapped(inputs, describeOne);
    for (qsizetype i = 0; i < inputs.size(); ++i)
        ASSERT_EQ(concurrent[i], describeOne(inputs[i])) << inputs[i].toStdString();
    EXPECT_FALSE(concurrent.contains(QString()));
}
