#include "detection/heuristics/HeuristicPatternTables.h"

// What ruby code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::rubyPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\b(require|include)\s+['\"])re", 2, nearTop },
        { R"re(\bdef\s+\w+\s*(\(.*\))?\s*$)re", 2 },
        { R"re(\bclass\s+[A-Z]\w*\s*<\s*)re", 2 },
        { R"re(\battr_(accessor|reader|writer)\s+)re", 2 },
        { R"re(\bputs\s+['\"])re", 2 },
        { R"re(\belsif\b)re", 2 },
        { R"re(\bdo\s*\|(\w+,?\s*)+\|)re", 2 },
        { R"re(\bend\s*$)re", 1 },
        { R"re(\.each\s*(do|\{))re", 2 },
        { R"re(\bnil\b)re", 1 },
        { R"re(\.\w+\?\s*$)re", 2 },
        { R"re(\w+\.new\b)re", 2 },
        { R"re(\bunless\s+)re", 3 },
        { R"re(\buntil\s+)re", 3 },
        { R"re(\bensure\s*$)re", 3 },
        { R"re(\bmodule\s+[A-Z])re", 2 },
        { R"re(\b(proc|lambda)\s*[\{(])re", 3 },
    };
    return table;
}
