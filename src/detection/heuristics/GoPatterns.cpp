#include "detection/heuristics/HeuristicPatternTables.h"

// What go code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::goPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bpackage\s+\w+\s*$)re", 2, nearTop },
        { R"re(\bimport\s*\(\s*$)re", 2, nearTop },
        { R"re(\bimport\s+\"[a-z0-9/.]+)re", 2, nearTop },
        { R"re(\bfunc\s+(\(\w+\s+\*?\w+\)\s+)?\w+\s*\()re", 2 },
        { R"re(\bif\s+.+err\s*!=\s*nil)re", 3 },
        { R"re(\bfmt\.Print(f|ln)?\s*\()re", 2 },
        { R"re(\w+\s*:=\s*.+)re", 2 },
        { R"re(\b(var|const)\s+\w+\s+\w+\s*$)re", 2 },
        { R"re(\bdefer\s+\w+)re", 3 },
        { R"re(\bgoroutine\b|\bgo\s+\w+\()re", 3 },
        { R"re(\bchan\s+\w+)re", 3 },
        { R"re(\bnil\b)re", 1 },
        { R"re(\bselect\s*\{)re", 3 },
        { R"re(\b(append|cap|close|copy|len|make|new|panic|recover)\s*\()re", 2 },
        { R"re(\brune\b)re", 3 },
        { R"re(\binterface\s*\{)re", 2 },
    };
    return table;
}
