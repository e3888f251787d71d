#include "panel/PanelViewState.h"

#include "panel/PanelTestSupport.h"

#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "model/ClipboardDatabaseActor.h"
#include "panel/CategoryTitles.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>

#include <sqlite3.h>

using Key = PanelViewState::Key;
using namespace std::chrono_literals;

namespace {

QStringList titles(const CategoryList &list)
{
    QStringList result;
    for (const Category &category : list)
        result.append(category.title);
    return result;
}

QStringList texts(const QList<ClipboardItemPtr> &items)
{
    QStringList result;
    for (const ClipboardItemPtr &item : items)
        result.append(item->textContent().value_or(item->fileURLString().value_or(QString())));
    return result;
}

} // namespace

class PanelViewStateTest : public PanelStoreTest
{
protected:
    void TearDown() override
    {
        m_state.reset();
        m_storeActor.reset();
    }

    // Items are added oldest first, each a second newer than the one before.
    ClipboardItemPtr add(ClipboardItemType type, const QString &text, bool pinned = false)
    {
        ClipboardItemPtr item = ClipboardItem::create(type, { .text = text });
        item->setTimestamp(m_clock = m_clock.addSecs(1));
        if (pinned) {
            item->setIsPinned(true);
            item->setPinnedTimestamp(m_clock);
        }
        context().insert(item);
        return item;
    }
    ClipboardItemPtr addFile(const QStringList &paths)
    {
        ClipboardItemPtr item = ClipboardItem::create(
            ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(paths.first()) });
        QStringList further;
        for (qsizetype i = 1; i < paths.size(); ++i)
            further.append(QUrl::fromLocalFile(paths[i]).toString());
        if (!further.isEmpty())
            item->setAdditionalFileURLStrings(further);
        item->setTimestamp(m_clock = m_clock.addSecs(1));
        context().insert(item);
        return item;
    }
    QString makeFile(const QString &name)
    {
        const QString path = m_folder->path() + QLatin1Char('/') + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    PanelViewState &makeState()
    {
        EXPECT_TRUE(context().save().ok);
        m_state = std::make_unique<PanelViewState>(
            context(), m_env.roles(), &m_controller, *m_settings, m_rowStates.rows(), m_time);
        m_state->appear();
        return *m_state;
    }
    // Lets queued work (live queries, deferred stores, the search task) run.
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    // Column mode with the given column width for n visible columns.
    void layOut(double columnWidth)
    {
        const int n = std::max<qsizetype>(1, m_state->cachedCategories().visible.size());
        m_state->layoutPass(columnWidth * n);
        settle();
    }
    std::optional<int> item() const { return m_state->selectionState().selectedItemIndex(); }
    int column() const { return m_state->selectionState().selectedColumnIndex(); }
    int storedCount()
    {
        std::unique_ptr<ModelContext> fresh = container().makeContext();
        return int(fresh->fetch(FetchDescriptor::newestFirst()).items.size());
    }
    // The store's maintenance, run by the fake roles when the panel asks for it.
    ClipboardDatabaseActor &storeActor()
    {
        if (!m_storeActor) {
            m_storeActor = std::make_unique<ClipboardDatabaseActor>(container());
            m_env.storeActor = m_storeActor.get();
        }
        return *m_storeActor;
    }

    QDateTime m_clock = QDateTime::currentDateTimeUtc().addDays(-1);
    // What the panel's delays and debounces run on.
    ManualClock m_time;
    std::unique_ptr<ClipboardDatabaseActor> m_storeActor;
    std::unique_ptr<PanelViewState> m_state;
};

TEST_F(PanelViewStateTest, ShowsAvailableItemsNewestFirstWithoutPendingDeletions)
{
    ClipboardItemPtr first = add(ClipboardItemType::text, QStringLiteral("one"));
    ClipboardItemPtr gone = add(ClipboardItemType::file, QStringLiteral("file"));
    ClipboardItemPtr third = add(ClipboardItemType::link, QStringLiteral("https://three.example"));
    // Same time as the link: the store's order between them holds.
    ClipboardItemPtr twin = add(ClipboardItemType::text, QStringLiteral("twin"));
    twin->setTimestamp(third->timestamp());
    m_env.unavailableItems.insert(gone->id());
    PanelViewState &state = makeState();

    EXPECT_EQ(texts(state.cachedFilteredItems()), QStringList({ "twin", "https://three.example", "one" }));
    EXPECT_FALSE(state.cachedFilteredItems().contains(gone));
    EXPECT_EQ(titles(state.cachedCategories().all), QStringList({ "History", "Text", "Links" }));

    // Mounted again: shown after the next refresh.
    m_env.unavailableItems.clear();
    NotificationCenter::defaultCenter().post(Notifications::volumesDidChange);
    EXPECT_TRUE(state.cachedFilteredItems().contains(gone));

    state.handleItemDeleted(first);
    EXPECT_FALSE(state.cachedFilteredItems().contains(first)) << "hidden at once";
    EXPECT_TRUE(state.pendingDeletionIds().contains(first->id()));
}

TEST_F(PanelViewStateTest, NewCapturesRefreshTheListsAndDropPendingIdsOfGoneItems)
{
    add(ClipboardItemType::text, QStringLiteral("old"));
    PanelViewState &state = makeState();
    QSignalSpy changed(&state, &PanelViewState::categoriesChanged);
    add(ClipboardItemType::text, QStringLiteral("new"));
    ASSERT_TRUE(context().save().ok);
    settle();
    EXPECT_EQ(texts(state.cachedFilteredItems()), QStringList({ "new", "old" }));
    EXPECT_GE(changed.count(), 1);
}

TEST_F(PanelViewStateTest, SearchRecomputesOnceAfterABurstOfKeystrokes)
{
    add(ClipboardItemType::text, QStringLiteral("apple pie"));
    add(ClipboardItemType::link, QStringLiteral("https://example.com"))
        ->setLinkTitle(QStringLiteral("Apple Store"));
    add(ClipboardItemType::text, QStringLiteral("banana"));
    PanelViewState &state = makeState();
    state.handleKey(Key::down);
    ASSERT_EQ(item(), 0);

    QSignalSpy changed(&state, &PanelViewState::categoriesChanged);
    for (const char *text : { "a", "ap", "app", "APPL" })
        state.setSearchText(QString::fromUtf8(text));
    EXPECT_EQ(item(), std::nullopt) << "typing drops the item selection";
    EXPECT_EQ(changed.count(), 0) << "nothing is recomputed while typing";
    settle();
    EXPECT_EQ(changed.count(), 1);
    const CachedCategories &categories = state.cachedCategories();
    EXPECT_EQ(texts(categories.display[0].items), QStringList({ "https://example.com", "apple pie" }));
    EXPECT_EQ(titles(categories.tabs), QStringList({ "History", "Text", "Links" }));
    EXPECT_EQ(state.cachedFilteredItems().size(), 3) << "a search never narrows the showable items";
}

TEST_F(PanelViewStateTest, CodeColumnFollowsTheSettingWithoutARefresh)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::code, QStringLiteral("int main() {}"));
    PanelViewState &state = makeState();
    EXPECT_EQ(titles(state.cachedCategories().visible), QStringList({ "History", "Text", "Code" }));
    m_settings->setDetectCode(false);
    EXPECT_EQ(titles(state.cachedCategories().visible), QStringList({ "History", "Text" }));
    EXPECT_EQ(state.cachedCategories().visible[0].items.size(), 1) << "undetected code is in no column";
    m_settings->setDetectCode(true);
    EXPECT_EQ(titles(state.cachedCategories().visible), QStringList({ "History", "Text", "Code" }));
}

TEST_F(PanelViewStateTest, HistoryColumnFollowsTheHistoryLimit)
{
    for (int i = 0; i < 60; ++i)
        add(ClipboardItemType::text, QString::number(i));
    m_settings->setHistoryLimit(50);
    PanelViewState &state = makeState();
    EXPECT_EQ(state.cachedCategories().visible[0].items.size(), 50);
    EXPECT_EQ(state.cachedCategories().visible[0].items.first()->textContent(), QStringLiteral("59"));
    EXPECT_EQ(state.cachedCategories().visible[1].items.size(), 60);
}

TEST_F(PanelViewStateTest, ArrowKeysMoveThroughColumnsWithoutWrapping)
{
    for (int i = 0; i < 3; ++i)
        add(ClipboardItemType::text, QStringLiteral("text %1").arg(i));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState(); // History (4), Text (3), Links (1)
    layOut(200);

    EXPECT_FALSE(state.handleKey(Key::left)) << "nothing selected: the caret moves";
    EXPECT_FALSE(state.handleKey(Key::right));
    EXPECT_TRUE(state.handleKey(Key::up));
    EXPECT_EQ(item(), std::nullopt) << "Up never starts a selection";

    state.selectionState().setSelectedColumnIndex(2);
    EXPECT_TRUE(state.handleKey(Key::down));
    EXPECT_EQ(column(), 0) << "Down starts in the first column";
    EXPECT_EQ(item(), 0);
    EXPECT_TRUE(state.selectionState().isKeyboardNavigating());
    for (int i = 0; i < 6; ++i)
        state.handleKey(Key::down);
    EXPECT_EQ(item(), 3) << "stops on the last item";
    state.handleKey(Key::up);
    EXPECT_EQ(item(), 2);

    EXPECT_TRUE(state.handleKey(Key::right));
    EXPECT_EQ(column(), 1);
    EXPECT_EQ(item(), 0);
    EXPECT_TRUE(state.handleKey(Key::right));
    EXPECT_EQ(column(), 2);
    EXPECT_TRUE(state.handleKey(Key::right));
    EXPECT_EQ(column(), 2) << "no wrap to the first column";
    EXPECT_TRUE(state.handleKey(Key::left));
    EXPECT_EQ(column(), 1);
    EXPECT_EQ(item(), 0) << "lands on the end of the top row of a list: its first item";
    state.handleKey(Key::left);
    state.handleKey(Key::left);
    EXPECT_EQ(column(), 0);

    // An index past the end: Down goes to the last item, Return does nothing.
    state.selectionState().setSelectedItemIndex(99);
    state.handleKey(Key::enter);
    EXPECT_EQ(m_env.count<PanelCalls::CopyItem>(), 0);
    state.handleKey(Key::down);
    EXPECT_EQ(item(), 3);
}

TEST_F(PanelViewStateTest, GridNavigationAtColumnWidth320)
{
    // Colors in a grid: 11 single-character pins, 3 other pins and 26 unpinned colours.
    QList<ClipboardItemPtr> unpinnedColors;
    for (int i = 0; i < 26; ++i)
        unpinnedColors.append(add(ClipboardItemType::color, QStringLiteral("#1020%1").arg(i + 10)));
    for (int i = 0; i < 3; ++i)
        add(ClipboardItemType::color, QStringLiteral("pinned colour %1").arg(i), true);
    for (int i = 0; i < 11; ++i)
        add(ClipboardItemType::color, QString(QChar(u'a' + i)), true);
    m_settings->setHistoryLimit(1);
    m_settings->setColorsViewMode(AppSettings::ColumnViewMode::grid);
    PanelViewState &state = makeState();
    state.setPinnedGroupExpanded(CategoryTitle::colors, true);
    layOut(320);
    ASSERT_EQ(titles(state.cachedCategories().visible), QStringList({ "History", "Colors" }));
    ASSERT_DOUBLE_EQ(state.currentColumnWidth(), 320);

    state.selectionState().select(1, 10);
    state.handleKey(Key::down);
    EXPECT_EQ(item(), 13);
    state.selectionState().setSelectedItemIndex(14);
    state.handleKey(Key::up);
    EXPECT_EQ(item(), 11);
    state.handleKey(Key::up);
    EXPECT_EQ(item(), 0);
    state.handleKey(Key::up);
    EXPECT_EQ(item(), 0) << "the top row stays";
    state.handleKey(Key::left);
    EXPECT_EQ(column(), 0) << "left from column 0 of the grid goes to History";
    EXPECT_EQ(item(), 0);
    state.handleKey(Key::right);
    EXPECT_EQ(column(), 1);
    EXPECT_EQ(item(), 0);
    state.selectionState().setSelectedItemIndex(39);
    state.handleKey(Key::right);
    EXPECT_EQ(item(), 39) << "right from the end of the last row stays: no column to the right";
    EXPECT_EQ(column(), 1);
}

TEST_F(PanelViewStateTest, TabWrapsAcrossNonEmptyColumnsAndTabs)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    add(ClipboardItemType::color, QStringLiteral("#FF0000"));
    PanelViewState &state = makeState(); // History, Text, Links, Colors
    layOut(200);

    state.tabForward();
    EXPECT_EQ(column(), 0);
    EXPECT_EQ(item(), 0) << "the first Tab selects the first item of the current column";
    for (int expected : { 1, 2, 3, 0, 1 }) {
        state.tabForward();
        EXPECT_EQ(column(), expected);
        EXPECT_EQ(item(), 0);
    }
    state.tabBackward();
    state.tabBackward();
    EXPECT_EQ(column(), 3) << "Shift-Tab wraps from the first column to the last";

    // Tab mode: Tab cycles the tabs, Control+digit picks one, arrows never change the tab.
    m_controller.setIsLockedInTabMode(true);
    state.layoutPass(500);
    settle();
    ASSERT_TRUE(state.isInTabMode());
    QSignalSpy tabs(&state, &PanelViewState::selectedTabIndexChanged);
    state.selectTabByDigit(4);
    EXPECT_EQ(state.selectedTabIndex(), 3);
    state.tabForward();
    EXPECT_EQ(state.selectedTabIndex(), 0);
    state.tabBackward();
    EXPECT_EQ(state.selectedTabIndex(), 3);
    state.selectTabByDigit(5);
    EXPECT_EQ(state.selectedTabIndex(), 3) << "no fifth tab";
    state.handleKey(Key::down);
    state.handleKey(Key::right);
    state.handleKey(Key::left);
    EXPECT_EQ(state.selectedTabIndex(), 3);
    EXPECT_EQ(tabs.count(), 3);
    EXPECT_EQ(column(), 3) << "the selection follows the shown tab";
}

TEST_F(PanelViewStateTest, SlashCommandsCompleteAndRun)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    PanelViewState &state = makeState();

    state.setSearchText(QStringLiteral("/E"));
    state.tabForward();
    EXPECT_EQ(state.searchText(), QStringLiteral("/emoji"));
    state.handleKey(Key::enter);
    EXPECT_EQ(state.searchText(), QString());
    EXPECT_TRUE(state.isEmojiMode());
    EXPECT_EQ(m_env.count<PanelCalls::ShowCharacterPalette>(), 1);
    EXPECT_EQ(state.toastMessage(), std::nullopt);

    // In emoji mode a typed emoji is pasted, not searched.
    state.setSearchText(QStringLiteral("🎉"));
    EXPECT_EQ(state.searchText(), QString());
    EXPECT_FALSE(state.isEmojiMode());
    EXPECT_EQ(m_env.copiedStrings(), QStringList({ "🎉" }));

    // A digit is no emoji: it is searched as typed.
    state.setSearchText(QStringLiteral("/emoji"));
    state.handleKey(Key::enter);
    ASSERT_TRUE(state.isEmojiMode());
    state.setSearchText(QStringLiteral("1"));
    EXPECT_EQ(state.searchText(), QStringLiteral("1"));
    EXPECT_FALSE(state.isEmojiMode());
    EXPECT_EQ(m_env.copiedStrings().size(), 1);

    // Without an emoji picker the toast says so; emoji typed otherwise are still pasted.
    m_env.hasCharacterPalette = false;
    state.setSearchText(QStringLiteral("/emoji"));
    state.handleKey(Key::enter);
    EXPECT_TRUE(state.isEmojiMode());
    EXPECT_EQ(state.toastMessage(), QStringLiteral("No emoji picker is installed"));
    state.setSearchText(QString());

    state.setSearchText(QStringLiteral("/CLEAR"));
    state.handleKey(Key::enter);
    EXPECT_EQ(state.searchText(), QString());
    EXPECT_TRUE(state.showClearConfirmation());

    state.setShowClearConfirmation(false);
    state.setSearchText(QStringLiteral("/nothing"));
    state.handleKey(Key::enter);
    EXPECT_EQ(state.searchText(), QStringLiteral("/nothing"));
    EXPECT_FALSE(state.showClearConfirmation());
}

TEST_F(PanelViewStateTest, ReturnChoosesAndPastesByKind)
{
    const QString present = makeFile(QStringLiteral("present.txt"));
    const QString other = m_folder->path() + QStringLiteral("/missing-1.txt");
    const QString third = m_folder->path() + QStringLiteral("/missing-2.txt");
    ClipboardItemPtr partly = addFile({ present, other, third });
    ClipboardItemPtr goneSingle = addFile({ m_folder->path() + QStringLiteral("/gone.txt") });
    ClipboardItemPtr goneMany = addFile(
        { m_folder->path() + QStringLiteral("/a.txt"), m_folder->path() + QStringLiteral("/b.txt") });
    ClipboardItemPtr text = add(ClipboardItemType::text, QStringLiteral("text"));
    PanelViewState &state = makeState();

    const struct
    {
        ClipboardItemPtr item;
        bool pinnedPanel;
        Qt::KeyboardModifiers modifiers;
        std::optional<QString> toast;
        bool pasted;
        bool deleted;
    } cases[] = {
        { text, false, Qt::NoModifier, std::nullopt, true, false },
        { text, false, Qt::ShiftModifier, std::nullopt, true, false },
        { text, true, Qt::NoModifier, std::nullopt, true, false },
        { partly, false, Qt::NoModifier, QStringLiteral("2 of 3 files were deleted"), true, false },
        { goneSingle, false, Qt::NoModifier, QStringLiteral("File was deleted"), false, true },
        { goneMany, false, Qt::NoModifier, QStringLiteral("Files were deleted"), false, true },
    };
    for (const auto &c : cases) {
        m_env.calls.clear();
        m_env.modifiers = c.modifiers;
        state.setToastMessage(std::nullopt);
        state.setIsPinned(c.pinnedPanel);
        state.chooseItem(c.item);
        EXPECT_EQ(state.toastMessage(), c.toast);
        EXPECT_EQ(c.item->isDeleted(), c.deleted);
        if (!c.pasted) {
            // Nothing hidden, copied or pasted; the deletion is saved and folded into the store.
            EXPECT_EQ(m_env.calls, QList<PanelCall>({ PanelCalls::CheckpointStore {} }));
            continue;
        }
        const PanelCall getOutOfTheWay = c.pinnedPanel ? PanelCall(PanelCalls::ResignPanelKey {})
                                                       : PanelCall(PanelCalls::HidePanel { true });
        const PanelCall copy = PanelCalls::CopyItem { c.item, c.modifiers == Qt::ShiftModifier };
        EXPECT_EQ(m_env.calls, QList<PanelCall>({ getOutOfTheWay, copy }));
        m_time.advance(99ms);
        EXPECT_EQ(m_env.count<PanelCalls::SimulatePaste>(), 0)
            << "the paste waits 0.1 s for the panel to get out of the way";
        m_time.advance(1ms);
        EXPECT_EQ(m_env.calls, QList<PanelCall>({ getOutOfTheWay, copy, PanelCalls::SimulatePaste {} }));
    }
    EXPECT_EQ(storedCount(), 2) << "the deletions of missing files are saved";
}

TEST_F(PanelViewStateTest, NothingWrittenMeansNothingPasted)
{
    ClipboardItemPtr empty = add(ClipboardItemType::text, QString());
    PanelViewState &state = makeState();
    m_env.copySucceeds = false;
    state.chooseItem(empty);
    EXPECT_EQ(m_env.count<PanelCalls::CopyItem>(), 1);
    EXPECT_TRUE(m_env.received(PanelCalls::HidePanel { true }));
    m_time.advance(1s);
    EXPECT_EQ(m_env.count<PanelCalls::SimulatePaste>(), 0)
        << "a paste keystroke would paste whatever was on the clipboard before";
}

TEST_F(PanelViewStateTest, PinnedReferenceToMissingFilesIsItselfDeleted)
{
    ClipboardItemPtr file = addFile({ m_folder->path() + QStringLiteral("/vanished.txt") });
    file->setIsPinned(true);
    ClipboardItemPtr reference = addFile({ m_folder->path() + QStringLiteral("/other-name.txt") });
    reference->setFileURLString(std::nullopt);
    reference->setPinnedReference(file);
    PanelViewState &state = makeState();
    state.chooseItem(reference);
    EXPECT_TRUE(reference->isDeleted());
    EXPECT_FALSE(file->isDeleted());
    EXPECT_EQ(state.toastMessage(), QStringLiteral("File was deleted"));
}

TEST_F(PanelViewStateTest, BareTextsPasteIntoTheRememberedWindow)
{
    PanelViewState &state = makeState();
    const struct
    {
        const char *text;
        bool activates;
    } cases[] = { { "abc", false }, { "rgb(255, 0, 0)", false }, { "42", false }, { "😀", true },
        { "1\uFE0F\u20E3", true } };
    for (const auto &c : cases) {
        m_env.calls.clear();
        state.insertEmoji(QString::fromUtf8(c.text));
        EXPECT_EQ(m_env.copiedStrings(), QStringList({ QString::fromUtf8(c.text) }));
        EXPECT_EQ(m_env.received(PanelCalls::ActivatePreviousApplication {}), c.activates) << c.text;
        EXPECT_TRUE(m_env.received(PanelCalls::HidePanel { true }));
        m_time.advance(49ms);
        EXPECT_EQ(m_env.count<PanelCalls::SimulatePaste>(), 0) << "bare texts paste after 0.05 s";
        m_time.advance(1ms);
        EXPECT_EQ(m_env.count<PanelCalls::SimulatePaste>(), 1);
    }
}

TEST_F(PanelViewStateTest, PinningAndUnpinningWithReferences)
{
    ClipboardItemPtr link = add(ClipboardItemType::link, QStringLiteral("https://pinned.example"));
    ClipboardItemPtr letter = add(ClipboardItemType::text, QStringLiteral("  x \n"));
    letter->setPinnedLabel(QStringLiteral("a label"));
    PanelViewState &state = makeState();
    ASSERT_FALSE(state.pinnedExpandedCategories().contains(CategoryTitle::links));

    state.handlePinToggle(link);
    EXPECT_TRUE(link->isPinned());
    EXPECT_TRUE(link->pinnedTimestamp().has_value());
    EXPECT_TRUE(state.pinnedExpandedCategories().contains(CategoryTitle::links));
    EXPECT_FALSE(state.cachedCategories().visible[0].items.contains(link)) << "pins leave History";

    state.handlePinToggle(letter);
    EXPECT_EQ(letter->textContent(), QStringLiteral("x"));
    EXPECT_EQ(letter->pinnedLabel(), std::nullopt);
    EXPECT_TRUE(letter->isSingleCharacterPin());

    // Two history entries stand for the pinned link; unpinning removes only the first.
    ClipboardItemPtr first = add(ClipboardItemType::link, QStringLiteral("https://pinned.example"));
    first->setPinnedReference(link);
    ClipboardItemPtr second = add(ClipboardItemType::link, QStringLiteral("https://pinned.example"));
    second->setPinnedReference(link);
    ASSERT_TRUE(context().save().ok);
    settle();
    link->setPinnedLabel(QStringLiteral("label"));
    const QDateTime before = QDateTime::currentDateTimeUtc();
    state.handlePinToggle(link);
    EXPECT_FALSE(link->isPinned());
    EXPECT_EQ(link->pinnedTimestamp(), std::nullopt);
    EXPECT_EQ(link->pinnedLabel(), std::nullopt);
    EXPECT_GE(link->timestamp(), before.addMSecs(-1)) << "first in History again";
    EXPECT_EQ(int(first->isDeleted()) + int(second->isDeleted()), 1);
    EXPECT_EQ(state.cachedCategories().visible[0].items.first(), link);

    // "Pinning" a reference entry removes it instead.
    ClipboardItemPtr survivor = first->isDeleted() ? second : first;
    survivor->setPinnedReference(letter);
    state.handlePinToggle(survivor);
    EXPECT_TRUE(survivor->isDeleted());
    EXPECT_FALSE(letter->isDeleted());
    settle();
    EXPECT_EQ(storedCount(), 2) << "every pin change is saved";
}

TEST_F(PanelViewStateTest, DeletionReachesTheStoreAfterAQuarterAndATenthSecond)
{
    ClipboardItemPtr kept = add(ClipboardItemType::text, QStringLiteral("kept"));
    ClipboardItemPtr doomed = add(ClipboardItemType::code, QStringLiteral("doomed()"));
    PanelViewState &state = makeState();
    state.handleItemDeleted(doomed);
    EXPECT_FALSE(state.cachedFilteredItems().contains(doomed));
    EXPECT_EQ(m_env.callsOf<PanelCalls::InvalidateHighlight>(),
        QList({ PanelCalls::InvalidateHighlight { doomed->id() } }));
    m_time.advance(349ms);
    EXPECT_FALSE(doomed->isDeleted()) << "the row fades out first";
    m_time.advance(1ms);
    EXPECT_TRUE(doomed->isDeleted());
    EXPECT_EQ(m_env.count<PanelCalls::CheckpointStore>(), 1);
    EXPECT_EQ(storedCount(), 1) << "the deletion is saved, so a crash cannot bring it back";
    settle();
    EXPECT_TRUE(state.pendingDeletionIds().isEmpty()) << "ids of items that left the store are dropped";
    EXPECT_TRUE(state.cachedFilteredItems().contains(kept));
}

TEST_F(PanelViewStateTest, ClearingAColumnDeletesOnlyItsUnpinnedItems)
{
    add(ClipboardItemType::code, QStringLiteral("a()"));
    add(ClipboardItemType::code, QStringLiteral("b()"), true);
    add(ClipboardItemType::text, QStringLiteral("text"));
    PanelViewState &state = makeState();
    const Category code = state.cachedCategories().visible[2];
    ASSERT_EQ(code.title, CategoryTitle::code);
    state.clearColumn(code.title, code.items);
    EXPECT_EQ(m_env.count<PanelCalls::ReleaseHighlighter>(), 1);
    EXPECT_EQ(storedCount(), 2);
    EXPECT_EQ(texts(state.cachedFilteredItems()), QStringList({ "text", "b()" }));

    const QList<CategoryColumnConfig> configs = state.columnConfigs(200);
    const auto codeConfig
        = std::find_if(configs.begin(), configs.end(), [](const auto &c) { return c.title == "Code"; });
    ASSERT_NE(codeConfig, configs.end());
    EXPECT_FALSE(codeConfig->canClearColumn) << "only pins are left";
}

TEST_F(PanelViewStateTest, ClearedContentLeavesTheDisk)
{
    const QByteArray secret = "correct-horse-battery-staple";
    for (int i = 0; i < 20; ++i)
        add(ClipboardItemType::text,
            QString::fromLatin1(secret) + QString::number(i) + QString(20'000, QLatin1Char('.')));
    add(ClipboardItemType::text, QStringLiteral("pinned keeper"), true);
    ClipboardDatabaseActor &maintenance = storeActor();
    PanelViewState &state = makeState();
    maintenance.checkpointWAL();
    maintenance.waitForIdle();
    ASSERT_TRUE(storeFilesContain(storePath(), secret));

    state.setShowClearConfirmation(true);
    state.clearHistoryConfirmed();
    maintenance.waitForIdle();
    EXPECT_EQ(storedCount(), 1);
    EXPECT_FALSE(storeFilesContain(storePath(), secret));
    settle();
    EXPECT_EQ(texts(state.cachedFilteredItems()), QStringList({ "pinned keeper" }));
    EXPECT_EQ(m_env.count<PanelCalls::ClearHighlightCache>(), 1);
}

TEST_F(PanelViewStateTest, ClearedColumnLeavesTheDisk)
{
    const QByteArray secret = "column-secret-value";
    for (int i = 0; i < 10; ++i)
        add(ClipboardItemType::link,
            QStringLiteral("https://example.com/") + QString::fromLatin1(secret) + QString::number(i));
    add(ClipboardItemType::text, QStringLiteral("other"));
    ClipboardDatabaseActor &maintenance = storeActor();
    PanelViewState &state = makeState();
    const Category links = state.cachedCategories().visible[2];
    ASSERT_EQ(links.title, CategoryTitle::links);
    state.clearColumn(links.title, links.items);
    maintenance.waitForIdle();
    EXPECT_EQ(storedCount(), 1);
    EXPECT_FALSE(storeFilesContain(storePath(), secret));
}

TEST_F(PanelViewStateTest, ColumnSettingsFollowTheHistoryCollapse)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"), true);
    add(ClipboardItemType::file, QStringLiteral("/tmp"));
    PanelViewState &state = makeState();
    m_env.windowExists = false;

    struct Expected
    {
        QString title;
        int index;
        bool divider;
        bool historyToggle;
        bool viewModeToggle;
        bool clear;
    };
    auto check = [&](const QList<Expected> &expected) {
        const QList<CategoryColumnConfig> configs = state.columnConfigs(200);
        ASSERT_EQ(configs.size(), expected.size());
        for (qsizetype i = 0; i < configs.size(); ++i) {
            EXPECT_EQ(configs[i].title, expected[i].title);
            EXPECT_EQ(configs[i].columnIndex, expected[i].index) << expected[i].title.toStdString();
            EXPECT_EQ(configs[i].showDivider, expected[i].divider) << expected[i].title.toStdString();
            EXPECT_EQ(configs[i].showHistoryToggle, expected[i].historyToggle)
                << expected[i].title.toStdString();
            EXPECT_EQ(configs[i].showViewModeToggle, expected[i].viewModeToggle)
                << expected[i].title.toStdString();
            EXPECT_EQ(configs[i].canClearColumn, expected[i].clear) << expected[i].title.toStdString();
        }
    };
    check({ { "History", 0, true, true, false, true }, { "Text", 1, true, false, false, true },
        { "Links", 2, true, false, false, false }, { "Files", 3, false, false, true, true } });

    state.selectionState().select(2, 0); // Links
    state.handleShortcut(PanelViewState::Shortcut::toggleHistory);
    state.handleShortcut(PanelViewState::Shortcut::toggleHistory);
    m_time.advance(100ms); // started after 0.05 s, settled 0.05 s after the (absent) window's resize
    ASSERT_FALSE(state.isHistoryToggling());
    EXPECT_TRUE(state.isHistoryCollapsed()) << "the second toggle while the first runs is dropped";
    EXPECT_EQ(column(), 1) << "the selection stays on Links";
    check({ { "Text", 0, true, true, false, true }, { "Links", 1, true, false, false, false },
        { "Files", 2, false, false, true, true } });
    EXPECT_EQ(titles(state.cachedCategories().tabs), QStringList({ "History", "Text", "Links", "Files" }));
}

TEST_F(PanelViewStateTest, HistoryToggleResizesTheWindowByOneColumn)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState(); // 3 visible columns
    m_env.frame = QRectF(0, 0, 900, 500);
    m_env.completeResizesAtOnce = false;
    state.toggleHistory();
    EXPECT_TRUE(state.isHistoryToggling());
    m_time.advance(49ms);
    EXPECT_TRUE(m_env.pendingResizeCompletions.isEmpty()) << "the toggle starts 0.05 s after the request";
    EXPECT_EQ(state.searchBarOpacity(), 1.0);
    m_time.advance(1ms);
    ASSERT_EQ(m_env.pendingResizeCompletions.size(), 1);
    EXPECT_TRUE(m_env.received(PanelCalls::SetHostingWidth { 900.0 }));
    EXPECT_TRUE(m_env.received(PanelCalls::ResizeForHistoryToggle { false, 2, 0.2 }));
    EXPECT_EQ(state.headerWidthMultiplier(), 1.0) << "the strip starts as wide as the pinned content";
    m_time.advance(200ms); // as long as the window's resize
    EXPECT_EQ(state.searchBarOpacity(), 0.0);
    EXPECT_DOUBLE_EQ(state.headerWidthMultiplier().value_or(0), 600.0 / 900.0);
    EXPECT_TRUE(m_controller.isHistoryToggling());
    EXPECT_FALSE(state.isHistoryCollapsed()) << "History leaves only when the window has narrowed";
    m_env.pendingResizeCompletions.takeFirst()();
    EXPECT_TRUE(state.isHistoryCollapsed());
    EXPECT_FALSE(m_controller.isHistoryToggling()) << "the window has narrowed: it may follow columns again";
    EXPECT_EQ(state.headerWidthMultiplier(), std::nullopt);
    m_time.advance(49ms);
    EXPECT_TRUE(state.isHistoryToggling()) << "the toggle settles 0.05 s after the resize";
    m_time.advance(1ms);
    EXPECT_FALSE(state.isHistoryToggling());
    m_time.advance(100ms);
    EXPECT_EQ(state.searchBarOpacity(), 1.0) << "faded back in over 0.15 s";

    // Showing: History is back before the window widens, to 3 columns of the 450 each; the
    // window holds its column count until the toggle settles.
    m_time.advance(500ms);
    m_env.calls.clear();
    state.toggleHistory();
    m_time.advance(50ms);
    ASSERT_EQ(m_env.pendingResizeCompletions.size(), 1);
    EXPECT_FALSE(state.isHistoryCollapsed());
    EXPECT_EQ(m_env.calls,
        QList<PanelCall>(
            { PanelCalls::SetHostingWidth { 1350.0 }, PanelCalls::ResizeForHistoryToggle { true, 3, 0.2 } }));
    m_env.pendingResizeCompletions.takeFirst()();
    EXPECT_TRUE(m_controller.isHistoryToggling());
    m_time.advance(50ms);
    EXPECT_FALSE(m_controller.isHistoryToggling());
    EXPECT_FALSE(state.isHistoryToggling());

    // Tab mode ignores the toggle.
    m_controller.setIsLockedInTabMode(true);
    state.layoutPass(400);
    settle();
    m_time.advance(550ms);
    state.toggleHistory();
    EXPECT_FALSE(state.isHistoryToggling());
}

TEST_F(PanelViewStateTest, TheHistoryAnimationMovesItsValuesAlongTheirCurves)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState(); // History, Text, Links
    m_env.frame = QRectF(0, 0, 900, 500);
    m_env.completeResizesAtOnce = false;

    // Values a time after the sequence began (0.05 s after the request): the width curve's
    // progress is 0.1292, 0.5 and 0.8708 at a quarter, half and three quarters of its 0.2 s, the
    // fade's 0.2318 and 0.7682 at a third and two thirds of its 0.15 s.
    struct Frame
    {
        std::chrono::milliseconds at;
        double progress;
        double fade;
    };
    const Frame frames[] = { { 0ms, 0.0, 0.0 }, { 50ms, 0.1292, 0.2318 }, { 100ms, 0.5, 0.7682 },
        { 150ms, 0.8708, 1.0 }, { 200ms, 1.0, 1.0 } };
    const auto runThrough = [&](double multiplierFrom, double multiplierTo, bool hiding) {
        state.toggleHistory();
        m_time.advance(50ms);
        std::chrono::milliseconds elapsed(0);
        for (const Frame &frame : frames) {
            m_time.advance(frame.at - elapsed);
            elapsed = frame.at;
            const double progress = hiding ? frame.progress : 1.0 - frame.progress;
            EXPECT_NEAR(state.toggleAnimProgress(), progress, 1e-3) << frame.at.count() << " ms";
            EXPECT_NEAR(state.headerWidthMultiplier().value_or(-1),
                multiplierFrom + (multiplierTo - multiplierFrom) * frame.progress, 1e-3)
                << frame.at.count() << " ms";
            EXPECT_NEAR(state.searchBarOpacity(), 1.0 - frame.fade, 1e-3) << frame.at.count() << " ms";
            // History's toggle fades the other way from its neighbour's.
            EXPECT_NEAR(state.historyToggleOpacity(true), 1.0 - progress, 1e-3) << frame.at.count() << " ms";
            EXPECT_NEAR(state.historyToggleOpacity(false), progress, 1e-3) << frame.at.count() << " ms";
        }
        ASSERT_EQ(m_env.pendingResizeCompletions.size(), 1);
        m_env.pendingResizeCompletions.takeFirst()();
        m_time.advance(600ms);
        ASSERT_FALSE(state.isHistoryToggling());
    };

    // Hiding from 900 to max(360, 400, 600) = 600: the strip narrows with the window.
    runThrough(1.0, 600.0 / 900.0, true);
    EXPECT_TRUE(state.isHistoryCollapsed());
    EXPECT_EQ(state.searchBarOpacity(), 1.0);

    // Showing in a 400-wide window with Text and Links: min(1440, max(600, 400 × 3 / 2)) = 600,
    // the strip widening from 400 / 600 with the window.
    m_env.frame = QRectF(0, 0, 400, 500);
    runThrough(400.0 / 600.0, 1.0, false);
    EXPECT_FALSE(state.isHistoryCollapsed());

    // Once expanded, History's toggle is fully visible again (it used to stay at 0).
    EXPECT_EQ(state.historyToggleOpacity(true), 1.0);
    const QList<CategoryColumnConfig> configs = state.columnConfigs(200);
    ASSERT_EQ(configs.first().title, CategoryTitle::history);
    EXPECT_TRUE(configs.first().showHistoryToggle);
    EXPECT_EQ(configs.first().toggleFadeOpacity, 1.0);
}

TEST_F(PanelViewStateTest, AToggleWithinHalfASecondOfTheLastIsDropped)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    PanelViewState &state = makeState();
    m_env.windowExists = false;
    state.toggleHistory();
    const struct
    {
        std::chrono::milliseconds since; // after the first toggle
        bool accepted;
    } cases[] = { { 100ms, false }, { 500ms, false }, { 501ms, true } };
    std::chrono::milliseconds elapsed(0);
    for (const auto &c : cases) {
        m_time.advance(c.since - elapsed);
        elapsed = c.since;
        ASSERT_FALSE(state.isHistoryToggling()) << "the toggle before has settled";
        state.toggleHistory();
        EXPECT_EQ(state.isHistoryToggling(), c.accepted) << c.since.count() << " ms";
    }
    m_time.advance(100ms);
    EXPECT_FALSE(state.isHistoryCollapsed()) << "collapsed by the first toggle, expanded by the last";
}

TEST_F(PanelViewStateTest, StaleColumnIndexIsBoundedWhenColumnsDisappear)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    ClipboardItemPtr link = add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState();
    state.selectionState().select(2, 0); // Links
    state.handleItemDeleted(link);
    ASSERT_EQ(titles(state.cachedCategories().visible), QStringList({ "History", "Text" }));
    EXPECT_EQ(column(), 1);
    EXPECT_EQ(item(), std::nullopt);
    state.selectionState().select(1, 0);
    EXPECT_TRUE(state.handleKey(Key::right));
    EXPECT_TRUE(state.handleKey(Key::left));
    state.tabForward();
    EXPECT_LT(column(), 2);
    // A stale index set from outside never reaches past the list either.
    state.selectionState().select(7, 0);
    EXPECT_TRUE(state.handleKey(Key::right));
    state.tabForward();
    state.handleKey(Key::enter);
    EXPECT_EQ(m_env.count<PanelCalls::CopyItem>(), 0);
}

TEST_F(PanelViewStateTest, LayoutResultsAreStoredLaterAndSteerTheWindow)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState();
    const PanelLayout::Decision decision = state.layoutPass(900);
    EXPECT_FALSE(decision.tabMode);
    EXPECT_DOUBLE_EQ(decision.width, 300);
    EXPECT_EQ(state.visibleColumnCount(), 0) << "stored on the next turn only";
    settle();
    EXPECT_EQ(state.visibleColumnCount(), 3);
    EXPECT_DOUBLE_EQ(state.currentColumnWidth(), 300);
    EXPECT_TRUE(m_env.received(PanelCalls::UpdateColumnCount { 3, 0.0 }));

    // A live resize below what three columns need switches to tabs.
    m_env.calls.clear();
    m_controller.setInLiveResize(true);
    EXPECT_TRUE(state.layoutPass(500).tabMode);
    settle();
    EXPECT_TRUE(state.isInTabMode());
    EXPECT_TRUE(m_env.received(PanelCalls::EnsureMinimumWidth { state.tabBarWidth() }));

    // In tab mode a change of the column count locks the window to tabs.
    m_env.calls.clear();
    add(ClipboardItemType::color, QStringLiteral("#00FF00"));
    ASSERT_TRUE(context().save().ok);
    settle();
    state.layoutPass(500);
    settle();
    EXPECT_TRUE(m_env.received(PanelCalls::LockToTabMode { 4 }));

    m_controller.setInLiveResize(false);
    state.layoutPass(900);
    settle();
    EXPECT_FALSE(state.isInTabMode());
    EXPECT_TRUE(m_env.received(PanelCalls::EnsureMinimumWidth { 360.0 }));
}

TEST_F(PanelViewStateTest, TabsStayInRangeWhenTabsDisappear)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    ClipboardItemPtr link = add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState();
    m_controller.setIsLockedInTabMode(true);
    state.layoutPass(400);
    settle();
    state.selectTab(2);
    ASSERT_EQ(state.tabColumnConfig(400)->title, CategoryTitle::links);
    state.handleItemDeleted(link);
    EXPECT_EQ(state.selectedTabIndex(), 1);
    EXPECT_EQ(state.tabColumnConfig(400)->title, CategoryTitle::text);
    EXPECT_FALSE(state.tabColumnConfig(400)->showTitle);
}

TEST_F(PanelViewStateTest, EscapeBacksOutStepByStep)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    PanelViewState &state = makeState();
    m_rowStates.labelEditing.setIsEditing(true);
    state.setSearchText(QStringLiteral("abc"));
    EXPECT_FALSE(state.handleKey(Key::down)) << "a label edit takes the arrows";
    EXPECT_TRUE(state.handleKey(Key::escape));
    EXPECT_FALSE(m_rowStates.labelEditing.isEditing());
    EXPECT_EQ(state.searchText(), QStringLiteral("abc"));
    EXPECT_TRUE(state.handleKey(Key::escape));
    EXPECT_EQ(state.searchText(), QString());
    EXPECT_TRUE(m_env.calls.isEmpty());
    EXPECT_TRUE(state.handleKey(Key::escape));
    EXPECT_EQ(m_env.calls, QList<PanelCall>({ PanelCalls::HidePanel { true } }));

    m_rowStates.labelEditing.setIsEditing(true);
    state.handleKey(Key::down);
    EXPECT_TRUE(state.handleKey(Key::enter));
    EXPECT_FALSE(m_rowStates.labelEditing.isEditing());
    EXPECT_EQ(m_env.count<PanelCalls::CopyItem>(), 0) << "Return only ended the edit";
}

TEST_F(PanelViewStateTest, PanelShowResetsSelectionAndConfirmation)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState();
    state.selectionState().select(2, 0);
    state.handleShortcut(PanelViewState::Shortcut::clearHistory);
    ASSERT_TRUE(state.showClearConfirmation());
    NotificationCenter::defaultCenter().post(Notifications::panelWillShow);
    EXPECT_EQ(column(), 0);
    EXPECT_EQ(item(), std::nullopt);
    EXPECT_FALSE(state.showClearConfirmation());
}

// A show rebuilds the lists only when what they are made from changed since the last rebuild,
// and whatever changed while the panel was hidden is in the lists it shows.
TEST_F(PanelViewStateTest, AShowRebuildsTheListsOnlyWhenTheirItemsChanged)
{
    add(ClipboardItemType::text, QStringLiteral("text"));
    ClipboardItemPtr link = add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    ClipboardItemPtr file = addFile({ makeFile(QStringLiteral("a.txt")) });
    addFile({ makeFile(QStringLiteral("b.txt")), makeFile(QStringLiteral("c.txt")),
        makeFile(QStringLiteral("d.txt")) });
    ClipboardItemPtr code = add(ClipboardItemType::code, QStringLiteral("int main() {}"));
    PanelViewState &state = makeState();
    settle();
    NotificationCenter::defaultCenter().post(Notifications::panelWillShow);
    const struct
    {
        const char *name;
        std::function<void()> change;
        bool rebuilds;
    } cases[] = {
        { "nothing", [] {}, false },
        { "a file that went", [&] { m_env.unavailableItems.insert(file->id()); }, true },
        { "the file back", [&] { m_env.unavailableItems.clear(); }, true },
        // A list's search text says how many of its files are left ("3 Items").
        { "one of a list's files deleted",
            [&] { QFile::remove(m_folder->filePath(QStringLiteral("c.txt"))); }, true },
        { "the list's next file deleted", [&] { QFile::remove(m_folder->filePath(QStringLiteral("d.txt"))); },
            true },
        { "an item pinned in place",
            [&] {
                link->setIsPinned(true);
                link->setPinnedTimestamp(m_clock);
                ASSERT_TRUE(context().save().ok);
                settle();
            },
            true },
        // Taken in as they happen: the show has nothing left to do.
        { "an item deleted, hidden at once", [&] { state.handleItemDeleted(link); }, false },
        { "an item added",
            [&] {
                add(ClipboardItemType::text, QStringLiteral("new"));
                ASSERT_TRUE(context().save().ok);
                settle();
            },
            false },
        { "the Code setting", [&] { m_settings->setDetectCode(false); }, false },
        { "code shown as text, changed in place unsaved", [&] { code->setCodeAsText(true); }, true },
    };
    for (const auto &c : cases) {
        c.change();
        QSignalSpy rebuilt(&state, &PanelViewState::categoriesChanged);
        NotificationCenter::defaultCenter().post(Notifications::panelWillShow);
        EXPECT_EQ(!rebuilt.isEmpty(), c.rebuilds) << c.name;
        QList<ClipboardItemPtr> showable;
        for (const ClipboardItemPtr &item : state.allItems()) {
            if (!m_env.unavailableItems.contains(item->id())
                && !state.pendingDeletionIds().contains(item->id()))
                showable.append(item);
        }
        EXPECT_EQ(texts(state.cachedFilteredItems()), texts(showable)) << c.name;
        EXPECT_TRUE(state.cachedCategories() == state.computeCategories()) << c.name;
    }
}

// A row swiped open shuts when the search changes, another tab is chosen or the panel is shown
// again; other changes leave it open.
TEST_F(PanelViewStateTest, ASwipedOpenRowShutsOnASearchATabChangeOrTheNextShow)
{
    ClipboardItemPtr swiped = add(ClipboardItemType::text, QStringLiteral("text"));
    add(ClipboardItemType::link, QStringLiteral("https://a.example"));
    PanelViewState &state = makeState();
    struct Case
    {
        const char *name;
        std::function<void()> change;
        bool shuts;
    };
    const Case cases[] = {
        { "a search typed", [&] { state.setSearchText(QStringLiteral("te")); }, true },
        { "another tab", [&] { state.selectTab(state.selectedTabIndex() + 1); }, true },
        { "the panel shown again",
            [] { NotificationCenter::defaultCenter().post(Notifications::panelWillShow); }, true },
        { "the pin toggled", [&] { state.setIsPinned(!state.isPinned()); }, false },
    };
    for (const Case &c : cases) {
        SwipeStateManager &swipes = m_rowStates.swipes;
        swipes.swipe(swiped->id(), -SwipeStateManager::actionWidth);
        swipes.endSwipe();
        m_rowStates.clock.advance(SwipeStateManager::closeDuration);
        ASSERT_TRUE(swipes.openRow().has_value()) << c.name;
        c.change();
        EXPECT_EQ(!swipes.openRow().has_value(), c.shuts) << c.name;
        swipes.closeOpenRow();
        m_rowStates.clock.advance(SwipeStateManager::closeDuration);
    }
}

TEST_F(PanelViewStateTest, ThePinIsTheControllersAndRereadsVolumesWhilePinned)
{
    PanelViewState &state = makeState();
    QSignalSpy pinned(&state, &PanelViewState::isPinnedChanged);
    const auto refreshes = [&] { return m_env.count<PanelCalls::RefreshMountedVolumes>(); };

    state.handleShortcut(PanelViewState::Shortcut::togglePin);
    EXPECT_TRUE(m_controller.isPinned());
    EXPECT_TRUE(state.isAvailabilityTimerRunning());
    m_time.advance(9999ms);
    EXPECT_EQ(refreshes(), 0);
    m_time.advance(1ms);
    EXPECT_EQ(refreshes(), 1) << "every ten seconds while pinned";
    m_time.advance(10s);
    EXPECT_EQ(refreshes(), 2);

    // The window or the delegate may change the pin too: the panel follows, with one owner.
    m_controller.setIsPinned(false);
    EXPECT_FALSE(state.isPinned());
    EXPECT_FALSE(state.isAvailabilityTimerRunning());
    m_time.advance(30s);
    EXPECT_EQ(refreshes(), 2);
    state.setIsPinned(true);
    EXPECT_TRUE(m_controller.isPinned());
    EXPECT_EQ(pinned.count(), 3);
    m_time.advance(10s);
    EXPECT_EQ(refreshes(), 3) << "a new pin starts its own ten seconds";
}

TEST_F(PanelViewStateTest, PinnedGroupsExpandAndCollapse)
{
    add(ClipboardItemType::text, QStringLiteral("plain"));
    add(ClipboardItemType::text, QStringLiteral("pinned"), true);
    PanelViewState &state = makeState();
    const Category text = state.cachedCategories().visible[1];
    EXPECT_EQ(texts(state.navigableItems(text)), QStringList({ "plain" }));
    state.setPinnedGroupExpanded(CategoryTitle::text, true);
    EXPECT_EQ(texts(state.navigableItems(text)), QStringList({ "pinned", "plain" }));

    state.selectionState().setSelectedItemIndex(1);
    state.setSearchText(QStringLiteral("p"));
    state.setPinnedGroupExpanded(CategoryTitle::text, false);
    EXPECT_TRUE(state.pinnedExpandedCategories().contains(CategoryTitle::text))
        << "no change while searching";
    state.setSearchText(QString());
    EXPECT_TRUE(state.isPinnedGroupExpanded(CategoryTitle::text));
    state.selectionState().setSelectedItemIndex(1);
    state.setPinnedGroupExpanded(CategoryTitle::text, false);
    EXPECT_EQ(item(), std::nullopt);
    EXPECT_TRUE(state.selectionState().suppressHoverSelection());
    m_time.advance(299ms);
    EXPECT_TRUE(state.selectionState().suppressHoverSelection());
    m_time.advance(1ms);
    EXPECT_FALSE(state.selectionState().suppressHoverSelection());
}

TEST_F(PanelViewStateTest, APinsLabelIsSavedAndFoundBySearchAtOnce)
{
    ClipboardItemPtr pin = add(ClipboardItemType::text, QStringLiteral("ssh -i key.pem deploy@host"), true);
    add(ClipboardItemType::text, QStringLiteral("something else"));
    PanelViewState &state = makeState();
    state.setSearchText(QStringLiteral("staging box"));
    m_time.advance(1s);
    settle();
    const auto found = [&] {
        QList<ClipboardItemPtr> items;
        for (const Category &category : state.cachedCategories().display)
            items << category.items;
        return items;
    };
    ASSERT_TRUE(found().isEmpty()) << "nothing carries the words yet";

    state.setItemLabel(pin, QStringLiteral("  staging box "));
    settle();
    const QList<ClipboardItemPtr> matches = found();
    EXPECT_FALSE(matches.isEmpty()) << "the label is searched at once";
    EXPECT_EQ(matches.count(pin), matches.size()) << "and only the pin carries it";
    EXPECT_EQ(m_env.count<PanelCalls::CheckpointStore>(), 1);
    const auto storedLabel = [&]() -> std::optional<QString> {
        std::unique_ptr<ModelContext> fresh = container().makeContext();
        for (const ClipboardItemPtr &stored : fresh->fetch(FetchDescriptor::newestFirst()).items) {
            if (stored->id() == pin->id())
                return stored->pinnedLabel();
        }
        return std::nullopt;
    };
    EXPECT_EQ(storedLabel(), QStringLiteral("staging box")) << "saved, trimmed";

    // An empty label takes the label away; an unpinned item takes none.
    state.setItemLabel(pin, QStringLiteral("   "));
    EXPECT_EQ(storedLabel(), std::nullopt);
    const QList<ClipboardItemPtr> &all = state.allItems();
    const auto unpinned = std::find_if(
        all.begin(), all.end(), [](const ClipboardItemPtr &item) { return !item->isPinned(); });
    ASSERT_NE(unpinned, all.end());
    const ClipboardItemPtr loose = *unpinned;
    state.setItemLabel(loose, QStringLiteral("never"));
    EXPECT_EQ(loose->pinnedLabel(), std::nullopt);
}

TEST_F(PanelViewStateTest, ToastFadesInAndOutAndKeepsItsTextUntilItHasFaded)
{
    PanelViewState &state = makeState();
    state.setToastMessage(QStringLiteral("File was deleted"));
    EXPECT_EQ(state.toastOpacity(), 0.0);
    m_time.advance(100ms);
    EXPECT_NEAR(state.toastOpacity(), 0.5, 1e-6) << "half of its 0.2 s ease-in-out";
    m_time.advance(100ms);
    EXPECT_EQ(state.toastOpacity(), 1.0);

    m_time.advance(1800ms);
    EXPECT_EQ(state.toastMessage(), std::nullopt) << "its two seconds are over";
    EXPECT_EQ(state.toastShownText(), QStringLiteral("File was deleted")) << "but it is still fading";
    m_time.advance(150ms);
    EXPECT_NEAR(state.toastOpacity(), 1.0 - 0.6846, 1e-3) << "half of its 0.3 s ease-out";
    m_time.advance(150ms);
    EXPECT_EQ(state.toastOpacity(), 0.0);
    EXPECT_EQ(state.toastShownText(), std::nullopt);
}

TEST_F(PanelViewStateTest, ToastLeavesTwoSecondsAfterItAppeared)
{
    PanelViewState &state = makeState();
    state.setToastMessage(QStringLiteral("File was deleted"));
    m_time.advance(1s);
    state.setToastMessage(QStringLiteral("Files were deleted"));
    m_time.advance(999ms);
    EXPECT_EQ(state.toastMessage(), QStringLiteral("Files were deleted"));
    m_time.advance(1ms);
    EXPECT_EQ(state.toastMessage(), std::nullopt) << "a new text keeps the time of the first appearance";

    // Gone and back again: the new appearance has its two seconds, the old removal does nothing.
    state.setToastMessage(QStringLiteral("File was deleted"));
    m_time.advance(500ms);
    state.setToastMessage(std::nullopt);
    m_time.advance(500ms);
    state.setToastMessage(QStringLiteral("2 of 3 files were deleted"));
    m_time.advance(1999ms);
    EXPECT_EQ(state.toastMessage(), QStringLiteral("2 of 3 files were deleted"));
    m_time.advance(1ms);
    EXPECT_EQ(state.toastMessage(), std::nullopt);
}
