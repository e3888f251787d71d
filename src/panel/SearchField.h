#pragma once

#include <QLineEdit>

#include <functional>

class QKeyEvent;

// The panel's search field. It keeps the input method (people type in every script) but
// offers no completion. The panel sees every key first: its shortcuts (Control+K, Control+P,
// Control+., Control+1...9) and Tab / Shift+Tab win over the line edit's own bindings, and the
// arrows, Return and Escape go to the panel whenever it wants them.
class SearchField final : public QLineEdit
{
    Q_OBJECT
public:
    // Answers whether the panel used the key; unused keys edit the text.
    using KeyHandler = std::function<bool(QKeyEvent *)>;

    explicit SearchField(QWidget *parent = nullptr);
    void setKeyHandler(KeyHandler handler) { m_keyHandler = std::move(handler); }

    // Keys the panel claims before the line edit's bindings see them.
    static bool isPanelShortcut(const QKeyEvent *event);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    KeyHandler m_keyHandler;
};
