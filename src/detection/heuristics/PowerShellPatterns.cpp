#include "detection/heuristics/HeuristicPatternTables.h"

// What powershell code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::powerShellPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\b(Get|Set|New|Remove|Add|Write|Read|Test|Start|Stop|Invoke)-\w+)re", 4 },
        { R"re(\[CmdletBinding\(\)\])re", 5 },
        { R"re(\bWrite-(Host|Output|Error|Warning|Verbose)\b)re", 4 },
        { R"re(\bparam\s*\()re", 3 },
        { R"re(\b(Begin|Process|End)\s*\{)re", 3 },
        { R"re(\bforeach\s*\(\$\w+\s+in\s+)re", 3 },
        { R"re(\$PSVersionTable\b)re", 5 },
        { R"re(\b(Where-Object|ForEach-Object|Select-Object|Sort-Object)\b)re", 4 },
        { R"re(\bfunction\s+\w+-\w+\s*\{)re", 3 },
        { R"re(\[Parameter\s*\()re", 4 },
    };
    return table;
}
