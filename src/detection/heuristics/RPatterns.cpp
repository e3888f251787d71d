#include "detection/heuristics/HeuristicPatternTables.h"

// What r code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::rPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\w+\s*<-\s*)re", 3 },
        { R"re(\blibrary\s*\()re", 4 },
        { R"re(\bdata\.frame\s*\()re", 5 },
        { R"re(%>%)re", 4 },
        { R"re(\bc\s*\(\s*[\d\"\'])re", 3 },
        { R"re(\b(ggplot|aes|geom_\w+|facet_\w+)\s*\()re", 4 },
        { R"re(\b(mutate|summarise|group_by|arrange)\s*\()re", 3 },
        { R"re(\bfunction\s*\([^)]*\)\s*\{)re", 2 },
        { R"re(\b(TRUE|FALSE|NA|NULL|NaN|Inf)\b)re", 3 },
        { R"re(\binstall\.packages\s*\()re", 5 },
    };
    return table;
}
