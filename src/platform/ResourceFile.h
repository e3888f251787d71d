#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The app's own files read whole: the lists, the public-suffix list, the highlighting script and
// its style sheets. Whoever can write the resources folder (a user's own install or build tree)
// may leave anything in a file's place, so only a regular file of at most a bound well above the
// one shipped is read, opened without waiting for another program (UserFiles::readRegular): a
// FIFO, a device such as /dev/zero or a huge sparse file is refused at once. The bytes are read
// into memory, not copied to disk as the models are: a full disk does not cost a list.
namespace ResourceFile {

// The bytes of the file at the path; nothing, with the reason in error (the path is the caller's
// to add, in the one line that says it), when it is not a regular file of at most maxBytes or
// cannot be read. Any thread.
std::optional<QByteArray> read(const QString &path, qint64 maxBytes, QString *error);

// Runs before each read, on the reading thread, with the path: a hook that does not return holds
// that thread as a file on a mount that stopped answering would (tests). Empty: none.
void setReadingHook(std::function<void(const QString &path)> hook);

} // namespace ResourceFile
