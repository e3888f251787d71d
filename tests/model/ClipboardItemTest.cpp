#include "model/ClipboardItem.h"
#include "model/StoreTestSupport.h"

#include "platform/FileBookmark.h"
#include "support/TestSupport.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

ClipboardItemPtr itemOfType(const QString &rawType)
{
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text);
    item->setItemType(rawType);
    return item;
}

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(ClipboardItemTest, ANewItemStartsWithItsInitialValues)
{
    const ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::code);
    EXPECT_EQ(item->itemType(), QStringLiteral("code"));
    EXPECT_FALSE(item->id().isNull());
    EXPECT_LE(qAbs(item->timestamp().msecsTo(QDateTime::currentDateTimeUtc())), 1000);
    EXPECT_FALSE(item->codeAsText());
    EXPECT_FALSE(item->isFromPasswordManager());
    EXPECT_FALSE(item->isPinned());
    EXPECT_EQ(item->pinnedReference(), nullptr);
    EXPECT_TRUE(item->referencingItems().isEmpty());
    for (const FieldInfo &info : itemSchema()) {
        if (info.optional && info.type != FieldType::relationship) {
            EXPECT_TRUE(item->value(info.field).isNull()) << info.name;
        }
    }
    EXPECT_NE(ClipboardItem::create(ClipboardItemType::text)->id(), item->id());
}

TEST(ClipboardItemTest, SchemaHasFortyOnePropertiesTwelveExternal)
{
    int external = 0;
    int index = 0;
    for (const FieldInfo &info : itemSchema()) {
        EXPECT_EQ(int(info.field), index++) << info.name;
        external += info.external ? 1 : 0;
    }
    EXPECT_EQ(itemSchema().size(), 41u);
    EXPECT_EQ(external, 12);
    EXPECT_STREQ(fieldInfo(ItemField::additionalFileURLStringsJoined).name, "additionalFileURLStringsJoined");
}

TEST(ClipboardItemTest, LongTextsAreCutAtWholeCharactersAndKeptWhole)
{
    const ClipboardItemPtr exact
        = ClipboardItem::create(ClipboardItemType::text, { .text = QString(100'000, QLatin1Char('a')) });
    EXPECT_EQ(exact->textContent()->size(), 100'000);
    EXPECT_EQ(exact->extendedTextData(), std::nullopt);

    // 99,999 letters, then an emoji of two UTF-16 units that straddles the limit.
    QString text = QString(99'999, QLatin1Char('b')) + QStringLiteral("😀") + QStringLiteral("tail");
    const ClipboardItemPtr cut = ClipboardItem::create(ClipboardItemType::text, { .text = text });
    EXPECT_EQ(cut->textContent(), QString(99'999, QLatin1Char('b')) + QStringLiteral("😀"));
    EXPECT_EQ(cut->extendedTextData(), text.toUtf8());
    EXPECT_EQ(cut->fullText(), cut->textContent()) << "not in a store: the extended text is not read";
}

TEST(ClipboardItemTest, KindsAndSubtypesMatchTheirRawStringsExactly)
{
    const struct
    {
        const char *raw;
        ClipboardItemType type;
    } kinds[] = {
        { "color", ClipboardItemType::color },
        { "Color", ClipboardItemType::text },
        { "", ClipboardItemType::text },
        { "media", ClipboardItemType::media },
        { "code", ClipboardItemType::code },
        { "link ", ClipboardItemType::text },
    };
    for (const auto &test : kinds)
        EXPECT_EQ(itemOfType(QString::fromUtf8(test.raw))->type(), test.type) << test.raw;

    ClipboardItemPtr media = ClipboardItem::create(ClipboardItemType::media);
    EXPECT_EQ(media->mediaSubtype(), std::nullopt);
    media->setMediaSubtypeRaw(QStringLiteral("IMAGE"));
    EXPECT_EQ(media->mediaSubtype(), std::nullopt);
    media->setMediaSubtypeRaw(QStringLiteral("audio"));
    EXPECT_EQ(media->mediaSubtype(), MediaSubtype::audio);
}

TEST(ClipboardItemTest, FileUrlsDecodeFileSchemeStringsAndParseOthers)
{
    const struct
    {
        const char *stored;
        std::optional<QString> expected;
    } cases[] = {
        { "file:///tmp/My%20File.txt", QStringLiteral("file:///tmp/My File.txt") },
        { "file:///tmp/folder/", QStringLiteral("file:///tmp/folder/") },
        { "https://example.org/a%20b", QStringLiteral("https://example.org/a%20b") },
        { "file:///tmp/bad%zzname", std::nullopt }, // neither decodable nor a valid URL
        { "not a url at all", std::nullopt },
    };
    for (const auto &test : cases) {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file);
        item->setFileURLString(QString::fromUtf8(test.stored));
        const std::optional<QUrl> url = item->fileURL();
        ASSERT_EQ(url.has_value(), test.expected.has_value()) << test.stored;
        if (url) {
            EXPECT_EQ(
                url->toString(QUrl::PreferLocalFile | QUrl::FullyDecoded).remove(QStringLiteral("file://")),
                QUrl(*test.expected)
                    .toString(QUrl::PreferLocalFile | QUrl::FullyDecoded)
                    .remove(QStringLiteral("file://")))
                << test.stored;
        }
    }
    ClipboardItemPtr spaced = ClipboardItem::create(ClipboardItemType::file);
    spaced->setFileURLString(QStringLiteral("file:///tmp/My%20File.txt"));
    EXPECT_EQ(spaced->fileURL()->toLocalFile(), QStringLiteral("/tmp/My File.txt"));
    EXPECT_EQ(ClipboardItem::create(ClipboardItemType::file)->fileURL(), std::nullopt);
}

TEST(ClipboardItemTest, DisplayTextOfLinksAndColours)
{
    const struct
    {
        const char *preview;
        const char *expected;
    } links[] = {
        { "  https://www.example.com/  ", "example.com" },
        { "https://example.com/path/", "example.com/path/" },
        { "http://www2.example.com/", "example.com" },
        { "https://wwwexample.com", "wwwexample.com" },
        { "https://www.", "" },
        { "ftp://www.x.org/", "ftp://www.x.org/" },
    };
    for (const auto &test : links) {
        ClipboardItemPtr link = ClipboardItem::create(
            ClipboardItemType::link, { .previewText = QString::fromUtf8(test.preview) });
        EXPECT_EQ(link->displayText(), QString::fromUtf8(test.expected)) << test.preview;
    }
    ClipboardItemPtr color = ClipboardItem::create(ClipboardItemType::color);
    EXPECT_EQ(color->displayText(), std::nullopt);
    color->setColorHex(QStringLiteral("#FF8800"));
    EXPECT_EQ(color->displayText(), QStringLiteral("#FF8800"));
    color->setTextContent(QStringLiteral(" rgb(255, 136, 0)\n"));
    EXPECT_EQ(color->displayText(), QStringLiteral("rgb(255, 136, 0)"));
    EXPECT_EQ(ClipboardItem::create(ClipboardItemType::text)->displayText(), std::nullopt);
}

TEST(ClipboardItemTest, StripWwwPrefix)
{
    const struct
    {
        const char *in;
        const char *out;
    } cases[] = {
        { "www.a.org", "a.org" },
        { "www3.a.org", "a.org" },
        { "www.", "" },
        { "www", "www" },
        { "wwwa.org", "wwwa.org" },
        { "www12", "www12" },
        { "www12x.a", "www12x.a" },
        { "a.www.org", "a.www.org" },
    };
    for (const auto &test : cases)
        EXPECT_EQ(stripWWWPrefix(QString::fromUtf8(test.in)), QString::fromUtf8(test.out)) << test.in;
}

TEST(ClipboardItemTest, SingleCharacterPins)
{
    const struct
    {
        const char *text;
        bool pinned;
        bool expected;
    } cases[] = {
        { " \n x \n", true, true },
        { "xy", true, false },
        { "x", false, false },
        { "👩‍👩‍👧", true, true },
        { "é", true, true },
    };
    for (const auto &test : cases) {
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::text, { .text = QString::fromUtf8(test.text) });
        item->setIsPinned(test.pinned);
        EXPECT_EQ(item->isSingleCharacterPin(), test.expected) << test.text;
    }
    ClipboardItemPtr padded = ClipboardItem::create(
        ClipboardItemType::text, { .text = QString(49, QLatin1Char(' ')) + QLatin1Char('x') });
    padded->setIsPinned(true);
    EXPECT_FALSE(padded->isSingleCharacterPin()) << "50 UTF-16 units, although it trims to one";
}

TEST(ClipboardItemTest, ColorValueReadsSixAndEightDigitHex)
{
    const struct
    {
        const char *hex;
        std::optional<QColor> expected;
    } cases[] = {
        { "#FF8800", QColor(255, 136, 0, 255) },
        { "  ff880080 ", QColor(255, 136, 0, 128) },
        { "##00ff00", QColor(0, 255, 0, 255) },
        { "#FFF", std::nullopt },
        { "#GGGGGG", std::nullopt },
    };
    for (const auto &test : cases) {
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::color, { .colorHex = QString::fromUtf8(test.hex) });
        const std::optional<Color> color = item->colorValue();
        ASSERT_EQ(color.has_value(), test.expected.has_value()) << test.hex;
        if (color) {
            EXPECT_EQ(color->toQColor().rgba(), test.expected->rgba()) << test.hex;
        }
    }
}

TEST(ClipboardItemTest, AdditionalFileUrlsSplitKeepingEmptyPieces)
{
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file);
    EXPECT_EQ(item->additionalFileURLStrings(), std::nullopt);
    item->setAdditionalFileURLStringsJoined(QStringLiteral("file:///a\nfile:///b\n"));
    EXPECT_EQ(item->additionalFileURLStrings(), (QStringList { "file:///a", "file:///b", "" }));
    item->setAdditionalFileURLStrings({ QStringLiteral("file:///c") });
    EXPECT_EQ(item->additionalFileURLStringsJoined(), QStringLiteral("file:///c"));
    EXPECT_EQ(ClipboardItem::create(ClipboardItemType::text)->countAvailableFiles(), 1);
}

TEST(ClipboardItemTest, CountAvailableFilesAndTheSearchTextCount)
{
    QTemporaryDir folder;
    const QString a = folder.filePath(QStringLiteral("a.txt"));
    const QString b = folder.filePath(QStringLiteral("b.txt"));
    const QString c = folder.filePath(QStringLiteral("c d.txt"));
    touch(a);
    touch(b);
    touch(c);
    ClipboardItemPtr files
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(a) });
    files->setAdditionalFileURLStrings({ QUrl::fromLocalFile(b).toString(QUrl::FullyEncoded),
        QUrl::fromLocalFile(c).toString(QUrl::FullyEncoded), QString() });
    EXPECT_EQ(files->countAvailableFiles(), 3);
    EXPECT_EQ(files->cachedAvailableURLs->size(), 3);
    EXPECT_TRUE(files->computeSearchableText().endsWith(QStringLiteral("3 items")));

    QFile::remove(b);
    QFile::remove(c);
    ClipboardItemPtr single
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(a) });
    single->setAdditionalFileURLStrings({ QUrl::fromLocalFile(b).toString() });
    EXPECT_EQ(single->countAvailableFiles(), 1);
    EXPECT_FALSE(single->computeSearchableText().contains(QStringLiteral("items")));

    ClipboardItemPtr media
        = ClipboardItem::create(ClipboardItemType::media, { .fileURL = QUrl::fromLocalFile(a) });
    touch(b);
    media->setAdditionalFileURLStrings({ QUrl::fromLocalFile(b).toString() });
    EXPECT_EQ(media->countAvailableFiles(), 2);
    EXPECT_FALSE(media->computeSearchableText().contains(QStringLiteral("items")));
}

TEST(ClipboardItemTest, SearchTextJoinsItsPartsLowerCased)
{
    ClipboardItemPtr link = ClipboardItem::create(ClipboardItemType::link,
        { .text = QStringLiteral("HTTPS://Example.org"), .previewText = QStringLiteral("ignored") });
    link->setPinnedLabel(QStringLiteral("Work"));
    link->setLinkTitle(QStringLiteral("Example Domain"));
    EXPECT_EQ(link->searchableText(), QStringLiteral("work example domain https://example.org"));

    ClipboardItemPtr preview
        = ClipboardItem::create(ClipboardItemType::media, { .previewText = QStringLiteral("Photo.PNG") });
    preview->setPinnedLabel(QString());
    EXPECT_EQ(preview->searchableText(), QStringLiteral(" photo.png")) << "an empty label is an empty part";
}

TEST(ClipboardItemTest, SearchTextFollowsLaterChangesOfItsSources)
{
    ClipboardItemPtr link
        = ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://example.org") });
    EXPECT_EQ(link->searchableText(), QStringLiteral("https://example.org"));
    EXPECT_TRUE(link->hasSearchableTextCache());
    // A title fetched later, or a label added later, is searchable at once.
    link->setLinkTitle(QStringLiteral("Example Domain"));
    EXPECT_EQ(link->searchableText(), QStringLiteral("example domain https://example.org"));
    link->setPinnedLabel(QStringLiteral("Docs"));
    EXPECT_EQ(link->searchableText(), QStringLiteral("docs example domain https://example.org"));
}

TEST(ClipboardItemTest, StringDropFirstCountsCharacters)
{
    EXPECT_EQ(stringDropFirst(QStringLiteral("👍🏽ab"), 1), QStringLiteral("ab"));
    EXPECT_EQ(stringDropFirst(QStringLiteral("ab"), 5), QString());
    EXPECT_EQ(stringDropFirst(QStringLiteral("ab"), 0), QStringLiteral("ab"));
    EXPECT_EQ(stringDropFirst(QStringLiteral("e\u0301x"), 1), QStringLiteral("x"));
}

TEST(ClipboardItemTest, ResolveFileUrlPrefersTheBookmarkAndFindsRenamedFiles)
{
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("report.txt"));
    touch(original);
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(original),
            .fileBookmarkData = FileBookmark::create(QUrl::fromLocalFile(original)) });
    ASSERT_TRUE(item->resolveFileURL());
    EXPECT_EQ(item->resolveFileURL()->first.toLocalFile(), original);
    EXPECT_FALSE(item->resolveFileURL()->second);

    const QString renamed = folder.filePath(QStringLiteral("report (final).txt"));
    ASSERT_TRUE(QFile::rename(original, renamed));
    EXPECT_EQ(item->resolveFileURL()->first.toLocalFile(), renamed);

    ClipboardItemPtr noBookmark
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(original) });
    EXPECT_EQ(noBookmark->resolveFileURL()->first.toLocalFile(), original);
    ClipboardItemPtr garbage
        = ClipboardItem::create(ClipboardItemType::file, { .fileBookmarkData = QByteArray("\x01\x02junk") });
    EXPECT_EQ(garbage->resolveFileURL(), std::nullopt);
}

using ClipboardItemStoreTest = StoreTest;

TEST_F(ClipboardItemStoreTest, ReferencesAreFollowedLiveOrAlongTheChain)
{
    ClipboardItemPtr pinned = ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/x")), .colorHex = QStringLiteral("#112233") });
    pinned->setLinkTitle(QStringLiteral("Pinned title"));
    pinned->setExtendedTextData(QByteArray("full pinned text"));
    pinned->setLinkThumbnailData(QByteArray("thumb"));
    context().insert(pinned);
    ClipboardItemPtr reference
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("own text") });
    reference->setLinkTitle(QStringLiteral("Own title"));
    reference->setPinnedReference(pinned);
    context().insert(reference);
    ASSERT_TRUE(context().save().ok);

    // Live: the referenced item's fields.
    EXPECT_EQ(reference->resolvedLinkTitle(), QStringLiteral("Pinned title"));
    EXPECT_EQ(reference->fullText(), QStringLiteral("full pinned text"));
    EXPECT_EQ(reference->resolvedLinkThumbnailData(), QByteArray("thumb"));
    EXPECT_EQ(reference->fileURL()->toLocalFile(), QStringLiteral("/tmp/x"));

    // Out of the store: own fields for live values, the chain for file and colour.
    context().remove(reference);
    ASSERT_TRUE(context().save().ok);
    reference->setPinnedReference(pinned);
    EXPECT_EQ(reference->resolvedLinkTitle(), QStringLiteral("Own title"));
    EXPECT_EQ(reference->fullText(), QStringLiteral("own text"));
    EXPECT_EQ(reference->resolvedLinkThumbnailData(), std::nullopt);
    EXPECT_EQ(reference->fileURL()->toLocalFile(), QStringLiteral("/tmp/x"));
    EXPECT_EQ(reference->colorValue()->hexString(), QStringLiteral("#112233"));
}

TEST_F(ClipboardItemStoreTest, ALoadedItemStartsWithItsCachesNotComputed)
{
    ClipboardItemPtr item = insertText(QStringLiteral("text"));
    item->setAdditionalFileURLStringsJoined(QStringLiteral("file:///a"));
    ASSERT_TRUE(context().save().ok);
    EXPECT_EQ(item->searchableText(), QStringLiteral("text"));
    EXPECT_TRUE(item->additionalFileURLStrings());

    std::unique_ptr<ModelContext> other = container().makeContext();
    ClipboardItemPtr loaded = other->model(item->persistentModelID());
    EXPECT_FALSE(loaded->hasSearchableTextCache());
    EXPECT_FALSE(loaded->cachedAvailableURLs.has_value());
    EXPECT_FALSE(loaded->cachedTruncatedLines.has_value());
}

TEST_F(ClipboardItemStoreTest, ASearchTextOfAReferenceFollowsTheReferencedItem)
{
    ClipboardItemPtr pinned = insertText(QStringLiteral("pinned text"));
    ClipboardItemPtr reference = insertText(QStringLiteral("own"));
    reference->setPinnedReference(pinned);
    ASSERT_TRUE(context().save().ok);
    EXPECT_EQ(reference->searchableText(), QStringLiteral("pinned text"));
    pinned->setPinnedLabel(QStringLiteral("Label"));
    EXPECT_EQ(reference->searchableText(), QStringLiteral("label pinned text"));
    context().remove(pinned);
    ASSERT_TRUE(context().save().ok);
    EXPECT_EQ(reference->searchableText(), QStringLiteral("own"));
}

TEST_F(ClipboardItemStoreTest, ACycleOfReferencesEndsEveryValueThatFollowsTheChain)
{
    // Never made on purpose, but a damaged or edited store can hold one.
    ClipboardItemPtr a
        = ClipboardItem::create(ClipboardItemType::color, { .colorHex = QStringLiteral("#102030") });
    ClipboardItemPtr b = ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(QStringLiteral("/nowhere/b")),
            .colorHex = QStringLiteral("#405060") });
    b->setAdditionalFileURLStrings({ QStringLiteral("file:///nowhere/c") });
    context().insert(a);
    context().insert(b);
    a->setPinnedReference(b);
    b->setPinnedReference(a);
    ASSERT_TRUE(context().save().ok);
    for (const ClipboardItemPtr &item : { a, b }) {
        if (const std::optional<QUrl> url = item->fileURL()) {
            EXPECT_EQ(url->toLocalFile(), QStringLiteral("/nowhere/b"));
        }
        const std::optional<Color> colour = item->colorValue();
        ASSERT_TRUE(colour);
        EXPECT_TRUE(colour->hexString() == u"#102030" || colour->hexString() == u"#405060");
        (void)item->additionalFileURLStrings();
        (void)item->countAvailableFiles();
        (void)item->computeSearchableText();
        (void)item->contentHash();
    }
    // A self-reference too.
    a->setPinnedReference(a);
    EXPECT_EQ(a->colorValue()->hexString(), QStringLiteral("#102030"));
    EXPECT_EQ(a->additionalFileURLStrings(), std::nullopt);
}

TEST(ClipboardItemTest, ItemsWithTheSameContentHaveTheSameDigest)
{
    const auto text = [](ClipboardItemType type, const QString &value) {
        return ClipboardItem::create(type, { .text = value });
    };
    const auto colour = [](const QString &hex, const std::optional<QString> &value) {
        return ClipboardItem::create(ClipboardItemType::color, { .text = value, .colorHex = hex });
    };
    const QString longText = QString(ClipboardItem::maxInlineTextLength, u'a');
    const struct
    {
        const char *name;
        ClipboardItemPtr a;
        ClipboardItemPtr b;
        bool same;
    } cases[] = {
        { "text and code", text(ClipboardItemType::text, "x = 1"), text(ClipboardItemType::code, "x = 1"),
            true },
        { "canonical equivalents", text(ClipboardItemType::text, QString::fromUtf8("caf\xC3\xA9")),
            text(ClipboardItemType::text, QString::fromUtf8("cafe\xCC\x81")), true },
        { "case", text(ClipboardItemType::text, "Word"), text(ClipboardItemType::text, "word"), false },
        { "long texts that differ after the cut", text(ClipboardItemType::text, longText + "one"),
            text(ClipboardItemType::text, longText + "two"), false },
        { "hex in any case", colour("#FF8800", std::nullopt), colour("#ff8800", std::nullopt), true },
        { "same hex, other notation", colour("#1E90FF", QString("#1E90FF")),
            colour("#1E90FF", QString("rgb(30, 144, 255)")), false },
        { "no text and empty text", text(ClipboardItemType::text, ""),
            ClipboardItem::create(ClipboardItemType::text), false },
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.a->contentHash() == c.b->contentHash(), c.same) << c.name;

    ClipboardItemPtr edited = text(ClipboardItemType::text, "before");
    const QByteArray digest = edited->contentHash();
    edited->setTextContent(QStringLiteral("after"));
    EXPECT_NE(edited->contentHash(), digest) << "a change of content makes a new digest";
    EXPECT_EQ(edited->contentHash(), text(ClipboardItemType::text, "after")->contentHash());
}
