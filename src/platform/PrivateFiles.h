#pragma once

#include <QString>

// The clipboard history and the settings are the user's alone: their folders are made
// 0700 and every file in them 0600, whatever the umask, and files left more open by an
// earlier version are tightened when they are next opened. A file of the history or the settings
// may be a symbolic link (to keep it on another disk, or in a folder of dotfiles): then the file
// it leads to is the one made private, wherever it is; the folders on its way are left alone.
namespace PrivateFiles {

inline constexpr unsigned folderMode = 0700;
inline constexpr unsigned fileMode = 0600;

// Creates the folder (and missing parents, which keep the usual mode) and makes the
// folder itself private. False when it does not exist afterwards.
bool makeFolder(const QString &path);
// Makes the folder (or the one a link at path leads to) and every regular file directly in it
// private. Links in the folder, and what they lead to, are left alone: the files that may be
// links are made private each by its own name.
void restrictFolder(const QString &path);
// Makes the regular file at path, or the one a link at path leads to, private. True when it is
// private now, or when there is no regular file there; false (errno set) when it could not be.
bool restrictFile(const QString &path);
// Where a path leads through the symbolic links at its end, each read against its own folder:
// the path itself when it is no link, a path where nothing may be yet when the last link
// dangles. Empty when the links lead around in a circle or cannot be read.
QString finalTarget(const QString &path);
// What stands at path, through the links at its end, when it is something other than a regular
// file: "a folder", "a character device", "a block device", "a FIFO", "a socket". Empty when
// nothing is there or a regular file is. Nothing is opened: opening a device or a FIFO may
// itself do something, or wait.
QString nonFileKind(const QString &path);
// Creates an empty private file where path leads (through the links at its end) when nothing is
// there yet. False when there is no file there afterwards.
bool createFile(const QString &path);

} // namespace PrivateFiles
