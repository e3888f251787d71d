#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Plain text that every match of a regular expression must contain: one of a few
// alternatives (often a single one), read from the pattern's top level. A text that
// contains none of them cannot match, which lets the heuristic detector skip most lines
// without running the expression at all. A case-insensitive pattern yields only ASCII
// literals, so that folding ASCII case (and the few other characters that fold to
// ASCII letters) is all a search needs. The reading is conservative: whatever it
// cannot prove required (groups with quantifiers, classes, top-level alternation,
// look-arounds) simply yields no literal, never a wrong one.
class RequiredLiterals final
{
public:
    RequiredLiterals() = default;

    // Analyses a pattern written for QRegularExpression; caseInsensitive tells whether it
    // is compiled case-insensitively (an inline "(?i)" at its start counts too).
    static RequiredLiterals fromPattern(QStringView pattern, bool caseInsensitive = false);

    bool isEmpty() const { return m_alternatives.isEmpty(); }
    // As written in the pattern; where the pattern ignores case, so must the search.
    const QStringList &alternatives() const { return m_alternatives; }

private:
    QStringList m_alternatives;
};
