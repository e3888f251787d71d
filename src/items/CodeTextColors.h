#pragma once

#include "detection/highlight/HighlightColors.h"
#include "detection/highlight/HighlightThemeSheets.h"

// The colours of a code view for dark and for light appearance; the view uses the pair
// that matches its palette.
struct CodeTextColors
{
    HighlightColors dark = HighlightColors::dark(HighlightTheme::xcode);
    HighlightColors light = HighlightColors::light(HighlightTheme::xcode);

    static CodeTextColors forTheme(HighlightTheme theme)
    {
        return { HighlightColors::dark(theme), HighlightColors::light(theme) };
    }

    friend bool operator==(const CodeTextColors &, const CodeTextColors &) = default;
};
