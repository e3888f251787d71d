#pragma once

#include "common/SearchText.h"
#include "enrichment/Color.h"
#include "model/ClipboardItemType.h"
#include "model/ItemFieldValues.h"
#include "model/ItemSchema.h"
#include "model/PersistentIdentifier.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <array>
#include <bitset>
#include <memory>
#include <optional>

class FileExistence;
class ModelContext;
class ClipboardItem;
using ClipboardItemPtr = std::shared_ptr<ClipboardItem>;

// One history entry. Its persisted properties live in the store; a store context owns
// the object and hands it out by shared pointer, one object per entry and context.
// Writes to persisted properties are announced through the owning context (views
// refresh on them); the transient caches are not announced.
//
// Used on the thread of its context only.
class ClipboardItem final : public std::enable_shared_from_this<ClipboardItem>
{
public:
    // What the capture knows when it builds a new item; every member is optional.
    struct Content
    {
        std::optional<QString> text;
        std::optional<QUrl> fileURL;
        std::optional<QByteArray> fileBookmarkData;
        std::optional<QString> colorHex;
        std::optional<QString> originalColorFormat;
        std::optional<QByteArray> mediaThumbnailData;
        std::optional<QByteArray> mediaPreviewData;
        std::optional<QByteArray> mediaImageData;
        std::optional<QString> mediaSubtypeRaw;
        std::optional<QByteArray> fileThumbnailData;
        std::optional<QByteArray> filePreviewData;
        std::optional<QByteArray> linkPreviewData;
        std::optional<QString> codeLanguage;
        std::optional<int> codeConfidence;
        std::optional<QString> sourceAppBundleIdentifier;
        std::optional<QString> sourceAppName;
        std::optional<QString> htmlContent;
        std::optional<QString> previewText;
    };

    // Texts longer than this many UTF-16 units are cut for textContent; the whole text
    // then lives in extendedTextData.
    static constexpr qsizetype maxInlineTextLength = 100'000;

    // A new item: random id, the current time, the kind's raw string, then the content.
    static ClipboardItemPtr create(ClipboardItemType type, const Content &content = {});
    // An empty object that the store fills from a row (no defaults for required fields).
    static ClipboardItemPtr createForStore();

    // Only create() and the store make items; the key keeps the constructor usable by
    // std::make_shared (one allocation for the object and its count) and no one else.
    class ConstructionKey
    {
        friend class ClipboardItem;
        ConstructionKey() = default;
    };
    explicit ClipboardItem(ConstructionKey) { }

    ClipboardItem(const ClipboardItem &) = delete;
    ClipboardItem &operator=(const ClipboardItem &) = delete;

    // Persisted properties.
    QUuid id() const;
    void setId(const QUuid &id);
    QDateTime timestamp() const;
    void setTimestamp(const QDateTime &timestamp);
    QString itemType() const;
    void setItemType(const QString &raw);
    std::optional<QString> textContent() const { return string(ItemField::textContent); }
    void setTextContent(const std::optional<QString> &value) { setString(ItemField::textContent, value); }
    std::optional<QByteArray> extendedTextData() const { return data(ItemField::extendedTextData); }
    void setExtendedTextData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::extendedTextData, value);
    }
    std::optional<QString> htmlContent() const { return externalString(ItemField::htmlContent); }
    void setHtmlContent(const std::optional<QString> &value) { setString(ItemField::htmlContent, value); }
    std::optional<QString> fileURLString() const { return string(ItemField::fileURLString); }
    void setFileURLString(const std::optional<QString> &value) { setString(ItemField::fileURLString, value); }
    std::optional<QByteArray> fileBookmarkData() const { return data(ItemField::fileBookmarkData); }
    void setFileBookmarkData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::fileBookmarkData, value);
    }
    std::optional<QString> colorHex() const { return string(ItemField::colorHex); }
    void setColorHex(const std::optional<QString> &value) { setString(ItemField::colorHex, value); }
    std::optional<QString> originalColorFormat() const { return string(ItemField::originalColorFormat); }
    void setOriginalColorFormat(const std::optional<QString> &value)
    {
        setString(ItemField::originalColorFormat, value);
    }
    std::optional<QByteArray> mediaThumbnailData() const { return data(ItemField::mediaThumbnailData); }
    void setMediaThumbnailData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::mediaThumbnailData, value);
    }
    std::optional<QByteArray> mediaImageData() const { return data(ItemField::mediaImageData); }
    void setMediaImageData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::mediaImageData, value);
    }
    std::optional<QString> mediaSubtypeRaw() const { return string(ItemField::mediaSubtypeRaw); }
    void setMediaSubtypeRaw(const std::optional<QString> &value)
    {
        setString(ItemField::mediaSubtypeRaw, value);
    }
    std::optional<QString> previewText() const { return string(ItemField::previewText); }
    void setPreviewText(const std::optional<QString> &value) { setString(ItemField::previewText, value); }
    std::optional<QByteArray> fileThumbnailData() const { return data(ItemField::fileThumbnailData); }
    void setFileThumbnailData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::fileThumbnailData, value);
    }
    std::optional<QByteArray> mediaPreviewData() const { return data(ItemField::mediaPreviewData); }
    void setMediaPreviewData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::mediaPreviewData, value);
    }
    std::optional<QByteArray> filePreviewData() const { return data(ItemField::filePreviewData); }
    void setFilePreviewData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::filePreviewData, value);
    }
    std::optional<QByteArray> linkPreviewData() const { return data(ItemField::linkPreviewData); }
    void setLinkPreviewData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::linkPreviewData, value);
    }
    std::optional<QByteArray> highlightedLinesData() const { return data(ItemField::highlightedLinesData); }
    void setHighlightedLinesData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::highlightedLinesData, value);
    }
    std::optional<QString> highlightedLinesTheme() const { return string(ItemField::highlightedLinesTheme); }
    void setHighlightedLinesTheme(const std::optional<QString> &value)
    {
        setString(ItemField::highlightedLinesTheme, value);
    }
    std::optional<bool> highlightedLinesIsDark() const
    {
        return optionalBool(ItemField::highlightedLinesIsDark);
    }
    void setHighlightedLinesIsDark(std::optional<bool> value)
    {
        setOptionalBool(ItemField::highlightedLinesIsDark, value);
    }
    bool codeAsText() const { return boolean(ItemField::codeAsText); }
    void setCodeAsText(bool value) { setBoolean(ItemField::codeAsText, value); }
    std::optional<QString> codeLanguage() const { return string(ItemField::codeLanguage); }
    void setCodeLanguage(const std::optional<QString> &value) { setString(ItemField::codeLanguage, value); }
    std::optional<int> codeConfidence() const { return integer(ItemField::codeConfidence); }
    void setCodeConfidence(std::optional<int> value) { setInteger(ItemField::codeConfidence, value); }
    std::optional<QString> magikaTopLabel() const { return string(ItemField::magikaTopLabel); }
    void setMagikaTopLabel(const std::optional<QString> &value)
    {
        setString(ItemField::magikaTopLabel, value);
    }
    std::optional<QString> guesslangLanguage() const { return string(ItemField::guesslangLanguage); }
    void setGuesslangLanguage(const std::optional<QString> &value)
    {
        setString(ItemField::guesslangLanguage, value);
    }
    std::optional<int> guesslangConfidence() const { return integer(ItemField::guesslangConfidence); }
    void setGuesslangConfidence(std::optional<int> value)
    {
        setInteger(ItemField::guesslangConfidence, value);
    }
    bool isFromPasswordManager() const { return boolean(ItemField::isFromPasswordManager); }
    void setIsFromPasswordManager(bool value) { setBoolean(ItemField::isFromPasswordManager, value); }
    std::optional<QString> linkTitle() const { return string(ItemField::linkTitle); }
    void setLinkTitle(const std::optional<QString> &value) { setString(ItemField::linkTitle, value); }
    std::optional<QString> linkDescription() const { return string(ItemField::linkDescription); }
    void setLinkDescription(const std::optional<QString> &value)
    {
        setString(ItemField::linkDescription, value);
    }
    std::optional<QByteArray> linkThumbnailData() const { return data(ItemField::linkThumbnailData); }
    void setLinkThumbnailData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::linkThumbnailData, value);
    }
    std::optional<QString> sourceAppBundleIdentifier() const
    {
        return string(ItemField::sourceAppBundleIdentifier);
    }
    void setSourceAppBundleIdentifier(const std::optional<QString> &value)
    {
        setString(ItemField::sourceAppBundleIdentifier, value);
    }
    std::optional<QString> sourceAppName() const { return string(ItemField::sourceAppName); }
    void setSourceAppName(const std::optional<QString> &value) { setString(ItemField::sourceAppName, value); }
    bool isPinned() const { return boolean(ItemField::isPinned); }
    void setIsPinned(bool value) { setBoolean(ItemField::isPinned, value); }
    std::optional<QDateTime> pinnedTimestamp() const;
    void setPinnedTimestamp(const std::optional<QDateTime> &value);
    std::optional<QString> pinnedLabel() const { return string(ItemField::pinnedLabel); }
    void setPinnedLabel(const std::optional<QString> &value) { setString(ItemField::pinnedLabel, value); }
    std::optional<QString> additionalFileURLStringsJoined() const
    {
        return string(ItemField::additionalFileURLStringsJoined);
    }
    void setAdditionalFileURLStringsJoined(const std::optional<QString> &value)
    {
        setString(ItemField::additionalFileURLStringsJoined, value);
    }
    // Of a long file list only: how many further files there are, and all their addresses.
    std::optional<int> additionalFileCount() const { return integer(ItemField::additionalFileCount); }
    void setAdditionalFileCount(std::optional<int> value)
    {
        setInteger(ItemField::additionalFileCount, value);
    }
    std::optional<QByteArray> additionalFileURLListData() const
    {
        return data(ItemField::additionalFileURLListData);
    }
    void setAdditionalFileURLListData(const std::optional<QByteArray> &value)
    {
        setData(ItemField::additionalFileURLListData, value);
    }

    // The relationship: the item whose content this one shows and pastes. Deleting the
    // referenced item clears the reference (in every context).
    ClipboardItemPtr pinnedReference() const;
    void setPinnedReference(const ClipboardItemPtr &item);
    // The inverse: the items whose reference points here (maintained by the store).
    QList<ClipboardItemPtr> referencingItems() const;

    // Store membership.
    ModelContext *modelContext() const;
    bool isDeleted() const { return m_deleted; }
    PersistentIdentifier persistentModelID() const { return m_identifier; }

    // Derived values.
    ClipboardItemType type() const;
    std::optional<MediaSubtype> mediaSubtype() const;
    std::optional<QUrl> fileURL() const;
    // The stored text fileURL() is made from: this item's, or that of the item it stands for.
    std::optional<QString> resolvedFileURLString() const;
    // The files of a file or media item after its first, by their addresses. The store keeps
    // a list of any length whole, but an item holds only the first of them in memory: at most
    // maxListedFiles − 1 addresses of at most maxInlineTextLength UTF-16 units in all, so that
    // a copy of a million files costs the panel no more than what it shows of it.
    // The addresses held, in order (all of them, for a list that short).
    std::optional<QStringList> additionalFileURLStrings() const;
    // How many files there are after the first, held or not.
    int additionalFileTotal() const;
    // Every address after the first, in order, one a line (UTF-8, "\n" between them): read
    // from the store when the item does not hold them all. For pasting and comparing.
    std::optional<QByteArray> additionalFileURLList() const;
    // Sets the whole list, as strings or as lines the way additionalFileURLList() gives them.
    void setAdditionalFileURLStrings(const QStringList &strings);
    void setAdditionalFileURLList(const QByteArray &lines);
    static constexpr int maxListedFiles = 1000;
    // The files of a file or media item that are on disk, of which at most maxCheckedFiles
    // are looked for (the first and the further ones held): the others count as present
    // (their addresses unread). Without `files`, the app's FileExistence is asked, the one
    // the panel asks too.
    int countAvailableFiles() const;
    int countAvailableFiles(FileExistence &files) const;
    static constexpr int maxCheckedFiles = maxListedFiles;
    // The file to read, from its bookmark when there is one; the flag says whether a
    // scoped access was started that the caller must end (never on this platform).
    std::optional<std::pair<QUrl, bool>> resolveFileURL() const;
    std::optional<QString> fullText() const;
    std::optional<QString> displayText() const;
    std::optional<Color> colorValue() const;
    bool isSingleCharacterPin() const;
    // The text the panel's search looks through (lower-cased), made afresh and kept.
    QString computeSearchableText() const;
    QString searchableText() const;
    // Whether the kept text (made first when there is none, or the item changed) holds the
    // query, which is lower-cased.
    bool searchableTextContains(const SearchText::Query &query) const;
    bool hasSearchableTextCache() const { return m_searchCache.has_value(); }

    // One step of the pinned reference, only while this item is live in a store.
    const ClipboardItem &resolvedItem() const;
    // The item at the end of the chain of pinned references (this one without a
    // reference), followed for at most a bounded number of steps so that a cycle ends.
    const ClipboardItem &referenceChainEnd() const;
    std::optional<QString> resolvedLinkTitle() const;
    std::optional<QString> resolvedCodeLanguage() const;
    std::optional<QString> resolvedMagikaTopLabel() const;
    std::optional<int> resolvedCodeConfidence() const;
    std::optional<int> resolvedGuesslangConfidence() const;
    bool resolvedCodeAsText() const;
    std::optional<QByteArray> resolvedLinkThumbnailData() const;

    // Equality follows the persistent identity, never the content. Every item has one of
    // its own from creation (a temporary one until it is saved).
    friend bool operator==(const ClipboardItem &a, const ClipboardItem &b)
    {
        return &a == &b || a.m_identifier == b.m_identifier;
    }

    // A digest of the content by which a repeat is recognised, kept in the store with the
    // item so that the duplicate lookup never has to read whole texts or pictures: texts
    // (canonically composed), the file list, the picture bytes (of the referenced item), or
    // a colour's hex value with its text. Two items whose content is the same have the same
    // digest. Computed once and stored with the item; an item saved before the digest
    // existed gets it on first use, and keeps it with its next save.
    QByteArray contentHash() const;
    // The digest as it is, without computing one.
    std::optional<QByteArray> storedContentHash() const { return m_contentHash; }
    void setContentHash(const QByteArray &hash);
    QByteArray computeContentHash() const;

    // Drops loaded external data that has no unsaved change; it is read again on access.
    void releaseExternalData();

    // Generic access used by the store and by fetch predicates. Dates are QDateTime (UTC),
    // data QByteArray, Booleans bool, integers qint64; missing values are a null QVariant.
    QVariant value(ItemField field) const;
    void setValue(ItemField field, const QVariant &value);

private:
    friend class ModelContext;

    std::optional<QString> string(ItemField field) const;
    std::optional<QString> externalString(ItemField field) const { return string(field); }
    void setString(ItemField field, const std::optional<QString> &value);
    std::optional<QByteArray> data(ItemField field) const;
    void setData(ItemField field, const std::optional<QByteArray> &value);
    bool boolean(ItemField field) const;
    void setBoolean(ItemField field, bool value);
    std::optional<bool> optionalBool(ItemField field) const;
    void setOptionalBool(ItemField field, std::optional<bool> value);
    std::optional<int> integer(ItemField field) const;
    void setInteger(ItemField field, std::optional<int> value);
    const QVariant &slot(ItemField field) const;
    bool isLive() const;
    void forgetContentHash();
    static PersistentIdentifier newTemporaryIdentifier();

    static constexpr std::size_t slotCount = itemFieldCount;
    ItemFieldValues m_values;
    // The owning context clears this when it goes, so a plain pointer is safe (and cheap:
    // list fetches make thousands of items).
    ModelContext *m_context = nullptr;
    PersistentIdentifier m_identifier;
    bool m_deleted = false;
    std::bitset<slotCount> m_dirty;
    std::bitset<slotCount> m_externalLoaded;
    std::bitset<slotCount> m_externalPresent;

    // The referenced item: the object once known, else the store row it names.
    ClipboardItemPtr m_pinnedReference;
    qint64 m_pinnedReferenceRow = 0;

    // Bumped whenever a property that the search text is built from changes.
    quint64 m_searchRevision = 0;
    std::optional<QByteArray> m_contentHash;
    bool m_contentHashDirty = false;
    struct SearchCache
    {
        SearchText text;
        const ClipboardItem *resolved = nullptr;
        quint64 ownRevision = 0;
        quint64 resolvedRevision = 0;
    };
    mutable std::optional<SearchCache> m_searchCache;
    // The kept search text, made first when there is none or the item changed.
    const SearchText &currentSearchText() const;
    mutable std::optional<QStringList> m_additionalFileURLStringsCache;

public:
    // Transient caches, never stored and never announced. (Declared last: the values above,
    // which every list pass reads, share the object's first cache lines.)
    std::optional<QStringList> cachedTruncatedLines;
    std::optional<QList<QUrl>> cachedAvailableURLs;
};

// The text without its first n user-perceived characters; empty when it has fewer.
QString stringDropFirst(const QString &text, qsizetype n);
// Drops a leading "www." (or "www" + digits + ".") label of a host-first text.
QString stripWWWPrefix(const QString &text);
