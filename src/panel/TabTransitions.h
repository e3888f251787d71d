#pragma once

#include "common/AnimatedValue.h"
#include "panel/CrossFade.h"

#include <QList>
#include <QObject>
#include <QRectF>

class PanelAnimations;
class PanelTabLayout;

// How the tab header and the tab's content move, without widgets: the selected tab's highlight
// slides from the tab it was on to the new one, the tab's content cross-fades, and "Clear"
// fades in and out with the pointer over the header. Each moves as its change was performed
// (a tab chosen by the user, the pointer's hover) and jumps otherwise. Main thread only.
class TabTransitions final : public QObject
{
    Q_OBJECT

public:
    TabTransitions(PanelAnimations &animations, PanelTabLayout &layout, QObject *parent = nullptr);

    // Where the highlight is, as a tab index: 1.5 is halfway from the second tab to the third.
    double highlightPosition() const { return m_highlight.value(); }
    // The highlight's rectangle among the tabs' rectangles; empty without tabs.
    static QRectF highlightRect(const QList<QRectF> &tabs, double position);
    const CrossFade &contentFade() const { return m_contentFade; }

    // How much of the header's hover shows: 0 off the header, 1 over it.
    double headerHover() const { return m_headerHover.value(); }
    bool isHeaderHovered() const { return m_headerHovered; }
    void setHeaderHovered(bool hovered);

Q_SIGNALS:
    // The highlight or the hover moved.
    void changed();

private:
    PanelAnimations &m_animations;
    AnimatedValue m_highlight;
    CrossFade m_contentFade;
    AnimatedValue m_headerHover;
    bool m_headerHovered = false;
};
