#pragma once

#include <QWidget>

class QLineEdit;

namespace KeyboardShortcuts {
class Recorder;
class ShortcutCenter;
} // namespace KeyboardShortcuts

// A small window that hosts the recorder of the panel's shortcut in a row titled "Custom
// shortcut", beside a field to type into. It stands where the settings window's Hotkey tab
// will host the same recorder; the app shows it when started with
// TINDLEWICK_SHORTCUT_RECORDER_WINDOW=1, so the recorder can be tried against the running app.
class ShortcutRecorderWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit ShortcutRecorderWindow(KeyboardShortcuts::ShortcutCenter &center, QWidget *parent = nullptr);

    KeyboardShortcuts::Recorder *recorder() const { return m_recorder; }
    QLineEdit *notes() const { return m_notes; }

private:
    KeyboardShortcuts::Recorder *m_recorder = nullptr;
    QLineEdit *m_notes = nullptr;
};
