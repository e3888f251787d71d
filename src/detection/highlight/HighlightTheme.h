#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The colour themes of highlighted code. Each has a display name (its raw value, which is
// how the settings store the choice), and for dark and for light appearance a style sheet
// for the ".hljs" classes and a background colour. Sheets never paint a background: the
// background travels separately, as hex text, to the view that paints it.
enum class HighlightTheme {
    a11y,
    atomOne,
    classic,
    edge,
    github,
    google,
    gradient,
    grayscale,
    harmonic16,
    heetch,
    horizon,
    humanoid,
    ia,
    isblEditor,
    kimbie,
    nnfx,
    pandaSyntax,
    papercolor,
    paraiso,
    qtcreator,
    silk,
    solarFlare,
    solarized,
    stackoverflow,
    standard,
    summerfruit,
    synthMidnightTerminal,
    tokyoNight,
    unikitty,
    xcode,
};

namespace HighlightThemes {

// Every theme, in declaration order (the order of the settings' theme picker).
const QList<HighlightTheme> &allCases();

// The display name ("GitHub", "Atom One", "a11y"); also the theme's identifier.
QString rawValue(HighlightTheme theme);
inline QString id(HighlightTheme theme)
{
    return rawValue(theme);
}

// The theme whose display name is exactly rawValue (case-sensitive), if any.
std::optional<HighlightTheme> fromRawValue(QStringView rawValue);

// Background colours as stored, hex text with or without "#".
QString darkBackground(HighlightTheme theme);
QString lightBackground(HighlightTheme theme);

// Minified style sheets. Some come from the highlighting package's own style files, which
// the build places in the resources ("highlight-styles.json"); should that file be missing
// such a theme falls back to a sheet of its main colours. Thread-safe.
QString darkStyleSheet(HighlightTheme theme);
QString lightStyleSheet(HighlightTheme theme);

} // namespace HighlightThemes
