#pragma once

#include "columns/CategoryColumnConfig.h"
#include "panel/GridNavigation.h"
#include "panel/PanelCategories.h"
#include "panel/PanelController.h"
#include "panel/PanelLayout.h"
#include "panel/PanelSelectionState.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <optional>

class AppSettings;
class LiveQuery;
class ModelContext;
class PanelEnvironment;

// The panel's state without its widgets: the live history, the showable items, the search and
// the category lists, the selection, and every operation the keys, the columns and the
// notifications run on them. The panel widget only shows this object and forwards input.
// Main thread only.
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
    // The keys the panel itself handles; everything else goes to the search field.
    enum class Key { down, up, left, right, enter, escape };
    // The panel's hidden shortcuts.
    enum class Shortcut { clearHistory, togglePin, toggleHistory };

    PanelViewState(ModelContext &context, PanelEnvironment &environment, PanelController *controller,
        AppSettings &settings, QObject *parent = nullptr);
    ~PanelViewState() override;

    PanelSelectionState &selectionState() { return m_selection; }
    const PanelSelectionState &selectionState() const { return m_selection; }
    PanelEnvironment &environment() const { return m_environment; }
    AppSettings &settings() const { return m_settings; }
    PanelController *panelController() const { return m_controller; }

    // -- Items and categories
    // Every stored item, newest first, as the live query last read it.
    const QList<ClipboardItemPtr> &allItems() const;
    // The showable items: available files only, pending deletions left out, newest first.
    const QList<ClipboardItemPtr> &cachedFilteredItems() const { return m_cachedFilteredItems; }
    const CachedCategories &cachedCategories() const { return m_cachedCategories; }
    // The search result over the showable items.
    QList<ClipboardItemPtr> filteredItems() const;
    QString itemsChangeKey() const;
    const QSet<QUuid> &pendingDeletionIds() const { return m_pendingDeletionIds; }
    // Rebuilds the showable items and the categories, then fills search texts in the background.
    void refreshItems();
    CachedCategories computeCategories() const;

    // -- View state
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    bool isPinned() const { return m_isPinned; }
    void setIsPinned(bool pinned);
    bool isHistoryCollapsed() const { return m_isHistoryCollapsed; }
    int selectedTabIndex() const { return m_selectedTabIndex; }
    void setSelectedTabIndex(int index);
    bool isInTabMode() const { return m_isInTabMode; }
    bool isEmojiMode() const { return m_isEmojiMode; }
    bool showClearConfirmation() const { return m_showClearConfirmation; }
    void setShowClearConfirmation(bool show);
    std::optional<QString> toastMessage() const { return m_toastMessage; }
    QString toastText() const { return m_toastMessage.value_or(QString()); }
    void setToastMessage(const std::optional<QString> &message);
    double currentColumnWidth() const { return m_currentColumnWidth; }
    int visibleColumnCount() const { return m_visibleColumnCount; }
    const QSet<QString> &pinnedExpandedCategories() const { return m_pinnedExpandedCategories; }
    bool isAvailabilityTimerRunning() const { return m_availabilityTimer.isActive(); }

    // -- History toggle (the values a running collapse or expand animates)
    bool isHistoryToggling() const { return m_isHistoryToggling; }
    double toggleAnimProgress() const { return m_toggleAnimProgress; }
    std::optional<QString> animatingToggleCategory() const { return m_animatingToggleCategory; }
    std::optional<double> headerWidthMultiplier() const { return m_headerWidthMultiplier; }
    double searchBarOpacity() const { return m_searchBarOpacity; }
    // Collapses or expands the History column; dropped in tab mode, while a toggle runs and
    // within 0.5 s of the last one.
    void toggleHistory();

    // -- Layout
    // Decides columns or tabs for the panel's width; the decision is stored (and the window
    // told) on the next turn of the event loop, never while the caller is laying out.
    PanelLayout::Decision layoutPass(double width);
    // The columns of column mode and their settings, for a column width.
    QList<CategoryColumnConfig> columnConfigs(double columnWidth) const;
    // The column of the selected tab, for the panel's width; nothing when no tab is selected.
    std::optional<CategoryColumnConfig> tabColumnConfig(double width) const;
    // Titles of the tabs, in order.
    QStringList tabTitles() const;
    double tabBarWidth() const;
    // The selected tab holds something the Clear button can delete.
    bool selectedTabCanClear() const;

    // -- Columns
    bool isGridCategory(const QString &title) const;
    void toggleViewMode(const QString &title);
    // The pinned group shows expanded (always while searching).
    bool isPinnedGroupExpanded(const QString &title) const;
    void setPinnedGroupExpanded(const QString &title, bool expanded);
    // The column's items in keyboard order, and its blocks at the current column width.
    QList<ClipboardItemPtr> navigableItems(const Category &category) const;
    QList<GridSection> gridSections(
        const Category &category, const QList<ClipboardItemPtr> &navigationList) const;
    // The column keyboard navigation works in: the selected tab, or the selected visible column.
    std::optional<Category> currentColumn() const;
    std::optional<int> firstRowEndIndex(int visibleIndex) const;
    // The item at the selection, when it points at one.
    ClipboardItemPtr selectedItem() const;

    // -- Input
    // True when the panel used the key; false lets it go on to the search field.
    bool handleKey(Key key);
    void handleShortcut(Shortcut shortcut);
    // Control+digit: selects that tab in tab mode.
    void selectTabByDigit(int digit);
    void tabForward();
    void tabBackward();
    void selectTab(int index);

    // -- Actions
    // Pastes the item into the window that was active before the panel (reporting deleted files).
    void chooseItem(const ClipboardItemPtr &item);
    // Pastes a bare text: an emoji, a single-character pin, a colour in a chosen notation.
    void insertEmoji(const QString &text);
    void handleItemDeleted(const ClipboardItemPtr &item);
    void handlePinToggle(const ClipboardItemPtr &item);
    // Deletes the column's unpinned items (after the user confirmed).
    void clearColumn(const QString &title, const QList<ClipboardItemPtr> &items);
    // Deletes every unpinned item (after the user confirmed the clear-history question).
    void clearHistoryConfirmed();
    void clearItemSelection();
    // A column's content scrolled: the pointer may now be over another item.
    void columnScrolled();
    void dismissUpdateBanner();

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
    void currentColumnWidthChanged(double width);
    void visibleColumnCountChanged(int count);
    void historyToggleChanged();

private:
    using Clock = std::chrono::steady_clock;

    void allItemsChanged();
    void setCachedCategories(CachedCategories categories);
    void boundSelectedColumn();
    void searchTextDidChange(const QString &text);
    void recomputeCategoriesAfterYield(quint64 generation);
    void startPrewarm();
    void prewarmSlice(quint64 generation, qsizetype from);
    void setIsEmojiMode(bool value);

    // Keys.
    void downStep();
    void upStep();
    bool horizontalKey(int columnDelta);
    void horizontalStep(int columnDelta);
    void returnStep();
    void escapeStep();
    void runSlashCommand(const QString &text);
    void chooseSelectedItem();
    void tabStep(int direction);

    // Store changes.
    void deleteItem(const ClipboardItemPtr &item);
    void deleteItemWithId(const QUuid &id);
    void deleteItemWithMissingFiles(const ClipboardItemPtr &item, int fileCount);
    void deleteUnpinnedItems();
    void togglePin(const ClipboardItemPtr &item, bool wasPinned);
    void addPendingDeletion(const QUuid &id);
    void saveContext();
    void saveAndCheckpoint();
    void saveAndCompact();
    void getOutOfTheWay();
    void schedulePaste(std::chrono::milliseconds delay);

    // Layout and tabs.
    void setTabMode(bool tabMode);
    void setCurrentColumnWidth(double width);
    void setVisibleColumnCount(int count);
    void visibleColumnCountDidChange(int count);
    void tabsCountDidChange(int count);
    void selectedTabDidChange(int index);
    void isPinnedDidChange(bool pinned);

    // History toggle.
    void toggleHistoryAnimated();
    void setHistoryCollapsedKeepingSelection(bool collapsed);
    void finishHistoryHide();
    void finishHistoryShow();
    void setSearchBarOpacity(double opacity);

    ModelContext &m_context;
    PanelEnvironment &m_environment;
    QPointer<PanelController> m_controller;
    AppSettings &m_settings;
    LiveQuery *m_allItems;
    PanelSelectionState m_selection;

    QString m_searchText;
    bool m_isPinned = false;
    bool m_isHistoryCollapsed = false;
    int m_selectedTabIndex = 0;
    bool m_isInTabMode = false;
    bool m_isEmojiMode = false;
    bool m_showClearConfirmation = false;
    std::optional<QString> m_toastMessage;
    double m_currentColumnWidth = PanelLayout::columnWidth;
    int m_visibleColumnCount = 0;
    bool m_isHistoryToggling = false;
    double m_toggleAnimProgress = 1.0;
    std::optional<QString> m_animatingToggleCategory;
    bool m_isCollapsingHistory = false;
    std::optional<double> m_headerWidthMultiplier;
    double m_searchBarOpacity = 1.0;
    std::optional<Clock::time_point> m_lastHistoryToggleTime;

    QString m_lastItemsChangeKey;
    QList<ClipboardItemPtr> m_cachedFilteredItems;
    CachedCategories m_cachedCategories;
    QSet<QUuid> m_pendingDeletionIds;
    QSet<QString> m_pinnedExpandedCategories;
    // Bumped to cancel: a search or prewarm step that finds a newer number stops.
    quint64 m_searchGeneration = 0;
    quint64 m_prewarmGeneration = 0;
    QTimer m_availabilityTimer;
    QTimer m_toastTimer;
};
