// The capture on a real X server: other processes copy (xclip, and a helper process that
// offers several flavours at once or stops answering), and the store must hold exactly
// the expected items soon after each copy.
#include "ExternalClipboard.h"

#include <cstdio>

#include "capture/ClipboardMonitor.h"
#include "capture/ImageExtraction.h"
#include "model/AppSettings.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/SystemPasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "support/Artefacts.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

class ClipboardCaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        QString error;
        m_container = ModelContainer::open(m_folder.filePath(QStringLiteral("store/default.store")), &error);
        ASSERT_TRUE(m_container) << error.toStdString();
        m_defaults = std::make_unique<UserDefaults>(m_folder.filePath(QStringLiteral("defaults.json")));
        m_settings = std::make_unique<AppSettings>(*m_defaults);
        m_settings->setRemoveTrackingParameters(true);
        m_pasteboard = std::make_unique<SystemPasteboard>();
        m_workspace.frontmost
            = RunningApplication { QStringLiteral("org.kde.kate"), QStringLiteral("Kate"), 1, 1 };
        m_monitor = std::make_unique<ClipboardMonitor>(
            *m_container, *m_pasteboard, m_workspace, *m_settings, *m_defaults);
        m_discarded = std::make_unique<QSignalSpy>(m_monitor.get(), &ClipboardMonitor::changeDiscarded);
        m_monitor->startMonitoring();
    }
    void TearDown() override { m_monitor.reset(); }

    QList<ClipboardItemPtr> items()
    {
        return m_container->mainContext()->fetch(FetchDescriptor::newestFirst()).items;
    }

    void xclip(const QByteArray &data, const QString &type = QString())
    {
        ASSERT_TRUE(m_external.copyWithXclip(data, type));
        m_copied.start();
    }

    void ownerCopy(const QMap<QString, QByteArray> &flavours, bool hang = false)
    {
        ASSERT_TRUE(m_external.copyFlavours(flavours, hang));
        m_copied.start();
    }

    // Waits for the store to hold `count` items. How soon they come is printed (the benchmarks
    // measure it); a busy machine may be slow, so the wait is long.
    ::testing::AssertionResult storedAfterCopy(qsizetype count)
    {
        if (waitUntil([&] { return items().size() == count; }, std::chrono::seconds(20))) {
            std::printf(
                "[ capture ] %lld items stored %lld ms after the copy\n", qint64(count), m_copied.elapsed());
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << items().size() << " items, expected " << count << " ("
                                             << m_copied.elapsed() << " ms after the copy)";
    }

    // The copy was read and left nothing; the store still holds `count` items.
    ::testing::AssertionResult discarded(qsizetype count)
    {
        const qsizetype before = m_discarded->size();
        if (!waitUntil([&] { return m_discarded->size() > before; }, std::chrono::milliseconds(2500)))
            return ::testing::AssertionFailure() << "the change was not read";
        if (items().size() != count)
            return ::testing::AssertionFailure() << items().size() << " items, expected " << count;
        return ::testing::AssertionSuccess();
    }

    QByteArray png(int width, int height, bool noise)
    {
        return noise ? noisyPng(QSize(width, height))
                     : encodedColour(QSize(width, height), QColor(30, 120, 200));
    }

    // The steps of one history, in order: each expects the items the steps before it stored.

    // Plain text is stored; HTML alone is not; HTML with text is kept with the text.
    void copyTextAndHtml()
    {
        xclip(QByteArrayLiteral("Hello from another application"));
        ASSERT_TRUE(storedAfterCopy(1));
        EXPECT_EQ(items()[0]->type(), ClipboardItemType::text);
        EXPECT_EQ(items()[0]->textContent(), QStringLiteral("Hello from another application"));
        EXPECT_EQ(items()[0]->sourceAppBundleIdentifier(), QStringLiteral("org.kde.kate"));

        // HTML alone has no text to keep.
        xclip(QByteArrayLiteral("<b>bold</b>"), QStringLiteral("text/html"));
        EXPECT_TRUE(discarded(1));

        // HTML with text, as design tools copy it.
        const QByteArray figma
            = QByteArrayLiteral("<span data-metadata=\"<!--(figma)AAA(/figma)-->\">Frame 1</span>");
        ownerCopy({ { QStringLiteral("text/plain"), QByteArrayLiteral("Frame 1") },
            { QStringLiteral("text/html"), figma } });
        ASSERT_TRUE(storedAfterCopy(2));
        EXPECT_EQ(items()[0]->textContent(), QStringLiteral("Frame 1"));
        EXPECT_EQ(items()[0]->htmlContent(), QString::fromUtf8(figma));
    }

    // A link loses its tracking parameters; a colour keeps the notation it came in.
    void copyALinkAndAColour()
    {
        xclip(QByteArrayLiteral("https://example.com/page?id=3&utm_source=newsletter&utm_medium=email"));
        ASSERT_TRUE(storedAfterCopy(3));
        EXPECT_EQ(items()[0]->type(), ClipboardItemType::link);
        EXPECT_EQ(items()[0]->textContent(), QStringLiteral("https://example.com/page?id=3"));

        xclip(QByteArrayLiteral("#FF8800"));
        ASSERT_TRUE(storedAfterCopy(4));
        EXPECT_EQ(items()[0]->type(), ClipboardItemType::color);
        EXPECT_EQ(items()[0]->colorHex(), QStringLiteral("#FF8800"));
        EXPECT_EQ(items()[0]->originalColorFormat(), QStringLiteral("hex"));
    }

    // Two files, one with a space in its name: one item, the second file listed with it.
    void copyTwoFiles()
    {
        QStringList paths;
        for (const char *name : { "report.pdf", "notes with space.txt" }) {
            QFile file(m_folder.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            paths.append(file.fileName());
        }
        const QUrl first = QUrl::fromLocalFile(paths[0]);
        const QUrl second = QUrl::fromLocalFile(paths[1]);
        xclip(first.toEncoded() + "\r\n" + second.toEncoded() + "\r\n", QStringLiteral("text/uri-list"));
        ASSERT_TRUE(storedAfterCopy(5));
        EXPECT_EQ(items()[0]->type(), ClipboardItemType::file);
        EXPECT_EQ(items()[0]->fileURL(), first);
        EXPECT_EQ(
            items()[0]->additionalFileURLStrings(), QStringList { second.toString(QUrl::FullyEncoded) });
    }

    // A picture is stored with its thumbnail; a password marked by its password manager is not.
    void copyAPictureAndAPassword()
    {
        const QByteArray picture = png(640, 480, false);
        xclip(picture, QStringLiteral("image/png"));
        ASSERT_TRUE(storedAfterCopy(6));
        EXPECT_EQ(items()[0]->type(), ClipboardItemType::media);
        EXPECT_EQ(items()[0]->mediaImageData(), picture);
        EXPECT_EQ(
            ImageExtraction::decodeImage(items()[0]->mediaThumbnailData().value_or(QByteArray())).size(),
            QSize(80, 80));

        ownerCopy({ { QStringLiteral("text/plain"), QByteArrayLiteral("hunter2") },
            { QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret") } });
        EXPECT_TRUE(discarded(6));
    }

    void writeArtefact()
    {
        QFile file(artefactPath(QStringLiteral("clipboard-capture.txt")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            return;
        QTextStream out(&file);
        for (const ClipboardItemPtr &item : items())
            out << item->itemType() << '\t' << item->previewText().value_or(QString()).left(80) << '\n';
    }

    QTemporaryDir m_folder;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<SystemPasteboard> m_pasteboard;
    FakeWorkspace m_workspace;
    std::unique_ptr<ClipboardMonitor> m_monitor;
    std::unique_ptr<QSignalSpy> m_discarded;
    ExternalClipboard m_external;
    QElapsedTimer m_copied;
};

} // namespace

TEST_F(ClipboardCaptureTest, CopiesFromOtherApplicationsReachTheStore)
{
    ASSERT_NO_FATAL_FAILURE(copyTextAndHtml());
    ASSERT_NO_FATAL_FAILURE(copyALinkAndAColour());
    ASSERT_NO_FATAL_FAILURE(copyTwoFiles());
    ASSERT_NO_FATAL_FAILURE(copyAPictureAndAPassword());

    const QList<ClipboardItemPtr> stored = items();
    QStringList kinds;
    for (const ClipboardItemPtr &item : stored)
        kinds.append(item->itemType());
    EXPECT_EQ(kinds, (QStringList { "media", "file", "color", "link", "text", "text" }));
    for (const ClipboardItemPtr &item : stored)
        EXPECT_NE(item->textContent(), QStringLiteral("hunter2"));
    writeArtefact();
}

TEST_F(ClipboardCaptureTest, LargePicturesArriveWhole)
{
    // Several megabytes: sent in pieces (the INCR protocol).
    const QByteArray picture = png(1400, 1000, true);
    ASSERT_GT(picture.size(), 3'000'000);
    xclip(picture, QStringLiteral("image/png"));
    ASSERT_TRUE(storedAfterCopy(1));
    EXPECT_EQ(items()[0]->mediaImageData(), picture);
}

TEST_F(ClipboardCaptureTest, AHungOwnerNeverFreezesTheApp)
{
    // The event loop keeps turning while the owner does not answer.
    QElapsedTimer beat;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        if (beat.isValid())
            longestGap = std::max(longestGap, beat.restart());
        else
            beat.start();
    });
    heartbeat.start();

    ownerCopy({ { QStringLiteral("text/plain"), QByteArrayLiteral("never delivered") } }, true);
    waitUntil([] { return false; }, std::chrono::milliseconds(2000));
    heartbeat.stop();
    // A read that waited for the owner on this thread would stand still for the whole 2 s (or
    // Qt's own 5 s clipboard time-out); the bound leaves room for a loaded machine's scheduling.
    EXPECT_LT(longestGap, 1000) << "the longest the event loop stood still, in ms";
    EXPECT_TRUE(items().isEmpty());

    // Once someone else copies, the capture goes on.
    xclip(QByteArrayLiteral("after the hung owner"));
    ASSERT_TRUE(storedAfterCopy(1));
    EXPECT_EQ(items()[0]->textContent(), QStringLiteral("after the hung owner"));
}

TEST_F(ClipboardCaptureTest, AProgramQuittingAndItsCopyPutBackAreNoChanges)
{
    QList<ClipboardItemPtr> putBack;
    QObject::connect(m_monitor.get(), &ClipboardMonitor::copyOutlivedItsProgram,
        [&](const ClipboardItemPtr &item) { putBack.append(item); });
    // xclip answers the capture's request for the text and quits.
    ASSERT_TRUE(m_external.copyWithXclip(QByteArrayLiteral("outlives xclip"), QString(), 1));
    m_copied.start();
    ASSERT_TRUE(storedAfterCopy(1));
    ASSERT_TRUE(waitUntil([&] { return putBack.size() == 1; })) << "the copy was not offered back";
    const qint64 count = m_pasteboard->changeCount();
    EXPECT_EQ(count, m_monitor->lastChangeCount()) << "the program's quitting was counted as a change";

    auto contents = std::make_unique<QMimeData>();
    contents->setText(putBack.first()->textContent().value_or(QString()));
    ASSERT_TRUE(m_pasteboard->restoreContents(std::move(contents), count));
    EXPECT_EQ(m_pasteboard->changeCount(), count) << "the copy put back was counted as a change";
    EXPECT_TRUE(m_pasteboard->ownsContents());
    // Read by another process while this one answers it.
    QProcess reader;
    reader.start(QStringLiteral("xclip"),
        { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o") });
    ASSERT_TRUE(waitUntil([&] { return reader.state() == QProcess::NotRunning; }));
    EXPECT_EQ(reader.readAllStandardOutput(), QByteArrayLiteral("outlives xclip"));
    // Once the clipboard has an owner, nothing is put back over it.
    EXPECT_FALSE(m_pasteboard->restoreContents(std::make_unique<QMimeData>(), count));
    EXPECT_EQ(items().size(), 1);
}
