#include "detection/heuristics/HeuristicPatternTables.h"

// What dart code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::dartPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\b(var|final|const)\s+\w+\s*=)re", 2 },
        { R"re(\bclass\s+\w+\s*(extends|implements|with)\s+)re", 3 },
        { R"re(\b(Widget|StatelessWidget|StatefulWidget|BuildContext)\b)re", 4 },
        { R"re(\bFuture\s*<)re", 3 },
        { R"re(\basync\s*\*?\s*\{)re", 2 },
        { R"re(\bawait\s+\w+)re", 2 },
        { R"re(\bimport\s+['\"]package:)re", 3, nearTop },
        { R"re(\b(print|debugPrint)\s*\()re", 1 },
        { R"re(\blate\s+(final|var)\b)re", 4 },
        { R"re(\bfactory\s+\w+)re", 4 },
        { R"re(\bmixin\s+\w+)re", 4 },
        { R"re(\bextension\s+\w+\s+on\s+)re", 5 },
        { R"re(\b(show|hide)\s+\w+)re", 3 },
    };
    return table;
}
