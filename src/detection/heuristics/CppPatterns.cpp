#include "detection/heuristics/HeuristicPatternTables.h"

// What cpp code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::cppPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(#include\s*(<|\")\w+(\.h)?(>|\"))re", 2, nearTop },
        { R"re(\busing\s+namespace\s+\w+\s*;)re", 2 },
        { R"re(\bstd::\w+)re", 2 },
        { R"re(\b(cout|cin|cerr|endl)\b)re", 2 },
        { R"re(\btemplate\s*<)re", 2 },
        { R"re(\bnullptr\b)re", 2 },
        { R"re(\b(public|protected|private)\s*:)re", 2 },
        { R"re(\bclass\s+\w+\s*(\:\s*(public|private|protected)\s+\w+)?)re", 1 },
        { R"re(\w+::\w+)re", 1 },
        { R"re(\bauto\s+\w+\s*=)re", 2 },
        { R"re(\bconst\s+\w+\s*&)re", 2 },
        { R"re(\bvirtual\s+\w+)re", 2 },
        { R"re(\bstatic_cast\s*<|dynamic_cast\s*<|reinterpret_cast\s*<)re", 3 },
        { R"re(\b(constexpr|consteval|constinit)\s+)re", 3 },
        { R"re(\bnoexcept\b)re", 3 },
        { R"re(\b(shared_ptr|unique_ptr|weak_ptr|make_shared|make_unique)\s*[<(])re", 3 },
        { R"re(\b(optional|variant|string_view)\b)re", 2 },
        { R"re(\bdecltype\s*\()re", 3 },
        { R"re(\b(concept|requires)\s+)re", 3 },
        { R"re(\b(ArrayList|HashMap)<)re", -1 },
    };
    return table;
}
