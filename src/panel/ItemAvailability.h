#pragma once

class ClipboardItem;

// Whether the files of file and media items can be reached. Main thread only.
class ItemAvailability
{
public:
    virtual ~ItemAvailability() = default;

    // False for a file or media item none of whose files can be reached.
    virtual bool isFileAvailable(const ClipboardItem &item) = 0;
    // Reads the mounted volumes again and has the files looked for again; announces
    // "volumesDidChange" when that changed what the panel was told.
    virtual void refreshMountedVolumes() = 0;
};
