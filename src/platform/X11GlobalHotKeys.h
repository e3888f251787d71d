#pragma once

#include "platform/GlobalHotKeys.h"
#include "platform/X11KeyboardMap.h"

#include <QHash>
#include <QList>

#include <memory>

class X11Connection;
class X11CopyPresence;

// Global hot keys as passive key grabs on the root window of the app's own X connection.
// Each combination is grabbed for every key code that produces its symbol and with the
// Lock and NumLock variants, so presses with Caps Lock or NumLock on still arrive. Auto
// repeat is made detectable, so a held key sends one press and one release.
class X11GlobalHotKeys final : public GlobalHotKeys
{
    Q_OBJECT
public:
    explicit X11GlobalHotKeys(X11Connection &connection, QObject *parent = nullptr);
    ~X11GlobalHotKeys() override;

    bool grab(const HotKeyCombination &combination, QString *error) override;
    void ungrab(const HotKeyCombination &combination) override;
    // Asked by grabbing the combination on a connection of its own: the server refuses a
    // grab another client holds.
    bool isHeldByAnotherClient(const HotKeyCombination &combination) override;
    // Where other copies of the app on the display are seen: a refused grab that one of them
    // may hold is said to be theirs. nullptr (the default): every refusal is another program's.
    void setCopyPresence(X11CopyPresence *presence) { m_copyPresence = presence; }

private:
    struct Grab
    {
        HotKeyCombination combination;
        QList<quint8> keycodes;
        bool down = false;
        quint8 downKeycode = 0;
    };

    QList<quint16> lockVariants() const;
    bool grabKeycodes(Grab &grab, QString *error);
    void ungrabKeycodes(const Grab &grab);
    void handleEvent(const void *event);
    void handleMappingChange();
    // Who holds a combination whose grab the server refused.
    QString refusalReason() const;

    X11Connection &m_connection;
    X11KeyboardMap m_keyboardMap;
    std::unique_ptr<X11Connection> m_probe;
    int m_handlerId = 0;
    // The NumLock bit the grabs were taken with; ungrabbing needs the same after a remap.
    quint16 m_numLockMask = 0;
    QList<Grab> m_grabs;
    X11CopyPresence *m_copyPresence = nullptr;
};
