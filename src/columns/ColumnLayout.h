#pragma once

#include "panel/GridNavigation.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <optional>

// Where each cell of a column sits: the blocks one after another, each starting a new row;
// single-character pins as 26-point buttons, grid tiles on a 56-point pitch, list rows across
// the column. Above the pins, when the column has any, the pinned group's header.
class ColumnLayout final
{
public:
    enum class CellKind { singleCharacter, tile, row };

    static constexpr double inset = GridMetrics::horizontalInset / 2.0;
    // A list row's height at the default text size; larger text makes rows taller.
    static constexpr double rowHeight = 44.0;
    static constexpr double rowSpacing = 2.0;
    static constexpr double sectionSpacing = 8.0;
    static constexpr double pinnedHeaderHeight = 24.0;
    static constexpr double tileSize = GridMetrics::tilePitch - 4.0;
    static constexpr double singleCharacterSize = GridMetrics::singleCharacterPitch - 2.0;

    ColumnLayout() = default;
    // showPinnedHeader: the column has pins and is not History (the header then toggles them).
    ColumnLayout(const QList<GridSection> &sections, bool isGrid, double width, bool showPinnedHeader,
        double topPadding, double listRowHeight = rowHeight);

    QRectF cellRect(int row) const;
    CellKind cellKind(int row) const;
    std::optional<QRectF> pinnedHeaderRect() const { return m_pinnedHeader; }
    // The band of the pins (both pinned blocks) across the whole column; nothing without pins
    // shown. A pin dragged and dropped in it is reordered.
    std::optional<QRectF> pinnedSectionRect() const { return m_pinnedSection; }
    double contentHeight() const { return m_contentHeight; }
    int cellCount() const { return int(m_cells.size()); }
    // The cell under a point of the content; nothing over gaps and headers.
    std::optional<int> rowAt(QPointF point) const;
    // Cells meeting the band between two heights, in order (for drawing what is visible).
    QList<int> rowsBetween(double top, double bottom) const;

private:
    struct Cell
    {
        QRectF rect;
        CellKind kind;
    };
    QList<Cell> m_cells;
    std::optional<QRectF> m_pinnedHeader;
    std::optional<QRectF> m_pinnedSection;
    double m_contentHeight = 0.0;
};
