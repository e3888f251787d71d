#pragma once

#include "detection/highlight/AttributedText.h"

#include <QColor>
#include <QString>

// One highlighted text and what highlight.js said about it.
struct HighlightResult
{
    AttributedText attributedText;
    bool isUndefined = false; // highlight.js gave no result; the text is the input, unstyled
    bool hasIllegal = false; // highlight.js met illegal syntax
    QString language; // the language highlight.js used; "unknown" when it reported none
    int relevance = 0;
    QString languageName; // for display: "Python", "C++", "Python?" when unsure
    QColor backgroundColor; // the theme's background, for views that paint it

    friend bool operator==(const HighlightResult &, const HighlightResult &) = default;
};
