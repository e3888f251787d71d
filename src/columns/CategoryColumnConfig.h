#pragma once

#include "model/AppSettings.h"
#include "model/ClipboardItem.h"

#include <QList>
#include <QString>

// What the panel tells one column to show: its items and which parts of its header to draw.
// The panel computes it; the column widget only shows it and reports user actions back.
struct CategoryColumnConfig
{
    QString title;
    QList<ClipboardItemPtr> items;
    double columnWidth = 200.0;
    // Position among the panel's columns (the selected tab in tab mode); the selection's
    // column index is compared with it.
    int columnIndex = 0;
    bool showHistoryToggle = false;
    bool isHistoryCollapsed = false;
    bool isHistoryColumn = false;
    bool showDivider = false;
    bool showTitle = true;
    double contentTopPadding = 10.0;
    AppSettings::ColumnViewMode viewMode = AppSettings::ColumnViewMode::list;
    bool canToggleViewMode = false;
    bool showViewModeToggle = false;
    // The header offers "Clear" (there is an unpinned item to clear).
    bool canClearColumn = false;
    double toggleFadeOpacity = 1.0;
    bool isSearching = false;
    bool isPinnedExpanded = false;
    // The items' order revision: pins dragged into another order leave the same items in the
    // list, and only this tells the column to sort its pins again.
    quint64 itemsOrderRevision = 0;

    friend bool operator==(const CategoryColumnConfig &, const CategoryColumnConfig &) = default;
};
