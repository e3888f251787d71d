#include "panel/PanelColumnsModel.h"

#include "columns/ColumnItemsModel.h"
#include "panel/PanelViewState.h"

#include <map>

PanelColumnsModel::PanelColumnsModel(PanelViewState &state, QObject *parent)
    : QAbstractListModel(parent)
    , m_state(state)
{
    PanelSelectionState &selection = state.selectionState();
    connect(&selection, &PanelSelectionState::selectedColumnIndexChanged, this,
        &PanelColumnsModel::updateSelection);
    connect(&selection, &PanelSelectionState::selectedItemIndexChanged, this,
        &PanelColumnsModel::updateSelection);
}

PanelColumnsModel::~PanelColumnsModel() = default;

int PanelColumnsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_configs.size());
}

QVariant PanelColumnsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const CategoryColumnConfig &config = m_configs[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return config.title;
    case CountRole:
        return int(config.items.size());
    case ColumnIndexRole:
        return config.columnIndex;
    case ShowDividerRole:
        return config.showDivider;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> PanelColumnsModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(TitleRole, "title");
    names.insert(CountRole, "count");
    names.insert(ColumnIndexRole, "columnIndex");
    names.insert(ShowDividerRole, "showDivider");
    return names;
}

void PanelColumnsModel::update(const PanelLayout::Decision &decision)
{
    QList<CategoryColumnConfig> configs;
    if (decision.tabMode) {
        if (std::optional<CategoryColumnConfig> tab = m_state.tabColumnConfig(decision.width))
            configs.append(std::move(*tab));
    } else {
        configs = m_state.columnConfigs(decision.width);
    }
    const bool sameColumns = decision.tabMode == m_tabMode && configs.size() == m_configs.size()
        && std::equal(configs.begin(), configs.end(), m_configs.begin(),
            [](const auto &a, const auto &b) { return a.title == b.title; });
    if (!sameColumns) {
        beginResetModel();
        // A column that stays keeps its items' model, so that its rows move rather than jump.
        std::map<QString, std::unique_ptr<ColumnItemsModel>> previous;
        if (decision.tabMode == m_tabMode) {
            for (qsizetype i = 0; i < m_configs.size(); ++i)
                previous[m_configs[i].title] = std::move(m_itemModels[std::size_t(i)]);
        }
        m_tabMode = decision.tabMode;
        m_configs = std::move(configs);
        m_itemModels.clear();
        for (const CategoryColumnConfig &config : std::as_const(m_configs)) {
            std::unique_ptr<ColumnItemsModel> &kept = previous[config.title];
            m_itemModels.push_back(kept ? std::move(kept) : std::make_unique<ColumnItemsModel>());
        }
    } else if (configs == m_configs) {
        return;
    } else {
        for (qsizetype i = 0; i < configs.size(); ++i) {
            if (configs[i] != m_configs[i]) {
                m_configs[i] = configs[i];
                Q_EMIT dataChanged(index(int(i)), index(int(i)));
            }
        }
    }
    for (qsizetype i = 0; i < m_configs.size(); ++i) {
        const CategoryColumnConfig &config = m_configs[i];
        m_itemModels[std::size_t(i)]->setContent(config.title, config.items, config.isPinnedExpanded,
            config.viewMode == AppSettings::ColumnViewMode::grid, config.columnWidth);
    }
    if (!sameColumns)
        endResetModel();
    else
        Q_EMIT configsChanged();
    updateSelection();
}

void PanelColumnsModel::updateSelection()
{
    // A column's rows are its navigation list, so the selection's item index is its row.
    const std::optional<int> selected = m_state.selectionState().selectedItemIndex();
    const int selectedColumn
        = m_state.isInTabMode() ? m_state.selectedTabIndex() : m_state.selectionState().selectedColumnIndex();
    for (qsizetype i = 0; i < m_configs.size(); ++i) {
        const bool holdsSelection = m_configs[i].columnIndex == selectedColumn;
        m_itemModels[std::size_t(i)]->setSelectedRow(holdsSelection ? selected : std::nullopt);
    }
}
