#include "detection/heuristics/HeuristicPatternTables.h"

// What erlang code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::erlangPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^-module\s*\()re", 5, nearTop },
        { R"re(^-export\s*\(\[)re", 5, nearTop },
        { R"re(^-spec\s+\w+)re", 4 },
        { R"re(^-record\s*\(\w+)re", 4 },
        { R"re(\bend\.\s*$)re", 3 },
        { R"re(\bfun\s*\()re", 2 },
        { R"re(\breceive\b)re", 3 },
        { R"re(\bspawn\s*\()re", 3 },
        { R"re(\b(ok|error|true|false|undefined)\b)re", 2 },
        { R"re(->\s*$)re", 2 },
    };
    return table;
}
