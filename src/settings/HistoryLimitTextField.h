#pragma once

#include "settings/SettingsTextField.h"

// The "Maximum items" field: right-aligned, it keeps at most three digits of what is typed or
// pasted (any other character disappears at once) and reports the end of each edit (Return,
// Tab, a click elsewhere) through editingFinished, where the limit is committed.
class HistoryLimitTextField final : public SettingsTextField
{
    Q_OBJECT
public:
    explicit HistoryLimitTextField(QWidget *parent = nullptr);

    // The digits of text that the field keeps: characters with a numeric value, the first three.
    static QString filtered(const QString &text);

private:
    void filterEdit(const QString &text);
};
