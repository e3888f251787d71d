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

// The first lines of a text, tabs widened to four spaces, without styling. What a code row
// shows until highlighted lines are known.
QList<CodeLine> plainCodeLines(const QString &text, int maxLines);
