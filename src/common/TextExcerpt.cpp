#include "common/TextExcerpt.h"

#include "common/LineBreaks.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace TextExcerpt {

Excerpt make(QStringView text, int maxLines, qsizetype maxUnits)
{
    Excerpt excerpt;
    if (maxLines <= 0 || maxUnits <= 0)
        return { QString(), !text.isEmpty() };
    const QStringView looked = text.first(std::min(text.size(), maxLookedAt));
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, looked);
    int lines = 1;
    qsizetype start = 0;
    while (start < looked.size()) {
        const qsizetype next = characters.toNextBoundary();
        const qsizetype end = next < 0 ? looked.size() : next;
        const QStringView character = looked.sliced(start, end - start);
        const bool lineBreak = isLineBreak(character.front());
        qsizetype kept = lineBreak ? 1 : std::min(character.size(), maxCharacterUnits);
        // Half a surrogate pair is no character.
        if (kept < character.size() && character[kept - 1].isHighSurrogate())
            --kept;
        if ((lineBreak && lines == maxLines) || excerpt.text.size() + kept > maxUnits) {
            // A break that ends the text leaves nothing out.
            excerpt.cut = excerpt.cut || end < text.size() || !lineBreak;
            return excerpt;
        }
        if (lineBreak) {
            ++lines;
            excerpt.text += QLatin1Char('\n');
        } else {
            excerpt.text += character.first(kept);
            excerpt.cut = excerpt.cut || kept < character.size();
        }
        start = end;
    }
    excerpt.cut = excerpt.cut || looked.size() < text.size();
    return excerpt;
}

} // namespace TextExcerpt
