#pragma once

#include <QHashFunctions>
#include <QtGlobal>

// Names one item of the store for as long as it exists, across contexts and threads.
// Saved items are named by their row; an item inserted but not yet saved has a temporary
// (negative) name that is replaced when its context saves it.
struct PersistentIdentifier
{
    qint64 value = 0;

    bool isValid() const { return value != 0; }
    bool isTemporary() const { return value < 0; }

    friend bool operator==(PersistentIdentifier, PersistentIdentifier) = default;
};

inline size_t qHash(PersistentIdentifier identifier, size_t seed = 0)
{
    return qHash(identifier.value, seed);
}
