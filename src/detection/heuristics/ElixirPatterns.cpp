#include "detection/heuristics/HeuristicPatternTables.h"

// What elixir code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::elixirPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bdefmodule\s+\w+)re", 5 },
        { R"re(\bdefp?\s+\w+\s*\()re", 3 },
        { R"re(\bdefmacro\s+\w+)re", 5 },
        { R"re(\|>\s*\w+)re", 3 },
        { R"re(@(moduledoc|doc|spec|type|callback|behaviour)\b)re", 4 },
        { R"re(\b(Enum|Map|List|String|IO|Kernel)\.\w+)re", 3 },
        { R"re(\bcase\s+.+\s+do\b)re", 3 },
        { R"re(\b(require|alias|import|use)\s+[A-Z])re", 3 },
        { R"re(\bfn\s+\w+\s*->)re", 3 },
        { R"re(\bwith\s+.+<-)re", 3 },
    };
    return table;
}
