#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The symbols of the search strip's pin button and menu. The desktop's icon theme gives them
// where it has the whole set of a symbol (pin and unpin alike, so that the two never mix
// styles); otherwise they are drawn, in the ink given, at any size.
enum class StripGlyph { pin, pinFill, pinSlash, pinSlashFill, trash };

// "pin", "pin.fill", "pin.slash", "pin.slash.fill", "trash": also the drawn icon's name.
QString stripGlyphName(StripGlyph glyph);
QIcon stripGlyphIcon(StripGlyph glyph, const QColor &ink);
