#include "columns/ColumnItemsModel.h"
#include "columns/ColumnLayout.h"
#include "panel/CategoryTitles.h"
#include "panel/PanelColumnsModel.h"
#include "panel/PanelViewState.h"

#include "panel/PanelTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>

namespace {

ClipboardItemPtr textItem(const QString &text, bool pinned = false)
{
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = text });
    if (pinned) {
        item->setIsPinned(true);
        item->setPinnedTimestamp(QDateTime::currentDateTimeUtc());
    }
    return item;
}

} // namespace

TEST(ColumnLayoutTest, BlocksStackWithTheirOwnCellSizes)
{
    // Width 320 in a grid: 11 single characters a row, 5 tiles a row.
    const QList<GridSection> sections { { "SingleChars", 0, 12, 11 }, { "Pinned", 12, 3, 5 },
        { "Unpinned", 15, 6, 5 } };
    const ColumnLayout layout(sections, true, 320, true, 10);
    ASSERT_EQ(layout.cellCount(), 21);
    ASSERT_TRUE(layout.pinnedHeaderRect());
    const double firstTop = layout.pinnedHeaderRect()->bottom() + ColumnLayout::rowSpacing;
    EXPECT_EQ(layout.cellKind(0), ColumnLayout::CellKind::singleCharacter);
    EXPECT_DOUBLE_EQ(layout.cellRect(0).top(), firstTop);
    EXPECT_DOUBLE_EQ(layout.cellRect(10).left(), ColumnLayout::inset + 10 * 26);
    EXPECT_DOUBLE_EQ(layout.cellRect(11).left(), ColumnLayout::inset) << "the twelfth starts a second row";
    EXPECT_DOUBLE_EQ(layout.cellRect(11).top(), firstTop + 26);
    EXPECT_EQ(layout.cellKind(12), ColumnLayout::CellKind::tile);
    EXPECT_DOUBLE_EQ(layout.cellRect(12).top(), firstTop + 2 * 26 + ColumnLayout::sectionSpacing);
    EXPECT_DOUBLE_EQ(layout.cellRect(14).left(), ColumnLayout::inset + 2 * 56);
    EXPECT_DOUBLE_EQ(
        layout.cellRect(15).top(), layout.cellRect(12).top() + 56 + ColumnLayout::sectionSpacing);
    EXPECT_DOUBLE_EQ(layout.cellRect(20).top(), layout.cellRect(15).top() + 56) << "the sixth unpinned wraps";
    EXPECT_GT(layout.contentHeight(), layout.cellRect(20).bottom());

    EXPECT_EQ(layout.rowAt(layout.cellRect(13).center()), 13);
    EXPECT_EQ(layout.rowAt(layout.pinnedHeaderRect()->center()), std::nullopt);
    EXPECT_EQ(layout.rowAt(QPointF(319, layout.cellRect(13).center().y())), std::nullopt)
        << "beside the tiles";
    const QList<int> visible = layout.rowsBetween(layout.cellRect(12).top(), layout.cellRect(12).bottom());
    EXPECT_EQ(visible, QList<int>({ 12, 13, 14 }));

    // A list: one row per item across the column, as high as its text size makes rows.
    for (const double rowHeight : { ColumnLayout::rowHeight, 58.0 }) {
        const ColumnLayout list({ { "Unpinned", 0, 3, 1 } }, false, 200, false, 10, rowHeight);
        EXPECT_EQ(list.cellKind(1), ColumnLayout::CellKind::row);
        EXPECT_EQ(list.cellRect(1),
            QRectF(ColumnLayout::inset, 10 + rowHeight + ColumnLayout::rowSpacing, 180, rowHeight))
            << rowHeight;
        EXPECT_FALSE(list.pinnedHeaderRect());
    }
}

TEST(ColumnItemsModelTest, ShowsPinsFirstWhenExpandedAndTracksTheSelection)
{
    ColumnItemsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QList<ClipboardItemPtr> items { textItem("new"), textItem("x", true), textItem("long pin", true),
        textItem("old") };
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    model.setContent(CategoryTitle::text, items, false, false, 200);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.pinCount(), 2);
    EXPECT_EQ(model.index(0).data().toString(), QStringLiteral("new"));
    model.setContent(CategoryTitle::text, items, false, false, 200);
    EXPECT_EQ(resets.count(), 1) << "unchanged content resets nothing";

    model.setSelectedItem(items[3]);
    EXPECT_EQ(model.selectedRow(), 1);
    EXPECT_TRUE(model.index(1).data(ColumnItemsModel::IsSelectedRole).toBool());

    model.setContent(CategoryTitle::text, items, true, false, 200);
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.index(0).data(ColumnItemsModel::SectionRole).toString(), QStringLiteral("SingleChars"));
    EXPECT_TRUE(model.index(0).data(ColumnItemsModel::IsSingleCharacterRole).toBool());
    EXPECT_EQ(model.index(1).data(ColumnItemsModel::SectionRole).toString(), QStringLiteral("Pinned"));
    EXPECT_EQ(model.index(3).data(ColumnItemsModel::SectionRole).toString(), QStringLiteral("Unpinned"));
    EXPECT_EQ(model.index(2).data(ColumnItemsModel::ItemRole).value<ClipboardItemPtr>(), items[0]);
    EXPECT_EQ(model.selectedRow(), 3) << "the selected item is found again after a reset";

    QSignalSpy layoutChanges(&model, &ColumnItemsModel::layoutDidChange);
    model.setContent(CategoryTitle::text, items, true, false, 200);
    EXPECT_EQ(layoutChanges.count(), 0);
    model.setContent(CategoryTitle::text, items, true, false, 700);
    EXPECT_EQ(layoutChanges.count(), 1) << "more single characters fit a row";
    model.setContent(CategoryTitle::text, {}, false, false, 200);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.selectedRow(), std::nullopt);
}

class PanelColumnsModelTest : public PanelStoreTest
{
};

TEST_F(PanelColumnsModelTest, FollowsColumnsTabsSearchAndSelection)
{
    insertText(QStringLiteral("apple"));
    ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://b.example") });
    ClipboardItemPtr link
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://b.example") });
    context().insert(link);
    ASSERT_TRUE(context().save().ok);
    PanelViewState state(
        context(), m_env.roles(), &m_controller, *m_settings, m_rowStates.rows(), m_rowStates.clock);
    state.appear();
    PanelColumnsModel model(state);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    model.update(state.layoutPass(600));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(1).data(PanelColumnsModel::TitleRole).toString(), CategoryTitle::text);
    EXPECT_EQ(model.index(2).data(PanelColumnsModel::CountRole).toInt(), 1);
    EXPECT_FALSE(model.index(2).data(PanelColumnsModel::ShowDividerRole).toBool());
    EXPECT_EQ(model.itemsModel(0)->rowCount(), 2);

    state.setSearchText(QStringLiteral("APP"));
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QSignalSpy configs(&model, &PanelColumnsModel::configsChanged);
    model.update(state.layoutPass(600));
    EXPECT_EQ(model.rowCount(), 3) << "a search keeps the columns";
    EXPECT_EQ(configs.count(), 1);
    EXPECT_EQ(model.itemsModel(0)->rowCount(), 1);
    EXPECT_EQ(model.itemsModel(2)->rowCount(), 0);

    state.setSearchText(QString());
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    model.update(state.layoutPass(600));
    state.handleKey(PanelViewState::Key::down);
    EXPECT_EQ(model.itemsModel(0)->selectedRow(), 0);
    state.handleKey(PanelViewState::Key::right);
    EXPECT_EQ(model.itemsModel(0)->selectedRow(), std::nullopt);
    EXPECT_EQ(model.itemsModel(1)->selectedRow(), 0);

    m_controller.setIsLockedInTabMode(true);
    model.update(state.layoutPass(600));
    EXPECT_TRUE(model.isTabMode());
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.config(0).title, CategoryTitle::history);
    EXPECT_FALSE(model.config(0).showTitle);
}
