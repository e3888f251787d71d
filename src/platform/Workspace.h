#pragma once

#include <QList>
#include <QString>

#include <optional>

// An application with a window on the desktop, as the window manager reports it.
struct RunningApplication
{
    // The desktop application id ("org.keepassxc.KeePassXC", "firefox", ...), from the
    // window's WM_CLASS; empty when the window has none.
    QString bundleIdentifier;
    QString localizedName;
    qint64 processIdentifier = 0;
    // The X11 window that was active; re-activation targets it.
    quint64 windowId = 0;

    friend bool operator==(const RunningApplication &, const RunningApplication &) = default;
};

// The desktop around the app: which application is in front, and bringing a remembered
// one back. The X11 implementation reads EWMH (_NET_ACTIVE_WINDOW, WM_CLASS,
// _NET_WM_PID); tests use FakeWorkspace.
class Workspace
{
public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Gives the application's remembered window the focus again. False when it is gone.
    virtual bool activate(const RunningApplication &application) = 0;
};

// A workspace whose front application tests set directly; activations are recorded.
class FakeWorkspace final : public Workspace
{
public:
    std::optional<RunningApplication> frontmost;
    QList<RunningApplication> activations;

    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }
    bool activate(const RunningApplication &application) override
    {
        activations.append(application);
        frontmost = application;
        return true;
    }
};
