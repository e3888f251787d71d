#include "settings/HistoryTab.h"

#include "common/Diagnostics.h"
#include "model/ClipboardDatabaseActor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "settings/HistoryLimitTextField.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <algorithm>

HistoryTab::HistoryTab(AppSettings &settings, ModelContext &context, QWidget *parent)
    : SettingsForm(parent)
    , m_settings(settings)
    , m_context(context)
    , m_compaction(&HistoryTab::compactStore)
    , m_lastCompaction(QtFuture::makeReadyFuture())
{
    addLimitSection();
    SettingsSection *clear = addSection(QStringLiteral("Clear History"));
    addRetentionRow(*clear);
    addClearButton(*clear);

    m_retention->setCurrentIndex(int(retentionChoices().indexOf(m_settings.historyRetention())));
    showLimit(m_settings.historyLimit());
    updateClearButton();
}

void HistoryTab::addLimitSection()
{
    SettingsSection *limit = addSection(QStringLiteral("History Limit"),
        QStringLiteral("Items beyond this limit will be automatically deleted."));
    auto *limitControls = new QWidget(limit->box());
    auto *controlsLayout = new QHBoxLayout(limitControls);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    controlsLayout->setSpacing(0);
    m_limitField = new HistoryLimitTextField(limitControls);
    m_limitField->setFixedWidth(70);
    m_limitField->setAccessibleName(QStringLiteral("Maximum items"));
    controlsLayout->addWidget(m_limitField);
    controlsLayout->addWidget(makeStepper(limitControls));
    limit->addLabelledRow(QStringLiteral("Maximum items"), limitControls);
    connect(m_stepUp, &QToolButton::clicked, this, [this] { stepHistoryLimit(1); });
    connect(m_stepDown, &QToolButton::clicked, this, [this] { stepHistoryLimit(-1); });
    connect(m_limitField, &QLineEdit::editingFinished, this, &HistoryTab::commitHistoryLimit);
    connect(&m_settings, &AppSettings::historyLimitChanged, this, &HistoryTab::showLimit);
}

QWidget *HistoryTab::makeStepper(QWidget *parent)
{
    auto *stepper = new QWidget(parent);
    auto *stepperLayout = new QVBoxLayout(stepper);
    stepperLayout->setContentsMargins(2, 0, 0, 0);
    stepperLayout->setSpacing(0);
    for (QToolButton **button : { &m_stepUp, &m_stepDown }) {
        *button = new QToolButton(stepper);
        (*button)->setArrowType(button == &m_stepUp ? Qt::UpArrow : Qt::DownArrow);
        (*button)->setAutoRaise(true);
        (*button)->setAutoRepeat(true);
        (*button)->setFocusPolicy(Qt::NoFocus);
        (*button)->setFixedSize(20, 12);
        stepperLayout->addWidget(*button);
    }
    m_stepUp->setAccessibleName(QStringLiteral("More items"));
    m_stepDown->setAccessibleName(QStringLiteral("Fewer items"));
    return stepper;
}

void HistoryTab::addRetentionRow(SettingsSection &clear)
{
    m_retention = new QComboBox(clear.box());
    for (AppSettings::HistoryRetention retention : retentionChoices())
        m_retention->addItem(retentionLabel(retention));
    m_retention->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    clear.addLabelledRow(QStringLiteral("Clipboard history is cleared after"), m_retention);
    connect(m_retention, &QComboBox::activated, this,
        [this](int index) { m_settings.setHistoryRetention(retentionChoices().at(index)); });
    connect(&m_settings, &AppSettings::historyRetentionChanged, this,
        [this](AppSettings::HistoryRetention value) {
            m_retention->setCurrentIndex(int(retentionChoices().indexOf(value)));
        });
}

void HistoryTab::addClearButton(SettingsSection &clear)
{
    m_clearButton = new QPushButton(QIcon::fromTheme(QStringLiteral("edit-clear-history"),
                                        QIcon::fromTheme(QStringLiteral("edit-delete"))),
        QStringLiteral("Clear Clipboard History"), clear.box());
    auto *clearRow = new QHBoxLayout;
    clearRow->addStretch(1);
    clearRow->addWidget(m_clearButton);
    clear.addRow(clearRow);
    m_clearError = errorLabel(clear.box());
    clear.addRow(m_clearError);
    connect(m_clearButton, &QPushButton::clicked, this, [this] { setShowClearConfirmation(true); });
    connect(&m_context, &ModelContext::objectsDidChange, this, &HistoryTab::updateClearButton);
}

HistoryTab::~HistoryTab()
{
    if (m_confirmation)
        m_confirmation->withdraw();
}

const QList<AppSettings::HistoryRetention> &HistoryTab::retentionChoices()
{
    static const QList<AppSettings::HistoryRetention> choices { AppSettings::HistoryRetention::thirtyMinutes,
        AppSettings::HistoryRetention::eightHours, AppSettings::HistoryRetention::sevenDays };
    return choices;
}

QString HistoryTab::retentionLabel(AppSettings::HistoryRetention retention)
{
    switch (retention) {
    case AppSettings::HistoryRetention::thirtyMinutes:
        return QStringLiteral("30 minutes");
    case AppSettings::HistoryRetention::eightHours:
        return QStringLiteral("8 hours");
    case AppSettings::HistoryRetention::sevenDays:
        return QStringLiteral("7 days");
    }
    return {};
}

QString HistoryTab::historyLimitText() const
{
    return m_limitField->text();
}

void HistoryTab::setHistoryLimitText(const QString &text)
{
    m_limitField->setText(text);
}

std::optional<qint64> HistoryTab::parseLimit(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

qint64 HistoryTab::clampLimit(qint64 limit)
{
    return std::clamp(limit, minimumLimit, maximumLimit);
}

void HistoryTab::commitHistoryLimit()
{
    // Only what the user typed is written: the limit shown as it stands is not clamped.
    const QString text = historyLimitText();
    if (text != QString::number(m_settings.historyLimit())) {
        const std::optional<qint64> number = parseLimit(text);
        const qint64 clamped = number ? clampLimit(*number) : m_settings.historyLimit();
        if (clamped != m_settings.historyLimit())
            m_settings.setHistoryLimit(clamped);
    }
    // Text that was refused or clamped gives way to the limit in force.
    showLimit(m_settings.historyLimit());
}

void HistoryTab::stepHistoryLimit(int steps)
{
    m_settings.setHistoryLimit(clampLimit(m_settings.historyLimit() + steps * limitStep));
    updateStepper();
}

void HistoryTab::showLimit(qint64 limit)
{
    setHistoryLimitText(QString::number(limit));
    updateStepper();
}

void HistoryTab::updateStepper()
{
    m_stepUp->setEnabled(m_settings.historyLimit() < maximumLimit);
    m_stepDown->setEnabled(m_settings.historyLimit() > minimumLimit);
}

void HistoryTab::updateClearButton()
{
    // Pinned items count: the button only waits for a store with nothing in it at all.
    m_clearButton->setEnabled(m_context.fetchCount(FetchDescriptor()) > 0);
}

void HistoryTab::setShowClearConfirmation(bool show)
{
    if (show == m_showClearConfirmation)
        return;
    m_showClearConfirmation = show;
    Q_EMIT showClearConfirmationChanged(show);
    if (show) {
        // Asked on the next pass, after whatever set the flag has finished; withdrawn in
        // between, nothing opens.
        QTimer::singleShot(0, this, &HistoryTab::presentConfirmation);
    }
}

void HistoryTab::presentConfirmation()
{
    if (!m_showClearConfirmation || m_confirmation)
        return;
    QPointer<HistoryTab> self(this);
    m_confirmation = ClearHistoryConfirmation::ask(
        this, true, std::nullopt,
        [self] {
            if (self)
                self->clearAllHistory();
        },
        [self] {
            if (!self)
                return;
            // The question deletes itself a moment later; it is over now.
            self->m_confirmation = nullptr;
            self->setShowClearConfirmation(false);
        });
}

void HistoryTab::clearAllHistory()
{
    const ModelContext::FetchResult all = m_context.fetch(FetchDescriptor());
    if (!all.ok) {
        showMessage(m_clearError, QStringLiteral("Could not read the history: %1").arg(all.error));
        return;
    }
    for (const ClipboardItemPtr &item : all.items) {
        if (!item->isPinned())
            m_context.remove(item);
    }
    const ModelContext::SaveResult saved = m_context.save();
    if (m_releaseHighlighter)
        m_releaseHighlighter();
    if (!saved.ok) {
        // The deletions stay pending for the next save; compacting now would keep the
        // content in the file, so it waits for a clear that was saved.
        printDiagnostic(
            QStringLiteral("[HistoryTab] Clearing the history could not be saved: ") + saved.error);
        showMessage(m_clearError,
            QStringLiteral("Could not delete the history from the disk: %1. Try again in a moment.")
                .arg(saved.error));
        return;
    }
    showMessage(m_clearError, QString());
    if (m_compaction && m_context.container())
        m_lastCompaction = m_compaction(*m_context.container());
}

QFuture<void> HistoryTab::compactStore(ModelContainer &container)
{
    // A short-lived actor with its own connection; the main thread does not wait for it.
    return QtConcurrent::run([&container] {
        ClipboardDatabaseActor actor(container);
        actor.compactStore().waitForFinished();
    });
}
