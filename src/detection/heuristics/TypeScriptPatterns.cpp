#include "detection/heuristics/HeuristicPatternTables.h"

// What typescript code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::typeScriptPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\blet\s+\w+\s*:\s*[\w\[\]|<>,]+)re", 5 },
        { R"re(\binterface\s+\w+\s*\{)re", 5 },
        { R"re(\btype\s+\w+\s*=\s*[\w<>|]+)re", 5 },
        { R"re(\benum\s+\w+\s*\{)re", 5 },
        { R"re(\breadonly\s+\w+)re", 4 },
        { R"re(\bprivate\s+readonly\s+\w+\s*:\s*[\w<>|]+)re", 5 },
        { R"re(\bimport\s+\{[\w,\s]+\}\s+from\s+['\"])re", 4, nearTop },
        { R"re(\bas\s+\w+)re", 4 },
        { R"re(\bimplements\s+\w+)re", 4 },
        { R"re(\bfunction\s+\w+\([^)]*:\s*\w+[^)]*\)\s*:\s*\w+)re", 5 },
        { R"re(\bdeclare\s+(function|class|const|let|var|module|namespace)\b)re", 5 },
        { R"re(\bnamespace\s+\w+\s*\{)re", 4 },
        { R"re(\b(never|unknown)\b)re", 3 },
        { R"re(\bsatisfies\s+\w+)re", 5 },
        { R"re(\babstract\s+class\s+\w+)re", 4 },
    };
    return table;
}
