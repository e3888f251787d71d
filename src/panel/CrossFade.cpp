#include "panel/CrossFade.h"

#include "panel/PanelAnimations.h"

CrossFade::CrossFade(PanelAnimations &animations, QObject *parent)
    : QObject(parent)
    , m_animations(animations)
    , m_progress(animations.clock(), 1.0)
{
    connect(&m_progress, &AnimatedValue::valueChanged, this, &CrossFade::changed);
}

void CrossFade::start(const QString &subject)
{
    m_subject = subject;
    m_progress.setValue(0.0);
    m_animations.animate(m_progress, 1.0);
}
