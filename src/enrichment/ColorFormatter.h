#pragma once

#include "enrichment/ColorFormat.h"

#include <QString>
#include <QStringView>

#include <optional>

// Colour notations: reading a colour written as text, and writing a stored colour in the
// notations the user can paste. Stateless; every operation is safe from any thread.
namespace ColorFormatter {

// --- Reading ---------------------------------------------------------------------------

// A recognised colour: "#RRGGBB" or "#RRGGBBAA" (upper-case, alpha last) and the label of
// the notation it was written in ("hex", "rgb", "oklch", "swiftui", ...).
struct ParseResult
{
    QString hex;
    QString label;

    friend bool operator==(const ParseResult &, const ParseResult &) = default;
};

// The colour that the whole text (whitespace around it ignored) writes in one of the known
// notations, trying them in a fixed order; nothing when it is not exactly one colour.
// Callers keep the text under 100,001 UTF-16 code units.
std::optional<ParseResult> parse(QStringView text);

// Six or eight hex digits without "#" ("c0ffee"), except for English words spelled with the
// letters a to f. Only for texts known to come from a design tool, where such strings are
// colours rather than words or identifiers.
std::optional<ParseResult> parseBareHex(QStringView text);

// --- Writing ---------------------------------------------------------------------------

// The components (each 0...1) of "#RRGGBB" or "#RRGGBBAA"; whitespace around it is ignored.
// The text after "#" must be six or eight characters and is read from its leading hex
// digits. Nothing for any other text.
std::optional<RGBAComponents> rgbaComponents(QStringView hex);

// The colour written in the given notation; nothing when the hex does not read.
std::optional<QString> format(QStringView hex, Format format);

// value with at most `decimals` decimals, trailing zeros and a trailing "." dropped
// ("0.5", "1", "-0"). Independent of the process locale.
QString decimalString(double value, int decimals);

// An alpha for the CSS notations: "0" for zero, otherwise decimalString with 2 decimals.
QString alphaString(double alpha);

} // namespace ColorFormatter
