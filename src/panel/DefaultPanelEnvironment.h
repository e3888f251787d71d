#pragma once

#include "panel/PanelEnvironment.h"

#include <QPointer>
#include <QWidget>

// What the panel can do on its own, without the application shell: hide its window, write the
// clipboard through Qt, answer file availability from the disk and show code unhighlighted. It
// sends no keystrokes and resizes nothing. Used until the shell provides its own environment.
class DefaultPanelEnvironment : public PanelEnvironment
{
public:
    // window: the top-level window that shows the panel, held weakly.
    explicit DefaultPanelEnvironment(QWidget *window = nullptr) : m_window(window) {}
    void setWindow(QWidget *window) { m_window = window; }

    void hidePanel(bool restoreFocus) override;
    void resignPanelKey() override {}
    void activatePreviousApplication() override {}
    void showCharacterPalette() override {}

    void copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly) override;
    void copyStringToPasteboard(const QString &text) override;
    void simulatePaste() override {}
    Qt::KeyboardModifiers queryKeyboardModifiers() const override;

    bool hasPanelWindow() const override { return !m_window.isNull(); }
    QRectF panelFrame() const override;
    QRectF screenVisibleFrame() const override;
    bool isAnimatingHistory() const override { return false; }
    void ensureMinimumWidth(double width) override;
    void updateColumnCount(int, double) override {}
    void lockToTabMode(int) override {}
    void setHostingWidth(std::optional<double>) override {}
    void unpinHostingWidth() override {}
    void resizeForHistoryToggle(bool, int, double, std::function<void()> completion) override;

    void invalidateHighlightCache(const QUuid &) override {}
    void releaseHighlighter() override {}
    void clearHighlightCache() override {}
    QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, bool darkAppearance) override;

    bool isFileAvailable(const ClipboardItem &item) override;
    void refreshMountedVolumes() override;

private:
    QPointer<QWidget> m_window;
};
