// Everyday texts copied on a real display stay text in the running app: a shopping list, a
// check-box list, a web server's log line, a Windows path and a lorem-ipsum paragraph become
// text items in the store, and the highlighting engine (which only code needs) is not
// started for them; a piece of code copied after them still starts it.

#include "AppEndToEnd.h"

#include "model/ClipboardItem.h"

#include <gtest/gtest.h>

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
};

const QString engineStarted = QStringLiteral("[HighlightCacheService] Highlighting engine started");

using EverydayTextEndToEndTest = AppEndToEndTest;

} // namespace

TEST_F(EverydayTextEndToEndTest, ListsALogLineAPathAndLoremIpsumBecomeTextWithoutTheHighlightingEngine)
{
    AppProcess app(home.path());
    app.enableTestHooks();
    ASSERT_TRUE(app.start());
    // Once the app answers its shortcut it watches the clipboard too.
    ASSERT_TRUE(openPanel(app));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));

    qsizetype copied = 0;
    for (const char *text : everydayTexts) {
        copyFromOutside(QString::fromUtf8(text));
        ++copied;
        // Stored before the next copy replaces it: each copy is a change of its own.
        ASSERT_TRUE(waitUntil([&] { return storedItems().size() == copied; }, std::chrono::seconds(20)))
            << storedItems().size() << " items after copying " << text;
    }
    const QList<ClipboardItemPtr> items = storedItems();
    ASSERT_EQ(items.size(), qsizetype(std::size(everydayTexts)));
    for (const ClipboardItemPtr &item : items) {
        EXPECT_EQ(rawValue(item->type()), rawValue(ClipboardItemType::text))
            << qPrintable(item->textContent().value_or(QString())) << " stored as "
            << qPrintable(item->codeLanguage().value_or(QStringLiteral("?")));
    }

    // What a person sees: the five texts as plain rows.
    ASSERT_TRUE(openPanelShown(app));
    saveScreenshot(QStringLiteral("everyday-texts.png"));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    EXPECT_FALSE(app.output().contains(engineStarted)) << qPrintable(app.output());

    // The hook does report the engine: code copied now starts it.
    copyFromOutside(QStringLiteral("#!/usr/bin/env python3\nimport sys\n\nprint(sys.argv)\n"));
    ASSERT_TRUE(waitUntil([&] { return storedItems().size() == copied + 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(rawValue(storedItems().first()->type()), rawValue(ClipboardItemType::code));
    EXPECT_TRUE(waitUntil([&] { return app.output().contains(engineStarted); }, std::chrono::seconds(30)))
        << qPrintable(app.output());
}
