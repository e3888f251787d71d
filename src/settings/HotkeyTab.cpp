#include "settings/HotkeyTab.h"

#include "KeyboardShortcuts/DoubleTapService.h"
#include "KeyboardShortcuts/Recorder.h"
#include "settings/KeyboardSettingsLauncher.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMessageBox>
#include <QStackedWidget>
#include <QToolButton>

namespace {

QString native(const QKeySequence &keys)
{
    return keys.toString(QKeySequence::NativeText);
}

// A row of a label, space, and a control, as one widget (the two rows under the activation
// method take turns in one place).
QWidget *labelledRow(const QString &label, QWidget *control, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(label, row);
    title->setBuddy(control);
    layout->addWidget(title);
    layout->addStretch(1);
    control->setParent(row);
    layout->addWidget(control);
    return row;
}

} // namespace

HotkeyTab::HotkeyTab(AppSettings &settings, KeyboardShortcuts::ShortcutCenter &shortcuts,
    const KeyboardShortcuts::Name &togglePanel, QWidget *parent)
    : SettingsForm(parent)
    , m_settings(settings)
    , m_openKeyboardShortcuts([this] { openKeyboardShortcutsSettings(); })
{
    m_quickAccess = addSection(QStringLiteral("Quick access"));
    addActivationMethod();
    addActivationRows(shortcuts, togglePanel);
    addPanelKeys();
    addShortcutLimitations();
    showActivationMode();
}

void HotkeyTab::addActivationMethod()
{
    // Two buttons side by side that act as one segmented choice.
    auto *segments = new QWidget(m_quickAccess->box());
    auto *segmentsLayout = new QHBoxLayout(segments);
    segmentsLayout->setContentsMargins(0, 0, 0, 0);
    segmentsLayout->setSpacing(0);
    m_activation = new QButtonGroup(this);
    m_activation->setExclusive(true);
    for (AppSettings::ActivationMode mode :
        { AppSettings::ActivationMode::doubleTap, AppSettings::ActivationMode::shortcut }) {
        auto *button = new QToolButton(segments);
        button->setText(activationLabel(mode));
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFocusPolicy(Qt::StrongFocus);
        m_activation->addButton(button, int(mode));
        segmentsLayout->addWidget(button);
    }
    m_quickAccess->addLabelledRow(QStringLiteral("Activation method"), segments);
    connect(m_activation, &QButtonGroup::idClicked, this,
        [this](int id) { m_settings.setActivationMode(AppSettings::ActivationMode(id)); });
}

void HotkeyTab::addActivationRows(
    KeyboardShortcuts::ShortcutCenter &shortcuts, const KeyboardShortcuts::Name &togglePanel)
{
    m_activationRows = new QStackedWidget(m_quickAccess->box());
    m_recorder = new KeyboardShortcuts::Recorder(togglePanel, shortcuts);
    m_recorderRow = labelledRow(QStringLiteral("Custom shortcut"), m_recorder, m_activationRows);
    m_modifierPicker = new QComboBox;
    for (AppSettings::DoubleTapModifier modifier : modifierChoices())
        m_modifierPicker->addItem(modifierLabel(modifier));
    m_modifierPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_modifierRow = labelledRow(QStringLiteral("Modifier key"), m_modifierPicker, m_activationRows);
    m_activationRows->addWidget(m_recorderRow);
    m_activationRows->addWidget(m_modifierRow);
    m_quickAccess->addRow(m_activationRows);
    connect(m_modifierPicker, &QComboBox::activated, this,
        [this](int index) { m_settings.setDoubleTapModifier(modifierChoices().at(index)); });
    connect(&m_settings, &AppSettings::activationModeChanged, this, &HotkeyTab::showActivationMode);
    connect(&m_settings, &AppSettings::doubleTapModifierChanged, this, &HotkeyTab::showActivationMode);
}

void HotkeyTab::addPanelKeys()
{
    SettingsSection *keys = addSection(QStringLiteral("Keyboard Shortcuts"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF());
    // One grid for all the rows: the keys' column is as wide as its widest text in the font the
    // theme gives, whenever that is known, and the descriptions start after it.
    auto *rows = new QGridLayout;
    rows->setVerticalSpacing(8);
    rows->setColumnMinimumWidth(0, 110);
    rows->setColumnStretch(1, 1);
    int row = 0;
    for (const PanelKey &key : panelKeys()) {
        auto *keyText = new QLabel(key.keys, keys->box());
        keyText->setFont(mono);
        rows->addWidget(keyText, row, 0);
        rows->addWidget(secondaryLabel(key.description, 1.0, keys->box()), row++, 1);
    }
    keys->addRow(rows);
}

void HotkeyTab::addShortcutLimitations()
{
    SettingsSection *limits = addSection(QString());
    auto *heading = new QLabel(QStringLiteral("Shortcut limitations"), limits->box());
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    limits->addRow(heading);
    limits->addRow(secondaryLabel(
        QStringLiteral("Shortcuts of Tindlewick's own menu (e.g., %1) are reserved, and so are the editing "
                       "ones every program answers to (e.g., %2, %3).")
            .arg(native(QKeySequence(Qt::CTRL | Qt::Key_Q)), native(QKeySequence(Qt::CTRL | Qt::Key_C)),
                native(QKeySequence(Qt::CTRL | Qt::Key_V))),
        1.0, limits->box()));
    limits->addRow(secondaryLabel(
        QStringLiteral("Shortcuts another program holds (e.g., an input method's %1) must be freed there "
                       "or in your desktop's keyboard settings before use.")
            .arg(native(QKeySequence(Qt::CTRL | Qt::Key_Space))),
        1.0, limits->box()));
    m_openKeyboardShortcutsLink = new QLabel(
        QStringLiteral("<a href=\"keyboard-shortcuts\">Open Keyboard Shortcuts</a>"), limits->box());
    m_openKeyboardShortcutsLink->setTextInteractionFlags(
        Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_openKeyboardShortcutsLink->setFocusPolicy(Qt::StrongFocus);
    limits->addRow(m_openKeyboardShortcutsLink);
    connect(m_openKeyboardShortcutsLink, &QLabel::linkActivated, this, [this] {
        if (m_openKeyboardShortcuts)
            m_openKeyboardShortcuts();
    });
}

QList<HotkeyTab::PanelKey> HotkeyTab::panelKeys()
{
    const QString ctrlDigit = native(QKeySequence(Qt::CTRL | Qt::Key_1));
    return {
        { native(QKeySequence(Qt::CTRL | Qt::Key_K)), QStringLiteral("Clear history") },
        { native(QKeySequence(Qt::CTRL | Qt::Key_P)), QStringLiteral("Pin the app panel") },
        { native(QKeySequence(Qt::CTRL | Qt::Key_Period)), QStringLiteral("Toggle History column") },
        { ctrlDigit + QStringLiteral("–7"), QStringLiteral("Switch tabs (Tab view)") },
        { QStringLiteral("Tab / ") + native(QKeySequence(Qt::SHIFT | Qt::Key_Tab)),
            QStringLiteral("Next / Previous tab (Tab view)") },
        { QStringLiteral("↑ ↓ ← →"), QStringLiteral("Navigate items") },
        { QStringLiteral("Return"), QStringLiteral("Paste selected item") },
    };
}

QString HotkeyTab::activationLabel(AppSettings::ActivationMode mode)
{
    return mode == AppSettings::ActivationMode::doubleTap ? QStringLiteral("Double tap")
                                                          : QStringLiteral("Shortcut");
}

QString HotkeyTab::modifierLabel(AppSettings::DoubleTapModifier modifier)
{
    return DoubleTapService::modifierName(modifier);
}

const QList<AppSettings::DoubleTapModifier> &HotkeyTab::modifierChoices()
{
    static const QList<AppSettings::DoubleTapModifier> choices { AppSettings::DoubleTapModifier::option,
        AppSettings::DoubleTapModifier::command, AppSettings::DoubleTapModifier::control,
        AppSettings::DoubleTapModifier::shift };
    return choices;
}

QString HotkeyTab::footer(AppSettings::ActivationMode mode)
{
    return mode == AppSettings::ActivationMode::doubleTap
        ? QStringLiteral("Tap this key twice quickly to open Tindlewick.")
        : QStringLiteral("Click to record a new shortcut.");
}

QToolButton *HotkeyTab::activationButton(AppSettings::ActivationMode mode) const
{
    return static_cast<QToolButton *>(m_activation->button(int(mode)));
}

QWidget *HotkeyTab::currentActivationRow() const
{
    return m_activationRows->currentWidget();
}

QLabel *HotkeyTab::quickAccessFooter() const
{
    return m_quickAccess->footer();
}

void HotkeyTab::showActivationMode()
{
    const AppSettings::ActivationMode mode = m_settings.activationMode();
    activationButton(mode)->setChecked(true);
    m_activationRows->setCurrentWidget(
        mode == AppSettings::ActivationMode::doubleTap ? m_modifierRow : m_recorderRow);
    m_modifierPicker->setCurrentIndex(int(modifierChoices().indexOf(m_settings.doubleTapModifier())));
    m_quickAccess->setFooter(footer(mode));
}

void HotkeyTab::openKeyboardShortcutsSettings()
{
    if (KeyboardSettingsLauncher::open())
        return;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Keyboard Shortcuts"),
        KeyboardSettingsLauncher::whereToLook(), QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
