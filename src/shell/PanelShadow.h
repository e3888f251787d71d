#pragma once

#include <QMargins>
#include <QPixmap>

class QPainter;

// The soft shadow under the panel's rounded body where a compositor can show it: 20 around the
// body and 4 lower, as the body's own layer would cast, in a room of that size around it.
class PanelShadow final
{
public:
    static constexpr double radius = 20;
    static constexpr double offset = 4;
    static constexpr double opacity = 0.3;

    // The room the shadow needs around the body.
    static QMargins margins();

    // Paints the shadow of a body with this corner radius that fills a window of this size less
    // the margins; the picture is kept until the size changes.
    void paint(QPainter &painter, const QSize &window, double cornerRadius);

private:
    QPixmap m_picture;
};
