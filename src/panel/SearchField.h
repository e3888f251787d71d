#pragma once

#include <QBasicTimer>
#include <QColor>
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

    // The caret's colour: white on a dark appearance, black on a light one, faded with the field.
    static QColor insertionPointColor(bool darkAppearance, double opacity);
    // Fades the field, its text and its caret together (1 is opaque).
    void setFadeOpacity(double opacity);
    double fadeOpacity() const { return m_fadeOpacity; }
    // Applies the caret colour for the present appearance and fade.
    void updateCursorColor();
    // Whether the caret is drawn now: the field has the keyboard and the blink is in its on phase.
    bool isCaretShown() const { return hasFocus() && m_caretOn; }
    // Where the caret is drawn, in the field's coordinates.
    QRectF caretRect() const;

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // The caret shows at once and blinks again from there (after a move, an edit, a focus).
    void restartBlink();

    KeyHandler m_keyHandler;
    QBasicTimer m_blink;
    bool m_caretOn = true;
    double m_fadeOpacity = 1.0;
    bool m_updatingColor = false;
};
