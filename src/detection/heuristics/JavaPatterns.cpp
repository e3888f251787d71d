#include "detection/heuristics/HeuristicPatternTables.h"

// What java code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::javaPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*package\s+\w+(\.\w+)*\s*;)re", 2, nearTop },
        { R"re(^\s*import\s+\w+(\.\w+)*(\.\*)?\s*;)re", 2, nearTop },
        { R"re(\b(public|private|protected)\s+(static\s+)?(void|int|String|boolean|long|double)\s+\w+\s*\()re",
            3 },
        { R"re(\bpublic\s+static\s+void\s+main\s*\(\s*String\[\]\s+)re", 5 },
        { R"re(\b(int|long|double|float|char|byte|short|boolean)\b)re", 2 },
        { R"re(\b(String|Integer|Double|Float|Boolean|List|Map|Set|HashMap|ArrayList)\b)re", 2 },
        { R"re(\bnew\s+(ArrayList|HashMap|LinkedList|HashSet|TreeMap)\s*<)re", 2 },
        { R"re(\bSystem\.out\.print(ln)?\s*\()re", 2 },
        { R"re(@(Override|Deprecated|SuppressWarnings|Test)\b)re", 3 },
        { R"re(\bsynchronized\s*\()re", 3 },
        { R"re(\.stream\(\))re", 2 },
        { R"re(\bfor\s*\(\s*\w+\s+\w+\s*:\s*\w+\s*\))re", 3 },
        { R"re(\bthrows\s+\w+)re", 3 },
        { R"re(\bimplements\s+\w+)re", 3 },
        { R"re(\binstanceof\s+\w+)re", 2 },
        { R"re(\brecord\s+\w+\s*\()re", 4 },
        { R"re(\bsealed\s+(class|interface)\s+\w+)re", 4 },
    };
    return table;
}
