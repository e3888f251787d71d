#pragma once

#include "model/ClipboardItem.h"

#include <QFuture>
#include <QString>

#include <optional>

class QMenu;

// What an item row's context menu needs from outside the panel. Main thread only.
class ItemMenuHost
{
public:
    virtual ~ItemMenuHost() = default;

    // The whole text of a media item's file when it is SVG source, read off the main thread;
    // nothing for any other item or file.
    virtual QFuture<std::optional<QString>> svgString(const ClipboardItem &item) = 0;
    // A row's context menu is about to open; hiding the panel closes it.
    virtual void itemMenuWillOpen(QMenu *menu) = 0;
};
