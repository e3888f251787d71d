#include "panel/PanelViewState.h"

#include "common/NotificationCenter.h"
#include "items/SwipeStateManager.h"
#include "model/AppSettings.h"
#include "panel/CategoryTitles.h"
#include "panel/PanelWindow.h"

#include <QPointer>

namespace {

constexpr Clock::Duration bannerFade { 250 };

} // namespace

#include <algorithm>

PanelViewState::PanelViewState(ModelContext &context, const PanelRoles &roles, PanelController *controller,
    AppSettings &settings, RowStates rows, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_roles(roles)
    , m_rows(rows)
    , m_settings(settings)
    , m_ownController(controller ? nullptr : std::make_unique<PanelController>(nullptr, false))
    , m_controller(controller ? controller : m_ownController.get())
    , m_animations(clock)
    , m_hoverTracker(m_selection, m_hoverMarkers, clock)
    , m_items(context, roles.files, clock, m_animations)
    , m_lists(settings, m_items, m_search, m_selection, clock)
    , m_layout(m_lists, m_selection, roles.window, *m_controller, settings, m_animations)
    , m_tabTransitions(m_animations, m_layout)
    , m_viewModeFade(m_animations)
    , m_historyToggle(clock, roles.window, roles.historyResizer, *m_controller, m_lists, m_layout)
    , m_navigation(m_lists, m_layout, m_selection)
    , m_toast(clock)
    , m_updateBanner(clock)
    , m_shareBanner(roles.links, settings, clock)
    , m_actions({ context, roles.shell, roles.pasteboard, roles.highlighting, roles.store, *m_controller,
          m_items, m_lists, m_search, m_toast, m_animations, clock })
    , m_keyboard({ m_navigation, m_search, m_layout, m_actions, m_historyToggle, *m_controller, roles.shell,
          rows.labelEditing, m_toast })
{
    connectParts();

    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(Notifications::panelWillShow, this, [this](const QVariantMap &) { panelWillShow(); });
    center.addObserver(
        Notifications::volumesDidChange, this, [this](const QVariantMap &) { m_items.refresh(); });
    center.addObserver(
        Notifications::tabNavigateForward, this, [this](const QVariantMap &) { tabForward(); });
    center.addObserver(
        Notifications::tabNavigateBackward, this, [this](const QVariantMap &) { tabBackward(); });
}

PanelViewState::~PanelViewState() = default;

void PanelViewState::connectParts()
{
    connect(&m_search, &PanelSearch::textChanged, this, &PanelViewState::searchTextChanged);
    connect(&m_search, &PanelSearch::edited, this, [this] {
        m_selection.setSelectedItemIndex(std::nullopt);
        m_rows.swipes.closeOpenRow();
        Q_EMIT columnsChanged();
    });
    connect(&m_search, &PanelSearch::emojiTyped, &m_actions, &PanelItemActions::insertText);
    connect(&m_search, &PanelSearch::emojiModeChanged, this, &PanelViewState::isEmojiModeChanged);

    connect(&m_lists, &PanelCategoryLists::categoriesChanged, this, &PanelViewState::categoriesChanged);
    connect(&m_lists, &PanelCategoryLists::columnsChanged, this, &PanelViewState::columnsChanged);
    connect(&m_lists, &PanelCategoryLists::historyCollapsedChanged, this,
        &PanelViewState::isHistoryCollapsedChanged);

    connect(&m_layout, &PanelTabLayout::tabModeChanged, this, &PanelViewState::isInTabModeChanged);
    connect(&m_layout, &PanelTabLayout::selectedTabIndexChanged, this, [this](int index) {
        Q_EMIT selectedTabIndexChanged(index);
        m_rows.swipes.closeOpenRow();
    });
    connect(&m_layout, &PanelTabLayout::currentColumnWidthChanged, this,
        &PanelViewState::currentColumnWidthChanged);
    connect(&m_layout, &PanelTabLayout::visibleColumnCountChanged, this, [this](int count) {
        Q_EMIT visibleColumnCountChanged(count);
        visibleColumnCountDidChange(count);
    });
    connect(&m_layout, &PanelTabLayout::columnsChanged, this, &PanelViewState::columnsChanged);

    connect(&m_historyToggle, &HistoryToggle::changed, this, &PanelViewState::historyToggleChanged);
    connect(&m_historyToggle, &HistoryToggle::animationFrame, this, &PanelViewState::historyAnimationFrame);
    connect(&m_toast, &PanelToast::messageChanged, this, &PanelViewState::toastMessageChanged);
    connect(&m_toast, &PanelToast::presentationChanged, this, &PanelViewState::toastPresentationChanged);

    // The update banner fades in and out over 0.25 s.
    if (m_settings.showUpdateSuccessBanner())
        m_updateBanner.show(Clock::Duration(0));
    connect(&m_settings, &AppSettings::showUpdateSuccessBannerChanged, this, [this](bool show) {
        if (show)
            m_updateBanner.show(bannerFade);
        else
            m_updateBanner.hide(bannerFade);
    });
    connect(&m_updateBanner, &FadePresence::changed, this, &PanelViewState::updateBannerChanged);
    connect(&m_shareBanner, &ShareBanner::changed, this, &PanelViewState::shareBannerChanged);
    connect(&m_actions, &PanelItemActions::showClearConfirmationChanged, this,
        &PanelViewState::showClearConfirmationChanged);

    connect(m_controller, &PanelController::isPinnedChanged, this, [this](bool pinned) {
        Q_EMIT isPinnedChanged(pinned);
        // Volumes are only re-read while the panel stays open for long.
        m_items.setRefreshesVolumes(pinned);
    });
}

// A new column count steers the window: wider for more columns, locked to tabs when tabs
// show, or back to its minimum width when nothing is left. Not while the History toggle
// resizes the window itself.
void PanelViewState::visibleColumnCountDidChange(int count)
{
    if (m_historyToggle.isRunning() || m_historyToggle.toggledRecently())
        return;
    const bool tabMode = m_layout.isInTabMode();
    QPointer<PanelViewState> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, count, tabMode] {
            if (!self || !self->m_roles.window.hasPanelWindow())
                return;
            if (count == 0)
                self->m_roles.window.ensureMinimumWidth(PanelLayout::minimumPanelWidth);
            else if (count == 1 || !tabMode)
                self->m_roles.window.updateColumnCount(count, 0.0);
            else
                self->m_roles.window.lockToTabMode(count);
        },
        Qt::QueuedConnection);
}

QList<CategoryColumnConfig> PanelViewState::columnConfigs(double columnWidth) const
{
    const CategoryList &visible = cachedCategories().visible;
    const bool collapsed = isHistoryCollapsed();
    const std::optional<QString> animating = animatingToggleCategory();
    QList<CategoryColumnConfig> configs;
    int offset = 0;
    for (const Category &category : visible) {
        const bool isHistory = category.title == CategoryTitle::history;
        CategoryColumnConfig config;
        config.title = category.title;
        config.items = category.items;
        config.columnWidth = columnWidth;
        config.isHistoryCollapsed = collapsed;
        config.isHistoryColumn = isHistory;
        config.toggleFadeOpacity = m_historyToggle.toggleOpacity(isHistory);
        config.isSearching = m_search.isSearching();
        config.isPinnedExpanded = isPinnedGroupExpanded(category.title);
        config.itemsOrderRevision = m_items.orderRevision();
        config.canClearColumn = std::any_of(category.items.begin(), category.items.end(),
            [](const ClipboardItemPtr &item) { return !item->isPinned(); });
        if (isHistory) {
            config.columnIndex = 0;
            config.showHistoryToggle = !collapsed || animating == CategoryTitle::history;
            config.showDivider = true;
        } else {
            config.columnIndex = collapsed ? offset : offset + 1;
            config.showHistoryToggle = (collapsed && config.columnIndex == 0) || animating == category.title;
            config.showDivider = config.columnIndex != visible.size() - 1;
            config.viewMode = isGridCategory(category.title) ? AppSettings::ColumnViewMode::grid
                                                             : AppSettings::ColumnViewMode::list;
            config.canToggleViewMode = hasViewModeToggle(category.title);
            config.showViewModeToggle = config.canToggleViewMode;
            ++offset;
        }
        configs.append(config);
    }
    return configs;
}

std::optional<CategoryColumnConfig> PanelViewState::tabColumnConfig(double width) const
{
    const CategoryList &tabs = cachedCategories().tabs;
    const int index = selectedTabIndex();
    if (index < 0 || index >= tabs.size())
        return std::nullopt;
    const Category &category = tabs[index];
    CategoryColumnConfig config;
    config.title = category.title;
    config.items = category.items;
    config.columnWidth = width;
    config.columnIndex = index;
    config.isHistoryColumn = category.title == CategoryTitle::history;
    config.showTitle = false;
    config.viewMode = isGridCategory(category.title) ? AppSettings::ColumnViewMode::grid
                                                     : AppSettings::ColumnViewMode::list;
    config.isSearching = m_search.isSearching();
    config.isPinnedExpanded = isPinnedGroupExpanded(category.title);
    config.itemsOrderRevision = m_items.orderRevision();
    return config;
}

void PanelViewState::toggleViewMode(const QString &title)
{
    m_animations.perform(PanelChange::viewModeToggle, [this, title] {
        m_viewModeFade.start(title);
        m_lists.toggleViewMode(title);
    });
}

void PanelViewState::setPinnedGroupExpanded(const QString &title, bool expanded)
{
    m_lists.setPinnedGroupExpanded(title, expanded);
}

void PanelViewState::columnScrolled()
{
    m_hoverTracker.scrollWiped();
}

void PanelViewState::dismissUpdateBanner()
{
    m_settings.setShowUpdateSuccessBanner(false);
}

void PanelViewState::appear()
{
    m_selection.select(0, std::nullopt);
    m_items.refresh();
    m_shareBanner.panelWillShow(m_items.shownItems().size(), m_updateBanner.isShown());
    m_rows.swipes.startMonitoring();
}

void PanelViewState::panelWillShow()
{
    m_selection.select(0, std::nullopt);
    m_items.refreshIfChanged();
    m_shareBanner.panelWillShow(m_items.shownItems().size(), m_updateBanner.isShown());
    m_rows.swipes.closeOpenRow();
    setShowClearConfirmation(false);
}
