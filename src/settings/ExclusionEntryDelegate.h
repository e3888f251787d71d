#pragma once

#include <QStyledItemDelegate>

// A row of the URL blacklist: the entry on one line, giving up its middle when space is short,
// and a remove button at its end. A click on the button asks for the entry's removal; it
// neither selects the row nor starts anything else. Rows are all one height, so a list of any
// length lays out at once.
class ExclusionEntryDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where a row's remove button sits.
    static QRect removeButtonRect(const QRect &row);

    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

Q_SIGNALS:
    void removeRequested(const QString &entry);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
};
