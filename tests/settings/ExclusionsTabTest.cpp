#include "settings/ExclusionsTab.h"

#include "settings/ExclusionListEditor.h"
#include "settings/ExclusionListModel.h"
#include "settings/ExclusionTextField.h"
#include "settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class ExclusionsTabTest : public SettingsTest
{
protected:
    // Types a text into the editor and adds it; the message after it, empty for none.
    QString add(ExclusionListEditor &editor, const QString &text)
    {
        editor.setNewExclusionPattern(text);
        editor.addExclusionPattern();
        return editor.exclusionError().value_or(QString());
    }
    void storeEntries(int count)
    {
        QStringList entries;
        for (int i = 0; i < count; ++i)
            entries.append(QStringLiteral("site%1.example.com").arg(i));
        settings.setExcludedURLPatterns(entries.join(QLatin1Char('\n')));
    }
};

TEST_F(ExclusionsTabTest, AnAddedLinkIsStoredWithoutItsSchemeAndFinalSlashes)
{
    const struct
    {
        const char *typed;
        const char *stored; // nothing: refused
        const char *message;
    } cases[] = {
        { "  https://example.org/  ", "example.org", "" },
        { "\thttp://news.example.com/world///", "news.example.com/world", "" },
        { "example.net", "example.net", "" },
        { "www.example.co.uk/a/b/", "www.example.co.uk/a/b", "" },
        // The scheme is removed only as written in lower case.
        { "HTTPS://Example.com", "HTTPS://Example.com", "" },
        { "see example.org now", nullptr, "Please add a valid URL." },
        { "not a link", nullptr, "Please add a valid URL." },
        { "someone@example.org", nullptr, "Please add a valid URL." },
        { "ftp://files.example.org", nullptr, "Please add a valid URL." },
        { "https://", nullptr, "Please add a valid URL." },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        settings.setExcludedURLPatterns(QString());
        ExclusionListEditor editor(settings);
        EXPECT_EQ(add(editor, QString::fromUtf8(c.typed)), QString::fromUtf8(c.message));
        if (c.stored) {
            EXPECT_EQ(settings.excludedURLPatterns(), QString::fromUtf8(c.stored));
            EXPECT_EQ(defaults.string(QStringLiteral("excludedURLPatterns")), QString::fromUtf8(c.stored));
            EXPECT_EQ(editor.newExclusionPattern(), QString()) << "the field is cleared";
        } else {
            EXPECT_EQ(settings.excludedURLPatterns(), QString());
            EXPECT_EQ(editor.newExclusionPattern(), QString::fromUtf8(c.typed))
                << "the text stays to be corrected";
        }
    }
}

TEST_F(ExclusionsTabTest, BlankTextIsIgnoredAndDuplicatesClearTheFieldSilently)
{
    settings.setExcludedURLPatterns(QStringLiteral("example.org"));
    ExclusionListEditor editor(settings);
    for (const char *blank : { "", "   ", " \t " }) {
        editor.setNewExclusionPattern(QString::fromUtf8(blank));
        EXPECT_FALSE(editor.canAdd());
        EXPECT_EQ(add(editor, QString::fromUtf8(blank)), QString());
        EXPECT_EQ(editor.newExclusionPattern(), QString::fromUtf8(blank));
    }
    QSignalSpy stored(&settings, &AppSettings::excludedURLPatternsChanged);
    EXPECT_EQ(add(editor, QStringLiteral("https://example.org/")), QString());
    EXPECT_EQ(editor.newExclusionPattern(), QString());
    EXPECT_EQ(settings.excludedURLPatterns(), QStringLiteral("example.org"));
    EXPECT_EQ(stored.count(), 0);
    // Comparison is exact: another letter case is another entry.
    EXPECT_EQ(add(editor, QStringLiteral("Example.org")), QString());
    EXPECT_EQ(settings.excludedPatternList(), (QStringList { "example.org", "Example.org" }));
}

TEST_F(ExclusionsTabTest, TheListTakesTwentyEntriesAndTheFullListAnswersFirst)
{
    const struct
    {
        const char *name;
        int stored;
        const char *typed;
        const char *message;
        int countAfter;
    } cases[] = {
        { "nineteen and a link", 19, "twenty.example.com", "", 20 },
        { "twenty and a link", 20, "more.example.com", "You can add up to 20 URLs.", 20 },
        { "twenty and no link", 20, "not a link", "You can add up to 20 URLs.", 20 },
        { "twenty-five stored elsewhere", 25, "more.example.com", "You can add up to 20 URLs.", 25 },
        { "nineteen and no link", 19, "not a link", "Please add a valid URL.", 19 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        storeEntries(c.stored);
        ExclusionListEditor editor(settings);
        EXPECT_EQ(add(editor, QString::fromUtf8(c.typed)), QString::fromUtf8(c.message));
        EXPECT_EQ(settings.excludedPatternList().size(), c.countAfter);
    }
    storeEntries(25);
    ExclusionsTab tab(settings);
    EXPECT_EQ(tab.shownEntries().size(), 25) << "entries beyond twenty are all shown";
}

TEST_F(ExclusionsTabTest, RemovingAnEntryRemovesEveryCopyAndRewritesTheListClean)
{
    settings.setExcludedURLPatterns(
        QStringLiteral("\n  a.example.com \n\n b.example.com\t\na.example.com\n c.example.com"));
    ExclusionsTab tab(settings);
    EXPECT_EQ(tab.shownEntries(),
        (QStringList { "a.example.com", "b.example.com", "a.example.com", "c.example.com" }));
    tab.show();
    // The first row's button.
    QTest::mouseClick(tab.entryList()->viewport(), Qt::LeftButton, {}, tab.removeButtonRect(0).center());
    EXPECT_EQ(settings.excludedURLPatterns(), QStringLiteral("b.example.com\nc.example.com"));
    EXPECT_EQ(tab.shownEntries(), (QStringList { "b.example.com", "c.example.com" }));
    tab.editor().removeExclusionPattern(QStringLiteral("b.example.com"));
    tab.editor().removeExclusionPattern(QStringLiteral("c.example.com"));
    EXPECT_EQ(settings.excludedURLPatterns(), QString());
    EXPECT_EQ(defaults.string(QStringLiteral("excludedURLPatterns")), QString());
    EXPECT_TRUE(tab.shownEntries().isEmpty());

    // An add rewrites a messy stored text in its clean form too.
    settings.setExcludedURLPatterns(QStringLiteral("  x.example.com \n\n"));
    tab.editor().setNewExclusionPattern(QStringLiteral("y.example.com"));
    tab.editor().addExclusionPattern();
    EXPECT_EQ(settings.excludedURLPatterns(), QStringLiteral("x.example.com\ny.example.com"));
}

TEST_F(ExclusionsTabTest, TheEntryRowTypesAddsAndShowsTheMessageUntilTheNextKeystroke)
{
    ExclusionsTab tab(settings);
    tab.show();
    ExclusionTextField *field = tab.entryField();
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Exclude URL"));
    EXPECT_FALSE(tab.addButton()->isEnabled());
    EXPECT_TRUE(tab.errorMessage()->isHidden());

    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("no link"));
    EXPECT_TRUE(tab.addButton()->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(tab.errorMessage()->isHidden());
    EXPECT_EQ(tab.errorMessage()->text(), QStringLiteral("Please add a valid URL."));
    EXPECT_EQ(field->text(), QStringLiteral("no link"));
    // The first keystroke takes the message away.
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_TRUE(tab.errorMessage()->isHidden());

    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("https://example.org/x/"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(settings.excludedURLPatterns(), QStringLiteral("example.org/x"));
    EXPECT_EQ(field->text(), QString());
    EXPECT_FALSE(tab.addButton()->isEnabled());
    EXPECT_EQ(tab.shownEntries(), QStringList { QStringLiteral("example.org/x") });

    QTest::keyClicks(field, QStringLiteral("example.net"));
    tab.addButton()->click();
    EXPECT_EQ(tab.shownEntries(), (QStringList { "example.org/x", "example.net" }));
}

// A blacklist written outside the tab (by hand, by a script) can be long: the list shows every
// entry without a widget of its own, a few rows high, scrolling the rest.
TEST_F(ExclusionsTabTest, TenThousandEntriesAreListedWithoutAWidgetEach)
{
    storeEntries(10'000);
    ExclusionsTab tab(settings);
    tab.resize(450, 650);
    tab.show();
    QApplication::processEvents();
    const QStringList shown = tab.shownEntries();
    ASSERT_EQ(shown.size(), 10'000);
    EXPECT_EQ(shown.last(), QStringLiteral("site9999.example.com"));
    EXPECT_LT(tab.findChildren<QWidget *>().size(), 100) << "widgets grow with the entries";
}

TEST_F(ExclusionsTabTest, TheListIsAFewRowsHighAndASelectedRowGoesWithDelete)
{
    storeEntries(10'000);
    ExclusionsTab tab(settings);
    tab.resize(450, 650);
    tab.show();
    QApplication::processEvents();
    QListView *list = tab.entryList();

    // Removing the last entry by keyboard: selected with End, gone with Delete.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->currentIndex().row(), 9'999);
    EXPECT_TRUE(list->visualRect(list->currentIndex()).intersects(list->viewport()->rect()))
        << "not scrolled to";
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(settings.excludedPatternList().size(), 9'999);
    EXPECT_EQ(settings.excludedPatternList().last(), QStringLiteral("site9998.example.com"));
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(settings.excludedPatternList().last(), QStringLiteral("site9997.example.com"));

    storeEntries(0);
    EXPECT_TRUE(list->isHidden()) << "an empty list shows no rows";
}

// Twelve rows show before the list scrolls: counted in the list as drawn, whole rows within
// its viewport, the first at its top and the last at its bottom.
TEST_F(ExclusionsTabTest, TheListShowsTwelveRowsBeforeItScrolls)
{
    const struct
    {
        int entries;
        int rowsInView;
    } cases[] = { { 1, 1 }, { 3, 3 }, { 11, 11 }, { 12, 12 }, { 13, 12 }, { 10'000, 12 } };
    ExclusionsTab tab(settings);
    tab.resize(450, 650);
    tab.show();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entries);
        storeEntries(c.entries);
        QApplication::processEvents();
        QListView *list = tab.entryList();
        ASSERT_TRUE(list->isVisible());
        list->scrollToTop();
        const QRect viewport = list->viewport()->rect();
        int whole = 0;
        int last = -1;
        for (int row = 0; row < c.entries; ++row) {
            const QRect shown = list->visualRect(list->model()->index(row, 0));
            if (!shown.intersects(viewport))
                break;
            if (viewport.contains(shown))
                ++whole;
            last = row;
        }
        EXPECT_EQ(whole, c.rowsInView);
        EXPECT_EQ(last, c.rowsInView - 1) << "part of a further row shows";
        EXPECT_EQ(list->visualRect(list->model()->index(last, 0)).bottom(), viewport.bottom())
            << "the list is not as high as its rows";
    }
}

// The list's model follows every change of the setting with the rows that changed, so a view
// keeps its place in a long list.
TEST_F(ExclusionsTabTest, TheListModelAnnouncesOnlyTheRowsThatChanged)
{
    settings.setExcludedURLPatterns(QStringLiteral("a\nb\nc\nd"));
    ExclusionListModel model(settings);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    const auto rows = [](const QSignalSpy &spy) {
        QStringList spans;
        for (const QList<QVariant> &signal : spy)
            spans << QStringLiteral("%1-%2").arg(signal[1].toInt()).arg(signal[2].toInt());
        return spans.join(u' ');
    };
    const struct
    {
        const char *stored;
        const char *removedRows;
        const char *insertedRows;
    } changes[] = {
        { "a\nb\nc\nd\ne", "", "4-4" }, // one added at the end
        { "a\nc\nd\ne", "1-1", "" }, // one removed in the middle
        { " a \n\nc\nd\ne\n", "", "" }, // the same entries, written untidily
        { "a\nx\ny\ne", "1-2", "1-2" }, // two replaced
        { "e\na\nx\ny\ne", "", "0-0" }, // one added in front, equal to the last
        { "a\nx\ny\ne", "0-0", "" },
        { "", "0-3", "" }, // all removed
        { "p\nq", "", "0-1" },
        // The kept ends may not overlap: what both begin with is not also what both end with.
        { "p\nq\np\nq", "", "2-3" },
        { "p\nq\nq", "2-2", "" },
        { "p\nq\nq\nq", "", "3-3" },
        { "p\nq", "2-3", "" },
    };
    for (const auto &change : changes) {
        SCOPED_TRACE(change.stored);
        removed.clear();
        inserted.clear();
        settings.setExcludedURLPatterns(QString::fromUtf8(change.stored));
        EXPECT_EQ(model.entries(), settings.excludedPatternList());
        EXPECT_EQ(rows(removed), QString::fromUtf8(change.removedRows));
        EXPECT_EQ(rows(inserted), QString::fromUtf8(change.insertedRows));
    }
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(model.data(model.index(1), Qt::DisplayRole), QStringLiteral("q"));
    EXPECT_EQ(model.data(model.index(1), Qt::ToolTipRole), QStringLiteral("q"));
    EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(ExclusionsTabTest, TheFilterSwitchesWriteTheirSettings)
{
    ExclusionsTab tab(settings);
    EXPECT_TRUE(tab.adultContentSwitch()->isChecked());
    EXPECT_TRUE(tab.passwordSwitch()->isChecked());
    tab.adultContentSwitch()->click();
    tab.passwordSwitch()->click();
    EXPECT_FALSE(settings.filterAdultContent());
    EXPECT_FALSE(settings.filterPasswords());
    EXPECT_EQ(defaults.boolean(QStringLiteral("filterAdultContent")), false);
    EXPECT_EQ(defaults.boolean(QStringLiteral("filterPasswords")), false);
    settings.setFilterPasswords(true);
    EXPECT_TRUE(tab.passwordSwitch()->isChecked());
}

} // namespace
