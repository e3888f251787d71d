#pragma once

#include <QRegularExpression>
#include <QString>

#include <optional>

// Option flags of makeRegex; they combine with |.
namespace RegexOptions {
inline constexpr int none = 0;
inline constexpr int caseInsensitive = 1;
} // namespace RegexOptions

// Compiles pattern with the given RegexOptions flags; nothing when it does not compile. The
// pattern is taken as written: "\d" and "\s" match any Unicode digit and space, and letter
// case, when ignored, is compared by Unicode case folding.
//
// The expression comes back compiled, so one instance may then be matched from several
// threads at once (as a function-local static, for example).
std::optional<QRegularExpression> makeRegex(const QString &pattern, int options);
