#include "detection/heuristics/HeuristicPatternTables.h"

// What html code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::htmlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(<!DOCTYPE\s+html>)re", 15, nearTop },
        { R"re(<(html|head|body|div|span|h[1-6]|p|a|img|ul|ol|li|table|form|input|button|label|select|textarea)\b[^>]*>)re",
            5 },
        { R"re(</(html|head|body|div|span|h[1-6]|p|a|ul|ol|li|table|form)>)re", 5 },
        { R"re(<(meta|link|br|hr|img|input|source)\b[^>]*/?\s*>)re", 3 },
        { R"re(<a\s+[^>]*href=\")re", 3 },
        { R"re(class=\"[^\"]+\")re", 2 },
        { R"re(id=\"[^\"]+\")re", 2 },
        { R"re(style=\"[^\"]*\")re", 1 },
        { R"re(<script\b)re", 2 },
        { R"re(<style\b)re", 2 },
        { R"re(aria-[a-z]+=\")re", 2 },
        { R"re(data-[a-z0-9-]+=\")re", 2 },
    };
    return table;
}
