#include "items/CodeLine.h"

#include <QStringTokenizer>

QList<CodeLine> plainCodeLines(const QString &text, int maxLines)
{
    QList<CodeLine> lines;
    if (maxLines <= 0)
        return lines;
    for (QStringView line : QStringTokenizer(text, QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        lines.append(CodeLine { line.toString().replace(QLatin1Char('\t'), QStringLiteral("    ")), {} });
        if (lines.size() >= maxLines)
            break;
    }
    return lines;
}
