#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

// A file mapped read-only into memory: its pages are read from the file (or the system's cache
// of it) when first touched, so a large table of which each use reads a few rows (a model's
// weights) costs the app only those rows. The pages touched stay until
// MemoryGiveBack::giveBack() lets go of them; they come back when touched again.
class MappedFile final
{
public:
    // Null, with the reason in error, when the file cannot be opened or mapped (an empty file
    // maps to no bytes).
    static std::shared_ptr<const MappedFile> open(const QString &path, QString *error);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    const uint8_t *data() const { return static_cast<const uint8_t *>(m_address); }
    std::size_t size() const { return m_size; }

    // Lets go of the pages in memory of every file mapped now.
    static void releaseAllPages();

private:
    MappedFile(void *address, std::size_t size);

    void *m_address;
    std::size_t m_size;
};
