#include "detection/heuristics/HeuristicPatternTables.h"

// What c code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::cPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(#include\s*(<|\")\w+\.h(>|\"))re", 2, nearTop },
        { R"re(\b(char|int|float|double|long|short|unsigned|signed)\s+\w+\s*[=;])re", 2 },
        { R"re(\bmalloc\s*\()re", 2 },
        { R"re(\bfree\s*\()re", 2 },
        { R"re(\bsizeof\s*\()re", 2 },
        { R"re(\w+\s*\*\s*\w+)re", 2 },
        { R"re(#define\s+\w+)re", 1 },
        { R"re(\bNULL\b)re", 1 },
        { R"re(\b(printf|puts|scanf)\s*\()re", 1 },
        { R"re(\bvoid\b)re", 1 },
        { R"re(\btypedef\s+\w+)re", 2 },
        { R"re(\bstruct\s+\w+\s*\{)re", 2 },
        { R"re(\bunion\s+\w+)re", 3 },
        { R"re(\btypedef\s+struct\b)re", 3 },
        { R"re(\b(memcpy|memset|strlen|strcmp|strcpy|strcat)\s*\()re", 2 },
        { R"re(\b(register|restrict)\s+\w+)re", 3 },
        { R"re(\bnew\s+\w+)re", -1 },
        { R"re(\bvar\s+\w+\s*=)re", -1 },
    };
    return table;
}
