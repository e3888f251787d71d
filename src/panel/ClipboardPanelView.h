#pragma once

#include "common/Clock.h"
#include "items/RowStates.h"
#include "model/ClipboardItem.h"
#include "panel/ClearHistoryConfirmation.h"
#include "panel/PanelRoles.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <memory>

class AppSettings;
class CategoryColumn;
class CrossFadeOverlay;

class EmptyStateView;
class HoverPreviewTimer;
class ItemRowPainter;
class PanelPointer;
class ModelContext;
class PanelBannerView;
class PanelColumnsModel;
class PanelController;
class PanelViewState;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QVBoxLayout;
class SearchBar;
class SearchField;
class TabHeader;
class ThumbnailCache;

// The content of the clipboard panel: the search strip on top, below it the history as
// side-by-side category columns, as tabs when the window is narrowed, or the empty state; the
// toast at the bottom. It shows PanelViewState and hands it the user's input; the search field
// keeps the keyboard focus throughout.
class ClipboardPanelView final : public QWidget
{
    Q_OBJECT
public:
    // controller may be null (a panel without a window around it: tests, previews). rows: the
    // swiped row and label edit its rows and its state share. clock: what its delays and
    // animations run on.
    ClipboardPanelView(ModelContext &context, const PanelRoles &roles, PanelController *controller,
        AppSettings &settings, RowStates rows, Clock &clock = Clock::system(), QWidget *parent = nullptr);
    ~ClipboardPanelView() override;

    PanelViewState &state() const { return *m_state; }
    PanelColumnsModel &columnsModel() const { return *m_columnsModel; }
    SearchBar *searchBar() const { return m_searchBar; }
    SearchField *searchField() const;
    TabHeader *tabHeader() const { return m_tabHeader; }
    // The columns on screen now (one in tab mode).
    QList<CategoryColumn *> columns() const { return m_columnWidgets; }
    bool isShowingEmptyState() const;
    bool isShowingTabs() const;
    QLabel *toast() const { return m_toast; }
    ClearHistoryConfirmation *openConfirmation() const { return m_confirmation; }
    HoverPreviewTimer &previewTimer() const;

    // Focuses the search field with the caret after the text (the shell calls it once the
    // panel is shown).
    void focusSearchField();
    // The panel's own handling of a key (shortcuts, arrows, Return, Escape); false when the
    // key is left to the search field.
    bool handlePanelKey(QKeyEvent *event);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The steps of building the view.
    QHBoxLayout *dividerRow();
    void layOutColumnPanes();
    void layOutContent(QHBoxLayout *dividerRow);
    void styleToast();
    void connectSearchBar();
    void connectState();
    void connectContentChanges(ModelContext &context);
    void connectTabHeader();
    void askToClearSelectedTab();

    void scheduleRelayout();
    void relayout();
    void syncColumns(QWidget *host, QHBoxLayout *hostLayout);
    // The columns a layout shows, those with the same title as before kept (their rows move).
    void replaceColumns(QWidget *host, QHBoxLayout *hostLayout);
    // Pictures of what a tab switch or a list/grid switch replaces, taken before the columns
    // change, and the cross-fades over the new content once they have.
    void pictureOutgoingContent(bool tabMode);
    void startCrossFades();
    void updateTabTransitions();
    void connectColumn(CategoryColumn *column);
    void updateTabHeader();
    void updateToast();
    void updateBanner();
    void updateKeyboardHighlight();
    void presentClearConfirmation();
    void repaintColumns();
    void repaintItem(const ClipboardItemPtr &item);
    void refreshHoverPlacements();
    // The values of a running History collapse or expand: fades and the search strip's width.
    void updateHistoryAnimation();

    AppSettings &m_settings;
    RowStates m_rows;
    std::unique_ptr<PanelViewState> m_state;
    std::unique_ptr<PanelColumnsModel> m_columnsModel;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
    std::unique_ptr<ItemRowPainter> m_painter;
    PanelPointer *m_pointer;

    SearchBar *m_searchBar;
    QWidget *m_divider;
    PanelBannerView *m_banner = nullptr;
    QVBoxLayout *m_bannerSlot;
    EmptyStateView *m_emptyState;
    QWidget *m_columnRow;
    QHBoxLayout *m_columnRowLayout;
    QWidget *m_tabPane;
    TabHeader *m_tabHeader;
    QWidget *m_tabColumnHost;
    QHBoxLayout *m_tabColumnLayout;
    QLabel *m_toast;
    QList<CategoryColumn *> m_columnWidgets;
    bool m_columnsInTabPane = false;
    QPointer<ClearHistoryConfirmation> m_confirmation;
    QPixmap m_outgoingTab;
    QPixmap m_outgoingViewMode;
    QPointer<CrossFadeOverlay> m_tabFade;
    bool m_relayoutScheduled = false;
    bool m_appeared = false;
};
