#include "platform/LaunchAtLogin.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    const AtomicFile::Result written
        = AtomicFile::replace(path, autostartEntry(QCoreApplication::applicationFilePath()).toUtf8());
    if (!written.ok && error)
        *error = written.error;
    return written.ok;
}

QString execValue(const QString &program)
{
    // Inside the quotes \ " ` $ take a backslash, and the value's own escaping doubles every
    // backslash again; % is doubled so that it is no field code.
    QString quoted;
    for (const QChar c : program) {
        if (c == u'\\')
            quoted += QStringLiteral("\\\\\\\\");
        else if (c == u'"' || c == u'`' || c == u'$')
            quoted += QStringLiteral("\\\\") + c;
        else if (c == u'%')
            quoted += QStringLiteral("%%");
        else
            quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString autostartEntry(const QString &program)
{
    QFile menuEntry(QStringLiteral(":/desktop/tindlewick.desktop"));
    if (!menuEntry.open(QIODevice::ReadOnly))
        qFatal("The applications-menu entry is missing from the program's resources");
    QStringList lines = QString::fromUtf8(menuEntry.readAll()).split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast(); // the newline that ends the file
    // Every Exec (the entry's own and its actions') starts this program, with the arguments it
    // names.
    const QLatin1String menuExec("Exec=tindlewick");
    for (QString &line : lines) {
        if (line.startsWith(menuExec))
            line = QStringLiteral("Exec=") + execValue(program) + line.mid(menuExec.size());
    }
    // The mark belongs to the entry itself, which ends where its first action's group begins
    // (after the blank line before it).
    qsizetype entryEnd = lines.indexOf(QString(), 1);
    if (entryEnd < 0)
        entryEnd = lines.size();
    lines.insert(entryEnd, QStringLiteral("X-GNOME-Autostart-enabled=true"));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace LaunchAtLogin
