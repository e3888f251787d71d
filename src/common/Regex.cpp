#include "common/Regex.h"

std::optional<QRegularExpression> makeRegex(const QString &pattern, int options)
{
    QRegularExpression::PatternOptions patternOptions = QRegularExpression::UseUnicodePropertiesOption;
    if (options & RegexOptions::caseInsensitive)
        patternOptions |= QRegularExpression::CaseInsensitiveOption;
    QRegularExpression expression(pattern, patternOptions);
    // isValid() compiles the pattern; after that, matching only reads the shared state.
    if (!expression.isValid())
        return std::nullopt;
    return expression;
}
