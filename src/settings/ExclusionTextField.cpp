#include "settings/ExclusionTextField.h"

ExclusionTextField::ExclusionTextField(const QString &placeholder, QWidget *parent)
    : SettingsTextField(parent)
{
    setPlaceholderText(placeholder);
    connect(this, &QLineEdit::returnPressed, this, &ExclusionTextField::submitted);
    connect(this, &QLineEdit::textEdited, this, &ExclusionTextField::edited);
}
