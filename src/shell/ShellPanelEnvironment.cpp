#include "shell/ShellPanelEnvironment.h"

#include "capture/ClipboardMonitor.h"
#include "common/Diagnostics.h"
#include "common/NotificationCenter.h"
#include "detection/HighlightCacheService.h"
#include "enrichment/FileAvailabilityService.h"
#include "items/CachedCodeLine.h"
#include "items/LabelEditState.h"
#include "items/SwipeStateManager.h"

#include "model/AppSettings.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/ModelContainer.h"
#include "panel/ClipboardPanelView.h"
#include "platform/EmojiPicker.h"
#include "shell/AppDelegate.h"
#include "shell/ClipboardPanel.h"
#include "shell/PasteService.h"
#include "shell/PreviewPanelManager.h"
#include "shell/SettingsLinkHelper.h"

ShellPanelEnvironment::ShellPanelEnvironment(AppDelegate &delegate, ClipboardPanel &panel,
    PasteService &pasteService, Workspace &workspace, AppSettings &settings,
    FileAvailabilityService &availability)
    : m_delegate(delegate)
    , m_panel(&panel)
    , m_pasteService(pasteService)
    , m_workspace(workspace)
    , m_settings(settings)
    , m_availability(availability)
{ }

std::function<QWidget *(AppDelegate &, ClipboardPanel &)> ShellPanelEnvironment::panelViewFactory(
    Workspace &workspace, ModelContainer &container, AppSettings &settings,
    FileAvailabilityService &availability)
{
    return [&workspace, &container, &settings, &availability](
               AppDelegate &delegate, ClipboardPanel &panel) -> QWidget * {
        auto *environment = new ShellPanelEnvironment(
            delegate, panel, *delegate.pasteService(), workspace, settings, availability);
        auto *view = new ClipboardPanelView(*container.mainContext(), environment->roles(),
            panel.panelController(), settings, { SwipeStateManager::shared(), LabelEditState::shared() });
        // Gone after the view has finished with it (the signal comes once the view's own
        // destructors have run).
        QObject::connect(view, &QObject::destroyed, [environment] { delete environment; });
        return view;
    };
}

PanelRoles ShellPanelEnvironment::roles()
{
    return { *this, *this, *this, m_pasteService, *this, *this, *this, *this, *this, *this };
}

void ShellPanelEnvironment::hidePanel(bool restoreFocus)
{
    m_delegate.hidePanel(restoreFocus);
}

void ShellPanelEnvironment::resignPanelKey()
{
    // A pinned panel stays on screen; the keyboard goes back to the window it was opened over.
    activatePreviousApplication();
}

void ShellPanelEnvironment::activatePreviousApplication()
{
    if (const std::optional<RunningApplication> previous = m_delegate.previousApp())
        m_workspace.activate(*previous);
}

bool ShellPanelEnvironment::showCharacterPalette()
{
    return EmojiPicker().open();
}

void ShellPanelEnvironment::openSettings(std::optional<int> tab)
{
    SettingsLinkHelper::shared().openSettings(tab);
}

bool ShellPanelEnvironment::hasTrayMenu() const
{
    return m_delegate.hasTrayMenu();
}

void ShellPanelEnvironment::quitApplication()
{
    m_delegate.quit();
}

QUrl ShellPanelEnvironment::productHomepage() const
{
    return QUrl(QStringLiteral(TINDLEWICK_HOMEPAGE_URL));
}

void ShellPanelEnvironment::openUrl(const QUrl &url)
{
    if (!m_workspace.openUrl(url))
        printDiagnostic(QStringLiteral("[PanelBannerView] The desktop could not open ") + url.toString());
}

void ShellPanelEnvironment::showPreview(
    const std::function<QWidget *()> &content, const QUuid &itemId, const QRectF &anchor)
{
    // Only for the panel on screen: a preview must not outlive its panel.
    if (m_panel && m_panel->isVisible())
        PreviewPanelManager::shared().show(content, itemId, anchor);
}

void ShellPanelEnvironment::schedulePreviewHide()
{
    PreviewPanelManager::shared().scheduleHide();
}

void ShellPanelEnvironment::hidePreview(bool animated)
{
    PreviewPanelManager::shared().hide(animated);
}

QFuture<std::optional<QString>> ShellPanelEnvironment::svgString(const ClipboardItem &item)
{
    if (item.resolvedItem().type() != ClipboardItemType::media)
        return QtFuture::makeReadyFuture(std::optional<QString>());
    return PasteService::svgString(item);
}

void ShellPanelEnvironment::itemMenuWillOpen(QMenu *menu)
{
    m_delegate.setActiveMenu(menu);
}

QRectF ShellPanelEnvironment::panelFrame() const
{
    return m_panel ? m_panel->frame() : QRectF();
}

QRectF ShellPanelEnvironment::screenVisibleFrame() const
{
    return m_panel ? m_panel->visibleFrame() : QRectF(0, 0, 1920, 1080);
}

bool ShellPanelEnvironment::isAnimatingHistory() const
{
    return m_panel && m_panel->isAnimatingHistory();
}

void ShellPanelEnvironment::ensureMinimumWidth(double width)
{
    if (m_panel)
        m_panel->ensureMinimumWidth(width);
}

void ShellPanelEnvironment::updateColumnCount(int columnCount, double duration)
{
    if (m_panel)
        m_panel->updateColumnCount(columnCount, duration);
}

void ShellPanelEnvironment::lockToTabMode(int columnCount)
{
    if (m_panel)
        m_panel->lockToTabMode(columnCount);
}

void ShellPanelEnvironment::setHostingWidth(std::optional<double> width)
{
    if (m_panel)
        m_panel->setHostingWidth(width);
}

void ShellPanelEnvironment::unpinHostingWidth()
{
    if (m_panel)
        m_panel->clearHostingWidth();
}

void ShellPanelEnvironment::resizeForHistoryToggle(
    bool adding, int columnCount, double duration, std::function<void()> completion)
{
    if (!m_panel) {
        if (completion)
            completion();
        return;
    }
    m_panel->resizeForHistoryToggle(adding, columnCount, duration, std::move(completion));
}

void ShellPanelEnvironment::invalidateHighlightCache(const QUuid &itemId)
{
    HighlightCacheService::shared().invalidate(itemId);
}

void ShellPanelEnvironment::releaseHighlighter()
{
    HighlightCacheService::shared().resetHighlighter();
}

void ShellPanelEnvironment::clearHighlightCache()
{
    HighlightCacheService &cache = HighlightCacheService::shared();
    cache.clearMemoryCache();
    cache.resetHighlighter();
}

QList<CodeLine> ShellPanelEnvironment::codeLines(
    const ClipboardItem &item, int maxLines, const QPalette &palette)
{
    return CachedCodeLine::lines(
        item, maxLines, palette, m_settings.codeTheme(), HighlightCacheService::shared());
}

void ShellPanelEnvironment::checkpointStore()
{
    if (ClipboardMonitor *monitor = m_delegate.clipboardMonitor())
        monitor->databaseActor().checkpointWAL();
}

void ShellPanelEnvironment::compactStore()
{
    if (ClipboardMonitor *monitor = m_delegate.clipboardMonitor())
        monitor->databaseActor().compactStore();
}

bool ShellPanelEnvironment::isFileAvailable(const ClipboardItem &item)
{
    return m_availability.isAvailable(item);
}

void ShellPanelEnvironment::refreshMountedVolumes()
{
    m_availability.refreshMountedVolumes();
}
