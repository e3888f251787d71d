#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// A list of files for the clipboard, in every form that programs ask for (the URI list, GNOME's
// copied files, text), all made from one copy of the list a piece at a time: a list of a million
// files is held once, whichever forms are read and however often, and no form is ever made
// whole. The addresses are file URLs as QUrl encodes them (ASCII), so the same bytes are UTF-8,
// Latin-1 and plain text alike; the text form is one address a line.
class FileListForms final
{
public:
    // `lines`: each address followed by '\n'.
    explicit FileListForms(QByteArray lines);

    struct Target
    {
        QByteArray name;
        // The type its data is given as.
        QByteArray type;
    };
    // Every target offered, the URI list first.
    static const QList<Target> &targets();

    qsizetype count() const { return m_count; }
    // The number of bytes of a form; -1 for a target that is not offered.
    qsizetype size(QByteArrayView target) const;

    // One form read from its start.
    class Reader
    {
    public:
        // The next bytes of the form, at most maxBytes (at least one while any are left); empty
        // at its end.
        QByteArray next(qsizetype maxBytes);

    private:
        friend class FileListForms;
        enum class Kind { text, uriList, copiedFiles, mozillaUrl };
        Reader(const FileListForms &forms, Kind kind);
        void appendLines(QByteArray &out, qsizetype maxBytes);

        QByteArray m_lines;
        Kind m_kind;
        QByteArray m_prefix;
        qsizetype m_prefixRead = 0;
        qsizetype m_position = 0;
        qsizetype m_end = 0;
        // A URI list's line ended with its '\r', its '\n' still to come.
        bool m_lineFeedDue = false;
    };
    // Nothing for a target that is not offered.
    std::optional<Reader> reader(QByteArrayView target) const;
    // A whole form at once: for small lists and tests.
    QByteArray whole(QByteArrayView target) const;

private:
    static std::optional<Reader::Kind> kindOf(QByteArrayView target);
    QByteArray mozillaUrl() const;

    QByteArray m_lines;
    qsizetype m_count = 0;
};
