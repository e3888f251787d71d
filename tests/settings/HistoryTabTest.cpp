#include "settings/HistoryTab.h"

#include "model/SqliteConnection.h"
#include "settings/HistoryLimitTextField.h"
#include "settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <sqlite3.h>

namespace {

class HistoryTabTest : public SettingsTest
{
protected:
    // Whether the store file or its write-ahead log still holds these bytes anywhere.
    bool storeContains(const QByteArray &bytes) const
    {
        for (const QString &path : QStringList { storePath(), storePath() + QStringLiteral("-wal") }) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes))
                return true;
        }
        return false;
    }
    int storedCount()
    {
        std::unique_ptr<ModelContext> reader = container().makeContext();
        return reader->fetchCount(FetchDescriptor());
    }
};

TEST_F(HistoryTabTest, TheLimitFieldCommitsNumbersClampedAndShowsTheLimitInForce)
{
    settings.setHistoryLimit(80);
    HistoryTab tab(settings, context());
    EXPECT_EQ(tab.historyLimitText(), QStringLiteral("80"));
    const struct
    {
        const char *typed;
        qint64 stored;
    } cases[] = {
        { "20", 50 }, { "999", 200 }, { "120", 120 }, { "", 120 }, { "abc", 120 }, { "+60", 60 },
        { "-5", 50 }, { "0", 50 }, { "200", 200 }, { "050", 50 }, { " 70", 50 }, { "7 0", 50 },
        { "\u0661\u0662\u0660", 50 }, // digits of another script: refused at the commit
        { "99999999999999999999", 50 }, // beyond a 64-bit number
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        tab.setHistoryLimitText(QString::fromUtf8(c.typed));
        tab.commitHistoryLimit();
        EXPECT_EQ(settings.historyLimit(), c.stored);
        EXPECT_EQ(defaults.integer(QStringLiteral("historyLimit")), c.stored);
        EXPECT_EQ(tab.historyLimitText(), QString::number(c.stored));
    }
}

TEST_F(HistoryTabTest, ALimitOutsideTheRangeFromTheSettingsFileStaysUntilTheUserTypesAnother)
{
    const struct
    {
        const char *name;
        std::optional<QString> typed; // nothing: the field is left as it was shown
        qint64 stored;
        bool written;
    } cases[] = {
        { "left as shown", std::nullopt, 1000, false },
        { "cleared", QString(), 1000, false },
        { "no number", QStringLiteral("abc"), 1000, false },
        { "typed within the range", QStringLiteral("150"), 150, true },
        { "typed above the range", QStringLiteral("999"), 200, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setInteger(QStringLiteral("historyLimit"), 1000);
        AppSettings fromFile(defaults);
        HistoryTab tab(fromFile, context());
        EXPECT_EQ(tab.historyLimitText(), QStringLiteral("1000"));
        QSignalSpy changes(&fromFile, &AppSettings::historyLimitChanged);
        if (c.typed)
            tab.setHistoryLimitText(*c.typed);
        tab.commitHistoryLimit();
        EXPECT_EQ(fromFile.historyLimit(), c.stored);
        EXPECT_EQ(defaults.integer(QStringLiteral("historyLimit")), c.stored);
        EXPECT_EQ(changes.count(), c.written ? 1 : 0);
        EXPECT_EQ(tab.historyLimitText(), QString::number(c.stored));
    }
}

TEST_F(HistoryTabTest, TheFieldKeepsThreeDigitsOfWhatIsTypedAndCommitsOnReturn)
{
    HistoryTab tab(settings, context());
    HistoryLimitTextField *field = tab.limitField();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("12a3"));
    EXPECT_EQ(field->text(), QStringLiteral("123"));
    QTest::keyClicks(field, QStringLiteral("4"));
    EXPECT_EQ(field->text(), QStringLiteral("123"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(settings.historyLimit(), 123);

    const struct
    {
        const char *input;
        const char *kept;
    } cases[] = {
        { "1 000", "100" }, { "abc", "" }, { "4x5y6z7", "456" },
        { "\u0663\u0664", "\u0663\u0664" }, // numbers of another script pass here
        { "2\u00bd", "2\u00bd" }, // so does a vulgar fraction
    };
    for (const auto &c : cases)
        EXPECT_EQ(HistoryLimitTextField::filtered(QString::fromUtf8(c.input)), QString::fromUtf8(c.kept))
            << c.input;
    // Pasted text is filtered the same way.
    field->clear();
    QApplication::clipboard()->setText(QStringLiteral("1 000"));
    field->paste();
    EXPECT_EQ(field->text(), QStringLiteral("100"));
}

TEST_F(HistoryTabTest, TheStepperMovesByTenWithinFiftyToTwoHundredAndTheFieldFollows)
{
    const struct
    {
        const char *name;
        qint64 start;
        int steps;
        qint64 after;
        bool upEnabled;
        bool downEnabled;
    } cases[] = {
        { "up from the default", 50, 1, 60, true, true },
        { "down at the bottom", 50, -1, 50, true, false },
        { "up near the top", 195, 1, 200, false, true },
        { "down from an odd value", 123, -1, 113, true, true },
        { "down from a limit stored above the range", 1000, -1, 200, false, true },
        { "up from a limit stored below the range", 1, 1, 50, true, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        settings.setHistoryLimit(c.start);
        HistoryTab tab(settings, context());
        QToolButton *button = c.steps > 0 ? tab.stepUpButton() : tab.stepDownButton();
        button->setEnabled(true); // a click, whatever the button showed before
        button->click();
        EXPECT_EQ(settings.historyLimit(), c.after);
        EXPECT_EQ(tab.historyLimitText(), QString::number(c.after));
        EXPECT_EQ(tab.stepUpButton()->isEnabled(), c.upEnabled);
        EXPECT_EQ(tab.stepDownButton()->isEnabled(), c.downEnabled);
    }
}

TEST_F(HistoryTabTest, TheRetentionChoicesAreStoredAsSeconds)
{
    HistoryTab tab(settings, context());
    QComboBox *picker = tab.retentionPicker();
    ASSERT_EQ(picker->count(), 3);
    EXPECT_EQ(picker->currentText(), QStringLiteral("8 hours"));
    const struct
    {
        const char *label;
        AppSettings::HistoryRetention retention;
        qint64 seconds;
    } cases[] = {
        { "30 minutes", AppSettings::HistoryRetention::thirtyMinutes, 1800 },
        { "8 hours", AppSettings::HistoryRetention::eightHours, 28800 },
        { "7 days", AppSettings::HistoryRetention::sevenDays, 604800 },
    };
    for (int i = 0; i < 3; ++i) {
        const auto &c = cases[i];
        EXPECT_EQ(picker->itemText(i), QString::fromUtf8(c.label));
        picker->setCurrentIndex(i);
        Q_EMIT picker->activated(i);
        EXPECT_EQ(settings.historyRetention(), c.retention);
        EXPECT_EQ(defaults.integer(QStringLiteral("historyRetention")), c.seconds);
    }
    settings.setHistoryRetention(AppSettings::HistoryRetention::thirtyMinutes);
    EXPECT_EQ(picker->currentText(), QStringLiteral("30 minutes"));
}

TEST_F(HistoryTabTest, TheClearButtonWaitsForAStoreWithAnythingInIt)
{
    HistoryTab tab(settings, context());
    EXPECT_FALSE(tab.clearButton()->isEnabled());
    ClipboardItemPtr pinned
        = insertText(QStringLiteral("pinned only"), QDateTime::currentDateTimeUtc(), true);
    ASSERT_TRUE(context().save().ok);
    ASSERT_TRUE(waitUntil([&] { return tab.clearButton()->isEnabled(); }));
    // With only pinned items, clearing deletes nothing.
    tab.clearAllHistory();
    tab.lastCompaction().waitForFinished();
    EXPECT_EQ(storedCount(), 1);
    EXPECT_TRUE(tab.clearButton()->isEnabled());
}

TEST_F(HistoryTabTest, ClearingDeletesTheUnpinnedItemsAndTakesThemOffTheDisk)
{
    for (int i = 0; i < 30; ++i)
        insertText(QStringLiteral("secret-%1-%2").arg(i).arg(QStringLiteral("x").repeated(400)));
    insertText(QStringLiteral("keep-this-pinned"), QDateTime::currentDateTimeUtc(), true);
    ASSERT_TRUE(context().save().ok);
    ASSERT_TRUE(storeContains("secret-7-"));

    int highlighterReleases = 0;
    HistoryTab tab(settings, context());
    tab.setReleaseHighlighter([&] { ++highlighterReleases; });
    tab.clearAllHistory();
    tab.lastCompaction().waitForFinished();

    EXPECT_EQ(storedCount(), 1);
    EXPECT_EQ(highlighterReleases, 1);
    EXPECT_FALSE(tab.clearError()->isVisible());
    for (int i = 0; i < 30; ++i)
        EXPECT_FALSE(storeContains(QStringLiteral("secret-%1-").arg(i).toUtf8())) << i;
    EXPECT_TRUE(storeContains("keep-this-pinned"));
}

TEST_F(HistoryTabTest, AFailedSaveIsShownAndNothingIsCompactedUntilAClearIsSaved)
{
    container().setBusyTimeout(50);
    insertText(QStringLiteral("first"));
    insertText(QStringLiteral("second"));
    ASSERT_TRUE(context().save().ok);

    int compactions = 0;
    HistoryTab tab(settings, context());
    tab.setStoreCompaction([&](ModelContainer &) {
        ++compactions;
        return QtFuture::makeReadyFuture();
    });
    // Another connection holds the write lock.
    SqliteConnection blocker;
    ASSERT_TRUE(blocker.open(storePath(), SQLITE_OPEN_READWRITE));
    ASSERT_TRUE(blocker.exec(QStringLiteral("BEGIN IMMEDIATE")));
    CapturedDiagnostics diagnostics;
    tab.clearAllHistory();
    EXPECT_EQ(compactions, 0);
    EXPECT_FALSE(tab.clearError()->isHidden());
    EXPECT_TRUE(
        tab.clearError()->text().startsWith(QStringLiteral("Could not delete the history from the disk: ")))
        << tab.clearError()->text().toStdString();
    EXPECT_EQ(diagnostics.lines().size(), 1);
    EXPECT_EQ(storedCount(), 2) << "nothing was deleted on the disk";

    ASSERT_TRUE(blocker.exec(QStringLiteral("ROLLBACK")));
    tab.clearAllHistory();
    EXPECT_EQ(compactions, 1);
    EXPECT_TRUE(tab.clearError()->isHidden());
    EXPECT_EQ(storedCount(), 0);
}

TEST_F(HistoryTabTest, TheConfirmationOpensOnceAndOnlyClearRunsTheDeletion)
{
    insertText(QStringLiteral("unpinned"));
    ASSERT_TRUE(context().save().ok);
    HistoryTab tab(settings, context());
    tab.show();

    // Asked and withdrawn in the same pass: no question opens.
    tab.setShowClearConfirmation(true);
    tab.setShowClearConfirmation(false);
    QApplication::processEvents();
    EXPECT_EQ(tab.openConfirmation(), nullptr);

    struct Case
    {
        const char *name;
        bool confirm;
        int storedAfter;
    };
    for (const Case &c : { Case { "Cancel", false, 1 }, Case { "Clear", true, 0 } }) {
        SCOPED_TRACE(c.name);
        QSignalSpy flag(&tab, &HistoryTab::showClearConfirmationChanged);
        tab.clearButton()->click();
        EXPECT_TRUE(tab.showClearConfirmation());
        ASSERT_TRUE(waitUntil([&] { return tab.openConfirmation() != nullptr; }));
        // Asking again while the question is open opens no second one.
        tab.setShowClearConfirmation(true);
        QMessageBox *box = tab.openConfirmation()->messageBox();
        EXPECT_EQ(box->text(), QStringLiteral("Clear Clipboard History?"));
        EXPECT_EQ(box->informativeText(),
            QStringLiteral("This will permanently delete all unpinned items. Pinned items are preserved."));
        QAbstractButton *answer = nullptr;
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == QLatin1String(c.confirm ? "Clear" : "Cancel"))
                answer = button;
        }
        ASSERT_NE(answer, nullptr);
        answer->click();
        ASSERT_TRUE(waitUntil([&] { return !tab.showClearConfirmation(); }));
        tab.lastCompaction().waitForFinished();
        EXPECT_EQ(storedCount(), c.storedAfter);
        EXPECT_EQ(flag.count(), 2) << "raised once, lowered once";
    }
}

} // namespace
