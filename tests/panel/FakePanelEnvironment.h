#pragma once

#include "model/ClipboardDatabaseActor.h"
#include "panel/PanelEnvironment.h"

#include <QFutureInterface>
#include <QSet>
#include <QStringList>

// Records what the panel asks of its surroundings; answers from fields the test sets.
class FakePanelEnvironment final : public PanelEnvironment
{
public:
    QStringList calls;
    QList<std::pair<ClipboardItemPtr, bool>> copiedItems;
    QStringList copiedStrings;
    int pasteCount = 0;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    bool windowExists = true;
    QRectF frame { 0, 0, 1200, 600 };
    bool animatingHistory = false;
    // Completions of window resizes, run by the test when it wants the resize to end.
    QList<std::function<void()>> pendingResizeCompletions;
    bool completeResizesAtOnce = true;
    QSet<QUuid> unavailableItems;
    QList<QUuid> invalidatedHighlights;
    // The store maintenance runs here when a test sets it, as the running capture's does.
    ClipboardDatabaseActor *storeActor = nullptr;

    void hidePanel(bool restoreFocus) override { calls << QStringLiteral("hidePanel(%1)").arg(restoreFocus); }
    void resignPanelKey() override { calls << QStringLiteral("resignPanelKey"); }
    void activatePreviousApplication() override { calls << QStringLiteral("activatePreviousApplication"); }
    // Whether an emoji picker is installed.
    bool hasCharacterPalette = true;
    bool showCharacterPalette() override
    {
        calls << QStringLiteral("showCharacterPalette");
        return hasCharacterPalette;
    }
    void openSettings(int tab) override { calls << QStringLiteral("openSettings(%1)").arg(tab); }
    QUrl homepage;
    QUrl productHomepage() const override { return homepage; }
    QList<QUrl> openedUrls;
    void openUrl(const QUrl &url) override { openedUrls.append(url); }
    // The previews asked for, by item, with the anchor of each.
    QList<std::pair<QUuid, QRectF>> shownPreviews;
    void showPreview(const std::function<QWidget *()> &, const QUuid &itemId, const QRectF &anchor) override
    {
        calls << QStringLiteral("showPreview");
        shownPreviews.append({ itemId, anchor });
    }
    void schedulePreviewHide() override { calls << QStringLiteral("schedulePreviewHide"); }
    void hidePreview(bool animated) override { calls << QStringLiteral("hidePreview(%1)").arg(animated); }
    // What copyToPasteboard answers: whether there was something to write.
    bool copySucceeds = true;
    bool copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly) override
    {
        calls << QStringLiteral("copyToPasteboard");
        copiedItems.append({ item, plainTextOnly });
        return copySucceeds;
    }
    void copyStringToPasteboard(const QString &text) override
    {
        calls << QStringLiteral("copyStringToPasteboard");
        copiedStrings.append(text);
    }
    void simulatePaste() override
    {
        calls << QStringLiteral("simulatePaste");
        ++pasteCount;
    }
    Qt::KeyboardModifiers queryKeyboardModifiers() const override { return modifiers; }
    bool hasPanelWindow() const override { return windowExists; }
    QRectF panelFrame() const override { return frame; }
    QRectF screenVisibleFrame() const override { return QRectF(0, 0, 1440, 900); }
    bool isAnimatingHistory() const override { return animatingHistory; }
    void ensureMinimumWidth(double width) override
    {
        calls << QStringLiteral("ensureMinimumWidth(%1)").arg(width);
    }
    void updateColumnCount(int count, double duration) override
    {
        calls << QStringLiteral("updateColumnCount(%1,%2)").arg(count).arg(duration);
    }
    void lockToTabMode(int count) override { calls << QStringLiteral("lockToTabMode(%1)").arg(count); }
    void setHostingWidth(std::optional<double> width) override
    {
        calls << QStringLiteral("setHostingWidth(%1)")
                     .arg(width ? QString::number(*width) : QStringLiteral("none"));
    }
    void unpinHostingWidth() override { calls << QStringLiteral("unpinHostingWidth"); }
    void resizeForHistoryToggle(
        bool adding, int columnCount, double, std::function<void()> completion) override
    {
        calls << QStringLiteral("resizeForHistoryToggle(%1,%2)").arg(adding).arg(columnCount);
        if (completeResizesAtOnce)
            completion();
        else
            pendingResizeCompletions.append(std::move(completion));
    }
    void invalidateHighlightCache(const QUuid &id) override { invalidatedHighlights.append(id); }
    void releaseHighlighter() override { calls << QStringLiteral("releaseHighlighter"); }
    void clearHighlightCache() override { calls << QStringLiteral("clearHighlightCache"); }
    QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, bool) override
    {
        return plainCodeLines(item.textContent().value_or(QString()), maxLines);
    }
    void checkpointStore() override
    {
        calls << QStringLiteral("checkpointStore");
        if (storeActor)
            storeActor->checkpointWAL();
    }
    void compactStore() override
    {
        calls << QStringLiteral("compactStore");
        if (storeActor)
            storeActor->compactStore();
    }
    bool isFileAvailable(const ClipboardItem &item) override { return !unavailableItems.contains(item.id()); }
    void refreshMountedVolumes() override { calls << QStringLiteral("refreshMountedVolumes"); }
    // The SVG source media items answer with, once svgReady.
    std::optional<QString> svgCode;
    QFutureInterface<std::optional<QString>> svgReading;
    QFuture<std::optional<QString>> svgString(const ClipboardItem &item) override
    {
        if (item.resolvedItem().type() != ClipboardItemType::media)
            return QtFuture::makeReadyFuture(std::optional<QString>());
        svgReading = QFutureInterface<std::optional<QString>>();
        svgReading.reportStarted();
        return svgReading.future();
    }
    // Finishes the reading svgString began.
    void svgReady()
    {
        svgReading.reportResult(svgCode);
        svgReading.reportFinished();
    }
    QList<QMenu *> openedMenus;
    void itemMenuWillOpen(QMenu *menu) override { openedMenus.append(menu); }

    int count(const QString &call) const { return int(calls.count(call)); }
};
