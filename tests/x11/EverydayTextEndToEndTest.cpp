// Everyday texts copied on a real display stay text in the running app: a shopping list, a
// check-box list, a web server's log line, a Windows path, a lorem-ipsum paragraph, a key and
// megabytes of data in base64 become text items in the store, and the highlighting engine
// (which only code needs) is not started for them; a piece of code copied after them still
// starts it. The numbered lines and lorem-ipsum pieces a script fills a history with stay text
// too.

#include "AppEndToEnd.h"

#include "model/ClipboardItem.h"
#include "support/HugeTexts.h"
#include "support/NumberedTestTexts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

const char *const everydayTexts[] = {
    "milk\neggs\nbread\n2 lemons\n1 x pasta\n5 x lentils",
    "[ ] oranges\n[x] sugar\n[ ] tinned tomatoes\n[x] coffee",
    "203.0.113.9 - - [12/Mar/2024:14:22:07 +0100] \"GET /images/logo.png HTTP/1.1\" 200 5123 "
    "\"https://www.example.com/\" \"Mozilla/5.0 (Windows NT 10.0; Win64; x64)\"",
    "C:\\Users\\anna\\Documents\\Taxes 2023\\receipt.pdf",
    "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore et "
    "dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco laboris nisi ut aliquip "
    "ex ea commodo consequat. Duis aute irure dolor in reprehenderit in voluptate velit esse cillum "
    "dolore eu fugiat nulla pariatur.",
    // A key in base64 (the content-type model calls such bytes a certificate).
    "pU3KGCUwux1tEyze1iN7LtkeP3IfyxlxF0SU1kk8nVw0YL4xIB5p/tqg7ui5mX9c",
};

const QString engineStarted = QStringLiteral("[HighlightCacheService] Highlighting engine started");

// Twenty of each shape, each with its own number.
QStringList numberedTestLines()
{
    QStringList texts;
    for (int i = 1; i <= 20; ++i) {
        texts.append(NumberedTestTexts::itemLine(i * 37));
        texts.append(NumberedTestTexts::historyLine(4980 + i));
        texts.append(NumberedTestTexts::kilobyteText(i));
    }
    return texts;
}

class EverydayTextEndToEndTest : public AppEndToEndTest
{
protected:
    // Starts the app with its test hooks, which report the highlighting engine's start.
    void startWatching(AppProcess &app)
    {
        app.enableTestHooks();
        ASSERT_TRUE(app.start());
        // Once the app answers its shortcut it watches the clipboard too.
        ASSERT_TRUE(openThenDismissPanel(app));
    }

    // Copies each text from another program, waits until the app has stored it (so that the next
    // copy is a change of its own), and checks that every one became a text item.
    void copyEachAndExpectText(const QStringList &texts)
    {
        qsizetype copied = 0;
        for (const QString &text : texts) {
            copyFromOutside(text);
            ++copied;
            ASSERT_TRUE(waitUntil([&] { return storedItems().size() == copied; }, std::chrono::seconds(20)))
                << storedItems().size() << " items after copying " << qPrintable(text.left(60));
        }
        const QList<ClipboardItemPtr> items = storedItems();
        ASSERT_EQ(items.size(), texts.size());
        for (const ClipboardItemPtr &item : items) {
            EXPECT_EQ(rawValue(item->type()), rawValue(ClipboardItemType::text))
                << qPrintable(item->textContent().value_or(QString()).left(60)) << " stored as "
                << qPrintable(item->codeLanguage().value_or(QStringLiteral("?")));
        }
    }

    // What a person sees: the texts as plain rows; and no highlighting engine was started.
    void showAndExpectNoEngine(AppProcess &app, const QString &screenshot)
    {
        ASSERT_TRUE(openPanelShown(app));
        saveScreenshot(screenshot);
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        EXPECT_FALSE(app.output().contains(engineStarted)) << qPrintable(app.output());
    }
};

} // namespace

TEST_F(EverydayTextEndToEndTest, ListsALogLineAPathAndLoremIpsumBecomeTextWithoutTheHighlightingEngine)
{
    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startWatching(app));
    QStringList texts;
    for (const char *text : everydayTexts)
        texts.append(QString::fromUtf8(text));
    // Megabytes of data in base64, as `base64` writes them.
    texts.append(QString::fromLatin1(base64Lines(2'300'000)));
    ASSERT_NO_FATAL_FAILURE(copyEachAndExpectText(texts));
    ASSERT_NO_FATAL_FAILURE(showAndExpectNoEngine(app, QStringLiteral("everyday-texts.png")));

    // The hook does report the engine: code copied now starts it.
    copyFromOutside(QStringLiteral("#!/usr/bin/env python3\nimport sys\n\nprint(sys.argv)\n"));
    ASSERT_TRUE(
        waitUntil([&] { return storedItems().size() == texts.size() + 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(rawValue(storedItems().first()->type()), rawValue(ClipboardItemType::code));
    EXPECT_TRUE(waitUntil([&] { return app.output().contains(engineStarted); }, std::chrono::seconds(30)))
        << qPrintable(app.output());
}

TEST_F(EverydayTextEndToEndTest, NumberedItemLinesAndLoremIpsumPiecesBecomeTextWithoutTheHighlightingEngine)
{
    // Room for all sixty copies (the history keeps 50 unless told otherwise).
    ASSERT_NO_FATAL_FAILURE(seedSettings(R"({"historyLimit": 100})"));

    AppProcess app(home.path());
    ASSERT_NO_FATAL_FAILURE(startWatching(app));
    ASSERT_NO_FATAL_FAILURE(copyEachAndExpectText(numberedTestLines()));
    ASSERT_NO_FATAL_FAILURE(showAndExpectNoEngine(app, QStringLiteral("numbered-test-lines.png")));
}
