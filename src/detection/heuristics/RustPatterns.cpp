#include "detection/heuristics/HeuristicPatternTables.h"

// What rust code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::rustPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bfn\s+\w+\s*\([^)]*\)\s*(->)?)re", 3 },
        { R"re(\blet\s+mut\s+\w+)re", 4 },
        { R"re(\blet\s+\w+\s*:\s*\w+)re", 2 },
        { R"re(\bstruct\s+\w+\s*\{)re", 2 },
        { R"re(\bimpl\s+\w+)re", 3 },
        { R"re(\bmatch\s+\w+\s*\{)re", 3 },
        { R"re(\b(pub|mod|use|crate|extern)\s+)re", 2, nearTop },
        { R"re(\bmacro_rules!\s*\w+)re", 4 },
        { R"re(#\[(derive|allow|cfg|test)\b)re", 3 },
        { R"re(\bOption\s*<|Result\s*<|Vec\s*<)re", 3 },
        { R"re(\bprintln!\s*\()re", 3 },
        { R"re(\bunwrap\(\))re", 2 },
        { R"re(&(mut\s+)?\w+)re", 2 },
        { R"re(\b(String|&str|i32|u32|f64|bool|usize)\b)re", 2 },
        { R"re(\btrait\s+\w+)re", 3 },
        { R"re(\bunsafe\s*\{)re", 3 },
        { R"re(\bloop\s*\{)re", 3 },
        { R"re(\b(Some|None|Ok|Err)\b)re", 3 },
        { R"re(\b(Box|Rc|Arc)\s*(<|::))re", 3 },
        { R"re(\b(vec|format|panic|eprintln)!\s*[\(\[])re", 3 },
        { R"re('\w+\s)re", 2 },
    };
    return table;
}
