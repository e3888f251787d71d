#include "shell/PreviewPanel.h"

#include <QPainter>
#include <QPainterPath>

PreviewPanel::PreviewPanel(bool translucent, QWidget *parent)
    : QWidget(parent,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint)
    , m_translucent(translucent)
{
    setObjectName(QStringLiteral("PreviewPanel"));
    setWindowTitle(QStringLiteral("Tindlewick Preview"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    if (m_translucent)
        setAttribute(Qt::WA_TranslucentBackground);
}

void PreviewPanel::setContent(QWidget *content)
{
    if (m_content == content)
        return;
    delete m_content;
    m_content = content;
    if (!content)
        return;
    content->setParent(this);
    content->setAttribute(Qt::WA_TransparentForMouseEvents);
    content->setFocusPolicy(Qt::NoFocus);
    const double inset = margin();
    content->setGeometry(QRectF(QPointF(inset, inset), QSizeF(content->sizeHint())).toRect());
    content->show();
}

QSizeF PreviewPanel::fittingSize() const
{
    const QSizeF card = m_content ? QSizeF(m_content->sizeHint()) : QSizeF(0, 0);
    return card + QSizeF(2 * margin(), 2 * margin());
}

void PreviewPanel::setFrame(const QRectF &frame)
{
    setGeometry(frame.toAlignedRect());
}

void PreviewPanel::orderFront()
{
    show();
    raise();
}

void PreviewPanel::setAlpha(double alpha)
{
    // Seen only where a compositor runs; elsewhere the window is shown or not.
    setWindowOpacity(alpha);
}

void PreviewPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_content) {
        const double inset = margin();
        m_content->setGeometry(
            QRectF(QPointF(inset, inset), QSizeF(size()) - QSizeF(2 * inset, 2 * inset)).toRect());
    }
    if (m_resized)
        m_resized();
}

void PreviewPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = margin();
    const QRectF card = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QColor fill = palette().color(QPalette::Window);
    QColor outline = palette().color(QPalette::Text);
    outline.setAlphaF(m_translucent ? 0.04f : 0.25f);
    if (m_translucent) {
        fill.setAlphaF(0.94f);
        QPainterPath path;
        path.addRoundedRect(card.adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius, cornerRadius);
        painter.fillPath(path, fill);
        painter.setPen(QPen(outline, 0.5));
        painter.drawPath(path);
        return;
    }
    painter.fillRect(card, fill);
    painter.setPen(QPen(outline, 1));
    painter.drawRect(card.adjusted(0.5, 0.5, -0.5, -0.5));
}
