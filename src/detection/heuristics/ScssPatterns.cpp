#include "detection/heuristics/HeuristicPatternTables.h"

// What scss code looks like, line by line: what it adds to CSS (variables, mixins, nesting
// with "&", modules, colour functions of a variable). Plain CSS matches none of these, so it
// stays CSS.
std::span<const HeuristicPattern> HeuristicPatternTables::scssPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^\s*\$[\w-]+\s*:\s*[^;]+;)re", 5 },
        { R"re(@mixin\s+[\w-]+)re", 5 },
        { R"re(@include\s+[\w-]+)re", 5 },
        { R"re(@extend\s+[%.\w-]+)re", 4 },
        { R"re(@(use|forward)\s+['\"])re", 5, nearTop },
        { R"re(^\s*&(:{1,2}[\w-]|\.[\w-]|__|--|\[))re", 4 },
        { R"re(^\s*[\w-]+\s*:\s*[^;]*\$[\w-]+[^;]*;)re", 3 },
        { R"re(\b(darken|lighten|mix|transparentize|rgba|map-get)\(\s*\$)re", 4 },
    };
    return table;
}
