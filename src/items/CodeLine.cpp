#include "items/CodeLine.h"

#include "common/TextExcerpt.h"
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

QString elidedCodeLine(const CodeLine &line, const QFontMetricsF &metrics, double width)
{
    // Eliding measures all it is given: only what could fit the width goes in, twice over for
    // letters of a narrower fallback font and at two UTF-16 units a letter. A letter under many
    // accents takes more, and fewer of them show.
    const qsizetype columns = qsizetype(width / metrics.horizontalAdvance(QLatin1Char(' '))) + 1;
    const TextExcerpt::Excerpt shown = TextExcerpt::make(line.text, 1, 4 * columns);
    // What was left out is said with an ellipsis, also when what is left fits.
    return metrics.elidedText(shown.cut ? shown.text + QChar(0x2026) : shown.text, Qt::ElideRight, width);
}

double drawCodeLines(
    QPainter &painter, const QList<CodeLine> &lines, const QFont &font, const QPointF &topLeft, double width)
{
    const QFontMetricsF metrics(font);
    QTextOption option;
    option.setTabStopDistance(4 * metrics.horizontalAdvance(QLatin1Char(' ')));
    option.setWrapMode(QTextOption::NoWrap);
    double y = topLeft.y();
    for (const CodeLine &line : lines) {
        QTextLayout layout(elidedCodeLine(line, metrics, width), font);
        layout.setTextOption(option);
        layout.setFormats(line.formats);
        layout.beginLayout();
        QTextLine textLine = layout.createLine();
        if (textLine.isValid())
            textLine.setLineWidth(width);
        layout.endLayout();
        layout.draw(&painter, QPointF(topLeft.x(), y));
        y += metrics.lineSpacing();
    }
    return y;
}
