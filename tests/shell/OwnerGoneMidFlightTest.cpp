// Services that hand work to other threads and take the answer back on the main thread may be
// destroyed before the answer comes (the app quits, a window goes, a test ends). The answer then
// finds no one and is dropped: no abort, no use of the dead service, nothing written for it.
#include "capture/BackgroundEnrichment.h"
#include "capture/CaptureTestSupport.h"
#include "capture/MediaTestSupport.h"
#include "common/NotificationCenter.h"
#include "detection/HighlightCacheService.h"
#include "enrichment/FileAvailabilityService.h"
#include "items/ThumbnailCache.h"
#include "platform/FileBookmark.h"
#include "platform/FileEventStream.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/UserFiles.h"
#include "platform/VolumeMonitor.h"
#include "shell/PasteService.h"
#include "support/HeldThreadPool.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <thread>
#include <type_traits>

namespace {

// A code detector and language network that answer when the test says so, from a worker thread.
class HeldCodeClassifier final : public CodeClassifier
{
public:
    bool asked = false;

    QFuture<Detection> detect(const QString &) override
    {
        asked = true;
        m_detection.start();
        return m_detection.future();
    }
    QFuture<std::optional<LanguageGuess>> rankLanguages(const QString &) override
    {
        m_ranking.start();
        return m_ranking.future();
    }
    void answerDetection()
    {
        std::thread([this] {
            m_detection.addResult(Detection { .isCode = true, .language = QStringLiteral("python") });
            m_detection.finish();
        }).join();
    }
    void answerRanking()
    {
        std::thread([this] {
            m_ranking.addResult(LanguageGuess { QStringLiteral("python"), 0.9f });
            m_ranking.finish();
        }).join();
    }

private:
    QPromise<Detection> m_detection;
    QPromise<std::optional<LanguageGuess>> m_ranking;
};

QByteArray largePng()
{
    return noisyPng(QSize(600, 400));
}

// Lets everything started on the pool or on UserFiles' threads end, and the main thread take what it was
// handed.
void settle()
{
    for (int round = 0; round < 3; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        // Work on the user's files runs on threads of its own.
        EXPECT_TRUE(waitUntil([] { return UserFiles::shared().unfinished() == 0; }));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

class OwnerGoneMidFlightTest : public CaptureTest
{
protected:
    // What a case started: how its owner goes, what then ends the work it waited for (besides
    // the pool going on) and what must hold afterwards.
    struct Flight
    {
        std::function<void()> destroyOwner;
        std::function<void()> land;
        std::function<void()> check;
    };

    void TearDown() override
    {
        m_enrichment.reset();
        m_highlights.reset();
        CaptureTest::TearDown();
    }

    // A capture of a long text copied now, up to the moment the detector is asked.
    void captureUntilTheDetectorIsAsked()
    {
        m_classifier2 = std::make_unique<HeldCodeClassifier>();
        m_monitor->setCodeClassifier(m_classifier2.get());
        m_pasteboard.writeContents(text(QStringLiteral("def f(x):\n    return x + 1\n")));
        m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::minimumChangeIntervalMs + 10));
        m_monitor->checkForChanges();
        ASSERT_TRUE(waitUntil([this] { return m_classifier2->asked; }));
    }
    std::function<void()> destroyMonitor()
    {
        return [this] { m_monitor.reset(); };
    }
    std::function<void()> nothingStored()
    {
        return [this] { EXPECT_TRUE(history().isEmpty()); };
    }
    void startEnrichment()
    {
        m_highlights = std::make_unique<HighlightCacheService>();
        m_highlights->setSettings(m_settings.get());
        m_enrichment = std::make_unique<BackgroundEnrichment>(*m_monitor, *m_highlights, *m_settings);
        QSignalSpy scheduled(m_enrichment.get(), &BackgroundEnrichment::refreshScheduled);
        ASSERT_TRUE(scheduled.wait(2000));
    }

    Flight thumbnailCacheDecodingALargePicture()
    {
        auto cache = std::make_shared<std::unique_ptr<ThumbnailCache>>(std::make_unique<ThumbnailCache>());
        const ClipboardItemPtr picture = ClipboardItem::create(ClipboardItemType::media,
            { .mediaImageData = largePng(), .mediaSubtypeRaw = QStringLiteral("image") });
        m_pool.hold();
        EXPECT_TRUE((*cache)->thumbnail(*picture, QSize(60, 60)).isNull());
        EXPECT_TRUE((*cache)->isDecoding());
        return Flight { [cache] { cache->reset(); }, {}, {} };
    }

    Flight pasteServiceEncodingAPictureToCopy()
    {
        auto paste = std::make_shared<std::unique_ptr<PasteService>>(
            std::make_unique<PasteService>(m_pasteboard, m_keyboard, m_workspace));
        const ClipboardItemPtr picture = ClipboardItem::create(ClipboardItemType::media,
            { .mediaImageData = largePng(), .mediaSubtypeRaw = QStringLiteral("image") });
        const qint64 before = m_pasteboard.changeCount();
        m_pool.hold();
        EXPECT_TRUE((*paste)->copyToPasteboard(picture, false));
        return Flight { [paste] { paste->reset(); }, {},
            [this, before] { EXPECT_EQ(m_pasteboard.changeCount(), before) << "written after all"; } };
    }

    Flight monitorReadingACopy()
    {
        m_pasteboard.writeContents(text(QStringLiteral("read in the background")));
        m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::minimumChangeIntervalMs + 10));
        m_pool.hold();
        m_monitor->checkForChanges();
        return Flight { destroyMonitor(), {}, nothingStored() };
    }

    Flight monitorPreparingAText()
    {
        PasteboardSnapshot snapshot;
        snapshot.types = { PasteboardType::plainText };
        snapshot.plainText = QStringLiteral("prepared in the background");
        m_pool.hold();
        const QFuture<std::optional<ClipboardMonitor::CapturedContent>> captured
            = m_monitor->processClipboardContent(snapshot);
        return Flight { destroyMonitor(), {}, [captured] {
                           EXPECT_TRUE(captured.isFinished()) << "left waiting for ever";
                           EXPECT_EQ(captured.resultCount(), 0);
                       } };
    }

    Flight monitorWaitingForTheCodeDetector()
    {
        captureUntilTheDetectorIsAsked();
        return Flight { destroyMonitor(), [this] { m_classifier2->answerDetection(); }, nothingStored() };
    }

    Flight monitorWaitingForTheLanguageRanking()
    {
        captureUntilTheDetectorIsAsked();
        m_classifier2->answerDetection();
        settle();
        return Flight { destroyMonitor(), [this] { m_classifier2->answerRanking(); }, nothingStored() };
    }

    Flight enrichmentMakingAPicturesPreview()
    {
        startEnrichment();
        const ClipboardItemPtr item = storeItem(ClipboardItemType::media,
            { .mediaImageData = largePng(), .mediaSubtypeRaw = QStringLiteral("image") });
        m_pool.hold();
        const QFuture<void> done = m_enrichment->generateMediaPreview(item->persistentModelID());
        return Flight { [this] { m_enrichment.reset(); }, {},
            [item, done] {
                EXPECT_TRUE(done.isFinished());
                EXPECT_FALSE(item->mediaPreviewData());
            } };
    }

    Flight enrichmentReadingAnAudioFilesCover()
    {
        startEnrichment();
        const QUrl song = writeTestMp3(m_files.filePath(QStringLiteral("song.mp3")), { largePng() });
        const ClipboardItemPtr item = storeItem(
            ClipboardItemType::media, { .fileURL = song, .mediaSubtypeRaw = QStringLiteral("audio") });
        m_pool.hold();
        const QFuture<void> done = m_enrichment->loadAudioArtworkTask(item->persistentModelID(), song);
        return Flight { [this] { m_enrichment.reset(); }, {},
            [item, done] {
                EXPECT_TRUE(done.isFinished());
                EXPECT_FALSE(item->mediaThumbnailData());
            } };
    }

    Flight highlightCacheMergingAnItemsLines()
    {
        auto cache = std::make_shared<std::unique_ptr<HighlightCacheService>>(
            std::make_unique<HighlightCacheService>());
        (*cache)->setSettings(m_settings.get());
        const ClipboardItemPtr item = storeItem(ClipboardItemType::code, { .text = QStringLiteral("  \n") });
        m_pool.hold();
        // Blank lines never reach the engine: only the merge runs in the background.
        (*cache)->highlightLines(item, { { 0, QStringLiteral("  ") } }, std::nullopt, false,
            HighlightTheme::github, HighlightCacheService::previewContext(),
            HighlightCacheService::Priority::visible);
        EXPECT_EQ((*cache)->jobCount(), 1);
        return Flight { [cache] { cache->reset(); }, {},
            [item] { EXPECT_FALSE(item->highlightedLinesData()); } };
    }

    Flight fileAvailabilityLookingForARenamedFile()
    {
        const QString before = m_files.filePath(QStringLiteral("notes.txt"));
        QFile file(before);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        const QUrl url = QUrl::fromLocalFile(before);
        const ClipboardItemPtr item = ClipboardItem::create(
            ClipboardItemType::file, { .fileURL = url, .fileBookmarkData = FileBookmark::create(url) });
        EXPECT_TRUE(QFile::rename(before, m_files.filePath(QStringLiteral("notes (old).txt"))));
        FileAvailabilityService::Dependencies dependencies;
        dependencies.fileEvents = std::make_unique<FakeFileEventStream>();
        dependencies.volumes = std::make_unique<FakeVolumeMonitor>();
        dependencies.fileExists = [](const QString &path) { return QFileInfo::exists(path); };
        auto service = std::make_shared<std::unique_ptr<FileAvailabilityService>>(
            std::make_unique<FileAvailabilityService>(std::move(dependencies)));
        auto posts = std::make_shared<int>(0);
        auto observer = std::make_shared<QObject>();
        NotificationCenter::defaultCenter().addObserver(
            Notifications::volumesDidChange, observer.get(), [posts](const QVariantMap &) { ++*posts; });
        m_pool.hold();
        EXPECT_FALSE((*service)->isAvailable(*item));
        return Flight { [service] { service->reset(); }, {},
            [posts, observer] { EXPECT_EQ(*posts, 0) << "told the panel for a service that went"; } };
    }

    HeldThreadPool m_pool;
    std::unique_ptr<HeldCodeClassifier> m_classifier2;
    std::unique_ptr<HighlightCacheService> m_highlights;
    std::unique_ptr<BackgroundEnrichment> m_enrichment;
    FakeSyntheticKeyboard m_keyboard;
    QTemporaryDir m_files;
};

} // namespace

TEST_F(OwnerGoneMidFlightTest, AnAnswerForAServiceThatWentIsDropped)
{
    // The test's own class: the table names the fixture's protected flights through it.
    using Self = std::remove_pointer_t<decltype(this)>;
    const struct
    {
        const char *name;
        std::function<Flight(Self &)> takeOff;
    } cases[] = {
        { "thumbnail cache decoding a large picture", &Self::thumbnailCacheDecodingALargePicture },
        { "paste service encoding a picture to copy", &Self::pasteServiceEncodingAPictureToCopy },
        { "monitor reading a copy", &Self::monitorReadingACopy },
        { "monitor preparing a text", &Self::monitorPreparingAText },
        { "monitor waiting for the code detector", &Self::monitorWaitingForTheCodeDetector },
        { "monitor waiting for the language ranking", &Self::monitorWaitingForTheLanguageRanking },
        { "enrichment making a picture's preview", &Self::enrichmentMakingAPicturesPreview },
        { "enrichment reading an audio file's cover", &Self::enrichmentReadingAnAudioFilesCover },
        { "highlight cache merging an item's lines", &Self::highlightCacheMergingAnItemsLines },
        { "file availability looking for a renamed file", &Self::fileAvailabilityLookingForARenamedFile },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        resetCapture();
        Flight flight = test.takeOff(*this);
        ASSERT_FALSE(HasFatalFailure());
        flight.destroyOwner();
        m_pool.release();
        if (flight.land)
            flight.land();
        settle();
        if (flight.check)
            flight.check();
        m_enrichment.reset();
        m_highlights.reset();
    }
}
