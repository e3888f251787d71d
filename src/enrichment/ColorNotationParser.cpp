// The entry of the colour reader, the hex forms and the component readers every notation
// shares.
#include "common/Regex.h"
#include "enrichment/ColorNotations.h"
#include "enrichment/ColorText_p.h"

#include <algorithm>
#include <cmath>

namespace ColorFormatter {

namespace {

struct Notation
{
    Parsed (*parser)(QStringView);
    // Every first character the notation can start with (its patterns are anchored), so
    // that ordinary text skips the notations it cannot be.
    QStringView initials;
};

// The fixed order in which notations are tried; the first that reads the text wins.
constexpr Notation notations[] = {
    { parseHex, u"#" },
    { parseHexARGB, u"0cC" },
    { parseRGBComma, u"rR" },
    { parseRGBSpace, u"rR" },
    { parseHSLComma, u"hH" },
    { parseHSLSpace, u"hH" },
    { parseHSB, u"hH" },
    { parseHWB, u"hH" },
    { parseCMYK, u"cC" },
    { parseDeviceCMYK, u"dD" },
    { parseLab, u"lL" },
    { parseLCH, u"lL" },
    { parseOKLab, u"oO" },
    { parseOKLCH, u"oO" },
    { parseColorFunction, u"cC" },
    { parseSwiftUIColorRGB, u"C" },
    { parseSwiftUIColorHSB, u"C" },
    { parseSwiftUIColorWhite, u"C" },
    { parsePlatformColorRGB, u"UN" },
    { parsePlatformColorWhite, u"UN" },
    { parsePlatformColorHSB, u"UN" },
    { parseFlutterARGB, u"C" },
    { parseFlutterRGBO, u"C" },
    { parseThreeColorHex, u"Tn" },
    { parseThreeColorRGB, u"Tn" },
};

// Every notation ends in ")" or ";" (the function forms) or in a hex digit (the hex forms).
bool canEndANotation(QChar last)
{
    return last == u')' || last == u';' || ColorText::isHexDigit(last);
}

bool isHexText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), ColorText::isHexDigit);
}

ParseResult hexResult(QString hex)
{
    return { std::move(hex), QStringLiteral("hex") };
}

} // namespace

Parsed parse(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty() || !canEndANotation(text.back()))
        return std::nullopt;
    for (const Notation &notation : notations) {
        if (!notation.initials.contains(text.front()))
            continue;
        if (Parsed result = notation.parser(text))
            return result;
    }
    return std::nullopt;
}

Parsed parseHex(QStringView text)
{
    const bool hasHash = text.startsWith(u'#');
    if (text.endsWith(u';'))
        text.chop(1);
    if (hasHash)
        text = text.mid(1);
    // Only hex digits pass, so counting UTF-16 units counts characters here. The digit test is
    // on the whole rest: a line break left before the ";" must not be taken for the end.
    if (!hasHash || !isHexText(text))
        return std::nullopt;
    if (text.size() == 3 || text.size() == 4) {
        QString hex(1, u'#');
        for (QChar digit : text)
            hex.append(digit.toUpper()).append(digit.toUpper());
        return hexResult(std::move(hex));
    }
    if (text.size() == 6 || text.size() == 8)
        return hexResult(u'#' + text.toString().toUpper());
    return std::nullopt;
}

Parsed parseHexARGB(QStringView text)
{
    static const auto expression = makeRegex(
        QStringLiteral(R"re(^(?:Color\s*\(\s*)?(0x[A-Fa-f0-9]{8})\s*\)?$)re"), RegexOptions::caseInsensitive);
    const auto match = ColorText::matchNotation(expression, text);
    if (!match)
        return std::nullopt;
    const QString argb = match->capturedView(1).mid(2).toString().toUpper();
    QString label = text.startsWith(u"color", Qt::CaseInsensitive) ? QStringLiteral("compose")
                                                                   : QStringLiteral("hex-argb");
    return ParseResult { u'#' + argb.mid(2) + argb.left(2), std::move(label) };
}

Parsed parseBareHex(QStringView text)
{
    // English words that happen to be spelled in hex digits; a copied word is not a colour.
    static const QStringList rejectedWords = {
        QStringLiteral("accede"),
        QStringLiteral("beaded"),
        QStringLiteral("bedded"),
        QStringLiteral("beefed"),
        QStringLiteral("cabbed"),
        QStringLiteral("dabbed"),
        QStringLiteral("decade"),
        QStringLiteral("deface"),
        QStringLiteral("efface"),
        QStringLiteral("facade"),
        QStringLiteral("faffed"),
        QStringLiteral("deeded"),
    };
    text = text.trimmed();
    if ((text.size() != 6 && text.size() != 8) || !isHexText(text))
        return std::nullopt;
    const QString lower = text.toString().toLower();
    if (rejectedWords.contains(lower))
        return std::nullopt;
    return hexResult(u'#' + lower.toUpper());
}

std::optional<double> parseColorComponent(QStringView text, bool percent, double maximum)
{
    if (ColorText::isNone(text))
        return 0.0;
    const std::optional<double> value = ColorText::readNumber(text);
    if (!value)
        return std::nullopt;
    return percent ? maximum * *value / 100 : *value;
}

double parseAlpha(QStringView text)
{
    if (ColorText::isNone(text))
        return 0;
    if (text.endsWith(u'%')) {
        const std::optional<double> percent = ColorText::readNumber(text.chopped(1));
        return percent ? *percent / 100 : 1;
    }
    return ColorText::readNumber(text).value_or(1);
}

double degreesFromAngle(double value, QStringView unit)
{
    if (unit.compare(u"rad", Qt::CaseInsensitive) == 0)
        return value * 180 / 3.141592653589793;
    if (unit.compare(u"grad", Qt::CaseInsensitive) == 0)
        return value * 0.9;
    if (unit.compare(u"turn", Qt::CaseInsensitive) == 0)
        return value * 360;
    return value;
}

std::optional<double> parseHue(QStringView number, QStringView unit)
{
    if (ColorText::isNone(number))
        return 0.0;
    const std::optional<double> value = ColorText::readNumber(number);
    if (!value)
        return std::nullopt;
    const double degrees = unit.isEmpty() ? *value : degreesFromAngle(*value, unit);
    if (!std::isfinite(degrees))
        return std::nullopt;
    return degrees;
}

} // namespace ColorFormatter
