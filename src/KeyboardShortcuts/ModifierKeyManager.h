#pragma once

#include <QObject>

// Whether Shift is held, for views that show something else while it is down (Shift asks
// for plain-text pasting). Follows the key events of this app; a change while another
// application is active is seen at the next key event here. Main thread only.
class ModifierKeyManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isShiftPressed READ isShiftPressed NOTIFY isShiftPressedChanged)
public:
    // Created, and watching, on first use.
    static ModifierKeyManager &shared();

    explicit ModifierKeyManager(QObject *parent = nullptr);
    ~ModifierKeyManager() override;

    bool isShiftPressed() const { return m_isShiftPressed; }
    // Reads the keyboard's current state, then follows every key event; once only.
    void startModifierMonitoring();

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void isShiftPressedChanged(bool pressed);

private:
    void setIsShiftPressed(bool pressed);

    bool m_isShiftPressed = false;
    bool m_monitoring = false;
};
