#pragma once

#include <QHashFunctions>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

// A key combination in X terms: a key symbol and the modifier state (Shift 1, Control 4,
// Mod1 8, Mod4 64). Caps Lock and NumLock never take part.
struct HotKeyCombination
{
    quint32 keysym = 0;
    quint32 modifiers = 0;

    friend bool operator==(const HotKeyCombination &, const HotKeyCombination &) = default;
};

inline size_t qHash(const HotKeyCombination &combination, size_t seed = 0)
{
    return qHashMulti(seed, combination.keysym, combination.modifiers);
}

// Key combinations taken for the whole desktop: while one is grabbed, its presses reach
// this app whichever window has the focus. A release is reported for the key alone, so
// letting go of the modifiers first still ends the press; a held key reports one press.
class GlobalHotKeys : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // False with a reason when the combination cannot be taken (another program holds
    // it, no key produces the symbol, no display).
    virtual bool grab(const HotKeyCombination &combination, QString *error) = 0;
    virtual void ungrab(const HotKeyCombination &combination) = 0;
    // Whether another program holds the combination right now (the desktop's own
    // shortcuts among them); a combination this object holds is not another's.
    virtual bool isHeldByAnotherClient(const HotKeyCombination &combination) = 0;

Q_SIGNALS:
    void pressed(const HotKeyCombination &combination);
    void released(const HotKeyCombination &combination);
};

// Grabs in memory for tests: combinations listed in refused cannot be taken; press and
// release stand for the user's keys.
class FakeGlobalHotKeys final : public GlobalHotKeys
{
    Q_OBJECT
public:
    using GlobalHotKeys::GlobalHotKeys;

    QSet<HotKeyCombination> grabbed;
    QSet<HotKeyCombination> refused;
    int grabCalls = 0;
    // Runs at every grab attempt (tests look at the app's state at that moment).
    std::function<void(const HotKeyCombination &)> onGrab;

    bool grab(const HotKeyCombination &combination, QString *error) override
    {
        ++grabCalls;
        if (onGrab)
            onGrab(combination);
        if (refused.contains(combination)) {
            if (error)
                *error = QStringLiteral("BadAccess: the combination is grabbed by another client");
            return false;
        }
        grabbed.insert(combination);
        return true;
    }
    void ungrab(const HotKeyCombination &combination) override { grabbed.remove(combination); }
    bool isHeldByAnotherClient(const HotKeyCombination &combination) override
    {
        return refused.contains(combination);
    }

    // Presses reach the app only while the combination is grabbed, as on the desktop.
    void press(const HotKeyCombination &combination)
    {
        if (grabbed.contains(combination))
            Q_EMIT pressed(combination);
    }
    void release(const HotKeyCombination &combination)
    {
        if (grabbed.contains(combination))
            Q_EMIT released(combination);
    }
};
