#include "panel/HoverMarkerStore.h"

#include <algorithm>

namespace {

// The rectangle's left and top edges belong to it, its right and bottom edges do not.
bool containsPoint(const QRectF &rect, QPointF point)
{
    return rect.width() > 0 && rect.height() > 0 && point.x() >= rect.left() && point.x() < rect.right()
        && point.y() >= rect.top() && point.y() < rect.bottom();
}

} // namespace

HoverMarkerStore::Entry &HoverMarkerStore::entryFor(QObject *view)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
        [view](const Entry &entry) { return entry.key == view && entry.view == view; });
    if (found != m_entries.end())
        return *found;
    Entry entry;
    entry.key = view;
    entry.view = view;
    m_entries.push_back(std::move(entry));
    return m_entries.back();
}

void HoverMarkerStore::registerCells(QObject *view, int columnIndex, QList<Cell> cells)
{
    if (!view)
        return;
    Entry &entry = entryFor(view);
    entry.columnIndex = columnIndex;
    entry.cells = std::move(cells);
}

void HoverMarkerStore::setPlacement(QObject *view, QPointF contentOrigin, QRectF visibleRect)
{
    if (!view)
        return;
    Entry &entry = entryFor(view);
    entry.contentOrigin = contentOrigin;
    entry.visibleRect = visibleRect;
}

void HoverMarkerStore::setAttached(QObject *view, bool attached)
{
    if (view)
        entryFor(view).attached = attached;
}

std::optional<HoverMarkerStore::ItemIdentity> HoverMarkerStore::itemIdentity(QPointF windowPoint)
{
    std::optional<ItemIdentity> result;
    for (const Entry &entry : m_entries) {
        if (result || !entry.view || !entry.attached || !containsPoint(entry.visibleRect, windowPoint))
            continue;
        const QPointF content = windowPoint - entry.contentOrigin;
        const QRectF visible = entry.visibleRect.translated(-entry.contentOrigin);
        for (const Cell &cell : entry.cells) {
            if (containsPoint(cell.bounds.intersected(visible), content)) {
                result = ItemIdentity { entry.columnIndex, cell.itemIndex };
                break;
            }
        }
    }
    // The walk has seen every entry: views that are gone leave now.
    std::erase_if(m_entries, [](const Entry &entry) { return !entry.view; });
    return result;
}

QObject *HoverMarkerStore::firstAttachedView() const
{
    for (const Entry &entry : m_entries) {
        if (entry.view && entry.attached)
            return entry.view;
    }
    return nullptr;
}
