// The code detectors' language labels and the highlighter's languages they stand for.
#include "detection/highlight/HighlightLanguage.h"

#include <QHash>

namespace HighlightLanguages {

std::optional<HighlightLanguage> forDetectorLabel(QStringView label)
{
    using L = HighlightLanguage;
    static const QHash<QString, HighlightLanguage> table {
        { QStringLiteral("python"), L::python },
        { QStringLiteral("javascript"), L::javaScript },
        { QStringLiteral("typescript"), L::typeScript },
        { QStringLiteral("java"), L::java },
        { QStringLiteral("c"), L::c },
        { QStringLiteral("cpp"), L::cPlusPlus },
        { QStringLiteral("cs"), L::cSharp },
        { QStringLiteral("go"), L::go },
        { QStringLiteral("rust"), L::rust },
        { QStringLiteral("swift"), L::swift },
        { QStringLiteral("kotlin"), L::kotlin },
        { QStringLiteral("ruby"), L::ruby },
        { QStringLiteral("php"), L::php },
        // The detectors' "shell" is a shell script: highlight.js's own "shell" is a terminal
        // session, which colours only lines that start with a prompt.
        { QStringLiteral("shell"), L::bash },
        { QStringLiteral("bash"), L::bash },
        { QStringLiteral("sql"), L::sql },
        { QStringLiteral("html"), L::html },
        { QStringLiteral("css"), L::css },
        { QStringLiteral("scss"), L::scss },
        { QStringLiteral("json"), L::json },
        { QStringLiteral("yaml"), L::yaml },
        { QStringLiteral("markdown"), L::markdown },
        { QStringLiteral("lua"), L::lua },
        { QStringLiteral("perl"), L::perl },
        { QStringLiteral("r"), L::r },
        { QStringLiteral("scala"), L::scala },
        { QStringLiteral("haskell"), L::haskell },
        { QStringLiteral("clojure"), L::clojure },
        { QStringLiteral("erlang"), L::erlang },
        { QStringLiteral("elixir"), L::elixir },
        { QStringLiteral("objectivec"), L::objectiveC },
        { QStringLiteral("dart"), L::dart },
        { QStringLiteral("julia"), L::julia },
        { QStringLiteral("matlab"), L::matlab },
        { QStringLiteral("pascal"), L::delphi },
        { QStringLiteral("lisp"), L::lisp },
        { QStringLiteral("vba"), L::visualBasic },
        { QStringLiteral("dockerfile"), L::dockerfile },
        { QStringLiteral("makefile"), L::makefile },
        { QStringLiteral("toml"), L::toml },
        { QStringLiteral("latex"), L::latex },
        // Labels of the detectors that highlight.js takes for one of our languages under
        // another name.
        { QStringLiteral("xml"), L::html },
        { QStringLiteral("svg"), L::html },
        { QStringLiteral("ini"), L::toml },
        { QStringLiteral("proto"), L::protocolBuffers },
        { QStringLiteral("gemspec"), L::ruby },
        { QStringLiteral("graphql"), L::graphQL },
        { QStringLiteral("diff"), L::diff },
        { QStringLiteral("awk"), L::awk },
        { QStringLiteral("gradle"), L::gradle },
    };
    const auto found = table.constFind(label.toString().toLower());
    return found == table.constEnd() ? std::nullopt : std::optional<HighlightLanguage>(*found);
}

} // namespace HighlightLanguages
