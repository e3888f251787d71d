#include "items/ItemRowPainter.h"

#include "items/CodeHighlighting.h"
#include "items/ItemRowText.h"
#include "items/ThumbnailCache.h"
#include "panel/PanelLayout.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

constexpr double pictureSize = 32.0;
constexpr double defaultRowHeight = 44.0;
// Above and below a row's text (as much as the default size's two lines of code leave).
constexpr double textRoom = 7.0;

QFont codeFont(double fontSize)
{
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(std::max(1, int(std::lround(fontSize - 1))));
    return mono;
}

QString kindGlyph(ClipboardItemType kind)
{
    switch (kind) {
    case ClipboardItemType::text:
        return QStringLiteral("Aa");
    case ClipboardItemType::code:
        return QStringLiteral("{ }");
    case ClipboardItemType::link:
        return QStringLiteral("\u2197"); // north-east arrow
    case ClipboardItemType::file:
        return QStringLiteral("\u25A4");
    case ClipboardItemType::media:
        return QStringLiteral("\u25A3");
    case ClipboardItemType::color:
        return QStringLiteral("\u25CF");
    }
    return QString();
}

void paintCheckerboard(QPainter &painter, const QRectF &rect)
{
    const double cell = 4.0;
    painter.fillRect(rect, Qt::white);
    for (double y = rect.top(); y < rect.bottom(); y += cell) {
        for (double x = rect.left() + (int((y - rect.top()) / cell) % 2) * cell; x < rect.right();
             x += 2 * cell)
            painter.fillRect(QRectF(x, y, cell, cell).intersected(rect), QColor(0xCC, 0xCC, 0xCC));
    }
}

} // namespace

ItemRowPainter::Glyph ItemRowPainter::rowGlyph(const ClipboardItem &shown, bool plainTextPaste)
{
    const ClipboardItemType kind = shown.type();
    const bool textual = kind == ClipboardItemType::text || kind == ClipboardItemType::code;
    const bool formatted = textual && !plainTextPaste && !shown.htmlContent().value_or(QString()).isEmpty();
    return { formatted ? QStringLiteral("Aa") : kindGlyph(kind), formatted };
}

ItemRowPainter::ItemRowPainter(CodeHighlighting &highlighting, ThumbnailCache &thumbnails)
    : m_highlighting(highlighting)
    , m_thumbnails(thumbnails)
{ }

double ItemRowPainter::rowHeight(double fontSize)
{
    const QFontMetricsF code(codeFont(fontSize));
    const QFontMetricsF title(PanelLayout::panelFont(fontSize, QFont::Normal));
    const QFontMetricsF subtitle(PanelLayout::panelFont(fontSize - 2));
    const double text = std::max(2 * code.lineSpacing(), title.height() + 1 + subtitle.height());
    return std::max(defaultRowHeight, std::ceil(text + 2 * textRoom));
}

bool ItemRowPainter::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor ItemRowPainter::accentColor(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 159, 10) : QColor(231, 115, 19);
}

void ItemRowPainter::paintBackground(
    QPainter &painter, const QRectF &rect, const Style &style, double radius) const
{
    if (!style.selected)
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(accentColor(style.palette), style.keyboardHighlight ? 0.30 : 0.18));
    painter.drawRoundedRect(rect, radius, radius);
}

void ItemRowPainter::forgetItems(const QList<ClipboardItemPtr> &items)
{
    QSet<QUuid> ids;
    for (const ClipboardItemPtr &item : items) {
        ids.insert(item->id());
        if (const std::optional<QUrl> url = item->fileURL())
            m_fileIconKeys.remove(url->toLocalFile());
    }
    m_thumbnails.remove(ids);
}

QIcon ItemRowPainter::fileIcon(const ClipboardItem &item)
{
    const std::optional<QUrl> url = item.resolvedItem().fileURL();
    const QString path = url ? url->toLocalFile() : QString();
    // The disk is asked once per file, not on every paint; nothing is kept for an item that has
    // left the history (a list not refreshed yet may still show it).
    QString key = m_fileIconKeys.value(path);
    if (key.isNull()) {
        const QFileInfo info(path);
        key = info.isDir() ? QStringLiteral("/") : info.suffix().toLower();
        if (!item.isDeleted())
            m_fileIconKeys.insert(path, key);
    }
    auto found = m_fileIcons.find(key);
    if (found == m_fileIcons.end()) {
        static QFileIconProvider provider;
        const QFileInfo info(path);
        QIcon icon = info.exists() ? provider.icon(info) : provider.icon(QFileIconProvider::File);
        found = m_fileIcons.insert(key, icon);
    }
    return *found;
}

void ItemRowPainter::paintPicture(
    QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style)
{
    const ClipboardItem &shown = item.resolvedItem();
    const ClipboardItemType kind = shown.type();
    const QColor secondary = primaryTint65(style.palette);
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(rect, 6, 6);
    painter.setClipPath(clip);

    if (kind == ClipboardItemType::color) {
        if (const std::optional<Color> color = shown.colorValue()) {
            const QColor qcolor = color->toQColor();
            if (qcolor.alphaF() < 1.0)
                paintCheckerboard(painter, rect);
            painter.fillRect(rect, qcolor);
            painter.restore();
            return;
        }
    }
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (rect.size() * ratio).toSize();
    const QImage picture = m_thumbnails.thumbnail(item, pixels);
    if (!picture.isNull()) {
        QSizeF drawn = QSizeF(picture.size()) / ratio;
        drawn.scale(rect.size(), Qt::KeepAspectRatioByExpanding);
        const QRectF target(rect.center() - QPointF(drawn.width() / 2, drawn.height() / 2), drawn);
        painter.drawImage(target, picture);
        painter.restore();
        return;
    }
    if (kind == ClipboardItemType::file || (kind == ClipboardItemType::media && shown.fileURL())) {
        const double side = std::min(rect.width(), rect.height()) * 0.8;
        const QRectF iconRect(rect.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
        fileIcon(item).paint(&painter, iconRect.toAlignedRect());
        painter.restore();
        return;
    }
    painter.fillRect(rect, primaryTint05(style.palette));
    const Glyph glyph = rowGlyph(shown, style.plainTextPaste);
    QFont font = PanelLayout::panelFont(
        std::min(rect.height() * 0.45, style.fontSize + 2), glyph.rich ? QFont::Bold : QFont::Medium);
    font.setItalic(glyph.rich);
    painter.setPen(glyph.rich ? accentColor(style.palette) : secondary);
    painter.setFont(font);
    painter.drawText(rect, Qt::AlignCenter, glyph.text);
    painter.restore();
}

void ItemRowPainter::paintCodeLines(
    QPainter &painter, const QRectF &rect, const ClipboardItem &item, const Style &style)
{
    const QFont mono = codeFont(style.fontSize);
    const QFontMetricsF metrics(mono);
    const int maxLines = std::max(1, int(rect.height() / metrics.lineSpacing()));
    QList<CodeLine> lines = m_highlighting.codeLines(item.resolvedItem(), maxLines, style.palette);
    // Blank lines at the end show nothing: the lines that do are centred in the row.
    while (lines.size() > 1 && lines.last().text.trimmed().isEmpty())
        lines.removeLast();
    const double block = double(lines.size()) * metrics.lineSpacing();
    painter.setPen(style.palette.color(QPalette::Text));
    drawCodeLines(painter, lines, mono,
        QPointF(rect.left(), rect.top() + std::max(0.0, (rect.height() - block) / 2)), rect.width());
}

void ItemRowPainter::paintRow(QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style)
{
    painter.save();
    if (!style.available)
        painter.setOpacity(0.45);
    paintBackground(painter, rect, style, 8);
    const QRectF picture(rect.left() + 6, rect.center().y() - pictureSize / 2, pictureSize, pictureSize);
    paintPicture(painter, picture, item, style);

    const double textLeft = picture.right() + 8;
    const double trailing = item.isPinned() ? 18 : 6;
    const QRectF textRect(
        textLeft, rect.top() + 4, std::max(0.0, rect.right() - trailing - textLeft), rect.height() - 8);
    const ClipboardItem &shown = item.resolvedItem();
    if (shown.type() == ClipboardItemType::code && !(item.pinnedLabel() && !item.pinnedLabel()->isEmpty())) {
        paintCodeLines(painter, textRect, item, style);
    } else {
        const QFont titleFont = PanelLayout::panelFont(style.fontSize, QFont::Normal);
        const QFont subtitleFont = PanelLayout::panelFont(style.fontSize - 2);
        const QString subtitle = itemSubtitle(item);
        const QFontMetricsF titleMetrics(titleFont);
        const QFontMetricsF subtitleMetrics(subtitleFont);
        const double block = titleMetrics.height() + (subtitle.isEmpty() ? 0 : subtitleMetrics.height() + 1);
        double y = textRect.center().y() - block / 2;
        painter.setFont(titleFont);
        painter.setPen(style.palette.color(QPalette::Text));
        painter.drawText(QRectF(textRect.left(), y, textRect.width(), titleMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            titleMetrics.elidedText(itemTitle(item), Qt::ElideRight, textRect.width()));
        if (!subtitle.isEmpty()) {
            y += titleMetrics.height() + 1;
            painter.setFont(subtitleFont);
            painter.setPen(primaryTint65(style.palette));
            painter.drawText(QRectF(textRect.left(), y, textRect.width(), subtitleMetrics.height()),
                Qt::AlignLeft | Qt::AlignVCenter,
                subtitleMetrics.elidedText(subtitle, Qt::ElideMiddle, textRect.width()));
        }
    }
    if (item.isPinned()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(accentColor(style.palette));
        painter.drawEllipse(QPointF(rect.right() - 9, rect.center().y()), 3, 3);
    }
    painter.restore();
}

void ItemRowPainter::paintTile(QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style)
{
    painter.save();
    if (!style.available)
        painter.setOpacity(0.45);
    paintPicture(painter, rect.adjusted(2, 2, -2, -2), item, style);
    if (style.selected) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(accentColor(style.palette), style.keyboardHighlight ? 3 : 2));
        painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), 7, 7);
    }
    painter.restore();
}

void ItemRowPainter::paintSingleCharacter(
    QPainter &painter, const QRectF &rect, ClipboardItem &item, const Style &style)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(primaryTint05(style.palette));
    painter.drawRoundedRect(rect, 5, 5);
    paintBackground(painter, rect, style, 5);
    painter.setPen(style.palette.color(QPalette::Text));
    painter.setFont(PanelLayout::panelFont(style.fontSize + 1, QFont::Medium));
    painter.drawText(rect, Qt::AlignCenter, item.resolvedItem().textContent().value_or(QString()).trimmed());
    painter.restore();
}
