#include "detection/heuristics/HeuristicPatternTables.h"

// Shapes common to most programming languages: comments, preprocessor lines, control
// statements with a bracket, statement-ending semicolons, arrows and function bodies.
// They count towards every language.
std::span<const HeuristicPattern> HeuristicPatternTables::genericPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*//)re", 1 },
        { R"re(^\s*/\*)re", 1 },
        { R"re(^\s*#\s*(include|import|define|ifdef|ifndef|pragma))re", 2 },
        { R"re(\b(if|else|while|for|return|switch)\s*[\(\{])re", 1 },
        { R"re(;\s*$)re", 1 },
        { R"re(=>\s*\{?)re", 1 },
        { R"re(\w+\s*\([^)]*\)\s*\{)re", 1 },
    };
    return table;
}
