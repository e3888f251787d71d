#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The languages callers can ask the highlighter for by name. An enumerator's name is its raw
// value: the text items and settings store for it ("cPlusPlus", "javaScript").
enum class HighlightLanguage {
    appleScript,
    arduino,
    awk,
    bash,
    basic,
    c,
    cPlusPlus,
    cSharp,
    clojure,
    css,
    dart,
    delphi,
    diff,
    django,
    dockerfile,
    elixir,
    elm,
    erlang,
    gherkin,
    go,
    gradle,
    graphQL,
    haskell,
    html,
    java,
    javaScript,
    json,
    julia,
    kotlin,
    latex,
    less,
    lisp,
    lua,
    makefile,
    markdown,
    mathematica,
    matlab,
    nix,
    objectiveC,
    perl,
    php,
    phpTemplate,
    plaintext,
    postgreSQL,
    protocolBuffers,
    python,
    pythonRepl,
    r,
    ruby,
    rust,
    scala,
    scss,
    shell,
    sql,
    swift,
    toml,
    typeScript,
    visualBasic,
    webAssembly,
    yaml,
};

namespace HighlightLanguages {

// Every language, in declaration order.
const QList<HighlightLanguage> &allCases();

QString rawValue(HighlightLanguage language);

// The language whose raw value is exactly rawValue (case-sensitive), if any.
std::optional<HighlightLanguage> fromRawValue(QStringView rawValue);

// The name highlight.js is asked for: the raw value in lower case, except for the few that
// the script knows under another name (cPlusPlus is "cpp", latex "tex", ...). Results
// report the script's own name for the language, which may differ again.
QString scriptName(HighlightLanguage language);

} // namespace HighlightLanguages
