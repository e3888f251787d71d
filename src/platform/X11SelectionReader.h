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
// An owner cannot make it work without end either: only the first maxTargets of its targets
// are looked at, their names only up to a byte limit, and a type whose data would exceed the
// byte limit of the reading is not read. Used from one thread at a time (SystemPasteboard keeps it on a
// strand of its own).
class X11SelectionReader final
{
public:
    struct Timeouts
    {
        std::chrono::milliseconds response { 1000 };
        std::chrono::milliseconds total { 5000 };
    };
    // Owners that offer more targets than this are read as offering the first ones only.
    static constexpr qsizetype maxTargets = 1000;
    // A target whose name is longer is no type any program reads (a MIME type's two names
    // have 127 bytes at most): it is not listed, and its name is not kept.
    static constexpr int maxTypeNameBytes = 255;
    // The names of new targets asked for in one round trip, and how many bytes of them one
    // reading takes at most: no more names are asked for once they come to that.
    static constexpr qsizetype nameBatch = 16;
    static constexpr qsizetype maxNameBytesPerReading = 128 * 1024;

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
    // answering or there is no display. A type whose data is over its limit ends the
    // reading: it is named in `oversized`, and no more of it is read than the limit.
    PasteboardContents read(const QList<QStringList> &requests, const PasteboardReadLimits &limits = {});

private:
    struct Reply
    {
        xcb_atom_t type = 0;
        QByteArray data;
    };
    class Deadline;

    bool connect();
    bool createWindow();
    void disconnect();
    // Leaves a transfer unfinished: the owner may still write into the window's property,
    // so later readings use a window of their own.
    void abandonTransfer();
    xcb_atom_t atom(const QString &name);
    QString atomName(xcb_atom_t atom);
    enum class Outcome { answered, refused, timedOut, tooLarge };
    // Asks the owner for `target` and waits for the answer.
    Outcome convert(xcb_atom_t target, const Deadline &total, qsizetype maxBytes, Reply *reply);
    Outcome readIncrementally(const Deadline &total, qsizetype maxBytes, qsizetype announced, Reply *reply);
    // The names of many atoms, a batch of questions at a time; empty for those not asked or
    // longer than maxTypeNameBytes.
    QStringList atomNames(const xcb_atom_t *atoms, qsizetype count, const Deadline &total);
    // The owner's targets by name, in its order.
    Outcome targets(QHash<QString, xcb_atom_t> *byName, QStringList *order, const Deadline &total);

    Timeouts m_timeouts;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = 0;
    xcb_window_t m_root = 0;
    quint32 m_rootVisual = 0;
    xcb_atom_t m_clipboard = 0;
    xcb_atom_t m_property = 0;
    xcb_atom_t m_incr = 0;
    xcb_atom_t m_targets = 0;
    QHash<QString, xcb_atom_t> m_atomsByName;
    QHash<xcb_atom_t, QString> m_namesByAtom;
};
