#include "columns/CategoryColumn.h"

#include "columns/ColumnItemsModel.h"
#include "columns/ColumnItemsView.h"
#include "items/ItemContextMenu.h"
#include "items/ItemRowText.h"
#include "model/AppSettings.h"
#include "panel/ClearHistoryConfirmation.h"
#include "panel/ItemMenuHost.h"
#include "panel/PanelLayout.h"
#include "panel/PanelShell.h"
#include "panel/PanelToolButton.h"
#include "panel/WidgetOpacity.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The settings window's tab of the colour notations.
constexpr int colorsSettingsTab = 2;

} // namespace

CategoryColumn::CategoryColumn(
    ItemRowPainter &painter, Roles roles, RowStates rows, AppSettings &settings, QWidget *parent)
    : QWidget(parent)
    , m_roles(roles)
    , m_settings(settings)
    , m_header(new QWidget(this))
    , m_historyToggle(
          panelToolButton(QStringLiteral("\u25E7"), QStringLiteral("Show or hide History"), m_header))
    , m_title(new QLabel(m_header))
    , m_clearButton(panelToolButton(QStringLiteral("Clear"), QStringLiteral("Clear this column"), m_header))
    , m_viewModeToggle(panelToolButton(QString(), QStringLiteral("List or grid"), m_header))
    , m_view(new ColumnItemsView(painter, roles.files, rows, this))
{
    setFocusPolicy(Qt::NoFocus);
    auto *headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(10, 12, 10, 0);
    headerLayout->setSpacing(4);
    headerLayout->addWidget(m_historyToggle);
    headerLayout->addWidget(m_title);
    headerLayout->addStretch(1);
    headerLayout->addWidget(m_clearButton);
    headerLayout->addWidget(m_viewModeToggle);
    // The same height whichever buttons a header shows, so titles line up across columns.
    m_header->setFixedHeight(40);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 1, 0);
    layout->setSpacing(0);
    layout->addWidget(m_header);
    layout->addWidget(m_view, 1);

    connect(m_historyToggle, &QToolButton::clicked, this, &CategoryColumn::historyToggleClicked);
    connect(m_viewModeToggle, &QToolButton::clicked, this, &CategoryColumn::viewModeToggleClicked);
    connect(m_clearButton, &QToolButton::clicked, this, [this] {
        QPointer<CategoryColumn> self(this);
        ClearHistoryConfirmation::ask(this, false, m_config.title, [self] {
            if (self)
                Q_EMIT self->clearColumnConfirmed();
        });
    });
    connect(m_view, &ColumnItemsView::itemClicked, this, &CategoryColumn::itemSelected);
    connect(m_view, &ColumnItemsView::textClicked, this, &CategoryColumn::pasteString);
    connect(m_view, &ColumnItemsView::contextMenuRequested, this, &CategoryColumn::showItemMenu);
    connect(m_view, &ColumnItemsView::scrolled, this, &CategoryColumn::scrolled);
    connect(m_view, &ColumnItemsView::labelEdited, this, &CategoryColumn::labelEdited);
    connect(m_view, &ColumnItemsView::deleteRequested, this, &CategoryColumn::itemDeleted);
    connect(m_view, &ColumnItemsView::pinsReordered, this, &CategoryColumn::pinsReordered);
    connect(m_view, &ColumnItemsView::pinnedHeaderClicked, this,
        [this] { Q_EMIT pinnedGroupExpansionRequested(!m_config.isPinnedExpanded); });
}

void CategoryColumn::setConfig(const CategoryColumnConfig &config, ColumnItemsModel *model)
{
    const double fontSize = m_settings.fontSize();
    // Every layout pass of the panel comes here: a column whose look did not change is not
    // drawn again (its rows draw themselves when they change).
    if (config == m_config && model == m_view->model() && fontSize == m_fontSize)
        return;
    const bool dividerChanged = config.showDivider != m_config.showDivider;
    const bool fontChanged = fontSize != m_fontSize;
    m_config = config;
    m_fontSize = fontSize;
    m_title->setText(config.title);
    if (fontChanged)
        m_title->setFont(PanelLayout::panelFont(fontSize, QFont::DemiBold));
    m_title->setVisible(config.showTitle);
    m_historyToggle->setVisible(config.showHistoryToggle);
    setToggleOpacity(config.toggleFadeOpacity);
    m_clearButton->setVisible(config.canClearColumn && config.showTitle);
    m_viewModeToggle->setVisible(config.showViewModeToggle && config.canToggleViewMode);
    const bool grid = config.viewMode == AppSettings::ColumnViewMode::grid;
    // The symbol of the mode a click switches to.
    m_viewModeToggle->setText(grid ? QStringLiteral("\u2630") : QStringLiteral("\u25A6"));
    m_header->setVisible(config.showTitle || config.showHistoryToggle || m_viewModeToggle->isVisibleTo(this));
    m_view->setFontSize(fontSize);
    m_view->setGrid(grid);
    m_view->setTopPadding(config.contentTopPadding);
    m_view->setModel(model);
    setFixedWidth(std::max(0, int(std::floor(config.columnWidth))));
    if (dividerChanged)
        update();
}

void CategoryColumn::setToggleOpacity(double opacity)
{
    setWidgetOpacity(m_historyToggle, opacity);
}

void CategoryColumn::setKeyboardHighlight(bool keyboard)
{
    m_view->setKeyboardHighlight(keyboard);
}

bool CategoryColumn::isClearButtonShown() const
{
    return m_clearButton->isVisibleTo(this);
}
bool CategoryColumn::isHistoryToggleShown() const
{
    return m_historyToggle->isVisibleTo(this);
}
bool CategoryColumn::isViewModeToggleShown() const
{
    return m_viewModeToggle->isVisibleTo(this);
}

void CategoryColumn::showItemMenu(const ClipboardItemPtr &item, const QPoint &globalPosition)
{
    QPointer<CategoryColumn> self(this);
    const auto chosen = [self, item](const ItemMenuEntry &entry) {
        if (!self)
            return;
        switch (entry.action) {
        case ItemMenuEntry::Action::togglePin:
            Q_EMIT self->itemPinToggled(item);
            break;
        case ItemMenuEntry::Action::editLabel:
            self->m_view->beginLabelEdit(item);
            break;
        case ItemMenuEntry::Action::remove:
            Q_EMIT self->itemDeleted(item);
            break;
        case ItemMenuEntry::Action::pasteText:
            Q_EMIT self->pasteString(entry.value);
            break;
        case ItemMenuEntry::Action::customizeFormats:
            self->m_roles.shell.openSettings(colorsSettingsTab);
            break;
        }
    };
    QMenu *menu = buildItemMenu(itemMenuEntries(*item, m_settings), this, chosen);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // A picture whose file is SVG source also pastes that source, once the file has been read;
    // the menu does not wait for the disk. The watcher goes with the menu, which may close
    // before the reading ends.
    auto *reading = new QFutureWatcher<std::optional<QString>>(menu);
    connect(reading, &QFutureWatcherBase::finished, menu, [menu, reading, chosen] {
        if (reading->future().resultCount() == 0)
            return;
        if (const std::optional<QString> svg = reading->result())
            appendItemMenuEntries(menu, { svgCodeMenuEntry(*svg) }, chosen);
    });
    reading->setFuture(m_roles.menus.svgString(*item));
    m_roles.menus.itemMenuWillOpen(menu);
    menu->popup(globalPosition);
}

void CategoryColumn::paintEvent(QPaintEvent *)
{
    if (!m_config.showDivider)
        return;
    QPainter painter(this);
    painter.fillRect(QRectF(width() - 1, 12, 1, height() - 24), primaryTint075(palette()));
}
