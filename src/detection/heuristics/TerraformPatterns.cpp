#include "detection/heuristics/HeuristicPatternTables.h"

// What terraform code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::terraformPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bresource\s+\"[\w_]+\")re", 5 },
        { R"re(\bprovider\s+\"[\w_]+\")re", 5 },
        { R"re(\bvariable\s+\"[\w_]+\"\s*\{)re", 5 },
        { R"re(\boutput\s+\"[\w_]+\"\s*\{)re", 5 },
        { R"re(\bdata\s+\"[\w_]+\"\s+\"[\w_]+\")re", 5 },
        { R"re(\bterraform\s*\{)re", 5 },
        { R"re(\blocals\s*\{)re", 3 },
        { R"re(\bmodule\s+\"[\w_]+\"\s*\{)re", 4 },
    };
    return table;
}
