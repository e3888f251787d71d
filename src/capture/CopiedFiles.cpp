#include "capture/CopiedFiles.h"

CopiedFiles::CopiedFiles(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls)
        append(url);
}

void CopiedFiles::append(const QUrl &url)
{
    if (m_count++ == 0) {
        m_first = url;
        return;
    }
    if (m_count > 2)
        m_further += '\n';
    m_further += url.toEncoded();
}
