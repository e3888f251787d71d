#pragma once

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/PersistentIdentifier.h"

#include <QHash>
#include <QStringList>

class ModelContext;

// Finds the stored item that a newly captured one repeats. Main thread, on the main
// store context; it changes nothing in the store.
//
// Pictures copied as data are compared by their bytes. So that a history of large
// pictures is not read back from the store at every copy, the size and hash of each stored
// picture are remembered after its first comparison (stored pictures never change); a
// matching hash is confirmed byte for byte.
class DuplicateLookup final
{
public:
    // How many of the newest items of a kind group are searched.
    static constexpr int searchWindow = 200;

    // The stored kinds that a new item of `type` is compared with: text and code together,
    // every other kind with itself.
    static QStringList kindGroup(ClipboardItemType type);
    // The newest searchWindow items of the group of `type`, newest first.
    static FetchDescriptor candidates(ClipboardItemType type);

    // The newest unpinned stored item with the same content among the newest items of the
    // group, else the newest pinned one; nullptr when there is none or the fetch fails.
    // File and media items whose file is gone are never returned.
    ClipboardItemPtr findDuplicate(const ClipboardItem &newItem, ModelContext &context);

    // Same content, by the stored item's kind: the full text for text, link and code
    // items; the file list for files and media files; the picture bytes (of the items they
    // refer to) for pictures copied as data; the hex value for colours. Texts are equal
    // under Unicode canonical equivalence.
    bool isSameContent(const ClipboardItem &stored, const ClipboardItem &newItem);

    // Whether the stored item's full text is `text` (canonical equivalence).
    static bool hasText(const ClipboardItem &stored, const QString &text);

private:
    struct Digest
    {
        qsizetype size = 0;
        size_t hash = 0;
    };
    bool sameImageData(const ClipboardItem &stored, const ClipboardItem &newItem);
    Digest storedDigest(const ClipboardItem &item);

    QHash<PersistentIdentifier, Digest> m_storedDigests;
};
