// The question asked before the history or a column is cleared, in the running app over another
// program's window: whichever way it is asked, it is a dialog of the panel; however it is
// answered, the panel is in front again afterwards with its keys working, and only "Clear"
// deletes anything.

#include "AppEndToEnd.h"
#include "TestWindowProcess.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <functional>

namespace {

// A button of a message box the app showed, where the app says it is on the screen.
struct BoxButton
{
    QString text;
    QPoint middle;
};

class ClearConfirmationX11Test : public AppEndToEndTest
{
protected:
    // The buttons of the message box the app showed after `mark` with this text; empty until then.
    QList<BoxButton> shownBox(qsizetype mark, const QString &text)
    {
        static const QRegularExpression line(
            QStringLiteral(R"re(\[TestHooks\] Message box "([^"]*)": ([^\n]*)\n)re"));
        static const QRegularExpression button(QStringLiteral(R"((\w+) at (\d+),(\d+))"));
        for (QRegularExpressionMatchIterator it = line.globalMatch(app->output().mid(mark)); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            if (match.captured(1) != text)
                continue;
            QList<BoxButton> buttons;
            for (QRegularExpressionMatchIterator b = button.globalMatch(match.captured(2)); b.hasNext();) {
                const QRegularExpressionMatch found = b.next();
                buttons.append(
                    { found.captured(1), QPoint(found.captured(2).toInt(), found.captured(3).toInt()) });
            }
            return buttons;
        }
        return {};
    }
    // The question on the screen, in front: where its button of this text is.
    std::optional<QPoint> questionButton(qsizetype mark, const QString &title, const QString &text)
    {
        QList<BoxButton> buttons;
        if (!waitUntil([&] {
                buttons = shownBox(mark, title);
                return !buttons.isEmpty() && appIsFront(*app) && frontWindow() != panelWindow;
            }))
            return std::nullopt;
        for (const BoxButton &button : std::as_const(buttons)) {
            if (button.text == text)
                return button.middle;
        }
        return std::nullopt;
    }
    // The middle of the word "Clear" in the first column's header, found on the screen as the
    // user finds it: the dark text right of the column's title.
    static std::optional<QPoint> firstColumnsClear(const QRect &panel)
    {
        const QImage screen = screenImage();
        QRect text;
        for (int y = panel.top() + 55; y < panel.top() + 110; ++y) {
            for (int x = panel.left() + 110; x < panel.left() + 196; ++x) {
                if (screen.pixelColor(x, y).lightness() < 100)
                    text |= QRect(x, y, 1, 1);
            }
        }
        return text.isEmpty() ? std::nullopt : std::optional<QPoint>(text.center());
    }

    // Asks the clear question, answers it with the button (empty: Escape) and waits for the
    // panel in front again; screenshots of both are named after `name`.
    void askAndAnswer(const std::function<bool()> &ask, const QString &answer, const QString &name)
    {
        const qsizetype mark = app->outputMark();
        ASSERT_TRUE(ask());
        const std::optional<QPoint> button = questionButton(mark, QStringLiteral("Clear Clipboard History?"),
            answer.isEmpty() ? QStringLiteral("Cancel") : answer);
        ASSERT_TRUE(button) << "no question came up; the app said: " << app->output().mid(mark).toStdString();
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("confirmation-%1-question.png").arg(name));
        const QString notADialog = notADialogBecause(frontWindow(), panelWindow);
        EXPECT_TRUE(notADialog.isEmpty())
            << "the question is no dialog of the panel: " << notADialog.toStdString();
        ASSERT_TRUE(answer.isEmpty() ? pressKey(QStringLiteral("Escape")) : clickAt(*button));
        EXPECT_TRUE(waitUntil([&] { return isFront(panelWindow); }))
            << "the panel is not in front; in front: " << frontWindow();
        ASSERT_TRUE(isViewable(panelWindow)) << "the panel went";
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("confirmation-%1-answered.png").arg(name));
    }
    // Types a search, chooses the item found with Down and pastes it with Return into the window,
    // which holds `pasted` then.
    void searchAndPaste(
        const QString &search, const TestWindowProcess &window, const QString &pasted, int index)
    {
        ASSERT_TRUE(xdotool({ QStringLiteral("type"), search }));
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("confirmation-%1-searched.png").arg(index));
        ASSERT_TRUE(pressKey(QStringLiteral("Down")) && pressKey(QStringLiteral("Return")));
        EXPECT_TRUE(waitUntil([&] { return window.plainText() == pasted; }))
            << "the window got: " << window.plainText().toStdString();
        ASSERT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
    }
    // The panel again, its search emptied.
    void reopenWithAnEmptySearch()
    {
        ASSERT_TRUE(openPanelShown(*app));
        ASSERT_EQ(frontWindow(), panelWindow);
        ASSERT_TRUE(pressKey(QStringLiteral("ctrl+a")) && pressKey(QStringLiteral("BackSpace")));
        ASSERT_TRUE(app->caughtUp());
    }
    // The texts of the stored items, in alphabetical order.
    QStringList storedTexts()
    {
        QStringList stored;
        for (const ClipboardItemPtr &item : storedItems())
            stored << item->fullText().value_or(QString());
        stored.sort();
        return stored;
    }

    void startApp()
    {
        app = std::make_unique<AppProcess>(home.path());
        app->enableTestHooks();
        ASSERT_TRUE(app->start());
        ASSERT_TRUE(openPanelShown(*app));
        panelWindow = frontWindow();
    }

    std::unique_ptr<AppProcess> app;
    quint64 panelWindow = 0;
};

// Oldest first, a second apart: "delta" is pinned and survives a clearing.
QList<ClipboardItemPtr> fourItems()
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-60);
    QList<ClipboardItemPtr> items;
    const QStringList texts { QStringLiteral("alpha first"), QStringLiteral("beta second"),
        QStringLiteral("gamma third"), QStringLiteral("delta pinned") };
    for (qsizetype i = 0; i < texts.size(); ++i) {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = texts[i] });
        item->setTimestamp(start.addSecs(i));
        if (texts[i].startsWith(QLatin1String("delta"))) {
            item->setIsPinned(true);
            item->setPinnedTimestamp(start.addSecs(i));
        }
        items.append(item);
    }
    return items;
}

TEST_F(ClearConfirmationX11Test, AfterTheQuestionThePanelIsInFrontAndAnswersItsKeys)
{
    seedStore(fourItems());
    TestWindowProcess window;
    ASSERT_TRUE(startInFront(window));
    ASSERT_NO_FATAL_FAILURE(startApp());
    const Geometry panel = windowGeometry(panelWindow);
    ASSERT_TRUE(panel.valid);

    const struct
    {
        const char *name;
        std::function<bool()> ask;
        // The button clicked, or empty: Escape.
        QString answer;
        // Typed into the search afterwards; Down and Return then paste the one item found.
        QString search;
        QString pasted;
    } cases[] = {
        { "Control+K, then Escape", [this] { return pressKey(QStringLiteral("ctrl+k")); }, {},
            QStringLiteral("alpha"), QStringLiteral("alpha first") },
        { "/clear, then Cancel",
            [] {
                return xdotool({ QStringLiteral("type"), QStringLiteral("/clear") })
                    && xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
            },
            QStringLiteral("Cancel"), QStringLiteral("beta"), QStringLiteral("beta second") },
        { "History's Clear, then Escape",
            [&] {
                const std::optional<QPoint> clear = firstColumnsClear(panel.rect);
                return clear && clickAt(*clear);
            },
            {}, QStringLiteral("gamma"), QStringLiteral("gamma third") },
    };
    const QStringList everything { "alpha first", "beta second", "delta pinned", "gamma third" };
    QString pastedSoFar;
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(askAndAnswer(c.ask, c.answer, QString::number(++index)));
        EXPECT_EQ(storedTexts(), everything) << "only Clear deletes";

        // The keys reach the panel: the search narrows, Down chooses and Return pastes.
        pastedSoFar += c.pasted;
        ASSERT_NO_FATAL_FAILURE(searchAndPaste(c.search, window, pastedSoFar, index));
        ASSERT_NO_FATAL_FAILURE(reopenWithAnEmptySearch());
    }

    // Clear deletes what is not pinned, and leaves the panel in front all the same: Escape
    // reaches it and hides it.
    ASSERT_NO_FATAL_FAILURE(askAndAnswer([this] { return pressKey(QStringLiteral("ctrl+k")); },
        QStringLiteral("Clear"), QStringLiteral("clear")));
    EXPECT_TRUE(waitUntil([&] { return storedTexts() == QStringList { "delta pinned" }; }))
        << storedTexts().join(QStringLiteral(", ")).toStdString();
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([&] { return !isViewable(panelWindow); })) << "Escape did not reach the panel";
    EXPECT_TRUE(waitUntil([&] { return isFront(window.windowId()); }));
}

TEST_F(ClearConfirmationX11Test, WithNoOtherWindowThePanelKeepsItsKeysAfterTheQuestion)
{
    seedStore(fourItems());
    ASSERT_TRUE(waitUntil([&] { return !workspace->frontmostApplication(); })) << "a window is active";
    ASSERT_NO_FATAL_FAILURE(startApp());
    // Each question after the first comes only when Control+K reached the panel after the answer
    // before.
    const auto controlK = [this] { return pressKey(QStringLiteral("ctrl+k")); };
    ASSERT_NO_FATAL_FAILURE(askAndAnswer(controlK, {}, QStringLiteral("no-other-window-1")));
    ASSERT_NO_FATAL_FAILURE(
        askAndAnswer(controlK, QStringLiteral("Cancel"), QStringLiteral("no-other-window-2")));
    ASSERT_NO_FATAL_FAILURE(askAndAnswer(controlK, {}, QStringLiteral("no-other-window-3")));
    // Escape reaches the panel too: it hides.
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
    EXPECT_TRUE(waitUntil([&] { return !isViewable(panelWindow); })) << "Escape did not reach the panel";
    EXPECT_EQ(storedTexts().size(), 4) << "something was cleared";
}

} // namespace
