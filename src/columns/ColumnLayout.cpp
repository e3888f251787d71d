#include "columns/ColumnLayout.h"

#include <algorithm>

ColumnLayout::ColumnLayout(const QList<GridSection> &sections, bool isGrid, double width,
    bool showPinnedHeader, double topPadding, double listRowHeight)
{
    const double usable = std::max(1.0, width - 2 * inset);
    double y = topPadding;
    if (showPinnedHeader) {
        m_pinnedHeader = QRectF(inset, y, usable, pinnedHeaderHeight);
        y += pinnedHeaderHeight + rowSpacing;
    }
    bool first = true;
    for (const GridSection &section : sections) {
        if (section.count <= 0)
            continue;
        if (!first)
            y += sectionSpacing;
        first = false;
        const bool singles = section.isSingleCharacters();
        const CellKind kind = singles ? CellKind::singleCharacter : (isGrid ? CellKind::tile : CellKind::row);
        const int perRow = std::max(1, section.columnsPerRow);
        const double pitchX = singles ? GridMetrics::singleCharacterPitch : GridMetrics::tilePitch;
        const double pitchY = kind == CellKind::row ? listRowHeight + rowSpacing : pitchX;
        for (int i = 0; i < section.count; ++i) {
            const int row = i / perRow;
            const int column = i % perRow;
            QRectF rect;
            switch (kind) {
            case CellKind::singleCharacter:
                rect = QRectF(
                    inset + column * pitchX, y + row * pitchY, singleCharacterSize, singleCharacterSize);
                break;
            case CellKind::tile:
                rect = QRectF(inset + column * pitchX, y + row * pitchY, tileSize, tileSize);
                break;
            case CellKind::row:
                rect = QRectF(inset, y + row * pitchY, usable, listRowHeight);
                break;
            }
            m_cells.append({ rect, kind });
        }
        if (section.isPinned()) {
            const QRectF band(0, y, std::max(1.0, width), m_cells.last().rect.bottom() - y);
            m_pinnedSection = m_pinnedSection ? m_pinnedSection->united(band) : band;
        }
        y += (section.count + perRow - 1) / perRow * pitchY;
    }
    m_contentHeight = y + rowSpacing;
}

QRectF ColumnLayout::cellRect(int row) const
{
    return row >= 0 && row < m_cells.size() ? m_cells[row].rect : QRectF();
}

ColumnLayout::CellKind ColumnLayout::cellKind(int row) const
{
    return row >= 0 && row < m_cells.size() ? m_cells[row].kind : CellKind::row;
}

std::optional<int> ColumnLayout::rowAt(QPointF point) const
{
    const QList<int> candidates = rowsBetween(point.y(), point.y());
    for (int row : candidates) {
        if (m_cells[row].rect.contains(point))
            return row;
    }
    return std::nullopt;
}

QList<int> ColumnLayout::rowsBetween(double top, double bottom) const
{
    // Cells are ordered by their top edge, so the first candidate is found by bisection.
    const auto firstBelow = std::lower_bound(m_cells.begin(), m_cells.end(), top - GridMetrics::tilePitch,
        [](const Cell &cell, double y) { return cell.rect.top() < y; });
    QList<int> rows;
    for (auto it = firstBelow; it != m_cells.end() && it->rect.top() <= bottom; ++it) {
        if (it->rect.bottom() >= top)
            rows.append(int(it - m_cells.begin()));
    }
    return rows;
}
