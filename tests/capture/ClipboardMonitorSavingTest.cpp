// Saving captured items: repeats, pinned repeats, the trim to the history limit, and the
// background work each save starts.
#include "CaptureTestSupport.h"

#include "common/NotificationCenter.h"

#include <QBuffer>
#include <QFile>

namespace {

class ClipboardMonitorSavingTest : public CaptureTest
{
protected:
    int count() { return int(history().size()); }
    ClipboardItemPtr save(ClipboardItemType type, const ClipboardItem::Content &content,
        bool fromPasswordManager = false, const std::optional<QUrl> &fileURL = std::nullopt)
    {
        ClipboardItemPtr item = ClipboardItem::create(type, content);
        m_monitor->saveClipboardItem(item, fromPasswordManager, fileURL);
        return item;
    }
};

} // namespace

TEST_F(ClipboardMonitorSavingTest, ARepeatMovesTheStoredItemToTheTop)
{
    ASSERT_TRUE(copyText(QStringLiteral("repeated")));
    const ClipboardItemPtr first = newest();
    const QDateTime firstTime = first->timestamp();
    ASSERT_TRUE(copyText(QStringLiteral("something else")));
    waitUntil([] { return false; }, std::chrono::milliseconds(5));
    ASSERT_TRUE(copyText(QStringLiteral("repeated")));
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(newest(), first);
    EXPECT_GT(first->timestamp(), firstTime);
    EXPECT_FALSE(m_saved->last().at(2).toBool()) << "reported as a repeat";
}

TEST_F(ClipboardMonitorSavingTest, RepeatsOfTextAndCodeKeepOrBecomeCode)
{
    storeItem(ClipboardItemType::code,
        { .text = QStringLiteral("x = 1"), .codeLanguage = QStringLiteral("python"), .codeConfidence = 70 });
    save(ClipboardItemType::text, { .text = QStringLiteral("x = 1") });
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(newest()->type(), ClipboardItemType::code) << "stored code stays code";
    EXPECT_EQ(newest()->codeLanguage(), QStringLiteral("python"));

    resetCapture();
    storeItem(ClipboardItemType::text, { .text = QStringLiteral("fn main() {}") });
    save(ClipboardItemType::code,
        { .text = QStringLiteral("fn main() {}"),
            .codeLanguage = QStringLiteral("rust"),
            .codeConfidence = 88 });
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(newest()->itemType(), QStringLiteral("code"));
    EXPECT_EQ(newest()->codeLanguage(), QStringLiteral("rust"));
    EXPECT_EQ(newest()->codeConfidence(), 88);
}

TEST_F(ClipboardMonitorSavingTest, ARepeatTakesOverWhatIsNew)
{
    storeItem(ClipboardItemType::text,
        { .text = QStringLiteral("styled"),
            .sourceAppBundleIdentifier = QStringLiteral("old.app"),
            .sourceAppName = QStringLiteral("Old"),
            .htmlContent = QStringLiteral("<b>old</b>") });
    save(ClipboardItemType::text, { .text = QStringLiteral("styled") });
    EXPECT_EQ(newest()->htmlContent(), QStringLiteral("<b>old</b>")) << "no HTML keeps the stored HTML";
    EXPECT_EQ(newest()->sourceAppName(), QStringLiteral("Old"));

    save(ClipboardItemType::text,
        { .text = QStringLiteral("styled"),
            .sourceAppBundleIdentifier = QStringLiteral("new.app"),
            .htmlContent = QStringLiteral("<i>new</i>") },
        true);
    EXPECT_EQ(newest()->htmlContent(), QStringLiteral("<i>new</i>"));
    EXPECT_EQ(newest()->sourceAppBundleIdentifier(), QStringLiteral("new.app"));
    EXPECT_EQ(newest()->sourceAppName(), std::nullopt)
        << "the name comes with the identifier, also when absent";
    EXPECT_TRUE(newest()->isFromPasswordManager());

    save(ClipboardItemType::text, { .text = QStringLiteral("styled") }, false);
    EXPECT_TRUE(newest()->isFromPasswordManager()) << "never cleared by a repeat";
    EXPECT_EQ(count(), 1);
}

TEST_F(ClipboardMonitorSavingTest, ARepeatOfAPinnedItemBecomesAReferenceToIt)
{
    const QByteArray picture("\x89PNG pinned picture", 19);
    const ClipboardItemPtr pinned = storeItem(ClipboardItemType::media,
        { .mediaThumbnailData = QByteArray("thumb"),
            .mediaImageData = picture,
            .mediaSubtypeRaw = QStringLiteral("image") },
        true, 3600);
    const QDateTime pinnedTime = pinned->timestamp();
    const ClipboardItemPtr copy = save(ClipboardItemType::media,
        { .mediaThumbnailData = QByteArray("thumb"),
            .mediaImageData = picture,
            .mediaSubtypeRaw = QStringLiteral("image") });
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(newest(), copy);
    EXPECT_FALSE(copy->isPinned());
    EXPECT_EQ(copy->pinnedReference(), pinned);
    EXPECT_EQ(copy->mediaImageData(), picture) << "the entry keeps its own content";
    EXPECT_EQ(copy->mediaThumbnailData(), QByteArray("thumb"));
    EXPECT_EQ(pinned->timestamp(), pinnedTime);
    EXPECT_TRUE(pinned->isPinned());

    // Copying it once more repeats the reference, not the pinned item.
    save(ClipboardItemType::media, { .mediaImageData = picture, .mediaSubtypeRaw = QStringLiteral("image") });
    EXPECT_EQ(count(), 2);

    // Once the pinned item is deleted, the entry still has the picture to show and paste.
    context().remove(pinned);
    ASSERT_TRUE(context().save().ok);
    std::unique_ptr<ModelContext> fresh = container().makeContext();
    const ClipboardItemPtr reread = fresh->model(copy->persistentModelID());
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->pinnedReference(), nullptr);
    EXPECT_EQ(reread->mediaImageData(), picture);
    EXPECT_EQ(reread->mediaThumbnailData(), QByteArray("thumb"));
}

TEST_F(ClipboardMonitorSavingTest, NewItemsTrimTheHistoryToTheLimit)
{
    const struct
    {
        const char *name;
        int unpinned;
        int pinned;
        qint64 limit;
        bool repeat;
        int expected;
    } cases[] = {
        { "full history: the oldest goes", 50, 0, 50, false, 50 },
        { "a repeat deletes nothing", 50, 0, 50, true, 50 },
        { "pinned items stay beyond the limit", 0, 60, 50, false, 61 },
        { "pinned items count as positions", 10, 45, 50, false, 50 },
        { "room left", 10, 0, 50, false, 11 },
        { "a limit below one keeps the new item", 5, 0, 0, false, 1 },
    };
    for (const auto &test : cases) {
        resetCapture();
        m_settings->setHistoryLimit(test.limit);
        int age = 10'000;
        // Pinned items newer than the unpinned ones, so that they take positions of the limit.
        for (int i = 0; i < test.unpinned; ++i)
            storeItem(ClipboardItemType::text, { .text = QStringLiteral("item %1").arg(i) }, false, age--);
        for (int i = 0; i < test.pinned; ++i)
            storeItem(ClipboardItemType::text, { .text = QStringLiteral("pinned %1").arg(i) }, true, age--);
        const QString oldest = test.unpinned > 0 ? QStringLiteral("item 0") : QString();
        save(ClipboardItemType::text,
            { .text = test.repeat ? QStringLiteral("item 3") : QStringLiteral("new") });
        const QList<ClipboardItemPtr> items = history();
        EXPECT_EQ(items.size(), test.expected) << test.name;
        EXPECT_TRUE(std::all_of(
            items.begin(), items.end(), [](const ClipboardItemPtr &item) { return !item->isDeleted(); }));
        if (!test.repeat && test.unpinned + test.pinned >= test.limit && test.unpinned > 0) {
            const bool oldestLeft = std::any_of(items.begin(), items.end(),
                [&](const ClipboardItemPtr &item) { return item->textContent() == oldest; });
            EXPECT_FALSE(oldestLeft) << test.name;
        }
        int pinnedLeft = 0;
        for (const ClipboardItemPtr &item : items)
            pinnedLeft += item->isPinned();
        EXPECT_EQ(pinnedLeft, test.pinned) << test.name;
    }
}

TEST_F(ClipboardMonitorSavingTest, EverySaveIsAnnounced)
{
    int posts = 0;
    QObject receiver;
    NotificationCenter::defaultCenter().addObserver(
        Notifications::volumesDidChange, &receiver, [&](const QVariantMap &) { ++posts; });
    ASSERT_TRUE(copyText(QStringLiteral("one")));
    EXPECT_EQ(posts, 1);
    ASSERT_TRUE(copyText(QStringLiteral("two")));
    ASSERT_TRUE(copyText(QStringLiteral("one")));
    EXPECT_EQ(posts, 3) << "repeats too";
    EXPECT_FALSE(copyText(QString()));
    EXPECT_EQ(posts, 3) << "nothing saved, nothing announced";
}

TEST_F(ClipboardMonitorSavingTest, ALinkKeptAsCopiedIsFetchedAtTheAddressItGoesTo)
{
    QSignalSpy links(m_monitor.get(), &ClipboardMonitor::linkMetadataRequested);
    const struct
    {
        const char *text;
        QByteArray fetched;
    } cases[] = {
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4",
            "https://xn--mnchen-3ya.de/stra%C3%9Fe?q=%C3%A4" },
        { "https://example\xE3\x80\x82org\\a%20b", "https://example.org/a%20b" },
        { "https://example.com/plain", "https://example.com/plain" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const qsizetype before = links.size();
        save(ClipboardItemType::link, { .text = QString::fromUtf8(c.text) });
        ASSERT_EQ(links.size(), before + 1);
        EXPECT_EQ(links.last().at(1).toUrl().toEncoded(), c.fetched);
    }
}

TEST_F(ClipboardMonitorSavingTest, SavesStartTheBackgroundWork)
{
    QSignalSpy links(m_monitor.get(), &ClipboardMonitor::linkMetadataRequested);
    QSignalSpy code(m_monitor.get(), &ClipboardMonitor::codePreviewRequested);
    QSignalSpy media(m_monitor.get(), &ClipboardMonitor::mediaPreviewRequested);
    QSignalSpy audio(m_monitor.get(), &ClipboardMonitor::audioArtworkRequested);
    const auto identifierOf
        = [](const QSignalSpy &spy) { return spy.last().at(0).value<PersistentIdentifier>(); };

    const ClipboardItemPtr link
        = save(ClipboardItemType::link, { .text = QStringLiteral("https://example.com/a") });
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(identifierOf(links), link->persistentModelID());
    EXPECT_FALSE(link->persistentModelID().isTemporary());
    EXPECT_EQ(links.last().at(1).toUrl(), QUrl(QStringLiteral("https://example.com/a")));

    // A repeat names the stored item, not the dropped copy.
    save(ClipboardItemType::link, { .text = QStringLiteral("https://example.com/a") });
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(identifierOf(links), link->persistentModelID());

    // A repeat of a pinned link names the pinned link.
    const ClipboardItemPtr pinned
        = storeItem(ClipboardItemType::link, { .text = QStringLiteral("https://pinned.example/") }, true);
    save(ClipboardItemType::link, { .text = QStringLiteral("https://pinned.example/") });
    ASSERT_EQ(links.size(), 3);
    EXPECT_EQ(identifierOf(links), pinned->persistentModelID());

    const ClipboardItemPtr snippet = save(ClipboardItemType::code, { .text = QStringLiteral("let a = 1;") });
    ASSERT_EQ(code.size(), 1);
    EXPECT_EQ(identifierOf(code), snippet->persistentModelID());

    const ClipboardItemPtr picture = save(ClipboardItemType::media,
        { .mediaImageData = QByteArray("picture bytes"), .mediaSubtypeRaw = QStringLiteral("image") });
    ASSERT_EQ(media.size(), 1);
    EXPECT_EQ(identifierOf(media), picture->persistentModelID());

    const QUrl songURL = QUrl::fromLocalFile(m_folder->filePath(QStringLiteral("song.mp3")));
    QFile(songURL.toLocalFile()).open(QIODevice::WriteOnly);
    const ClipboardItemPtr song = save(ClipboardItemType::media,
        { .fileURL = songURL, .mediaSubtypeRaw = QStringLiteral("audio") }, false, songURL);
    ASSERT_EQ(audio.size(), 1);
    EXPECT_EQ(identifierOf(audio), song->persistentModelID());
    EXPECT_EQ(audio.last().at(1).toUrl(), songURL);
    EXPECT_EQ(media.size(), 2) << "a media file's preview is asked for too";

    save(ClipboardItemType::text, { .text = QStringLiteral("plain") });
    EXPECT_EQ(links.size() + code.size() + media.size() + audio.size(), 3 + 1 + 2 + 1)
        << "text starts nothing";
}

TEST_F(ClipboardMonitorSavingTest, TheWholeRoadFromCopyToStore)
{
    m_settings->setRemoveTrackingParameters(true);
    setFront(QStringLiteral("firefox"), QStringLiteral("Firefox"));
    auto mime = text(QStringLiteral("https://example.com/article?id=4&utm_medium=social"));
    mime->setData(
        QStringLiteral("text/x-moz-url"), QStringLiteral("https://example.com/article\nAn article").toUtf8());
    ASSERT_TRUE(copy(std::move(mime)));
    const ClipboardItemPtr item = newest();
    EXPECT_EQ(item->type(), ClipboardItemType::link);
    EXPECT_EQ(item->textContent(), QStringLiteral("https://example.com/article?id=4"));
    EXPECT_EQ(item->linkTitle(), QStringLiteral("An article"));
    EXPECT_EQ(item->sourceAppName(), QStringLiteral("Firefox"));
    EXPECT_TRUE(item->hasSearchableTextCache());
    EXPECT_TRUE(item->searchableText().contains(u"an article"));

    // What was saved is in the store file, not only in memory.
    std::unique_ptr<ModelContext> reader = container().makeContext();
    const QList<ClipboardItemPtr> stored = reader->fetch(FetchDescriptor::newestFirst()).items;
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.first()->textContent(), item->textContent());
}

TEST_F(ClipboardMonitorSavingTest, ATextOfMegabytesIsWrittenByTheStoreActorNotOnTheMainThread)
{
    QStringList mainStatements;
    context().setStatementTrace([&](const QString &sql) { mainStatements.append(sql); });
    const QString big = QStringLiteral("a line of a long log\n").repeated(200'000); // 4 MB
    const struct
    {
        const char *name;
        QString text;
        bool inBackground;
        bool isNew;
    } copies[] = {
        { "a short text", QStringLiteral("short"), false, true },
        { "a text of megabytes", big, true, true },
        { "the same text again moves it to the top", big, true, false },
        { "a short text after it", QStringLiteral("after"), false, true },
    };
    for (const auto &copy : copies) {
        SCOPED_TRACE(copy.name);
        mainStatements.clear();
        ASSERT_TRUE(copyText(copy.text));
        const bool insertedOnMain = std::any_of(mainStatements.begin(), mainStatements.end(),
            [](const QString &sql) { return sql.startsWith(QLatin1String("INSERT INTO ClipboardItem")); });
        const bool wroteOnMain
            = std::any_of(mainStatements.begin(), mainStatements.end(), [](const QString &sql) {
                  return sql.startsWith(QLatin1String("INSERT")) || sql.startsWith(QLatin1String("UPDATE"));
              });
        EXPECT_EQ(wroteOnMain, !copy.inBackground);
        EXPECT_EQ(insertedOnMain, !copy.inBackground && copy.isNew);
        EXPECT_EQ(m_saved->last().at(2).toBool(), copy.isNew);
        // The main context has the item, announced with its identifier there.
        const ClipboardItemPtr top = newest();
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->persistentModelID(), m_saved->last().at(0).value<PersistentIdentifier>());
        EXPECT_EQ(top->fullText(), copy.text);
    }
    EXPECT_EQ(count(), 3);
}
