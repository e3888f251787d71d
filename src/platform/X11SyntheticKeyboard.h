#pragma once

#include "platform/SyntheticKeyboard.h"
#include "platform/X11KeyboardMap.h"

#include <QList>

#include <utility>

class X11Connection;

// The paste keystroke through the XTEST extension. Modifier keys the user still holds (Shift
// after Shift+Return) are released first, so the target sees the keystroke and nothing else.
class X11SyntheticKeyboard final : public SyntheticKeyboard
{
public:
    explicit X11SyntheticKeyboard(X11Connection &connection)
        : m_connection(connection)
        , m_keyboardMap(connection)
    { }

    bool isTrusted() const override;
    bool sendPaste(PasteKeystroke keystroke, QString *error) override;

    // Presses (true) and releases (false) of keys by X symbol, in order; false when a
    // symbol has no key. For measurements and tests that play the user.
    bool sendKeys(const QList<std::pair<quint32, bool>> &keys);

private:
    X11Connection &m_connection;
    X11KeyboardMap m_keyboardMap;
};
