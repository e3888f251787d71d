#pragma once

#include "enrichment/ColorFormatter.h"

#include <string>

// "#FF0000 rgb" for a parse result, "nothing" for none: readable in a failing expectation.
inline std::string describe(const std::optional<ColorFormatter::ParseResult> &result)
{
    if (!result)
        return "nothing";
    return QString(result->hex + u' ' + result->label).toStdString();
}

// An input and the result it must give ("nothing" for none).
struct ParseCase
{
    QString input;
    std::string expected;
};
