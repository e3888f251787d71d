#include "settings/HistoryLimitTextField.h"

HistoryLimitTextField::HistoryLimitTextField(QWidget *parent)
    : SettingsTextField(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textEdited, this, &HistoryLimitTextField::filterEdit);
}

QString HistoryLimitTextField::filtered(const QString &text)
{
    // Other digit forms pass here as they are numbers too; the commit turns them away.
    QString digits;
    for (const QChar character : text) {
        if (digits.size() == 3)
            break;
        if (character.isNumber())
            digits.append(character);
    }
    return digits;
}

void HistoryLimitTextField::filterEdit(const QString &text)
{
    const QString kept = filtered(text);
    if (kept == text)
        return;
    const int cursor = std::min(int(kept.size()), cursorPosition() - int(text.size() - kept.size()));
    setText(kept);
    setCursorPosition(std::max(0, cursor));
}
