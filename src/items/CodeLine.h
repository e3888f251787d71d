#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

// One line of a code item as a row draws it: the text and the colour runs over it (none for
// plain text).
struct CodeLine
{
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

// The first lines of a code item's text without styling, split exactly as its highlighted
// lines are (CodePreviewLines), so that the row does not change its lines when their
// colours arrive.
QList<CodeLine> plainCodeLines(const QString &text, int maxLines);
