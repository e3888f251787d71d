#pragma once

#include "panel/EveryPanelRole.h"

#include <QPointer>
#include <QWidget>

// The panel on its own for measurements: hides its window, answers file availability from the
// disk, shows code unhighlighted, writes no clipboard, sends no keystrokes, resizes nothing,
// leaves the store file as it is.
class BenchPanelEnvironment final : public EveryPanelRole
{
public:
    // window: the top-level window that shows the panel, held weakly.
    explicit BenchPanelEnvironment(QWidget *window = nullptr);
    void setWindow(QWidget *window) { m_window = window; }

    void hidePanel(bool restoreFocus) override;
    void resignPanelKey() override { }
    void activatePreviousApplication() override { }
    bool showCharacterPalette() override { return false; }
    void openSettings(std::optional<int>) override { }
    bool hasTrayMenu() const override { return true; }
    void quitApplication() override { }
    QUrl productHomepage() const override { return {}; }
    void openUrl(const QUrl &) override { }
    void showPreview(const std::function<QWidget *()> &, const QUuid &, const QRectF &) override { }
    void schedulePreviewHide() override { }
    void hidePreview(bool) override { }

    bool copyToPasteboard(const ClipboardItemPtr &, bool) override { return false; }
    void copyStringToPasteboard(const QString &) override { }
    void simulatePaste() override { }
    Qt::KeyboardModifiers queryKeyboardModifiers() const override;

    bool hasPanelWindow() const override { return !m_window.isNull(); }
    QRectF panelFrame() const override;
    QRectF screenVisibleFrame() const override;
    bool isAnimatingHistory() const override { return false; }
    void ensureMinimumWidth(double width) override;
    void updateColumnCount(int, double) override { }
    void lockToTabMode(int) override { }
    void setHostingWidth(std::optional<double>) override { }
    void unpinHostingWidth() override { }
    void resizeForHistoryToggle(bool, int, double, std::function<void()> completion) override;

    void invalidateHighlightCache(const QUuid &) override { }
    void releaseHighlighter() override { }
    void clearHighlightCache() override { }
    QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, const QPalette &palette) override;

    void checkpointStore() override { }
    void compactStore() override { }

    bool isFileAvailable(const ClipboardItem &item) override;
    void refreshMountedVolumes() override;
    QFuture<std::optional<QString>> svgString(const ClipboardItem &) override
    {
        return QtFuture::makeReadyFuture(std::optional<QString>());
    }
    void itemMenuWillOpen(QMenu *) override { }

private:
    QPointer<QWidget> m_window;
};
