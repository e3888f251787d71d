#include "columns/ColumnItemsModel.h"

#include "items/ItemRowText.h"

int ColumnItemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant ColumnItemsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const ClipboardItemPtr &item = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return itemTitle(*item);
    case Qt::ToolTipRole:
        return itemSubtitle(*item);
    case ItemRole:
        return QVariant::fromValue(item);
    case KindRole:
        return item->itemType();
    case IsPinnedRole:
        return item->isPinned();
    case IsSingleCharacterRole:
        return item->isSingleCharacterPin();
    case SectionRole:
        for (const GridSection &section : m_sections) {
            if (index.row() >= section.startIndex && index.row() < section.startIndex + section.count)
                return section.title;
        }
        return QVariant();
    case IsSelectedRole:
        return m_selectedRow == index.row();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ColumnItemsModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(ItemRole, "item");
    names.insert(KindRole, "kind");
    names.insert(IsPinnedRole, "isPinned");
    names.insert(IsSingleCharacterRole, "isSingleCharacter");
    names.insert(SectionRole, "section");
    names.insert(IsSelectedRole, "isSelected");
    return names;
}

void ColumnItemsModel::setContent(const QString &title, const QList<ClipboardItemPtr> &items,
    bool pinnedGroupExpanded, bool isGrid, double width)
{
    QList<ClipboardItemPtr> shown = navigableItems(title, items, pinnedGroupExpanded);
    QList<GridSection> sections = gridSections(title, shown, isGrid, width, pinnedGroupExpanded);
    const int pins = int(
        std::count_if(items.begin(), items.end(), [](const ClipboardItemPtr &i) { return i->isPinned(); }));
    const bool rowsChanged = title != m_title || shown != m_items;
    const bool layoutChanged
        = sections != m_sections || pins != m_pinCount || pinnedGroupExpanded != m_pinnedGroupExpanded;
    if (rowsChanged) {
        beginResetModel();
        m_title = title;
        m_items = std::move(shown);
        m_sections = std::move(sections);
        m_pinCount = pins;
        m_pinnedGroupExpanded = pinnedGroupExpanded;
        m_selectedRow.reset();
        endResetModel();
        setSelectedItem(std::exchange(m_selectedItem, nullptr));
        return;
    }
    if (layoutChanged) {
        m_sections = std::move(sections);
        m_pinCount = pins;
        m_pinnedGroupExpanded = pinnedGroupExpanded;
        Q_EMIT layoutDidChange();
    }
}

void ColumnItemsModel::setSelectedItem(const ClipboardItemPtr &item)
{
    std::optional<int> row;
    if (item) {
        const qsizetype found = m_items.indexOf(item);
        if (found >= 0)
            row = int(found);
    }
    setSelectedRow(row);
    m_selectedItem = item;
}

void ColumnItemsModel::setSelectedRow(std::optional<int> row)
{
    if (row && (*row < 0 || *row >= m_items.size()))
        row.reset();
    m_selectedItem = row ? m_items[*row] : nullptr;
    if (row == m_selectedRow)
        return;
    const std::optional<int> previous = std::exchange(m_selectedRow, row);
    for (const std::optional<int> &changed : { previous, row }) {
        if (changed)
            Q_EMIT dataChanged(index(*changed), index(*changed), { IsSelectedRole });
    }
    Q_EMIT selectedRowChanged();
}

ClipboardItemPtr ColumnItemsModel::itemAt(int row) const
{
    return row >= 0 && row < m_items.size() ? m_items[row] : nullptr;
}
