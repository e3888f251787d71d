#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// Folders with little room, as on a full disk: in a child process of the test, a folder given is a
// file system of its own (tmpfs, in a mount namespace of the child's own) of the size given. The
// rest of the machine sees nothing of them.
namespace SmallFolders {

// Runs job in a child process of this one and gives what it returns; nothing when this machine
// gives a process no mounts of its own (neither as root nor in a user namespace), and the
// child's end instead when it did not return (a crash, the time limit).
struct Outcome
{
    bool available = true;
    QString result;
};
Outcome inChild(const std::function<QString()> &job, std::chrono::seconds limit = std::chrono::seconds(60));

// In the child: from now on the folder (made when missing) holds at most `bytes`; the first call
// for a folder hides what it held. False when it cannot.
bool limit(const QString &folder, qint64 bytes);

// A model's first uses while its copy finds no room, then one once there is room: in a child, with
// the cache folder and the temporary folder (TMPDIR) holding 64 KB each, `use` is called twice,
// then once more with 16 MB in the cache folder. Gives what each use gave and then what was
// logged, one a line.
Outcome usesWithNoRoomThenRoom(
    const QString &cache, const QString &temporary, const std::function<QString()> &use);

} // namespace SmallFolders
