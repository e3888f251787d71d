#pragma once

#include "common/Clock.h"

#include <QObject>

#include <optional>

// The one selected item of the panel: the item Return pastes and the cells draw highlighted.
// Each property announces a change only when its value really changes. Main thread only.
class PanelSelectionState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int selectedColumnIndex READ selectedColumnIndex WRITE setSelectedColumnIndex NOTIFY
            selectedColumnIndexChanged)
    Q_PROPERTY(bool isKeyboardNavigating READ isKeyboardNavigating WRITE setIsKeyboardNavigating NOTIFY
            isKeyboardNavigatingChanged)
    Q_PROPERTY(bool suppressHoverSelection READ suppressHoverSelection WRITE setSuppressHoverSelection NOTIFY
            suppressHoverSelectionChanged)

public:
    using QObject::QObject;

    // In column mode the index of the selected column among the visible ones; tab mode uses
    // the panel's selected tab instead and leaves this alone.
    int selectedColumnIndex() const { return m_selectedColumnIndex; }
    void setSelectedColumnIndex(int index);
    // Position in the selected column's navigation list; nothing when no item is selected.
    std::optional<int> selectedItemIndex() const { return m_selectedItemIndex; }
    void setSelectedItemIndex(std::optional<int> index);
    // The selection was last moved by keys; cells then draw the keyboard highlight.
    bool isKeyboardNavigating() const { return m_isKeyboardNavigating; }
    void setIsKeyboardNavigating(bool value);
    // While set, the pointer does not move the selection.
    bool suppressHoverSelection() const { return m_suppressHoverSelection; }
    void setSuppressHoverSelection(bool value);
    // When a column's content last scrolled under the pointer (on the panel's clock); nothing:
    // never.
    std::optional<Clock::TimePoint> lastScrollWipeTime() const { return m_lastScrollWipeTime; }
    void setLastScrollWipeTime(Clock::TimePoint time) { m_lastScrollWipeTime = time; }

    // Column first, then item; nothing is announced when both already hold these values.
    void select(int column, std::optional<int> item);

Q_SIGNALS:
    void selectedColumnIndexChanged(int index);
    void selectedItemIndexChanged();
    void isKeyboardNavigatingChanged(bool value);
    void suppressHoverSelectionChanged(bool value);

private:
    int m_selectedColumnIndex = 0;
    std::optional<int> m_selectedItemIndex;
    bool m_isKeyboardNavigating = false;
    bool m_suppressHoverSelection = false;
    std::optional<Clock::TimePoint> m_lastScrollWipeTime;
};
