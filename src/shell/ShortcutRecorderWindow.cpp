#include "shell/ShortcutRecorderWindow.h"

#include "KeyboardShortcuts/Recorder.h"
#include "shell/AppDelegate.h"

#include <QFormLayout>
#include <QLineEdit>

ShortcutRecorderWindow::ShortcutRecorderWindow(KeyboardShortcuts::ShortcutCenter &center, QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Tindlewick Shortcut"));
    setObjectName(QStringLiteral("TindlewickShortcutRecorderWindow"));
    auto *layout = new QFormLayout(this);
    m_notes = new QLineEdit(this);
    m_notes->setPlaceholderText(QStringLiteral("Type here"));
    m_recorder = new KeyboardShortcuts::Recorder(AppDelegate::togglePanelShortcut(), center, this);
    layout->addRow(QStringLiteral("Notes:"), m_notes);
    layout->addRow(QStringLiteral("Custom shortcut:"), m_recorder);
    // The window opens with the focus in the notes: the recorder records only when chosen.
    setTabOrder(m_notes, m_recorder);
    m_notes->setFocus(Qt::OtherFocusReason);
    resize(360, 110);
}
