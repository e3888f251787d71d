#pragma once

#include "detection/highlight/HighlightThemeSheets.h"

#include <QHashFunctions>
#include <QString>

// The colours one highlight is made with: a style sheet for the ".hljs" classes (never with
// a background) and the background colour as hex text, which the view paints itself.
struct HighlightColors
{
    QString css;
    QString background;

    static HighlightColors dark(HighlightTheme theme)
    {
        return { HighlightThemes::darkStyleSheet(theme), HighlightThemes::darkBackground(theme) };
    }
    static HighlightColors light(HighlightTheme theme)
    {
        return { HighlightThemes::lightStyleSheet(theme), HighlightThemes::lightBackground(theme) };
    }

    friend bool operator==(const HighlightColors &, const HighlightColors &) = default;
};

inline size_t qHash(const HighlightColors &colors, size_t seed = 0)
{
    return qHashMulti(seed, colors.css, colors.background);
}
