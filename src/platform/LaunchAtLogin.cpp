#include "platform/LaunchAtLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace LaunchAtLogin {

QString autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/tindlewick.desktop");
}

bool isEnabled()
{
    return QFileInfo(autostartEntryPath()).isFile();
}

bool setEnabled(bool enabled, QString *error)
{
    const QString path = autostartEntryPath();
    if (!enabled) {
        if (!QFileInfo::exists(path))
            return true;
        QFile file(path);
        if (file.remove())
            return true;
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("Could not create the folder %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QString executable = QCoreApplication::applicationFilePath();
    executable.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Tindlewick\n"
                                         "Comment=Clipboard history\nExec=\"%1\"\nTerminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(executable);
    file.write(entry.toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace LaunchAtLogin
