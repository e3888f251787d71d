#pragma once

// The running app's settings window under Xvfb: a tray to open it from, the app in a home of
// its own, and where the window's controls are. The app's window is laid out by the same code
// with the same fonts and style as a copy of the view built here off screen, so the copy tells
// where to click in the app's window.

#include "AppProcess.h"
#include "TrayHost.h"
#include "X11TestSupport.h"

#include "KeyboardShortcuts/HotKeyCenter.h"
#include "KeyboardShortcuts/ShortcutCenter.h"
#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "platform/GlobalHotKeys.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStyleHints>
#include <QTabBar>
#include <QTabWidget>

// A copy of the settings view, laid out off screen, that says where things are in a view.
class SettingsLayoutProbe final
{
public:
    SettingsLayoutProbe()
        : m_defaults(m_folder.path() + QStringLiteral("/defaults.json"))
        , m_settings(m_defaults)
        , m_hotKeyCenter(m_hotKeys)
        , m_shortcuts(m_defaults, m_hotKeyCenter)
    {
        QString error;
        m_container = ModelContainer::open(m_folder.path() + QStringLiteral("/probe.store"), &error);
        static const KeyboardShortcuts::Name name { QStringLiteral("togglePanel"),
            KeyboardShortcuts::Shortcut::fromKey(KeyboardShortcuts::Key { KeyboardShortcuts::Key::space },
                KeyboardShortcuts::ModifierFlag::control) };
        m_shortcuts.declare(name);
        m_view = std::make_unique<SettingsView>(
            SettingsView::Services { m_settings, *m_container->mainContext(), m_shortcuts, name, {}, {} });
        m_view->setAttribute(Qt::WA_DontShowOnScreen);
        m_view->show();
    }

    // The middle of a tab's title in the tab bar, in the view.
    QPoint tab(int index)
    {
        QTabBar *bar = m_view->tabView()->tabBar();
        return bar->mapTo(m_view.get(), bar->tabRect(index).center());
    }
    // Where a widget of a tab lies in the view, with that tab shown.
    QRect rect(int tab, const std::function<QWidget *(SettingsView &)> &pick)
    {
        m_view->setSelectedTab(tab);
        QApplication::processEvents();
        QWidget *widget = pick(*m_view);
        return QRect(widget->mapTo(m_view.get(), QPoint(0, 0)), widget->size());
    }
    QPoint centre(int tab, const std::function<QWidget *(SettingsView &)> &pick)
    {
        return rect(tab, pick).center();
    }

    SettingsView &view() { return *m_view; }
    // The probe's own settings: the app's window lays out as they are set here.
    AppSettings &settings() { return m_settings; }

private:
    QTemporaryDir m_folder;
    UserDefaults m_defaults;
    AppSettings m_settings;
    FakeGlobalHotKeys m_hotKeys;
    KeyboardShortcuts::HotKeyCenter m_hotKeyCenter;
    KeyboardShortcuts::ShortcutCenter m_shortcuts;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<SettingsView> m_view;
};

// The app with a home of its own, a tray, and its settings window opened from the tray.
class SettingsWindowTest : public X11Test
{
protected:
    static inline const QString settingsTitleEnd = QStringLiteral(" — Tindlewick Settings");

    void SetUp() override
    {
        X11Test::SetUp();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(home.path() + QStringLiteral("/data/Tindlewick"));
        QDir().mkpath(home.path() + QStringLiteral("/config/Tindlewick"));
    }

    QString storePath() const { return home.path() + QStringLiteral("/data/Tindlewick/default.store"); }
    QString defaultsPath() const { return home.path() + QStringLiteral("/config/Tindlewick/defaults.json"); }
    // The app's settings before it starts.
    void writeDefaults(const QByteArray &json)
    {
        QFile file(defaultsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
    }
    // A value the app has stored in its settings file.
    QJsonValue storedSetting(const QString &key) const
    {
        QFile file(defaultsPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object().value(key);
    }
    QString storedShortcut() const
    {
        const QJsonValue value = storedSetting(QStringLiteral("KeyboardShortcuts_togglePanel"));
        return value.isString() ? value.toString() : QString();
    }

    // The app with its test hooks; the helpers below wait on the one started last.
    std::unique_ptr<AppProcess> startApp(const QHash<QString, QString> &environment = {})
    {
        auto app = std::make_unique<AppProcess>(home.path());
        app->enableTestHooks();
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            app->setEnvironment(it.key(), it.value());
        EXPECT_TRUE(app->start());
        runningApp = app.get();
        return app;
    }

    static QString activeWindowName()
    {
        return toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("getactivewindow"), QStringLiteral("getwindowname") });
    }
    static quint64 activeWindow()
    {
        return toolOutput(QStringLiteral("xdotool"), { QStringLiteral("getactivewindow") }).toULongLong();
    }
    static bool press(const QString &keys)
    {
        return xdotool(QStringList { QStringLiteral("key") } + keys.split(QLatin1Char(' ')));
    }
    static bool type(const QString &text) { return xdotool({ QStringLiteral("type"), text }); }
    static bool clickAt(const QPoint &point, int button = 1)
    {
        return xdotool({ QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
            QStringLiteral("click"), QString::number(button) });
    }
    // The shown panel window ("Tindlewick"); empty when none is mapped.
    static QString panelWindowId()
    {
        return toolOutput(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Tindlewick$") })
            .split(QLatin1Char('\n'))
            .value(0);
    }
    static bool panelVisible() { return !panelWindowId().isEmpty(); }
    // Where the panel is on the screen; empty when it is not shown.
    static QRect panelRect()
    {
        const QString window = panelWindowId();
        return window.isEmpty() ? QRect() : windowGeometry(window.toULongLong()).rect;
    }
    // Whether the panel is still hidden once the app, and then the window manager, have handled
    // what came before (a panel the keys before had the app show would be mapped by then).
    bool panelStaysHidden() const
    {
        return runningApp->caughtUp() && windowManagerCaughtUp() && !panelVisible();
    }
    // The app takes its keys a moment after its start: press until it answers.
    static bool openPanelWith(const QString &keys)
    {
        for (int attempt = 0; attempt < 15; ++attempt) {
            if (!press(keys))
                return false;
            if (waitUntil([] { return panelVisible(); }, std::chrono::milliseconds(600)))
                return true;
        }
        return false;
    }

    // Opens the tray icon's menu; true once it is shown (the keys reach it then). The icon is
    // looked for afresh each time: the tray may still be placing it. A press within the
    // double-click interval of the press before would be a double click, which opens no menu:
    // the presses are kept further apart than that.
    bool openTrayMenu()
    {
        QRect icon;
        for (int attempt = 0; attempt < 5; ++attempt) {
            if ((icon = TrayHost::settledAppIcon()).isEmpty()) {
                ADD_FAILURE() << "the app's icon never stood still in the tray";
                return false;
            }
            const qint64 apart = QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100;
            if (m_sinceTrayPress.isValid() && m_sinceTrayPress.elapsed() < apart)
                QTest::qWait(int(apart - m_sinceTrayPress.elapsed()));
            const qsizetype beforeMenu = runningApp->outputMark();
            if (!clickAt(icon.center(), 3))
                return false;
            m_sinceTrayPress.start();
            if (runningApp->waitForMenu(beforeMenu, QStringLiteral("Settings..."), std::chrono::seconds(5)))
                return true;
            press(QStringLiteral("Escape"));
        }
        ADD_FAILURE() << "no menu after five presses on the tray icon, last at " << icon.center().x() << ","
                      << icon.center().y();
        return false;
    }

    // "Settings..." in the tray icon's menu; true once the settings window is the active one,
    // laid out at its size: the probe's, or the one laidOut accepts (another look than the
    // probe's).
    bool openSettingsFromTray(const std::function<bool(const QSize &)> &laidOut = {})
    {
        // The menu lists "Open Tindlewick", a separator, then "Settings...".
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (!openTrayMenu())
                return false;
            press(QStringLiteral("Down Down Return"));
            if (waitUntil(
                    [] { return activeWindowName().endsWith(settingsTitleEnd); }, std::chrono::seconds(3))) {
                settingsWindow = activeWindow();
                // The window can be active a moment before the window manager has framed and
                // placed it: clicks are aimed once it has the size the probe was laid out at.
                return waitUntil([&] {
                    const QSize size = settingsRect().size();
                    return settingsViewable() && (laidOut ? laidOut(size) : size == probe.view().size());
                });
            }
            press(QStringLiteral("Escape"));
        }
        ADD_FAILURE() << "the settings window never came; active: " << activeWindowName().toStdString();
        return false;
    }

    // The windows the window manager manages, bottom first.
    static QList<quint64> stackingOrder()
    {
        QList<quint64> windows;
        const QString list = toolOutput(QStringLiteral("xprop"),
            { QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING") });
        static const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
        for (QRegularExpressionMatchIterator it = id.globalMatch(list); it.hasNext();)
            windows.append(it.next().captured(0).toULongLong(nullptr, 16));
        return windows;
    }
    // Whether the active window is stacked above the settings window (the window manager reports
    // the new order a moment after it activated a window).
    bool activeWindowIsAboveSettings() const
    {
        const quint64 active = activeWindow();
        return waitUntil([&] {
            const QList<quint64> order = stackingOrder();
            return order.contains(active) && order.indexOf(active) > order.indexOf(settingsWindow);
        });
    }

    // The settings window's content on the screen (xwininfo's absolute position is that of the
    // content, inside the window manager's frame).
    QRect settingsRect() const
    {
        const QString info = toolOutput(
            QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(settingsWindow) });
        auto value = [&](const char *label) {
            static const QRegularExpression number(QStringLiteral("(-?\\d+)"));
            for (const QString &line : info.split(QLatin1Char('\n'))) {
                if (line.trimmed().startsWith(QLatin1String(label)))
                    return number.match(line.mid(line.indexOf(QLatin1Char(':')))).captured(1).toInt();
            }
            return 0;
        };
        return { value("Absolute upper-left X:"), value("Absolute upper-left Y:"), value("Width:"),
            value("Height:") };
    }
    // Mapped by the window manager, inside its frame, in its place.
    bool settingsViewable() const
    {
        return toolOutput(
            QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(settingsWindow) })
            .contains(QLatin1String("Map State: IsViewable"));
    }
    QPoint settingsOrigin() const { return settingsRect().topLeft(); }
    // Shows a tab by clicking its title; true once the window's title names it.
    bool showTab(int tab)
    {
        if (!clickAt(settingsOrigin() + probe.tab(tab)))
            return false;
        if (waitUntil([&] { return activeWindowName() == SettingsView::windowTitleFor(tab); }))
            return true;
        saveScreenshot(QStringLiteral("settings-tab-%1-not-shown.png").arg(tab));
        const QRect window = settingsRect();
        ADD_FAILURE() << "the tab's title at " << probe.tab(tab).x() << "," << probe.tab(tab).y()
                      << " of the window at " << window.x() << "," << window.y() << " (" << window.width()
                      << "x" << window.height() << ") did not show it";
        return false;
    }
    bool clickIn(int tab, const std::function<QWidget *(SettingsView &)> &pick)
    {
        return clickAt(settingsOrigin() + probe.centre(tab, pick));
    }
    // The settings window alone, once the app has drawn what it was last asked, kept as an
    // artefact.
    QImage keepSettingsPicture(const QString &name)
    {
        EXPECT_TRUE(runningApp->caughtUp());
        const QImage screen(saveScreenshot(QStringLiteral("screen-") + name));
        const QImage window = screen.copy(settingsRect());
        window.save(artefactPath(name), "PNG");
        return window;
    }

    QTemporaryDir home;
    SettingsLayoutProbe probe;
    quint64 settingsWindow = 0;
    // The app started last (by startApp, which hands it out).
    AppProcess *runningApp = nullptr;

private:
    QElapsedTimer m_sinceTrayPress;
};
