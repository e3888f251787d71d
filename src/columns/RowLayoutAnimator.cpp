#include "columns/RowLayoutAnimator.h"

#include "common/Interpolation.h"

#include <cmath>

RowLayoutAnimator::RowLayoutAnimator(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_progress(clock, 1.0)
{
    connect(&m_progress, &AnimatedValue::valueChanged, this, [this](double progress) {
        if (progress >= 1.0)
            m_leaving.clear();
        Q_EMIT frame();
    });
}

QRectF RowLayoutAnimator::rectOf(const Motion &motion) const
{
    return interpolatedRect(motion.from, motion.row.rect, m_progress.value());
}

double RowLayoutAnimator::opacityOf(const Motion &motion) const
{
    return motion.fromOpacity + (motion.toOpacity - motion.fromOpacity) * m_progress.value();
}

bool RowLayoutAnimator::sameRows(const QList<Row> &rows) const
{
    if (rows.size() != m_rows.size())
        return false;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].item != m_rows[i].row.item || rows[i].block != m_rows[i].row.block)
            return false;
    }
    return true;
}

bool RowLayoutAnimator::differsFrom(const QList<Row> &rows) const
{
    if (!sameRows(rows))
        return true;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].rect != m_rows[i].row.rect)
            return true;
    }
    return false;
}

void RowLayoutAnimator::setRows(const QList<Row> &rows, std::optional<AnimationTiming> timing)
{
    if (!differsFrom(rows))
        return;
    if ((!timing || timing->duration.count() <= 0) && m_progress.isRunning()) {
        if (sameRows(rows)) {
            // The same rows laid out anew (the column resized) mid-way: they head for the new
            // places.
            for (qsizetype i = 0; i < rows.size(); ++i)
                m_rows[i].row = rows[i];
            Q_EMIT frame();
            return;
        }
        // Other rows mid-way (a copy came in while a pin's rows move): the transition goes on
        // from where the rows are drawn to the new places in its time left, rather than every
        // row jumping.
        timing = AnimationTiming { timeLeft(), m_timing.curve };
    }
    if (!timing || timing->duration.count() <= 0) {
        m_rows.clear();
        m_rows.reserve(rows.size());
        for (const Row &row : rows)
            m_rows.append({ row, row.rect, 1.0, 1.0 });
        m_leaving.clear();
        m_progress.setValue(1.0);
        Q_EMIT frame();
        return;
    }
    // The next transition starts where everything is drawn now.
    QHash<Key, Drawn> drawn = drawnNow();
    QList<Motion> next;
    next.reserve(rows.size());
    for (const Row &row : rows) {
        const auto found = drawn.constFind(keyOf(row));
        if (found == drawn.cend()) {
            next.append({ row, row.rect, 0.0, 1.0 }); // arrives: fades in at its place
            continue;
        }
        next.append({ row, found->rect, found->opacity, 1.0 });
        drawn.erase(found);
    }
    // What is left has left: it fades out where it is drawn.
    QList<Motion> leaving;
    for (auto it = drawn.cbegin(); it != drawn.cend(); ++it) {
        if (it->opacity > 0.0)
            leaving.append({ { it->item, it.key().block, it->rect, it->kind }, it->rect, it->opacity, 0.0 });
    }
    m_rows = std::move(next);
    m_leaving = std::move(leaving);
    m_timing = *timing;
    m_progress.setValue(0.0); // announces the first frame
    m_progress.animateTo(1.0, *timing);
}

QHash<RowLayoutAnimator::Key, RowLayoutAnimator::Drawn> RowLayoutAnimator::drawnNow() const
{
    QHash<Key, Drawn> drawn;
    drawn.reserve(m_rows.size() + m_leaving.size());
    for (const Motion &leaving : m_leaving)
        drawn.insert(
            keyOf(leaving.row), { leaving.row.item, rectOf(leaving), leaving.row.kind, opacityOf(leaving) });
    for (const Motion &motion : m_rows)
        drawn.insert(
            keyOf(motion.row), { motion.row.item, rectOf(motion), motion.row.kind, opacityOf(motion) });
    return drawn;
}

Clock::Duration RowLayoutAnimator::timeLeft() const
{
    const double left = double(m_timing.duration.count()) * (1.0 - m_progress.timeFraction());
    return Clock::Duration(qint64(std::ceil(left)));
}

void RowLayoutAnimator::finish()
{
    if (!m_progress.isRunning() && m_leaving.isEmpty())
        return;
    m_progress.setValue(1.0);
    m_leaving.clear();
    Q_EMIT frame();
}

QRectF RowLayoutAnimator::drawnRect(int row) const
{
    return row >= 0 && row < m_rows.size() ? rectOf(m_rows[row]) : QRectF();
}

double RowLayoutAnimator::opacity(int row) const
{
    return row >= 0 && row < m_rows.size() ? opacityOf(m_rows[row]) : 0.0;
}

QList<RowLayoutAnimator::Drawn> RowLayoutAnimator::leavingRows() const
{
    QList<Drawn> rows;
    rows.reserve(m_leaving.size());
    for (const Motion &leaving : m_leaving)
        rows.append({ leaving.row.item, rectOf(leaving), leaving.row.kind, opacityOf(leaving) });
    return rows;
}

QList<int> RowLayoutAnimator::rowsDrawnBetween(double top, double bottom) const
{
    QList<int> rows;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const QRectF rect = rectOf(m_rows[i]);
        if (rect.bottom() >= top && rect.top() <= bottom)
            rows.append(int(i));
    }
    return rows;
}
