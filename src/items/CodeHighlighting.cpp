#include "items/CodeHighlighting.h"

#include "model/ClipboardItem.h"

QList<CodeLine> CodeHighlighting::unhighlightedCodeLines(const ClipboardItem &item, int maxLines)
{
    // The inline text holds far more than the few lines a row shows.
    return plainCodeLines(item.resolvedItem().textContent().value_or(QString()), maxLines);
}
