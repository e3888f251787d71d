#include "settings/ExclusionsTab.h"

#include "model/AppSettings.h"
#include "settings/ExclusionListEditor.h"
#include "settings/ExclusionTextField.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// One line of text that gives up its middle when space is short.
class MiddleElidedLabel final : public QWidget
{
public:
    MiddleElidedLabel(const QString &text, QWidget *parent)
        : QWidget(parent)
        , m_text(text)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setToolTip(text);
    }

    QString text() const { return m_text; }
    QSize sizeHint() const override
    {
        return { fontMetrics().horizontalAdvance(m_text), fontMetrics().height() };
    }
    QSize minimumSizeHint() const override { return { 0, fontMetrics().height() }; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
            fontMetrics().elidedText(m_text, Qt::ElideMiddle, width()));
    }

private:
    QString m_text;
};

} // namespace

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
    m_entryList = new QWidget(blacklist->box());
    m_entryLayout = new QVBoxLayout(m_entryList);
    m_entryLayout->setContentsMargins(0, 0, 0, 0);
    m_entryLayout->setSpacing(2);
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
    connect(&m_settings, &AppSettings::excludedURLPatternsChanged, this, &ExclusionsTab::showEntries);

    m_adultContent->setChecked(m_settings.filterAdultContent());
    m_passwords->setChecked(m_settings.filterPasswords());
    showEditor();
    showEntries();
}

ExclusionsTab::~ExclusionsTab() = default;

void ExclusionsTab::showEditor()
{
    if (m_entryField->text() != m_editor->newExclusionPattern())
        m_entryField->setText(m_editor->newExclusionPattern());
    m_addButton->setEnabled(m_editor->canAdd());
    showMessage(m_error, m_editor->exclusionError().value_or(QString()));
}

void ExclusionsTab::showEntries()
{
    // A remove button may be the sender of this very change: old rows go once it is over.
    while (QLayoutItem *item = m_entryLayout->takeAt(0)) {
        if (QWidget *row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF());
    for (const QString &entry : m_settings.excludedPatternList()) {
        auto *row = new QWidget(m_entryList);
        row->setProperty("entry", entry);
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *text = new MiddleElidedLabel(entry, row);
        text->setFont(mono);
        layout->addWidget(text, 1);
        auto *remove = new QToolButton(row);
        remove->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton));
        remove->setAutoRaise(true);
        remove->setToolTip(QStringLiteral("Remove %1").arg(entry));
        remove->setAccessibleName(QStringLiteral("Remove %1").arg(entry));
        remove->setObjectName(QStringLiteral("removeEntry"));
        layout->addWidget(remove);
        connect(
            remove, &QToolButton::clicked, this, [this, entry] { m_editor->removeExclusionPattern(entry); });
        m_entryLayout->addWidget(row);
    }
    m_entryList->setVisible(m_entryLayout->count() > 0);
}

QStringList ExclusionsTab::shownEntries() const
{
    QStringList entries;
    for (int i = 0; i < m_entryLayout->count(); ++i)
        entries.append(m_entryLayout->itemAt(i)->widget()->property("entry").toString());
    return entries;
}

QToolButton *ExclusionsTab::removeButton(const QString &entry) const
{
    for (int i = 0; i < m_entryLayout->count(); ++i) {
        QWidget *row = m_entryLayout->itemAt(i)->widget();
        if (row->property("entry").toString() == entry)
            return row->findChild<QToolButton *>(QStringLiteral("removeEntry"));
    }
    return nullptr;
}
