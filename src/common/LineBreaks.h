#pragma once

#include <QChar>

// Every character that ends a line: LF, VT, FF, CR, NEL, LINE and PARAGRAPH SEPARATOR.
inline bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}
