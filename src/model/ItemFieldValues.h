#pragma once

#include "model/ItemSchema.h"

#include <QVariant>

#include <array>
#include <vector>

// The persisted values of one item: only the fields it has take room. Most of an item's
// fields are missing (a text has no picture, no colour, no link title, ...), and the panel
// keeps every item of the history, so a slot per field would cost more than the values.
// The values of an item with few fields sit in the object itself, beside their mask, so that a
// pass over thousands of items (a sort by time, the panel's categories) reads one place an item.
//
// A missing field reads as a null value, except a required Boolean, which reads as false
// (and is kept as missing when it is false).
class ItemFieldValues final
{
public:
    const QVariant &get(ItemField field) const
    {
        const quint64 bit = bitOf(field);
        if (m_present & bit)
            return values()[rank(bit)];
        return (requiredBooleans & bit) ? s_false : s_null;
    }
    bool has(ItemField field) const { return (m_present & bitOf(field)) != 0; }
    // Sets or removes (a null value; false for a required Boolean) the field's value.
    void set(ItemField field, QVariant value);
    void remove(ItemField field);
    // Adds the value of a field after every field present (a row read in field order); the
    // caller leaves out the values that read as missing.
    void append(ItemField field, QVariant value);
    // Room for n values, for an item filled at once (a row read from the store), so that it
    // takes no more than it holds.
    void reserve(int n);
    // How many fields take room.
    int count() const { return bitCount(m_present); }

    // The Booleans every item has (their schema entries are not optional).
    static constexpr quint64 requiredBooleans = (quint64(1) << int(ItemField::codeAsText))
        | (quint64(1) << int(ItemField::isFromPasswordManager)) | (quint64(1) << int(ItemField::isPinned));
    // Values an item keeps in itself; one with more keeps them all in a list of their own. A text
    // copied from an application has about six.
    static constexpr int inlineCapacity = 6;

private:
    static quint64 bitOf(ItemField field) { return quint64(1) << int(field); }
    qsizetype rank(quint64 bit) const { return bitCount(m_present & (bit - 1)); }
    // The set bits, counted in a few instructions: std::popcount is a library call where the
    // compiler may not assume the processor's own instruction, and the panel reads the fields
    // of thousands of items at every show.
    static int bitCount(quint64 x)
    {
        x -= (x >> 1) & 0x5555555555555555u;
        x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
        x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
        return int((x * 0x0101010101010101u) >> 56);
    }
    const QVariant *values() const { return m_onHeap ? m_heap.data() : m_inline.data(); }
    QVariant *values() { return m_onHeap ? m_heap.data() : m_inline.data(); }
    // Makes room at index for one more value.
    QVariant &insertAt(qsizetype index);
    void moveToHeap(std::size_t capacity);

    static_assert(itemFieldCount <= 64, "a field's presence is one bit of a 64-bit mask");
    static const QVariant s_null;
    static const QVariant s_false;
    quint64 m_present = 0;
    bool m_onHeap = false;
    std::array<QVariant, inlineCapacity> m_inline; // the values in field order, while few
    std::vector<QVariant> m_heap; // the values in field order, once more than the object holds
};
