#include "detection/heuristics/HeuristicPatternTables.h"

// What a unified diff looks like: its file heads (a path, perhaps a tab and a date) and its
// hunk heads. A patch's other lines are whatever the patched files hold and score for their
// own language, so the heads weigh more than any one shape of a language.
std::span<const HeuristicPattern> HeuristicPatternTables::diffPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(^@@ -\d+(,\d+)? \+\d+(,\d+)? @@)re", 15 },
        { R"re(^diff --git a/\S+ b/\S+)re", 6, nearTop },
        { R"re(^--- \S*[/.]\S*(\t.*)?$)re", 5, nearTop },
        { R"re(^\+\+\+ \S*[/.]\S*(\t.*)?$)re", 5, nearTop },
        { R"re(^index [0-9a-f]{7,}\.\.[0-9a-f]{7,})re", 4, nearTop },
        { R"re(^\\ No newline at end of file)re", 4 },
    };
    return table;
}
