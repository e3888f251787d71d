#include "detection/heuristics/HeuristicPatternTables.h"

// What xml code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::xmlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(<\?xml\s+)re", 5, nearTop },
        { R"re(<[a-zA-Z][\w-]*(\s+[\w-]+=\"[^\"]*\")*\s*/>)re", 2 },
        { R"re(<[a-zA-Z][\w-]*(\s+[\w-]+=\"[^\"]*\")*\s*>)re", 2 },
        { R"re(</[a-zA-Z][\w-]+>)re", 2 },
        { R"re(<!--)re", 2 },
        { R"re(<!\[CDATA\[)re", 3 },
    };
    return table;
}
