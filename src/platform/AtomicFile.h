#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

// Writing a small file (the settings, the autostart entry) whole or not at all. The new
// contents go to a temporary file beside the old one, which it replaces only once every byte has
// been written and has reached the disk; a full disk, a quota, a size limit or an input/output
// error leaves the old file as it was and no temporary file behind. A path that is a symbolic
// link stays one: the file it leads to is replaced.
namespace AtomicFile {

struct Result
{
    bool ok = false;
    // Why not, in the system's words ("No space left on device"): the same words for the same
    // cause, whichever file it was.
    QString error;
};

// Replaces the file at path with contents; the new file gets the permissions when given.
Result replace(const QString &path, const QByteArray &contents,
    std::optional<QFileDevice::Permissions> permissions = std::nullopt);

} // namespace AtomicFile
