#pragma once

#include <QString>

// The clipboard history and the settings are the user's alone: their folders are made
// 0700 and every file in them 0600, whatever the umask, and files left more open by an
// earlier version are tightened when they are next opened.
namespace PrivateFiles {

inline constexpr unsigned folderMode = 0700;
inline constexpr unsigned fileMode = 0600;

// Creates the folder (and missing parents, which keep the usual mode) and makes the
// folder itself private. False when it does not exist afterwards.
bool makeFolder(const QString &path);
// Makes the folder and every regular file directly in it private. Symbolic links and
// what they point to are left alone.
void restrictFolder(const QString &path);
// Makes an existing regular file private; nothing for a missing one.
void restrictFile(const QString &path);
// Creates an empty private file when nothing is at path yet. False when there is no file
// at path afterwards.
bool createFile(const QString &path);

} // namespace PrivateFiles
