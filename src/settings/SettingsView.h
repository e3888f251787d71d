#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <optional>

class AppSettings;
class AppearanceTab;
class ColorsTab;
class ExclusionsTab;
class GeneralTab;
class HistoryTab;
class HotkeyTab;
class ModelContext;
class QLabel;
class QTabWidget;

namespace KeyboardShortcuts {
class ShortcutCenter;
} // namespace KeyboardShortcuts

// The settings window's content: six tabs ("General", "Appearance", "Colors", "History",
// "Hotkey", "Exclusions") in a tab view of at least tabViewWidth × tabViewHeight, wider or
// taller where the theme, the font or the pages need it, within the screen (beyond it the
// pages scroll); the window keeps the size it needs. Anything may ask for a tab by posting
// "settingsSelectTab" with its index under "tab"; the window's title names the tab shown. No
// text field holds the focus when the window opens or a tab is switched to. While the settings
// cannot be saved, a message under the tabs says why. Main thread only.
class SettingsView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qint64 selectedTab READ selectedTab WRITE setSelectedTab NOTIFY selectedTabChanged)
public:
    enum Tab { general, appearance, colors, history, hotkey, exclusions, tabCount };

    // What the view works with and asks of the application around it.
    struct Services
    {
        AppSettings &settings;
        // The context whose items the History tab counts and clears (the main one).
        ModelContext &modelContext;
        KeyboardShortcuts::ShortcutCenter &shortcuts;
        // The shortcut that opens the panel, which the Hotkey tab records.
        KeyboardShortcuts::Name togglePanel;
        // "Check for Updates..."; nothing happens without it.
        std::function<void()> checkForUpdates;
        // Lets the shared highlighting engine go after the history was cleared.
        std::function<void()> releaseHighlighter;
    };

    // The tab view's least size.
    static constexpr int tabViewWidth = 450;
    static constexpr int tabViewHeight = 650;

    explicit SettingsView(Services services, QWidget *parent = nullptr);
    ~SettingsView() override;

    static QString tabTitle(int index);
    // "<tab> — Tindlewick Settings".
    static QString windowTitleFor(int index);
    // The index a "settingsSelectTab" request carries: an integer under "tab", else nothing.
    static std::optional<qint64> requestedTab(const QVariantMap &userInfo);

    // Any integer is kept; only 0...5 name a tab, and the tab view stays where it is for others.
    qint64 selectedTab() const { return m_selectedTab; }
    void setSelectedTab(qint64 tab);

    QTabWidget *tabView() const { return m_tabs; }
    GeneralTab *generalTab() const { return m_general; }
    AppearanceTab *appearanceTab() const { return m_appearance; }
    ColorsTab *colorsTab() const { return m_colors; }
    HistoryTab *historyTab() const { return m_history; }
    HotkeyTab *hotkeyTab() const { return m_hotkey; }
    ExclusionsTab *exclusionsTab() const { return m_exclusions; }
    // Why the settings are not on disk as set; hidden while they are.
    QLabel *saveErrorMessage() const { return m_saveError; }

    // Takes the focus from a text field of this window, which ends its edit.
    void endEditing();

Q_SIGNALS:
    void selectedTabChanged(qint64 tab);
    // "openSettingsDebug" was posted.
    void debugRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Keeps the window within the screen it opens on.
    void fitIntoScreen();
    void scheduleEndEditing();
    void tabShown(int index);
    void showSaveError(const QString &error);

    QTabWidget *m_tabs = nullptr;
    GeneralTab *m_general = nullptr;
    AppearanceTab *m_appearance = nullptr;
    ColorsTab *m_colors = nullptr;
    HistoryTab *m_history = nullptr;
    HotkeyTab *m_hotkey = nullptr;
    ExclusionsTab *m_exclusions = nullptr;
    QLabel *m_saveError = nullptr;
    qint64 m_selectedTab = general;
};
