#include "capture/BackgroundEnrichment.h"

#include "CaptureTestSupport.h"
#include "MediaTestSupport.h"
#include "capture/ImageExtraction.h"
#include "detection/HighlightedLinesBlob.h"
#include "support/HeldThreadPool.h"
#include "support/OlderHighlightBlob.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>

namespace {

const QString preview = HighlightCacheService::previewContext();

QByteArray png(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QPainter(&image).fillRect(QRect(0, 0, size.width() / 2, size.height()), Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class BackgroundEnrichmentTest : public CaptureTest
{
protected:
    void SetUp() override
    {
        CaptureTest::SetUp();
        highlights = std::make_unique<HighlightCacheService>();
        highlights->setSettings(m_settings.get());
        startEnrichment();
    }
    void TearDown() override
    {
        enrichment.reset();
        highlights.reset();
        CaptureTest::TearDown();
    }

    // The enrichment over the current monitor; the refresh the monitor asks for at its
    // creation runs (over whatever the store holds now).
    void startEnrichment()
    {
        enrichment = std::make_unique<BackgroundEnrichment>(*m_monitor, *highlights, *m_settings);
        enrichment->setAppearance([this] { return dark; });
        QSignalSpy scheduled(enrichment.get(), &BackgroundEnrichment::refreshScheduled);
        ASSERT_TRUE(scheduled.wait(2000));
    }

    bool waitForHighlights()
    {
        return waitUntil([this] { return highlights->isIdle(); }, std::chrono::seconds(60));
    }

    template <typename T> bool finished(QFuture<T> future)
    {
        return waitUntil([&] { return future.isFinished(); }, std::chrono::seconds(20));
    }

    // The item as the store file has it.
    ClipboardItemPtr reread(const ClipboardItem &item)
    {
        m_reader = container().makeContext();
        return m_reader->model(item.persistentModelID());
    }
    HighlightedLinesBlob::Lines storedLines(const ClipboardItem &item)
    {
        const ClipboardItemPtr stored = reread(item);
        return HighlightedLinesBlob::decode(stored->highlightedLinesData().value_or(QByteArray()))
            .value_or(HighlightedLinesBlob::Lines());
    }

    ClipboardItemPtr storeCode(
        const QString &text, int secondsAgo, const QString &language = QStringLiteral("python"))
    {
        return storeItem(
            ClipboardItemType::code, { .text = text, .codeLanguage = language }, false, secondsAgo);
    }

    bool dark = false;
    std::unique_ptr<HighlightCacheService> highlights;
    std::unique_ptr<BackgroundEnrichment> enrichment;
    std::unique_ptr<ModelContext> m_reader;
};

TEST_F(BackgroundEnrichmentTest, ACopiedSnippetGetsItsPreviewLinesInItsLanguageThemeAndAppearance)
{
    m_classifier.detection = { true, QStringLiteral("javascript"), 90, QStringLiteral("javascript") };
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines.append(QStringLiteral("    const value%1 = compute(%1);").arg(i));
    lines[1] = QString(800, u'x');
    ASSERT_TRUE(copyText(lines.join(u'\n')));
    const ClipboardItemPtr item = newest();
    ASSERT_EQ(item->type(), ClipboardItemType::code);
    ASSERT_TRUE(waitUntil([&] { return storedLines(*item).size() == 40; }, std::chrono::seconds(60)));

    const HighlightedLinesBlob::Lines stored = storedLines(*item);
    for (int i = 0; i < 40; ++i) {
        const AttributedText line = stored.value(HighlightedLinesBlob::lineName(preview, i));
        if (i == 1) {
            EXPECT_EQ(line.text, QString(500, u'x'));
            continue;
        }
        EXPECT_EQ(line.text, QStringLiteral("const value%1 = compute(%1);").arg(i))
            << "indentation is not kept";
        // "const" as a keyword of GitHub's light theme.
        EXPECT_EQ(line.formatAt(0).foreground().color(), QColor(QStringLiteral("#a71d5d"))) << i;
    }
    const ClipboardItemPtr stored2 = reread(*item);
    EXPECT_EQ(stored2->highlightedLinesTheme(), QStringLiteral("GitHub"));
    EXPECT_EQ(stored2->highlightedLinesIsDark(), false);
}

TEST_F(BackgroundEnrichmentTest, TheRefreshAtStartTakesOnlyItemsWithoutPreviewLinesAtMost201)
{
    // 250 one-line snippets, newest first by index; every tenth has its lines already.
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < 250; ++i) {
        ClipboardItemPtr item = storeCode(QStringLiteral("print(%1)").arg(i), i);
        if (i % 10 == 0) {
            highlights->persistLines(*item, { { 0, AttributedText::plain(QStringLiteral("kept")) } }, dark,
                HighlightTheme::github, preview);
        }
        items.append(item);
    }
    // An item with only other contexts' lines, or with a damaged blob, has no preview lines.
    highlights->persistLines(*items[1], { { 0, AttributedText::plain(QStringLiteral("row")) } }, dark,
        HighlightTheme::github, QStringLiteral("grid"));
    items[2]->setHighlightedLinesData(QByteArray("damaged"));
    // So has one whose blob is of the binary form lines were once kept in, tagged as today's.
    items[3]->setHighlightedLinesData(olderHighlightBlob());
    items[3]->setHighlightedLinesTheme(QStringLiteral("GitHub"));
    items[3]->setHighlightedLinesIsDark(dark);
    // So has one whose lines are sound but larger than any the app writes (a damaged or edited
    // store): they are never read, and are made again.
    highlights->persistLines(*items[4],
        { { 0, AttributedText::plain(QString(maxHighlightedLinesBytes / 2, u'x')) } }, dark,
        HighlightTheme::github, preview);
    ASSERT_GT(items[4]->highlightedLinesData()->size(), maxHighlightedLinesBytes);
    ASSERT_TRUE(context().save().ok);

    QSignalSpy scheduled(enrichment.get(), &BackgroundEnrichment::refreshScheduled);
    enrichment->refreshCodePreviews(false);
    ASSERT_TRUE(scheduled.wait(5000));
    EXPECT_EQ(scheduled.first().at(0).toInt(), 201);
    ASSERT_TRUE(waitForHighlights());

    int taken = 0;
    for (int i = 0; i < 250; ++i) {
        SCOPED_TRACE(i);
        const HighlightedLinesBlob::Lines lines = storedLines(*items[i]);
        const AttributedText first = lines.value(HighlightedLinesBlob::lineName(preview, 0));
        if (i % 10 == 0) {
            EXPECT_EQ(first.text, QStringLiteral("kept")) << "an item with preview lines is left as it is";
        } else if (taken < 201) {
            ++taken;
            EXPECT_EQ(first.text, QStringLiteral("print(%1)").arg(i));
        } else {
            EXPECT_TRUE(lines.isEmpty() || !lines.contains(HighlightedLinesBlob::lineName(preview, 0)))
                << "beyond the first 201";
        }
    }
    EXPECT_EQ(taken, 201);
}

TEST_F(BackgroundEnrichmentTest, AForcedRefreshTakesEveryCodeItemInTheNewTheme)
{
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < 30; ++i)
        items.append(storeCode(QStringLiteral("SELECT %1 FROM t;").arg(i), i, QStringLiteral("sql")));
    highlights->persistLines(*items[3], { { 0, AttributedText::plain(QStringLiteral("old")) } }, dark,
        HighlightTheme::github, preview);
    storeItem(ClipboardItemType::text, { .text = QStringLiteral("not code") });
    ASSERT_TRUE(context().save().ok);

    m_settings->setCodeTheme(HighlightTheme::solarized);
    QSignalSpy scheduled(enrichment.get(), &BackgroundEnrichment::refreshScheduled);
    enrichment->refreshCodePreviews(true);
    ASSERT_TRUE(scheduled.wait(5000));
    EXPECT_EQ(scheduled.first().at(0).toInt(), 30);
    ASSERT_TRUE(waitForHighlights());
    for (const ClipboardItemPtr &item : items) {
        const ClipboardItemPtr stored = reread(*item);
        EXPECT_EQ(stored->highlightedLinesTheme(), QStringLiteral("Solarized"));
        const AttributedText first = storedLines(*item).value(HighlightedLinesBlob::lineName(preview, 0));
        // SELECT in Solarized's light keyword colour.
        EXPECT_EQ(first.formatAt(0).foreground().color(), QColor(QStringLiteral("#6c71c4")));
    }
}

TEST_F(BackgroundEnrichmentTest, ARefreshEndsWithItsMonitorAndGivesWayToANewerOne)
{
    for (int i = 0; i < 100; ++i)
        storeCode(QStringLiteral("x = %1").arg(i), i);
    QSignalSpy scheduled(enrichment.get(), &BackgroundEnrichment::refreshScheduled);

    // A newer refresh replaces the first, which never finishes.
    enrichment->refreshCodePreviews(false);
    enrichment->refreshCodePreviews(true);
    ASSERT_TRUE(scheduled.wait(5000));
    EXPECT_EQ(scheduled.size(), 1);
    EXPECT_EQ(scheduled.first().at(0).toInt(), 100);
    ASSERT_TRUE(waitForHighlights());

    // The monitor goes after the first slice: the rest is never looked at.
    QSignalSpy highlighted(highlights.get(), &HighlightCacheService::linesHighlighted);
    enrichment->refreshCodePreviews(true);
    m_monitor.reset();
    EXPECT_FALSE(scheduled.wait(300));
    EXPECT_EQ(scheduled.size(), 1);
    // And asking for anything now does nothing.
    enrichment->refreshCodePreviews(true);
    enrichment->prepareCodePreview(history().first()->persistentModelID());
    ASSERT_TRUE(waitForHighlights());
    // At most the first slice (a busy machine's slice can end sooner, on its time budget).
    EXPECT_LE(highlighted.size(), BackgroundEnrichment::refreshSliceSize);
}

TEST_F(BackgroundEnrichmentTest, ACopiedPictureGetsItsLargePreview)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setImageData(QImage::fromData(png({ 1200, 600 }, Qt::red)));
    QSignalSpy enriched(enrichment.get(), &BackgroundEnrichment::itemEnriched);
    ASSERT_TRUE(copy(std::move(mime)));
    const ClipboardItemPtr item = newest();
    ASSERT_EQ(item->type(), ClipboardItemType::media);
    ASSERT_TRUE(enriched.wait(10000));
    EXPECT_EQ(enriched.first().at(0).value<PersistentIdentifier>(), item->persistentModelID());

    const ClipboardItemPtr stored = reread(*item);
    const QImage picture = ImageExtraction::decodeImage(stored->mediaPreviewData().value_or(QByteArray()));
    EXPECT_EQ(picture.size(), QSize(400, 400));
    // Cropped to the middle: white on the left, red on the right.
    EXPECT_EQ(picture.pixelColor(100, 200), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(300, 200), QColor(Qt::red));
}

TEST_F(BackgroundEnrichmentTest, APreviewIsWrittenOnlyIntoAMediaItemStillThere)
{
    struct Case
    {
        const char *name;
        std::function<void(ClipboardItem &)> meanwhile;
        bool written;
    };
    const Case cases[] = {
        { "untouched", [](ClipboardItem &) {}, true },
        { "deleted", [this](ClipboardItem &item) { context().remove(item.shared_from_this()); }, false },
        { "no longer media", [](ClipboardItem &item) { item.setItemType(QStringLiteral("text")); }, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ClipboardItemPtr item = storeItem(ClipboardItemType::media,
            { .mediaImageData = png({ 300, 300 }, Qt::blue), .mediaSubtypeRaw = QStringLiteral("image") });
        // The preview is not ready before the change meanwhile (else it is written at once).
        HeldThreadPool pool;
        pool.hold();
        QFuture<void> done = enrichment->generateMediaPreview(item->persistentModelID());
        c.meanwhile(*item);
        ASSERT_TRUE(context().save().ok);
        pool.release();
        ASSERT_TRUE(finished(done));
        EXPECT_EQ(item->mediaPreviewData().has_value(), c.written);
        EXPECT_FALSE(context().hasChanges());
    }
    // Nothing to make it from.
    const ClipboardItemPtr empty
        = storeItem(ClipboardItemType::media, { .mediaSubtypeRaw = QStringLiteral("image") });
    ASSERT_TRUE(finished(enrichment->generateMediaPreview(empty->persistentModelID())));
    EXPECT_FALSE(empty->mediaPreviewData());
}

TEST_F(BackgroundEnrichmentTest, AnAudioFileGetsItsCoverArt)
{
    const QUrl song
        = writeTestMp3(m_folder->filePath(QStringLiteral("song.mp3")), { png({ 300, 300 }, Qt::green) });
    const QUrl silent = writeTestMp3(m_folder->filePath(QStringLiteral("silent.mp3")), {});
    const ClipboardItemPtr withCover = storeItem(ClipboardItemType::media,
        { .fileURL = song,
            .mediaPreviewData = QByteArray("old"),
            .mediaSubtypeRaw = QStringLiteral("audio") });
    const ClipboardItemPtr without = storeItem(ClipboardItemType::media,
        { .fileURL = silent,
            .mediaPreviewData = QByteArray("old"),
            .mediaSubtypeRaw = QStringLiteral("audio") });

    ASSERT_TRUE(finished(enrichment->loadAudioArtworkTask(withCover->persistentModelID(), song)));
    ASSERT_TRUE(finished(enrichment->loadAudioArtworkTask(without->persistentModelID(), silent)));
    const ClipboardItemPtr stored = reread(*withCover);
    EXPECT_EQ(ImageExtraction::decodeImage(stored->mediaThumbnailData().value_or(QByteArray())).size(),
        QSize(80, 80));
    EXPECT_EQ(ImageExtraction::decodeImage(stored->mediaPreviewData().value_or(QByteArray())).size(),
        QSize(400, 400));
    EXPECT_FALSE(reread(*without)->mediaThumbnailData());
    EXPECT_EQ(reread(*without)->mediaPreviewData(), QByteArray("old"));

    // A thumbnail alone leaves the preview as it was.
    enrichment->updateMediaThumbnails(without->persistentModelID(), QByteArray("thumb"), std::nullopt);
    EXPECT_EQ(reread(*without)->mediaThumbnailData(), QByteArray("thumb"));
    EXPECT_EQ(reread(*without)->mediaPreviewData(), QByteArray("old"));
}

} // namespace
