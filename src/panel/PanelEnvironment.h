#pragma once

#include "items/CodeLine.h"
#include "model/ClipboardItem.h"

#include <QFuture>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <optional>

class QMenu;
class QWidget;

// Everything the panel view asks of what lies outside it: the application shell that shows
// and hides the panel, the panel window, the paste service, the store's maintenance, the
// highlighting of code and the watch on file availability. The shell hands the panel one
// implementation; tests use a fake. Called on the main thread only.
class PanelEnvironment
{
public:
    virtual ~PanelEnvironment() = default;

    // -- Application shell
    // Hides the panel (the application delegate's hide; the window ordered out when there is
    // no delegate). With restoreFocus the window that was active before the panel came back.
    virtual void hidePanel(bool restoreFocus) = 0;
    // A pinned panel stays on screen but gives the keyboard back to the window behind it.
    virtual void resignPanelKey() = 0;
    // Gives the focus back to the window remembered when the panel was shown (never to any
    // other application); nothing when that window is gone.
    virtual void activatePreviousApplication() = 0;
    // Opens the desktop's emoji picker for the search field; false when none is installed.
    virtual bool showCharacterPalette() = 0;
    // Opens the settings window (or brings it to the front) on a tab (0 is General).
    virtual void openSettings(int tab) = 0;
    // The product's web page (a build setting); empty when the build names none.
    virtual QUrl productHomepage() const = 0;
    // Opens a web page with the desktop's browser.
    virtual void openUrl(const QUrl &url) = 0;

    // -- Item preview window, beside the panel while the pointer rests on an item
    // Shows an item's preview beside anchor (screen coordinates); content makes the preview's
    // view and is called only when the window does not show this item already.
    virtual void showPreview(
        const std::function<QWidget *()> &content, const QUuid &itemId, const QRectF &anchor)
        = 0;
    // The preview goes after a moment, unless another show comes first.
    virtual void schedulePreviewHide() = 0;
    virtual void hidePreview(bool animated) = 0;

    // -- Paste service
    // Writes the item (for a pinned reference the item it stands for) to the clipboard, without
    // its HTML when plainTextOnly; the clipboard monitor is told to ignore this change. False
    // when there was nothing to write (the clipboard is then left as it was).
    virtual bool copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly) = 0;
    // Replaces the clipboard with this text alone; the clipboard monitor is told to ignore
    // this change too.
    virtual void copyStringToPasteboard(const QString &text) = 0;
    // Sends the paste keystroke to the window that has the focus.
    virtual void simulatePaste() = 0;
    // The modifier keys held right now (Shift pastes without formatting).
    virtual Qt::KeyboardModifiers queryKeyboardModifiers() const = 0;

    // -- Panel window
    // False once the window is gone; the window calls below then do nothing.
    virtual bool hasPanelWindow() const = 0;
    virtual QRectF panelFrame() const = 0;
    // The usable area of the window's screen; 1920 x 1080 when it has none.
    virtual QRectF screenVisibleFrame() const = 0;
    virtual bool isAnimatingHistory() const = 0;
    virtual void ensureMinimumWidth(double width) = 0;
    virtual void updateColumnCount(int columnCount, double duration) = 0;
    virtual void lockToTabMode(int columnCount) = 0;
    // Pins the content to a width while the frame animates (nothing: its current width).
    virtual void setHostingWidth(std::optional<double> width) = 0;
    // Lets the content follow the window's width again.
    virtual void unpinHostingWidth() = 0;
    // Narrows or widens the window by one column; completion runs once, when the resize ends
    // (at once when there is nothing to resize).
    virtual void resizeForHistoryToggle(
        bool adding, int columnCount, double duration, std::function<void()> completion)
        = 0;

    // -- Code highlighting
    virtual void invalidateHighlightCache(const QUuid &itemId) = 0;
    // Drops the highlighter itself; it is built again when next needed.
    virtual void releaseHighlighter() = 0;
    // Empties the whole cache and drops the highlighter.
    virtual void clearHighlightCache() = 0;
    // The first lines of a code item as its row shows them.
    virtual QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, bool darkAppearance) = 0;

    // -- Item rows' context menus
    // The whole text of a media item's file when it is SVG source, read off the main thread;
    // nothing for any other item or file.
    virtual QFuture<std::optional<QString>> svgString(const ClipboardItem &item) = 0;
    // A row's context menu is about to open; hiding the panel closes it.
    virtual void itemMenuWillOpen(QMenu *menu) = 0;

    // -- Store maintenance, run by the clipboard capture's database actor after the panel
    // saved its changes
    // Folds the write-ahead log into the store file.
    virtual void checkpointStore() = 0;
    // Rebuilds the store file without its free pages, so that deleted content leaves the disk.
    virtual void compactStore() = 0;

    // -- File availability
    // False for a file or media item none of whose files can be reached.
    virtual bool isFileAvailable(const ClipboardItem &item) = 0;
    // Reads the mounted volumes again and announces "volumesDidChange".
    virtual void refreshMountedVolumes() = 0;

protected:
    // Until code is highlighted: the first lines as plain text.
    static QList<CodeLine> unhighlightedCodeLines(const ClipboardItem &item, int maxLines);
};
