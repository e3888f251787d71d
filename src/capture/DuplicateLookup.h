#pragma once

#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/PersistentIdentifier.h"

#include <QStringList>

#include <functional>

class ModelContext;

// Finds the stored item that a newly captured one repeats. Main thread, on the main
// store context.
//
// Candidates are first compared by the content digest each item keeps in the store
// (ClipboardItem::contentHash), so that long texts and large pictures are never read back
// at every copy; only a candidate with the same digest is compared in full. A stored item
// saved before digests existed gets its digest on first comparison (saved with the next
// save of the context).
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

    // The newest pinned text or code item among the searched ones whose text is the text of
    // `newItem`; nullptr when there is none.
    ClipboardItemPtr findPinnedText(const ClipboardItem &newItem, ModelContext &context);

    // Same content, by the stored item's kind: the full text for text, link and code
    // items; the file list for files and media files; the picture bytes (of the item they
    // refer to when they have none) for pictures copied as data; the hex value and the
    // text for colours. Texts are equal under Unicode canonical equivalence. Items with the
    // same content have the same ClipboardItem::contentHash.
    static bool isSameContent(const ClipboardItem &stored, const ClipboardItem &newItem);

    // Whether the stored item's full text is `text` (canonical equivalence).
    static bool hasText(const ClipboardItem &stored, const QString &text);

private:
    // The stored items of the group of `newItem` whose digest is that of `newItem`, newest
    // first; false when the fetch failed.
    static bool sameDigest(const ClipboardItem &newItem, ModelContext &context,
        const std::function<bool(const ClipboardItemPtr &)> &visit);
};
