#include "panel/StripGlyph.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

bool isPin(StripGlyph glyph)
{
    return glyph != StripGlyph::trash;
}

bool isFilled(StripGlyph glyph)
{
    return glyph == StripGlyph::pinFill || glyph == StripGlyph::pinSlashFill;
}

bool isSlashed(StripGlyph glyph)
{
    return glyph == StripGlyph::pinSlash || glyph == StripGlyph::pinSlashFill;
}

// A push pin standing upright in a 24-unit square: cap, body widening to a collar, needle.
QPainterPath pinOutline()
{
    QPainterPath path;
    path.addRoundedRect(QRectF(8, 3, 8, 2.5), 1, 1);
    path.moveTo(9.5, 5.5);
    path.lineTo(14.5, 5.5);
    path.lineTo(15.2, 11);
    path.lineTo(17.5, 14);
    path.lineTo(6.5, 14);
    path.lineTo(8.8, 11);
    path.closeSubpath();
    return path;
}

void drawPin(QPainter &painter, bool filled, const QColor &ink)
{
    const QPen line(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(line);
    painter.setBrush(filled ? QBrush(ink) : QBrush(Qt::NoBrush));
    painter.drawPath(pinOutline());
    painter.drawLine(QPointF(12, 14), QPointF(12, 21));
}

void drawTrash(QPainter &painter, const QColor &ink)
{
    painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(4.5, 6.5), QPointF(19.5, 6.5));
    painter.drawPolyline(
        QPolygonF({ QPointF(9.5, 6.5), QPointF(10, 3.5), QPointF(14, 3.5), QPointF(14.5, 6.5) }));
    painter.drawPolygon(
        QPolygonF({ QPointF(6.5, 6.5), QPointF(17.5, 6.5), QPointF(16.5, 20.5), QPointF(7.5, 20.5) }));
    painter.drawLine(QPointF(10.5, 10), QPointF(10.7, 17));
    painter.drawLine(QPointF(13.5, 10), QPointF(13.3, 17));
}

// Draws the glyphs where no icon theme has them, sharp at every size the widgets ask for.
class DrawnGlyphEngine final : public QIconEngine
{
public:
    DrawnGlyphEngine(StripGlyph glyph, const QColor &ink)
        : m_glyph(glyph)
        , m_ink(ink)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage image((QSizeF(rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        if (image.isNull())
            return;
        image.fill(Qt::transparent);
        QColor ink = m_ink;
        if (mode == QIcon::Disabled)
            ink.setAlphaF(ink.alphaF() * 0.4f);
        QPainter glyph(&image);
        glyph.setRenderHint(QPainter::Antialiasing);
        const double side = std::min(image.width(), image.height());
        glyph.translate((image.width() - side) / 2, (image.height() - side) / 2);
        glyph.scale(side / 24.0, side / 24.0);
        if (isPin(m_glyph))
            drawPin(glyph, isFilled(m_glyph), ink);
        else
            drawTrash(glyph, ink);
        if (isSlashed(m_glyph)) {
            // The slash cuts its way through the pin: a clear margin, then the line.
            const QLineF slash(QPointF(4, 3), QPointF(20, 21));
            glyph.setCompositionMode(QPainter::CompositionMode_Clear);
            glyph.setPen(QPen(Qt::black, 4.5, Qt::SolidLine, Qt::RoundCap));
            glyph.drawLine(slash);
            glyph.setCompositionMode(QPainter::CompositionMode_SourceOver);
            glyph.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap));
            glyph.drawLine(slash);
        }
        glyph.end();
        image.setDevicePixelRatio(ratio);
        painter->drawImage(rect, image);
    }

    // What buttons and menus draw: the glyph alone on a clear ground (the engine's own pixmap
    // leaves the ground as it found it in memory).
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine *clone() const override { return new DrawnGlyphEngine(m_glyph, m_ink); }
    QString key() const override { return QStringLiteral("StripGlyph"); }
    QString iconName() override { return stripGlyphName(m_glyph); }

private:
    StripGlyph m_glyph;
    QColor m_ink;
};

// The theme's names of a glyph, or nothing when the theme lacks part of its set.
QString themeName(StripGlyph glyph)
{
    if (isPin(glyph)) {
        if (!QIcon::hasThemeIcon(QStringLiteral("window-pin"))
            || !QIcon::hasThemeIcon(QStringLiteral("window-unpin")))
            return {};
        return isSlashed(glyph) ? QStringLiteral("window-unpin") : QStringLiteral("window-pin");
    }
    for (const QString &name : { QStringLiteral("user-trash"), QStringLiteral("edit-delete") }) {
        if (QIcon::hasThemeIcon(name))
            return name;
    }
    return {};
}

} // namespace

QString stripGlyphName(StripGlyph glyph)
{
    switch (glyph) {
    case StripGlyph::pin:
        return QStringLiteral("pin");
    case StripGlyph::pinFill:
        return QStringLiteral("pin.fill");
    case StripGlyph::pinSlash:
        return QStringLiteral("pin.slash");
    case StripGlyph::pinSlashFill:
        return QStringLiteral("pin.slash.fill");
    case StripGlyph::trash:
        return QStringLiteral("trash");
    }
    return {};
}

QIcon stripGlyphIcon(StripGlyph glyph, const QColor &ink)
{
    if (const QString name = themeName(glyph); !name.isEmpty())
        return QIcon::fromTheme(name);
    return QIcon(new DrawnGlyphEngine(glyph, ink));
}
