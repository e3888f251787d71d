#pragma once

#include "platform/SyntheticKeyboard.h"

class X11Connection;

// Control+V through the XTEST extension. Modifier keys the user still holds (Shift after
// Shift+Return) are released first, so the target sees Control+V and nothing else.
class X11SyntheticKeyboard final : public SyntheticKeyboard
{
public:
    explicit X11SyntheticKeyboard(X11Connection &connection) : m_connection(connection) {}

    bool isTrusted() const override;
    bool sendPaste(QString *error) override;

private:
    X11Connection &m_connection;
};
