#include "settings/ExclusionEntryDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int buttonSize = 20;
constexpr int rowPadding = 4;

} // namespace

QRect ExclusionEntryDelegate::removeButtonRect(const QRect &row)
{
    return { row.right() - buttonSize - 1, row.center().y() - buttonSize / 2, buttonSize, buttonSize };
}

void ExclusionEntryDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem row = option;
    initStyleOption(&row, index);
    const QString entry = row.text;
    row.text.clear();
    const QWidget *view = option.widget;
    QStyle *style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &row, painter, view);

    const QRect button = removeButtonRect(option.rect);
    QRect text = option.rect.adjusted(rowPadding, 0, 0, 0);
    text.setRight(button.left() - rowPadding);
    painter->save();
    painter->setFont(row.font);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(row.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(row.font).elidedText(entry, Qt::ElideMiddle, text.width()));
    painter->restore();

    const QIcon icon = style->standardIcon(QStyle::SP_LineEditClearButton, nullptr, view);
    icon.paint(painter, button.adjusted(2, 2, -2, -2));
}

QSize ExclusionEntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    // One height for every row, whatever its entry: the text is never measured. No width of its
    // own: a row is as wide as the list shows it.
    return { 0, std::max(QFontMetrics(option.font).height(), buttonSize) + rowPadding };
}

bool ExclusionEntryDelegate::editorEvent(
    QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const bool press
        = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (!press && !release)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton
        || !removeButtonRect(option.rect).contains(mouse->position().toPoint()))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    if (release)
        Q_EMIT removeRequested(index.data().toString());
    return true;
}

bool ExclusionEntryDelegate::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !removeButtonRect(option.rect).contains(event->pos()))
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), QStringLiteral("Remove %1").arg(index.data().toString()), view);
    return true;
}
