#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

// A durable reference to a file: its location plus its identity on disk (device and
// inode), so a file renamed within its folder is still found.
namespace FileBookmark {

// The bookmark of an existing local file; nothing for anything else.
std::optional<QByteArray> create(const QUrl &fileUrl);

// The file the bookmark names now: at its recorded path when a file is there, else the
// file with the same identity in the same folder. Nothing for unreadable bookmarks or
// vanished files.
std::optional<QUrl> resolve(const QByteArray &bookmark);

} // namespace FileBookmark
