#pragma once

#include <QRectF>
#include <QSizeF>

class QWidget;

// The floating window that shows an item's preview, as the preview manager drives it: it hosts
// one content view at a time, sizes itself to that content plus a transparent margin, never
// takes the focus and fades through its alpha. The app uses PreviewPanel; tests a fake.
class PreviewWindow
{
public:
    virtual ~PreviewWindow() = default;

    // Hosts the content (taking it over) in the window's card; nullptr drops the content.
    virtual void setContent(QWidget *content) = 0;
    virtual bool hasContent() const = 0;
    // The size the window wants for its content: the card's natural size plus the margin.
    virtual QSizeF fittingSize() const = 0;
    // Transparent space around the card (none where no compositor can show it).
    virtual double margin() const = 0;
    virtual QRectF frame() const = 0;
    virtual void setFrame(const QRectF &frame) = 0;
    // Shown above other windows without being activated.
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    virtual bool isVisible() const = 0;
    virtual void setAlpha(double alpha) = 0;
};
