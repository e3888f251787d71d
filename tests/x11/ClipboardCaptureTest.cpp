// The capture on a real X server: other processes copy (xclip, and a helper process that
// offers several flavours at once or stops answering), and the store must hold exactly
// the expected items soon after each copy.
#include "ExternalClipboard.h"
#include "RawClipboardOwner.h"

#include "capture/ClipboardMonitor.h"
#include "capture/ImageExtraction.h"
#include "model/AppSettings.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/FileListForms.h"
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
#include <functional>

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

    // Waits for the store's newest item to be the text (the items before it vary).
    ::testing::AssertionResult storedNewest(const QString &text)
    {
        const auto newest = [&] {
            const QList<ClipboardItemPtr> stored = items();
            return stored.isEmpty() ? QString() : stored.first()->textContent().value_or(QString());
        };
        if (waitUntil([&] { return newest() == text; }, std::chrono::seconds(20)))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the newest item is \"" << newest().toStdString() << '"';
    }

    // A text as a raw owner offers it.
    static QList<RawClipboardOwner::Target> textTarget(const QByteArray &text)
    {
        return { { QStringLiteral("UTF8_STRING"), text } };
    }

    // Every change counted so far was taken up by the poll, and its capture has ended.
    bool captureSettled()
    {
        return waitUntil(
            [&] {
                return m_monitor->lastChangeCount() == m_pasteboard->changeCount()
                    && m_monitor->captureStepsUnderWay() == 0;
            },
            std::chrono::seconds(20));
    }

    // A program copies the text and quits once the capture has stored it; the copy the monitor
    // then offers to put back is added to `offered`. The time the program took the clipboard
    // goes to `tookAt`.
    void keepAndQuit(const QString &text, QList<ClipboardItemPtr> &offered, quint32 *tookAt = nullptr)
    {
        // A reading still under way for an earlier change would take this copy for it.
        ASSERT_TRUE(captureSettled());
        RawClipboardOwner program;
        ASSERT_TRUE(program.copy(textTarget(text.toUtf8())));
        ASSERT_TRUE(storedNewest(text));
        if (tookAt)
            *tookAt = ExternalClipboard::read(QStringLiteral("TIMESTAMP")).trimmed().toUInt();
        const qsizetype before = offered.size();
        program.stop();
        ASSERT_TRUE(waitUntil([&] { return offered.size() > before; }, std::chrono::seconds(20)))
            << "the copy was not offered back";
        EXPECT_EQ(offered.last()->textContent(), text);
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
    QList<ClipboardItemPtr> offered;
    QObject::connect(m_monitor.get(), &ClipboardMonitor::copyOutlivedItsProgram,
        [&](const ClipboardItemPtr &item) { offered.append(item); });
    using Self = std::remove_pointer_t<decltype(this)>;
    // What another program does after the one whose copy the app kept quit, before the copy is
    // put back (`other`, `tookAt`: when the one that quit took the clipboard). Unless it waits for
    // the app, the app has not heard of it: its event loop does not turn.
    const struct
    {
        const char *name;
        std::function<void(Self &, RawClipboardOwner &other, quint32 tookAt)> meanwhile;
        // The clipboard's text afterwards (empty: nobody owns it); the kept copy's after nothing.
        QByteArray holds;
    } cases[] = {
        { "nothing", {}, {} },
        { "a program copies and quits",
            [&](Self &, RawClipboardOwner &other, quint32) {
                ASSERT_TRUE(other.copy(textTarget("copied since")));
                other.stop();
            },
            "" },
        { "a program copies naming the time the quit one took the clipboard",
            [&](Self &, RawClipboardOwner &other, quint32 tookAt) {
                ASSERT_TRUE(other.copyAt(tookAt, textTarget("copied naming an earlier time")));
            },
            "copied naming an earlier time" },
        { "a program copies, is kept and quits",
            [&](Self &t, RawClipboardOwner &, quint32) {
                t.keepAndQuit(QStringLiteral("kept since"), offered);
            },
            "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString kept = QStringLiteral("kept, %1 since").arg(QLatin1String(c.name));
        quint32 tookAt = 0;
        ASSERT_NO_FATAL_FAILURE(keepAndQuit(kept, offered, &tookAt));
        const qint64 count = m_pasteboard->changeCount();
        EXPECT_EQ(count, m_monitor->lastChangeCount()) << "the program's quitting was counted as a change";
        RawClipboardOwner other;
        if (c.meanwhile) {
            ASSERT_NO_FATAL_FAILURE(c.meanwhile(*this, other, tookAt));
        }

        auto contents = std::make_unique<QMimeData>();
        contents->setText(kept);
        const qint64 before = m_pasteboard->changeCount();
        EXPECT_EQ(m_pasteboard->restoreContents(std::move(contents), count), !c.meanwhile);
        EXPECT_EQ(m_pasteboard->changeCount(), before) << "the copy put back was counted as a change";
        EXPECT_EQ(m_pasteboard->ownsContents(), !c.meanwhile);
        // Read by another process, this one answering it when it is the owner.
        EXPECT_EQ(
            ExternalClipboard::read(QStringLiteral("UTF8_STRING")), c.meanwhile ? c.holds : kept.toUtf8());
        // Once the clipboard has an owner, nothing is put back over it.
        EXPECT_FALSE(m_pasteboard->restoreContents(std::make_unique<QMimeData>(), count));
    }
}

TEST_F(ClipboardCaptureTest, AProgramTakingTheClipboardNamingTheTimeTheAppTookItMakesACopy)
{
    QList<ClipboardItemPtr> offered;
    QObject::connect(m_monitor.get(), &ClipboardMonitor::copyOutlivedItsProgram,
        [&](const ClipboardItemPtr &item) { offered.append(item); });
    using Self = std::remove_pointer_t<decltype(this)>;
    const QByteArray files = "file:///home/ann/a.txt\nfile:///home/ann/b.png\n";
    // How the app comes to own the clipboard.
    const struct
    {
        const char *name;
        std::function<void(Self &)> takeClipboard;
    } cases[] = {
        { "a text written by the app",
            [](Self &t) {
                auto text = std::make_unique<QMimeData>();
                text->setText(QStringLiteral("written by the app"));
                t.m_monitor->setIgnoreNextChange(true);
                t.m_pasteboard->writeContents(std::move(text));
            } },
        { "a list of files written by the app",
            [&](Self &t) {
                t.m_monitor->setIgnoreNextChange(true);
                t.m_pasteboard->writeContents(
                    std::make_unique<FileListMimeData>(std::make_shared<const FileListForms>(files)));
            } },
        { "a copy put back after its program quit",
            [&](Self &t) {
                ASSERT_NO_FATAL_FAILURE(t.keepAndQuit(QStringLiteral("put back"), offered));
                auto contents = std::make_unique<QMimeData>();
                contents->setText(QStringLiteral("put back"));
                ASSERT_TRUE(
                    t.m_pasteboard->restoreContents(std::move(contents), t.m_pasteboard->changeCount()));
            } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(c.takeClipboard(*this));
        ASSERT_TRUE(m_pasteboard->ownsContents());
        bool number = false;
        const quint32 tookAt = ExternalClipboard::read(QStringLiteral("TIMESTAMP")).trimmed().toUInt(&number);
        ASSERT_TRUE(number && tookAt != 0) << "the app does not answer TIMESTAMP";

        // The server refuses a time before the clipboard's last change and takes that time itself.
        const QString text = QStringLiteral("taken at the app's time, after %1").arg(QLatin1String(c.name));
        const QList<RawClipboardOwner::Target> copy = textTarget(text.toUtf8());
        RawClipboardOwner earlier;
        EXPECT_FALSE(earlier.copyAt(tookAt - 1, copy)) << "the app answers TIMESTAMP with a later time";
        RawClipboardOwner sameTime;
        ASSERT_TRUE(sameTime.copyAt(tookAt, copy)) << "the app answers TIMESTAMP with an earlier time";
        EXPECT_TRUE(storedNewest(text));
        EXPECT_FALSE(m_pasteboard->ownsContents());
        EXPECT_EQ(ExternalClipboard::read(QStringLiteral("UTF8_STRING")), text.toUtf8());
    }
}
