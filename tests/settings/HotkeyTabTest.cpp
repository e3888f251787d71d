#include "settings/HotkeyTab.h"

#include "KeyboardShortcuts/Recorder.h"
#include "settings/KeyboardSettingsLauncher.h"
#include "settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QToolButton>

using Mode = AppSettings::ActivationMode;
using Modifier = AppSettings::DoubleTapModifier;

namespace {

class HotkeyTabTest : public SettingsTest
{
protected:
    std::unique_ptr<HotkeyTab> makeTab()
    {
        return std::make_unique<HotkeyTab>(settings, shortcuts, togglePanel());
    }
    // The texts of the "Keyboard Shortcuts" list, key and description by turns.
    static QStringList listedKeys(HotkeyTab &tab)
    {
        QStringList texts;
        for (const HotkeyTab::PanelKey &key : HotkeyTab::panelKeys()) {
            bool keyShown = false;
            bool descriptionShown = false;
            for (const QLabel *label : tab.findChildren<QLabel *>()) {
                keyShown = keyShown || (label->text() == key.keys && !label->isHidden());
                descriptionShown
                    = descriptionShown || (label->text() == key.description && !label->isHidden());
            }
            if (keyShown && descriptionShown)
                texts << key.keys << key.description;
        }
        return texts;
    }
};

TEST_F(HotkeyTabTest, TheRowUnderTheActivationMethodFollowsTheMode)
{
    defaults.setString(QStringLiteral("activationMode"), QStringLiteral("doubleTap"));
    AppSettings stored(defaults);
    HotkeyTab tab(stored, shortcuts, togglePanel());
    EXPECT_TRUE(tab.activationButton(Mode::doubleTap)->isChecked());
    EXPECT_FALSE(tab.activationButton(Mode::shortcut)->isChecked());
    EXPECT_EQ(tab.currentActivationRow(), tab.modifierRow());
    EXPECT_EQ(
        tab.quickAccessFooter()->text(), QStringLiteral("Tap this key twice quickly to open Tindlewick."));

    struct Case
    {
        Mode clicked;
        QWidget *row;
        const char *footer;
        const char *stored;
    };
    for (const Case &c :
        { Case { Mode::shortcut, tab.recorderRow(), "Click to record a new shortcut.", "shortcut" },
            Case { Mode::doubleTap, tab.modifierRow(), "Tap this key twice quickly to open Tindlewick.",
                "doubleTap" },
            Case { Mode::shortcut, tab.recorderRow(), "Click to record a new shortcut.", "shortcut" } }) {
        SCOPED_TRACE(c.stored);
        const int posts = postsOf(
            Notifications::activationModeChanged, [&] { tab.activationButton(c.clicked)->click(); });
        EXPECT_EQ(posts, 1);
        EXPECT_EQ(defaults.string(QStringLiteral("activationMode")), QString::fromLatin1(c.stored));
        EXPECT_EQ(tab.currentActivationRow(), c.row);
        EXPECT_EQ(tab.quickAccessFooter()->text(), QString::fromLatin1(c.footer));
    }
    // The recorder is the one of the panel's shortcut and shows what is stored for it.
    EXPECT_EQ(tab.recorder()->shortcutName().rawValue, QStringLiteral("togglePanel"));
    EXPECT_EQ(tab.recorder()->text(), QStringLiteral("Ctrl+Space"));
}

TEST_F(HotkeyTabTest, TheModifierPickerListsTheFourModifiersAndStoresTheChoice)
{
    auto tab = makeTab();
    QComboBox *picker = tab->modifierPicker();
    QStringList labels;
    for (int i = 0; i < picker->count(); ++i)
        labels.append(picker->itemText(i));
    EXPECT_EQ(labels, (QStringList { "Alt", "Meta", "Ctrl", "Shift" }));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Alt"));
    const struct
    {
        int index;
        Modifier modifier;
        const char *stored;
    } cases[] = {
        { 2, Modifier::control, "control" },
        { 1, Modifier::command, "command" },
        { 3, Modifier::shift, "shift" },
        { 0, Modifier::option, "option" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        const int posts = postsOf(Notifications::activationModeChanged, [&] {
            picker->setCurrentIndex(c.index);
            Q_EMIT picker->activated(c.index);
        });
        EXPECT_EQ(posts, 1);
        EXPECT_EQ(settings.doubleTapModifier(), c.modifier);
        EXPECT_EQ(defaults.string(QStringLiteral("doubleTapModifier")), QString::fromLatin1(c.stored));
    }
    settings.setDoubleTapModifier(Modifier::shift);
    EXPECT_EQ(picker->currentText(), QStringLiteral("Shift"));
}

TEST_F(HotkeyTabTest, ThePanelsSevenKeysAreListedInEitherMode)
{
    const QStringList expected { "Ctrl+K", "Clear history", "Ctrl+P", "Pin the app panel", "Ctrl+.",
        "Toggle History column", "Ctrl+1–7", "Switch tabs (Tab view)", "Tab / Shift+Tab",
        "Next / Previous tab (Tab view)", "↑ ↓ ← →", "Navigate items", "Return", "Paste selected item" };
    ASSERT_EQ(HotkeyTab::panelKeys().size(), 7);
    for (Mode mode : { Mode::shortcut, Mode::doubleTap }) {
        settings.setActivationMode(mode);
        auto tab = makeTab();
        EXPECT_EQ(listedKeys(*tab), expected);
    }
}

TEST_F(HotkeyTabTest, TheShortcutLimitationsAreWrittenForThisDesktop)
{
    auto tab = makeTab();
    const QStringList expected {
        QStringLiteral("Shortcut limitations"),
        QStringLiteral(
            "Shortcuts of Tindlewick's own menu (e.g., Ctrl+Q) are reserved, and so are the editing ones "
            "every program answers to (e.g., Ctrl+C, Ctrl+V)."),
        QStringLiteral("Shortcuts another program holds (e.g., an input method's Ctrl+Space) must be freed "
                       "there or in your desktop's keyboard settings before use."),
    };
    for (const QString &text : expected) {
        const QList<QLabel *> labels = tab->findChildren<QLabel *>();
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const QLabel *label) {
            return label->text() == text;
        })) << text.toStdString();
    }
    // No key of another system's keyboard is named.
    for (const QLabel *label : tab->findChildren<QLabel *>()) {
        for (const char16_t *symbol : { u"\u2318", u"\u2325", u"\u2303", u"System Settings" })
            EXPECT_FALSE(label->text().contains(QStringView(symbol))) << label->text().toStdString();
    }
}

TEST_F(HotkeyTabTest, TheLinkOpensTheDesktopsKeyboardSettings)
{
    auto tab = makeTab();
    EXPECT_TRUE(tab->openKeyboardShortcutsLink()->text().contains(QStringLiteral("Open Keyboard Shortcuts")));
    int opened = 0;
    tab->setOpenKeyboardShortcutsAction([&] { ++opened; });
    Q_EMIT tab->openKeyboardShortcutsLink()->linkActivated(QStringLiteral("keyboard-shortcuts"));
    EXPECT_EQ(opened, 1);
}

TEST(KeyboardSettingsLauncherTest, TheDesktopsOwnSettingsProgramIsChosenWhenItIsInstalled)
{
    using Command = KeyboardSettingsLauncher::Command;
    const struct
    {
        const char *name;
        const char *desktop;
        QStringList installed;
        std::optional<Command> command;
    } cases[] = {
        { "GNOME", "GNOME", { "gnome-control-center" },
            Command { "/usr/bin/gnome-control-center", { "keyboard" } } },
        { "Ubuntu's GNOME", "ubuntu:GNOME", { "gnome-control-center" },
            Command { "/usr/bin/gnome-control-center", { "keyboard" } } },
        { "KDE Plasma 6", "KDE", { "systemsettings", "systemsettings5" },
            Command { "/usr/bin/systemsettings", { "kcm_keys" } } },
        { "KDE Plasma 5", "KDE", { "systemsettings5" },
            Command { "/usr/bin/systemsettings5", { "kcm_keys" } } },
        { "Xfce", "XFCE", { "xfce4-keyboard-settings" }, Command { "/usr/bin/xfce4-keyboard-settings", {} } },
        { "letter case", "xfce", { "xfce4-keyboard-settings" },
            Command { "/usr/bin/xfce4-keyboard-settings", {} } },
        { "GNOME without its settings", "GNOME", { "systemsettings" }, std::nullopt },
        { "another desktop", "LXQt", { "gnome-control-center", "systemsettings" }, std::nullopt },
        { "no desktop", "", { "gnome-control-center" }, std::nullopt },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto find = [&](const QString &name) {
            return c.installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
        EXPECT_EQ(KeyboardSettingsLauncher::commandFor(QString::fromUtf8(c.desktop), find), c.command);
    }
    EXPECT_TRUE(KeyboardSettingsLauncher::whereToLook().contains(QStringLiteral("keyboard settings")));
}

} // namespace
