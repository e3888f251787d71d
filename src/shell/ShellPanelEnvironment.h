#pragma once

#include "items/CodeHighlighting.h"
#include "panel/HistoryResizer.h"
#include "panel/ItemAvailability.h"
#include "panel/ItemMenuHost.h"
#include "panel/ItemPreviews.h"
#include "panel/PanelRoles.h"
#include "panel/PanelShell.h"
#include "panel/PanelWindow.h"
#include "panel/ProductLinks.h"
#include "panel/StoreMaintenance.h"

#include <QPointer>

class AppDelegate;
class AppSettings;
class FileAvailabilityService;
class ModelContainer;
class QWidget;
class ClipboardPanel;
class PasteService;
class Workspace;

// The panel view's surroundings in the running app: the application delegate shows and
// hides the panel and remembers the window that was in front, the panel window resizes,
// the shared highlight cache colours the code lines, and the clipboard monitor's database
// actor keeps the store file small. The paste service itself is the panel's pasteboard: it
// writes the clipboard and sends the paste keystroke.
class ShellPanelEnvironment final : public PanelShell,
                                    public PanelWindow,
                                    public HistoryResizer,
                                    public ItemPreviews,
                                    public ItemMenuHost,
                                    public CodeHighlighting,
                                    public ItemAvailability,
                                    public StoreMaintenance,
                                    public ProductLinks
{
public:
    ShellPanelEnvironment(AppDelegate &delegate, ClipboardPanel &panel, PasteService &pasteService,
        Workspace &workspace, AppSettings &settings, FileAvailabilityService &availability);

    // What the delegate calls to fill a new panel window: the panel view over the main
    // context, with an environment of its own that lives exactly as long as the view.
    static std::function<QWidget *(AppDelegate &, ClipboardPanel &)> panelViewFactory(Workspace &workspace,
        ModelContainer &container, AppSettings &settings, FileAvailabilityService &availability);

    // The roles handed to the panel view.
    PanelRoles roles();

    void hidePanel(bool restoreFocus) override;
    void resignPanelKey() override;
    void activatePreviousApplication() override;
    bool showCharacterPalette() override;
    void openSettings(std::optional<int> tab) override;
    bool hasTrayMenu() const override;
    void quitApplication() override;
    QUrl productHomepage() const override;
    void openUrl(const QUrl &url) override;
    void showPreview(
        const std::function<QWidget *()> &content, const QUuid &itemId, const QRectF &anchor) override;
    void schedulePreviewHide() override;
    void hidePreview(bool animated) override;

    bool hasPanelWindow() const override { return !m_panel.isNull(); }
    QRectF panelFrame() const override;
    QRectF screenVisibleFrame() const override;
    bool isAnimatingHistory() const override;
    void ensureMinimumWidth(double width) override;
    void updateColumnCount(int columnCount, double duration) override;
    void lockToTabMode(int columnCount) override;
    void setHostingWidth(std::optional<double> width) override;
    void unpinHostingWidth() override;
    void resizeForHistoryToggle(
        bool adding, int columnCount, double duration, std::function<void()> completion) override;

    void invalidateHighlightCache(const QUuid &itemId) override;
    void releaseHighlighter() override;
    void clearHighlightCache() override;
    QList<CodeLine> codeLines(const ClipboardItem &item, int maxLines, const QPalette &palette) override;

    QFuture<std::optional<QString>> svgString(const ClipboardItem &item) override;
    void itemMenuWillOpen(QMenu *menu) override;

    void checkpointStore() override;
    void compactStore() override;

    bool isFileAvailable(const ClipboardItem &item) override;
    void refreshMountedVolumes() override;

private:
    AppDelegate &m_delegate;
    QPointer<ClipboardPanel> m_panel;
    PasteService &m_pasteService;
    Workspace &m_workspace;
    AppSettings &m_settings;
    FileAvailabilityService &m_availability;
};
