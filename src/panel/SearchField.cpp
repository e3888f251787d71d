#include "panel/SearchField.h"

#include "common/NotificationCenter.h"
#include "panel/PanelLayout.h"

#include <QKeyEvent>

SearchField::SearchField(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setPlaceholderText(QStringLiteral("Search"));
    setFont(PanelLayout::panelFont(26));
    // Typing goes straight to the text: no word completion, no predictive suggestions, but the
    // input method stays for composing characters.
    setInputMethodHints(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
}

bool SearchField::isPanelShortcut(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::ControlModifier)
        return false;
    const int key = event->key();
    return key == Qt::Key_K || key == Qt::Key_P || key == Qt::Key_Period
        || (key >= Qt::Key_1 && key <= Qt::Key_9);
}

bool SearchField::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming these keeps the line edit's own meanings (Control+K deletes to the end of
        // the line) and any application shortcut from taking them.
        auto *key = static_cast<QKeyEvent *>(event);
        if (isPanelShortcut(key)) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Tab moves through the panel's columns, never the focus out of the field.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            const bool backward
                = key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
            NotificationCenter::defaultCenter().post(
                backward ? Notifications::tabNavigateBackward : Notifications::tabNavigateForward);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void SearchField::keyPressEvent(QKeyEvent *event)
{
    if (m_keyHandler && m_keyHandler(event)) {
        event->accept();
        return;
    }
    if (isPanelShortcut(event))
        return; // the panel had no use for it; the line edit must not either
    QLineEdit::keyPressEvent(event);
}
