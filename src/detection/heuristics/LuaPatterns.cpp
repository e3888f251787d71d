#include "detection/heuristics/HeuristicPatternTables.h"

// What lua code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::luaPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\blocal\s+\w+\s*=)re", 2 },
        { R"re(\bfunction\s+\w+\s*\(.*\))re", 2 },
        { R"re(\bif\s+.+\s+then\b)re", 2 },
        { R"re(\bfor\s+.+\s+do\b)re", 2 },
        { R"re(\bwhile\s+.+\s+do\b)re", 2 },
        { R"re(\bend\s*$)re", 1 },
        { R"re(\bprint\s*\()re", 1 },
        { R"re(\brequire\s*['\(])re", 2 },
        { R"re(\b(pairs|ipairs|tostring|tonumber)\s*\()re", 2 },
        { R"re(\brepeat\b)re", 2 },
        { R"re(\buntil\s+)re", 3 },
        { R"re(\b(setmetatable|getmetatable)\s*\()re", 4 },
        { R"re(\b(pcall|xpcall)\s*\()re", 3 },
        { R"re(\bcoroutine\.(create|resume|yield|wrap)\b)re", 4 },
        { R"re(\b__index\b|\b__newindex\b|\b__tostring\b)re", 3 },
    };
    return table;
}
