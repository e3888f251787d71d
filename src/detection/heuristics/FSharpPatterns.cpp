#include "detection/heuristics/HeuristicPatternTables.h"

// What fsharp code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::fSharpPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\blet\s+(mutable\s+)?\w+\s*:)re", 3 },
        { R"re(\blet\s+(rec\s+)?\w+\s+)re", 2 },
        { R"re(\bmodule\s+\w+\s*=)re", 3 },
        { R"re(\btype\s+\w+\s*=)re", 3 },
        { R"re(\bmatch\s+\w+\s+with)re", 4 },
        { R"re(\|>\s*\w+)re", 3 },
        { R"re(\bprintfn\s+)re", 4 },
        { R"re(\bopen\s+\w+)re", 2, nearTop },
        { R"re(\basync\s*\{)re", 3 },
        { R"re(\bmember\s+(this|self|x)\.\w+)re", 4 },
    };
    return table;
}
