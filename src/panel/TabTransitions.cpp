#include "panel/TabTransitions.h"

#include "common/Interpolation.h"
#include "panel/PanelAnimations.h"
#include "panel/PanelTabLayout.h"

#include <algorithm>
#include <cmath>

TabTransitions::TabTransitions(PanelAnimations &animations, PanelTabLayout &layout, QObject *parent)
    : QObject(parent)
    , m_animations(animations)
    , m_highlight(animations.clock(), layout.selectedTabIndex())
    , m_contentFade(animations)
    , m_headerHover(animations.clock(), 0.0)
{
    connect(&m_highlight, &AnimatedValue::valueChanged, this, &TabTransitions::changed);
    connect(&m_headerHover, &AnimatedValue::valueChanged, this, &TabTransitions::changed);
    connect(&layout, &PanelTabLayout::selectedTabIndexChanged, this, [this, &layout](int index) {
        m_animations.animate(m_highlight, index);
        // The content fades only where there is a tab's content to fade.
        if (layout.isInTabMode())
            m_contentFade.start(layout.tabTitles().value(index));
    });
}

QRectF TabTransitions::highlightRect(const QList<QRectF> &tabs, double position)
{
    if (tabs.isEmpty())
        return {};
    const double clamped = std::clamp(position, 0.0, double(tabs.size() - 1));
    const int from = int(std::floor(clamped));
    const int to = std::min(from + 1, int(tabs.size() - 1));
    return interpolatedRect(tabs[from], tabs[to], clamped - from);
}

void TabTransitions::setHeaderHovered(bool hovered)
{
    if (m_headerHovered == hovered)
        return;
    m_headerHovered = hovered;
    m_animations.perform(PanelChange::tabHeaderHover,
        [this, hovered] { m_animations.animate(m_headerHover, hovered ? 1.0 : 0.0); });
}
