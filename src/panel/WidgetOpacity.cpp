#include "panel/WidgetOpacity.h"

#include <QGraphicsOpacityEffect>
#include <QWidget>

#include <algorithm>

void setWidgetOpacity(QWidget *widget, double opacity)
{
    opacity = std::clamp(opacity, 0.0, 1.0);
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
    if (!effect) {
        if (opacity == 1.0)
            return;
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
    effect->setEnabled(opacity < 1.0);
}

double widgetOpacity(const QWidget *widget)
{
    const auto *effect = qobject_cast<const QGraphicsOpacityEffect *>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}
