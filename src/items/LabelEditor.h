#pragma once

#include <QLineEdit>

class LabelEditState;

// The field in which a pinned item's label is typed in place, over its row. Return keeps the
// label, Escape drops the change, a click elsewhere keeps it too. While it is open the label edit
// state says so, so the panel's keys and the shell leave the keyboard to it; ending the edit
// state from outside closes it and keeps what was typed.
class LabelEditor final : public QLineEdit
{
    Q_OBJECT

public:
    // state: the label edit state the panel's keys read.
    LabelEditor(const QString &label, LabelEditState &state, QWidget *parent);
    ~LabelEditor() override;

    bool isFinished() const { return m_finished; }

Q_SIGNALS:
    // Once: keep is false when the change was dropped.
    void finished(bool keep, const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void finish(bool keep);

    LabelEditState &m_state;
    bool m_finished = false;
};
