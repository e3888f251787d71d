#pragma once

#include "platform/X11Connection.h"

#include <QList>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

// Gives a symbol to another key, on a connection of its own, for as long as it lives: the
// symbol's key (when one is named) gives nothing and a key that gave nothing gives the symbol.
// Then it puts the keys back as they were. Each change has reached the server when it returns,
// so a program started afterwards reads the keyboard as changed.
class MovedSymbol final
{
public:
    // From 0: the symbol is given to a free key and taken from none (a key the keyboard lacks).
    MovedSymbol(quint32 keysym, quint8 from)
        : m_connection(X11Connection::open())
        , m_from(from)
    {
        if (!m_connection)
            return;
        xcb_connection_t *c = m_connection->xcb();
        const xcb_setup_t *setup = xcb_get_setup(c);
        const quint8 first = setup->min_keycode;
        const int count = setup->max_keycode - first + 1;
        xcb_get_keyboard_mapping_reply_t *mapping
            = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, quint8(count)), nullptr);
        if (!mapping)
            return;
        m_perKey = mapping->keysyms_per_keycode;
        const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        auto row = [&](int key) {
            return QList<quint32>(symbols + key * m_perKey, symbols + (key + 1) * m_perKey);
        };
        if (m_from)
            m_fromRow = row(m_from - first);
        for (int key = count - 1; key >= 0 && !m_to; --key) {
            const QList<quint32> symbolsOfKey = row(key);
            if (std::all_of(symbolsOfKey.cbegin(), symbolsOfKey.cend(), [](quint32 s) { return s == 0; })) {
                m_to = quint8(first + key);
                m_toRow = symbolsOfKey;
            }
        }
        std::free(mapping);
        if (!m_to)
            return;
        QList<quint32> moved(m_perKey, 0);
        moved[0] = keysym;
        change(m_to, moved);
        if (m_from)
            change(m_from, QList<quint32>(m_perKey, 0));
    }
    ~MovedSymbol()
    {
        if (!m_to)
            return;
        if (m_from)
            change(m_from, m_fromRow);
        change(m_to, m_toRow);
    }
    MovedSymbol(const MovedSymbol &) = delete;
    MovedSymbol &operator=(const MovedSymbol &) = delete;

    // The key that gives the symbol now; 0 when no key was free.
    quint8 to() const { return m_to; }

private:
    void change(quint8 keycode, const QList<quint32> &symbols)
    {
        xcb_connection_t *c = m_connection->xcb();
        xcb_change_keyboard_mapping(c, 1, keycode, quint8(m_perKey), symbols.constData());
        // A round trip: the server has made the change before anything else is asked of it.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    std::unique_ptr<X11Connection> m_connection;
    quint8 m_from = 0;
    quint8 m_to = 0;
    int m_perKey = 0;
    QList<quint32> m_fromRow;
    QList<quint32> m_toRow;
};
