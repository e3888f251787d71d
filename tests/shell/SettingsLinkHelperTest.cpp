#include "shell/SettingsLinkHelper.h"

#include "common/NotificationCenter.h"
#include "shell/AppearanceAwareTintView.h"
#include "shell/SettingsOpener.h"
#include "shell/StatusItem.h"
#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

using namespace std::chrono_literals;

namespace {

TEST(SettingsLinkHelperTest, OpensAtOnceAndSelectsTheTabALittleLater)
{
    QList<QVariantMap> tabs;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::settingsSelectTab, &observer, [&](const QVariantMap &info) { tabs.append(info); });
    ManualClock clock;
    SettingsLinkHelper helper(clock);
    helper.openSettings(2);
    EXPECT_TRUE(helper.isSetup());
    SettingsOpener *opener = helper.settingsOpener();
    ASSERT_NE(opener, nullptr);
    EXPECT_EQ(opener->openCount(), 1);
    clock.advance(99ms);
    EXPECT_TRUE(tabs.isEmpty()) << "the tab follows once the window is there, a tenth of a second later";
    clock.advance(1ms);
    ASSERT_EQ(tabs.size(), 1);
    EXPECT_EQ(tabs.first(), (QVariantMap { { QStringLiteral("tab"), 2 } }));

    helper.openSettings();
    EXPECT_EQ(helper.settingsOpener(), opener) << "one hidden opener for the run";
    EXPECT_EQ(opener->openCount(), 2);
    EXPECT_EQ(clock.pendingCount(), 0) << "no tab to follow";
    EXPECT_EQ(tabs.size(), 1);
}

TEST(SettingsLinkHelperTest, TintFollowsTheAppearance)
{
    AppearanceAwareTintView view;
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    view.setPalette(dark);
    EXPECT_EQ(view.tintColor(), QColor::fromRgbF(0, 0, 0, 0.4f));
    QPalette light;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    view.setPalette(light);
    EXPECT_EQ(view.tintColor(), QColor::fromRgbF(1, 1, 1, 0.6f));
}

TEST(SettingsLinkHelperTest, TheTrayMenuOffersItsFourActions)
{
    StatusItem item;
    QStringList titles;
    for (const QAction *action : item.menu()->actions())
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(titles,
        (QStringList { QStringLiteral("Open Tindlewick"), QStringLiteral("-"), QStringLiteral("Settings..."),
            QStringLiteral("Check for Updates..."), QStringLiteral("-"),
            QStringLiteral("Quit Tindlewick") }));
    // Rebuilt on every opening, wired the same way.
    item.rebuildMenu();
    int quits = 0;
    QObject::connect(&item, &StatusItem::quitRequested, [&] { ++quits; });
    item.menu()->actions().last()->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(item.menu()->actions().size(), 6);
}

} // namespace
