#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QTextLayout>

class QFontMetricsF;
class QPainter;

// One line of a code item as a row or a preview draws it: the text and the colour runs over it
// (none for plain text).
struct CodeLine
{
    QString text;
    QList<QTextLayout::FormatRange> formats;

    // The line as drawn from a highlighted (or plain) line and the indentation it was split
    // from: the indentation first, each tab four spaces wide, the colour runs moved along with
    // the text. The highlighted lines are kept without their indentation, so that the same
    // statement is coloured alike at any depth; the nesting is shown again here.
    static CodeLine indented(
        QStringView indentation, const QString &text, const QList<QTextLayout::FormatRange> &formats = {});
};

// The first lines of a code item's text without styling, split exactly as its highlighted
// lines are (CodePreviewLines), so that the row does not change its lines when their
// colours arrive.
QList<CodeLine> plainCodeLines(const QString &text, int maxLines);

// The text of a code line as drawn in a width: cut with an ellipsis when it is wider, and laid
// out from no more of it than could show there.
QString elidedCodeLine(const CodeLine &line, const QFontMetricsF &metrics, double width);

// Draws code lines one under the other, each on one line of the given width from `topLeft`
// down, cut with an ellipsis when it is wider; tabs within a line stop every four spaces.
// Returns the y below the last line.
double drawCodeLines(
    QPainter &painter, const QList<CodeLine> &lines, const QFont &font, const QPointF &topLeft, double width);
