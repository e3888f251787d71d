#pragma once

#include "items/CodeLine.h"
#include "model/ClipboardItem.h"

#include <QImage>
#include <QPalette>
#include <QStringList>
#include <QWidget>

class CodeHighlighting;

// The full preview of one item, by its kind: the text wrapped, code lines as the panel
// highlights them, a colour's swatch and notations, the list of files, the picture of an image
// or media file, a link's picture, title, description and address. Built once from the item
// (the item a pin stands for); its natural size is what the preview window takes.
class ClipboardItemPreview final : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { text, code, color, files, image, link };

    static constexpr int maximumWidth = 480;
    static constexpr int maximumHeight = 480;
    static constexpr int padding = 12;
    static constexpr int maximumTextLines = 40;
    static constexpr int maximumFiles = 12;
    // A text block lays out no more than this many UTF-16 units of its text: more than its
    // lines can show at the preview's width, however narrow the letters.
    static constexpr qsizetype maximumTextUnits = 10'000;

    ClipboardItemPreview(const ClipboardItem &item, CodeHighlighting &highlighting, const QPalette &palette,
        double fontSize, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    // The words the preview shows, line by line (for tests and accessibility).
    QStringList shownText() const;
    bool hasPicture() const { return !m_picture.isNull(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // A run of text drawn wrapped at the preview's width, in one font and colour.
    struct TextBlock
    {
        QString text;
        QFont font;
        QColor color;
        int maximumLines = 1;
        // The text goes on beyond what the block holds: its last line shown ends with "…".
        bool continues = false;
        double height = 0;
    };

    void buildText(const ClipboardItem &shown);
    void buildCode(const ClipboardItem &shown, CodeHighlighting &highlighting);
    void buildColor(const ClipboardItem &shown);
    void buildFiles(const ClipboardItem &shown);
    void buildImage(const ClipboardItem &shown);
    void buildLink(const ClipboardItem &shown);
    void addText(const QString &text, const QFont &font, const QColor &color, int maximumLines);
    void measure();
    double paintText(QPainter &painter, const TextBlock &block, double top) const;

    Kind m_kind = Kind::text;
    QPalette m_palette;
    double m_fontSize;
    QImage m_picture;
    QSizeF m_pictureSize;
    QColor m_swatch;
    QList<CodeLine> m_codeLines;
    QFont m_codeFont;
    QList<TextBlock> m_blocks;
    QSize m_size;
    int m_contentWidth = 0;
};
