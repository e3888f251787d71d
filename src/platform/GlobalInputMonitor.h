#pragma once

#include <QObject>
#include <QPoint>

// Input anywhere on the desktop, also in other applications' windows: mouse-down
// positions while watched (the panel's outside clicks) and every change of the held
// modifier keys (the double tap). Modifier flags use the shortcut model's encoding
// (Shift 0x20000, Control 0x40000, Option 0x80000, Command 0x100000); their time is the
// input's own, in seconds on a clock that only moves forward, so a change handled late
// still counts when it happened.
class GlobalInputMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setWatchesMouseDowns(bool watch) = 0;
    virtual void setWatchesModifiers(bool watch) = 0;
    virtual bool isAvailable() const = 0;

Q_SIGNALS:
    // A left or right button went down at a point of the screen, in device pixels.
    void mouseDown(const QPoint &nativePosition);
    void modifierFlagsChanged(quint64 flags, double timestamp);
};

class FakeGlobalInputMonitor final : public GlobalInputMonitor
{
    Q_OBJECT
public:
    using GlobalInputMonitor::GlobalInputMonitor;

    bool watchesMouseDowns = false;
    bool watchesModifiers = false;

    void setWatchesMouseDowns(bool watch) override { watchesMouseDowns = watch; }
    void setWatchesModifiers(bool watch) override { watchesModifiers = watch; }
    bool isAvailable() const override { return true; }

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
};
