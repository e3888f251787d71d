#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>

#include <sys/types.h>

// A file mapped read-only into memory: its pages are read from the file (or the system's cache
// of it) when first touched, so a large table of which each use reads a few rows (a model's
// weights) costs the app only those rows. The pages touched stay until
// MemoryGiveBack::giveBack() lets go of them; they come back when touched again.
//
// What is mapped is a private copy of the file, taken when it is opened, in an unnamed file of
// the app's own on disk: a mapping of the file itself would kill the app (SIGBUS) on the next
// read of a page that another program cut off by emptying or rewriting the file in place (an
// install or a copy over it). The copy's pages are the system's cache of a file like the
// original's, dropped and read again the same way. The copy goes to the cache folder, or to the
// temporary folder when the cache folder is read-only or has no room for it.
//
// Whoever can write the folder may have put anything in the file's place, so only a regular
// file of at most a given size is read: a FIFO would hold the reading thread in open() until a
// writer comes, a device such as /dev/zero never ends, and a huge sparse file would fill the
// disk with its copy.
class MappedFile final
{
public:
    // Well above the models shipped (a few megabytes each).
    static constexpr qint64 defaultMaxBytes = 64 * 1024 * 1024;

    // Why a file was not mapped (the path is the caller's to add). What the file is (not there,
    // not a regular file, larger than allowed) stays so until it changes; what the machine lacked
    // (room for the copy, descriptors, memory) or a reading that failed may pass.
    struct Failure
    {
        QString reason;
        bool passing = false;
    };

    // Null, with the failure, when the file is not a regular file of at most maxBytes or cannot
    // be opened, read, copied or mapped (an empty file maps to no bytes). Never waits for another
    // program.
    static std::shared_ptr<const MappedFile> open(
        const QString &path, Failure *failure, qint64 maxBytes = defaultMaxBytes);
    // The same, with only the reason.
    static std::shared_ptr<const MappedFile> open(
        const QString &path, QString *error, qint64 maxBytes = defaultMaxBytes);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    const uint8_t *data() const { return static_cast<const uint8_t *>(m_address); }
    std::size_t size() const { return m_size; }

    // Whether the file at the path opened is no longer the one copied: replaced, rewritten,
    // cut or removed since.
    bool changedOnDisk() const;

    // Lets go of the pages in memory of every file mapped now.
    static void releaseAllPages();

    // What tells one version of a file from the next.
    struct Identity
    {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified {};

        bool operator==(const Identity &other) const;
    };
    // The version of the file at the path now, links followed; one that is not there has the
    // default identity.
    static Identity identityAt(const QString &path);

private:
    MappedFile(void *address, std::size_t size, const QString &path, const Identity &identity);

    void *m_address;
    std::size_t m_size;
    QString m_path;
    Identity m_identity;
};
