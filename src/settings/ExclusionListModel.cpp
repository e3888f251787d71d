#include "settings/ExclusionListModel.h"

#include "model/AppSettings.h"

#include <algorithm>

ExclusionListModel::ExclusionListModel(AppSettings &settings, QObject *parent)
    : QAbstractListModel(parent)
    , m_settings(settings)
    , m_entries(settings.excludedPatternList())
{
    connect(&m_settings, &AppSettings::excludedURLPatternsChanged, this,
        [this] { follow(m_settings.excludedPatternList()); });
}

int ExclusionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant ExclusionListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return m_entries[index.row()];
    default:
        return {};
    }
}

void ExclusionListModel::follow(const QStringList &entries)
{
    // The entries both lists begin with and end with stay; the ones between are replaced.
    const qsizetype shorter = std::min(m_entries.size(), entries.size());
    qsizetype head = 0;
    while (head < shorter && m_entries[head] == entries[head])
        ++head;
    qsizetype tail = 0;
    while (
        tail < shorter - head && m_entries[m_entries.size() - 1 - tail] == entries[entries.size() - 1 - tail])
        ++tail;
    const qsizetype removed = m_entries.size() - head - tail;
    const qsizetype inserted = entries.size() - head - tail;
    if (removed > 0) {
        beginRemoveRows({}, int(head), int(head + removed - 1));
        m_entries.remove(head, removed);
        endRemoveRows();
    }
    if (inserted > 0) {
        beginInsertRows({}, int(head), int(head + inserted - 1));
        m_entries = entries;
        endInsertRows();
    }
}
