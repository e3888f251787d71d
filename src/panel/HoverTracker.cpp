#include "panel/HoverTracker.h"

#include "panel/PanelSelectionState.h"

HoverTracker::HoverTracker(
    PanelSelectionState &selection, HoverMarkerStore &store, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_selection(selection)
    , m_store(store)
    , m_clock(clock)
{ }

void HoverTracker::handleMouseMoved(QPointF windowPoint)
{
    if (m_selection.isKeyboardNavigating()) {
        // The first move after the keys ends keyboard mode and takes its selection away; only
        // a later move selects what lies under the pointer.
        m_selection.setIsKeyboardNavigating(false);
        m_selection.setSelectedItemIndex(std::nullopt);
        m_lastMatch.reset();
        return;
    }
    if (m_selection.suppressHoverSelection())
        return;
    if (const std::optional<Clock::TimePoint> wipe = m_selection.lastScrollWipeTime();
        wipe && m_clock.now() - *wipe < scrollWipeQuietTime)
        return;

    const std::optional<HoverMarkerStore::ItemIdentity> match = m_store.itemIdentity(windowPoint);
    if (m_selection.selectedItemIndex()) {
        if (!match) {
            // Onto empty space from an item the pointer had found: nothing is selected. A
            // selection made otherwise survives moves over empty space.
            if (m_lastMatch) {
                m_lastMatch.reset();
                m_selection.setSelectedItemIndex(std::nullopt);
            }
            return;
        }
    } else {
        m_lastMatch.reset();
        if (!match)
            return;
    }
    if (m_lastMatch == match)
        return;
    m_lastMatch = match;
    m_selection.select(match->columnIndex, match->itemIndex);
}

void HoverTracker::handleMouseExited()
{
    if (m_selection.isKeyboardNavigating())
        return;
    m_lastMatch.reset();
    m_selection.setSelectedItemIndex(std::nullopt);
}

void HoverTracker::scrollWiped()
{
    m_selection.setLastScrollWipeTime(m_clock.now());
    m_clock.runAfter(Clock::Duration(0), this, [this] { recheckAfterScrollWipe(); });
}

void HoverTracker::recheckAfterScrollWipe()
{
    if (m_selection.isKeyboardNavigating() || !m_selection.selectedItemIndex())
        return;
    QObject *view = m_store.firstAttachedView();
    if (!view || !m_locatePointer)
        return;
    const std::optional<QPointF> pointer = m_locatePointer(view);
    if (!pointer)
        return;
    const std::optional<HoverMarkerStore::ItemIdentity> under = m_store.itemIdentity(*pointer);
    const HoverMarkerStore::ItemIdentity selected { m_selection.selectedColumnIndex(),
        *m_selection.selectedItemIndex() };
    if (under != selected)
        m_selection.setSelectedItemIndex(std::nullopt);
}
