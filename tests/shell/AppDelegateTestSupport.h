#pragma once

// The whole app without a display server of its own: an AppDelegate on a store, settings and
// stand-ins for the desktop (clipboard, windows, hot keys, raw input, synthetic keys), for tests
// that drive the app as its users do.

#include "detection/HighlightCacheService.h"
#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "platform/DesktopNotifications.h"
#include "platform/GlobalHotKeys.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/Pasteboard.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "shell/AppDelegate.h"
#include "support/ManualClock.h"

#include <QTemporaryDir>

#include <memory>

class SingleInstance;

class AppDelegateTestBase : public StoreTest
{
protected:
    AppDelegateTestBase()
        : defaults(m_settingsFolder.path() + QStringLiteral("/defaults.json"))
        , settings(defaults)
    { }
    ~AppDelegateTestBase() override { delegate.reset(); }

    // A delegate on this world, not yet launched.
    void createDelegate(SingleInstance *instance = nullptr, AppDelegate::Neighbours neighbours = {})
    {
        delegate = std::make_unique<AppDelegate>(
            AppDelegate::Services { container(), settings, defaults, pasteboard, workspace, hotKeys, input,
                keyboard, highlights, instance, withStatusItem, nullptr, &desktopNotifications, nullptr,
                &clock },
            std::move(neighbours));
    }

    QTemporaryDir m_settingsFolder;
    UserDefaults defaults;
    AppSettings settings;
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    FakeGlobalHotKeys hotKeys;
    FakeGlobalInputMonitor input;
    FakeSyntheticKeyboard keyboard;
    HighlightCacheService highlights;
    FakeDesktopNotifications desktopNotifications;
    // The time the delegate waits for by itself (for when it is idle).
    ManualClock clock;
    // Whether the delegate puts an icon in the tray (there is none to show it in here).
    bool withStatusItem = false;
    std::unique_ptr<AppDelegate> delegate;
};
