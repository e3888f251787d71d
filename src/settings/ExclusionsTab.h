#pragma once

#include "settings/SettingsForm.h"

#include <memory>

class AppSettings;
class ExclusionListEditor;
class ExclusionListModel;
class ExclusionTextField;
class QCheckBox;
class QListView;
class QPushButton;

// The "Exclusions" tab: the filters for adult sites and password managers, and the URL
// blacklist with its entry field, its message line and a list with one row per entry. The list
// shows at most a few rows and scrolls the rest, so a blacklist of any length (one written into
// the settings file by hand or by a script) opens at once. A row goes with its remove button,
// or with Delete or Backspace once selected.
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
    QListView *entryList() const { return m_entryList; }
    // The entries listed, top to bottom (also those scrolled out of view).
    QStringList shownEntries() const;
    // Where the remove button of a row is, in the list's viewport.
    QRect removeButtonRect(int row) const;

    // Rows the list shows before it scrolls.
    static constexpr int visibleRows = 12;

private:
    QListView *makeEntryList(QWidget *parent);
    void fitEntryList();
    void removeSelectedEntry();
    void showEditor();

    AppSettings &m_settings;
    std::unique_ptr<ExclusionListEditor> m_editor;
    QCheckBox *m_adultContent = nullptr;
    QCheckBox *m_passwords = nullptr;
    ExclusionTextField *m_entryField = nullptr;
    QPushButton *m_addButton = nullptr;
    QLabel *m_error = nullptr;
    ExclusionListModel *m_entryModel = nullptr;
    QListView *m_entryList = nullptr;
};
