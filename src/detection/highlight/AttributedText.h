#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

// Text with character formats over ranges of it: what highlighting produces. The formats
// carry colours and styles (weight, italics, underline) but never a font family or size, so
// the text takes the monospaced font of whichever view shows it.
struct AttributedText
{
    QString text;
    QList<QTextLayout::FormatRange> formats;

    static AttributedText plain(const QString &text) { return { text, {} }; }

    // The format at a position (an empty format where no range covers it).
    QTextCharFormat formatAt(qsizetype position) const;

    friend bool operator==(const AttributedText &, const AttributedText &) = default;
};
