#pragma once

#include <QColor>
#include <QList>
#include <QTextLayout>

// The colour runs of highlighted code as drawn on a background. Some palettes give a token class
// a colour that hardly differs from the light background it was made for (GitHub light draws the
// brackets and equals signs of tags in #e8e8e8, Heetch light in #ddd6e5): such a run would vanish,
// so it is drawn in the theme's text colour instead. Every other run keeps its palette's colour.
namespace LegibleRuns {

// The contrast ratio of two opaque colours by their relative luminance (as WCAG 2 defines both):
// 1 for the same colour, 21 for black on white.
double contrastRatio(const QColor &a, const QColor &b);

// Below this a colour does not stand out from its background. The faintest colours the palettes
// give on purpose, comments, keep 1.59:1 or more on a light panel such as Qt's #efefef (Humanoid
// light's #c0c0bd); the colours that vanish stay between 1.07 (GitHub light's tag colour there)
// and 1.41 (Heetch light's on its own background).
inline constexpr double minimumContrast = 1.5;

// The runs with each foreground below minimumContrast against background drawn in text instead.
QList<QTextLayout::FormatRange> onBackground(
    QList<QTextLayout::FormatRange> runs, const QColor &background, const QColor &text);

} // namespace LegibleRuns
