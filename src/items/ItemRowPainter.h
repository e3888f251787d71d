#pragma once

#include "model/ClipboardItem.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QPalette>
#include <QRectF>

class CodeHighlighting;
class QPainter;
class ThumbnailCache;

// Draws one item as a list row, a grid tile or a single-character button, by its kind: text
// and code lines, a link with its picture, a file with its icon or thumbnail, a colour swatch,
// a media thumbnail. Pictures come from the thumbnail cache, never from the full image.
class ItemRowPainter final
{
public:
    struct Style
    {
        QPalette palette;
        double fontSize = 13.0;
        bool selected = false;
        // The selection was moved by keys: drawn stronger than a pointer's.
        bool keyboardHighlight = false;
        // A file item none of whose files can be reached is drawn faded.
        bool available = true;
        // Shift is held: a choice now pastes without formatting.
        bool plainTextPaste = false;
    };

    // The glyph a row without a picture shows for its kind; text that carries formatting shows
    // it (drawn rich), except while Shift is held, when it would be pasted without.
    struct Glyph
    {
        QString text;
        bool rich = false;
    };
    static Glyph rowGlyph(const ClipboardItem &shown, bool plainTextPaste);

    ItemRowPainter(CodeHighlighting &highlighting, ThumbnailCache &thumbnails);

    void paintRow(QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style);
    void paintTile(QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style);
    void paintSingleCharacter(QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style);

    // The height of a list row at a text size: two lines of code, or a title over its subtitle,
    // with the room around them a row has at the default size, never less than that row.
    static double rowHeight(double fontSize);

    // What is kept to draw these items goes (they left the history): their pictures and the
    // icon kinds of their files.
    void forgetItems(const QList<ClipboardItemPtr> &items);

    static bool isDark(const QPalette &palette);
    // The app's accent: orange in a dark appearance, a deeper orange in a light one.
    static QColor accentColor(const QPalette &palette);

private:
    void paintBackground(QPainter &painter, const QRectF &rect, const Style &style, double radius) const;
    // The picture of a row or tile: thumbnail, swatch, file icon or a kind glyph.
    void paintPicture(QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style);
    void paintCodeLines(QPainter &painter, const QRectF &rect, const ClipboardItem &item, const Style &style);
    QIcon fileIcon(const ClipboardItem &item);

    CodeHighlighting &m_highlighting;
    ThumbnailCache &m_thumbnails;
    QHash<QString, QIcon> m_fileIcons; // by file suffix ("/" for folders)
    QHash<QString, QString> m_fileIconKeys; // the key of each file's icon, by path
};
