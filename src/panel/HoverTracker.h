#pragma once

#include "common/Clock.h"
#include "panel/HoverMarkerStore.h"

#include <QObject>
#include <QPointF>

#include <functional>
#include <optional>

class PanelSelectionState;

// Selects the item under the pointer the way the arrow keys select items: the panel's pointer
// moves are looked up in the marker store and handed to the one selection. It stands aside
// while the keyboard navigates (the first move only ends keyboard mode), while hover selection
// is suppressed, and for 0.15 s after content scrolled under the pointer. Main thread only.
class HoverTracker final : public QObject
{
    Q_OBJECT

public:
    static constexpr Clock::Duration scrollWipeQuietTime { 150 };

    // Where the pointer is now in the window of a registered view; nothing when unknown.
    using PointerLocator = std::function<std::optional<QPointF>(QObject *view)>;

    HoverTracker(
        PanelSelectionState &selection, HoverMarkerStore &store, Clock &clock, QObject *parent = nullptr);

    void setPointerLocator(PointerLocator locator) { m_locatePointer = std::move(locator); }

    // A pointer move over the panel content, in window coordinates.
    void handleMouseMoved(QPointF windowPoint);
    // The pointer left the panel content.
    void handleMouseExited();
    // A column's content scrolled: pointer moves are ignored for a moment, and on the next turn
    // an item selection that is no longer under the pointer is cleared.
    void scrollWiped();

    // The item found by the last move that looked one up.
    std::optional<HoverMarkerStore::ItemIdentity> lastMatch() const { return m_lastMatch; }

private:
    void recheckAfterScrollWipe();

    PanelSelectionState &m_selection;
    HoverMarkerStore &m_store;
    Clock &m_clock;
    PointerLocator m_locatePointer;
    std::optional<HoverMarkerStore::ItemIdentity> m_lastMatch;
};
