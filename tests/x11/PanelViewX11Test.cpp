// The panel view on a real X server: 200 items of every kind in a plain window, driven by real
// key events (xdotool). Screenshots of both layouts go to $TINDLEWICK_ARTEFACT_DIR.
#include "X11TestSupport.h"
#include "columns/CategoryColumn.h"
#include "columns/ColumnItemsModel.h"
#include "columns/ColumnItemsView.h"
#include "panel/ClipboardPanelView.h"
#include "panel/PanelTestSupport.h"
#include "panel/PanelViewState.h"
#include "panel/SearchField.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

namespace {

QByteArray picture(QSize size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv((seed * 37 + 120) % 360, 200, 120));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class PanelViewX11Test : public PanelStoreTest
{
protected:
    void SetUp() override
    {
        PanelStoreTest::SetUp();
        m_settings->setHistoryLimit(200);
        m_settings->setMediaViewMode(AppSettings::ColumnViewMode::grid);
        fillHistory();
    }
    void TearDown() override { m_window.reset(); }

    // 200 captures cycling through every kind, the newest last; a few pins, two of them single
    // characters.
    void fillHistory()
    {
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-1000);
        for (int i = 0; i < 200; ++i) {
            ClipboardItemPtr item;
            switch (i % 6) {
            case 0:
                item = ClipboardItem::create(ClipboardItemType::text,
                    { .text = QStringLiteral("Meeting note %1\nBring the quarterly figures and the slides.")
                                  .arg(i) });
                break;
            case 1:
                item = ClipboardItem::create(ClipboardItemType::code,
                    { .text = QStringLiteral("def scale_%1(values):\n    return [v * %1 for v in values]\n")
                                  .arg(i),
                        .codeLanguage = QStringLiteral("python") });
                break;
            case 2:
                item = ClipboardItem::create(ClipboardItemType::link,
                    { .text = QStringLiteral("https://example%1.org/articles/%1").arg(i),
                        .previewText = QStringLiteral("https://example%1.org/articles/%1").arg(i) });
                item->setLinkTitle(QStringLiteral("Example article number %1").arg(i));
                item->setLinkThumbnailData(picture({ 64, 64 }, i));
                break;
            case 3: {
                const QString path = m_folder->path() + QStringLiteral("/report-%1.txt").arg(i);
                QFile file(path);
                EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                item = ClipboardItem::create(
                    ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) });
                break;
            }
            case 4: {
                const QString hex = QColor::fromHsv((i * 23) % 360, 180, 220).name().toUpper();
                item = ClipboardItem::create(ClipboardItemType::color, { .text = hex, .colorHex = hex });
                break;
            }
            case 5:
                item = ClipboardItem::create(ClipboardItemType::media,
                    { .mediaThumbnailData = picture({ 160, 90 }, i),
                        .mediaSubtypeRaw = QStringLiteral("image") });
                break;
            }
            item->setTimestamp(start.addSecs(i));
            context().insert(item);
        }
        for (const QString &character : { QStringLiteral("★"), QStringLiteral("→") }) {
            ClipboardItemPtr pin = ClipboardItem::create(ClipboardItemType::text, { .text = character });
            pin->setIsPinned(true);
            pin->setPinnedTimestamp(start);
            context().insert(pin);
        }
        ASSERT_TRUE(context().save().ok);
    }

    ClipboardPanelView &showPanel(int width)
    {
        m_window = std::make_unique<QWidget>();
        m_window->setWindowTitle(QStringLiteral("Tindlewick panel test"));
        auto *layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        m_panel = new ClipboardPanelView(context(), m_env.roles(), &m_controller, *m_settings,
            m_rowStates.rows(), Clock::system(), m_window.get());
        layout->addWidget(m_panel);
        m_window->resize(width, 640);
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        const QString id = QString::number(m_window->winId());
        EXPECT_TRUE(xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), id }));
        EXPECT_TRUE(waitUntil([&] { return m_window->isActiveWindow(); }));
        m_panel->focusSearchField();
        handleQueuedWork();
        return *m_panel;
    }
    void resizeWindow(int width)
    {
        m_window->resize(width, 640);
        EXPECT_TRUE(waitUntil([&] { return m_window->width() == width; }));
        handleQueuedWork();
    }
    // Lets the view handle what its input so far has queued (a search settling, a layout):
    // posted work, done however busy the machine is; no timer is waited for.
    static void handleQueuedWork()
    {
        for (int turn = 0; turn < 5; ++turn) {
            QCoreApplication::sendPostedEvents();
            QApplication::processEvents();
        }
    }
    void screenshot(const QString &name)
    {
        const QImage image = m_window->grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(artefactPath(name)));
    }
    QStringList shownTitles() const { return shownColumnTitles(*m_panel); }
    CategoryColumn *column(const QString &title) const { return shownColumn(*m_panel, title); }

    // m_env records what the panel asks of the shell; the shell's own environment takes its
    // place to paste into a real window.
    std::unique_ptr<QWidget> m_window;
    ClipboardPanelView *m_panel = nullptr;
};

TEST_F(PanelViewX11Test, ColumnsAtFullWidthFilterAndFollowTheKeyboard)
{
    ClipboardPanelView &panel = showPanel(1200);
    ASSERT_EQ(shownTitles(), QStringList({ "History", "Text", "Code", "Links", "Files", "Media", "Colors" }));
    for (CategoryColumn *shown : panel.columns())
        EXPECT_NEAR(shown->width(), 1200.0 / 7, 1.0) << shown->config().title.toStdString();
    EXPECT_EQ(column(QStringLiteral("History"))->itemsView()->model()->rowCount(), 200);
    screenshot(QStringLiteral("panel-columns-1200.png"));

    // Typing filters at once, through the real keyboard path.
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"),
        QStringLiteral("example1") }));
    ASSERT_TRUE(waitUntil([&] { return panel.searchField()->text() == QStringLiteral("example1"); }));
    handleQueuedWork();
    // Links 2, 8, 14, ... whose host starts with "example1": 14, 104, 110, ..., 194.
    const int expected = int(std::count_if(panel.state().cachedFilteredItems().begin(),
        panel.state().cachedFilteredItems().end(), [](const ClipboardItemPtr &item) {
            return item->searchableText().contains(QStringLiteral("example1"));
        }));
    EXPECT_GT(expected, 0);
    EXPECT_EQ(column(QStringLiteral("History"))->itemsView()->model()->rowCount(), expected);
    EXPECT_EQ(column(QStringLiteral("Links"))->itemsView()->model()->rowCount(), expected);
    EXPECT_EQ(column(QStringLiteral("Text"))->itemsView()->model()->rowCount(), 0)
        << "the column stays, empty";
    screenshot(QStringLiteral("panel-columns-1200-search.png"));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Escape") }));
    ASSERT_TRUE(waitUntil([&] { return panel.searchField()->text().isEmpty(); }));
    handleQueuedWork();

    // Down 40 times: the highlight walks History and stays in view.
    QStringList downs { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("10") };
    for (int i = 0; i < 40; ++i)
        downs << QStringLiteral("Down");
    ASSERT_TRUE(xdotool(downs));
    ColumnItemsView *history = column(QStringLiteral("History"))->itemsView();
    ASSERT_TRUE(waitUntil([&] { return history->model()->selectedRow() == 39; }));
    EXPECT_TRUE(waitUntil([&] { return history->viewport()->rect().contains(history->visualRect(39)); }));
    EXPECT_GT(history->verticalScrollBar()->value(), 0);
    screenshot(QStringLiteral("panel-columns-1200-selection.png"));

    // Right moves into the next column; the highlight follows.
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Right") }));
    ColumnItemsView *text = column(QStringLiteral("Text"))->itemsView();
    ASSERT_TRUE(waitUntil([&] { return text->model()->selectedRow() == 0; }));
    EXPECT_EQ(history->model()->selectedRow(), std::nullopt);

    // Return hands the selected item to the paste service, which pastes 0.1 s later.
    const ClipboardItemPtr selected = panel.state().selectedItem();
    ASSERT_TRUE(selected);
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Return") }));
    ASSERT_TRUE(waitUntil([&] { return m_env.count<PanelCalls::SimulatePaste>() == 1; }));
    const QList<PanelCalls::CopyItem> copied = m_env.callsOf<PanelCalls::CopyItem>();
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied[0].item, selected);
    EXPECT_TRUE(m_env.received(PanelCalls::HidePanel { true }));
}

TEST_F(PanelViewX11Test, NarrowPanelShowsTabs)
{
    m_controller.setIsLockedInTabMode(true);
    ClipboardPanelView &panel = showPanel(500);
    ASSERT_TRUE(panel.isShowingTabs());
    ASSERT_EQ(panel.columns().size(), 1);
    EXPECT_EQ(panel.columns()[0]->config().title, QStringLiteral("History"));
    EXPECT_NEAR(panel.columns()[0]->width(), 500, 1.0);
    screenshot(QStringLiteral("panel-tabs-500.png"));

    // Tab walks the tabs; the grid of the Media tab shows thumbnails.
    QStringList tabs { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("20") };
    for (int i = 0; i < 5; ++i)
        tabs << QStringLiteral("Tab");
    ASSERT_TRUE(xdotool(tabs));
    ASSERT_TRUE(waitUntil([&] { return panel.state().selectedTabIndex() == 5; }));
    handleQueuedWork();
    ASSERT_EQ(panel.columns()[0]->config().title, QStringLiteral("Media"));
    ColumnItemsView *media = panel.columns()[0]->itemsView();
    EXPECT_EQ(media->columnLayout().cellKind(0), ColumnLayout::CellKind::tile);
    ASSERT_TRUE(xdotool(
        { QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Right") }));
    ASSERT_TRUE(waitUntil([&] { return media->model()->selectedRow() == 9; }));
    EXPECT_TRUE(media->viewport()->rect().contains(media->visualRect(9)));
    screenshot(QStringLiteral("panel-tabs-500-media.png"));
}
