#pragma once

#include "platform/FileListForms.h"

#include <QByteArray>
#include <QHash>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

struct xcb_connection_t;
struct xcb_selection_request_event_t;
using xcb_atom_t = quint32;
using xcb_window_t = quint32;

// Answers the requests for a list of files that the toolkit's clipboard holds (it stays the
// selections' owner), on a thread and an X connection of its own. The toolkit would make each
// form requested whole on the GUI thread: a million file URLs become a million QUrl objects
// for every request as text. Here every form is written from the one copy of the list a piece
// at a time, the long ones incrementally (INCR); a requestor that stops taking its pieces is
// let go after transferTimeout. TIMESTAMP, which it lists, is left to the toolkit: only the
// owner knows when it took the selection.
class X11SelectionServer final
{
public:
    X11SelectionServer() = default;
    ~X11SelectionServer();
    X11SelectionServer(const X11SelectionServer &) = delete;
    X11SelectionServer &operator=(const X11SelectionServer &) = delete;

    // Answers the request from the forms. Returns at once: the answer is written on the
    // server's thread.
    void answer(const xcb_selection_request_event_t &request, std::shared_ptr<const FileListForms> forms);

    static constexpr std::chrono::milliseconds transferTimeout { 10'000 };

private:
    struct Request
    {
        xcb_window_t requestor = 0;
        xcb_atom_t selection = 0;
        xcb_atom_t target = 0;
        xcb_atom_t property = 0;
        quint32 time = 0;
        std::shared_ptr<const FileListForms> forms;
    };
    struct Transfer
    {
        xcb_window_t requestor = 0;
        xcb_atom_t property = 0;
        xcb_atom_t type = 0;
        FileListForms::Reader reader;
        std::chrono::steady_clock::time_point lastStep;
    };

    void run();
    bool connectDisplay();
    // False once the server is to stop.
    bool takeRequests();
    // An xcb_generic_event_t (an unnamed struct, which cannot be declared here).
    void handleEvent(const void *event);
    xcb_atom_t atom(const QByteArray &name);
    void respond(const Request &request);
    // Writes the form into the requestor's property: whole, or the first step of an incremental
    // transfer. The property written, or none when the target is not offered.
    xcb_atom_t write(const Request &request, xcb_atom_t property);
    void continueTransfer(xcb_window_t requestor, xcb_atom_t property);
    void endTransfer(QHash<quint64, Transfer>::iterator transfer);
    void dropStaleTransfers();

    std::mutex m_mutex;
    std::deque<Request> m_requests;
    bool m_quit = false;
    int m_wake = -1;
    std::thread m_thread;

    // The server's thread alone.
    xcb_connection_t *m_connection = nullptr;
    qsizetype m_pieceBytes = 0;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<quint64, Transfer> m_transfers;
};
