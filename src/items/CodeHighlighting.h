#pragma once

#include "items/CodeLine.h"

#include <QList>
#include <QUuid>

class ClipboardItem;
class QPalette;

// The highlighted lines code rows and previews show, and the cache behind them. Main thread
// only.
class CodeHighlighting
{
public:
    virtual ~CodeHighlighting() = default;

    // The first lines of a code item as its row shows them in a palette: in the theme's colours
    // for the palette's appearance, each run legible on its window colour.
    virtual QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, const QPalette &palette) = 0;
    virtual void invalidateHighlightCache(const QUuid &itemId) = 0;
    // Drops the highlighter itself; it is built again when next needed.
    virtual void releaseHighlighter() = 0;
    // Empties the whole cache and drops the highlighter.
    virtual void clearHighlightCache() = 0;

protected:
    // Until code is highlighted: the first lines as plain text.
    static QList<CodeLine> unhighlightedCodeLines(const ClipboardItem &item, int maxLines);
};
