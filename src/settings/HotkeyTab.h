#pragma once

#include "KeyboardShortcuts/Name.h"
#include "model/AppSettings.h"
#include "settings/SettingsForm.h"

#include <functional>

class QButtonGroup;
class QComboBox;
class QStackedWidget;
class QToolButton;

namespace KeyboardShortcuts {
class Recorder;
class ShortcutCenter;
} // namespace KeyboardShortcuts

// The "Hotkey" tab: whether the panel opens with a recorded shortcut or a double tap of a
// modifier, the recorder or the modifier for it, the keys that work inside the panel, and
// what a shortcut may not be, with a way to the desktop's own keyboard settings.
class HotkeyTab final : public SettingsForm
{
    Q_OBJECT
public:
    HotkeyTab(AppSettings &settings, KeyboardShortcuts::ShortcutCenter &shortcuts,
        const KeyboardShortcuts::Name &togglePanel, QWidget *parent = nullptr);

    struct PanelKey
    {
        QString keys;
        QString description;

        friend bool operator==(const PanelKey &, const PanelKey &) = default;
    };
    // The seven keys of the panel, as the list shows them.
    static QList<PanelKey> panelKeys();
    static QString activationLabel(AppSettings::ActivationMode mode);
    static QString modifierLabel(AppSettings::DoubleTapModifier modifier);
    static QString footer(AppSettings::ActivationMode mode);
    static const QList<AppSettings::DoubleTapModifier> &modifierChoices();

    // What "Open Keyboard Shortcuts" does; by default it starts the desktop's keyboard
    // settings, or says where to find them.
    void setOpenKeyboardShortcutsAction(std::function<void()> action)
    {
        m_openKeyboardShortcuts = std::move(action);
    }

    QToolButton *activationButton(AppSettings::ActivationMode mode) const;
    // The row under the activation method: the recorder's or the modifier's.
    QWidget *currentActivationRow() const;
    KeyboardShortcuts::Recorder *recorder() const { return m_recorder; }
    QWidget *recorderRow() const { return m_recorderRow; }
    QWidget *modifierRow() const { return m_modifierRow; }
    QComboBox *modifierPicker() const { return m_modifierPicker; }
    QLabel *quickAccessFooter() const;
    // "Open Keyboard Shortcuts", a link.
    QLabel *openKeyboardShortcutsLink() const { return m_openKeyboardShortcutsLink; }

private:
    // The tab's parts, top to bottom.
    void addActivationMethod();
    void addActivationRows(
        KeyboardShortcuts::ShortcutCenter &shortcuts, const KeyboardShortcuts::Name &togglePanel);
    void addPanelKeys();
    void addShortcutLimitations();
    void showActivationMode();
    void openKeyboardShortcutsSettings();

    AppSettings &m_settings;
    std::function<void()> m_openKeyboardShortcuts;
    SettingsSection *m_quickAccess = nullptr;
    QButtonGroup *m_activation = nullptr;
    QStackedWidget *m_activationRows = nullptr;
    QWidget *m_recorderRow = nullptr;
    QWidget *m_modifierRow = nullptr;
    KeyboardShortcuts::Recorder *m_recorder = nullptr;
    QComboBox *m_modifierPicker = nullptr;
    QLabel *m_openKeyboardShortcutsLink = nullptr;
};
