#include "detection/highlight/HighlightLanguage.h"

#include "common/RawValueTable.h"

#include <array>

namespace {

struct LanguageName
{
    HighlightLanguage value;
    const char *rawValue;
};

// Declaration order; the raw values are the enumerator names.
constexpr std::array<LanguageName, 60> kLanguages { {
    { HighlightLanguage::appleScript, "appleScript" },
    { HighlightLanguage::arduino, "arduino" },
    { HighlightLanguage::awk, "awk" },
    { HighlightLanguage::bash, "bash" },
    { HighlightLanguage::basic, "basic" },
    { HighlightLanguage::c, "c" },
    { HighlightLanguage::cPlusPlus, "cPlusPlus" },
    { HighlightLanguage::cSharp, "cSharp" },
    { HighlightLanguage::clojure, "clojure" },
    { HighlightLanguage::css, "css" },
    { HighlightLanguage::dart, "dart" },
    { HighlightLanguage::delphi, "delphi" },
    { HighlightLanguage::diff, "diff" },
    { HighlightLanguage::django, "django" },
    { HighlightLanguage::dockerfile, "dockerfile" },
    { HighlightLanguage::elixir, "elixir" },
    { HighlightLanguage::elm, "elm" },
    { HighlightLanguage::erlang, "erlang" },
    { HighlightLanguage::gherkin, "gherkin" },
    { HighlightLanguage::go, "go" },
    { HighlightLanguage::gradle, "gradle" },
    { HighlightLanguage::graphQL, "graphQL" },
    { HighlightLanguage::haskell, "haskell" },
    { HighlightLanguage::html, "html" },
    { HighlightLanguage::java, "java" },
    { HighlightLanguage::javaScript, "javaScript" },
    { HighlightLanguage::json, "json" },
    { HighlightLanguage::julia, "julia" },
    { HighlightLanguage::kotlin, "kotlin" },
    { HighlightLanguage::latex, "latex" },
    { HighlightLanguage::less, "less" },
    { HighlightLanguage::lisp, "lisp" },
    { HighlightLanguage::lua, "lua" },
    { HighlightLanguage::makefile, "makefile" },
    { HighlightLanguage::markdown, "markdown" },
    { HighlightLanguage::mathematica, "mathematica" },
    { HighlightLanguage::matlab, "matlab" },
    { HighlightLanguage::nix, "nix" },
    { HighlightLanguage::objectiveC, "objectiveC" },
    { HighlightLanguage::perl, "perl" },
    { HighlightLanguage::php, "php" },
    { HighlightLanguage::phpTemplate, "phpTemplate" },
    { HighlightLanguage::plaintext, "plaintext" },
    { HighlightLanguage::postgreSQL, "postgreSQL" },
    { HighlightLanguage::protocolBuffers, "protocolBuffers" },
    { HighlightLanguage::python, "python" },
    { HighlightLanguage::pythonRepl, "pythonRepl" },
    { HighlightLanguage::r, "r" },
    { HighlightLanguage::ruby, "ruby" },
    { HighlightLanguage::rust, "rust" },
    { HighlightLanguage::scala, "scala" },
    { HighlightLanguage::scss, "scss" },
    { HighlightLanguage::shell, "shell" },
    { HighlightLanguage::sql, "sql" },
    { HighlightLanguage::swift, "swift" },
    { HighlightLanguage::toml, "toml" },
    { HighlightLanguage::typeScript, "typeScript" },
    { HighlightLanguage::visualBasic, "visualBasic" },
    { HighlightLanguage::webAssembly, "webAssembly" },
    { HighlightLanguage::yaml, "yaml" },
} };

const LanguageName &entry(HighlightLanguage language)
{
    return kLanguages[size_t(language)];
}

} // namespace

namespace HighlightLanguages {

const QList<HighlightLanguage> &allCases()
{
    static const QList<HighlightLanguage> cases = RawValueTable::allCases(kLanguages);
    return cases;
}

QString rawValue(HighlightLanguage language)
{
    return QString::fromLatin1(entry(language).rawValue);
}

std::optional<HighlightLanguage> fromRawValue(QStringView rawValue)
{
    return RawValueTable::find(kLanguages, rawValue);
}

QString scriptName(HighlightLanguage language)
{
    switch (language) {
    case HighlightLanguage::cPlusPlus:
        return QStringLiteral("cpp");
    case HighlightLanguage::latex:
        return QStringLiteral("tex");
    case HighlightLanguage::phpTemplate:
        return QStringLiteral("phptemp");
    case HighlightLanguage::protocolBuffers:
        return QStringLiteral("protobuf");
    case HighlightLanguage::pythonRepl:
        return QStringLiteral("python-repl");
    case HighlightLanguage::visualBasic:
        return QStringLiteral("vbnet");
    case HighlightLanguage::webAssembly:
        return QStringLiteral("webass");
    default:
        return rawValue(language).toLower();
    }
}

} // namespace HighlightLanguages
