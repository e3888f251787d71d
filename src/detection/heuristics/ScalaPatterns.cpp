#include "detection/heuristics/HeuristicPatternTables.h"

// What scala code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::scalaPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bval\s+\w+\s*:)re", 3 },
        { R"re(\bdef\s+\w+\s*[\(\[])re", 2 },
        { R"re(\bobject\s+\w+\s*(extends)?)re", 3 },
        { R"re(\btrait\s+\w+\s*(extends)?)re", 3 },
        { R"re(\bcase\s+class\b)re", 5 },
        { R"re(\bsealed\s+trait\b)re", 5 },
        { R"re(\bimplicit\s+(val|def|class)\b)re", 5 },
        { R"re(\bmatch\s*\{)re", 3 },
        { R"re(\bfor\s*\(.+<-)re", 3 },
        { R"re(\bprintln\s*\()re", 2 },
    };
    return table;
}
