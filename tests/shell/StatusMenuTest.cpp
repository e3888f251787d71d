#include "shell/StatusMenu.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/RecorderState.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "platform/GlobalHotKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QTemporaryDir>

using namespace KeyboardShortcuts;

namespace {

const Name togglePanel { QStringLiteral("togglePanel"), Shortcut { Key::space, CarbonModifier::control } };
const Name other { QStringLiteral("other"), std::nullopt };

// The text the menu shows beside an entry.
QString shownShortcut(const QAction *action)
{
    return action->shortcut().toString(QKeySequence::NativeText);
}

class StatusMenuTest : public ::testing::Test
{
protected:
    StatusMenuTest()
        : defaults(folder.path() + QStringLiteral("/defaults.json"))
        , hotKeyCenter(hotKeys)
        , center(defaults, hotKeyCenter)
    {
        center.declare(togglePanel);
    }

    // Lets queued updates run.
    static void turnEventLoop() { QCoreApplication::sendPostedEvents(); }

    QTemporaryDir folder;
    UserDefaults defaults;
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter hotKeyCenter;
    ShortcutCenter center;
};

TEST_F(StatusMenuTest, OpenShowsThePanelShortcutAsItChanges)
{
    StatusMenu menu;
    EXPECT_EQ(shownShortcut(menu.openAction()), QString()) << "no shortcut before one is given";
    menu.setOpenShortcut(&center, togglePanel);

    struct Step
    {
        const char *name;
        std::function<void()> change;
        QString shown;
    };
    const QList<Step> steps {
        { "the stored shortcut at once", [] {}, QStringLiteral("Ctrl+Space") },
        { "a new shortcut recorded",
            [&] {
                center.storeShortcut(
                    togglePanel, { Key::k, CarbonModifier::control | CarbonModifier::option });
            },
            QStringLiteral("Ctrl+Alt+K") },
        { "the menu built again as it opens", [&] { menu.rebuild(); }, QStringLiteral("Ctrl+Alt+K") },
        { "another name's change leaves it alone",
            [&] {
                center.storeShortcut(other, { Key::j, CarbonModifier::command });
            },
            QStringLiteral("Ctrl+Alt+K") },
        { "Shift with a digit",
            [&] {
                center.storeShortcut(
                    togglePanel, { Key::one, CarbonModifier::shift | CarbonModifier::control });
            },
            QStringLiteral("Ctrl+Shift+1") },
        { "the shortcut removed", [&] { center.setShortcut(std::nullopt, togglePanel); }, QString() },
        { "removed stays removed when built again", [&] { menu.rebuild(); }, QString() },
        { "a shortcut given again",
            [&] {
                center.storeShortcut(togglePanel, { Key::v, CarbonModifier::command });
            },
            QStringLiteral("Meta+V") },
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        turnEventLoop();
        EXPECT_EQ(shownShortcut(menu.openAction()), step.shown);
        EXPECT_EQ(menu.actions().first(), menu.openAction());
        EXPECT_EQ(menu.openAction()->text(), QStringLiteral("Open Tindlewick"));
    }
}

TEST_F(StatusMenuTest, OpenShowsNoShortcutWhileARecorderRecords)
{
    StatusMenu menu;
    menu.setOpenShortcut(&center, togglePanel);
    RecorderState recorder(togglePanel, center);
    recorder.click();
    EXPECT_EQ(shownShortcut(menu.openAction()), QString());
    menu.rebuild();
    EXPECT_EQ(shownShortcut(menu.openAction()), QString()) << "built again while recording";

    recorder.handleKey(Shortcut { Key::k, CarbonModifier::control | CarbonModifier::option });
    turnEventLoop();
    EXPECT_EQ(shownShortcut(menu.openAction()), QStringLiteral("Ctrl+Alt+K"));
}

TEST_F(StatusMenuTest, EachEntryAsksForItsOwnAction)
{
    StatusMenu menu;
    menu.setOpenShortcut(&center, togglePanel);
    menu.rebuild();
    QStringList asked;
    QObject::connect(&menu, &StatusMenu::openRequested, [&] { asked << QStringLiteral("open"); });
    QObject::connect(&menu, &StatusMenu::settingsRequested, [&] { asked << QStringLiteral("settings"); });
    QObject::connect(&menu, &StatusMenu::updatesRequested, [&] { asked << QStringLiteral("updates"); });
    QObject::connect(&menu, &StatusMenu::quitRequested, [&] { asked << QStringLiteral("quit"); });
    for (QAction *action : menu.actions()) {
        if (!action->isSeparator())
            action->trigger();
    }
    EXPECT_EQ(asked,
        (QStringList { QStringLiteral("open"), QStringLiteral("settings"), QStringLiteral("updates"),
            QStringLiteral("quit") }));
}

} // namespace
