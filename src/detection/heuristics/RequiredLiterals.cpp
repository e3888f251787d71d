#include "detection/heuristics/RequiredLiterals.h"

#include "common/Ascii.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

bool isAsciiAlphanumeric(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

bool isMeta(QChar c)
{
    switch (c.unicode()) {
    case u'\\':
    case u'^':
    case u'$':
    case u'.':
    case u'|':
    case u'?':
    case u'*':
    case u'+':
    case u'(':
    case u')':
    case u'[':
    case u']':
    case u'{':
    case u'}':
        return true;
    default:
        return false;
    }
}

// Escapes that stand for a set of characters or an assertion and take no argument.
bool isSimpleEscape(QChar c)
{
    return QStringView(u"bBsSwWdDhHvVRXAzZGK").contains(c);
}

// The end of a bracket class that starts at start ("["), or -1 when it never closes.
qsizetype classEnd(QStringView p, qsizetype start)
{
    qsizetype i = start + 1;
    if (i < p.size() && p[i] == u'^')
        ++i;
    if (i < p.size() && p[i] == u']')
        ++i; // a leading "]" is a member
    while (i < p.size()) {
        if (p[i] == u'\\')
            i += 2;
        else if (p[i] == u'[' && i + 1 < p.size() && p[i + 1] == u':') {
            const qsizetype close = p.indexOf(u":]", i + 2);
            if (close < 0)
                return -1;
            i = close + 2;
        } else if (p[i] == u']')
            return i + 1;
        else
            ++i;
    }
    return -1;
}

// The position after the ")" that closes the group starting at start, or -1.
qsizetype groupEnd(QStringView p, qsizetype start)
{
    int depth = 0;
    qsizetype i = start;
    while (i < p.size()) {
        const QChar c = p[i];
        if (c == u'\\') {
            i += 2;
        } else if (c == u'[') {
            i = classEnd(p, i);
            if (i < 0)
                return -1;
        } else {
            if (c == u'(')
                ++depth;
            else if (c == u')' && --depth == 0)
                return i + 1;
            ++i;
        }
    }
    return -1;
}

// The length of a counted quantifier ("{2}", "{1,}", "{3,5}") at i, or 0.
qsizetype countedQuantifierLength(QStringView p, qsizetype i)
{
    if (i >= p.size() || p[i] != u'{')
        return 0;
    bool digit = false;
    for (qsizetype j = i + 1; j < p.size(); ++j) {
        if (p[j].isDigit() && p[j].unicode() < 0x80)
            digit = true;
        else if (p[j] == u'}')
            return digit ? j + 1 - i : 0;
        else if (p[j] != u',' && p[j] != u' ')
            return 0;
    }
    return 0;
}

// A sequence of plain characters (escaped punctuation allowed) as text, or nothing.
std::optional<QString> plainText(QStringView p)
{
    QString text;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i] == u'\\') {
            if (i + 1 >= p.size() || isAsciiAlphanumeric(p[i + 1]))
                return std::nullopt;
            text += p[++i];
        } else if (isMeta(p[i])) {
            return std::nullopt;
        } else {
            text += p[i];
        }
    }
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

// The alternatives of a group's inside when each is plain text, or nothing.
std::optional<QStringList> plainAlternatives(QStringView inside)
{
    QStringList alternatives;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= inside.size(); ++i) {
        if (i < inside.size() && inside[i] == u'\\') {
            ++i;
            continue;
        }
        if (i == inside.size() || inside[i] == u'|') {
            const std::optional<QString> text = plainText(inside.sliced(start, i - start));
            if (!text)
                return std::nullopt;
            alternatives.append(*text);
            start = i + 1;
        }
    }
    return alternatives;
}

// One item of the pattern's top level: a character, an escape, a class or a group.
struct Atom
{
    qsizetype end = 0; // after the item, before any quantifier
    std::optional<QChar> literal; // a character matched as itself
    std::optional<QStringList> groupLiterals; // a group whose alternatives are all plain text
};

// The group that starts at i ("("); nothing when it may change how the rest is read.
std::optional<Atom> readGroup(QStringView p, qsizetype i)
{
    Atom atom;
    atom.end = groupEnd(p, i);
    if (atom.end < 0)
        return std::nullopt;
    QStringView inside = p.sliced(i + 1, atom.end - i - 2);
    if (inside.startsWith(u"?:")) {
        inside = inside.sliced(2);
    } else if (inside.startsWith(u'?')) {
        // Look-arounds only assert; anything else (inline options, named or conditional
        // groups) may change how the rest is read.
        if (!inside.startsWith(u"?=") && !inside.startsWith(u"?!") && !inside.startsWith(u"?<=")
            && !inside.startsWith(u"?<!"))
            return std::nullopt;
        inside = {};
    }
    if (!inside.isEmpty())
        atom.groupLiterals = plainAlternatives(inside);
    return atom;
}

// The item at i; nothing when the pattern holds something that makes no text certain.
std::optional<Atom> readAtom(QStringView p, qsizetype i)
{
    const QChar c = p[i];
    if (c == u'|' || c == u')' || c == u'*' || c == u'+' || c == u'?')
        return std::nullopt; // top-level alternation (or a malformed pattern)
    if (c == u'(')
        return readGroup(p, i);
    Atom atom { i + 1, std::nullopt, std::nullopt };
    if (c == u'\\') {
        if (i + 1 >= p.size())
            return std::nullopt;
        const QChar e = p[i + 1];
        atom.end = i + 2;
        if (!isAsciiAlphanumeric(e))
            atom.literal = e;
        else if (!isSimpleEscape(e))
            return std::nullopt; // \x, \p, \Q, back references ... take arguments not followed here
    } else if (c == u'[') {
        atom.end = classEnd(p, i);
        if (atom.end < 0)
            return std::nullopt;
    } else if (c == u'{') {
        // Not a quantifier here (nothing precedes it to repeat), so a literal brace;
        // leave it out rather than reason about it.
    } else if (!isMeta(c)) {
        atom.literal = c;
    }
    return atom;
}

// The end of the quantifier at `end` (lazy and possessive forms included), or `end` when
// there is none.
qsizetype quantifierEnd(QStringView p, qsizetype end)
{
    const qsizetype start = end;
    if (end < p.size() && (p[end] == u'*' || p[end] == u'+' || p[end] == u'?'))
        ++end;
    else
        end += countedQuantifierLength(p, end);
    if (end > start && end < p.size() && (p[end] == u'?' || p[end] == u'+'))
        ++end;
    return end;
}

// Texts of which a match must hold one, each a list of alternatives; nothing when the
// pattern's top level makes none certain.
std::optional<QList<QStringList>> candidateLiterals(QStringView p, qsizetype i)
{
    QList<QStringList> candidates;
    QString run;
    const auto endRun = [&] {
        if (!run.isEmpty())
            candidates.append(QStringList { run });
        run.clear();
    };
    while (i < p.size()) {
        const std::optional<Atom> atom = readAtom(p, i);
        if (!atom)
            return std::nullopt;
        // A quantifier makes what precedes it optional or repeated: not one fixed text.
        const qsizetype end = quantifierEnd(p, atom->end);
        const bool quantified = end > atom->end;
        if (atom->literal && !quantified) {
            run += *atom->literal;
        } else {
            endRun();
            if (atom->groupLiterals && !quantified)
                candidates.append(*atom->groupLiterals);
        }
        i = end;
    }
    endRun();
    return candidates;
}

// The most selective candidate: the longest shortest alternative, then the fewest.
const QStringList *mostSelective(const QList<QStringList> &candidates)
{
    const auto shortest = [](const QStringList &alternatives) {
        qsizetype length = std::numeric_limits<qsizetype>::max();
        for (const QString &text : alternatives)
            length = std::min(length, text.size());
        return length;
    };
    const QStringList *best = nullptr;
    for (const QStringList &candidate : candidates) {
        if (!best || shortest(candidate) > shortest(*best)
            || (shortest(candidate) == shortest(*best) && candidate.size() < best->size()))
            best = &candidate;
    }
    return best;
}

bool isAscii(const QStringList &texts)
{
    return std::all_of(texts.begin(), texts.end(), [](const QString &text) { return Ascii::isAscii(text); });
}

} // namespace

RequiredLiterals RequiredLiterals::fromPattern(QStringView p, bool caseInsensitive)
{
    qsizetype start = 0;
    if (p.startsWith(u"(?i)")) {
        caseInsensitive = true;
        start = 4;
    }
    RequiredLiterals result;
    const std::optional<QList<QStringList>> candidates = candidateLiterals(p, start);
    const QStringList *best = candidates ? mostSelective(*candidates) : nullptr;
    // Unicode case sets are more than a search should know.
    if (best && (!caseInsensitive || isAscii(*best)))
        result.m_alternatives = *best;
    return result;
}
