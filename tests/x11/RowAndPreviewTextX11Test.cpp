// The text of rows and previews in the running app under Xvfb: code keeps its indentation in its
// row and its hover preview, and texts far too long or too dense to draw whole (two million
// lines, one letter under a hundred thousand accents) are shown and previewed without holding
// up the panel. Screenshots go to $TINDLEWICK_ARTEFACT_DIR.

#include "PanelPointerFixture.h"

#include "model/SqliteConnection.h"
#include "support/HugeTexts.h"
#include "support/IndentedCode.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetricsF>

#include <cstdio>

#include <sqlite3.h>

namespace {

class RowAndPreviewTextX11Test : public PanelPointerX11Test
{
protected:
    // The newest item of the store, as another program reads it now: its kind and the start of
    // its text.
    std::pair<QString, QString> newestItem(int characters)
    {
        SqliteConnection raw;
        if (!raw.open(storePath(), SQLITE_OPEN_READONLY))
            return {};
        SqliteStatement query = raw.prepare(QStringLiteral(
            "SELECT itemType, substr(textContent, 1, %1) FROM ClipboardItem ORDER BY timestamp DESC, pk DESC "
            "LIMIT 1")
                                                .arg(characters));
        if (!query.isValid() || !query.step())
            return {};
        return { query.text(0), query.text(1) };
    }
    // Copies the text from another program and waits until the app has stored it and is done
    // with everything the copy set off.
    void copyAndWaitUntilKept(const QByteArray &text)
    {
        ASSERT_TRUE(external.copyWithXclip(text));
        const QString start = QString::fromUtf8(text).left(32);
        ASSERT_TRUE(waitUntil(
            [&] { return newestItem(int(start.size())).second == start; }, std::chrono::seconds(60)))
            << newestItem(64).second.toStdString();
        ASSERT_TRUE(app->settles());
        ASSERT_TRUE(app->caughtUp());
    }
    // The panel opened again and drawn; panel says where it is now.
    void openPanelAgain()
    {
        ASSERT_TRUE(openPanelShown(*app));
        panel = windowGeometry(frontWindow());
        ASSERT_TRUE(panel.valid);
    }
    // The panel closed and the window in front again.
    void closePanel()
    {
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
    }
    // How many items of a kind the store holds, as another program reads it now.
    int storedOfKind(const QString &kind)
    {
        SqliteConnection raw;
        if (!raw.open(storePath(), SQLITE_OPEN_READONLY))
            return -1;
        SqliteStatement query = raw.prepare(
            QStringLiteral("SELECT count(*) FROM ClipboardItem WHERE itemType = '%1'").arg(kind));
        return query.isValid() && query.step() ? int(query.int64(0)) : -1;
    }
    // Whether a row of a column (0 the leftmost) shows anything right of its picture.
    bool rowShowsText(const QImage &screen, int column, int row) const
    {
        const QPoint middle = rowPoint(panel.rect, column, row);
        const QRect words(middle.x() - 70, middle.y() - 18, 140, 36);
        const QRgb ground = groundColour(screen, words);
        int ink = 0;
        for (int y = words.top(); y <= words.bottom(); ++y) {
            for (int x = words.left(); x <= words.right(); ++x)
                ink += qGray(screen.pixel(x, y)) < qGray(ground) - 60 ? 1 : 0;
        }
        return ink > 20;
    }
    // The first row of History, where the newest item is.
    QRect firstRow() const { return QRect(panel.rect.left() + 10, panel.rect.top() + firstRowTop, 180, 44); }
};

} // namespace

TEST_F(RowAndPreviewTextX11Test, CodeKeepsItsIndentationInItsRowAndItsPreview)
{
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_NO_FATAL_FAILURE(closePanel());
    // Copied in an editor: the capture keeps its lines highlighted, without their indentation.
    ASSERT_NO_FATAL_FAILURE(copyAndWaitUntilKept(indentedPythonText().toUtf8()));
    ASSERT_EQ(newestItem(3).first, QStringLiteral("code"));
    ASSERT_NO_FATAL_FAILURE(openPanelAgain());

    // The rows' and the preview's code font, as the app makes it from the panel's font size.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    const double space = QFontMetricsF(mono).horizontalAdvance(QLatin1Char(' '));
    ASSERT_GT(space, 3.0);
    const QString firstLine = QString::fromUtf8(indentedPython[0].text);

    // The row shows the first two lines; its text starts right of its picture.
    const QRect row = firstRow();
    const QRect rowText(row.left() + 42, row.top(), row.width() - 42, row.height());
    const QImage rowScreen(saveScreenshot(QStringLiteral("code-indentation-row.png")));
    const QList<int> rowColumns = firstInkColumns(rowScreen, rowText, mono, firstLine, 2);
    EXPECT_EQ(misplacedLines(rowColumns, space), QStringList()) << "the row";

    const Geometry preview = previewAfterRestingOn(rowPoint(panel.rect, 0, 0));
    ASSERT_TRUE(preview.valid) << "no preview";
    const QImage previewScreen(saveScreenshot(QStringLiteral("code-indentation-preview.png")));
    const int lines = int(std::size(indentedPython));
    const QList<int> previewColumns
        = firstInkColumns(previewScreen, preview.rect.adjusted(4, 4, -4, -4), mono, firstLine, lines);
    EXPECT_EQ(misplacedLines(previewColumns, space), QStringList()) << "the preview";
}

// A large code text and then its first 40 lines, copied one after the other: the Code column
// lists both, as History does, at each show.
TEST_F(RowAndPreviewTextX11Test, ALargeCodeTextAndItsFirstLinesAreBothInTheCodeColumn)
{
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_NO_FATAL_FAILURE(closePanel());
    QString large;
    for (int i = 0; large.size() < 924 * 1024; ++i)
        large += QStringLiteral("def step_%1(items, depth=0):\n    total = 0\n    for item in items:\n"
                                "        total += item * %1\n    return total\n\n")
                     .arg(i);
    const QString firstLines = large.section(QLatin1Char('\n'), 0, 39);
    int copied = 0;
    for (const QString &text : { large, firstLines }) {
        ASSERT_TRUE(external.copyWithXclip(text.toUtf8()));
        ++copied;
        ASSERT_TRUE(waitUntil(
            [&] { return storedOfKind(QStringLiteral("code")) == copied; }, std::chrono::seconds(60)))
            << storedOfKind(QStringLiteral("code")) << " code items stored";
    }
    ASSERT_TRUE(app->settles());
    for (int show = 1; show <= 2; ++show) {
        SCOPED_TRACE(show);
        ASSERT_NO_FATAL_FAILURE(openPanelAgain());
        const QImage screen(saveScreenshot(QStringLiteral("code-and-its-first-lines-%1.png").arg(show)));
        for (int column : { 0, 1 }) {
            EXPECT_TRUE(rowShowsText(screen, column, 0) && rowShowsText(screen, column, 1))
                << (column == 0 ? "History" : "Code") << " does not list both";
            EXPECT_FALSE(rowShowsText(screen, column, 2)) << "a third row";
        }
        ASSERT_NO_FATAL_FAILURE(closePanel());
    }
}

TEST_F(RowAndPreviewTextX11Test, HugeTextsAreShownAndPreviewedWithoutHoldingUpThePanel)
{
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_NO_FATAL_FAILURE(closePanel());
    const struct
    {
        const char *name;
        QByteArray text;
    } copies[] = {
        { "two million one-letter lines", oneLetterLines(2'000'000, u'a').toUtf8() },
        { "one letter under 100,000 combining marks", accentedLetter(u'e', 100'000).toUtf8() },
    };
    int index = 0;
    for (const auto &copy : copies) {
        SCOPED_TRACE(copy.name);
        ASSERT_NO_FATAL_FAILURE(copyAndWaitUntilKept(copy.text));
        // Shown, hovered and previewed; then hovered again after the pointer went away.
        const qsizetype from = app->outputMark();
        ASSERT_NO_FATAL_FAILURE(openPanelAgain());
        const QPoint onRow = rowPoint(panel.rect, 0, 0);
        ASSERT_TRUE(previewAfterRestingOn(onRow).valid) << "no preview";
        saveScreenshot(QStringLiteral("huge-text-preview-%1.png").arg(++index));
        ASSERT_TRUE(moveTo(QPoint(panel.rect.right() + 200, onRow.y())));
        ASSERT_TRUE(waitUntil([&] { return previewWindow() == 0; }));
        ASSERT_TRUE(previewAfterRestingOn(onRow).valid) << "no preview the second time";
        const MainThreadStalls stalls = MainThreadStalls::in(app->output().mid(from));
        std::printf("[ measured ] %s shown, hovered and previewed twice: %s; the most work in one stall "
                    "%.1f ms\n",
            copy.name, qPrintable(stalls.describe()), stalls.mostWorkMs);
        // The app's own work, which other programs' load on the machine does not lengthen.
        EXPECT_LT(stalls.mostWorkMs, 50.0) << stalls.describe().toStdString();
        ASSERT_NO_FATAL_FAILURE(closePanel());
    }
}
