#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

// The files of one copy, kept as compact as the list the owner sent: the first as an address,
// every further one as a line of text. A copy of a million files is one block of text here,
// never a million URL objects.
class CopiedFiles final
{
public:
    CopiedFiles() = default;
    explicit CopiedFiles(const QList<QUrl> &urls);

    void append(const QUrl &url);

    bool isEmpty() const { return m_count == 0; }
    qsizetype count() const { return m_count; }
    const QUrl &first() const { return m_first; }
    // The fully encoded addresses of the files after the first, one a line ("\n" between
    // them), as ClipboardItem::setAdditionalFileURLList takes them; empty for one file.
    const QByteArray &furtherAddresses() const { return m_further; }

private:
    QUrl m_first;
    QByteArray m_further;
    qsizetype m_count = 0;
};
