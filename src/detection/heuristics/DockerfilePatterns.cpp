#include "detection/heuristics/HeuristicPatternTables.h"

// What dockerfile code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::dockerfilePatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^FROM\s+\w+)re", 5, nearTop },
        { R"re(^RUN\s+)re", 3 },
        { R"re(^CMD\s+\[)re", 3 },
        { R"re(^COPY\s+)re", 3 },
        { R"re(^ADD\s+)re", 3 },
        { R"re(^WORKDIR\s+)re", 3 },
        { R"re(^ENV\s+\w+[=\s])re", 3 },
        { R"re(^EXPOSE\s+\d+)re", 3 },
        { R"re(^ENTRYPOINT\s+)re", 3 },
        { R"re(^VOLUME\s+)re", 3 },
        { R"re(^ARG\s+\w+)re", 3 },
        { R"re(^LABEL\s+)re", 2 },
    };
    return table;
}
