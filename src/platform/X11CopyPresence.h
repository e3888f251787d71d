#pragma once

#include <QtGlobal>

#include <optional>

class X11Connection;

// This copy of the app made known on its X display the way a manager of the display is (ICCCM
// 2.8): the first copy there owns the selection _TINDLEWICK_COPY_S<screen> with a window of its
// own that names its process (_NET_WM_PID). Copies of one user meet at the single-copy lock;
// copies that do not (started with another runtime folder, or by another user on the same
// display) see each other here, so a grab refused to one can be told apart from one an input
// method holds. The selection goes with the owner's connection. Main thread only.
class X11CopyPresence final
{
public:
    explicit X11CopyPresence(X11Connection &connection);
    ~X11CopyPresence();
    X11CopyPresence(const X11CopyPresence &) = delete;
    X11CopyPresence &operator=(const X11CopyPresence &) = delete;

    // Another copy of the app on this display: its process (0 when it does not say), nothing
    // when there is none, and then this copy takes the selection, should the one that owned it
    // have gone.
    std::optional<qint64> otherCopy();

private:
    quint32 owner();
    void claimWhenFree();

    X11Connection &m_connection;
    quint32 m_window = 0;
    quint32 m_selection = 0;
};
