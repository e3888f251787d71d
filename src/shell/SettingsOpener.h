#pragma once

#include <QObject>

#include <functional>

// An invisible listener that opens the settings window whenever "openSettingsRequest" is
// posted. The window itself comes from whoever owns it, through setOpenSettingsAction;
// opening is idempotent (it shows the one settings window or brings it to the front).
class SettingsOpener final : public QObject
{
    Q_OBJECT
public:
    explicit SettingsOpener(QObject *parent = nullptr);

    // The process-wide action that shows the settings window; nothing happens until it is set.
    static void setOpenSettingsAction(std::function<void()> action);
    static bool hasOpenSettingsAction();

    int openCount() const { return m_openCount; }

private:
    int m_openCount = 0;
};
