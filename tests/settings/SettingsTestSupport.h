#pragma once

// What the settings tests share: settings over a store file of their own, a store of items, a
// shortcut centre over a fake desktop, and the view built on them.

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "common/NotificationCenter.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "platform/GlobalHotKeys.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsView.h"
#include "support/Artefacts.h"
#include "support/TestSupport.h"

#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>

class SettingsTest : public StoreTest
{
protected:
    SettingsTest()
        : defaults(m_settingsFolder.path() + QStringLiteral("/defaults.json"))
        , settings(defaults)
        , hotKeyCenter(hotKeys)
        , shortcuts(defaults, hotKeyCenter)
    {
        shortcuts.declare(togglePanel());
    }

    static const KeyboardShortcuts::Name &togglePanel()
    {
        static const KeyboardShortcuts::Name name { QStringLiteral("togglePanel"),
            KeyboardShortcuts::Shortcut::fromKey(KeyboardShortcuts::Key { KeyboardShortcuts::Key::space },
                KeyboardShortcuts::ModifierFlag::control) };
        return name;
    }

    SettingsView::Services services()
    {
        return { settings, context(), shortcuts, togglePanel(), [this] { ++updateChecks; },
            [this] { ++highlighterReleases; } };
    }

    std::unique_ptr<SettingsView> makeView() { return std::make_unique<SettingsView>(services()); }

    // Counts the posts of a notification while action runs.
    static int postsOf(const QString &name, const std::function<void()> &action)
    {
        int count = 0;
        QObject context;
        NotificationCenter::defaultCenter().addObserver(
            name, &context, [&](const QVariantMap &) { ++count; });
        action();
        return count;
    }

    // A picture of a widget, kept for a person to look at.
    static void keepPicture(QWidget &widget, const QString &name)
    {
        widget.grab().save(artefactPath(name), "PNG");
    }

    QTemporaryDir m_settingsFolder;
    UserDefaults defaults;
    AppSettings settings;
    FakeGlobalHotKeys hotKeys;
    KeyboardShortcuts::HotKeyCenter hotKeyCenter;
    KeyboardShortcuts::ShortcutCenter shortcuts;
    int updateChecks = 0;
    int highlighterReleases = 0;
};
