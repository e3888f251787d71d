#include "detection/heuristics/HeuristicPatternTables.h"

// What objectivec code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::objectiveCPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(@interface\s+\w+)re", 5 },
        { R"re(@implementation\s+\w+)re", 5 },
        { R"re(@property\s*\()re", 5 },
        { R"re(@synthesize\s+\w+)re", 5 },
        { R"re(\[\w+\s+alloc\]\s*init)re", 5 },
        { R"re(@\"[^\"]*\")re", 3 },
        { R"re(#import\s+[<\"])re", 3, nearTop },
        { R"re(@(selector|protocol|class|end|optional|required)\b)re", 4 },
        { R"re(\b(NS|UI)\w{3,}\s*\*)re", 3 },
        { R"re(^\s*[-+]\s*\(\w+[\s*]*\)\s*\w+)re", 3 },
    };
    return table;
}
