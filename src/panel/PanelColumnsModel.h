#pragma once

#include "columns/CategoryColumnConfig.h"
#include "panel/PanelLayout.h"

#include <QAbstractListModel>

#include <memory>
#include <vector>

class ColumnItemsModel;
class PanelViewState;

// The columns the panel shows for one layout: the visible categories side by side, or in tab
// mode the selected tab's column alone. One row per column, with the settings the column is
// drawn with and a model of its items; the selection follows the panel's.
class PanelColumnsModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { TitleRole = Qt::UserRole + 1, CountRole, ColumnIndexRole, ShowDividerRole };

    explicit PanelColumnsModel(PanelViewState &state, QObject *parent = nullptr);
    ~PanelColumnsModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Brings the columns up to date with the panel's state for this layout decision.
    void update(const PanelLayout::Decision &decision);
    bool isTabMode() const { return m_tabMode; }
    const CategoryColumnConfig &config(int row) const { return m_configs[row]; }
    ColumnItemsModel *itemsModel(int row) const { return m_itemModels[std::size_t(row)].get(); }

Q_SIGNALS:
    // The settings of some rows changed while the columns stayed the same.
    void configsChanged();

private:
    void updateSelection();

    PanelViewState &m_state;
    bool m_tabMode = false;
    QList<CategoryColumnConfig> m_configs;
    std::vector<std::unique_ptr<ColumnItemsModel>> m_itemModels;
};
