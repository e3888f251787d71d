#pragma once

#include "KeyboardShortcuts/RecorderState.h"

#include <QLineEdit>
#include <QPointer>

#include <memory>

class GlobalInputMonitor;
class KeyboardMap;
class LocalEventMonitor;
class QMenu;

namespace KeyboardShortcuts {

// The control with which the user chooses the shortcut of a name: a small field that
// shows the shortcut as the desktop writes it (or a placeholder), records the next
// acceptable key combination once the user clicks it or tabs into it, refuses keys that
// cannot serve as a global shortcut with a beep or an alert, and clears the shortcut with
// Delete, Backspace or its clear button. Any window can host it:
//
//     auto *recorder = new KeyboardShortcuts::Recorder(name, center, this);
//     recorder->setOnChange([](const std::optional<Shortcut> &shortcut) { ... });
//
// Keys are read from their X key codes through the keyboard map, so the recorded key is
// the one pressed whatever Shift does to its character.
class Recorder final : public QLineEdit
{
    Q_OBJECT
public:
    Recorder(const Name &name, ShortcutCenter &center, QWidget *parent = nullptr);
    ~Recorder() override;

    RecorderState &state() const { return *m_state; }
    const Name &shortcutName() const { return m_state->shortcutName(); }
    void setShortcutName(const Name &name) { m_state->setShortcutName(name); }
    void setOnChange(RecorderState::OnChange onChange) { m_state->setOnChange(std::move(onChange)); }
    // Where key codes become keys; the desktop's own map by default (tests give their own).
    void setKeyboardMap(const KeyboardMap *keyboardMap) { m_keyboardMap = keyboardMap; }

    // Where keys that another program's grab takes before they reach the recorder are seen
    // while it records; by default a monitor of its own on the desktop (none headless).
    void setDesktopKeys(std::unique_ptr<GlobalInputMonitor> monitor);

    // The app's main menu, whose items' shortcuts the recorder refuses to take over.
    static void setMainMenu(QMenu *menu);
    static QMenu *mainMenu();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void apply(RecorderState::Outcome outcome);
    void updateFromState();
    void updateMonitor();
    bool handleAppMouseUp(QObject *receiver, QEvent *event);
    int presentAlert(const RecorderState::Alert &alert);
    void handleDesktopKey(quint32 keycode, quint64 modifierFlags);

    std::unique_ptr<RecorderState> m_state;
    const KeyboardMap *m_keyboardMap = nullptr;
    QAction *m_clearAction = nullptr;
    std::unique_ptr<LocalEventMonitor> m_mouseMonitor;
    std::unique_ptr<GlobalInputMonitor> m_desktopKeys;
    bool m_desktopKeysChosen = false;
};

} // namespace KeyboardShortcuts
