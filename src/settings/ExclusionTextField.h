#pragma once

#include "settings/SettingsTextField.h"

// The entry field of the URL blacklist: one line of free text. Return asks for the entry to be
// added (submitted) and leaves the caret in the field; every change the user makes is reported
// (edited) after the text has changed. Ending the edit by clicking elsewhere reports nothing.
class ExclusionTextField final : public SettingsTextField
{
    Q_OBJECT
public:
    explicit ExclusionTextField(const QString &placeholder = {}, QWidget *parent = nullptr);

Q_SIGNALS:
    void submitted();
    void edited();
};
