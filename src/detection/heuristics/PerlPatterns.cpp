#include "detection/heuristics/HeuristicPatternTables.h"

// What perl code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::perlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bmy\s+[\$@%])re", 4 },
        { R"re(\bsub\s+\w+\s*\{)re", 3 },
        { R"re(\buse\s+strict\b)re", 4, nearTop },
        { R"re(\buse\s+warnings\b)re", 4, nearTop },
        { R"re(=~\s*/)re", 3 },
        { R"re(\$_\b)re", 3 },
        { R"re(\bqw\s*[\(\[{/])re", 4 },
        { R"re(\bchomp\b)re", 3 },
        { R"re(\bour\s+[\$@%])re", 4 },
        { R"re(\b(foreach|unless|until)\s+)re", 2 },
        { R"re(\bdef\s+\w+\()re", -2 },
    };
    return table;
}
