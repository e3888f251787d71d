#include "panel/ClipboardPanelView.h"

#include "columns/CategoryColumn.h"
#include "columns/ColumnItemsModel.h"
#include "columns/ColumnItemsView.h"
#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "panel/CategoryTitles.h"
#include "panel/ClearHistoryConfirmation.h"
#include "panel/PanelBannerView.h"
#include "panel/PanelCategories.h"
#include "panel/PanelTestSupport.h"
#include "panel/PanelViewState.h"
#include "panel/SearchBar.h"
#include "panel/ShareBanner.h"
#include "panel/TabHeader.h"
#include "panel/WidgetOpacity.h"
#include "support/TestSupport.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

// A menu's entries as shown, without separators.
QStringList menuTitles(const QMenu &menu)
{
    QStringList shown;
    for (const QAction *action : menu.actions()) {
        if (!action->isSeparator())
            shown << action->text();
    }
    return shown;
}

QStringList rowTexts(const ColumnItemsView &view)
{
    QStringList texts;
    for (const ClipboardItemPtr &item : view.model()->items())
        texts.append(item->textContent().value_or(QString()));
    return texts;
}

} // namespace

class ClipboardPanelViewTest : public PanelStoreTest
{
protected:
    void TearDown() override { m_view.reset(); }

    ClipboardPanelView &show(int width, int height = 600, Clock &clock = Clock::system())
    {
        EXPECT_TRUE(context().save().ok);
        m_view = std::make_unique<ClipboardPanelView>(
            context(), m_env.roles(), &m_controller, *m_settings, m_rowStates.rows(), clock);
        m_view->resize(width, height);
        m_view->show();
        m_view->activateWindow();
        m_view->focusSearchField();
        settle();
        return *m_view;
    }
    static void settle() { settleEvents(); }
    QStringList shownTitles() const { return shownColumnTitles(*m_view); }
    // Opens a row's context menu as a right click does; the menu the shell was told of.
    QMenu *openMenuOnRow(ColumnItemsView &view, int row)
    {
        const QPoint at = view.visualRect(row).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &event);
        settle();
        return m_env.lastOpenedMenu();
    }
    static void sendMouse(ColumnItemsView &view, QEvent::Type type, int row, Qt::MouseButtons held)
    {
        const QPoint at = view.visualRect(row).center();
        QMouseEvent event(type, at, view.viewport()->mapToGlobal(at),
            type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }
    // Presses on one row, moves over the rows to another and lets go there; midway runs before
    // the release.
    static void drag(ColumnItemsView &view, int from, int to, const std::function<void()> &midway)
    {
        sendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
        sendMouse(view, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        sendMouse(view, QEvent::MouseMove, to, Qt::LeftButton);
        if (midway)
            midway();
        sendMouse(view, QEvent::MouseButtonRelease, to, Qt::NoButton);
        settle();
    }
    // The pins' texts in the order a fresh read of the store sorts them.
    QStringList storedPinOrder()
    {
        std::unique_ptr<ModelContext> reader = container().makeContext();
        QList<ClipboardItemPtr> pins;
        for (const ClipboardItemPtr &item : reader->fetch(FetchDescriptor::newestFirst()).items) {
            if (item->isPinned())
                pins.append(item);
        }
        sortByPinTime(pins);
        QStringList texts;
        for (const ClipboardItemPtr &pin : pins)
            texts.append(pin->textContent().value_or(QString()));
        return texts;
    }
    CategoryColumn *columnTitled(const QString &title) const { return shownColumn(*m_view, title); }

    std::unique_ptr<ClipboardPanelView> m_view;
};

TEST_F(ClipboardPanelViewTest, EmptyHistoryShowsTheEmptyState)
{
    ClipboardPanelView &panel = show(800);
    EXPECT_TRUE(panel.isShowingEmptyState());
    EXPECT_TRUE(panel.columns().isEmpty());
    insertText(QStringLiteral("first"));
    ASSERT_TRUE(context().save().ok);
    settle();
    EXPECT_FALSE(panel.isShowingEmptyState());
    EXPECT_EQ(shownTitles(), QStringList({ "History", "Text" }));
}

TEST_F(ClipboardPanelViewTest, TypingFiltersAndShortcutsWinOverTheLineEdit)
{
    insertText(QStringLiteral("apple pie"));
    insertText(QStringLiteral("banana bread"));
    ClipboardPanelView &panel = show(800);
    SearchField *field = panel.searchField();
    ASSERT_TRUE(field->hasFocus());

    // Tab moves through the columns and never moves the focus out of the field.
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(panel.state().selectionState().selectedItemIndex(), 0);
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(panel.state().selectionState().selectedColumnIndex(), 1);
    QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(panel.state().selectionState().selectedColumnIndex(), 0);
    EXPECT_TRUE(field->hasFocus());

    QTest::keyClicks(field, QStringLiteral("APPLE"));
    settle();
    EXPECT_EQ(panel.state().searchText(), QStringLiteral("APPLE"));
    EXPECT_EQ(columnTitled(QStringLiteral("History"))->itemsView()->model()->rowCount(), 1);
    EXPECT_TRUE(panel.searchBar()->isClearButtonShown());

    // Control+K would delete to the end of the line in a plain line edit.
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("APPLE"));
    EXPECT_TRUE(panel.state().showClearConfirmation());
    settle();
    ASSERT_NE(panel.openConfirmation(), nullptr);
    EXPECT_EQ(panel.openConfirmation()->messageBox()->text(), QStringLiteral("Clear Clipboard History?"));
    panel.openConfirmation()->withdraw();
    settle();
    EXPECT_FALSE(panel.state().showClearConfirmation());
    EXPECT_EQ(context().fetchCount(FetchDescriptor::newestFirst()), 2)
        << "a withdrawn question deletes nothing";

    QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(panel.state().isPinned());
    EXPECT_TRUE(panel.searchBar()->isPinButtonShown());
    EXPECT_EQ(field->text(), QStringLiteral("APPLE"));
    QTest::keyClick(field, Qt::Key_Period, Qt::ControlModifier);
    EXPECT_TRUE(panel.state().isHistoryToggling());
    EXPECT_EQ(field->text(), QStringLiteral("APPLE"));

    // Input methods stay available for composing; nothing offers completions.
    EXPECT_TRUE(field->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(field->completer(), nullptr);

    // Escape clears the search first, then hides the panel.
    m_env.calls.clear();
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QString());
    EXPECT_TRUE(m_env.calls.isEmpty());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(m_env.calls, QList<PanelCall>({ PanelCalls::HidePanel { true } }));
}

TEST_F(ClipboardPanelViewTest, ConfirmingTheClearDeletesTheUnpinnedItems)
{
    insertText(QStringLiteral("one"));
    insertText(QStringLiteral("kept"), QDateTime::currentDateTimeUtc(), true);
    ClipboardPanelView &panel = show(800);
    panel.state().setSearchText(QStringLiteral("/clear"));
    QTest::keyClick(panel.searchField(), Qt::Key_Return);
    settle();
    ASSERT_NE(panel.openConfirmation(), nullptr);
    QMessageBox *box = panel.openConfirmation()->messageBox();
    EXPECT_EQ(box->informativeText(), ClearHistoryConfirmation::message());
    QPushButton *clear = nullptr;
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == QStringLiteral("Clear"))
            clear = qobject_cast<QPushButton *>(button);
    }
    ASSERT_NE(clear, nullptr);
    clear->click();
    settle();
    EXPECT_EQ(context().fetchCount(FetchDescriptor::newestFirst()), 1);
    EXPECT_FALSE(panel.state().showClearConfirmation());
    EXPECT_EQ(shownTitles(), QStringList({ "History", "Text" }));
}

TEST_F(ClipboardPanelViewTest, KeyboardSelectionStaysInView)
{
    for (int i = 0; i < 40; ++i)
        insertText(QStringLiteral("entry %1").arg(i), QDateTime::currentDateTimeUtc().addSecs(i));
    ClipboardPanelView &panel = show(400, 400);
    CategoryColumn *history = columnTitled(QStringLiteral("History"));
    ASSERT_NE(history, nullptr);
    ColumnItemsView *list = history->itemsView();
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(panel.searchField(), Qt::Key_Down);
    settle();
    ASSERT_EQ(list->model()->selectedRow(), 30);
    EXPECT_GT(list->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(30)))
        << "the highlight is scrolled into view";
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(panel.searchField(), Qt::Key_Up);
    settle();
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(0)));

    QTest::keyClick(panel.searchField(), Qt::Key_Return);
    const QList<PanelCalls::CopyItem> copied = m_env.callsOf<PanelCalls::CopyItem>();
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied[0].item->textContent(), QStringLiteral("entry 39"));
    EXPECT_TRUE(m_env.received(PanelCalls::HidePanel { true }));
}

// Rows are as high as the text size makes them, in every column, and the next follows below.
TEST_F(ClipboardPanelViewTest, RowsGrowWithTheTextSize)
{
    insertText(QStringLiteral("older"), QDateTime::currentDateTimeUtc().addSecs(-1));
    insertText(QStringLiteral("newer"));
    show(400);
    for (const double size :
        { AppSettings::defaultFontSize, AppSettings::maximumFontSize, AppSettings::minimumFontSize }) {
        m_settings->setFontSize(size);
        settle();
        const int height = int(ItemRowPainter::rowHeight(size));
        for (const QString &title : { QStringLiteral("History"), QStringLiteral("Text") }) {
            SCOPED_TRACE(title.toStdString() + " at " + std::to_string(size));
            CategoryColumn *column = columnTitled(title);
            ASSERT_NE(column, nullptr);
            const ColumnItemsView *rows = column->itemsView();
            EXPECT_EQ(rows->visualRect(0).height(), height);
            EXPECT_EQ(rows->visualRect(1).top(), rows->visualRect(0).top() + height + 2);
        }
    }
    EXPECT_GT(ItemRowPainter::rowHeight(AppSettings::maximumFontSize), 44.0) << "no size to grow to";
}

TEST_F(ClipboardPanelViewTest, LockedNarrowPanelShowsTabs)
{
    insertText(QStringLiteral("text"));
    ClipboardItemPtr link
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://a.example") });
    context().insert(link);
    m_controller.setIsLockedInTabMode(true);
    ClipboardPanelView &panel = show(500);
    ASSERT_TRUE(panel.isShowingTabs());
    ASSERT_EQ(panel.columns().size(), 1);
    EXPECT_EQ(panel.columns()[0]->config().title, QStringLiteral("History"));
    EXPECT_FALSE(panel.columns()[0]->isClearButtonShown()) << "the tab header has the Clear button";
    QTest::keyClick(panel.searchField(), Qt::Key_3, Qt::ControlModifier);
    settle();
    EXPECT_EQ(panel.columns()[0]->config().title, QStringLiteral("Links"));

    TabHeader *header = panel.tabHeader();
    QTest::mouseClick(header, Qt::LeftButton, {}, header->tabRect(1).center().toPoint());
    settle();
    EXPECT_EQ(panel.state().selectedTabIndex(), 1);
    EXPECT_EQ(panel.columns()[0]->config().title, QStringLiteral("Text"));
}

TEST_F(ClipboardPanelViewTest, UpdateBannerReplacesTheDividerUntilDismissed)
{
    m_settings->setShowUpdateSuccessBanner(true);
    insertText(QStringLiteral("text"));
    ManualClock time;
    ClipboardPanelView &panel = show(800, 600, time);
    PanelBannerView *banner = panel.findChild<PanelBannerView *>();
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->message(), QStringLiteral("Successfully updated to the latest version"));
    EXPECT_TRUE(banner->actionTitle().isEmpty());
    QTest::mouseClick(banner, Qt::LeftButton, {}, QPoint(banner->width() / 2, banner->height() / 2));
    settle();
    EXPECT_FALSE(m_settings->showUpdateSuccessBanner());
    // It fades out over 0.25 s, the divider fading in.
    time.advance(125ms);
    settle();
    ASSERT_NE(panel.findChild<PanelBannerView *>(), nullptr) << "gone before it faded";
    const double halfway = widgetOpacity(panel.findChild<PanelBannerView *>());
    EXPECT_GT(halfway, 0.2);
    EXPECT_LT(halfway, 0.8);
    QWidget *divider = panel.findChild<PanelBannerView *>()->parentWidget()->findChild<QWidget *>(
        QStringLiteral("divider"));
    ASSERT_NE(divider, nullptr);
    EXPECT_DOUBLE_EQ(widgetOpacity(divider), 1.0 - halfway) << "the divider comes as the banner goes";
    time.advance(125ms);
    settle();
    EXPECT_EQ(panel.findChild<PanelBannerView *>(), nullptr);
}

TEST(ShareBannerTest, AskedOnlyWithAWebPageOnceTheHistoryHasGrownAndNeverBesideTheUpdateNotice)
{
    const QUrl page(QStringLiteral("https://tindlewick.example/"));
    const qsizetype enough = ShareBanner::historyCountToAsk;
    const struct
    {
        const char *what;
        QUrl homepage;
        bool updateShown;
        bool dismissed;
        qsizetype historyCount;
        bool due;
    } cases[] = {
        { "a web page and a grown history", page, false, false, enough, true },
        { "a history still short", page, false, false, enough - 1, false },
        { "no web page named by the build", QUrl(), false, false, enough * 4, false },
        { "the update notice shows", page, true, false, enough, false },
        { "shared or closed before", page, false, true, enough, false },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ShareBanner::isDue(c.homepage, c.updateShown, c.dismissed, c.historyCount), c.due)
            << c.what;
}

// "Share" opens the product's page through the desktop and closes the banner for good; without
// a page named by the build the banner never comes.
TEST_F(ClipboardPanelViewTest, TheShareBannersShareOpensTheWebPageAndClosesItForGood)
{
    const QUrl page(QStringLiteral("https://tindlewick.example/"));
    for (int i = 0; i < ShareBanner::historyCountToAsk; ++i)
        insertText(QStringLiteral("note %1").arg(i), QDateTime::currentDateTimeUtc().addSecs(-i));
    {
        ClipboardPanelView &panel = show(800);
        EXPECT_EQ(panel.findChild<PanelBannerView *>(), nullptr) << "asked without a web page";
        m_view.reset();
    }
    m_env.homepage = page;
    ManualClock time;
    ClipboardPanelView &panel = show(800, 600, time);
    time.advance(250ms);
    settle();
    PanelBannerView *banner = panel.findChild<PanelBannerView *>();
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->message(), QStringLiteral("Enjoying Tindlewick? A quick share helps a lot."));
    EXPECT_EQ(banner->actionTitle(), QStringLiteral("Share"));

    // A tap on its body does nothing.
    QTest::mouseClick(banner, Qt::LeftButton, {}, QPoint(40, banner->height() / 2));
    settle();
    EXPECT_EQ(m_env.count<PanelCalls::OpenUrl>(), 0);
    EXPECT_FALSE(m_settings->shareBannerDismissed());

    const QRect action = banner->actionRect().toAlignedRect();
    QTest::mouseClick(banner, Qt::LeftButton, {}, action.center());
    settle();
    EXPECT_EQ(m_env.callsOf<PanelCalls::OpenUrl>(), QList({ PanelCalls::OpenUrl { page } }));
    EXPECT_TRUE(m_settings->shareBannerDismissed());
    time.advance(250ms);
    settle();
    EXPECT_EQ(panel.findChild<PanelBannerView *>(), nullptr) << "the banner stayed after Share";
    panel.state().panelWillShow();
    time.advance(250ms);
    settle();
    EXPECT_EQ(panel.findChild<PanelBannerView *>(), nullptr) << "asked again";
}

TEST(ClearHistoryConfirmationTest, TitlesAndWithdrawal)
{
    const struct
    {
        bool clearAll;
        std::optional<QString> column;
        QString title;
    } cases[] = {
        { true, QStringLiteral("Links"), "Clear Clipboard History?" },
        { false, std::nullopt, "Clear Column?" },
        { false, QStringLiteral("History"), "Clear Clipboard History?" },
        { false, QStringLiteral("history"), "Clear history Column?" },
        { false, QStringLiteral("Links"), "Clear Links Column?" },
        { false, QString(), "Clear  Column?" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ClearHistoryConfirmation::title(c.clearAll, c.column), c.title);

    bool cleared = false;
    bool finished = false;
    QPointer<ClearHistoryConfirmation> confirmation = ClearHistoryConfirmation::ask(
        nullptr, false, QStringLiteral("Links"), [&] { cleared = true; }, [&] { finished = true; });
    ASSERT_TRUE(confirmation);
    EXPECT_EQ(confirmation->messageBox()->text(), QStringLiteral("Clear Links Column?"));
    NotificationCenter::defaultCenter().post(Notifications::panelDidHide);
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_FALSE(cleared) << "hiding the panel withdraws the question";
}

// While the question is open no window of the app takes input: neither the window it was asked
// over nor any other (the settings window while the panel asks, and the other way round).
TEST(ClearHistoryConfirmationTest, TheQuestionBlocksEveryWindowOfTheApp)
{
    QWidget askedOver;
    askedOver.setGeometry(0, 0, 300, 200);
    QPushButton other(QStringLiteral("elsewhere"));
    other.setGeometry(400, 0, 120, 40);
    other.show();
    askedOver.show();
    askedOver.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&askedOver)) << "the question goes over the active window";
    bool finished = false;
    QPointer<ClearHistoryConfirmation> confirmation = ClearHistoryConfirmation::ask(
        &askedOver, true, std::nullopt, [] {}, [&] { finished = true; });
    ASSERT_TRUE(confirmation);
    QMessageBox *box = confirmation->messageBox();
    ASSERT_TRUE(waitUntil([&] { return box->isVisible(); }));
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(QApplication::activeModalWidget(), box);

    int clicks = 0;
    QObject::connect(&other, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(60, 20));
    QApplication::processEvents();
    EXPECT_EQ(clicks, 0) << "another window took a click under the question";

    confirmation->withdraw();
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(60, 20));
    QApplication::processEvents();
    EXPECT_EQ(clicks, 1) << "the question gone, the window takes clicks again";
}

// A row's menu is the shell's to close when the panel hides, and a picture whose file turns out
// to be SVG source offers that source once the file has been read, in the menu already open.
TEST_F(ClipboardPanelViewTest, APicturesMenuOffersItsSvgSourceOnceItsFileHasBeenRead)
{
    const QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect/></svg>");
    ClipboardItemPtr picture = ClipboardItem::create(ClipboardItemType::media,
        { .fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/logo.svg")),
            .mediaSubtypeRaw = QStringLiteral("image") });
    picture->setTimestamp(QDateTime::currentDateTimeUtc().addSecs(-10));
    context().insert(picture);
    insertText(QStringLiteral("a note"));
    ClipboardPanelView &panel = show(800);
    ColumnItemsView *history = columnTitled(QStringLiteral("History"))->itemsView();
    ASSERT_NE(history, nullptr);

    struct Case
    {
        const char *name;
        int row; // the note is newer, so it comes first
        std::optional<QString> svgCode;
        QStringList before;
        QStringList after;
    };
    const Case cases[] = {
        { "a text", 0, std::nullopt, { "Pin", "Delete" }, { "Pin", "Delete" } },
        { "a picture that is no SVG", 1, std::nullopt, { "Pin", "Delete" }, { "Pin", "Delete" } },
        { "an SVG picture", 1, svg, { "Pin", "Delete" }, { "Pin", "Delete", "Paste SVG code" } },
    };
    for (const Case &c : cases) {
        const int opened = m_env.count<PanelCalls::ItemMenuWillOpen>();
        QMenu *menu = openMenuOnRow(*history, c.row);
        ASSERT_EQ(m_env.count<PanelCalls::ItemMenuWillOpen>(), opened + 1)
            << c.name << ": the shell was not told of the menu";
        EXPECT_EQ(menuTitles(*menu), c.before) << c.name;
        m_env.svgCode = c.svgCode;
        m_env.svgReady();
        settle();
        EXPECT_EQ(menuTitles(*menu), c.after) << c.name;
        if (c.svgCode) {
            menu->actions().last()->trigger();
            settle();
            EXPECT_EQ(m_env.copiedStrings(), QStringList({ svg })) << c.name;
        }
        menu->close();
        settle();
    }

    // A menu closed before the file was read is simply gone.
    QMenu *closed = openMenuOnRow(*history, 1);
    QPointer<QMenu> watched(closed);
    closed->close();
    settle();
    ASSERT_TRUE(watched.isNull());
    m_env.svgCode = svg;
    m_env.svgReady();
    settle();
    EXPECT_EQ(m_env.copiedStrings().size(), 1);
    (void)panel;
}

// "Customize Formats" in a colour row's menu asks the shell for the settings on their tab.
TEST_F(ClipboardPanelViewTest, AColourRowsMenuOpensTheSettingsOnTheColoursTab)
{
    context().insert(ClipboardItem::create(ClipboardItemType::color,
        { .text = QStringLiteral("#3366FF"), .colorHex = QStringLiteral("#3366FF") }));
    show(800);
    ColumnItemsView *colours = columnTitled(CategoryTitle::colors)->itemsView();
    ASSERT_NE(colours, nullptr);
    QMenu *menu = openMenuOnRow(*colours, 0);
    ASSERT_NE(menu, nullptr);
    QAction *customize = menu->actions().last();
    ASSERT_EQ(customize->text(), QStringLiteral("Customize Formats"));
    customize->trigger();
    settle();
    EXPECT_EQ(m_env.callsOf<PanelCalls::OpenSettings>(), QList({ PanelCalls::OpenSettings { 2 } }));
    EXPECT_TRUE(m_env.copiedStrings().isEmpty()) << "nothing is pasted";
}

// The search strip's menu offers the tray menu's Settings... and Quit while no tray icon does, asked
// afresh at each opening (a tray can start or stop while the app runs): Settings... opens the window
// as it was left (the panel makes way unless it is pinned), Quit ends the app.
TEST_F(ClipboardPanelViewTest, TheStripsMenuOffersSettingsAndQuitWhileNoTrayIconDoes)
{
    const QStringList stripEntries { "Pin", "-", "Clear History" };
    const QStringList appEntries { "-", QStringLiteral("Settings..."), "Quit Tindlewick" };
    const struct
    {
        const char *what;
        bool tray;
        QStringList entries;
    } cases[] = {
        { "a tray icon offers them", true, stripEntries },
        { "no tray runs", false, stripEntries + appEntries },
        { "a tray has started since", true, stripEntries },
        { "the tray has gone again", false, stripEntries + appEntries },
    };
    ClipboardPanelView &view = show(800);
    QMenu *menu = view.searchBar()->menuButton()->menu();
    const auto openMenu = [&] {
        menu->popup(view.mapToGlobal(QPoint(700, 50)));
        EXPECT_TRUE(waitUntil([&] { return menu->isVisible(); }));
        QStringList shown;
        for (const QAction *action : menu->actions()) {
            if (action->isVisible())
                shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        return shown;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        m_env.trayMenu = c.tray;
        EXPECT_EQ(openMenu(), c.entries);
        menu->hide();
    }
    const struct
    {
        QString entry;
        bool pinned;
        QList<PanelCall> expected;
    } choices[] = {
        { QStringLiteral("Settings..."), false,
            { PanelCalls::HidePanel { false }, PanelCalls::OpenSettings { std::nullopt } } },
        { QStringLiteral("Settings..."), true, { PanelCalls::OpenSettings { std::nullopt } } },
        { QStringLiteral("Quit Tindlewick"), false, { PanelCalls::QuitApplication {} } },
    };
    for (const auto &choice : choices) {
        SCOPED_TRACE(choice.entry.toStdString() + (choice.pinned ? ", pinned" : ""));
        view.state().setIsPinned(choice.pinned);
        m_env.calls.clear();
        openMenu();
        for (QAction *action : menu->actions()) {
            if (action->text() == choice.entry)
                action->trigger();
        }
        menu->hide();
        settle();
        EXPECT_EQ(m_env.calls, choice.expected);
    }
}

// Pins are reordered by dragging one among them: the order dropped is stored (a fresh read of
// the store sorts them so), while a drop outside the pins, or Escape during the drag, changes
// nothing; no drag pastes, and Escape does not also close the panel.
TEST_F(ClipboardPanelViewTest, APinDraggedAmongThePinsStoresTheNewOrderAndPastesNothing)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QStringList pinTexts { "alpha", "beta", "gamma" };
    for (qsizetype i = 0; i < pinTexts.size(); ++i)
        insertText(pinTexts[i], start, true)->setPinnedTimestamp(start.addSecs(i));
    insertText(QStringLiteral("note"));
    ClipboardPanelView &panel = show(800);
    panel.state().setPinnedGroupExpanded(CategoryTitle::text, true);
    settle();
    ColumnItemsView *text = columnTitled(CategoryTitle::text)->itemsView();
    ASSERT_EQ(text->model()->rowCount(), 4);
    const auto shown = [&] { return rowTexts(*text); };
    const auto dragFromTo
        = [&](int from, int to, const std::function<void()> &midway = {}) { drag(*text, from, to, midway); };
    ASSERT_EQ(shown(), QStringList({ "alpha", "beta", "gamma", "note" }));

    dragFromTo(0, 2, [&] { EXPECT_FALSE(panel.grab().isNull()); });
    EXPECT_EQ(shown(), QStringList({ "beta", "gamma", "alpha", "note" }));
    EXPECT_EQ(storedPinOrder(), QStringList({ "beta", "gamma", "alpha" }));
    EXPECT_TRUE(m_env.received(PanelCalls::CheckpointStore {}));

    dragFromTo(0, 3);
    EXPECT_EQ(storedPinOrder(), QStringList({ "beta", "gamma", "alpha" })) << "dropped on an unpinned item";
    dragFromTo(2, 0, [&] { QTest::keyClick(panel.searchField(), Qt::Key_Escape); });
    EXPECT_EQ(shown(), QStringList({ "beta", "gamma", "alpha", "note" })) << "Escape abandons the drag";
    EXPECT_EQ(storedPinOrder(), QStringList({ "beta", "gamma", "alpha" }));
    EXPECT_FALSE(m_env.received(PanelCalls::HidePanel { true })) << "Escape went to the drag alone";
    EXPECT_EQ(m_env.count<PanelCalls::CopyItem>(), 0) << "a drag pasted";
    EXPECT_EQ(m_env.count<PanelCalls::SimulatePaste>(), 0);

    // A press and release in place is still a click, which chooses the pin.
    sendMouse(*text, QEvent::MouseButtonPress, 1, Qt::LeftButton);
    sendMouse(*text, QEvent::MouseButtonRelease, 1, Qt::NoButton);
    settle();
    const QList<PanelCalls::CopyItem> copied = m_env.callsOf<PanelCalls::CopyItem>();
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied.first().item->textContent(), QStringLiteral("gamma"));
}

// The column's items may change while a pin is dragged (a copy arrives, an item goes): the drag
// keeps its pin and drops it where the pointer lets go. Only the dragged pin going ends the
// drag, and then nothing is reordered and nothing pasted.
TEST_F(ClipboardPanelViewTest, APinDragOutlastsAChangeOfTheColumnsItems)
{
    using Items = QList<ClipboardItemPtr>; // alpha, beta, gamma (pinned), note
    const struct
    {
        const char *what;
        // Done to the store with the button held over the last pin.
        std::function<void(ModelContext &, const Items &)> change;
        int releasedOnRow;
        QStringList storedAfter;
    } cases[] = {
        { "a copy arrives",
            [](ModelContext &context, const Items &) {
                context.insert(
                    ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("copied") }));
            },
            2, { "beta", "gamma", "alpha" } },
        { "an unpinned item goes",
            [](ModelContext &context, const Items &items) { context.remove(items[3]); }, 2,
            { "beta", "gamma", "alpha" } },
        { "a pin the drag passed goes",
            [](ModelContext &context, const Items &items) { context.remove(items[1]); }, 1,
            { "gamma", "alpha" } },
        { "the dragged pin goes", [](ModelContext &context, const Items &items) { context.remove(items[0]); },
            1, { "beta", "gamma" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        m_view.reset();
        resetStore();
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-60);
        Items items;
        for (const char *pin : { "alpha", "beta", "gamma" }) {
            items.append(insertText(QString::fromUtf8(pin), start, true));
            items.last()->setPinnedTimestamp(start.addSecs(items.size()));
        }
        items.append(insertText(QStringLiteral("note")));
        ClipboardPanelView &panel = show(800);
        panel.state().setPinnedGroupExpanded(CategoryTitle::text, true);
        settle();
        ColumnItemsView *text = columnTitled(CategoryTitle::text)->itemsView();
        ASSERT_EQ(rowTexts(*text), QStringList({ "alpha", "beta", "gamma", "note" }));
        const qsizetype pasted = m_env.count<PanelCalls::CopyItem>();

        sendMouse(*text, QEvent::MouseButtonPress, 0, Qt::LeftButton);
        sendMouse(*text, QEvent::MouseMove, 1, Qt::LeftButton);
        sendMouse(*text, QEvent::MouseMove, 2, Qt::LeftButton);
        c.change(context(), items);
        ASSERT_TRUE(context().save().ok);
        settle();
        sendMouse(*text, QEvent::MouseButtonRelease, c.releasedOnRow, Qt::NoButton);
        settle();
        EXPECT_EQ(storedPinOrder(), c.storedAfter);
        EXPECT_EQ(m_env.count<PanelCalls::CopyItem>(), pasted) << "the drop pasted";
    }
}
