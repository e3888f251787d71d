#pragma once

#include <QStringList>
#include <QStringView>

// The lines of a code item that are highlighted, persisted with the item and shown in its
// rows and preview. Every reader and writer of highlighted lines splits with this one
// function, so that line i means the same text everywhere (the cache and the persisted
// lines are keyed by that index).
//
// From the first maxTextLength UTF-16 units of the text: split at line breaks (CR LF, LF,
// CR, VT, FF, NEL, LS, PS; a CR LF pair is one break), each line cut to its first
// maxLineCharacters user-perceived characters, then stripped of its leading spaces and
// tabs, each character kept to its first TextExcerpt::maxCharacterUnits units; at most
// lineLimit lines.
namespace CodePreviewLines {

inline constexpr qsizetype maxTextLength = 20'000;
inline constexpr qsizetype maxLineCharacters = 500;
inline constexpr int maxLines = 40;

// One line of the split: the spaces and tabs it starts with, and the rest, which is what is
// highlighted and kept. Rows and previews draw the indentation before the highlighted rest.
struct Line
{
    QString indentation;
    QString code;
};

QList<Line> split(QStringView text, int lineLimit = maxLines);
// The lines without their indentation.
QStringList make(QStringView text, int lineLimit = maxLines);

// Spaces and tabs only (an empty line too): never sent to the highlighter.
bool isBlank(QStringView line);

} // namespace CodePreviewLines
