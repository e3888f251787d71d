#include "panel/OwnWindowSizes.h"

void OwnWindowSizes::set(const QSize &size)
{
    if (!m_pending.isEmpty() && m_pending.last() == size)
        return;
    m_pending.append(size);
    if (m_pending.size() > kept)
        m_pending.removeFirst();
}

bool OwnWindowSizes::isOwn(const QSize &reported)
{
    // A repeated report leaves the sizes set since then waiting for theirs.
    if (m_reported == reported)
        return true;
    const qsizetype at = m_pending.indexOf(reported);
    if (at < 0) {
        m_pending.clear();
        m_reported.reset();
        return false;
    }
    m_pending.remove(0, at + 1);
    m_reported = reported;
    return true;
}
