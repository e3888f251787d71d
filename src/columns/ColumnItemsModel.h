#pragma once

#include "model/ClipboardItem.h"
#include "panel/GridNavigation.h"

#include <QAbstractListModel>

#include <optional>

// The items of one column in the order the column shows them: with its pinned group expanded
// the single-character pins, then the other pins, then the rest; collapsed, the unpinned items
// only (the number of hidden pins is kept for the group's header). Also the blocks those rows
// form at the column's width, and which row is selected.
class ColumnItemsModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        ItemRole = Qt::UserRole + 1, // the ClipboardItemPtr
        KindRole, // the stored kind string
        IsPinnedRole,
        IsSingleCharacterRole,
        SectionRole, // "SingleChars", "Pinned" or "Unpinned"
        IsSelectedRole,
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Resets the rows only when the shown items or their order changed.
    void setContent(const QString &title, const QList<ClipboardItemPtr> &items, bool pinnedGroupExpanded,
        bool isGrid, double width);
    // The selected item, or none; rows repaint only where the selection moved.
    void setSelectedItem(const ClipboardItemPtr &item);
    // The same by its row (the selection's item index): no search through the rows.
    void setSelectedRow(std::optional<int> row);

    const QString &title() const { return m_title; }
    const QList<ClipboardItemPtr> &items() const { return m_items; }
    const QList<GridSection> &sections() const { return m_sections; }
    ClipboardItemPtr itemAt(int row) const;
    std::optional<int> selectedRow() const { return m_selectedRow; }
    // Pins of the column, shown or not (the pinned group's header counts them).
    int pinCount() const { return m_pinCount; }
    bool isPinnedGroupExpanded() const { return m_pinnedGroupExpanded; }

Q_SIGNALS:
    // The blocks or the pinned group changed without the rows changing.
    void layoutDidChange();
    void selectedRowChanged();

private:
    QString m_title;
    QList<ClipboardItemPtr> m_items;
    QList<GridSection> m_sections;
    std::optional<int> m_selectedRow;
    ClipboardItemPtr m_selectedItem;
    int m_pinCount = 0;
    bool m_pinnedGroupExpanded = false;
};
