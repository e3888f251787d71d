#pragma once

#include <QString>

#include <span>

// One entry of the heuristic code tables: a regular expression (UTF-8 text), the points it
// adds to a language's score when some line of a text matches it (negative points
// penalise), and whether it only counts on the first lines of a text.
struct HeuristicPattern
{
    const char *pattern;
    int points;
    bool nearTop = false;
};

// A language of the heuristic tables with its patterns.
struct HeuristicLanguagePatterns
{
    QString name;
    std::span<const HeuristicPattern> patterns;
};

// The fixed vocabulary of the heuristic code detector, one table per language. The order
// of the languages decides ties (the earlier language wins), so it is part of the data.
namespace HeuristicPatternTables {

inline constexpr bool nearTop = true;

// Patterns that count for every language.
std::span<const HeuristicPattern> genericPatterns();

// The languages in table order, each with its patterns.
std::span<const HeuristicLanguagePatterns> languages();

std::span<const HeuristicPattern> swiftPatterns();
std::span<const HeuristicPattern> javaScriptPatterns();
std::span<const HeuristicPattern> typeScriptPatterns();
std::span<const HeuristicPattern> pythonPatterns();
std::span<const HeuristicPattern> htmlPatterns();
std::span<const HeuristicPattern> cssPatterns();
std::span<const HeuristicPattern> jsonPatterns();
std::span<const HeuristicPattern> shellPatterns();
std::span<const HeuristicPattern> javaPatterns();
std::span<const HeuristicPattern> kotlinPatterns();
std::span<const HeuristicPattern> cPatterns();
std::span<const HeuristicPattern> cppPatterns();
std::span<const HeuristicPattern> goPatterns();
std::span<const HeuristicPattern> rustPatterns();
std::span<const HeuristicPattern> rubyPatterns();
std::span<const HeuristicPattern> phpPatterns();
std::span<const HeuristicPattern> cSharpPatterns();
std::span<const HeuristicPattern> dartPatterns();
std::span<const HeuristicPattern> yamlPatterns();
std::span<const HeuristicPattern> xmlPatterns();
std::span<const HeuristicPattern> dockerfilePatterns();
std::span<const HeuristicPattern> sqlPatterns();
std::span<const HeuristicPattern> luaPatterns();
std::span<const HeuristicPattern> elixirPatterns();
std::span<const HeuristicPattern> scalaPatterns();
std::span<const HeuristicPattern> perlPatterns();
std::span<const HeuristicPattern> rPatterns();
std::span<const HeuristicPattern> objectiveCPatterns();
std::span<const HeuristicPattern> haskellPatterns();
std::span<const HeuristicPattern> powerShellPatterns();
std::span<const HeuristicPattern> tomlPatterns();
std::span<const HeuristicPattern> graphQLPatterns();
std::span<const HeuristicPattern> terraformPatterns();
std::span<const HeuristicPattern> clojurePatterns();
std::span<const HeuristicPattern> erlangPatterns();
std::span<const HeuristicPattern> juliaPatterns();
std::span<const HeuristicPattern> groovyPatterns();
std::span<const HeuristicPattern> fSharpPatterns();

} // namespace HeuristicPatternTables
