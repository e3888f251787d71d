#include "panel/CrossFadeOverlay.h"

#include "panel/CrossFade.h"
#include "panel/WidgetOpacity.h"

#include <QPainter>

CrossFadeOverlay::CrossFadeOverlay(
    const QPixmap &picture, QWidget *incoming, const CrossFade &fade, QWidget *parent, const QRect &area)
    : QWidget(parent)
    , m_picture(picture)
    , m_incoming(incoming)
    , m_fade(fade)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(area);
    raise();
    show();
    connect(&fade, &CrossFade::changed, this, &CrossFadeOverlay::follow);
    follow();
}

CrossFadeOverlay::~CrossFadeOverlay()
{
    if (m_incoming)
        setWidgetOpacity(m_incoming, 1.0);
}

void CrossFadeOverlay::setIncoming(QWidget *incoming)
{
    if (m_incoming && m_incoming != incoming)
        setWidgetOpacity(m_incoming, 1.0);
    m_incoming = incoming;
    follow();
}

void CrossFadeOverlay::follow()
{
    if (!m_fade.isRunning()) {
        deleteLater();
        hide();
        if (m_incoming)
            setWidgetOpacity(m_incoming, 1.0);
        return;
    }
    if (m_incoming)
        setWidgetOpacity(m_incoming, m_fade.progress());
    update();
}

void CrossFadeOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setOpacity(1.0 - m_fade.progress());
    painter.drawPixmap(rect(), m_picture);
}
