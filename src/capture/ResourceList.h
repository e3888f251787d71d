#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The capture's lists (password managers, vault addresses, tracking hosts, colour sources,
// adult domains) are plain text files in the resource folder: one entry a line, a comment
// header, blank lines allowed.
namespace ResourceList {

// The entries of a list text: split at line feeds (a carriage return before one belongs
// to the line end, so files saved with CRLF read the same), spaces and tabs around an
// entry dropped, blank lines and lines whose first character is "#" skipped.
QStringList parse(QStringView text);

// The shipped lists are a few hundred bytes; one a user extended stays far below this.
constexpr qint64 maxListBytes = 4 * 1024 * 1024;

// The entries of the resource "<name>.txt". A missing or unreadable list, or one that is no
// regular file of at most maxListBytes, is empty and says so in one diagnostic line.
QStringList load(const QString &name);
// The same, every entry lower-cased: for lists matched without regard to case.
QStringList loadLowerCased(const QString &name);

} // namespace ResourceList
