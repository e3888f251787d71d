#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QPoint>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
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
    // The two names of the window's WM_CLASS ("xterm", "XTerm"): which program it is, even
    // when it gives no application id.
    QString windowInstance;
    QString windowClass;

    friend bool operator==(const RunningApplication &, const RunningApplication &) = default;

    // Whether this is the running app itself: its process, or its id when the window
    // reports no process.
    bool isCurrentApplication() const
    {
        if (processIdentifier != 0)
            return processIdentifier == QCoreApplication::applicationPid();
        return bundleIdentifier == QCoreApplication::applicationName().toLower();
    }
};

// The desktop around the app: which application is in front, bringing a remembered one
// back, and opening web pages. The X11 implementation reads EWMH (_NET_ACTIVE_WINDOW, WM_CLASS,
// _NET_WM_PID); tests use FakeWorkspace.
class Workspace
{
public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Gives the application's remembered window the focus again. False when it is gone.
    virtual bool activate(const RunningApplication &application) = 0;

    // Whether the user sees the window: mapped, not minimised, and on the desktop shown now (or
    // on every desktop). False when it is gone.
    virtual bool isShown(quint64 window) const = 0;
    // The window a dialog belongs to (its WM_TRANSIENT_FOR); 0 for any other window.
    virtual quint64 transientFor(quint64) const { return 0; }

    // The application whose window lies under a point of the screen (in device pixels);
    // nothing over the desktop background or where the workspace cannot tell.
    virtual std::optional<RunningApplication> applicationAt(const QPoint &) const { return std::nullopt; }

    // Whether a compositing manager runs, so translucent windows show what lies below.
    virtual bool isCompositing() const { return false; }

    // Opens a web address with the desktop's browser; false when the desktop could not.
    virtual bool openUrl(const QUrl &url) = 0;

    // Called whenever another window becomes the active one (nothing: no window is active).
    using ActivationHandler = std::function<void(const std::optional<RunningApplication> &)>;
    virtual void setActivationHandler(ActivationHandler handler) { m_activationHandler = std::move(handler); }

protected:
    ActivationHandler m_activationHandler;
};

// A workspace whose front application tests set directly; activations are recorded.
class FakeWorkspace final : public Workspace
{
public:
    std::optional<RunningApplication> frontmost;
    QList<RunningApplication> activations;
    std::optional<RunningApplication> underPointer;
    QList<QUrl> openedUrls;
    // Windows the user does not see (closed, minimised, on another desktop).
    QSet<quint64> hiddenWindows;
    // Dialogs and the windows they belong to.
    QHash<quint64, quint64> dialogOwners;

    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }
    bool activate(const RunningApplication &application) override
    {
        activations.append(application);
        frontmost = application;
        return true;
    }
    bool isShown(quint64 window) const override { return window != 0 && !hiddenWindows.contains(window); }
    quint64 transientFor(quint64 window) const override { return dialogOwners.value(window); }
    std::optional<RunningApplication> applicationAt(const QPoint &) const override { return underPointer; }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return true;
    }

    // Another application comes to the front, as when the user clicks its window.
    void simulateActivation(const std::optional<RunningApplication> &application)
    {
        frontmost = application;
        if (m_activationHandler)
            m_activationHandler(application);
    }
};
