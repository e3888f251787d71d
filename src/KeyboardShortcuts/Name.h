#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace KeyboardShortcuts {

// A global shortcut as the rest of the app knows it: a name (also the suffix of its
// storage key "KeyboardShortcuts_<name>") and the shortcut it starts with. Names are
// equal when their raw values are.
struct Name
{
    QString rawValue;
    std::optional<Shortcut> defaultShortcut;

    friend bool operator==(const Name &a, const Name &b) { return a.rawValue == b.rawValue; }
};

inline size_t qHash(const Name &name, size_t seed = 0)
{
    return qHash(name.rawValue, seed);
}

enum class EventType { keyDown, keyUp };

} // namespace KeyboardShortcuts
