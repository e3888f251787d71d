#include "detection/heuristics/HeuristicPatternTables.h"

// What cs code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::cSharpPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*namespace\s+\w+(\.\w+)*\s*\{)re", 2, nearTop },
        { R"re(^\s*using\s+System\b)re", 3, nearTop },
        { R"re(^\s*using\s+[\w.]+\s*;)re", 2, nearTop },
        { R"re(\b(public|private|protected|internal)\s+(static\s+)?(void|int|string|bool|double|float|async)\s+\w+\s*\()re",
            3 },
        { R"re(\bConsole\.WriteLine\s*\()re", 10 },
        { R"re(\bforeach\s*\([^)]+\s+in\s+)re", 3 },
        { R"re(\b(var|int|string|bool|double|float)\s+\w+\s*=\s*.+)re", 2 },
        { R"re(\bLINQ\b|\.(Where|Select|OrderBy|GroupBy|FirstOrDefault|ToList|ToArray)\s*\()re", 3 },
        { R"re(\basync\s+Task\b)re", 3 },
        { R"re(\brecord\s+\w+\s*\{)re", 4 },
        { R"re(\bdelegate\s+\w+)re", 2 },
        { R"re(\block\s*\()re", 3 },
        { R"re(\bstackalloc\b)re", 4 },
        { R"re(\bnameof\s*\()re", 4 },
        { R"re(\bpartial\s+(class|struct|interface)\b)re", 4 },
        { R"re(\bsealed\s+(class|interface)\b)re", 3 },
    };
    return table;
}
