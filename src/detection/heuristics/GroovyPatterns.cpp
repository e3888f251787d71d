#include "detection/heuristics/HeuristicPatternTables.h"

// What groovy code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::groovyPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bdef\s+\w+\s*=)re", 2 },
        { R"re(\bdef\s+\w+\s*\()re", 2 },
        { R"re(\bprintln\s+)re", 2 },
        { R"re(\b(task|plugins|dependencies|repositories)\s*\{)re", 4 },
        { R"re(\bimplementation\s+['\"])re", 4 },
        { R"re(\bapply\s+plugin:)re", 4 },
        { R"re(\bit\.\w+)re", 2 },
        { R"re(@(Grab|GrabConfig|GrabExclude)\b)re", 5 },
        { R"re(\bcompile(Only)?\s+['\"])re", 3 },
    };
    return table;
}
