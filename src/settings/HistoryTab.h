#pragma once

#include "model/AppSettings.h"
#include "panel/ClearHistoryConfirmation.h"
#include "settings/SettingsForm.h"

#include <QFuture>
#include <QPointer>

#include <functional>
#include <optional>

class HistoryLimitTextField;
class ModelContainer;
class ModelContext;
class QComboBox;
class QPushButton;
class QToolButton;

// The "History" tab: how many items the history keeps (50 to 200, typed or stepped by ten),
// how long they stay, and the one button that clears it after a confirmation. Clearing deletes
// every unpinned item and saves; only a save that succeeded is followed by the compaction that
// takes the deleted content off the disk. A failed save is shown under the button.
class HistoryTab final : public SettingsForm
{
    Q_OBJECT
public:
    static constexpr qint64 minimumLimit = 50;
    static constexpr qint64 maximumLimit = 200;
    static constexpr qint64 limitStep = 10;

    HistoryTab(AppSettings &settings, ModelContext &context, QWidget *parent = nullptr);
    ~HistoryTab() override;

    // Lets the shared highlighting engine go after a clear (it is made again when needed).
    void setReleaseHighlighter(std::function<void()> release) { m_releaseHighlighter = std::move(release); }
    // Takes deleted content off the disk after a saved clear: by default the write-ahead log is
    // folded in, the store file rebuilt and the log folded in again, off the main thread on a
    // store connection of its own.
    using StoreCompaction = std::function<QFuture<void>(ModelContainer &container)>;
    void setStoreCompaction(StoreCompaction compaction) { m_compaction = std::move(compaction); }
    static QFuture<void> compactStore(ModelContainer &container);

    QString historyLimitText() const;
    void setHistoryLimitText(const QString &text);
    // The end of an edit of the limit field: a number the user typed is clamped to 50...200
    // and stored, and the field shows the limit in force. Text left as it was shown stores
    // nothing, so a limit set outside the tab (in the settings file) survives a visit.
    void commitHistoryLimit();
    void stepHistoryLimit(int steps);

    bool showClearConfirmation() const { return m_showClearConfirmation; }
    // True asks (on the next pass of the event loop); the question resets it when it is over.
    void setShowClearConfirmation(bool show);
    ClearHistoryConfirmation *openConfirmation() const { return m_confirmation; }
    // "Clear" in the confirmation.
    void clearAllHistory();
    // The compaction started by the last clear (finished when there was none).
    QFuture<void> lastCompaction() const { return m_lastCompaction; }

    // The number the field holds: an optional sign and ASCII digits, nothing else, in range.
    static std::optional<qint64> parseLimit(const QString &text);
    static qint64 clampLimit(qint64 limit);
    static QString retentionLabel(AppSettings::HistoryRetention retention);
    static const QList<AppSettings::HistoryRetention> &retentionChoices();

    HistoryLimitTextField *limitField() const { return m_limitField; }
    QToolButton *stepUpButton() const { return m_stepUp; }
    QToolButton *stepDownButton() const { return m_stepDown; }
    QComboBox *retentionPicker() const { return m_retention; }
    QPushButton *clearButton() const { return m_clearButton; }
    QLabel *clearError() const { return m_clearError; }

Q_SIGNALS:
    void showClearConfirmationChanged(bool show);

private:
    // The tab's parts, top to bottom.
    void addLimitSection();
    QWidget *makeStepper(QWidget *parent);
    void addRetentionRow(SettingsSection &clear);
    void addClearButton(SettingsSection &clear);
    void showLimit(qint64 limit);
    void updateStepper();
    void updateClearButton();
    void presentConfirmation();

    AppSettings &m_settings;
    ModelContext &m_context;
    std::function<void()> m_releaseHighlighter;
    StoreCompaction m_compaction;
    QFuture<void> m_lastCompaction;
    bool m_showClearConfirmation = false;
    QPointer<ClearHistoryConfirmation> m_confirmation;

    HistoryLimitTextField *m_limitField = nullptr;
    QToolButton *m_stepUp = nullptr;
    QToolButton *m_stepDown = nullptr;
    QComboBox *m_retention = nullptr;
    QPushButton *m_clearButton = nullptr;
    QLabel *m_clearError = nullptr;
};
