#include "panel/ClipboardPanelView.h"

#include "columns/CategoryColumn.h"
#include "columns/ColumnItemsModel.h"
#include "columns/ColumnItemsView.h"
#include "items/ItemRowPainter.h"
#include "items/LabelEditState.h"
#include "items/ThumbnailCache.h"
#include "model/AppSettings.h"
#include "model/ModelContext.h"
#include "panel/CategoryTitles.h"
#include "panel/ClearHistoryConfirmation.h"
#include "panel/CrossFadeOverlay.h"
#include "panel/EmptyStateView.h"
#include "panel/PanelBannerView.h"
#include "panel/PanelColumnsModel.h"
#include "panel/PanelPointer.h"
#include "panel/PanelShell.h"
#include "panel/PanelViewState.h"
#include "panel/SearchBar.h"
#include "panel/TabHeader.h"
#include "panel/WidgetOpacity.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int toastBottomMargin = 24;

} // namespace

ClipboardPanelView::ClipboardPanelView(ModelContext &context, const PanelRoles &roles,
    PanelController *controller, AppSettings &settings, RowStates rows, Clock &clock, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_rows(rows)
    , m_state(std::make_unique<PanelViewState>(context, roles, controller, settings, rows, clock))
    , m_columnsModel(std::make_unique<PanelColumnsModel>(*m_state))
    ,
    // Each panel keeps its own pictures, so that closing it frees them.
    m_thumbnails(std::make_unique<ThumbnailCache>())
    , m_painter(std::make_unique<ItemRowPainter>(roles.highlighting, *m_thumbnails))
    , m_pointer(new PanelPointer(*this, *m_state, settings, clock, [this] { refreshHoverPlacements(); }))
    , m_searchBar(new SearchBar(this))
    , m_divider(new QWidget(this))
    , m_bannerSlot(new QVBoxLayout)
    , m_emptyState(new EmptyStateView(this))
    , m_columnRow(new QWidget(this))
    , m_columnRowLayout(new QHBoxLayout(m_columnRow))
    , m_tabPane(new QWidget(this))
    , m_tabHeader(new TabHeader(m_tabPane))
    , m_tabColumnHost(new QWidget(m_tabPane))
    , m_tabColumnLayout(new QHBoxLayout(m_tabColumnHost))
    , m_toast(new QLabel(this))
{
    setMinimumHeight(int(PanelLayout::minimumContentHeight));
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_searchBar->field());

    layOutColumnPanes();
    layOutContent(dividerRow());
    styleToast();

    connectSearchBar();
    connectState();
    connectContentChanges(context);
    connectTabHeader();
    // Once a label is typed, typing searches again.
    connect(&rows.labelEditing, &LabelEditState::isEditingChanged, this, [this](bool editing) {
        if (!editing && isVisible())
            QMetaObject::invokeMethod(this, &ClipboardPanelView::focusSearchField, Qt::QueuedConnection);
    });
    updateBanner();
}

QHBoxLayout *ClipboardPanelView::dividerRow()
{
    m_divider->setObjectName(QStringLiteral("divider"));
    m_divider->setFixedHeight(1);
    m_divider->setAutoFillBackground(true);
    QPalette dividerPalette = m_divider->palette();
    QColor line = palette().color(QPalette::Text);
    line.setAlphaF(0.15f);
    dividerPalette.setColor(QPalette::Window, line);
    m_divider->setPalette(dividerPalette);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(18, 0, 18, 0);
    row->addWidget(m_divider);
    return row;
}

void ClipboardPanelView::layOutColumnPanes()
{
    m_columnRowLayout->setContentsMargins(0, 0, 0, 0);
    m_columnRowLayout->setSpacing(0);
    m_columnRowLayout->setAlignment(Qt::AlignLeft);
    m_tabColumnLayout->setContentsMargins(0, 0, 0, 0);
    m_tabColumnLayout->setSpacing(0);
    auto *tabLayout = new QVBoxLayout(m_tabPane);
    tabLayout->setContentsMargins(0, 0, 0, 0);
    tabLayout->setSpacing(0);
    tabLayout->addWidget(m_tabHeader);
    tabLayout->addWidget(m_tabColumnHost, 1);
}

void ClipboardPanelView::layOutContent(QHBoxLayout *dividerRow)
{
    // While History collapses or expands, the strip keeps to the window's right edge at the
    // width the window has on the way.
    auto *stripRow = new QHBoxLayout;
    stripRow->setContentsMargins(0, 0, 0, 0);
    stripRow->setSpacing(0);
    stripRow->addStretch(0);
    stripRow->addWidget(m_searchBar, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(stripRow);
    layout->addLayout(dividerRow);
    layout->addLayout(m_bannerSlot);
    layout->addSpacing(8);
    layout->addWidget(m_emptyState, 1);
    layout->addWidget(m_columnRow, 1);
    layout->addWidget(m_tabPane, 1);
    m_tabPane->hide();
    m_columnRow->hide();
}

void ClipboardPanelView::styleToast()
{
    m_toast->setAlignment(Qt::AlignCenter);
    m_toast->setFont(PanelLayout::panelFont(12, QFont::Medium));
    m_toast->setContentsMargins(12, 6, 12, 6);
    m_toast->setAutoFillBackground(true);
    m_toast->hide();
}

void ClipboardPanelView::connectSearchBar()
{
    SearchField *field = m_searchBar->field();
    field->setKeyHandler([this](QKeyEvent *event) { return handlePanelKey(event); });
    connect(m_searchBar, &SearchBar::textEdited, m_state.get(), &PanelViewState::setSearchText);
    connect(m_searchBar, &SearchBar::pinToggled, m_state.get(), &PanelViewState::setIsPinned);
    connect(m_searchBar, &SearchBar::clearHistoryRequested, this,
        [this] { m_state->setShowClearConfirmation(true); });
    // Where no tray icon offers them, the app's own entries are here.
    PanelShell &shell = m_state->roles().shell;
    m_searchBar->setAppEntriesWanted([&shell] { return !shell.hasTrayMenu(); });
    connect(m_searchBar, &SearchBar::settingsRequested, this, [this, &shell] {
        // The panel makes way for the window the user went to, unless it is pinned to stay.
        if (!m_state->isPinned())
            shell.hidePanel(false);
        shell.openSettings(std::nullopt);
    });
    connect(m_searchBar, &SearchBar::quitRequested, this, [&shell] { shell.quitApplication(); });
}

void ClipboardPanelView::connectState()
{
    PanelViewState *state = m_state.get();
    connect(state, &PanelViewState::searchTextChanged, m_searchBar, &SearchBar::setText);
    connect(state, &PanelViewState::isPinnedChanged, m_searchBar, &SearchBar::setPinned);
    connect(state, &PanelViewState::toastPresentationChanged, this, &ClipboardPanelView::updateToast);
    connect(state, &PanelViewState::toastMessageChanged, this, &ClipboardPanelView::updateToast);
    connect(state, &PanelViewState::showClearConfirmationChanged, this, [this](bool show) {
        if (show)
            QMetaObject::invokeMethod(
                this, &ClipboardPanelView::presentClearConfirmation, Qt::QueuedConnection);
        else if (m_confirmation)
            m_confirmation->withdraw();
    });
    connect(state, &PanelViewState::historyAnimationFrame, this, &ClipboardPanelView::updateHistoryAnimation);
    for (auto signal : { &PanelViewState::categoriesChanged, &PanelViewState::columnsChanged,
             &PanelViewState::historyToggleChanged })
        connect(state, signal, this, &ClipboardPanelView::scheduleRelayout);
    connect(state, &PanelViewState::isInTabModeChanged, this, &ClipboardPanelView::scheduleRelayout);
    connect(state, &PanelViewState::selectedTabIndexChanged, this, &ClipboardPanelView::scheduleRelayout);
    connect(state, &PanelViewState::currentColumnWidthChanged, this, &ClipboardPanelView::scheduleRelayout);
    connect(state, &PanelViewState::isHistoryCollapsedChanged, this, &ClipboardPanelView::scheduleRelayout);
    connect(&state->selectionState(), &PanelSelectionState::isKeyboardNavigatingChanged, this,
        &ClipboardPanelView::updateKeyboardHighlight);
    connect(state, &PanelViewState::updateBannerChanged, this, &ClipboardPanelView::updateBanner);
    connect(state, &PanelViewState::shareBannerChanged, this, &ClipboardPanelView::updateBanner);
}

void ClipboardPanelView::connectContentChanges(ModelContext &context)
{
    // Pictures decoded off the GUI thread are drawn once they are ready.
    connect(m_thumbnails.get(), &ThumbnailCache::thumbnailReady, this, [this] {
        for (QWidget *child : findChildren<QWidget *>())
            child->update();
    });
    connect(&m_settings, &AppSettings::fontSizeChanged, this, &ClipboardPanelView::scheduleRelayout);
    // Late details of an item (a link's title, a thumbnail) only need a repaint, and a picture
    // decoded again.
    connect(&context, &ModelContext::itemDidChangeProperty, this,
        [this](const ClipboardItemPtr &item, ItemField field) {
            m_thumbnails->propertyDidChange(*item, field);
            repaintItem(item);
        });
    // What was kept to draw an item goes with it, whoever deleted it.
    connect(&context, &ModelContext::objectsDeleted, this,
        [this](const QList<ClipboardItemPtr> &items) { m_painter->forgetItems(items); });
    // Code rows ask for their lines in the new theme.
    connect(&m_settings, &AppSettings::codeThemeChanged, this, &ClipboardPanelView::repaintColumns);
}

void ClipboardPanelView::connectTabHeader()
{
    connect(m_tabHeader, &TabHeader::tabClicked, m_state.get(), &PanelViewState::selectTab);
    connect(m_tabHeader, &TabHeader::hoveredChanged, m_state.get(), &PanelViewState::setTabHeaderHovered);
    connect(&m_state->tabTransitions(), &TabTransitions::changed, this,
        &ClipboardPanelView::updateTabTransitions);
    connect(m_tabHeader, &TabHeader::viewModeToggleClicked, this, [this] {
        if (const std::optional<Category> tab = m_state->currentColumn())
            m_state->toggleViewMode(tab->title);
    });
    connect(m_tabHeader, &TabHeader::clearClicked, this, &ClipboardPanelView::askToClearSelectedTab);
}

void ClipboardPanelView::askToClearSelectedTab()
{
    const std::optional<Category> tab = m_state->currentColumn();
    if (!tab)
        return;
    QPointer<ClipboardPanelView> self(this);
    const QString title = tab->title;
    m_confirmation = ClearHistoryConfirmation::ask(this, false, title, [self, title] {
        if (!self)
            return;
        for (const Category &category : self->m_state->cachedCategories().tabs) {
            if (category.title == title)
                self->m_state->clearColumn(title, category.items);
        }
    });
}

HoverPreviewTimer &ClipboardPanelView::previewTimer() const
{
    return m_pointer->previewTimer();
}

void ClipboardPanelView::refreshHoverPlacements()
{
    for (CategoryColumn *column : std::as_const(m_columnWidgets))
        column->itemsView()->updateHoverPlacement();
}

void ClipboardPanelView::updateHistoryAnimation()
{
    m_searchBar->setFadeOpacity(m_state->searchBarOpacity());
    if (const std::optional<double> multiplier = m_state->headerWidthMultiplier()) {
        m_searchBar->setFixedWidth(std::max(0, int(std::lround(width() * *multiplier))));
    } else {
        m_searchBar->setMinimumWidth(0);
        m_searchBar->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    for (CategoryColumn *column : std::as_const(m_columnWidgets))
        column->setToggleOpacity(m_state->historyToggleOpacity(column->config().isHistoryColumn));
}

ClipboardPanelView::~ClipboardPanelView()
{
    // The columns draw with the painter and read the models, the pointer follows the state: they
    // go first.
    qDeleteAll(m_columnWidgets);
    m_columnWidgets.clear();
    delete m_pointer;
}

SearchField *ClipboardPanelView::searchField() const
{
    return m_searchBar->field();
}

bool ClipboardPanelView::isShowingEmptyState() const
{
    return m_emptyState->isVisibleTo(this);
}
bool ClipboardPanelView::isShowingTabs() const
{
    return m_tabPane->isVisibleTo(this);
}

void ClipboardPanelView::focusSearchField()
{
    SearchField *field = searchField();
    field->setFocus(Qt::OtherFocusReason);
    field->setCursorPosition(int(field->text().size()));
}

void ClipboardPanelView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_state->animations().setPanelVisible(true);
    if (!m_appeared) {
        m_appeared = true;
        m_state->appear();
    }
    // Every pointer move over the window, whatever lies under it.
    m_pointer->followWindow();
    relayout();
}

void ClipboardPanelView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Whatever moves is at its end when the panel shows again.
    m_state->animations().setPanelVisible(false);
    m_pointer->previewTimer().cancel();
}

void ClipboardPanelView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
    updateToast();
}

void ClipboardPanelView::scheduleRelayout()
{
    if (m_relayoutScheduled)
        return;
    m_relayoutScheduled = true;
    QPointer<ClipboardPanelView> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (!self)
                return;
            self->m_relayoutScheduled = false;
            self->relayout();
        },
        Qt::QueuedConnection);
}

void ClipboardPanelView::relayout()
{
    const PanelLayout::Decision decision = m_state->layoutPass(width());
    pictureOutgoingContent(decision.tabMode);
    m_columnsModel->update(decision);
    updateHistoryAnimation();

    const bool empty = m_state->cachedCategories().all.isEmpty();
    m_emptyState->setVisible(empty);
    m_columnRow->setVisible(!empty && !decision.tabMode);
    m_tabPane->setVisible(!empty && decision.tabMode);
    if (decision.tabMode) {
        updateTabHeader();
        syncColumns(m_tabColumnHost, m_tabColumnLayout);
    } else {
        syncColumns(m_columnRow, m_columnRowLayout);
    }
    startCrossFades();
    m_state->animations().layoutPassEnded();
}

void ClipboardPanelView::pictureOutgoingContent(bool tabMode)
{
    m_outgoingTab = QPixmap();
    m_outgoingViewMode = QPixmap();
    if (!isVisible())
        return;
    // Another tab's column is about to replace the one shown.
    const CrossFade &tabFade = m_state->tabTransitions().contentFade();
    const std::optional<Category> tab = m_state->currentColumn();
    if (tabMode && m_columnsInTabPane && tabFade.isRunning() && !m_columnWidgets.isEmpty()
        && (!tab || m_columnWidgets.first()->config().title != tab->title))
        m_outgoingTab = m_tabColumnHost->grab();
    // A column is about to switch between list and grid.
    const CrossFade &modeFade = m_state->viewModeFade();
    if (!modeFade.isRunning())
        return;
    for (CategoryColumn *column : std::as_const(m_columnWidgets)) {
        const bool grid = column->config().viewMode == AppSettings::ColumnViewMode::grid;
        if (column->config().title == modeFade.subject()
            && grid != m_state->isGridCategory(modeFade.subject()))
            m_outgoingViewMode = column->grab(column->itemsView()->geometry());
    }
}

void ClipboardPanelView::startCrossFades()
{
    if (!m_outgoingTab.isNull()) {
        // A fade under way is in the picture: the new one starts from what was drawn.
        delete m_tabFade;
        m_tabFade = new CrossFadeOverlay(m_outgoingTab, m_columnWidgets.value(0),
            m_state->tabTransitions().contentFade(), m_tabColumnHost, m_tabColumnHost->rect());
    }
    if (m_outgoingViewMode.isNull())
        return;
    for (CategoryColumn *column : std::as_const(m_columnWidgets)) {
        if (column->config().title != m_state->viewModeFade().subject())
            continue;
        for (CrossFadeOverlay *earlier : column->findChildren<CrossFadeOverlay *>(Qt::FindDirectChildrenOnly))
            delete earlier;
        ColumnItemsView *items = column->itemsView();
        new CrossFadeOverlay(m_outgoingViewMode, items, m_state->viewModeFade(), column, items->geometry());
    }
    m_outgoingTab = QPixmap();
    m_outgoingViewMode = QPixmap();
}

void ClipboardPanelView::syncColumns(QWidget *host, QHBoxLayout *hostLayout)
{
    const PanelColumnsModel &model = *m_columnsModel;
    const bool inTabPane = host == m_tabColumnHost;
    bool same = inTabPane == m_columnsInTabPane && m_columnWidgets.size() == model.rowCount();
    for (int row = 0; same && row < model.rowCount(); ++row)
        same = m_columnWidgets[row]->config().title == model.config(row).title;
    if (!same)
        replaceColumns(host, hostLayout);
    for (int row = 0; row < model.rowCount(); ++row) {
        CategoryColumnConfig config = model.config(row);
        // The History column of a collapsed panel takes no room.
        m_columnWidgets[row]->setVisible(
            !(config.isHistoryColumn && config.isHistoryCollapsed && !inTabPane));
        m_columnWidgets[row]->setConfig(config, model.itemsModel(row));
        ColumnItemsView *items = m_columnWidgets[row]->itemsView();
        items->setHoverMarkers(&m_state->hoverMarkerStore(), config.columnIndex);
        items->setPreviewTimer(&m_pointer->previewTimer());
        items->setAnimations(&m_state->animations());
    }
    updateKeyboardHighlight();
}

void ClipboardPanelView::replaceColumns(QWidget *host, QHBoxLayout *hostLayout)
{
    const bool inTabPane = host == m_tabColumnHost;
    QHash<QString, CategoryColumn *> kept;
    if (inTabPane == m_columnsInTabPane) {
        for (CategoryColumn *column : std::as_const(m_columnWidgets))
            kept.insert(column->config().title, column);
    } else {
        qDeleteAll(m_columnWidgets);
    }
    m_columnWidgets.clear();
    while (QLayoutItem *leftover = hostLayout->takeAt(0))
        delete leftover;
    m_columnsInTabPane = inTabPane;
    const PanelColumnsModel &model = *m_columnsModel;
    for (int row = 0; row < model.rowCount(); ++row) {
        CategoryColumn *column = kept.take(model.config(row).title);
        if (!column) {
            const PanelRoles &roles = m_state->roles();
            column = new CategoryColumn(
                *m_painter, { roles.shell, roles.menus, roles.files }, m_rows, m_settings, host);
            connectColumn(column);
        }
        hostLayout->addWidget(column);
        m_columnWidgets.append(column);
    }
    qDeleteAll(kept);
    if (!inTabPane)
        hostLayout->addStretch(0);
}

void ClipboardPanelView::connectColumn(CategoryColumn *column)
{
    PanelViewState *state = m_state.get();
    connect(column, &CategoryColumn::itemSelected, state, &PanelViewState::chooseItem);
    connect(column, &CategoryColumn::itemDeleted, state, &PanelViewState::handleItemDeleted);
    connect(column, &CategoryColumn::itemPinToggled, state, &PanelViewState::handlePinToggle);
    connect(column, &CategoryColumn::pinsReordered, state, &PanelViewState::reorderPins);
    connect(column, &CategoryColumn::pasteString, state, &PanelViewState::insertEmoji);
    connect(column, &CategoryColumn::historyToggleClicked, state, &PanelViewState::toggleHistory);
    connect(column, &CategoryColumn::scrolled, state, &PanelViewState::columnScrolled);
    connect(column, &CategoryColumn::labelEdited, state, &PanelViewState::setItemLabel);
    connect(column, &CategoryColumn::viewModeToggleClicked, this,
        [state, column] { state->toggleViewMode(column->config().title); });
    connect(column, &CategoryColumn::clearColumnConfirmed, this,
        [state, column] { state->clearColumn(column->config().title, column->config().items); });
    connect(column, &CategoryColumn::pinnedGroupExpansionRequested, this,
        [state, column](bool expanded) { state->setPinnedGroupExpanded(column->config().title, expanded); });
}

void ClipboardPanelView::updateTabHeader()
{
    m_tabHeader->setFontSize(m_settings.fontSize());
    m_tabHeader->setTabs(m_state->tabTitles(), m_state->selectedTabIndex());
    updateTabTransitions();
    m_tabHeader->setClearShown(m_state->selectedTabCanClear());
    const std::optional<Category> tab = m_state->currentColumn();
    const bool toggle = tab && hasViewModeToggle(tab->title);
    m_tabHeader->setViewModeToggle(toggle, toggle && m_state->isGridCategory(tab->title));
}

void ClipboardPanelView::updateTabTransitions()
{
    const TabTransitions &transitions = m_state->tabTransitions();
    m_tabHeader->setHighlightPosition(transitions.highlightPosition());
    m_tabHeader->setHoverAmount(transitions.headerHover());
}

void ClipboardPanelView::updateKeyboardHighlight()
{
    const bool keyboard = m_state->selectionState().isKeyboardNavigating();
    for (CategoryColumn *column : std::as_const(m_columnWidgets))
        column->setKeyboardHighlight(keyboard);
}

void ClipboardPanelView::repaintItem(const ClipboardItemPtr &item)
{
    // Only the columns that show the item (a pin changes several of its fields at once).
    for (CategoryColumn *column : std::as_const(m_columnWidgets)) {
        ColumnItemsView *items = column->itemsView();
        if (items->model() && items->model()->items().contains(item))
            items->viewport()->update();
    }
}

void ClipboardPanelView::repaintColumns()
{
    for (CategoryColumn *column : std::as_const(m_columnWidgets))
        column->itemsView()->viewport()->update();
}

void ClipboardPanelView::updateToast()
{
    const std::optional<QString> text = m_state->toastShownText();
    if (!text) {
        m_toast->hide();
        return;
    }
    if (m_toast->text() != *text) {
        m_toast->setText(*text);
        m_toast->adjustSize();
    }
    // It rises from the bottom edge as it fades in, and sinks as it fades out.
    const double opacity = m_state->toastOpacity();
    const int rest = height() - toastBottomMargin - m_toast->height();
    const int below = height();
    m_toast->move(
        (width() - m_toast->width()) / 2, int(std::lround(rest + (below - rest) * (1.0 - opacity))));
    setWidgetOpacity(m_toast, opacity);
    m_toast->raise();
    m_toast->show();
}

void ClipboardPanelView::updateBanner()
{
    // One banner at a time: the update notice before the request to share.
    const bool update = m_state->updateBanner().isPresent();
    const FadePresence &presence = update ? m_state->updateBanner() : m_state->shareBanner();
    const PanelBannerView::BannerType type
        = update ? PanelBannerView::BannerType::updateSuccess : PanelBannerView::BannerType::reviewOrShare;
    if (m_banner && (!presence.isPresent() || m_banner->type() != type)) {
        m_banner->deleteLater();
        m_banner = nullptr;
    }
    if (presence.isPresent() && !m_banner) {
        m_banner = new PanelBannerView(type, false, this);
        PanelViewState *state = m_state.get();
        if (update) {
            connect(m_banner, &PanelBannerView::dismissed, state, &PanelViewState::dismissUpdateBanner);
        } else {
            connect(m_banner, &PanelBannerView::actionTriggered, state, &PanelViewState::shareProduct);
            connect(m_banner, &PanelBannerView::dismissed, state, &PanelViewState::dismissShareBanner);
        }
        m_bannerSlot->addWidget(m_banner);
    }
    if (m_banner)
        setWidgetOpacity(m_banner, presence.opacity());
    // The divider and the banner are never shown together: one fades as the other comes.
    m_divider->setVisible(!presence.isPresent() || presence.opacity() < 1.0);
    setWidgetOpacity(m_divider, 1.0 - presence.opacity());
}

void ClipboardPanelView::presentClearConfirmation()
{
    if (!m_state->showClearConfirmation() || m_confirmation)
        return;
    QPointer<PanelViewState> state(m_state.get());
    m_confirmation = ClearHistoryConfirmation::ask(
        this, true, std::nullopt,
        [state] {
            if (state)
                state->clearHistoryConfirmed();
        },
        [state] {
            if (state)
                state->setShowClearConfirmation(false);
        });
}

bool ClipboardPanelView::handlePanelKey(QKeyEvent *event)
{
    using Key = PanelViewState::Key;
    if (SearchField::isPanelShortcut(event)) {
        switch (event->key()) {
        case Qt::Key_K:
            m_state->handleShortcut(PanelViewState::Shortcut::clearHistory);
            break;
        case Qt::Key_P:
            m_state->handleShortcut(PanelViewState::Shortcut::togglePin);
            break;
        case Qt::Key_Period:
            m_state->handleShortcut(PanelViewState::Shortcut::toggleHistory);
            break;
        default:
            m_state->selectTabByDigit(event->key() - Qt::Key_0);
            break;
        }
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Down:
        return m_state->handleKey(Key::down);
    case Qt::Key_Up:
        return m_state->handleKey(Key::up);
    case Qt::Key_Left:
        return m_state->handleKey(Key::left);
    case Qt::Key_Right:
        return m_state->handleKey(Key::right);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return m_state->handleKey(Key::enter);
    case Qt::Key_Escape:
        return m_state->handleKey(Key::escape);
    default:
        return false;
    }
}

// A text key typed while something else in the panel has the focus reaches the search field
// through the shell's key monitor, which knows when it must not (a label being edited).
void ClipboardPanelView::keyPressEvent(QKeyEvent *event)
{
    if (handlePanelKey(event))
        return;
    QWidget::keyPressEvent(event);
}
