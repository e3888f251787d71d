#include "detection/heuristics/HeuristicPatternTables.h"

// What clojure code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::clojurePatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\(defn\s+\w+)re", 5 },
        { R"re(\(def\s+\w+)re", 4 },
        { R"re(\(ns\s+[\w.-]+)re", 5, nearTop },
        { R"re(\(let\s+\[)re", 3 },
        { R"re(\(fn\s+\[)re", 3 },
        { R"re(\(->>\s+)re", 4 },
        { R"re(\(->\s+)re", 3 },
        { R"re(\(require\s+['\[])re", 3 },
        { R"re(\(if\s+)re", 2 },
        { R"re(\(when\s+)re", 2 },
    };
    return table;
}
