#include "model/ItemFieldValues.h"

const QVariant ItemFieldValues::s_null;
const QVariant ItemFieldValues::s_false(false);

void ItemFieldValues::set(ItemField field, QVariant value)
{
    const quint64 bit = bitOf(field);
    const bool missing = value.isNull()
        || ((requiredBooleans & bit) && value.typeId() == QMetaType::Bool && !value.toBool());
    if (missing) {
        remove(field);
        return;
    }
    const auto at = m_values.begin() + rank(bit);
    if (m_present & bit) {
        *at = std::move(value);
        return;
    }
    m_values.insert(at, std::move(value));
    m_present |= bit;
}

void ItemFieldValues::remove(ItemField field)
{
    const quint64 bit = bitOf(field);
    if (!(m_present & bit))
        return;
    m_values.erase(m_values.begin() + rank(bit));
    m_present &= ~bit;
}
