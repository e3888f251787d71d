#pragma once

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRectF>

#include <optional>
#include <vector>

// The table the pointer is looked up in: every item cell a column shows, filed under the view
// that draws it with the cell's column and item index. A view registers its cells in its own
// content coordinates and says where that content lies in its window and through which part of
// the window it is seen, so scrolling only moves a view's placement. Views are held weakly:
// one that is gone leaves the table at the next lookup. Main thread only.
class HoverMarkerStore final
{
public:
    // One item cell, as the selection names it.
    struct ItemIdentity
    {
        int columnIndex = 0;
        int itemIndex = 0;

        friend bool operator==(const ItemIdentity &, const ItemIdentity &) = default;
    };

    struct Cell
    {
        // In the index space of the selection's item index.
        int itemIndex = 0;
        // In the view's content coordinates.
        QRectF bounds;
    };

    // The cells a view shows now, replacing what it registered before.
    void registerCells(QObject *view, int columnIndex, QList<Cell> cells);
    // Where the view's content is: the window point of the content's origin, and the part of the
    // window it is seen through (its scroll viewport). Cells match only within that part.
    void setPlacement(QObject *view, QPointF contentOrigin, QRectF visibleRect);
    // A view not in a shown window keeps its entry but never matches.
    void setAttached(QObject *view, bool attached);

    // The cell under a point in window coordinates, the first registered one when several
    // contain it; nothing over gaps, headers and clipped-off parts. Views that are gone are
    // removed from the table on the way.
    std::optional<ItemIdentity> itemIdentity(QPointF windowPoint);
    // The first registered view that is alive and in a shown window.
    QObject *firstAttachedView() const;
    // Views in the table, gone or not.
    qsizetype viewCount() const { return qsizetype(m_entries.size()); }

private:
    struct Entry
    {
        QObject *key = nullptr;
        QPointer<QObject> view;
        int columnIndex = 0;
        QList<Cell> cells;
        QPointF contentOrigin;
        QRectF visibleRect;
        bool attached = false;
    };
    Entry &entryFor(QObject *view);

    std::vector<Entry> m_entries;
};
