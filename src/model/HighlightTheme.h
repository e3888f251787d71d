#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The colour themes of highlighted code, as the settings store the choice: each theme is
// known by its display name (its raw value). How a theme looks, its style sheets and
// backgrounds, is the highlighter's (HighlightThemeSheets).
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

} // namespace HighlightThemes
