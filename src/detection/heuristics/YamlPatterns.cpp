#include "detection/heuristics/HeuristicPatternTables.h"

// What yaml code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::yamlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*[\w-]+\s*:\s*.+$)re", 2 },
        { R"re(^\s*-\s+[\w\"])re", 2 },
        { R"re(^\s*[\w-]+\s*:\s*$)re", 2 },
        { R"re(^\s*[\w-]+\s*:\s*\|)re", 3 },
        { R"re(^\s*[\w-]+\s*:\s*>)re", 3 },
        { R"re(^---\s*$)re", 2, nearTop },
    };
    return table;
}
