#include "detection/heuristics/HeuristicPatternTables.h"

// What sql code looks like, line by line.
std::span<const HeuristicPattern> HeuristicPatternTables::sqlPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re((?i)\bSELECT\s+.+\s+FROM\b)re", 5 },
        { R"re((?i)\bINSERT\s+INTO\s+\w+)re", 5 },
        { R"re((?i)\bUPDATE\s+\w+\s+SET\b)re", 5 },
        { R"re((?i)\bDELETE\s+FROM\s+\w+)re", 5 },
        { R"re((?i)\bCREATE\s+(TABLE|INDEX|VIEW|DATABASE|FUNCTION)\b)re", 5 },
        { R"re((?i)\bALTER\s+TABLE\s+\w+)re", 5 },
        { R"re((?i)\bDROP\s+(TABLE|INDEX|VIEW|DATABASE)\b)re", 4 },
        { R"re((?i)\bWHERE\s+\w+\s*(=|>|<|LIKE|IN|BETWEEN)\b)re", 3 },
        { R"re((?i)\b(INNER|LEFT|RIGHT|OUTER|CROSS)\s+JOIN\b)re", 3 },
        { R"re((?i)\bGROUP\s+BY\b)re", 3 },
        { R"re((?i)\bORDER\s+BY\b)re", 3 },
        { R"re((?i)\bHAVING\s+)re", 3 },
        { R"re((?i)\bCAST\s*\()re", 3 },
        { R"re((?i)\bCOALESCE\s*\()re", 3 },
        { R"re((?i)\b(VARCHAR|INTEGER|BOOLEAN|SMALLINT|BIGINT|DECIMAL|NUMERIC|TIMESTAMP)\b)re", 3 },
        { R"re((?i)\bPRIMARY\s+KEY\b)re", 3 },
        { R"re((?i)\b(COMMIT|ROLLBACK|SAVEPOINT)\b)re", 3 },
    };
    return table;
}
