#include "panel/PanelAnimations.h"

#include <algorithm>

using namespace std::chrono_literals;

namespace {

struct ChangeAnimation
{
    AnimationTiming timing;
    // The change reaches the columns' rows (later, through a layout pass), not only values.
    bool movesRows;
};

// Every moving change of the panel. The default animation of a change without a curve of its
// own is ease-in-out over 0.35 s.
ChangeAnimation changeAnimation(PanelChange change)
{
    switch (change) {
    case PanelChange::pinToggle:
        return { { 250ms, TimingCurve::easeInOut() }, true };
    case PanelChange::pendingDeletion:
        return { { 200ms, TimingCurve::easeInOut() }, true };
    case PanelChange::storeDeletion:
        return { { 350ms, TimingCurve::easeInOut() }, true };
    case PanelChange::tabSelection:
        return { { 150ms, TimingCurve::easeInOut() }, false };
    case PanelChange::tabHeaderHover:
        return { { 150ms, TimingCurve::easeInOut() }, false };
    case PanelChange::viewModeToggle:
        return { { 200ms, TimingCurve::easeInOut() }, false };
    }
    return { { 0ms, TimingCurve::linear() }, false };
}

} // namespace

AnimationTiming PanelAnimations::timing(PanelChange change)
{
    return changeAnimation(change).timing;
}

PanelAnimations::PanelAnimations(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{ }

void PanelAnimations::setPanelVisible(bool visible)
{
    if (m_panelVisible == visible)
        return;
    m_panelVisible = visible;
    if (visible)
        return;
    m_rowChange.reset();
    const QList<QPointer<AnimatedValue>> moving = std::exchange(m_moving, {});
    for (const QPointer<AnimatedValue> &value : moving) {
        if (value && value->isRunning())
            value->setValue(value->target());
    }
    Q_EMIT finishNow();
}

void PanelAnimations::perform(PanelChange change, const std::function<void()> &apply)
{
    if (!m_panelVisible) {
        apply();
        return;
    }
    const std::optional<PanelChange> outer = std::exchange(m_performing, change);
    // The rows of a change not laid out yet move as that change says: a change that follows
    // from it (the deletions on their way pruned once the store has let an item go) does not
    // take it over.
    if (!outer && changeAnimation(change).movesRows && !isRowChangePending())
        m_rowChange = RowChange { timing(change), m_clock.now() };
    apply();
    m_performing = outer;
}

void PanelAnimations::animate(AnimatedValue &value, double target)
{
    if (!m_performing || !m_panelVisible) {
        value.setValue(target);
        return;
    }
    m_moving.removeIf([](const QPointer<AnimatedValue> &moving) { return !moving || !moving->isRunning(); });
    value.animateTo(target, timing(*m_performing));
    m_moving.append(&value);
}

bool PanelAnimations::isRowChangeUnderWay()
{
    // A change whose rows never reached a layout pass in its time moves nothing later.
    if (m_rowChange && m_clock.now() - m_rowChange->performedAt > m_rowChange->timing.duration)
        m_rowChange.reset();
    return m_rowChange.has_value();
}

bool PanelAnimations::isRowChangePending()
{
    return isRowChangeUnderWay() && !m_rowChange->used;
}

std::optional<AnimationTiming> PanelAnimations::takeRowTiming()
{
    // Every column of the pass moves with the change, not only the one that lays out first:
    // an item shows in History and in its own column.
    if (!isRowChangeUnderWay())
        return std::nullopt;
    m_rowChange->used = true;
    return m_rowChange->timing;
}

void PanelAnimations::layoutPassEnded()
{
    if (m_rowChange && m_rowChange->used)
        m_rowChange.reset();
}
