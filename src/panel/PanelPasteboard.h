#pragma once

#include "model/ClipboardItem.h"

#include <QString>

// The clipboard and the paste keystroke, as the panel's Return and context menus use them.
// Main thread only.
class PanelPasteboard
{
public:
    virtual ~PanelPasteboard() = default;

    // Writes the item (for a pinned reference the item it stands for) to the clipboard, without
    // its HTML when plainTextOnly; the clipboard monitor is told to ignore this change. False
    // when there was nothing to write (the clipboard is then left as it was).
    virtual bool copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly) = 0;
    // Replaces the clipboard with this text alone; the clipboard monitor is told to ignore
    // this change too.
    virtual void copyStringToPasteboard(const QString &text) = 0;
    // Pastes what was written last into the window that has the focus, with the keystroke that
    // window takes, once the write is on the clipboard (a picture may still be made ready).
    virtual void simulatePaste() = 0;
    // The modifier keys held right now (Shift pastes without formatting).
    virtual Qt::KeyboardModifiers queryKeyboardModifiers() const = 0;
};
