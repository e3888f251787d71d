#pragma once

#include <QLineEdit>

// An entry field of the settings. It never takes the keyboard focus on its own, and a click
// anywhere outside it, with either button and in any window of the app, ends its edit (the
// focus leaves it, so editingFinished follows when its text changed). The click still goes on
// to wherever it landed.
class SettingsTextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit SettingsTextField(QWidget *parent = nullptr);
    ~SettingsTextField() override;

    // Whether a click outside is being watched for (from the focus coming in until it leaves).
    bool isMonitoringClicks() const { return m_isMonitoring; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startClickMonitor();
    void stopClickMonitor();

    bool m_isMonitoring = false;
};
