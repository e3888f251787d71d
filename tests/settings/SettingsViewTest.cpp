#include "settings/SettingsView.h"

#include "items/CodeText.h"
#include "settings/AppearanceTab.h"
#include "settings/ColorsTab.h"
#include "settings/ExclusionTextField.h"
#include "settings/ExclusionsTab.h"
#include "settings/GeneralTab.h"
#include "settings/HistoryLimitTextField.h"
#include "settings/HistoryTab.h"
#include "settings/HotkeyTab.h"
#include "settings/SettingsTestSupport.h"
#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

class SettingsViewTest : public SettingsTest
{
};

TEST_F(SettingsViewTest, SixTabsInOrderOpeningOnGeneral)
{
    auto view = makeView();
    QTabWidget *tabs = view->tabView();
    ASSERT_EQ(tabs->count(), 6);
    const QStringList titles { "General", "Appearance", "Colors", "History", "Hotkey", "Exclusions" };
    const QList<QWidget *> pages { view->generalTab(), view->appearanceTab(), view->colorsTab(),
        view->historyTab(), view->hotkeyTab(), view->exclusionsTab() };
    for (int i = 0; i < tabs->count(); ++i) {
        EXPECT_EQ(tabs->tabText(i), titles[i]);
        EXPECT_EQ(SettingsView::tabTitle(i), titles[i]);
        EXPECT_EQ(tabs->widget(i), pages[i]);
    }
    EXPECT_EQ(view->selectedTab(), 0);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(view->windowTitle(), QStringLiteral("General — Tindlewick Settings"));
}

// A change that cannot be saved is said under the tabs, whichever is shown, until a save
// succeeds; the window grows to show it and shrinks again.
TEST_F(SettingsViewTest, WhileTheSettingsCannotBeSavedTheWindowSaysWhy)
{
    auto view = makeView();
    view->show();
    const QSize usual = view->size();
    EXPECT_TRUE(view->saveErrorMessage()->isHidden());
    {
        FileSizeLimit full(0, 10);
        view->generalTab()->detectCodeSwitch()->click();
    }
    EXPECT_FALSE(view->saveErrorMessage()->isHidden());
    EXPECT_TRUE(view->saveErrorMessage()->text().contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << view->saveErrorMessage()->text().toStdString();
    EXPECT_TRUE(waitUntil([&] { return view->height() > usual.height(); }))
        << "the message is not shown whole";
    EXPECT_EQ(view->width(), usual.width());
    keepPicture(*view, QStringLiteral("settings-save-error.png"));
    // A view opened meanwhile says so too.
    EXPECT_FALSE(makeView()->saveErrorMessage()->text().isEmpty());

    view->generalTab()->removeTrackingParametersSwitch()->click();
    EXPECT_TRUE(view->saveErrorMessage()->isHidden());
    EXPECT_TRUE(waitUntil([&] { return view->size() == usual; }));
    EXPECT_EQ(UserDefaults(defaults.filePath()).boolean(QStringLiteral("detectCode")), false);
}

TEST_F(SettingsViewTest, ATabRequestSelectsAnyIntegerAndIgnoresEverythingElse)
{
    auto view = makeView();
    struct Case
    {
        const char *name;
        std::optional<QVariantMap> userInfo; // nothing: posted without user info
        qint64 selectedAfter;
        int shownAfter;
    };
    const QString tab = QStringLiteral("tab");
    const QList<Case> cases {
        { "Colors", QVariantMap { { tab, 2 } }, 2, 2 },
        { "Exclusions", QVariantMap { { tab, 5 } }, 5, 5 },
        { "General", QVariantMap { { tab, 0 } }, 0, 0 },
        { "a 64-bit integer", QVariantMap { { tab, qint64(3) } }, 3, 3 },
        { "an unsigned integer", QVariantMap { { tab, 4u } }, 4, 4 },
        { "no user info", std::nullopt, 4, 4 },
        { "another key", QVariantMap { { QStringLiteral("index"), 1 } }, 4, 4 },
        { "a string", QVariantMap { { tab, QStringLiteral("1") } }, 4, 4 },
        { "a fraction", QVariantMap { { tab, 1.0 } }, 4, 4 },
        { "a Boolean", QVariantMap { { tab, true } }, 4, 4 },
        { "nothing under the key", QVariantMap { { tab, QVariant() } }, 4, 4 },
        // Kept as it is; the tab view stays where it was.
        { "beyond the last tab", QVariantMap { { tab, 9 } }, 9, 4 },
        { "negative", QVariantMap { { tab, -1 } }, -1, 4 },
        { "huge", QVariantMap { { tab, std::numeric_limits<qint64>::max() } },
            std::numeric_limits<qint64>::max(), 4 },
        { "too large for a signed integer", QVariantMap { { tab, std::numeric_limits<quint64>::max() } },
            std::numeric_limits<qint64>::max(), 4 },
        { "History", QVariantMap { { tab, 3 } }, 3, 3 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.userInfo)
            NotificationCenter::defaultCenter().post(Notifications::settingsSelectTab, *c.userInfo);
        else
            NotificationCenter::defaultCenter().post(Notifications::settingsSelectTab);
        EXPECT_EQ(view->selectedTab(), c.selectedAfter);
        EXPECT_EQ(view->tabView()->currentIndex(), c.shownAfter);
        EXPECT_EQ(view->windowTitle(), SettingsView::windowTitleFor(c.shownAfter));
    }
}

TEST_F(SettingsViewTest, ClickingATabSelectsItAndARequestReachesOnlyALiveView)
{
    auto view = makeView();
    QSignalSpy changes(view.get(), &SettingsView::selectedTabChanged);
    view->tabView()->setCurrentIndex(4);
    EXPECT_EQ(view->selectedTab(), 4);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(view->windowTitle(), QStringLiteral("Hotkey — Tindlewick Settings"));
    view.reset();
    // Nobody listens any more: the request goes nowhere.
    NotificationCenter::defaultCenter().post(
        Notifications::settingsSelectTab, { { QStringLiteral("tab"), 1 } });
    auto fresh = makeView();
    EXPECT_EQ(fresh->selectedTab(), 0) << "each view starts on General";
}

TEST_F(SettingsViewTest, TheDebugRequestReachesTheView)
{
    auto view = makeView();
    QSignalSpy debug(view.get(), &SettingsView::debugRequested);
    NotificationCenter::defaultCenter().post(Notifications::openSettingsDebug);
    EXPECT_EQ(debug.count(), 1);
}

TEST_F(SettingsViewTest, NoTextFieldHoldsTheFocusWhenTheWindowOpensOrATabIsShown)
{
    auto view = makeView();
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QApplication::processEvents();
    EXPECT_EQ(qobject_cast<QLineEdit *>(QApplication::focusWidget()), nullptr);

    struct Case
    {
        const char *name;
        int tab;
        QLineEdit *field;
    };
    const QList<Case> cases {
        { "the history limit", SettingsView::history, view->historyTab()->limitField() },
        { "the blacklist entry", SettingsView::exclusions, view->exclusionsTab()->entryField() },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        view->setSelectedTab(c.tab);
        QApplication::processEvents();
        c.field->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(c.field->hasFocus());
        view->setSelectedTab(SettingsView::appearance);
        view->setSelectedTab(c.tab);
        QApplication::processEvents();
        EXPECT_FALSE(c.field->hasFocus());
        EXPECT_EQ(qobject_cast<QLineEdit *>(QApplication::focusWidget()), nullptr);
    }
}

TEST_F(SettingsViewTest, FocusPassingThroughEveryFieldWithoutTypingWritesNothing)
{
    // Values no field offers, as an edited or older settings file holds them.
    const QString path = m_settingsFolder.filePath(QStringLiteral("edited.json"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            R"({"historyLimit": 1000, "fontSize": 40, "historyRetention": 60, "codeTheme": "no such theme",
            "activationMode": "sometimes", "doubleTapModifier": "hyper", "colorFormatOrder": ["hsl", "nonsense"],
            "disabledColorFormats": ["nonsense"], "excludedURLPatterns": "  example.org \n\nexample.org"})");
    }
    UserDefaults editedDefaults(path);
    AppSettings edited(editedDefaults);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    SettingsView view({ edited, context(), shortcuts, togglePanel(), {}, {} });
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    for (int tab = 0; tab < SettingsView::tabCount; ++tab) {
        SCOPED_TRACE(SettingsView::tabTitle(tab).toStdString());
        view.setSelectedTab(tab);
        QApplication::processEvents();
        // Into each text field with the mouse, out again with Tab.
        for (QLineEdit *field : view.tabView()->widget(tab)->findChildren<QLineEdit *>()) {
            if (!field->isVisibleTo(&view) || field->focusPolicy() == Qt::NoFocus)
                continue;
            QTest::mouseClick(field, Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        // And through the whole focus chain, both ways.
        for (const Qt::Key key : { Qt::Key_Tab, Qt::Key_Backtab }) {
            for (int step = 0; step < 30; ++step) {
                QWidget *focus = QApplication::focusWidget();
                QTest::keyClick(focus ? focus : &view, key);
            }
        }
        view.endEditing();
        QApplication::processEvents();
    }
    view.close();

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), before.toStdString());
    EXPECT_EQ(edited.historyLimit(), 1000);
    EXPECT_EQ(view.historyTab()->historyLimitText().toStdString(), "1000");
}

TEST_F(SettingsViewTest, EveryTabIsDrawnInTheLightAndTheDarkPalette)
{
    settings.setExcludedURLPatterns(QStringLiteral("example.org\nintranet.example.com/private"));
    insertText(QStringLiteral("something copied"));
    ASSERT_TRUE(context().save().ok);
    const QPalette original = QApplication::palette();
    struct Appearance
    {
        const char *name;
        QPalette palette;
    };
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    for (const Appearance &appearance : { Appearance { "light", original }, Appearance { "dark", dark } }) {
        SCOPED_TRACE(appearance.name);
        QApplication::setPalette(appearance.palette);
        auto view = makeView();
        view->show();
        const bool darkAppearance = appearance.palette.color(QPalette::Window).lightness() < 128;
        // The sample takes the theme's colours for this appearance.
        EXPECT_EQ(view->appearanceTab()->sample()->isDark(), darkAppearance);
        for (int tab = 0; tab < SettingsView::tabCount; ++tab) {
            view->setSelectedTab(tab);
            if (tab == SettingsView::appearance)
                waitUntil([&] { return view->appearanceTab()->sample()->highlightResult().has_value(); });
            QApplication::processEvents();
            const QImage picture = view->grab().toImage();
            // The page is drawn in the palette's window colour, not in a fixed one.
            EXPECT_EQ(picture.pixelColor(view->width() - 3, view->height() - 3),
                appearance.palette.color(QPalette::Window));
            keepPicture(*view,
                QStringLiteral("settings-%1-%2.png")
                    .arg(SettingsView::tabTitle(tab).toLower(), QString::fromLatin1(appearance.name)));
        }
    }
    QApplication::setPalette(original);
}

} // namespace

TEST_F(SettingsViewTest, EveryTabsTitleAndPageFitTheWindowAtEveryFontSizeWithinTheScreen)
{
    const QFont original = QApplication::font();
    for (const int points : { 9, 14, 20 }) {
        SCOPED_TRACE(points);
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        auto view = makeView();
        view->show();
        QApplication::processEvents();
        const QRect available = view->screen()->availableGeometry();
        EXPECT_LE(view->width(), available.width());
        EXPECT_LE(view->height(), available.height());
        EXPECT_GE(view->tabView()->width(), std::min(SettingsView::tabViewWidth, available.width()));
        QTabBar *bar = view->tabView()->tabBar();
        for (int tab = 0; tab < SettingsView::tabCount; ++tab) {
            SCOPED_TRACE(SettingsView::tabTitle(tab).toStdString());
            EXPECT_TRUE(bar->rect().contains(bar->tabRect(tab))) << "the title lies beyond the tab bar's end";
            view->setSelectedTab(tab);
            QApplication::processEvents();
            const auto *page = qobject_cast<QScrollArea *>(view->tabView()->currentWidget());
            ASSERT_TRUE(page);
            EXPECT_LE(page->widget()->width(), page->viewport()->width()) << "cut at the side";
            // Only a window as tall as the screen allows leaves a page to scroll.
            if (page->widget()->height() > page->viewport()->height()) {
                EXPECT_EQ(view->tabView()->height(), view->tabView()->maximumHeight())
                    << "scrolls in a window with room to grow";
            }
        }
    }
    QApplication::setFont(original);
}
