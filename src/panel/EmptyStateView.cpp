#include "panel/EmptyStateView.h"

#include "panel/PanelLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QRegion>

EmptyStateView::EmptyStateView(QWidget *parent)
    : QWidget(parent)
{ }

void EmptyStateView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont iconFont = PanelLayout::panelFont(48);
    const QFont titleFont = PanelLayout::panelFont(22, QFont::Medium);
    const QFont bodyFont = PanelLayout::panelFont(13);
    const double iconHeight = QFontMetricsF(iconFont).height();
    const double titleHeight = QFontMetricsF(titleFont).height();
    const double bodyHeight = QFontMetricsF(bodyFont).height();
    double y = (height() - (iconHeight + 16 + titleHeight + 16 + bodyHeight)) / 2;
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    QColor tertiary = secondary;
    tertiary.setAlphaF(secondary.alphaF() * 0.7f);

    // A clipboard drawn in lines: an emoji would need an emoji font, which many desktops lack
    // (a hollow box is all they show), and would not take the text's colour.
    const QRectF icon(
        width() / 2 - iconHeight * 0.32, y + iconHeight * 0.1, iconHeight * 0.64, iconHeight * 0.8);
    painter.setPen(QPen(secondary, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const QRectF clip(icon.center().x() - icon.width() * 0.25, icon.top() - 4, icon.width() * 0.5, 10);
    // The board's top edge stops where the clip sits on it.
    painter.setClipRegion(QRegion(rect()).subtracted(QRegion(clip.adjusted(-1, -1, 1, 1).toAlignedRect())));
    painter.drawRoundedRect(icon, 5, 5);
    painter.setClipping(false);
    painter.drawRoundedRect(clip, 3, 3);
    for (int line = 0; line < 3; ++line) {
        const double lineY = icon.top() + icon.height() * (0.38 + 0.18 * line);
        painter.drawLine(QPointF(icon.left() + icon.width() * 0.22, lineY),
            QPointF(icon.right() - icon.width() * (line == 2 ? 0.4 : 0.22), lineY));
    }
    y += iconHeight + 16;
    painter.setFont(titleFont);
    painter.drawText(QRectF(0, y, width(), titleHeight), Qt::AlignCenter, QStringLiteral("No Items"));
    y += titleHeight + 16;
    painter.setFont(bodyFont);
    painter.setPen(tertiary);
    painter.drawText(
        QRectF(0, y, width(), bodyHeight), Qt::AlignCenter, QStringLiteral("Copy something to start"));
}
