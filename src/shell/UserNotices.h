#pragma once

#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class StatusItem;

// How the user hears of a problem the app cannot solve alone (a copy not saved, a shortcut
// another program holds, a double tap the desktop cannot give): always a line in the log, and a
// message beside the tray icon, or a message box over the app's front window when no tray runs.
// Main thread only.
class UserNotices final
{
public:
    // Where a notice goes instead of the desktop (the benchmark keeps quiet, tests collect them).
    using Sink = std::function<void(const QString &title, const QString &message)>;

    // trayIcon: nullptr without one. sink: empty for the desktop's own ways.
    UserNotices(StatusItem *trayIcon, Sink sink);

    void tell(const QString &title, const QString &message);
    // Tells the first time only for each key: a problem that lasts is met again and again.
    void tellOnce(const QString &key, const QString &title, const QString &message);

private:
    QPointer<StatusItem> m_trayIcon;
    Sink m_sink;
    QSet<QString> m_toldKeys;
};
