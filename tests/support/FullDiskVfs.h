#pragma once

struct sqlite3_vfs;

// SQLite's own file system with a disk that can be made full: while full, every write and every
// growth of a file fails as on a disk without room (SQLITE_FULL), reads go on. While it lives it
// is SQLite's default, so the connections the store opens meanwhile use it (the connections keep
// using it until they close: it must outlive them). One at a time.
class FullDiskVfs final
{
public:
    FullDiskVfs();
    ~FullDiskVfs();
    FullDiskVfs(const FullDiskVfs &) = delete;
    FullDiskVfs &operator=(const FullDiskVfs &) = delete;

    void setFull(bool full);
    // Writes refused since it was made.
    int refusedWrites() const;

private:
    sqlite3_vfs *m_vfs;
};
