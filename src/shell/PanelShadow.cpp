#include "shell/PanelShadow.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

QMargins PanelShadow::margins()
{
    const int side = int(radius);
    return QMargins(side, side - int(offset), side, side + int(offset));
}

void PanelShadow::paint(QPainter &painter, const QSize &window, double cornerRadius)
{
    if (m_picture.size() != window) {
        // Rings of falling strength around the body approximate a blurred shadow.
        QPixmap picture(window);
        picture.fill(Qt::transparent);
        QPainter rings(&picture);
        rings.setRenderHint(QPainter::Antialiasing);
        rings.setPen(Qt::NoPen);
        const QRectF body = QRectF(QPointF(0, 0), QSizeF(window))
                                .marginsRemoved(QMarginsF(margins()))
                                .translated(0, offset);
        const int steps = 10;
        for (int step = steps; step >= 1; --step) {
            const double spread = radius * step / steps;
            const double strength = opacity * (1.0 - double(step) / (steps + 1)) / steps * 2.2;
            QPainterPath path;
            path.addRoundedRect(body.adjusted(-spread, -spread, spread, spread), cornerRadius + spread,
                cornerRadius + spread);
            rings.setBrush(QColor(0, 0, 0, int(std::clamp(strength, 0.0, 1.0) * 255)));
            rings.drawPath(path);
        }
        rings.end();
        m_picture = picture;
    }
    painter.drawPixmap(0, 0, m_picture);
}
