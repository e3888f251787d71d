#pragma once

#include "settings/SettingsForm.h"

#include <memory>

class AppSettings;
class ExclusionListEditor;
class ExclusionTextField;
class QCheckBox;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// The "Exclusions" tab: the filters for adult sites and password managers, and the URL
// blacklist with its entry field, its message line and one row per entry.
class ExclusionsTab final : public SettingsForm
{
    Q_OBJECT
public:
    explicit ExclusionsTab(AppSettings &settings, QWidget *parent = nullptr);
    ~ExclusionsTab() override;

    ExclusionListEditor &editor() const { return *m_editor; }

    QCheckBox *adultContentSwitch() const { return m_adultContent; }
    QCheckBox *passwordSwitch() const { return m_passwords; }
    ExclusionTextField *entryField() const { return m_entryField; }
    QPushButton *addButton() const { return m_addButton; }
    QLabel *errorMessage() const { return m_error; }
    // The entries shown, top to bottom.
    QStringList shownEntries() const;
    QToolButton *removeButton(const QString &entry) const;

private:
    void showEntries();
    void showEditor();

    AppSettings &m_settings;
    std::unique_ptr<ExclusionListEditor> m_editor;
    QCheckBox *m_adultContent = nullptr;
    QCheckBox *m_passwords = nullptr;
    ExclusionTextField *m_entryField = nullptr;
    QPushButton *m_addButton = nullptr;
    QLabel *m_error = nullptr;
    QWidget *m_entryList = nullptr;
    QVBoxLayout *m_entryLayout = nullptr;
};
