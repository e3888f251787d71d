#include "detection/heuristics/HeuristicPatternTables.h"

// What toml code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::tomlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*\[\w[\w.-]*\]\s*$)re", 3 },
        { R"re(^\s*\[\[\w[\w.-]*\]\]\s*$)re", 5 },
        { R"re(^\s*\w[\w-]*\s*=\s*\"[^\"]*\"\s*$)re", 2 },
        { R"re(^\s*\w[\w-]*\s*=\s*(true|false)\s*$)re", 2 },
        { R"re(^\s*\w[\w-]*\s*=\s*\d{4}-\d{2}-\d{2})re", 4 },
        { R"re(^\s*\w[\w-]*\s*=\s*\[\s*$)re", 2 },
    };
    return table;
}
