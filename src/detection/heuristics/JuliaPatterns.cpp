#include "detection/heuristics/HeuristicPatternTables.h"

// What julia code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::juliaPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bfunction\s+\w+\s*\([^)]*\))re", 2 },
        { R"re(\bend\s*$)re", 1 },
        { R"re(\busing\s+\w+)re", 2, nearTop },
        { R"re(\bmutable\s+struct\s+\w+)re", 5 },
        { R"re(\bstruct\s+\w+\s*$)re", 2 },
        { R"re(\w+\s*::\s*(Int|Float|String|Bool|Any|Vector|Matrix|Array)\b)re", 3 },
        { R"re(\bprintln\s*\()re", 2 },
        { R"re(\b(Int64|Float64|UInt8|Complex|BigInt|BigFloat)\b)re", 3 },
        { R"re(\bmacro\s+\w+)re", 3 },
        { R"re(\bfor\s+\w+\s+(in|∈)\s+)re", 2 },
    };
    return table;
}
