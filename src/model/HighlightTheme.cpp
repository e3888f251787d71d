#include "model/HighlightTheme.h"

#include "common/RawValueTable.h"

#include <array>

namespace {

struct ThemeName
{
    HighlightTheme value;
    const char *rawValue;
};

constexpr std::array<ThemeName, 30> themeNames { {
    { HighlightTheme::a11y, "a11y" },
    { HighlightTheme::atomOne, "Atom One" },
    { HighlightTheme::classic, "Classic" },
    { HighlightTheme::edge, "Edge" },
    { HighlightTheme::github, "GitHub" },
    { HighlightTheme::google, "Google" },
    { HighlightTheme::gradient, "Gradient" },
    { HighlightTheme::grayscale, "Grayscale" },
    { HighlightTheme::harmonic16, "Harmonic16" },
    { HighlightTheme::heetch, "Heetch" },
    { HighlightTheme::horizon, "Horizon" },
    { HighlightTheme::humanoid, "Humanoid" },
    { HighlightTheme::ia, "iA" },
    { HighlightTheme::isblEditor, "ISBL Editor" },
    { HighlightTheme::kimbie, "Kimbie" },
    { HighlightTheme::nnfx, "NNFX" },
    { HighlightTheme::pandaSyntax, "Panda Syntax" },
    { HighlightTheme::papercolor, "Papercolor" },
    { HighlightTheme::paraiso, "Paraiso" },
    { HighlightTheme::qtcreator, "QT Creator" },
    { HighlightTheme::silk, "Silk" },
    { HighlightTheme::solarFlare, "Solar Flare" },
    { HighlightTheme::solarized, "Solarized" },
    { HighlightTheme::stackoverflow, "StackOverflow" },
    { HighlightTheme::standard, "Standard" },
    { HighlightTheme::summerfruit, "Summerfruit" },
    { HighlightTheme::synthMidnightTerminal, "Synth Midnight Terminal" },
    { HighlightTheme::tokyoNight, "Tokyo Night" },
    { HighlightTheme::unikitty, "Unikitty" },
    { HighlightTheme::xcode, "Xcode" },
} };

} // namespace

namespace HighlightThemes {

const QList<HighlightTheme> &allCases()
{
    static const QList<HighlightTheme> cases = RawValueTable::allCases(themeNames);
    return cases;
}

QString rawValue(HighlightTheme theme)
{
    return QString::fromLatin1(themeNames[size_t(theme)].rawValue);
}

std::optional<HighlightTheme> fromRawValue(QStringView rawValue)
{
    return RawValueTable::find(themeNames, rawValue);
}

} // namespace HighlightThemes
