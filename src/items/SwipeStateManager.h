#pragma once

#include "common/AnimatedValue.h"

#include <QObject>
#include <QRect>
#include <QUuid>

#include <optional>

// The one row that is swiped open, showing its Delete action: a sideways scroll over a row (two
// fingers on a touchpad) slides it, and on letting go it settles open or shut. Opening another
// row shuts the first; a press anywhere but on the open action, or scrolling up or down, shuts it
// (ease-out, 0.2 s). Main thread only.
class SwipeStateManager final : public QObject
{
    Q_OBJECT

public:
    static constexpr double actionWidth = 72.0;
    static constexpr Clock::Duration closeDuration { 200 };

    explicit SwipeStateManager(Clock &clock, QObject *parent = nullptr);
    // The app's, on the system clock.
    static SwipeStateManager &shared();

    // Watches the app's presses and scrolls once; a second call does nothing.
    void startMonitoring();
    bool isMonitoring() const { return m_monitoring; }

    // A row of one list: an item shown in two columns has a row in each, and only the one swiped
    // opens.
    struct Row
    {
        Row(const QUuid &itemId, const void *rowList = nullptr)
            : item(itemId)
            , list(rowList)
        { }
        QUuid item;
        const void *list;
        bool operator==(const Row &) const = default;
    };

    // A sideways movement over a row (negative: to the left, opening it).
    void swipe(const Row &row, double dx);
    // The fingers let go: the row settles open when it was more than half open.
    void endSwipe();
    // Shuts the open row, if any; its closing marker clears once it has shut.
    void closeOpenRow();

    std::optional<Row> openRow() const { return m_row; }
    std::optional<Row> closingRow() const { return m_closing; }
    // How far a row is slid to the left (0 for every row but the one swiped).
    double offset(const Row &row) const;
    // Where the open row's action is on screen (the row's view tells); presses there do not shut.
    void setActionArea(const QRect &globalArea) { m_actionArea = globalArea; }

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    // A row moved: the views redraw.
    void changed();

private:
    Clock &m_clock;
    AnimatedValue m_offset;
    std::optional<Row> m_row;
    std::optional<Row> m_closing;
    QRect m_actionArea;
    bool m_monitoring = false;
    quint64 m_generation = 0;
};
