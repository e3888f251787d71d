#pragma once

#include <QString>

// Key presses made on the user's behalf: the paste keystroke sent to the window in front.
class SyntheticKeyboard
{
public:
    virtual ~SyntheticKeyboard() = default;

    // Whether synthetic keys can be sent at all (on X11: the XTEST extension is there).
    virtual bool isTrusted() const = 0;
    // Releases the modifiers the user still holds, then presses and releases Control+V.
    // False with a reason when nothing could be sent.
    virtual bool sendPaste(QString *error) = 0;
};

// Records the pastes instead of sending them.
class FakeSyntheticKeyboard final : public SyntheticKeyboard
{
public:
    bool trusted = true;
    int pastes = 0;

    bool isTrusted() const override { return trusted; }
    bool sendPaste(QString *) override
    {
        ++pastes;
        return trusted;
    }
};
