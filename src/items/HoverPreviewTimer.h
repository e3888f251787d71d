#pragma once

#include "common/Clock.h"
#include "model/ClipboardItem.h"

#include <QObject>
#include <QRectF>

#include <optional>

// When the preview of the item under the pointer is due: once the pointer has rested on one item
// for the hover delay. While a preview shows, or within the preview's dismissal time after it
// was asked to go, moving onto the next item shows that item's preview at once, so the preview
// follows the pointer down a column without blinking. Leaving the items asks the preview to go
// after its dismissal time. Main thread only.
class HoverPreviewTimer final : public QObject
{
    Q_OBJECT

public:
    static constexpr Clock::Duration hoverDelay { 500 };
    // As long as the preview manager waits before a scheduled hide.
    static constexpr Clock::Duration warmTime { 150 };

    explicit HoverPreviewTimer(Clock &clock, QObject *parent = nullptr);

    // The pointer is over an item whose row lies at anchor (screen coordinates).
    void pointerOver(const ClipboardItemPtr &item, const QRectF &anchor);
    // The pointer is over no item (a gap, a header, outside the columns).
    void pointerLeft();
    // Something else took over (keys, a drag, a deletion): no preview now or pending.
    void cancel();

    bool isPreviewShown() const { return m_shown; }
    ClipboardItemPtr currentItem() const { return m_item; }

Q_SIGNALS:
    void showRequested(const ClipboardItemPtr &item, const QRectF &anchor);
    void scheduleHideRequested();
    void hideRequested();

private:
    void show();

    Clock &m_clock;
    ClipboardItemPtr m_item;
    QRectF m_anchor;
    bool m_shown = false;
    std::optional<Clock::TimePoint> m_warmUntil;
    quint64 m_generation = 0;
};
