#include "panel/EmptyStateView.h"

#include "panel/PanelLayout.h"

#include <QFontMetricsF>
#include <QPainter>

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

    painter.setFont(iconFont);
    painter.setPen(secondary);
    painter.drawText(QRectF(0, y, width(), iconHeight), Qt::AlignCenter, QStringLiteral("\U0001F4CB"));
    y += iconHeight + 16;
    painter.setFont(titleFont);
    painter.drawText(QRectF(0, y, width(), titleHeight), Qt::AlignCenter, QStringLiteral("No Items"));
    y += titleHeight + 16;
    painter.setFont(bodyFont);
    painter.setPen(tertiary);
    painter.drawText(
        QRectF(0, y, width(), bodyHeight), Qt::AlignCenter, QStringLiteral("Copy something to start"));
}
