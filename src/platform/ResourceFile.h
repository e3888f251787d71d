#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The app's own files read whole: the lists, the public-suffix list, the highlighting script and
// its style sheets. Whoever can write the resources folder (a user's own install or build tree)
// may leave anything in a file's place, so each is read as the models are (MappedFile): only a
// regular file of at most a bound well above the one shipped, opened without waiting for another
// program. A FIFO, a device such as /dev/zero or a huge sparse file is refused at once.
namespace ResourceFile {

// The bytes of the file at the path; nothing, with the reason in error (the path is the caller's
// to add), when it is not a regular file of at most maxBytes or cannot be read. Any thread.
std::optional<QByteArray> read(const QString &path, qint64 maxBytes, QString *error);

// Runs before each read, on the reading thread, with the path: a hook that does not return holds
// that thread as a file on a mount that stopped answering would (tests). Empty: none.
void setReadingHook(std::function<void(const QString &path)> hook);

} // namespace ResourceFile
