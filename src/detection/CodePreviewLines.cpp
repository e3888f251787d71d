#include "detection/CodePreviewLines.h"

#include "common/LineBreaks.h"
#include "common/TextExcerpt.h"
#include "common/UserCharacters.h"

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

namespace CodePreviewLines {

QList<Line> split(QStringView text, int lineLimit)
{
    QList<Line> lines;
    if (lineLimit <= 0)
        return lines;
    if (text.size() > maxTextLength) {
        text = text.first(maxTextLength);
        // Half a surrogate pair is no character.
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    qsizetype start = 0;
    while (lines.size() < lineLimit) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text[end]))
            ++end;
        QStringView line = UserCharacters::prefix(text.sliced(start, end - start), maxLineCharacters);
        qsizetype indent = 0;
        while (indent < line.size() && isSpaceOrTab(line[indent]))
            ++indent;
        // A letter under thousands of accents keeps a few of them.
        const QStringView code = line.sliced(indent);
        lines.append({ line.first(indent).toString(), TextExcerpt::make(code, 1, code.size()).text });
        if (end >= text.size())
            break;
        // Windows text breaks its lines with CR LF: one break, not an empty line between.
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
    }
    return lines;
}

QStringList make(QStringView text, int lineLimit)
{
    QStringList codes;
    for (Line &line : split(text, lineLimit))
        codes.append(std::move(line.code));
    return codes;
}

bool isBlank(QStringView line)
{
    for (QChar c : line) {
        if (!isSpaceOrTab(c))
            return false;
    }
    return true;
}

} // namespace CodePreviewLines
