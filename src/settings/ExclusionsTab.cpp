#include "settings/ExclusionsTab.h"

#include "model/AppSettings.h"
#include "settings/ExclusionEntryDelegate.h"
#include "settings/ExclusionListEditor.h"
#include "settings/ExclusionListModel.h"
#include "settings/ExclusionTextField.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

ExclusionsTab::ExclusionsTab(AppSettings &settings, QWidget *parent)
    : SettingsForm(parent)
    , m_settings(settings)
    , m_editor(std::make_unique<ExclusionListEditor>(settings))
{
    SettingsSection *privacy = addSection(QStringLiteral("Privacy"),
        QStringLiteral("Prevents content from password managers and adult websites from appearing in "
                       "clipboard history."));
    m_adultContent = new QCheckBox(QStringLiteral("Filter adult content"), privacy->box());
    m_passwords = new QCheckBox(QStringLiteral("Password exclusion"), privacy->box());
    privacy->addRow(m_adultContent);
    privacy->addRow(m_passwords);
    connect(m_adultContent, &QCheckBox::clicked, &m_settings, &AppSettings::setFilterAdultContent);
    connect(m_passwords, &QCheckBox::clicked, &m_settings, &AppSettings::setFilterPasswords);
    connect(&m_settings, &AppSettings::filterAdultContentChanged, m_adultContent, &QCheckBox::setChecked);
    connect(&m_settings, &AppSettings::filterPasswordsChanged, m_passwords, &QCheckBox::setChecked);

    SettingsSection *blacklist = addSection(QStringLiteral("URL Blacklist"),
        QStringLiteral("These URLs will not be saved to clipboard history."));
    auto *entryRow = new QHBoxLayout;
    entryRow->setAlignment(Qt::AlignTop);
    auto *entryColumn = new QVBoxLayout;
    entryColumn->setSpacing(4);
    m_entryField = new ExclusionTextField(QStringLiteral("Exclude URL"), blacklist->box());
    m_entryField->setAccessibleName(QStringLiteral("Exclude URL"));
    m_error = errorLabel(blacklist->box());
    entryColumn->addWidget(m_entryField);
    entryColumn->addWidget(m_error);
    entryRow->addLayout(entryColumn, 1);
    m_addButton = new QPushButton(QStringLiteral("Add"), blacklist->box());
    entryRow->addWidget(m_addButton, 0, Qt::AlignTop);
    blacklist->addRow(entryRow);
    m_entryModel = new ExclusionListModel(m_settings, this);
    m_entryList = makeEntryList(blacklist->box());
    blacklist->addRow(m_entryList);

    connect(m_entryField, &ExclusionTextField::edited, this, [this] {
        m_editor->setNewExclusionPattern(m_entryField->text());
        m_editor->clearExclusionError();
    });
    connect(m_entryField, &ExclusionTextField::submitted, m_editor.get(),
        &ExclusionListEditor::addExclusionPattern);
    connect(m_addButton, &QPushButton::clicked, m_editor.get(), &ExclusionListEditor::addExclusionPattern);
    connect(
        m_editor.get(), &ExclusionListEditor::newExclusionPatternChanged, this, &ExclusionsTab::showEditor);
    connect(m_editor.get(), &ExclusionListEditor::exclusionErrorChanged, this, &ExclusionsTab::showEditor);
    for (const auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(m_entryModel, signal, this, &ExclusionsTab::fitEntryList);

    m_adultContent->setChecked(m_settings.filterAdultContent());
    m_passwords->setChecked(m_settings.filterPasswords());
    showEditor();
    fitEntryList();
}

ExclusionsTab::~ExclusionsTab() = default;

void ExclusionsTab::showEditor()
{
    if (m_entryField->text() != m_editor->newExclusionPattern())
        m_entryField->setText(m_editor->newExclusionPattern());
    m_addButton->setEnabled(m_editor->canAdd());
    showMessage(m_error, m_editor->exclusionError().value_or(QString()));
}

QListView *ExclusionsTab::makeEntryList(QWidget *parent)
{
    auto *list = new QListView(parent);
    list->setObjectName(QStringLiteral("blacklistEntries"));
    list->setAccessibleName(QStringLiteral("URL Blacklist"));
    list->setModel(m_entryModel);
    auto *delegate = new ExclusionEntryDelegate(list);
    list->setItemDelegate(delegate);
    // Rows of one height: a list of any length is laid out without measuring its entries.
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setResizeMode(QListView::Adjust);
    list->setFrameShape(QFrame::NoFrame);
    list->viewport()->setAutoFillBackground(false);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF());
    list->setFont(mono);
    connect(delegate, &ExclusionEntryDelegate::removeRequested, m_editor.get(),
        &ExclusionListEditor::removeExclusionPattern);
    for (const QKeySequence &key : { QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace) }) {
        auto *remove = new QShortcut(key, list, nullptr, nullptr, Qt::WidgetShortcut);
        connect(remove, &QShortcut::activated, this, &ExclusionsTab::removeSelectedEntry);
    }
    return list;
}

void ExclusionsTab::fitEntryList()
{
    const int rows = std::min(m_entryModel->rowCount(), visibleRows);
    m_entryList->setVisible(rows > 0);
    if (rows == 0)
        return;
    const int rowHeight = m_entryList->sizeHintForRow(0);
    m_entryList->setFixedHeight(rows * rowHeight + 2 * m_entryList->frameWidth());
}

void ExclusionsTab::removeSelectedEntry()
{
    const QModelIndex current = m_entryList->currentIndex();
    if (current.isValid())
        m_editor->removeExclusionPattern(m_entryModel->entry(current.row()));
}

QStringList ExclusionsTab::shownEntries() const
{
    return m_entryModel->entries();
}

QRect ExclusionsTab::removeButtonRect(int row) const
{
    return ExclusionEntryDelegate::removeButtonRect(m_entryList->visualRect(m_entryModel->index(row)));
}
