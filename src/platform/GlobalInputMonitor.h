#pragma once

#include <QObject>
#include <QPoint>

#include <memory>

// Input anywhere on the desktop, also in other applications' windows: mouse-down
// positions while watched (the panel's outside clicks) and every change of the held
// modifier keys (the double tap). Modifier flags use the shortcut model's encoding
// (Shift 0x20000, Control 0x40000, Option 0x80000, Command 0x100000); their time is the
// input's own, in seconds on a clock that only moves forward, so a change handled late
// still counts when it happened. A key that is no modifier is reported too, without
// saying which: it is what tells a modifier tap from a modifier held for a combination.
class GlobalInputMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setWatchesMouseDowns(bool watch) = 0;
    // False, with the reason, when the keys of the whole desktop cannot be watched (no raw
    // input on this server, XWayland, a refused request); watching stops then.
    virtual bool setWatchesModifiers(bool watch, QString *error) = 0;
    virtual bool isAvailable() const = 0;

    // A monitor of its own, on a connection of its own, so its watching never changes what
    // another monitor watches; nullptr where there is no X display.
    static std::unique_ptr<GlobalInputMonitor> openSeparate();

Q_SIGNALS:
    // A left or right button went down at a point of the screen, in device pixels.
    void mouseDown(const QPoint &nativePosition);
    void modifierFlagsChanged(quint64 flags, double timestamp);
    // A key that is no modifier went down (while modifiers are watched): its X key code and
    // the modifiers held with it. Seen even when another program's grab takes the key.
    void otherKeyPressed(quint32 keycode, quint64 modifierFlags, double timestamp);
};

class FakeGlobalInputMonitor final : public GlobalInputMonitor
{
    Q_OBJECT
public:
    using GlobalInputMonitor::GlobalInputMonitor;

    bool watchesMouseDowns = false;
    bool watchesModifiers = false;
    // Set: the desktop's keys cannot be watched, for this reason.
    QString unavailableReason;

    void setWatchesMouseDowns(bool watch) override { watchesMouseDowns = watch; }
    bool setWatchesModifiers(bool watch, QString *error) override
    {
        if (watch && !unavailableReason.isEmpty()) {
            if (error)
                *error = unavailableReason;
            watchesModifiers = false;
            return false;
        }
        watchesModifiers = watch;
        return true;
    }
    bool isAvailable() const override { return unavailableReason.isEmpty(); }

    void click(const QPoint &nativePosition)
    {
        if (watchesMouseDowns)
            Q_EMIT mouseDown(nativePosition);
    }
    void changeModifiers(quint64 flags, double timestamp)
    {
        if (watchesModifiers)
            Q_EMIT modifierFlagsChanged(flags, timestamp);
    }
    void pressOtherKey(double timestamp, quint32 keycode = 0, quint64 modifierFlags = 0)
    {
        if (watchesModifiers)
            Q_EMIT otherKeyPressed(keycode, modifierFlags, timestamp);
    }
};
