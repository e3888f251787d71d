#pragma once

#include <QHash>
#include <QStringList>
#include <QStringView>

#include <bitset>

// Which lines of a text may contain a given piece of text: an index of the characters and
// the pairs of adjacent characters of every line, case folded. A query answers with every
// line that holds all the pairs of the piece, which includes each line that contains it
// (and rarely one that only has the pairs in another order). Built once per text, it
// lets a detector look for hundreds of literals without scanning the text for each.
class LineIndex final
{
public:
    static constexpr qsizetype maxLines = 128;
    using LineSet = std::bitset<maxLines>;

    // Adds line number index (below maxLines); lines may come in any order.
    void addLine(qsizetype index, QStringView line);

    // Every line that contains text, ignoring case, and perhaps a few more. All lines
    // added for an empty text.
    LineSet linesWith(QStringView text) const;
    // The union of linesWith over the alternatives; all lines for an empty list.
    LineSet linesWithAny(const QStringList &alternatives) const;

private:
    LineSet lookUp(quint32 key) const;

    QHash<quint32, LineSet> m_lines; // key: one folded character, or two
    LineSet m_all;
};
