#pragma once

#include "model/ItemSchema.h"

#include <QList>
#include <QVariant>

#include <memory>
#include <optional>

class ClipboardItem;

// A condition on an item's stored (non-external) properties. It is both turned into SQL
// for the store and evaluated in memory for changes not yet saved, so a fetch sees the
// context as it is, saved or not.
class Predicate final
{
public:
    enum class Operator {
        always,
        equal,
        notEqual,
        less,
        lessOrEqual,
        greater,
        greaterOrEqual,
        isNull,
        isNotNull,
        all,
        any,
        negation
    };

    Predicate() = default; // matches every item

    static Predicate equal(ItemField field, const QVariant &value)
    {
        return compare(Operator::equal, field, value);
    }
    static Predicate notEqual(ItemField field, const QVariant &value)
    {
        return compare(Operator::notEqual, field, value);
    }
    static Predicate less(ItemField field, const QVariant &value)
    {
        return compare(Operator::less, field, value);
    }
    static Predicate lessOrEqual(ItemField field, const QVariant &value)
    {
        return compare(Operator::lessOrEqual, field, value);
    }
    static Predicate greater(ItemField field, const QVariant &value)
    {
        return compare(Operator::greater, field, value);
    }
    static Predicate greaterOrEqual(ItemField field, const QVariant &value)
    {
        return compare(Operator::greaterOrEqual, field, value);
    }
    static Predicate isNull(ItemField field);
    static Predicate isNotNull(ItemField field);
    static Predicate all(QList<Predicate> terms);
    static Predicate any(QList<Predicate> terms);
    static Predicate negation(Predicate term);

    bool matches(const ClipboardItem &item) const;
    // Appends the SQL condition to sql and its parameters to bindings.
    void appendSql(QString &sql, QVariantList &bindings) const;
    bool matchesEverything() const { return m_operator == Operator::always; }

private:
    static Predicate compare(Operator op, ItemField field, const QVariant &value);

    Operator m_operator = Operator::always;
    ItemField m_field = ItemField::id;
    QVariant m_value;
    QList<Predicate> m_terms;
};

struct SortDescriptor
{
    ItemField field = ItemField::timestamp;
    bool ascending = true;
};

// What to fetch: a condition, an order and an optional limit. Items with equal sort keys
// follow the order in which they were first saved, in the direction of the first key
// (so of two items copied in the same millisecond, "newest first" shows the later one first).
struct FetchDescriptor
{
    Predicate predicate;
    QList<SortDescriptor> sortBy;
    std::optional<int> fetchLimit;

    // Every item, newest first: the history's order.
    static FetchDescriptor newestFirst(Predicate predicate = {});
};

// Orders two values of one field the way the store does: missing values first, then by value.
int compareFieldValues(ItemField field, const QVariant &a, const QVariant &b);
// The value as the store keeps it in its column (dates as milliseconds since 1970, ...).
QVariant storedColumnValue(ItemField field, const QVariant &value);
