#include "common/UserCharacters.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

struct Advance
{
    qsizetype end = 0; // position after the characters counted
    qsizetype counted = 0; // how many characters that is
};

// Walks over at most n characters from the start of text.
Advance advance(QStringView text, qsizetype n)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    qsizetype counted = 0;

    // ASCII never joins a neighbour except in a CR LF pair, so plain text needs no
    // boundary analysis. Stop before any ASCII character that a non-ASCII one follows:
    // that one may be a combining mark belonging to it.
    while (counted < n && i < size) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80 || (i + 1 < size && text[i + 1].unicode() >= 0x80))
            break;
        i += (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') ? 2 : 1;
        ++counted;
    }
    if (counted == n || i == size)
        return { i, counted };

    // Position i is a boundary (it follows an ASCII character whose successor is not a
    // combining one), so the rest can be analysed on its own. Look at a window that
    // grows until it holds the characters wanted: the last cluster of a window may run
    // on past its end, so only the clusters before it are certain.
    const QStringView rest = text.sliced(i);
    const qsizetype wanted = n - counted;
    qsizetype window = wanted < rest.size() / 2 ? 2 * wanted + 16 : rest.size();
    for (;;) {
        const bool whole = window >= rest.size();
        const QStringView part = rest.first(std::min(window, rest.size()));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, part);
        qsizetype position = 0;
        qsizetype found = 0;
        while (found < wanted) {
            const qsizetype next = finder.toNextBoundary();
            if (next < 0 || (next == part.size() && !whole))
                break;
            position = next;
            ++found;
        }
        if (found == wanted || whole)
            return { i + position, counted + found };
        window *= 2;
    }
}

} // namespace

qsizetype UserCharacters::count(QStringView text, qsizetype limit)
{
    if (limit <= 0)
        return 0;
    return advance(text, limit).counted;
}

QStringView UserCharacters::prefix(QStringView text, qsizetype n)
{
    if (n <= 0)
        return text.first(0);
    if (text.size() <= n)
        return text; // a character is at least one code unit
    return text.first(advance(text, n).end);
}
