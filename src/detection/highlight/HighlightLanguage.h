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

// The language to highlight an item with, from the label its code detectors gave it
// (codeLanguage: a "#!" language, a pattern language, a content-type or a language-network
// label such as "javascript", "cpp", "cs" or "objectivec"), in any letter case. Nothing for
// a label the table does not know: such text is highlighted with automatic detection.
// The capture, the refresh and the rows all look languages up here, so they agree.
std::optional<HighlightLanguage> forDetectorLabel(QStringView label);

} // namespace HighlightLanguages
