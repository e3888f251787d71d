#pragma once

#include "items/CodeLine.h"
#include "model/ClipboardItem.h"
#include "model/HighlightTheme.h"

class HighlightCacheService;
class QPalette;

// The code lines of an item's row: each highlighted when the cache knows it (from memory,
// else from the lines persisted in the item), else plain for now, in which case it is asked
// for in the background and the row is painted again when it arrives. Blank lines stay
// plain and are never asked for. The language comes from the item's detected language
// through the detector table (automatic detection when there is none). Each line is drawn
// after its own indentation from the item's text (the highlighted lines are kept without it).
// The lines are in the theme's colours for the palette's appearance, drawn on its window colour:
// a run that would not stand out there is in the theme's text colour.
namespace CachedCodeLine {

QList<CodeLine> lines(const ClipboardItem &item, int maxLines, const QPalette &palette, HighlightTheme theme,
    HighlightCacheService &cache);

} // namespace CachedCodeLine
