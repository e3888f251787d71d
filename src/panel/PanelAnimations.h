#pragma once

#include "common/AnimatedValue.h"
#include "common/Clock.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

// The changes of the panel that move rather than jump.
enum class PanelChange {
    pinToggle, // pinning, unpinning, and deleting a history entry that stands for a pin
    pendingDeletion, // the lists once items were hidden for deletion (a row's Delete, a column cleared)
    storeDeletion, // a chosen item whose files are all gone, every unpinned item cleared
    tabSelection, // a tab clicked, Tab and Shift+Tab, Control+digit
    tabHeaderHover, // the pointer entering or leaving the tab header
    viewModeToggle, // a column or tab switched between list and grid
};

// The panel's one animation driver: the curve and duration of every change in one table, and
// the clock they run on. A change is performed through it, and what moves with the change
// takes its timing: values animated during the change, and the rows that the next layout pass
// finds changed (the columns lay out after the change, on a later turn of the event loop).
// While the panel is hidden nothing animates: changes apply at once, and hiding the panel ends
// whatever moves. Main thread only.
class PanelAnimations final : public QObject
{
    Q_OBJECT

public:
    static AnimationTiming timing(PanelChange change);

    explicit PanelAnimations(Clock &clock, QObject *parent = nullptr);

    Clock &clock() const { return m_clock; }
    bool isPanelVisible() const { return m_panelVisible; }
    // Hidden: whatever moves jumps to its end, and changes apply at once until it shows again.
    void setPanelVisible(bool visible);

    // Runs apply as one change of that kind (just runs it while the panel is hidden).
    void perform(PanelChange change, const std::function<void()> &apply);
    // Moves value to target along the change being performed; at once outside one.
    void animate(AnimatedValue &value, double target);

    // How rows that a layout pass finds changed move, in every column the pass lays out: along
    // the change performed last, until a pass has moved rows with it or its time is over;
    // nothing when no change is under way.
    std::optional<AnimationTiming> takeRowTiming();
    // The panel's layout pass ended: the change whose rows it moved is spent (one that moved no
    // rows waits for the next pass).
    void layoutPassEnded();

Q_SIGNALS:
    // The panel hid: what moves goes to its end at once.
    void finishNow();

private:
    // A change with rows to move is under way, within its time.
    bool isRowChangeUnderWay();
    // One under way whose rows no layout pass has moved yet.
    bool isRowChangePending();

    struct RowChange
    {
        AnimationTiming timing;
        Clock::TimePoint performedAt;
        bool used = false;
    };

    Clock &m_clock;
    bool m_panelVisible = false;
    std::optional<PanelChange> m_performing;
    std::optional<RowChange> m_rowChange;
    // Values this driver set moving, so that a hide can end them.
    QList<QPointer<AnimatedValue>> m_moving;
};
