#include "detection/heuristics/HeuristicPatternTables.h"

// What graphql code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::graphQLPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\b(type|input|interface|union|scalar)\s+\w+\s*\{)re", 3 },
        { R"re(\bquery\s+\w*\s*[\({])re", 4 },
        { R"re(\bmutation\s+\w*\s*[\({])re", 4 },
        { R"re(\bsubscription\s+\w*\s*[\({])re", 4 },
        { R"re(\bschema\s*\{)re", 3 },
        { R"re(\bfragment\s+\w+\s+on\s+)re", 5 },
        { R"re(\bdirective\s+@\w+)re", 5 },
        { R"re(\b(ID|Float|Int|String|Boolean)!?\b)re", 2 },
    };
    return table;
}
