#include "panel/PanelEnvironment.h"

QList<CodeLine> PanelEnvironment::unhighlightedCodeLines(const ClipboardItem &item, int maxLines)
{
    // The inline text holds far more than the few lines a row shows.
    return plainCodeLines(item.resolvedItem().textContent().value_or(QString()), maxLines);
}

bool PanelEnvironment::hasFileOnDisk(const ClipboardItem &item)
{
    const ClipboardItemType kind = item.type();
    if ((kind != ClipboardItemType::file && kind != ClipboardItemType::media) || !item.fileURL())
        return true;
    return item.countAvailableFiles() > 0;
}
