#include "items/ClipboardItemPreview.h"

#include "common/TextExcerpt.h"
#include "items/CodeHighlighting.h"
#include "items/ItemRowPainter.h"
#include "panel/PanelLayout.h"
#include "platform/FilePaths.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <cmath>

namespace {

constexpr int swatchHeight = 120;
constexpr int linkPictureHeight = 220;
constexpr int blockSpacing = 6;

QImage decodedImage(const std::optional<QByteArray> &bytes)
{
    if (!bytes || bytes->isEmpty())
        return {};
    QImage image;
    image.loadFromData(*bytes);
    return image;
}

QColor secondary(const QPalette &palette)
{
    return palette.color(QPalette::PlaceholderText);
}

// Lines that a wrapped text takes at a width, at most maximumLines.
QList<QTextLine> layoutLines(QTextLayout &layout, double width, int maximumLines)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<QTextLine> lines;
    layout.beginLayout();
    while (lines.size() < maximumLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines.append(line);
    }
    layout.endLayout();
    return lines;
}

} // namespace

ClipboardItemPreview::ClipboardItemPreview(const ClipboardItem &item, CodeHighlighting &highlighting,
    const QPalette &palette, double fontSize, QWidget *parent)
    : QWidget(parent)
    , m_palette(palette)
    , m_fontSize(fontSize)
{
    setObjectName(QStringLiteral("ClipboardItemPreview"));
    setPalette(palette);
    m_contentWidth = maximumWidth - 2 * padding;
    const ClipboardItem &shown = item.resolvedItem();
    switch (shown.type()) {
    case ClipboardItemType::code:
        if (shown.codeAsText())
            buildText(shown);
        else
            buildCode(shown, highlighting);
        break;
    case ClipboardItemType::color:
        buildColor(shown);
        break;
    case ClipboardItemType::file:
        buildFiles(shown);
        break;
    case ClipboardItemType::media:
        buildImage(shown);
        break;
    case ClipboardItemType::link:
        buildLink(shown);
        break;
    case ClipboardItemType::text:
        buildText(shown);
        break;
    }
    if (const std::optional<QString> label = item.pinnedLabel(); label && !label->isEmpty())
        m_blocks.prepend(
            { *label, PanelLayout::panelFont(fontSize, QFont::DemiBold), palette.color(QPalette::Text), 2 });
    measure();
}

void ClipboardItemPreview::addText(
    const QString &text, const QFont &font, const QColor &color, int maximumLines)
{
    // A line of the text takes at least one of the block's lines.
    TextExcerpt::Excerpt excerpt = TextExcerpt::make(text, maximumLines, maximumTextUnits);
    if (QStringView(excerpt.text).trimmed().isEmpty())
        return;
    // The layout breaks lines only at line separators.
    excerpt.text.replace(QLatin1Char('\t'), QStringLiteral("    "));
    excerpt.text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    m_blocks.append({ excerpt.text, font, color, maximumLines, excerpt.cut });
}

void ClipboardItemPreview::buildText(const ClipboardItem &shown)
{
    m_kind = Kind::text;
    // The text kept inline holds far more than the preview shows; the whole of a longer one
    // is not read for it.
    const QString text = shown.textContent().value_or(shown.previewText().value_or(QString()));
    addText(text, PanelLayout::panelFont(m_fontSize), m_palette.color(QPalette::Text), maximumTextLines);
}

void ClipboardItemPreview::buildCode(const ClipboardItem &shown, CodeHighlighting &highlighting)
{
    m_kind = Kind::code;
    m_codeFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_codeFont.setPixelSize(std::max(1, int(std::lround(m_fontSize - 1))));
    // Through the panel's seam, so the preview shows the lines highlighted once the panel does.
    m_codeLines = highlighting.codeLines(shown, maximumTextLines, m_palette);
}

void ClipboardItemPreview::buildColor(const ClipboardItem &shown)
{
    m_kind = Kind::color;
    if (const std::optional<Color> color = shown.colorValue())
        m_swatch = color->toQColor();
    const QString hex = shown.colorHex().value_or(QString());
    addText(hex, PanelLayout::panelFont(m_fontSize + 2, QFont::DemiBold), m_palette.color(QPalette::Text), 1);
    const QString original = shown.textContent().value_or(QString()).trimmed();
    if (original.compare(hex, Qt::CaseInsensitive) != 0)
        addText(original, PanelLayout::panelFont(m_fontSize - 1), secondary(m_palette), 3);
}

void ClipboardItemPreview::buildFiles(const ClipboardItem &shown)
{
    m_kind = Kind::files;
    m_picture = decodedImage(shown.filePreviewData());
    QStringList paths;
    if (const std::optional<QUrl> url = shown.fileURL())
        paths.append(FilePaths::forDisplay(FilePaths::ofUrl(*url)));
    const int total = int(paths.size()) + shown.additionalFileTotal();
    for (const QString &extra : shown.additionalFileURLStrings().value_or(QStringList())) {
        if (paths.size() == maximumFiles)
            break;
        paths.append(FilePaths::forDisplay(FilePaths::ofUrl(QUrl(extra))));
    }
    const QFont name = PanelLayout::panelFont(m_fontSize, QFont::Medium);
    const QFont folder = PanelLayout::panelFont(m_fontSize - 2);
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo info(path);
        addText(info.fileName().isEmpty() ? path : info.fileName(), name, m_palette.color(QPalette::Text), 2);
        addText(info.absolutePath(), folder, secondary(m_palette), 1);
    }
    if (total > maximumFiles)
        addText(QStringLiteral("and %1 more").arg(total - maximumFiles), folder, secondary(m_palette), 1);
}

void ClipboardItemPreview::buildImage(const ClipboardItem &shown)
{
    m_kind = Kind::image;
    for (const auto &bytes : { shown.mediaPreviewData(), shown.mediaImageData(), shown.filePreviewData(),
             shown.mediaThumbnailData(), shown.fileThumbnailData() }) {
        m_picture = decodedImage(bytes);
        if (!m_picture.isNull())
            break;
    }
    if (m_picture.isNull() && shown.fileURL())
        buildFiles(shown);
    else if (const std::optional<QUrl> url = shown.fileURL())
        addText(QFileInfo(FilePaths::forDisplay(FilePaths::ofUrl(*url))).fileName(),
            PanelLayout::panelFont(m_fontSize - 1), secondary(m_palette), 1);
}

void ClipboardItemPreview::buildLink(const ClipboardItem &shown)
{
    m_kind = Kind::link;
    m_picture = decodedImage(shown.linkPreviewData());
    if (m_picture.isNull())
        m_picture = decodedImage(shown.linkThumbnailData());
    if (const std::optional<QString> title = shown.linkTitle())
        addText(*title, PanelLayout::panelFont(m_fontSize + 1, QFont::DemiBold),
            m_palette.color(QPalette::Text), 3);
    if (const std::optional<QString> description = shown.linkDescription())
        addText(*description, PanelLayout::panelFont(m_fontSize - 1), m_palette.color(QPalette::Text), 5);
    addText(shown.textContent().value_or(QString()).trimmed(), PanelLayout::panelFont(m_fontSize - 1),
        ItemRowPainter::accentColor(m_palette), 3);
}

void ClipboardItemPreview::measure()
{
    double width = 0;
    double height = 0;
    if (!m_picture.isNull()) {
        QSizeF picture = m_picture.size();
        const double limitHeight = m_kind == Kind::image ? maximumHeight - 2 * padding : linkPictureHeight;
        picture.scale(QSizeF(m_contentWidth, limitHeight), Qt::KeepAspectRatio);
        // Small pictures are not blown up beyond twice their size.
        if (picture.width() > 2 * m_picture.width())
            picture = QSizeF(m_picture.size()) * 2;
        m_pictureSize = picture;
        width = picture.width();
        height += picture.height() + blockSpacing;
    }
    if (m_swatch.isValid()) {
        width = std::max(width, double(m_contentWidth) / 2);
        height += swatchHeight + blockSpacing;
    }
    if (m_kind == Kind::code) {
        const QFontMetricsF metrics(m_codeFont);
        for (const CodeLine &line : std::as_const(m_codeLines)) {
            // A line cut to the width takes all of it.
            const QString drawn = elidedCodeLine(line, metrics, m_contentWidth);
            width = std::max(width, drawn == line.text ? metrics.horizontalAdvance(drawn) : m_contentWidth);
        }
        height += m_codeLines.size() * metrics.lineSpacing() + blockSpacing;
    }
    for (TextBlock &block : m_blocks) {
        QTextLayout layout(block.text, block.font);
        const QList<QTextLine> lines = layoutLines(layout, m_contentWidth, block.maximumLines);
        double blockWidth = 0;
        for (const QTextLine &line : lines)
            blockWidth = std::max(blockWidth, line.naturalTextWidth());
        block.height = lines.size() * QFontMetricsF(block.font).lineSpacing();
        width = std::max(width, std::min(double(m_contentWidth), std::ceil(blockWidth) + 1));
        height += block.height + blockSpacing;
    }
    height = std::max(0.0, height - blockSpacing);
    m_size = QSize(
        int(std::ceil(width)) + 2 * padding, std::min(maximumHeight, int(std::ceil(height)) + 2 * padding));
    m_size = m_size.expandedTo(QSize(120, 40));
    setFixedSize(m_size);
}

QSize ClipboardItemPreview::sizeHint() const
{
    return m_size;
}

QStringList ClipboardItemPreview::shownText() const
{
    QStringList text;
    for (const TextBlock &block : m_blocks)
        text.append(block.text.split(QChar::LineSeparator));
    for (const CodeLine &line : m_codeLines)
        text.append(line.text);
    return text;
}

double ClipboardItemPreview::paintText(QPainter &painter, const TextBlock &block, double top) const
{
    QTextLayout layout(block.text, block.font);
    const QList<QTextLine> lines = layoutLines(layout, m_contentWidth, block.maximumLines);
    painter.setPen(block.color);
    const QFontMetricsF metrics(block.font);
    // Only whole lines above the bottom margin; the last one shown ends with an ellipsis when
    // the text goes on.
    const double bottom = height() - padding + 0.5;
    double y = top;
    for (int i = 0; i < lines.size() && y + metrics.lineSpacing() <= bottom; ++i) {
        const QTextLine &line = lines[i];
        const bool last = i == lines.size() - 1 || y + 2 * metrics.lineSpacing() > bottom;
        const bool cut = last
            && (i < lines.size() - 1 || block.continues
                || line.textStart() + line.textLength() < block.text.size());
        if (cut) {
            const QString rest = block.text.mid(line.textStart()).section(QChar::LineSeparator, 0, 0);
            painter.setFont(block.font);
            painter.drawText(QPointF(padding, y + metrics.ascent()),
                metrics.elidedText(rest + QStringLiteral(" \u2026"), Qt::ElideRight, m_contentWidth));
        } else {
            line.draw(&painter, QPointF(padding, y - line.y()));
        }
        y += metrics.lineSpacing();
    }
    return y;
}

void ClipboardItemPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(rect().adjusted(0, 0, 0, -padding / 2));
    double y = padding;
    if (!m_picture.isNull()) {
        const QRectF target(padding, y, m_pictureSize.width(), m_pictureSize.height());
        QPainterPath clip;
        clip.addRoundedRect(target, 6, 6);
        painter.save();
        painter.setClipPath(clip, Qt::IntersectClip);
        painter.drawImage(target, m_picture);
        painter.restore();
        y += m_pictureSize.height() + blockSpacing;
    }
    if (m_swatch.isValid()) {
        const QRectF swatch(padding, y, width() - 2 * padding, swatchHeight);
        painter.setPen(QPen(secondary(m_palette), 0.5));
        painter.setBrush(m_swatch);
        painter.drawRoundedRect(swatch, 8, 8);
        y += swatchHeight + blockSpacing;
    }
    if (m_kind == Kind::code) {
        painter.setPen(m_palette.color(QPalette::Text));
        y = drawCodeLines(painter, m_codeLines, m_codeFont, QPointF(padding, y), m_contentWidth)
            + blockSpacing;
    }
    for (const TextBlock &block : m_blocks)
        y = paintText(painter, block, y) + blockSpacing;
}
