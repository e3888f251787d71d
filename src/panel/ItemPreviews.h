#pragma once

#include <QRectF>
#include <QUuid>

#include <functional>

class QWidget;

// The item preview window beside the panel while the pointer rests on an item. Main thread
// only.
class ItemPreviews
{
public:
    virtual ~ItemPreviews() = default;

    // Shows an item's preview beside anchor (screen coordinates); content makes the preview's
    // view and is called only when the window does not show this item already.
    virtual void showPreview(
        const std::function<QWidget *()> &content, const QUuid &itemId, const QRectF &anchor)
        = 0;
    // The preview goes after a moment, unless another show comes first.
    virtual void schedulePreviewHide() = 0;
    virtual void hidePreview(bool animated) = 0;
};
