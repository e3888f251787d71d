#pragma once

#include "columns/CategoryColumnConfig.h"
#include "common/Clock.h"
#include "items/RowStates.h"
#include "panel/CrossFade.h"
#include "panel/FadePresence.h"
#include "panel/HistoryToggle.h"
#include "panel/HoverMarkerStore.h"
#include "panel/HoverTracker.h"
#include "panel/PanelAnimations.h"
#include "panel/PanelCategoryLists.h"
#include "panel/PanelController.h"
#include "panel/PanelItemActions.h"
#include "panel/PanelItems.h"
#include "panel/PanelKeyboard.h"
#include "panel/PanelNavigation.h"
#include "panel/PanelRoles.h"
#include "panel/PanelSearch.h"
#include "panel/PanelSelectionState.h"
#include "panel/PanelTabLayout.h"
#include "panel/PanelToast.h"
#include "panel/ShareBanner.h"
#include "panel/TabTransitions.h"

#include <QObject>

#include <memory>
#include <optional>

class AppSettings;
class ModelContext;

// The panel's state without its widgets, in parts with one owner for each piece of state: the
// showable items, the search, the category lists, columns or tabs, the History toggle, the
// selection and where keys move it, the actions on items, the toast. This facade wires them
// to each other and to the app's notifications, and is what the panel's widgets read and
// hand their input to. Main thread only.
class PanelViewState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool isPinned READ isPinned WRITE setIsPinned NOTIFY isPinnedChanged)
    Q_PROPERTY(bool isHistoryCollapsed READ isHistoryCollapsed NOTIFY isHistoryCollapsedChanged)
    Q_PROPERTY(
        int selectedTabIndex READ selectedTabIndex WRITE setSelectedTabIndex NOTIFY selectedTabIndexChanged)
    Q_PROPERTY(bool isInTabMode READ isInTabMode NOTIFY isInTabModeChanged)
    Q_PROPERTY(bool isEmojiMode READ isEmojiMode NOTIFY isEmojiModeChanged)
    Q_PROPERTY(bool showClearConfirmation READ showClearConfirmation WRITE setShowClearConfirmation NOTIFY
            showClearConfirmationChanged)
    Q_PROPERTY(QString toastMessage READ toastText NOTIFY toastMessageChanged)
    Q_PROPERTY(double currentColumnWidth READ currentColumnWidth NOTIFY currentColumnWidthChanged)
    Q_PROPERTY(int visibleColumnCount READ visibleColumnCount NOTIFY visibleColumnCountChanged)
    Q_PROPERTY(bool isHistoryToggling READ isHistoryToggling NOTIFY historyToggleChanged)

public:
    using Key = PanelKeyboard::Key;
    using Shortcut = PanelKeyboard::Shortcut;

    // controller: the panel window's; without one (a panel outside a window) the state keeps
    // its own. clock: what its delays and debounces run on.
    PanelViewState(ModelContext &context, const PanelRoles &roles, PanelController *controller,
        AppSettings &settings, RowStates rows, Clock &clock = Clock::system(), QObject *parent = nullptr);
    ~PanelViewState() override;

    PanelSelectionState &selectionState() { return m_selection; }
    // The item cells the columns show, and the pointer's selection over them.
    HoverMarkerStore &hoverMarkerStore() { return m_hoverMarkers; }
    HoverTracker &hoverTracker() { return m_hoverTracker; }
    const PanelSelectionState &selectionState() const { return m_selection; }
    const PanelRoles &roles() const { return m_roles; }
    AppSettings &settings() const { return m_settings; }
    PanelController &panelController() const { return *m_controller; }
    // What moves when the panel changes, and how.
    PanelAnimations &animations() { return m_animations; }
    const TabTransitions &tabTransitions() const { return m_tabTransitions; }
    // A column switching between list and grid (the column's title is the subject).
    const CrossFade &viewModeFade() const { return m_viewModeFade; }

    // -- Items and categories
    const QList<ClipboardItemPtr> &allItems() const { return m_items.allItems(); }
    const QList<ClipboardItemPtr> &cachedFilteredItems() const { return m_items.shownItems(); }
    const CachedCategories &cachedCategories() const { return m_lists.categories(); }
    // The search result over the showable items.
    QList<ClipboardItemPtr> filteredItems() const { return filterItems(cachedFilteredItems(), searchText()); }
    QString itemsChangeKey() const { return m_items.itemsChangeKey(); }
    const QSet<QUuid> &pendingDeletionIds() const { return m_items.pendingDeletionIds(); }
    void refreshItems() { m_items.refresh(); }
    CachedCategories computeCategories() const { return m_lists.compute(); }

    // -- View state
    QString searchText() const { return m_search.text(); }
    void setSearchText(const QString &text) { m_search.setText(text); }
    bool isPinned() const { return m_controller->isPinned(); }
    void setIsPinned(bool pinned) { m_controller->setIsPinned(pinned); }
    bool isHistoryCollapsed() const { return m_lists.isHistoryCollapsed(); }
    int selectedTabIndex() const { return m_layout.selectedTabIndex(); }
    void setSelectedTabIndex(int index) { m_layout.setSelectedTabIndex(index); }
    bool isInTabMode() const { return m_layout.isInTabMode(); }
    bool isEmojiMode() const { return m_search.isEmojiMode(); }
    bool showClearConfirmation() const { return m_actions.showClearConfirmation(); }
    void setShowClearConfirmation(bool show) { m_actions.setShowClearConfirmation(show); }
    std::optional<QString> toastMessage() const { return m_toast.message(); }
    QString toastText() const { return toastMessage().value_or(QString()); }
    void setToastMessage(const std::optional<QString> &message) { m_toast.setMessage(message); }
    // The toast as drawn: its text while on screen or fading out, and its opacity.
    std::optional<QString> toastShownText() const { return m_toast.shownText(); }
    double toastOpacity() const { return m_toast.opacity(); }
    // The update banner as drawn: present while shown or fading out.
    const FadePresence &updateBanner() const { return m_updateBanner; }
    // The request to share the app, as drawn.
    const FadePresence &shareBanner() const { return m_shareBanner.presence(); }
    double currentColumnWidth() const { return m_layout.currentColumnWidth(); }
    int visibleColumnCount() const { return m_layout.visibleColumnCount(); }
    const QSet<QString> &pinnedExpandedCategories() const { return m_lists.pinnedExpandedCategories(); }
    bool isAvailabilityTimerRunning() const { return m_items.refreshesVolumes(); }

    // -- History toggle (the values a running collapse or expand animates)
    bool isHistoryToggling() const { return m_historyToggle.isRunning(); }
    double toggleAnimProgress() const { return m_historyToggle.animationProgress(); }
    std::optional<QString> animatingToggleCategory() const { return m_historyToggle.animatingCategory(); }
    std::optional<double> headerWidthMultiplier() const { return m_historyToggle.headerWidthMultiplier(); }
    double searchBarOpacity() const { return m_historyToggle.searchBarOpacity(); }
    double historyToggleOpacity(bool historyColumn) const
    {
        return m_historyToggle.toggleOpacity(historyColumn);
    }
    void toggleHistory() { m_historyToggle.toggle(); }

    // -- Layout
    PanelLayout::Decision layoutPass(double width) { return m_layout.layoutPass(width, isHistoryToggling()); }
    // The columns of column mode and their settings, for a column width.
    QList<CategoryColumnConfig> columnConfigs(double columnWidth) const;
    // The column of the selected tab, for the panel's width; nothing when no tab is selected.
    std::optional<CategoryColumnConfig> tabColumnConfig(double width) const;
    QStringList tabTitles() const { return m_layout.tabTitles(); }
    double tabBarWidth() const { return m_layout.tabBarWidth(); }
    bool selectedTabCanClear() const { return m_layout.selectedTabCanClear(); }

    // -- Columns
    bool isGridCategory(const QString &title) const { return m_lists.isGridCategory(title); }
    void toggleViewMode(const QString &title);
    bool isPinnedGroupExpanded(const QString &title) const { return m_lists.isPinnedGroupExpanded(title); }
    void setPinnedGroupExpanded(const QString &title, bool expanded);
    QList<ClipboardItemPtr> navigableItems(const Category &category) const
    {
        return m_navigation.navigableItems(category);
    }
    QList<GridSection> gridSections(const Category &category, const QList<ClipboardItemPtr> &navigation) const
    {
        return m_navigation.gridSections(category, navigation);
    }
    std::optional<Category> currentColumn() const { return m_navigation.currentColumn(); }
    std::optional<int> firstRowEndIndex(int visibleIndex) const
    {
        return m_navigation.firstRowEndIndex(visibleIndex);
    }
    ClipboardItemPtr selectedItem() const { return m_navigation.selectedItem(); }

    // -- Input
    bool handleKey(Key key) { return m_keyboard.handleKey(key); }
    void handleShortcut(Shortcut shortcut) { m_keyboard.handleShortcut(shortcut); }
    void selectTabByDigit(int digit) { m_layout.selectTabByDigit(digit); }
    void tabForward() { m_keyboard.tabForward(); }
    void tabBackward() { m_keyboard.tabBackward(); }
    void selectTab(int index) { m_layout.selectTab(index); }
    void setTabHeaderHovered(bool hovered) { m_tabTransitions.setHeaderHovered(hovered); }

    // -- Actions
    void chooseItem(const ClipboardItemPtr &item) { m_actions.chooseItem(item); }
    void insertEmoji(const QString &text) { m_actions.insertText(text); }
    void handleItemDeleted(const ClipboardItemPtr &item) { m_actions.deleteItemAfterFade(item); }
    void handlePinToggle(const ClipboardItemPtr &item) { m_actions.togglePin(item); }
    void reorderPins(const QList<ClipboardItemPtr> &pinsInNewOrder) { m_actions.reorderPins(pinsInNewOrder); }
    void setItemLabel(const ClipboardItemPtr &item, const QString &label) { m_actions.setLabel(item, label); }
    void clearColumn(const QString &title, const QList<ClipboardItemPtr> &items)
    {
        m_actions.clearColumn(title, items);
    }
    void clearHistoryConfirmed() { m_actions.clearHistoryConfirmed(); }
    void clearItemSelection() { m_navigation.clearItemSelection(); }
    // A column's content scrolled: the pointer may now be over another item.
    void columnScrolled();
    void dismissUpdateBanner();
    // The share banner's "Share" (its close follows) and its close.
    void shareProduct() { m_shareBanner.share(); }
    void dismissShareBanner() { m_shareBanner.dismiss(); }

    // -- Lifecycle
    // The panel view came on screen for the first time.
    void appear();
    // The panel is about to be shown again.
    void panelWillShow();

Q_SIGNALS:
    void searchTextChanged(const QString &text);
    // The category lists changed (their items or which columns exist).
    void categoriesChanged();
    // Something else the columns are drawn from changed (view modes, pinned groups, mode).
    void columnsChanged();
    void isPinnedChanged(bool pinned);
    void isHistoryCollapsedChanged(bool collapsed);
    void selectedTabIndexChanged(int index);
    void isInTabModeChanged(bool tabMode);
    void isEmojiModeChanged(bool emojiMode);
    void showClearConfirmationChanged(bool show);
    void toastMessageChanged();
    void toastPresentationChanged();
    void updateBannerChanged();
    void shareBannerChanged();
    void currentColumnWidthChanged(double width);
    void visibleColumnCountChanged(int count);
    void historyToggleChanged();
    // A frame of the History toggle's animation: fades and the search strip's width moved.
    void historyAnimationFrame();

private:
    void connectParts();
    void visibleColumnCountDidChange(int count);

    PanelRoles m_roles;
    RowStates m_rows;
    AppSettings &m_settings;
    std::unique_ptr<PanelController> m_ownController;
    PanelController *m_controller;
    PanelAnimations m_animations;
    PanelSelectionState m_selection;
    HoverMarkerStore m_hoverMarkers;
    HoverTracker m_hoverTracker;
    PanelItems m_items;
    PanelSearch m_search;
    PanelCategoryLists m_lists;
    PanelTabLayout m_layout;
    TabTransitions m_tabTransitions;
    CrossFade m_viewModeFade;
    HistoryToggle m_historyToggle;
    PanelNavigation m_navigation;
    PanelToast m_toast;
    FadePresence m_updateBanner;
    ShareBanner m_shareBanner;
    PanelItemActions m_actions;
    PanelKeyboard m_keyboard;
};
