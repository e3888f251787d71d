#pragma once

#include "columns/ColumnLayout.h"
#include "common/AnimatedValue.h"
#include "model/ClipboardItem.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRectF>

#include <optional>

// How a column's rows move from one layout to the next, without widgets. Rows are known by
// their item and the block they are in (a pin moving from the unpinned rows into the pinned
// block leaves one and arrives in the other). Between two layouts, over the change's time: a
// row that stays slides from where it was drawn to its new place; a row that arrives fades in
// at its new place; a row that leaves fades out where it was, while the rows after it slide up
// into its place. A change during a transition starts from where the rows are drawn then.
// Without a timing the rows are at their places at once. The column draws what this says;
// the pointer and the keys work on the rows' new places throughout. Main thread only.
class RowLayoutAnimator final : public QObject
{
    Q_OBJECT

public:
    // A row of the column, as the layout places it.
    struct Row
    {
        ClipboardItemPtr item;
        // The block the row is in (its section's title).
        QString block;
        QRectF rect;
        ColumnLayout::CellKind kind = ColumnLayout::CellKind::row;
    };
    // A row as it is drawn now.
    struct Drawn
    {
        ClipboardItemPtr item;
        QRectF rect;
        ColumnLayout::CellKind kind;
        double opacity;
    };

    explicit RowLayoutAnimator(Clock &clock, QObject *parent = nullptr);

    // The rows of a new layout. With a timing they move there from where they are drawn;
    // without, they are there at once, unless a transition runs: the same rows then head for
    // their new places in the time left, and other rows (one arrived, one left) move from where
    // they are drawn in that time. Rows the same as before change nothing.
    void setRows(const QList<Row> &rows, std::optional<AnimationTiming> timing);
    // Whether these rows differ from the ones set last (in items, blocks or places).
    bool differsFrom(const QList<Row> &rows) const;
    // Ends a transition: every row at its place, the rows that left gone.
    void finish();

    bool isRunning() const { return m_progress.isRunning(); }
    qsizetype rowCount() const { return m_rows.size(); }
    // Where a row (by its index in the rows set last) is drawn now, and how opaque.
    QRectF drawnRect(int row) const;
    double opacity(int row) const;
    // The rows that left and are still fading out, where they are drawn.
    QList<Drawn> leavingRows() const;
    // Rows set last whose drawn place meets the band between two heights, in order.
    QList<int> rowsDrawnBetween(double top, double bottom) const;

Q_SIGNALS:
    // The rows moved (a frame of a transition, or a jump).
    void frame();

private:
    struct Key
    {
        QUuid item;
        QString block;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0) { return qHashMulti(seed, key.item, key.block); }
    };
    // One row's way from where it was drawn to its place.
    struct Motion
    {
        Row row;
        QRectF from;
        double fromOpacity;
        double toOpacity;
    };
    // The same items in the same blocks, wherever they are placed.
    bool sameRows(const QList<Row> &rows) const;
    static Key keyOf(const Row &row) { return { row.item ? row.item->id() : QUuid(), row.block }; }
    QRectF rectOf(const Motion &motion) const;
    double opacityOf(const Motion &motion) const;
    // Every row, those that left among them, where it is drawn now.
    QHash<Key, Drawn> drawnNow() const;
    // What remains of the transition running.
    Clock::Duration timeLeft() const;

    AnimatedValue m_progress;
    // The timing of the transition last started.
    AnimationTiming m_timing { Clock::Duration(0) };
    QList<Motion> m_rows;
    QList<Motion> m_leaving;
};
