#include "detection/heuristics/HeuristicPatternTables.h"

// What haskell code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::haskellPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bmodule\s+[A-Z]\w+(\.\w+)*\s+where)re", 5, nearTop },
        { R"re(\bdata\s+[A-Z]\w+)re", 3 },
        { R"re(\bderiving\s*\()re", 4 },
        { R"re(\binstance\s+\w+)re", 3 },
        { R"re(\bclass\s+\w+\s+\w+\s+where)re", 4 },
        { R"re(\bimport\s+(qualified\s+)?[A-Z])re", 3, nearTop },
        { R"re(\bdo\s*$)re", 2 },
        { R"re(\w+\s*::\s*[\w\[\]()-> ]+)re", 2 },
        { R"re(\b(Maybe|Either|IO|Int|Integer|String|Bool)\b)re", 2 },
        { R"re(\bwhere\s*$)re", 3 },
    };
    return table;
}
