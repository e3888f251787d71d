#pragma once

#include "columns/CategoryColumnConfig.h"
#include "items/RowStates.h"
#include "model/ClipboardItem.h"

#include <QWidget>

class AppSettings;
class ColumnItemsModel;
class ColumnItemsView;
class ItemAvailability;
class ItemMenuHost;
class ItemRowPainter;
class PanelShell;
class QLabel;
class QToolButton;

// One column of the panel: a header (History toggle, title, "Clear", list/grid toggle, each
// only where the panel asks for it) above the column's items, with a divider on its trailing
// side. It shows what the panel computed and reports the user's actions back as signals.
class CategoryColumn final : public QWidget
{
    Q_OBJECT
public:
    // What a column asks of the app: the settings window, its rows' context menus and whether
    // their files can be reached.
    struct Roles
    {
        PanelShell &shell;
        ItemMenuHost &menus;
        ItemAvailability &files;
    };
    CategoryColumn(ItemRowPainter &painter, Roles roles, RowStates rows, AppSettings &settings,
        QWidget *parent = nullptr);

    void setConfig(const CategoryColumnConfig &config, ColumnItemsModel *model);
    const CategoryColumnConfig &config() const { return m_config; }
    ColumnItemsView *itemsView() const { return m_view; }
    void setKeyboardHighlight(bool keyboard);
    // The History toggle's opacity while History collapses or expands.
    void setToggleOpacity(double opacity);
    // Whether a header part is shown (the panel's settings decide; tests read them).
    bool isClearButtonShown() const;
    bool isHistoryToggleShown() const;
    bool isViewModeToggleShown() const;

Q_SIGNALS:
    void itemSelected(const ClipboardItemPtr &item);
    void itemDeleted(const ClipboardItemPtr &item);
    void itemPinToggled(const ClipboardItemPtr &item);
    // The column's pins dragged into a new order.
    void pinsReordered(const QList<ClipboardItemPtr> &pinsInNewOrder);
    void pasteString(const QString &text);
    void historyToggleClicked();
    void viewModeToggleClicked();
    // The user confirmed clearing the column.
    void clearColumnConfirmed();
    void pinnedGroupExpansionRequested(bool expanded);
    // A pin's label typed in place (empty: the label goes).
    void labelEdited(const ClipboardItemPtr &item, const QString &label);
    void scrolled();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showItemMenu(const ClipboardItemPtr &item, const QPoint &globalPosition);

    Roles m_roles;
    AppSettings &m_settings;
    CategoryColumnConfig m_config;
    double m_fontSize = 0.0;
    QWidget *m_header;
    QToolButton *m_historyToggle;
    QLabel *m_title;
    QToolButton *m_clearButton;
    QToolButton *m_viewModeToggle;
    ColumnItemsView *m_view;
};
