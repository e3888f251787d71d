#pragma once

#include "model/ClipboardDatabaseActor.h"
#include "panel/EveryPanelRole.h"
#include "panel/PanelCall.h"

#include <QFutureInterface>
#include <QSet>

// Plays every role the panel asks for: records each call with its arguments and answers from
// fields the test sets.
class FakePanelRoles final : public EveryPanelRole
{
public:
    // Every call in the order made.
    QList<PanelCall> calls;
    // The calls of one kind, in the order made.
    template <typename Call> QList<Call> callsOf() const
    {
        QList<Call> found;
        for (const PanelCall &call : calls) {
            if (const Call *match = std::get_if<Call>(&call))
                found.append(*match);
        }
        return found;
    }
    template <typename Call> int count() const { return int(callsOf<Call>().size()); }
    bool received(const PanelCall &call) const { return calls.contains(call); }
    QMenu *lastOpenedMenu() const
    {
        const QList<PanelCalls::ItemMenuWillOpen> opened = callsOf<PanelCalls::ItemMenuWillOpen>();
        return opened.isEmpty() ? nullptr : opened.last().menu;
    }
    QStringList copiedStrings() const
    {
        QStringList texts;
        for (const PanelCalls::CopyString &copy : callsOf<PanelCalls::CopyString>())
            texts.append(copy.text);
        return texts;
    }

    // The answers.
    bool hasCharacterPalette = true;
    // Whether a tray icon offers Settings... and Quit.
    bool trayMenu = true;
    QUrl homepage;
    // Whether there was something to write.
    bool copySucceeds = true;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    bool windowExists = true;
    QRectF frame { 0, 0, 1200, 600 };
    bool animatingHistory = false;
    // Completions of window resizes, run by the test when it wants the resize to end.
    QList<std::function<void()>> pendingResizeCompletions;
    bool completeResizesAtOnce = true;
    QSet<QUuid> unavailableItems;
    // The store maintenance runs here when a test sets it, as the running capture's does.
    ClipboardDatabaseActor *storeActor = nullptr;
    // The SVG source media items answer with, once svgReady.
    std::optional<QString> svgCode;
    QFutureInterface<std::optional<QString>> svgReading;

    void hidePanel(bool restoreFocus) override { calls.append(PanelCalls::HidePanel { restoreFocus }); }
    void resignPanelKey() override { calls.append(PanelCalls::ResignPanelKey {}); }
    void activatePreviousApplication() override { calls.append(PanelCalls::ActivatePreviousApplication {}); }
    bool showCharacterPalette() override
    {
        calls.append(PanelCalls::ShowCharacterPalette {});
        return hasCharacterPalette;
    }
    void openSettings(std::optional<int> tab) override { calls.append(PanelCalls::OpenSettings { tab }); }
    bool hasTrayMenu() const override { return trayMenu; }
    void quitApplication() override { calls.append(PanelCalls::QuitApplication {}); }

    QUrl productHomepage() const override { return homepage; }
    void openUrl(const QUrl &url) override { calls.append(PanelCalls::OpenUrl { url }); }

    void showPreview(const std::function<QWidget *()> &, const QUuid &itemId, const QRectF &anchor) override
    {
        calls.append(PanelCalls::ShowPreview { itemId, anchor });
    }
    void schedulePreviewHide() override { calls.append(PanelCalls::SchedulePreviewHide {}); }
    void hidePreview(bool animated) override { calls.append(PanelCalls::HidePreview { animated }); }

    bool copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly) override
    {
        calls.append(PanelCalls::CopyItem { item, plainTextOnly });
        return copySucceeds;
    }
    void copyStringToPasteboard(const QString &text) override
    {
        calls.append(PanelCalls::CopyString { text });
    }
    void simulatePaste() override { calls.append(PanelCalls::SimulatePaste {}); }
    Qt::KeyboardModifiers queryKeyboardModifiers() const override { return modifiers; }

    bool hasPanelWindow() const override { return windowExists; }
    QRectF panelFrame() const override { return frame; }
    QRectF screenVisibleFrame() const override { return QRectF(0, 0, 1440, 900); }
    void ensureMinimumWidth(double width) override { calls.append(PanelCalls::EnsureMinimumWidth { width }); }
    void updateColumnCount(int columnCount, double duration) override
    {
        calls.append(PanelCalls::UpdateColumnCount { columnCount, duration });
    }
    void lockToTabMode(int columnCount) override { calls.append(PanelCalls::LockToTabMode { columnCount }); }

    bool isAnimatingHistory() const override { return animatingHistory; }
    void setHostingWidth(std::optional<double> width) override
    {
        calls.append(PanelCalls::SetHostingWidth { width });
    }
    void unpinHostingWidth() override { calls.append(PanelCalls::UnpinHostingWidth {}); }
    void resizeForHistoryToggle(
        bool adding, int columnCount, double duration, std::function<void()> completion) override
    {
        calls.append(PanelCalls::ResizeForHistoryToggle { adding, columnCount, duration });
        if (completeResizesAtOnce)
            completion();
        else
            pendingResizeCompletions.append(std::move(completion));
    }

    QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, const QPalette &) override
    {
        return unhighlightedCodeLines(item, maxLines);
    }
    void invalidateHighlightCache(const QUuid &itemId) override
    {
        calls.append(PanelCalls::InvalidateHighlight { itemId });
    }
    void releaseHighlighter() override { calls.append(PanelCalls::ReleaseHighlighter {}); }
    void clearHighlightCache() override { calls.append(PanelCalls::ClearHighlightCache {}); }

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
    void itemMenuWillOpen(QMenu *menu) override { calls.append(PanelCalls::ItemMenuWillOpen { menu }); }

    void checkpointStore() override
    {
        calls.append(PanelCalls::CheckpointStore {});
        if (storeActor)
            storeActor->checkpointWAL();
    }
    void compactStore() override
    {
        calls.append(PanelCalls::CompactStore {});
        if (storeActor)
            storeActor->compactStore();
    }

    bool isFileAvailable(const ClipboardItem &item) override { return !unavailableItems.contains(item.id()); }
    void refreshMountedVolumes() override { calls.append(PanelCalls::RefreshMountedVolumes {}); }
};
