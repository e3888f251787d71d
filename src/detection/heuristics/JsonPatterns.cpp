#include "detection/heuristics/HeuristicPatternTables.h"

// What json code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::jsonPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*\{\s*$)re", 2 },
        { R"re(^\s*\"[\w-]+\"\s*:\s*)re", 3 },
        { R"re(\"[\w-]+\"\s*:\s*\"[^\"]*\")re", 3 },
        { R"re(\"[\w-]+\"\s*:\s*\d+)re", 3 },
        { R"re(\"[\w-]+\"\s*:\s*(true|false|null))re", 4 },
        { R"re(\"[\w-]+\"\s*:\s*\[)re", 3 },
        { R"re(\"[\w-]+\"\s*:\s*\{)re", 3 },
        { R"re(^\s*\]\s*$|^\s*\}\s*$)re", 1 },
    };
    return table;
}
