#include "model/FetchDescriptor.h"

#include "model/ClipboardItem.h"

#include <QDateTime>
#include <QUuid>

namespace {

const char *sqlOperator(Predicate::Operator op)
{
    switch (op) {
    case Predicate::Operator::equal:
        return " IS ";
    case Predicate::Operator::notEqual:
        return " IS NOT ";
    case Predicate::Operator::less:
        return " < ";
    case Predicate::Operator::lessOrEqual:
        return " <= ";
    case Predicate::Operator::greater:
        return " > ";
    case Predicate::Operator::greaterOrEqual:
        return " >= ";
    default:
        return nullptr;
    }
}

} // namespace

QVariant storedColumnValue(ItemField field, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (fieldInfo(field).type) {
    case FieldType::uuid:
        return value.toUuid().toString(QUuid::WithoutBraces);
    case FieldType::date:
        return value.toDateTime().toMSecsSinceEpoch();
    case FieldType::boolean:
        return qint64(value.toBool() ? 1 : 0);
    case FieldType::integer:
    case FieldType::relationship:
        return value.toLongLong();
    case FieldType::data:
        return value.toByteArray();
    case FieldType::string:
        return value.toString();
    case FieldType::inverseRelationship:
        return {};
    }
    return {};
}

int compareFieldValues(ItemField field, const QVariant &a, const QVariant &b)
{
    const bool aNull = a.isNull() || !a.isValid();
    const bool bNull = b.isNull() || !b.isValid();
    if (aNull || bNull)
        return aNull == bNull ? 0 : (aNull ? -1 : 1);
    const QVariant x = storedColumnValue(field, a);
    const QVariant y = storedColumnValue(field, b);
    if (x.typeId() == QMetaType::LongLong && y.typeId() == QMetaType::LongLong)
        return x.toLongLong() < y.toLongLong() ? -1 : (x.toLongLong() > y.toLongLong() ? 1 : 0);
    if (x.typeId() == QMetaType::QByteArray)
        return x.toByteArray().compare(y.toByteArray());
    // SQLite compares text by its UTF-8 bytes (BINARY collation).
    const int order = x.toString().toUtf8().compare(y.toString().toUtf8());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

Predicate Predicate::compare(Operator op, ItemField field, const QVariant &value)
{
    Predicate p;
    p.m_operator = op;
    p.m_field = field;
    p.m_value = value;
    return p;
}

Predicate Predicate::isNull(ItemField field)
{
    Predicate p;
    p.m_operator = Operator::isNull;
    p.m_field = field;
    return p;
}

Predicate Predicate::isNotNull(ItemField field)
{
    Predicate p;
    p.m_operator = Operator::isNotNull;
    p.m_field = field;
    return p;
}

Predicate Predicate::all(QList<Predicate> terms)
{
    Predicate p;
    p.m_operator = Operator::all;
    p.m_terms = std::move(terms);
    return p;
}

Predicate Predicate::any(QList<Predicate> terms)
{
    Predicate p;
    p.m_operator = Operator::any;
    p.m_terms = std::move(terms);
    return p;
}

Predicate Predicate::negation(Predicate term)
{
    Predicate p;
    p.m_operator = Operator::negation;
    p.m_terms = { std::move(term) };
    return p;
}

bool Predicate::matches(const ClipboardItem &item) const
{
    switch (m_operator) {
    case Operator::always:
        return true;
    case Operator::isNull:
        return item.value(m_field).isNull();
    case Operator::isNotNull:
        return !item.value(m_field).isNull();
    case Operator::all:
        return std::all_of(
            m_terms.begin(), m_terms.end(), [&](const Predicate &t) { return t.matches(item); });
    case Operator::any:
        return std::any_of(
            m_terms.begin(), m_terms.end(), [&](const Predicate &t) { return t.matches(item); });
    case Operator::negation:
        return !m_terms.first().matches(item);
    default:
        break;
    }
    const QVariant actual = item.value(m_field);
    // Comparisons with a missing value are false, as in SQL; equality treats two missing
    // values as equal (SQL's IS).
    if (m_operator == Operator::equal || m_operator == Operator::notEqual) {
        const bool equal = (actual.isNull() && m_value.isNull())
            || (!actual.isNull() && !m_value.isNull() && compareFieldValues(m_field, actual, m_value) == 0);
        return m_operator == Operator::equal ? equal : !equal;
    }
    if (actual.isNull() || m_value.isNull())
        return false;
    const int order = compareFieldValues(m_field, actual, m_value);
    switch (m_operator) {
    case Operator::less:
        return order < 0;
    case Operator::lessOrEqual:
        return order <= 0;
    case Operator::greater:
        return order > 0;
    case Operator::greaterOrEqual:
        return order >= 0;
    default:
        return false;
    }
}

void Predicate::appendSql(QString &sql, QVariantList &bindings) const
{
    const QString column = QString::fromLatin1(fieldInfo(m_field).name);
    switch (m_operator) {
    case Operator::always:
        sql += QStringLiteral("1");
        return;
    case Operator::isNull:
        sql += column + QStringLiteral(" IS NULL");
        return;
    case Operator::isNotNull:
        sql += column + QStringLiteral(" IS NOT NULL");
        return;
    case Operator::all:
    case Operator::any: {
        if (m_terms.isEmpty()) {
            sql += m_operator == Operator::all ? QStringLiteral("1") : QStringLiteral("0");
            return;
        }
        sql += QLatin1Char('(');
        for (qsizetype i = 0; i < m_terms.size(); ++i) {
            if (i > 0)
                sql += m_operator == Operator::all ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
            m_terms[i].appendSql(sql, bindings);
        }
        sql += QLatin1Char(')');
        return;
    }
    case Operator::negation:
        sql += QStringLiteral("NOT (");
        m_terms.first().appendSql(sql, bindings);
        sql += QLatin1Char(')');
        return;
    default:
        sql += column + QLatin1String(sqlOperator(m_operator)) + QLatin1Char('?');
        bindings.append(storedColumnValue(m_field, m_value));
        return;
    }
}

FetchDescriptor FetchDescriptor::newestFirst(Predicate predicate)
{
    FetchDescriptor descriptor;
    descriptor.predicate = std::move(predicate);
    descriptor.sortBy = { SortDescriptor { ItemField::timestamp, false } };
    return descriptor;
}
