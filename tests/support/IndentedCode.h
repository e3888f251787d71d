#pragma once

// A Python function as a person copies it from an editor, nested blocks indented with spaces,
// tabs and both, and how to find where each drawn line of it starts in a picture of a row or
// a preview.

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QStringList>

#include <cmath>

struct IndentedLine
{
    const char *text;
    // The column its first letter is drawn at, a tab counting four; -1 for a line with none.
    int column;
};

inline const IndentedLine indentedPython[] = {
    { "def walk(tree, depth=0):", 0 },
    { "    for node in tree:", 4 },
    { "\t    if node.children:", 8 },
    { "\t\t\twalk(node.children, depth + 1)", 12 },
    { "        else:", 8 },
    { "  \t      print(node)", 12 },
    { "", -1 },
    { "\treturn depth", 4 },
};

inline QString indentedPythonText()
{
    QStringList lines;
    for (const IndentedLine &line : indentedPython)
        lines.append(QString::fromUtf8(line.text));
    return lines.join(QLatin1Char('\n'));
}

// The colour most of an area shows: the ground its text is drawn on.
inline QRgb groundColour(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb most = 0;
    int mostCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > mostCount) {
            most = it.key();
            mostCount = it.value();
        }
    }
    return most;
}

// Ink: a pixel clearly away from the ground (the faint edge of a glyph does not count).
inline bool isInk(QRgb pixel, QRgb ground)
{
    return std::abs(qRed(pixel) - qRed(ground)) + std::abs(qGreen(pixel) - qGreen(ground))
        + std::abs(qBlue(pixel) - qBlue(ground))
        > 120;
}

// The first pixel row of the area with ink; -1 when there is none.
inline int firstInkRow(const QImage &image, const QRect &area)
{
    const QRgb ground = groundColour(image, area);
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (isInk(image.pixel(x, y), ground))
                return y;
        }
    }
    return -1;
}

// Where each of `count` lines of text drawn in a font starts: for each line, the first column
// from the area's left with ink, looked for between its baseline and its lower-case letters' top
// (where no neighbour's ascenders or descenders reach); -1 for a line without ink there. The
// first line's tallest glyph reaches up to the area's first ink.
inline QList<int> firstInkColumns(
    const QImage &image, const QRect &area, const QFont &font, const QString &firstLine, int count)
{
    const int top = firstInkRow(image, area);
    if (top < 0)
        return QList<int>(count, -1);
    const QFontMetricsF metrics(font);
    const double firstBaseline = top - metrics.tightBoundingRect(firstLine).top();
    const QRgb ground = groundColour(image, area);
    QList<int> columns;
    for (int line = 0; line < count; ++line) {
        const double baseline = firstBaseline + line * metrics.lineSpacing();
        const int from = std::max(area.top(), int(std::ceil(baseline - metrics.xHeight())) + 1);
        const int to = std::min(area.bottom(), int(std::floor(baseline)) - 1);
        int first = -1;
        for (int x = area.left(); x <= area.right() && first < 0; ++x) {
            for (int y = from; y <= to; ++y) {
                if (isInk(image.pixel(x, y), ground)) {
                    first = x - area.left();
                    break;
                }
            }
        }
        columns.append(first);
    }
    return columns;
}

// The lines of indentedPython drawn away from where their indentation puts them, given where
// each starts (firstInkColumns) and the width of a space: "line n: ..." for each, empty when
// every line is in its place. Places are taken from the first line's, which has no indentation.
inline QStringList misplacedLines(const QList<int> &drawn, double space)
{
    QStringList wrong;
    if (drawn.value(0, -1) < 0)
        return { QStringLiteral("line 0: no ink") };
    for (int i = 1; i < drawn.size(); ++i) {
        const IndentedLine &line = indentedPython[i];
        const bool hasInk = drawn[i] >= 0;
        if (hasInk != (line.column >= 0)) {
            wrong.append(
                QStringLiteral("line %1: ink %2").arg(i).arg(hasInk ? "where none belongs" : "missing"));
            continue;
        }
        const double expected = line.column * space;
        if (hasInk && std::abs(drawn[i] - drawn[0] - expected) > space / 2)
            wrong.append(QStringLiteral("line %1: %2 px right of the first, expected %3")
                             .arg(i)
                             .arg(drawn[i] - drawn[0])
                             .arg(expected));
    }
    return wrong;
}
