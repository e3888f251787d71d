#pragma once

// The store file's upkeep after the panel saved its changes, run by the clipboard capture's
// database actor. Main thread only.
class StoreMaintenance
{
public:
    virtual ~StoreMaintenance() = default;

    // Folds the write-ahead log into the store file.
    virtual void checkpointStore() = 0;
    // Rebuilds the store file without its free pages, so that deleted content leaves the disk.
    virtual void compactStore() = 0;
};
