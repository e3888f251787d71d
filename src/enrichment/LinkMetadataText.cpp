#include "enrichment/LinkMetadataText.h"

#include "common/UserCharacters.h"

namespace {

struct Folded
{
    QString line;
    // False when the text went on beyond the line (which may then end inside a character).
    bool whole = true;
};

// The text on one line without control characters, stopping once it is clearly longer than
// limit characters: a title of most of a megabyte costs no more than one of a thousand.
Folded folded(QStringView text, qsizetype limit)
{
    // Room for the characters kept, with their combining marks, and for the one that shows
    // the text goes on.
    const qsizetype enough = 4 * (limit + 1);
    QString line;
    line.reserve(std::min(text.size(), enough));
    bool pendingSpace = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            pendingSpace = !line.isEmpty();
            continue;
        }
        if (c.category() == QChar::Other_Control)
            continue;
        if (pendingSpace)
            line.append(QLatin1Char(' '));
        pendingSpace = false;
        line.append(c);
        if (line.size() >= enough)
            return { line, false };
    }
    return { line, true };
}

std::optional<QString> capped(QStringView text, qsizetype limit)
{
    const Folded fold = folded(text, limit);
    if (fold.line.isEmpty())
        return std::nullopt;
    const qsizetype characters = UserCharacters::count(fold.line, limit + 1);
    if (fold.whole && characters <= limit)
        return fold.line;
    // Room for the ellipsis; a character the fold stopped inside is left out.
    const qsizetype kept = std::min(limit - 1, fold.whole ? characters : characters - 1);
    QString cut = UserCharacters::prefix(fold.line, kept).trimmed().toString();
    cut.append(QChar(0x2026));
    return cut;
}

} // namespace

namespace LinkMetadataText {

std::optional<QString> title(QStringView text)
{
    return capped(text, maxTitleCharacters);
}

std::optional<QString> description(QStringView text)
{
    return capped(text, maxDescriptionCharacters);
}

} // namespace LinkMetadataText
