#pragma once

#include "platform/PasteKeystroke.h"

#include <QList>
#include <QString>

// Key presses made on the user's behalf: the paste keystroke sent to the window in front.
class SyntheticKeyboard
{
public:
    virtual ~SyntheticKeyboard() = default;

    // Whether synthetic keys can be sent at all (on X11: the XTEST extension is there).
    virtual bool isTrusted() const = 0;
    // Releases the modifiers the user still holds, then presses and releases the keystroke.
    // False with a reason when nothing could be sent.
    virtual bool sendPaste(PasteKeystroke keystroke, QString *error) = 0;
};

// Records the pastes instead of sending them.
class FakeSyntheticKeyboard final : public SyntheticKeyboard
{
public:
    bool trusted = true;
    // Why a keystroke cannot be sent; empty: every keystroke is.
    QString failure;
    // The keystrokes sent, in order.
    QList<PasteKeystroke> sent;

    bool isTrusted() const override { return trusted; }
    bool sendPaste(PasteKeystroke keystroke, QString *error) override
    {
        if (!trusted || !failure.isEmpty()) {
            if (error)
                *error = failure;
            return false;
        }
        sent.append(keystroke);
        return true;
    }
};
