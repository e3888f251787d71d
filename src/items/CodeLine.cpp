#include "items/CodeLine.h"

#include "detection/CodePreviewLines.h"

#include <QFontMetricsF>

CodeLine CodeLine::indented(
    QStringView indentation, const QString &text, const QList<QTextLayout::FormatRange> &formats)
{
    QString shown;
    for (QChar c : indentation) {
        if (c == u'\t')
            shown += QStringLiteral("    ");
        else
            shown += c;
    }
    const int shift = int(shown.size());
    shown += text;
    QList<QTextLayout::FormatRange> moved = formats;
    for (QTextLayout::FormatRange &range : moved)
        range.start += shift;
    return { shown, moved };
}

QList<CodeLine> plainCodeLines(const QString &text, int maxLines)
{
    QList<CodeLine> lines;
    for (const CodePreviewLines::Line &line : CodePreviewLines::split(text, maxLines))
        lines.append(CodeLine::indented(line.indentation, line.code));
    return lines;
}

void drawCodeLine(
    QPainter &painter, const CodeLine &line, const QFont &font, const QPointF &origin, double width)
{
    const QFontMetricsF metrics(font);
    QTextOption option;
    option.setTabStopDistance(4 * metrics.horizontalAdvance(QLatin1Char(' ')));
    option.setWrapMode(QTextOption::NoWrap);
    QTextLayout layout(metrics.elidedText(line.text, Qt::ElideRight, width), font);
    layout.setTextOption(option);
    layout.setFormats(line.formats);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (textLine.isValid())
        textLine.setLineWidth(width);
    layout.endLayout();
    layout.draw(&painter, origin);
}
