// The panel's items, search, categories, layout and tabs. Keys are in PanelViewStateKeys.cpp,
// store changes and the History toggle in PanelViewStateActions.cpp.
#include "panel/PanelViewState.h"

#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "model/LiveQuery.h"
#include "model/ModelContext.h"
#include "panel/CategoryTitles.h"
#include "panel/EmojiText.h"
#include "panel/PanelController.h"
#include "panel/PanelEnvironment.h"

#include <algorithm>

namespace {

constexpr int availabilityRefreshIntervalMs = 10'000;
constexpr int toastDurationMs = 2'000;
// Search texts are filled this many items at a time between turns of the event loop.
constexpr qsizetype prewarmSliceSize = 5;

} // namespace

PanelViewState::PanelViewState(ModelContext &context, PanelEnvironment &environment,
    PanelController *controller, AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_environment(environment)
    , m_controller(controller)
    , m_settings(settings)
    , m_allItems(new LiveQuery(&context, FetchDescriptor::newestFirst(), this))
{
    m_lastItemsChangeKey = itemsChangeKey();
    connect(m_allItems, &LiveQuery::resultsChanged, this, &PanelViewState::allItemsChanged);

    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(Notifications::panelWillShow, this, [this](const QVariantMap &) { panelWillShow(); });
    center.addObserver(
        Notifications::volumesDidChange, this, [this](const QVariantMap &) { refreshItems(); });
    center.addObserver(
        Notifications::tabNavigateForward, this, [this](const QVariantMap &) { tabForward(); });
    center.addObserver(
        Notifications::tabNavigateBackward, this, [this](const QVariantMap &) { tabBackward(); });

    // The Code column comes or goes at once; a new limit reshapes History.
    connect(&m_settings, &AppSettings::detectCodeChanged, this,
        [this] { setCachedCategories(computeCategories()); });
    connect(&m_settings, &AppSettings::historyLimitChanged, this,
        [this] { setCachedCategories(computeCategories()); });
    for (auto signal : { &AppSettings::filesViewModeChanged, &AppSettings::mediaViewModeChanged,
             &AppSettings::colorsViewModeChanged })
        connect(&m_settings, signal, this, &PanelViewState::columnsChanged);

    m_availabilityTimer.setInterval(availabilityRefreshIntervalMs);
    connect(&m_availabilityTimer, &QTimer::timeout, this, [this] { m_environment.refreshMountedVolumes(); });
    m_toastTimer.setSingleShot(true);
    m_toastTimer.setInterval(toastDurationMs);
    connect(&m_toastTimer, &QTimer::timeout, this, [this] { setToastMessage(std::nullopt); });
}

PanelViewState::~PanelViewState() = default;

const QList<ClipboardItemPtr> &PanelViewState::allItems() const
{
    return m_allItems->results();
}

QString PanelViewState::itemsChangeKey() const
{
    return ::itemsChangeKey(allItems());
}

QList<ClipboardItemPtr> PanelViewState::filteredItems() const
{
    return filterItems(m_cachedFilteredItems, m_searchText);
}

CachedCategories PanelViewState::computeCategories() const
{
    return ::computeCategories(m_cachedFilteredItems, m_searchText, m_isHistoryCollapsed,
        m_settings.historyLimit(), m_settings.detectCode());
}

void PanelViewState::allItemsChanged()
{
    const QString key = itemsChangeKey();
    if (key == m_lastItemsChangeKey)
        return;
    m_lastItemsChangeKey = key;
    // Items that have left the store need no hiding any more.
    QSet<QUuid> stored;
    for (const ClipboardItemPtr &item : allItems())
        stored.insert(item->id());
    m_pendingDeletionIds.intersect(stored);
    refreshItems();
}

void PanelViewState::refreshItems()
{
    QList<ClipboardItemPtr> kept;
    kept.reserve(allItems().size());
    for (const ClipboardItemPtr &item : allItems()) {
        const ClipboardItemType kind = item->type();
        // The search text counts the files that still exist; they may have changed.
        if (kind == ClipboardItemType::file || kind == ClipboardItemType::media)
            item->computeSearchableText();
        if (m_pendingDeletionIds.contains(item->id()) || !m_environment.isFileAvailable(*item))
            continue;
        kept.append(item);
    }
    std::stable_sort(kept.begin(), kept.end(),
        [](const ClipboardItemPtr &a, const ClipboardItemPtr &b) { return isNewerByTimestamp(*a, *b); });
    m_cachedFilteredItems = std::move(kept);
    setCachedCategories(computeCategories());
    startPrewarm();
}

void PanelViewState::setCachedCategories(CachedCategories categories)
{
    const qsizetype oldTabCount = m_cachedCategories.tabs.size();
    m_cachedCategories = std::move(categories);
    boundSelectedColumn();
    Q_EMIT categoriesChanged();
    if (m_cachedCategories.tabs.size() != oldTabCount)
        tabsCountDidChange(int(m_cachedCategories.tabs.size()));
}

// A column that disappeared (its last item deleted, code detection switched off) must not
// leave the selection pointing past the end of the columns.
void PanelViewState::boundSelectedColumn()
{
    if (m_isInTabMode)
        return;
    const int count = int(m_cachedCategories.visible.size());
    if (m_selection.selectedColumnIndex() < count)
        return;
    m_selection.select(std::max(0, count - 1), std::nullopt);
}

// -- Search

void PanelViewState::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged(text);
    searchTextDidChange(text);
}

void PanelViewState::searchTextDidChange(const QString &text)
{
    if (m_isEmojiMode) {
        if (text.isEmpty())
            return;
        setIsEmojiMode(false);
        if (containsEmoji(text)) {
            setSearchText(QString());
            insertEmoji(text);
            return;
        }
    }
    m_selection.setSelectedItemIndex(std::nullopt);
    // Each keystroke cancels the previous recomputation; only the last of a burst runs.
    const quint64 generation = ++m_searchGeneration;
    QMetaObject::invokeMethod(
        this, [this, generation] { recomputeCategoriesAfterYield(generation); }, Qt::QueuedConnection);
    Q_EMIT columnsChanged();
}

void PanelViewState::recomputeCategoriesAfterYield(quint64 generation)
{
    if (generation != m_searchGeneration)
        return;
    CachedCategories categories = computeCategories();
    if (generation != m_searchGeneration)
        return;
    setCachedCategories(std::move(categories));
}

void PanelViewState::startPrewarm()
{
    const quint64 generation = ++m_prewarmGeneration;
    QMetaObject::invokeMethod(
        this, [this, generation] { prewarmSlice(generation, 0); }, Qt::QueuedConnection);
}

void PanelViewState::prewarmSlice(quint64 generation, qsizetype from)
{
    if (generation != m_prewarmGeneration)
        return;
    const qsizetype end = std::min(m_cachedFilteredItems.size(), from + prewarmSliceSize);
    for (qsizetype i = from; i < end; ++i) {
        const ClipboardItemPtr &item = m_cachedFilteredItems[i];
        if (!item->hasSearchableTextCache())
            item->computeSearchableText();
    }
    if (end < m_cachedFilteredItems.size())
        QMetaObject::invokeMethod(
            this, [this, generation, end] { prewarmSlice(generation, end); }, Qt::QueuedConnection);
}

void PanelViewState::setIsEmojiMode(bool value)
{
    if (m_isEmojiMode == value)
        return;
    m_isEmojiMode = value;
    Q_EMIT isEmojiModeChanged(value);
}

// -- Simple state

void PanelViewState::setIsPinned(bool pinned)
{
    if (m_isPinned == pinned)
        return;
    m_isPinned = pinned;
    Q_EMIT isPinnedChanged(pinned);
    isPinnedDidChange(pinned);
}

void PanelViewState::isPinnedDidChange(bool pinned)
{
    if (m_controller)
        m_controller->setIsPinned(pinned);
    // Volumes are only re-read while the panel stays open for long.
    if (pinned)
        m_availabilityTimer.start();
    else
        m_availabilityTimer.stop();
}

void PanelViewState::setShowClearConfirmation(bool show)
{
    if (m_showClearConfirmation == show)
        return;
    m_showClearConfirmation = show;
    Q_EMIT showClearConfirmationChanged(show);
}

void PanelViewState::setToastMessage(const std::optional<QString> &message)
{
    if (m_toastMessage == message)
        return;
    const bool appears = !m_toastMessage && message;
    m_toastMessage = message;
    // The toast leaves 2 s after it appeared, whatever text it shows by then.
    if (appears)
        m_toastTimer.start();
    Q_EMIT toastMessageChanged();
}

void PanelViewState::dismissUpdateBanner()
{
    m_settings.setShowUpdateSuccessBanner(false);
}

// -- Lifecycle

void PanelViewState::appear()
{
    m_selection.select(0, std::nullopt);
    refreshItems();
}

void PanelViewState::panelWillShow()
{
    m_selection.select(0, std::nullopt);
    refreshItems();
    setShowClearConfirmation(false);
}

// -- Columns

bool PanelViewState::isGridCategory(const QString &title) const
{
    using Mode = AppSettings::ColumnViewMode;
    if (title == CategoryTitle::files)
        return m_settings.filesViewMode() == Mode::grid;
    if (title == CategoryTitle::media)
        return m_settings.mediaViewMode() == Mode::grid;
    if (title == CategoryTitle::colors)
        return m_settings.colorsViewMode() == Mode::grid;
    return false;
}

void PanelViewState::toggleViewMode(const QString &title)
{
    using Mode = AppSettings::ColumnViewMode;
    const Mode next = isGridCategory(title) ? Mode::list : Mode::grid;
    if (title == CategoryTitle::files)
        m_settings.setFilesViewMode(next);
    else if (title == CategoryTitle::media)
        m_settings.setMediaViewMode(next);
    else if (title == CategoryTitle::colors)
        m_settings.setColorsViewMode(next);
}

bool PanelViewState::isPinnedGroupExpanded(const QString &title) const
{
    return !m_searchText.isEmpty() || m_pinnedExpandedCategories.contains(title);
}

void PanelViewState::setPinnedGroupExpanded(const QString &title, bool expanded)
{
    if (!m_searchText.isEmpty())
        return;
    if (expanded) {
        m_pinnedExpandedCategories.insert(title);
    } else {
        m_pinnedExpandedCategories.remove(title);
        m_selection.setSelectedItemIndex(std::nullopt);
        // The cells move under the pointer as the group closes; they must not grab the selection.
        m_selection.setSuppressHoverSelection(true);
        QTimer::singleShot(300, this, [this] { m_selection.setSuppressHoverSelection(false); });
    }
    Q_EMIT columnsChanged();
}

QList<ClipboardItemPtr> PanelViewState::navigableItems(const Category &category) const
{
    return ::navigableItems(
        category.title, category.items, m_pinnedExpandedCategories.contains(category.title));
}

QList<GridSection> PanelViewState::gridSections(
    const Category &category, const QList<ClipboardItemPtr> &navigationList) const
{
    return ::gridSections(category.title, navigationList, isGridCategory(category.title),
        m_currentColumnWidth, m_pinnedExpandedCategories.contains(category.title));
}

std::optional<Category> PanelViewState::currentColumn() const
{
    const CategoryList &list = m_isInTabMode ? m_cachedCategories.tabs : m_cachedCategories.visible;
    const int index = m_isInTabMode ? m_selectedTabIndex : m_selection.selectedColumnIndex();
    if (index < 0 || index >= list.size())
        return std::nullopt;
    return list[index];
}

std::optional<int> PanelViewState::firstRowEndIndex(int visibleIndex) const
{
    if (visibleIndex < 0 || visibleIndex >= m_cachedCategories.visible.size())
        return std::nullopt;
    const Category &category = m_cachedCategories.visible[visibleIndex];
    const QList<ClipboardItemPtr> navigation = navigableItems(category);
    return ::firstRowEndIndex(gridSections(category, navigation), int(navigation.size()));
}

ClipboardItemPtr PanelViewState::selectedItem() const
{
    const std::optional<int> index = m_selection.selectedItemIndex();
    const std::optional<Category> column = currentColumn();
    if (!index || !column)
        return nullptr;
    const QList<ClipboardItemPtr> navigation = navigableItems(*column);
    return *index >= 0 && *index < navigation.size() ? navigation[*index] : nullptr;
}

// -- Layout and tabs

PanelLayout::Decision PanelViewState::layoutPass(double width)
{
    const bool inLiveResize = m_controller && m_controller->inLiveResize();
    const bool locked = m_controller && m_controller->isLockedInTabMode();
    const bool toggling = m_isHistoryToggling || (m_controller && m_controller->isHistoryToggling());
    const int visibleCount = int(m_cachedCategories.visible.size());
    const PanelLayout::Decision decision
        = PanelLayout::decide(width, visibleCount, inLiveResize, locked, toggling, m_currentColumnWidth);

    // Stored later, so that no state changes while the widgets are being laid out; the test
    // for a running toggle is made now.
    if (!m_isHistoryToggling) {
        QPointer<PanelViewState> self(this);
        auto store = [self](auto apply) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, apply] {
                    if (self)
                        apply(*self);
                },
                Qt::QueuedConnection);
        };
        if (decision.tabMode != m_isInTabMode)
            store([tabMode = decision.tabMode](PanelViewState &state) { state.setTabMode(tabMode); });
        if (decision.width != m_currentColumnWidth)
            store([width = decision.width](PanelViewState &state) { state.setCurrentColumnWidth(width); });
        if (visibleCount != m_visibleColumnCount)
            store([visibleCount](PanelViewState &state) { state.setVisibleColumnCount(visibleCount); });
    }
    return decision;
}

void PanelViewState::setTabMode(bool tabMode)
{
    if (m_isInTabMode != tabMode) {
        m_isInTabMode = tabMode;
        // Entering or leaving tab mode starts the selection afresh in the shown column.
        m_selection.setSelectedItemIndex(std::nullopt);
        if (tabMode)
            m_selection.setSelectedColumnIndex(m_selectedTabIndex);
        Q_EMIT isInTabModeChanged(tabMode);
        Q_EMIT columnsChanged();
    }
    if (m_environment.hasPanelWindow())
        m_environment.ensureMinimumWidth(tabMode ? tabBarWidth() : PanelLayout::minimumPanelWidth);
}

void PanelViewState::setCurrentColumnWidth(double width)
{
    if (m_currentColumnWidth == width)
        return;
    m_currentColumnWidth = width;
    Q_EMIT currentColumnWidthChanged(width);
}

void PanelViewState::setVisibleColumnCount(int count)
{
    if (m_visibleColumnCount == count)
        return;
    m_visibleColumnCount = count;
    Q_EMIT visibleColumnCountChanged(count);
    visibleColumnCountDidChange(count);
}

void PanelViewState::visibleColumnCountDidChange(int count)
{
    if (m_isHistoryToggling)
        return;
    // The toggle's own resize is still settling.
    if (m_lastHistoryToggleTime && Clock::now() - *m_lastHistoryToggleTime <= std::chrono::milliseconds(300))
        return;
    const bool tabMode = m_isInTabMode;
    QPointer<PanelViewState> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, count, tabMode] {
            if (!self || !self->m_environment.hasPanelWindow())
                return;
            if (count == 0)
                self->m_environment.ensureMinimumWidth(PanelLayout::minimumPanelWidth);
            else if (count == 1 || !tabMode)
                self->m_environment.updateColumnCount(count, 0.0);
            else
                self->m_environment.lockToTabMode(count);
        },
        Qt::QueuedConnection);
}

QStringList PanelViewState::tabTitles() const
{
    QStringList titles;
    for (const Category &category : m_cachedCategories.tabs)
        titles.append(category.title);
    return titles;
}

double PanelViewState::tabBarWidth() const
{
    return PanelLayout::tabBarWidth(tabTitles(), m_settings.fontSize());
}

bool PanelViewState::selectedTabCanClear() const
{
    if (m_selectedTabIndex < 0 || m_selectedTabIndex >= m_cachedCategories.tabs.size())
        return false;
    const QList<ClipboardItemPtr> &items = m_cachedCategories.tabs[m_selectedTabIndex].items;
    return std::any_of(
        items.begin(), items.end(), [](const ClipboardItemPtr &item) { return !item->isPinned(); });
}

void PanelViewState::setSelectedTabIndex(int index)
{
    if (m_selectedTabIndex == index)
        return;
    m_selectedTabIndex = index;
    Q_EMIT selectedTabIndexChanged(index);
    Q_EMIT columnsChanged();
    selectedTabDidChange(index);
}

void PanelViewState::selectedTabDidChange(int index)
{
    if (!m_isInTabMode)
        return;
    m_selection.setSelectedItemIndex(std::nullopt);
    m_selection.setSelectedColumnIndex(index);
}

void PanelViewState::tabsCountDidChange(int count)
{
    if (m_selectedTabIndex >= count)
        setSelectedTabIndex(std::max(count - 1, 0));
    if (m_isInTabMode && m_environment.hasPanelWindow())
        m_environment.ensureMinimumWidth(tabBarWidth());
}

void PanelViewState::selectTab(int index)
{
    setSelectedTabIndex(index);
}

QList<CategoryColumnConfig> PanelViewState::columnConfigs(double columnWidth) const
{
    const CategoryList &visible = m_cachedCategories.visible;
    QList<CategoryColumnConfig> configs;
    int offset = 0;
    for (const Category &category : visible) {
        const bool isHistory = category.title == CategoryTitle::history;
        CategoryColumnConfig config;
        config.title = category.title;
        config.items = category.items;
        config.columnWidth = columnWidth;
        config.isHistoryCollapsed = m_isHistoryCollapsed;
        config.isHistoryColumn = isHistory;
        config.toggleFadeOpacity = m_toggleAnimProgress;
        config.isSearching = !m_searchText.isEmpty();
        config.isPinnedExpanded = isPinnedGroupExpanded(category.title);
        config.canClearColumn = std::any_of(category.items.begin(), category.items.end(),
            [](const ClipboardItemPtr &item) { return !item->isPinned(); });
        if (isHistory) {
            config.columnIndex = 0;
            config.showHistoryToggle
                = !m_isHistoryCollapsed || m_animatingToggleCategory == CategoryTitle::history;
            config.showDivider = true;
        } else {
            config.columnIndex = m_isHistoryCollapsed ? offset : offset + 1;
            config.showHistoryToggle = (m_isHistoryCollapsed && config.columnIndex == 0)
                || m_animatingToggleCategory == category.title;
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
    if (m_selectedTabIndex < 0 || m_selectedTabIndex >= m_cachedCategories.tabs.size())
        return std::nullopt;
    const Category &category = m_cachedCategories.tabs[m_selectedTabIndex];
    CategoryColumnConfig config;
    config.title = category.title;
    config.items = category.items;
    config.columnWidth = width;
    config.columnIndex = m_selectedTabIndex;
    config.isHistoryColumn = category.title == CategoryTitle::history;
    config.showTitle = false;
    config.viewMode = isGridCategory(category.title) ? AppSettings::ColumnViewMode::grid
                                                     : AppSettings::ColumnViewMode::list;
    config.isSearching = !m_searchText.isEmpty();
    config.isPinnedExpanded = isPinnedGroupExpanded(category.title);
    return config;
}

void PanelViewState::clearItemSelection()
{
    m_selection.setSelectedItemIndex(std::nullopt);
    m_selection.setIsKeyboardNavigating(false);
}

void PanelViewState::columnScrolled()
{
    // The pointer tracker reads this to ignore the pointer briefly while content moves under it.
    m_selection.setLastScrollWipeTime(QDateTime::currentDateTimeUtc());
}
