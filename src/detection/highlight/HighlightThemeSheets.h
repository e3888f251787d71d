#pragma once

#include "model/HighlightTheme.h"

#include <QColor>
#include <QString>

// How each highlight theme looks: for dark and for light appearance a style sheet for the
// ".hljs" classes and a background colour. Sheets never paint a background: the background
// travels separately, as hex text, to the view that paints it.
namespace HighlightThemes {

// Background colours as stored, hex text with or without "#".
QString darkBackground(HighlightTheme theme);
QString lightBackground(HighlightTheme theme);

// The colour each sheet gives to text outside any token class.
QColor darkTextColor(HighlightTheme theme);
QColor lightTextColor(HighlightTheme theme);

// Minified style sheets. Some come from the highlighting package's own style files, which
// the build places in the resources ("highlight-styles.json"); should that file be missing or
// refused (anything but a regular file of at most 4 MB) such a theme falls back to a sheet of its
// main colours. Thread-safe.
QString darkStyleSheet(HighlightTheme theme);
QString lightStyleSheet(HighlightTheme theme);

} // namespace HighlightThemes
