#include "detection/heuristics/HeuristicPatternTables.h"

// What javascript code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::javaScriptPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bconsole\.(log|warn|error|info|debug)\()re", 3 },
        { R"re(\bdocument\.(getElementById|querySelector|querySelectorAll)\()re", 5 },
        { R"re(\bwindow\.(addEventListener|location|innerWidth)\b)re", 5 },
        { R"re(\b(var|let|const)\s+\w+\s*=)re", 4 },
        { R"re(\bfunction\s*\w*\s*\([^)]*\)\s*\{)re", 3 },
        { R"re(\(?\w*\)?\s*=>\s*\{?)re", 3 },
        { R"re(`[^`]*\$\{[^}]+\}[^`]*`)re", 3 },
        { R"re(\bPromise\s*\()re", 3 },
        { R"re(\basync\s+function\b)re", 3 },
        { R"re(\bawait\s+\w+)re", 3 },
        { R"re(\bimport\s+.*\s+from\s+['\"])re", 3, nearTop },
        { R"re(\bexport\s+(default\s+)?)re", 3 },
        { R"re(\bmodule\.exports\s*=)re", 3 },
        { R"re(\brequire\s*\(['\"])re", 3 },
        { R"re(\b(setTimeout|setInterval|fetch)\s*\()re", 3 },
        { R"re(\b(useState|useEffect|useContext|useReducer)\s*\()re", 3 },
        { R"re(\bJSON\.(stringify|parse)\s*\()re", 3 },
        { R"re(\b__dirname\b|\b__filename\b)re", 3 },
        { R"re(===|!==)re", 2 },
        { R"re(\bnew\s+(Map|Set|WeakMap|WeakSet|Promise|Error|Date|RegExp)\s*\()re", 3 },
        { R"re(\b(Array|Object)\.(from|keys|values|entries|assign|freeze)\s*\()re", 3 },
        { R"re(\"use strict\")re", 3, nearTop },
        { R"re(\bclass\s+\w+\s+extends\s+)re", 3 },
        { R"re(\bdef\s+\w+\(.*\)\s*:)re", -3 },
        { R"re(\bputs\s+)re", -2 },
    };
    return table;
}
