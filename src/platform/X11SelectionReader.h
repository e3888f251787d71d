#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <QString>

#include <chrono>
#include <optional>

struct xcb_connection_t;
using xcb_atom_t = quint32;
using xcb_window_t = quint32;

// Reads the CLIPBOARD selection from its owner on an X connection of its own, so that a
// slow or hung owner costs the reading thread a bounded wait and never the GUI thread.
// Every step has a deadline: the owner must start each answer (and each chunk of a large,
// incremental one) within responseTimeout, and a whole reading ends after totalTimeout.
// Used from one thread at a time (SystemPasteboard keeps it on a strand of its own).
class X11SelectionReader final
{
public:
    struct Timeouts
    {
        std::chrono::milliseconds response { 1000 };
        std::chrono::milliseconds total { 5000 };
    };

    X11SelectionReader() = default;
    explicit X11SelectionReader(Timeouts timeouts)
        : m_timeouts(timeouts)
    { }
    ~X11SelectionReader();
    X11SelectionReader(const X11SelectionReader &) = delete;
    X11SelectionReader &operator=(const X11SelectionReader &) = delete;

    // The types the owner offers (X11 text targets appear as "text/plain") and the data of
    // each request's first type on offer; text comes back as UTF-8. An empty, complete
    // result when nobody owns the clipboard; `complete` false when the owner stopped
    // answering or there is no display.
    PasteboardContents read(const QList<QStringList> &requests);

private:
    struct Reply
    {
        xcb_atom_t type = 0;
        QByteArray data;
    };
    class Deadline;

    bool connect();
    void disconnect();
    xcb_atom_t atom(const QString &name);
    QString atomName(xcb_atom_t atom);
    // Asks the owner for `target` and waits for the answer. Nothing when the owner refuses;
    // `timedOut` is set when it did not answer in time.
    std::optional<Reply> convert(xcb_atom_t target, const Deadline &total, bool *timedOut);
    std::optional<Reply> readIncrementally(const Deadline &total, bool *timedOut);
    // The owner's targets by name, in its order.
    std::optional<QHash<QString, xcb_atom_t>> targets(
        QStringList *order, const Deadline &total, bool *timedOut);

    Timeouts m_timeouts;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = 0;
    xcb_atom_t m_clipboard = 0;
    xcb_atom_t m_property = 0;
    xcb_atom_t m_incr = 0;
    xcb_atom_t m_targets = 0;
    QHash<QString, xcb_atom_t> m_atomsByName;
    QHash<xcb_atom_t, QString> m_namesByAtom;
};
