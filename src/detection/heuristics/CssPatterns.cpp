#include "detection/heuristics/HeuristicPatternTables.h"

// What css code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::cssPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^[\w.#\[\]:]+[^{}]*\{)re", 2 },
        { R"re(@media\s+[^{]+\{)re", 3 },
        { R"re(@keyframes\s+\w+\s*\{)re", 3 },
        { R"re(--[\w-]+\s*:\s*.+;)re", 3 },
        { R"re(\bvar\(--[\w-]+\))re", 3 },
        { R"re(\bdisplay\s*:\s*(flex|grid|block|inline|none)\s*;)re", 3 },
        { R"re(\b(margin|padding|border|width|height|background|color|font-size)\s*:\s*.+;)re", 2 },
        { R"re(\b(justify-content|align-items|flex-direction)\s*:)re", 2 },
        { R"re(\bgrid-template-(columns|rows)\s*:)re", 3 },
        { R"re(\b(transition|animation)\s*:\s*.+;)re", 2 },
        { R"re(#([A-Fa-f0-9]{3}|[A-Fa-f0-9]{6})\b)re", 2 },
        { R"re(\brgba?\s*\()re", 2 },
    };
    return table;
}
