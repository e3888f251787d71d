#pragma once

#include <QLatin1String>
#include <QList>
#include <QStringView>

#include <array>
#include <optional>

// Lookups over a table of enumeration cases in declaration order, each row holding its case
// as `value` and its raw value as Latin-1 text in `rawValue`.
namespace RawValueTable {

template <typename Row, size_t N> QList<decltype(Row::value)> allCases(const std::array<Row, N> &rows)
{
    QList<decltype(Row::value)> cases;
    cases.reserve(qsizetype(N));
    for (const Row &row : rows)
        cases.append(row.value);
    return cases;
}

// The case whose raw value is exactly rawValue (case-sensitive).
template <typename Row, size_t N>
std::optional<decltype(Row::value)> find(const std::array<Row, N> &rows, QStringView rawValue)
{
    for (const Row &row : rows) {
        if (rawValue == QLatin1String(row.rawValue))
            return row.value;
    }
    return std::nullopt;
}

} // namespace RawValueTable
