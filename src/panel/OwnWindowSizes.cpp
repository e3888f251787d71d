#include "panel/OwnWindowSizes.h"

void OwnWindowSizes::set(const QSize &size)
{
    if (!m_sizes.isEmpty() && m_sizes.last() == size)
        return;
    m_sizes.append(size);
    if (m_sizes.size() > kept)
        m_sizes.removeFirst();
}

bool OwnWindowSizes::isOwn(const QSize &reported)
{
    const qsizetype at = m_sizes.indexOf(reported);
    if (at < 0)
        return false;
    m_sizes.remove(0, at);
    return true;
}
