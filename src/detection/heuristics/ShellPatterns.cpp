#include "detection/heuristics/HeuristicPatternTables.h"

// What shell code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::shellPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\b(echo|export|source|alias|unset)\s+)re", 2 },
        { R"re(\bif\s+\[{1,2}\s+)re", 3 },
        { R"re(\bthen\s*$)re", 2 },
        { R"re(\bfi\s*$)re", 3 },
        { R"re(\bcase\s+.+\s+in\s*$)re", 3 },
        { R"re(\besac\s*$)re", 3 },
        { R"re(\bfor\s+\w+\s+in\s+)re", 2 },
        { R"re(\bwhile\s+.+;\s*do)re", 2 },
        { R"re(\bdone\s*$)re", 2 },
        { R"re(\$\{?\w+\}?)re", 2 },
        { R"re(\|\s*\w+)re", 1 },
        { R"re(\b(grep|sed|awk|curl|wget|chmod|mkdir|rm|cp|mv)\b)re", 2 },
        { R"re(\bdeclare\s+(-[aAfFgiIlnrtux]+\s+)?\w+)re", 3 },
        { R"re(\btrap\s+)re", 3 },
        { R"re(\$\(\()re", 3 },
        { R"re(<<-?\s*['\"]?\w+)re", 3 },
        { R"re(\b(cat|sort|wc|head|tail|find|xargs|tee|cut|tr)\b)re", 1 },
        { R"re(\bdef\s+\w+\()re", -2 },
        { R"re(\bclass\s+\w+\s*[:{])re", -2 },
    };
    return table;
}
