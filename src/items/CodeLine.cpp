#include "items/CodeLine.h"

#include "detection/CodePreviewLines.h"

QList<CodeLine> plainCodeLines(const QString &text, int maxLines)
{
    QList<CodeLine> lines;
    for (const QString &line : CodePreviewLines::make(text, maxLines))
        lines.append(CodeLine { line, {} });
    return lines;
}
