#include "panel/PanelBannerView.h"

#include "items/ItemRowPainter.h"
#include "panel/PanelLayout.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double outerMargin = 9.0;
constexpr double innerPadding = 9.0;
constexpr double bannerHeight = 30.0;

// A tray with an arrow rising out of it, the desktop's sign for sharing.
void paintShareSymbol(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    const QPointF middle = rect.center();
    painter.save();
    painter.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(
        QPolygonF({ middle + QPointF(-2.5, -1.5), middle + QPointF(-5, -1.5), middle + QPointF(-5, 6),
            middle + QPointF(5, 6), middle + QPointF(5, -1.5), middle + QPointF(2.5, -1.5) }));
    painter.drawLine(middle + QPointF(0, 2.5), middle + QPointF(0, -6.5));
    painter.drawPolyline(
        QPolygonF({ middle + QPointF(-2.8, -3.8), middle + QPointF(0, -6.6), middle + QPointF(2.8, -3.8) }));
    painter.restore();
}

} // namespace

PanelBannerView::PanelBannerView(BannerType type, bool isAppStore, QWidget *parent)
    : QWidget(parent)
    , m_type(type)
    , m_isAppStore(isAppStore)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
}

QString PanelBannerView::message() const
{
    if (m_type == BannerType::updateSuccess)
        return QStringLiteral("Successfully updated to the latest version");
    return m_isAppStore ? QStringLiteral("Enjoying Tindlewick? A quick review helps a lot.")
                        : QStringLiteral("Enjoying Tindlewick? A quick share helps a lot.");
}

QString PanelBannerView::actionTitle() const
{
    if (m_type == BannerType::updateSuccess)
        return QString();
    return m_isAppStore ? QStringLiteral("Review") : QStringLiteral("Share");
}

QColor PanelBannerView::kindColor() const
{
    if (m_type == BannerType::updateSuccess)
        return QColor(52, 199, 89);
    return ItemRowPainter::accentColor(palette());
}

QSize PanelBannerView::sizeHint() const
{
    return QSize(300, int(bannerHeight));
}

QRectF PanelBannerView::closeRect() const
{
    return QRectF(width() - outerMargin - innerPadding - 14, 0, 14, height());
}

QRectF PanelBannerView::actionRect() const
{
    if (actionTitle().isEmpty())
        return QRectF();
    const QFontMetricsF metrics(PanelLayout::panelFont(11, QFont::Medium));
    const double width = metrics.horizontalAdvance(actionTitle()) + 24;
    return QRectF(closeRect().left() - 8 - 4 - width, (height() - 20) / 2.0, width, 20);
}

void PanelBannerView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor kind = kindColor();
    QColor background = kind;
    background.setAlphaF(0.15f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(outerMargin, 0, width() - 2 * outerMargin, height()), 6, 6);

    painter.setFont(PanelLayout::panelFont(12));
    painter.setPen(kind);
    const QRectF iconRect(outerMargin + innerPadding, 0, 14, height());
    if (m_type == BannerType::reviewOrShare && !m_isAppStore) {
        paintShareSymbol(painter, iconRect, kind);
    } else {
        const QString icon
            = m_type == BannerType::updateSuccess ? QStringLiteral("\u2726") : QStringLiteral("\u2605");
        painter.drawText(iconRect, Qt::AlignCenter, icon);
    }
    const QColor messageColor = m_type == BannerType::updateSuccess ? kind : palette().color(QPalette::Link);
    painter.setPen(messageColor);
    const double textLeft = iconRect.right() + 8;
    const double textRight = (actionTitle().isEmpty() ? closeRect().left() : actionRect().left()) - 8;
    painter.drawText(QRectF(textLeft, 0, std::max(0.0, textRight - textLeft), height()),
        Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(painter.font()).elidedText(message(), Qt::ElideRight, textRight - textLeft));
    if (!actionTitle().isEmpty()) {
        QColor button = kind;
        button.setAlphaF(0.5f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(button);
        painter.drawRoundedRect(actionRect(), 4, 4);
        painter.setPen(palette().color(QPalette::Text));
        painter.setFont(PanelLayout::panelFont(11, QFont::Medium));
        painter.drawText(actionRect(), Qt::AlignCenter, actionTitle());
    }
    QColor close = kind;
    close.setAlphaF(0.5f);
    painter.setPen(close);
    painter.setFont(PanelLayout::panelFont(9, QFont::DemiBold));
    painter.drawText(closeRect(), Qt::AlignCenter, QStringLiteral("\u2715"));
}

void PanelBannerView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF point = event->position();
    if (closeRect().contains(point)) {
        Q_EMIT dismissed();
        return;
    }
    if (actionRect().contains(point)) {
        Q_EMIT actionTriggered();
        Q_EMIT dismissed();
        return;
    }
    // The update notice goes away with a tap anywhere on it.
    if (m_type == BannerType::updateSuccess)
        Q_EMIT dismissed();
}
