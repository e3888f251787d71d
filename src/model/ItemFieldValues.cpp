#include "model/ItemFieldValues.h"

#include <algorithm>
#include <utility>

const QVariant ItemFieldValues::s_null;
const QVariant ItemFieldValues::s_false(false);

void ItemFieldValues::moveToHeap(std::size_t capacity)
{
    const int held = count();
    m_heap.reserve(std::max(capacity, std::size_t(held)));
    for (int i = 0; i < held; ++i)
        m_heap.push_back(std::exchange(m_inline[std::size_t(i)], QVariant()));
    m_onHeap = true;
}

QVariant &ItemFieldValues::insertAt(qsizetype index)
{
    const int held = count();
    if (!m_onHeap && held == inlineCapacity)
        moveToHeap(std::size_t(held) + 1);
    if (m_onHeap) {
        // One more slot, not twice as many: an item gains its fields one by one as the capture
        // decides them, and keeps them for as long as it is in the history.
        if (m_heap.size() == m_heap.capacity())
            m_heap.reserve(m_heap.size() + 1);
        return *m_heap.insert(m_heap.begin() + index, QVariant());
    }
    // The free inline slot at the end moves to index.
    std::rotate(m_inline.begin() + index, m_inline.begin() + held, m_inline.begin() + held + 1);
    return m_inline[std::size_t(index)];
}

void ItemFieldValues::set(ItemField field, QVariant value)
{
    const quint64 bit = bitOf(field);
    const bool missing = value.isNull()
        || ((requiredBooleans & bit) && value.typeId() == QMetaType::Bool && !value.toBool());
    if (missing) {
        remove(field);
        return;
    }
    if (m_present & bit) {
        values()[rank(bit)] = std::move(value);
        return;
    }
    insertAt(rank(bit)) = std::move(value);
    m_present |= bit;
}

void ItemFieldValues::append(ItemField field, QVariant value)
{
    Q_ASSERT(bitOf(field) > m_present);
    insertAt(count()) = std::move(value);
    m_present |= bitOf(field);
}

void ItemFieldValues::reserve(int n)
{
    if (n > inlineCapacity && !m_onHeap)
        moveToHeap(std::size_t(n));
}

void ItemFieldValues::remove(ItemField field)
{
    const quint64 bit = bitOf(field);
    if (!(m_present & bit))
        return;
    const qsizetype index = rank(bit);
    if (m_onHeap) {
        m_heap.erase(m_heap.begin() + index);
    } else {
        const int held = count();
        std::rotate(m_inline.begin() + index, m_inline.begin() + index + 1, m_inline.begin() + held);
        m_inline[std::size_t(held - 1)] = QVariant();
    }
    m_present &= ~bit;
}
