#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The question asked before a bulk deletion: "Clear" (destructive) or "Cancel" (Escape),
// application-modal over the window that has the focus, 20 points above its centre. Hiding the
// panel withdraws the question without deleting anything. The object deletes itself when the
// question is over.
class ClearHistoryConfirmation final : public QObject
{
    Q_OBJECT
public:
    static QString title(bool clearAll, const std::optional<QString> &columnName);
    static QString message();

    // Opens the question; onClear runs only on "Clear", finished runs after any answer.
    static ClearHistoryConfirmation *ask(QWidget *parent, bool clearAll,
        const std::optional<QString> &columnName, std::function<void()> onClear,
        std::function<void()> finished = {});

    QMessageBox *messageBox() const { return m_box; }
    // Closes the question as if it were cancelled.
    void withdraw();

private:
    ClearHistoryConfirmation() = default;

    QPointer<QMessageBox> m_box;
    std::function<void()> m_onClear;
    std::function<void()> m_finished;
};
