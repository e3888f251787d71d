#include "KeyboardShortcuts/ShortcutCenter.h"
#include "KeyboardShortcuts/HotKeyCenter.h"
#include "common/NotificationCenter.h"
#include "platform/GlobalHotKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace KeyboardShortcuts;

namespace {

const Shortcut controlSpace { Key::space, CarbonModifier::control };
const Shortcut optionK { Key::k, CarbonModifier::option };
const HotKeyCombination controlSpaceGrab { 0x20, 4 };
const Name togglePanel { QStringLiteral("togglePanel"), controlSpace };

class ShortcutCenterTest : public ::testing::Test
{
protected:
    ShortcutCenterTest()
        : defaults(folder.path() + QStringLiteral("/defaults.json"))
        , hotKeyCenter(hotKeys)
        , center(defaults, hotKeyCenter)
    {
        NotificationCenter::defaultCenter().addObserver(
            shortcutByNameDidChange, &context, [this](const QVariantMap &info) {
                changes.append(info.value(QStringLiteral("name")).toString());
            });
    }

    QTemporaryDir folder;
    UserDefaults defaults;
    FakeGlobalHotKeys hotKeys;
    HotKeyCenter hotKeyCenter;
    ShortcutCenter center;
    QObject context;
    QStringList changes;
};

TEST_F(ShortcutCenterTest, DeclaringANameWithADefaultStoresAndGrabsItOnce)
{
    center.declare(togglePanel);
    EXPECT_EQ(defaults.object(QStringLiteral("KeyboardShortcuts_togglePanel")),
        QVariant(QStringLiteral(R"({"carbonKeyCode":49,"carbonModifiers":4096})")));
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab));
    EXPECT_EQ(changes, QStringList { QStringLiteral("togglePanel") });

    center.declare(togglePanel);
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(center.getShortcut(togglePanel), controlSpace);
}

TEST_F(ShortcutCenterTest, StoredFalseKeepsARemovedDefaultAwayWhileAbsentBringsItBack)
{
    center.declare(togglePanel);
    center.setShortcut(std::nullopt, togglePanel);
    EXPECT_EQ(defaults.object(ShortcutCenter::storageKey(togglePanel)), QVariant(false));
    EXPECT_FALSE(center.getShortcut(togglePanel));
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpaceGrab));

    // The next launch: the false stays and the default does not come back.
    UserDefaults relaunched(defaults.filePath());
    FakeGlobalHotKeys otherKeys;
    HotKeyCenter otherHotKeys(otherKeys);
    ShortcutCenter next(relaunched, otherHotKeys);
    next.declare(togglePanel);
    EXPECT_FALSE(next.getShortcut(togglePanel));
    EXPECT_TRUE(otherKeys.grabbed.isEmpty());

    // Absent (never set): the default is stored.
    relaunched.removeObject(ShortcutCenter::storageKey(togglePanel));
    next.declare(togglePanel);
    EXPECT_EQ(next.getShortcut(togglePanel), controlSpace);

    // Removing a name without a default removes its key; one with nothing stored posts nothing.
    const Name plain { QStringLiteral("plain"), std::nullopt };
    center.storeShortcut(plain, optionK);
    changes.clear();
    center.setShortcut(std::nullopt, plain);
    EXPECT_FALSE(defaults.contains(ShortcutCenter::storageKey(plain)));
    EXPECT_EQ(changes.size(), 1);
    center.setShortcut(std::nullopt, plain);
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(ShortcutCenterTest, UnreadableStoredValuesReadAsNoShortcut)
{
    for (const QVariant &stored : { QVariant(true), QVariant(49.0), QVariant(QStringLiteral("not json")),
             QVariant(QStringLiteral(R"({"carbonKeyCode":49})")) }) {
        defaults.setObject(ShortcutCenter::storageKey(togglePanel), stored);
        EXPECT_FALSE(center.getShortcut(togglePanel)) << stored.toString().toStdString();
    }
}

TEST_F(ShortcutCenterTest, AStoredValueThatCannotBeUsedGivesWayToTheDefaultOnce)
{
    const struct
    {
        const char *name;
        QVariant stored;
        std::optional<Shortcut> kept; // nothing: replaced by the default
        const char *problem;
    } cases[] = {
        { "unreadable text", QStringLiteral("garbage{"), std::nullopt, R"(is not a shortcut: "garbage{")" },
        { "a key out of range and every modifier bit",
            QStringLiteral(R"({"carbonKeyCode":-99999999,"carbonModifiers":4294967295})"), std::nullopt,
            "names no key combination of this keyboard (key code -99999999, modifiers 0xffffffff)" },
        { "a key this keyboard has not", QStringLiteral(R"({"carbonKeyCode":255,"carbonModifiers":4096})"),
            std::nullopt, "names no key combination of this keyboard (key code 255, modifiers 0x1000)" },
        { "the Function key, which X has not",
            QStringLiteral(R"({"carbonKeyCode":0,"carbonModifiers":131072})"), std::nullopt,
            "names no key combination of this keyboard (key code 0, modifiers 0x20000)" },
        { "true", QVariant(true), std::nullopt, "is not a shortcut: true" },
        { "a control character", QStringLiteral("\x01"), std::nullopt, R"(is not a shortcut: "\u0001")" },
        // The value is quoted as stored, up to 40 characters of it.
        { "a text of 40 characters stored", QString(38, u'x'), std::nullopt,
            "is not a shortcut: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\"" },
        { "a text of 41 characters stored", QString(39, u'x'), std::nullopt,
            "is not a shortcut: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\u2026" },
        { "a long text", QString(500, u'x'), std::nullopt,
            "is not a shortcut: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\u2026" },
        { "another shortcut", QString::fromUtf8(optionK.toJson()), optionK, "" },
        { "a mask with a bit beyond the modifiers",
            QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":67584})"), Shortcut { Key::k, 67584 },
            "" },
    };
    const QString key = ShortcutCenter::storageKey(togglePanel);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setObject(key, c.stored);
        FakeGlobalHotKeys keys;
        HotKeyCenter hotKeys(keys);
        ShortcutCenter fresh(defaults, hotKeys);
        QStringList problems;
        QObject::connect(&fresh, &ShortcutCenter::storedShortcutReplaced,
            [&](const Name &name, const QString &problem) { problems << name.rawValue + u": " + problem; });
        const Shortcut expected = c.kept.value_or(controlSpace);
        EXPECT_EQ(fresh.declaredShortcut(togglePanel), expected) << "what the start will take";

        fresh.declare(togglePanel);
        fresh.declare(togglePanel);
        EXPECT_EQ(fresh.getShortcut(togglePanel), expected);
        EXPECT_EQ(UserDefaults(defaults.filePath()).object(key),
            c.kept ? c.stored : QVariant(QString::fromUtf8(controlSpace.toJson())))
            << "the next start finds the default";
        if (c.kept) {
            EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
            continue;
        }
        ASSERT_EQ(problems.size(), 1) << "reported once";
        EXPECT_EQ(problems.first(), QStringLiteral("togglePanel: ") + QString::fromUtf8(c.problem));
        EXPECT_TRUE(keys.grabbed.contains(controlSpaceGrab));
    }
}

TEST_F(ShortcutCenterTest, ARemovedShortcutAndANameWithoutADefaultKeepWhatIsStored)
{
    const QString key = ShortcutCenter::storageKey(togglePanel);
    defaults.setObject(key, false);
    EXPECT_EQ(center.declaredShortcut(togglePanel), std::nullopt);
    center.declare(togglePanel);
    EXPECT_EQ(defaults.object(key), QVariant(false));
    const Name plain { QStringLiteral("plain"), std::nullopt };
    defaults.setObject(ShortcutCenter::storageKey(plain), QStringLiteral("garbage{"));
    center.declare(plain);
    EXPECT_EQ(center.declaredShortcut(plain), std::nullopt);
    EXPECT_EQ(defaults.object(ShortcutCenter::storageKey(plain)), QVariant(QStringLiteral("garbage{")));
}

TEST_F(ShortcutCenterTest, APressRunsTheActionsOfEveryNameStoringThatShortcut)
{
    const Name other { QStringLiteral("other"), controlSpace };
    center.declare(togglePanel);
    center.declare(other);
    QStringList ran;
    center.onKeyUp(togglePanel, [&] { ran << QStringLiteral("toggle 1"); });
    center.onKeyUp(togglePanel, [&] { ran << QStringLiteral("toggle 2"); });
    center.onKeyUp(other, [&] { ran << QStringLiteral("other"); });
    center.onKeyDown(other, [&] { ran << QStringLiteral("down"); });

    hotKeys.press(controlSpaceGrab);
    EXPECT_EQ(ran, QStringList { QStringLiteral("down") });
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(ran,
        (QStringList { QStringLiteral("down"), QStringLiteral("toggle 1"), QStringLiteral("toggle 2"),
            QStringLiteral("other") }));

    // A name whose stored shortcut changed no longer runs for the old one.
    ran.clear();
    center.storeShortcut(other, optionK);
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(ran, QStringList()) << "storing the new shortcut released the old grab, shared or not";
    EXPECT_FALSE(center.isShortcutEnabled(togglePanel));
}

TEST_F(ShortcutCenterTest, DisableAndEnableKeepTheActionsAndPauseSilencesThem)
{
    center.declare(togglePanel);
    int runs = 0;
    center.onKeyUp(togglePanel, [&] { ++runs; });
    const auto pressAndRelease = [&] {
        hotKeys.press(controlSpaceGrab);
        hotKeys.release(controlSpaceGrab);
    };

    center.disable({ togglePanel });
    EXPECT_FALSE(center.isShortcutEnabled(togglePanel));
    pressAndRelease();
    EXPECT_EQ(runs, 0);

    center.enable({ togglePanel });
    EXPECT_TRUE(center.isShortcutEnabled(togglePanel));
    pressAndRelease();
    EXPECT_EQ(runs, 1) << "enable binds nothing twice";

    center.setIsPaused(true);
    pressAndRelease();
    EXPECT_EQ(runs, 1);
    center.setIsPaused(false);
    pressAndRelease();
    EXPECT_EQ(runs, 2);

    // The master switch releases the grab without forgetting it.
    hotKeyCenter.setIsEnabled(false);
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpaceGrab));
    EXPECT_FALSE(center.isShortcutEnabled(togglePanel));
    hotKeyCenter.setIsEnabled(true);
    pressAndRelease();
    EXPECT_EQ(runs, 3);
}

TEST_F(ShortcutCenterTest, ARefusedGrabIsNotRecordedIsReportedAndIsTriedAgain)
{
    hotKeys.refused.insert(controlSpaceGrab);
    QList<Shortcut> failures;
    QObject::connect(&center, &ShortcutCenter::registrationFailed, &context,
        [&](const Shortcut &shortcut, const QString &reason) {
            failures.append(shortcut);
            EXPECT_FALSE(reason.isEmpty());
        });
    CapturedDiagnostics diagnostics;
    center.declare(togglePanel);
    int runs = 0;
    center.onKeyUp(togglePanel, [&] { ++runs; });

    EXPECT_TRUE(center.registeredShortcuts().isEmpty());
    EXPECT_FALSE(center.isShortcutEnabled(togglePanel));
    EXPECT_EQ(failures.size(), 2) << "declare and onKeyUp both tried";
    EXPECT_TRUE(
        diagnostics.lines().first().startsWith(QStringLiteral("Error registering hotkey Ctrl+Space: ")));

    // The other program lets go: the next enable takes it.
    hotKeys.refused.clear();
    center.enable({ togglePanel });
    EXPECT_TRUE(center.isShortcutEnabled(togglePanel));
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(runs, 1);
}

TEST_F(ShortcutCenterTest, ResetAndStoredNames)
{
    const Name plain { QStringLiteral("plain"), std::nullopt };
    center.storeShortcut(togglePanel, optionK);
    center.storeShortcut(plain, optionK);
    QStringList names;
    for (const Name &name : center.storedNames())
        names << name.rawValue;
    names.sort();
    EXPECT_EQ(names, (QStringList { QStringLiteral("plain"), QStringLiteral("togglePanel") }));

    center.reset({ togglePanel });
    EXPECT_EQ(center.getShortcut(togglePanel), controlSpace);
    // Without a default: a stored false stays as it is.
    defaults.setBoolean(ShortcutCenter::storageKey(plain), false);
    center.reset({ plain });
    EXPECT_EQ(defaults.object(ShortcutCenter::storageKey(plain)), QVariant(false));

    center.storeShortcut(plain, optionK);
    center.resetAll();
    EXPECT_FALSE(defaults.contains(ShortcutCenter::storageKey(plain)));
    // Names rebuilt from keys have no default: even togglePanel's key goes.
    EXPECT_FALSE(defaults.contains(ShortcutCenter::storageKey(togglePanel)));
}

TEST_F(ShortcutCenterTest, RemovingHandlersReleasesGrabsThatNoStreamNeeds)
{
    center.declare(togglePanel);
    center.onKeyUp(togglePanel, [] {});
    center.removeHandler(togglePanel);
    EXPECT_FALSE(hotKeys.grabbed.contains(controlSpaceGrab));

    QList<EventType> events;
    const QUuid stream = center.addEventStream(togglePanel, [&](EventType type) { events.append(type); });
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab));
    center.onKeyUp(togglePanel, [] {});
    center.removeAllHandlers();
    EXPECT_TRUE(hotKeys.grabbed.contains(controlSpaceGrab)) << "the stream still needs it";
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(events, (QList<EventType> { EventType::keyDown, EventType::keyUp }));
    center.removeEventStream(stream);
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(events.size(), 2);
}

TEST_F(ShortcutCenterTest, AnActionMayRebindWhileItRuns)
{
    center.declare(togglePanel);
    int later = 0;
    center.onKeyUp(togglePanel, [&] {
        center.removeHandler(togglePanel);
        center.onKeyUp(togglePanel, [&] { ++later; });
    });
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    hotKeys.press(controlSpaceGrab);
    hotKeys.release(controlSpaceGrab);
    EXPECT_EQ(later, 1);
}

} // namespace
