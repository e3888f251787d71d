#include "detection/heuristics/HeuristicPatternTables.h"

// What php code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::phpPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(<\?php)re", 3, nearTop },
        { R"re(\$\w+\s*[-=]>\s*\w+)re", 2 },
        { R"re(\$\w+)re", 2 },
        { R"re(\buse\s+\w+(\\\w+)+\s*;)re", 2, nearTop },
        { R"re(\b(require|include)(_once)?\s*\(?\s*['\"])re", 2 },
        { R"re(\becho\s+['\"])re", 1 },
        { R"re(\bfunction\s+\w+\s*\([\$\w,\s]*\))re", 1 },
        { R"re(\===|\!==)re", 1 },
        { R"re(\barray\s*\()re", 2 },
        { R"re(\bforeach\s*\()re", 3 },
        { R"re(\b(endif|endfor|endforeach|endwhile|endswitch)\b)re", 4 },
        { R"re(\$this->)re", 3 },
        { R"re(\b(__CLASS__|__METHOD__|__FUNCTION__|__NAMESPACE__|__TRAIT__)\b)re", 4 },
        { R"re(\b(isset|unset|empty)\s*\()re", 3 },
        { R"re(\b(char|int|float|double)\s+\w+\s*=)re", -1 },
    };
    return table;
}
