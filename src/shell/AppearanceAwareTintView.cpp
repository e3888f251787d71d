#include "shell/AppearanceAwareTintView.h"

#include <QEvent>
#include <QPainter>

AppearanceAwareTintView::AppearanceAwareTintView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

QColor AppearanceAwareTintView::tintColor() const
{
    // Qt 6.4 has no colour-scheme query; the window colour's lightness tells dark from light.
    const bool dark = palette().color(QPalette::Window).lightnessF() < 0.5;
    return dark ? QColor::fromRgbF(0, 0, 0, 0.4f) : QColor::fromRgbF(1, 1, 1, 0.6f);
}

void AppearanceAwareTintView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), tintColor());
}

void AppearanceAwareTintView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        update();
    QWidget::changeEvent(event);
}
