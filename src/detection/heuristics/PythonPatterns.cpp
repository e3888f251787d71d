#include "detection/heuristics/HeuristicPatternTables.h"

// What python code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::pythonPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*def\s+\w+\s*\(.*\)\s*:)re", 3 },
        { R"re(^\s*async\s+def\s+\w+\s*\(.*\)\s*:)re", 3 },
        { R"re(^\s*class\s+\w+(\(\w+\))?\s*:)re", 3 },
        { R"re(^\s*(import|from)\s+(sys|os|re|json|math|random|datetime|collections|itertools|functools|typing|pathlib|numpy|pandas|matplotlib|scipy|sklearn|tensorflow|torch)\b)re",
            3, nearTop },
        { R"re(^\s*from\s+\w+\s+import\s+[\w,*]+)re", 3, nearTop },
        { R"re(\b(True|False|None)\b)re", 2 },
        { R"re(^\s*(if|elif|else)\s+.+:)re", 3 },
        { R"re(^\s*(for|while)\s+.+:)re", 3 },
        { R"re(^\s*try\s*:)re", 3 },
        { R"re(^\s*except\s+.*:)re", 3 },
        { R"re(^\s*with\s+.+:)re", 3 },
        { R"re(\bprint\s*\(.*\))re", 3 },
        { R"re(f\"[^\"]*\{[^}]+\}[^\"]*\")re", 3 },
        { R"re(^\s*@\w+)re", 3 },
        { R"re(\b(len|range|enumerate|zip|sorted|map|filter)\s*\()re", 3 },
        { R"re(\[.+\s+for\s+\w+\s+in\s+.+\])re", 3 },
        { R"re(:=\s*)re", 3 },
        { R"re(\blambda\s+\w+)re", 3 },
        { R"re(\bnonlocal\s+\w+)re", 4 },
        { R"re(\braise\s+\w+)re", 3 },
        { R"re(\bpass\s*$)re", 3 },
        { R"re(\byield\s+(from\s+)?\w+)re", 3 },
        { R"re(\bself\.\w+)re", 3 },
        { R"re(\b__\w+__\b)re", 3 },
        { R"re(\bfunction\s+\w+\s*\(.*\)\s*\{)re", -5 },
        { R"re(\bconsole\.log\s*\()re", -5 },
        { R"re(\b(let|const)\s+\w+\s*=)re", -5 },
        { R"re(\bwindow\.(addEventListener|location)\b)re", -10 },
        { R"re(\bdocument\.(getElementById|querySelector)\b)re", -10 },
        { R"re(\bexport\s+default\b)re", -5 },
        { R"re(\(\)\s*=>)re", -5 },
    };
    return table;
}
