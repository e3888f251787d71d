#pragma once

#include "platform/Workspace.h"

#include <QByteArray>

class X11Connection;

// The workspace as an EWMH window manager reports it: the active window
// (_NET_ACTIVE_WINDOW), its application id (_GTK_APPLICATION_ID or
// _KDE_NET_WM_DESKTOP_FILE, else the lower-cased WM_CLASS class), name and process
// (_NET_WM_PID). Activation asks the window manager to activate the remembered window
// with the latest user time, as a pager does, so focus-stealing prevention lets it pass.
class X11Workspace final : public Workspace
{
public:
    explicit X11Workspace(X11Connection &connection);
    ~X11Workspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    bool activate(const RunningApplication &application) override;
    bool isShown(quint64 window) const override;
    quint64 transientFor(quint64 window) const override;
    std::optional<RunningApplication> applicationAt(const QPoint &nativePosition) const override;
    void setActivationHandler(ActivationHandler handler) override;

    // The application that owns a client window; nothing when the window is gone.
    std::optional<RunningApplication> applicationOfWindow(quint32 window) const;
    bool isCompositing() const override;
    // Through the desktop's handler of web addresses (xdg-open and its kin).
    bool openUrl(const QUrl &url) override;

private:
    quint32 activeWindow() const;
    QByteArray property(quint32 window, const QByteArray &name, quint32 type, quint32 maxLength = 4096) const;
    // The first 32-bit value of a property (a window, a number); nothing when the window lacks it.
    std::optional<quint32> word(quint32 window, const QByteArray &name, quint32 type) const;
    // Whether a property that lists atoms (window types, states) names this one.
    bool listsAtom(quint32 window, const QByteArray &name, const QByteArray &atom) const;
    bool isOnCurrentDesktop(quint32 window) const;
    quint32 clientWindowOf(quint32 frame) const;
    bool isDesktopWindow(quint32 window) const;
    void handleEvent(const void *event);

    X11Connection &m_connection;
    int m_handlerId = 0;
    quint32 m_lastActiveWindow = 0;
};
