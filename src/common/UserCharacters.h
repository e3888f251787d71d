#pragma once

#include <QStringView>

#include <limits>

// User-perceived characters (extended grapheme clusters): what a person counts as one
// character, so "é" written as e + combining accent, a flag or a CR LF pair is one.
// Both functions look only as far into the text as they need, so they stay cheap on
// very long texts.
namespace UserCharacters {

// The number of user-perceived characters in text, counting no further than limit.
qsizetype count(QStringView text, qsizetype limit = std::numeric_limits<qsizetype>::max());

// The first n user-perceived characters of text (the whole text when it has fewer).
QStringView prefix(QStringView text, qsizetype n);

} // namespace UserCharacters
