#include "shell/UserNotices.h"

#include "common/Diagnostics.h"
#include "shell/FrontWindow.h"
#include "shell/StatusItem.h"

UserNotices::UserNotices(StatusItem *trayIcon, Sink sink)
    : m_trayIcon(trayIcon)
    , m_sink(std::move(sink))
{ }

void UserNotices::tell(const QString &title, const QString &message)
{
    printDiagnostic(QStringLiteral("[AppDelegate] %1: %2").arg(title, message));
    if (m_sink) {
        m_sink(title, message);
        return;
    }
    if (m_trayIcon && StatusItem::isAvailable()) {
        m_trayIcon->showMessage(title, message);
        return;
    }
    FrontWindow::showMessage(QMessageBox::Warning, title, message);
}

void UserNotices::tellOnce(const QString &key, const QString &title, const QString &message)
{
    if (m_toldKeys.contains(key))
        return;
    m_toldKeys.insert(key);
    tell(title, message);
}
