#pragma once

#include "detection/highlight/HighlightLanguage.h"

#include <QHashFunctions>
#include <QString>

#include <optional>

// How a text is to be highlighted: with a language of ours, with a name highlight.js knows
// (sent exactly as given), either of them optionally ignoring illegal syntax, or with the
// language highlight.js detects itself.
class HighlightMode final
{
public:
    enum class Kind { languageAlias, languageAliasIgnoreIllegal, language, languageIgnoreIllegal, automatic };

    // Automatic detection.
    HighlightMode() = default;

    static HighlightMode languageAlias(const QString &name) { return { Kind::languageAlias, name, {} }; }
    static HighlightMode languageAliasIgnoreIllegal(const QString &name)
    {
        return { Kind::languageAliasIgnoreIllegal, name, {} };
    }
    static HighlightMode language(HighlightLanguage language) { return { Kind::language, {}, language }; }
    static HighlightMode languageIgnoreIllegal(HighlightLanguage language)
    {
        return { Kind::languageIgnoreIllegal, {}, language };
    }
    static HighlightMode automatic() { return {}; }

    Kind kind() const { return m_kind; }
    bool isAutomatic() const { return m_kind == Kind::automatic; }
    bool ignoresIllegals() const
    {
        return m_kind == Kind::languageAliasIgnoreIllegal || m_kind == Kind::languageIgnoreIllegal;
    }
    // The alias of the two alias kinds, else empty.
    QString alias() const { return m_alias; }
    // The language of the two language kinds, else none.
    std::optional<HighlightLanguage> language() const { return m_language; }

    // The "language" option sent to highlight.js; empty for automatic detection.
    QString scriptLanguageName() const
    {
        return m_language ? HighlightLanguages::scriptName(*m_language) : m_alias;
    }

    friend bool operator==(const HighlightMode &, const HighlightMode &) = default;

private:
    HighlightMode(Kind kind, const QString &alias, std::optional<HighlightLanguage> language)
        : m_kind(kind)
        , m_alias(alias)
        , m_language(language)
    { }

    Kind m_kind = Kind::automatic;
    QString m_alias;
    std::optional<HighlightLanguage> m_language;
};

// A discriminator (0 automatic, 1 and 2 the alias kinds, 3 and 4 the language kinds), then
// the alias or the language's raw value.
inline size_t qHash(const HighlightMode &mode, size_t seed = 0)
{
    switch (mode.kind()) {
    case HighlightMode::Kind::automatic:
        return qHashMulti(seed, 0);
    case HighlightMode::Kind::languageAlias:
        return qHashMulti(seed, 1, mode.alias());
    case HighlightMode::Kind::languageAliasIgnoreIllegal:
        return qHashMulti(seed, 2, mode.alias());
    case HighlightMode::Kind::language:
        return qHashMulti(seed, 3, HighlightLanguages::rawValue(*mode.language()));
    case HighlightMode::Kind::languageIgnoreIllegal:
        return qHashMulti(seed, 4, HighlightLanguages::rawValue(*mode.language()));
    }
    return seed;
}
