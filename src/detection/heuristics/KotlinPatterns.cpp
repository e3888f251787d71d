#include "detection/heuristics/HeuristicPatternTables.h"

// What kotlin code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::kotlinPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\b(val|var)\s+\w+\s*:\s*\w+)re", 3 },
        { R"re(\b(val|var)\s+\w+\s*=\s*.+)re", 2 },
        { R"re(\bfun\s+\w+\s*\([^)]*\)\s*(:\s*\w+)?\s*\{)re", 3 },
        { R"re(\bwhen\s*(\([^)]*\))?\s*\{)re", 3 },
        { R"re(\bclass\s+\w+(\s*:\s*\w+)?\s*\{)re", 2 },
        { R"re(\bdata\s+class\b)re", 4 },
        { R"re(\bsealed\s+(class|interface)\b)re", 4 },
        { R"re(\bobject\s+\w+)re", 3 },
        { R"re(\bfor\s*\(\w+\s+in\s+.+\)\s*\{)re", 2 },
        { R"re(\bprintln\s*\()re", 2 },
        { R"re(\blateinit\s+var\b)re", 5 },
        { R"re(\bsuspend\s+fun\b)re", 5 },
        { R"re(\bcompanion\s+object\b)re", 5 },
        { R"re(\binit\s*\{)re", 3 },
        { R"re(\b(Unit|Nothing)\b)re", 3 },
    };
    return table;
}
