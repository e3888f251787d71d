#include "detection/heuristics/HeuristicPatternTables.h"

// What ocaml code looks like, line by line. The shapes it shares with F# carry the same
// points as there, and F# comes first in the table, so only what OCaml alone writes (a
// "let () =" entry point, the print_ functions, Printf, struct and sig modules, ";;", the
// folds of its List module) tells the two apart.
std::span<const HeuristicPattern> HeuristicPatternTables::oCamlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\blet\s+(rec\s+)?\w+\s+)re", 2 },
        { R"re(\btype\s+\w+\s*=)re", 3 },
        { R"re(\bmatch\s+\w+\s+with)re", 4 },
        { R"re(\|>\s*\w+)re", 3 },
        { R"re(\bopen\s+\w+)re", 2, nearTop },
        { R"re(^\s*let\s+\(\)\s*=)re", 5 },
        { R"re(\bprint_(endline|string|int|float|char|newline)\b)re", 5 },
        { R"re(\b(Printf|Format)\.(printf|sprintf|eprintf|fprintf|asprintf)\b)re", 4 },
        { R"re(\bmodule\s+(type\s+)?\w+\s*(:\s*\w+\s*)?=\s*(struct|sig)\b)re", 5 },
        { R"re(;;\s*$)re", 3 },
        { R"re(\bList\.(fold_left|fold_right|rev_map|concat_map|assoc|mem_assoc|iter2)\b)re", 3 },
    };
    return table;
}
