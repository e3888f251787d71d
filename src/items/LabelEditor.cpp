#include "items/LabelEditor.h"

#include "items/LabelEditState.h"

#include <QKeyEvent>

LabelEditor::LabelEditor(const QString &label, LabelEditState &state, QWidget *parent)
    : QLineEdit(label, parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("LabelEditor"));
    setPlaceholderText(QStringLiteral("Label"));
    selectAll();
    state.setIsEditing(true);
    connect(&state, &LabelEditState::isEditingChanged, this, [this](bool editing) {
        if (!editing)
            finish(true);
    });
}

LabelEditor::~LabelEditor()
{
    if (!m_finished)
        m_state.setIsEditing(false);
}

void LabelEditor::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        finish(true);
        return;
    case Qt::Key_Escape:
        finish(false);
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void LabelEditor::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A popup (the input method's, a context menu) takes the focus only for a moment.
    if (event->reason() != Qt::PopupFocusReason)
        finish(true);
}

void LabelEditor::finish(bool keep)
{
    if (m_finished)
        return;
    m_finished = true;
    m_state.setIsEditing(false);
    Q_EMIT finished(keep, text());
}
