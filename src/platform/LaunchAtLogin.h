#pragma once

#include <QString>

// Starting the app when the user logs in, through an XDG autostart entry
// ("<XDG config folder>/autostart/tindlewick.desktop"). The entry is the applications-menu
// entry that the installation puts in share/applications, with Exec naming the running
// program by its full path: installed, that is the installed program, and the two entries
// agree line for line.
namespace LaunchAtLogin {

QString autostartEntryPath();
bool isEnabled();
// Writes or removes the entry; on failure returns false and sets error, and the entry is as it
// was (never written in part).
bool setEnabled(bool enabled, QString *error);

// The autostart entry that starts program.
QString autostartEntry(const QString &program);
// program as the Exec key's value: quoted, with the escapes desktop entries need.
QString execValue(const QString &program);

} // namespace LaunchAtLogin
