// What the capture does with copies that are hostile, incomplete or too large, and with a
// store that cannot take a copy: nothing freezes, nothing secret or partial is kept, and no
// copy is lost without a word.
#include "CaptureTestSupport.h"

#include "capture/CaptureLimits.h"
#include "model/SqliteConnection.h"
#include "support/SmallDisk.h"
#include "support/TestPictures.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <sqlite3.h>

namespace {

// A clipboard that hands out a reading set by the test, as a real owner could leave it.
class ScriptedPasteboard final : public Pasteboard
{
    Q_OBJECT
public:
    PasteboardContents reading;
    qint64 count = 0;
    // What the last reading was told to take at most.
    mutable PasteboardReadLimits limits;

    qint64 changeCount() const override { return count; }
    bool ownsContents() const override { return false; }
    QStringList types() const override { return reading.types; }
    std::optional<QByteArray> data(const QString &type) const override { return reading.value(type); }
    void writeContents(std::unique_ptr<QMimeData>) override { ++count; }
    void clearContents() override { ++count; }
    QFuture<PasteboardContents> readContents(
        const QList<QStringList> &, const PasteboardReadLimits &asked) const override
    {
        limits = asked;
        return QtFuture::makeReadyFuture(reading);
    }
};

QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->generate());
    return bytes;
}

class CaptureHardeningTest : public CaptureTest
{
protected:
    // Reads what the scripted clipboard holds as a new change; true when it was discarded.
    bool readScripted(ScriptedPasteboard &scripted)
    {
        const qsizetype discarded = m_discarded->size();
        const qsizetype saved = m_saved->size();
        ++scripted.count;
        m_clock.advance(std::chrono::seconds(1));
        m_monitor->checkForChanges();
        finishCapture(discarded + saved);
        return m_discarded->size() > discarded;
    }

    ClipboardItemPtr saveItem(ClipboardItemType type, const ClipboardItem::Content &content)
    {
        ClipboardItemPtr item = ClipboardItem::create(type, content);
        m_monitor->saveClipboardItem(item, false, std::nullopt);
        return item;
    }

    QStringList storedTexts()
    {
        QStringList texts;
        for (const ClipboardItemPtr &item : history())
            texts.append(item->textContent().value_or(QStringLiteral("<picture>")));
        return texts;
    }

    // A store that fills a filesystem of 3 MB where the test may make one, else a store that
    // may not grow by more than about 800 KB.
    void useStoreOnAFullDisk(const SmallDisk &disk)
    {
        RecordProperty("disk", disk.isMounted() ? "a 3 MB filesystem" : "a page limit");
        if (disk.isMounted()) {
            useStoreAt(disk.path() + QStringLiteral("/Tindlewick/default.store"));
            return;
        }
        useStoreAt(storePath());
        SqliteConnection raw;
        ASSERT_TRUE(raw.open(storePath(), SQLITE_OPEN_READONLY));
        SqliteStatement pages = raw.prepare(QStringLiteral("PRAGMA page_count"));
        ASSERT_TRUE(pages.step());
        const qint64 limit = pages.int64(0) + 200; // about 800 KB of room
        useStoreAt(storePath(), QStringLiteral("PRAGMA max_page_count = %1").arg(limit));
    }

    // A new store at path for the monitor; setupSql runs on each of its connections.
    void useStoreAt(const QString &path, const QString &setupSql = {})
    {
        m_monitor.reset();
        m_container.reset();
        QString error;
        m_container = ModelContainer::open(path, &error);
        ASSERT_TRUE(m_container) << error.toStdString();
        if (!setupSql.isEmpty())
            m_container->setConnectionSetupSql(setupSql);
        createMonitor();
    }
};

} // namespace

TEST_F(CaptureHardeningTest, AReadingThatStoppedShortIsNotKeptAtAll)
{
    ScriptedPasteboard scripted;
    createMonitor(&scripted);
    // The owner sent the text, then stopped answering before its other flavours.
    scripted.reading.types = { PasteboardType::plainText, PasteboardType::html };
    scripted.reading.data.insert(PasteboardType::plainText, "hunter2");
    scripted.reading.complete = false;
    for (const bool filterPasswords : { true, false }) {
        m_settings->setFilterPasswords(filterPasswords);
        CapturedDiagnostics diagnostics;
        EXPECT_TRUE(readScripted(scripted)) << filterPasswords;
        EXPECT_TRUE(history().isEmpty()) << filterPasswords;
        EXPECT_EQ(diagnostics.lines().size(), 1) << filterPasswords;
    }

    // A password-manager hint that is offered but was not read: nothing is kept either.
    m_settings->setFilterPasswords(true);
    scripted.reading.types = { PasteboardType::plainText, PasteboardType::passwordManagerHint };
    scripted.reading.complete = true;
    EXPECT_TRUE(readScripted(scripted));
    EXPECT_TRUE(history().isEmpty());

    scripted.reading.types = { PasteboardType::plainText };
    scripted.reading.data.insert(PasteboardType::plainText, "an ordinary copy");
    EXPECT_FALSE(readScripted(scripted));
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("an ordinary copy") });
}

TEST_F(CaptureHardeningTest, CopiesOverTheSizeLimitsAreSkippedWithOneLogLine)
{
    ScriptedPasteboard scripted;
    createMonitor(&scripted);
    scripted.reading.types = { PasteboardType::plainText, PasteboardType::png };
    scripted.reading.data.insert(PasteboardType::plainText, "kept before");
    ASSERT_FALSE(readScripted(scripted));

    // A text is not read beyond its own limit: a 200 MB text was read whole under the
    // pictures' limit before it was refused.
    EXPECT_EQ(scripted.limits.forType(PasteboardType::plainText), CaptureLimits::maxTextBytes);
    EXPECT_EQ(scripted.limits.forType(PasteboardType::html), CaptureLimits::maxTextBytes);
    EXPECT_EQ(scripted.limits.forType(PasteboardType::png), CaptureLimits::maxImageBytes);

    const struct
    {
        const char *name;
        QString type;
        qsizetype size;
        bool oversizedByTheReader;
        const char *limitSaid;
    } cases[] = {
        { "a text over the limit", PasteboardType::plainText, CaptureLimits::maxTextBytes + 1, false,
            "64.0 MB" },
        { "HTML over the limit", PasteboardType::html, CaptureLimits::maxTextBytes + 1, false, "64.0 MB" },
        { "a text the reading did not take", PasteboardType::plainText, 0, true, "64.0 MB" },
        { "a picture the reading did not take", PasteboardType::png, 0, true, "256.0 MB" },
    };
    for (const auto &test : cases) {
        scripted.reading = {};
        scripted.reading.types = { PasteboardType::plainText, PasteboardType::html, PasteboardType::png };
        if (test.oversizedByTheReader)
            scripted.reading.oversized = { test.type };
        else
            scripted.reading.data.insert(test.type, QByteArray(test.size, 'a'));
        CapturedDiagnostics diagnostics;
        EXPECT_TRUE(readScripted(scripted)) << test.name;
        EXPECT_EQ(diagnostics.lines().size(), 1) << test.name;
        EXPECT_TRUE(diagnostics.lines().value(0).contains(QLatin1String("was not kept"))) << test.name;
        EXPECT_TRUE(diagnostics.lines().value(0).contains(QLatin1String(test.limitSaid)))
            << test.name << ": " << diagnostics.lines().value(0).toStdString();
        EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("kept before") }) << test.name;
    }

    // The same through the memory clipboard, whose reading takes everything.
    createMonitor();
    CapturedDiagnostics diagnostics;
    EXPECT_FALSE(copyText(QString(CaptureLimits::maxTextBytes + 1, u'x')));
    EXPECT_EQ(diagnostics.lines().size(), 1);
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("kept before") });
}

TEST(CaptureLimitsTest, EachKindOfCopyIsHeldToItsOwnLimit)
{
    // Just over the text limit: too much as text, yet a picture of that size is an everyday
    // screenshot of a large display.
    const struct
    {
        QString type;
        bool refused;
    } cases[] = {
        { PasteboardType::plainText, true },
        { PasteboardType::html, true },
        { PasteboardType::png, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        PasteboardContents contents;
        contents.types = { c.type };
        contents.data.insert(c.type, QByteArray(CaptureLimits::maxTextBytes + 1, '\0'));
        EXPECT_EQ(PasteboardSnapshot::make(contents, std::nullopt).refusal.has_value(), c.refused);
    }
}

TEST_F(CaptureHardeningTest, APictureTooLargeToDecodeIsRefusedFromItsHeader)
{
    const auto picture = [](const QByteArray &png) {
        auto mime = std::make_unique<QMimeData>();
        mime->setData(PasteboardType::png, png);
        return mime;
    };
    CapturedDiagnostics diagnostics;
    // 900 million pixels in a few megabytes.
    EXPECT_FALSE(copy(picture(greyscalePngBomb(30000, 30000))));
    EXPECT_TRUE(history().isEmpty());
    ASSERT_EQ(diagnostics.lines().size(), 1);
    EXPECT_TRUE(diagnostics.lines().first().contains(QStringLiteral("30000 × 30000")))
        << diagnostics.lines().first().toStdString();

    // Just within the limit it is an ordinary picture, with its thumbnail.
    EXPECT_TRUE(copy(picture(greyscalePngBomb(8000, 5000))));
    ASSERT_EQ(history().size(), 1);
    ASSERT_TRUE(newest()->mediaThumbnailData());
    EXPECT_EQ(ImageExtraction::decodeImage(*newest()->mediaThumbnailData()).size(), QSize(80, 80));
}

namespace {

void appendLittleEndian(QByteArray &bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

// A GIF of one black pixel at the top left of its screen, the pixel drawn as a frame of its own
// size: the screen is the picture that its decoder makes. An animation's frame comes after its
// control extension (its delay and how it is cleared).
QByteArray gif(quint16 screenWidth, quint16 screenHeight, quint16 frameWidth = 1, quint16 frameHeight = 1,
    bool animated = false)
{
    QByteArray bytes("GIF89a");
    appendLittleEndian(bytes, screenWidth, 2);
    appendLittleEndian(bytes, screenHeight, 2);
    bytes.append("\x80\x00\x00", 3); // a global table of two colours
    bytes.append("\x00\x00\x00\xff\xff\xff", 6);
    if (animated)
        bytes.append("\x21\xf9\x04\x04\x0a\x00\x00\x00", 8); // a tenth of a second, then kept
    bytes.append(',');
    appendLittleEndian(bytes, 0, 4);
    appendLittleEndian(bytes, frameWidth, 2);
    appendLittleEndian(bytes, frameHeight, 2);
    bytes.append('\x00');
    bytes.append("\x02\x02\x44\x01\x00", 5); // the pixel's LZW codes
    bytes.append(';');
    return bytes;
}

// A BMP's file and information headers, of the size given (the OS/2 header when core).
QByteArray bmpHeader(qint32 width, qint32 height, bool core = false)
{
    QByteArray bytes("BM");
    appendLittleEndian(bytes, 0, 4); // file size: not looked at
    appendLittleEndian(bytes, 0, 4);
    appendLittleEndian(bytes, core ? 26 : 54, 4);
    appendLittleEndian(bytes, core ? 12 : 40, 4);
    appendLittleEndian(bytes, quint32(width), core ? 2 : 4);
    appendLittleEndian(bytes, quint32(height), core ? 2 : 4);
    appendLittleEndian(bytes, 1, 2);
    appendLittleEndian(bytes, 24, 2);
    if (!core)
        bytes.append(24, '\0');
    return bytes + QByteArray(64, '\0');
}

// An icon holding these pictures, PNGs, in this order.
QByteArray iconOf(const QList<QByteArray> &pngs)
{
    QByteArray bytes;
    appendLittleEndian(bytes, 0, 2);
    appendLittleEndian(bytes, 1, 2);
    appendLittleEndian(bytes, quint32(pngs.size()), 2);
    quint32 offset = 6 + 16 * quint32(pngs.size());
    for (const QByteArray &png : pngs) {
        bytes.append(4, '\0'); // 256 × 256 and no palette, as icon headers name larger pictures
        appendLittleEndian(bytes, 1, 2);
        appendLittleEndian(bytes, 32, 2);
        appendLittleEndian(bytes, quint32(png.size()), 4);
        appendLittleEndian(bytes, offset, 4);
        offset += quint32(png.size());
    }
    for (const QByteArray &png : pngs)
        bytes += png;
    return bytes;
}

// A PNG of the given size whose pixel data is no deflate stream.
QByteArray corruptPng(quint32 width, quint32 height)
{
    QByteArray bytes = blackPng(width, height);
    const qsizetype data = bytes.indexOf("IDAT") + 4;
    for (qsizetype i = data; i < data + 8; ++i)
        bytes[i] = char(0xA5);
    return bytes;
}

} // namespace

TEST_F(CaptureHardeningTest, EveryPictureFormatIsHeldToThePixelLimitAndOneThatDoesNotDecodeIsNotKept)
{
    const auto tooLarge = [](int width, int height) {
        return QStringLiteral("[ClipboardMonitor] A picture of %1 × %2 pixels was not kept: pictures of more "
                              "than 40 million pixels are not stored")
            .arg(width)
            .arg(height);
    };
    const QByteArray corrupt = corruptPng(100, 100);
    const struct
    {
        const char *name;
        QString type;
        QByteArray bytes;
        QString said;
    } refused[] = {
        { "a GIF whose screen is 65535 × 65535", PasteboardType::gif, gif(65535, 65535),
            tooLarge(65535, 65535) },
        { "a GIF whose frame is 65535 × 65535", PasteboardType::gif, gif(1, 1, 65535, 65535),
            tooLarge(65535, 65535) },
        // 49 million pixels: it would decode within the allocation limit.
        { "a GIF whose screen is 7000 × 7000", PasteboardType::gif, gif(7000, 7000), tooLarge(7000, 7000) },
        { "an animation whose frame after its control extension is 7000 × 7000", PasteboardType::gif,
            gif(1, 1, 7000, 7000, true), tooLarge(7000, 7000) },
        { "a GIF whose bytes end with its screen's flags", PasteboardType::gif, gif(65535, 65535).first(11),
            tooLarge(65535, 65535) },
        { "a BMP of 30000 × 30000", QStringLiteral("image/bmp"), bmpHeader(30000, 30000),
            tooLarge(30000, 30000) },
        { "a BMP of 30000 × 30000 from the top", QStringLiteral("image/bmp"), bmpHeader(30000, -30000),
            tooLarge(30000, 30000) },
        { "an OS/2 BMP of 30000 × 30000", QStringLiteral("image/bmp"), bmpHeader(30000, 30000, true),
            tooLarge(30000, 30000) },
        { "a BMP of 30000 × 30000 whose bytes end with its height", QStringLiteral("image/bmp"),
            bmpHeader(30000, 30000).first(26), tooLarge(30000, 30000) },
        { "an icon holding a PNG of 30000 × 30000", QStringLiteral("image/x-icon"),
            iconOf({ blackPng(30000, 30000) }), tooLarge(30000, 30000) },
        // The largest picture counts, wherever it stands.
        { "an icon whose second picture is 30000 × 30000", QStringLiteral("image/x-icon"),
            iconOf({ blackPng(16, 16), blackPng(30000, 30000) }), tooLarge(30000, 30000) },
        { "an icon whose first picture is 30000 × 30000", QStringLiteral("image/x-icon"),
            iconOf({ blackPng(30000, 30000), blackPng(16, 16) }), tooLarge(30000, 30000) },
        { "an icon whose PNG's bytes end with its height", QStringLiteral("image/x-icon"),
            iconOf({ blackPng(30000, 30000).first(24) }), tooLarge(30000, 30000) },
        { "a PNG of 30000 × 30000", PasteboardType::png, blackPng(30000, 30000), tooLarge(30000, 30000) },
        { "a PNG whose pixels are corrupt", PasteboardType::png, corrupt,
            QStringLiteral("[ClipboardMonitor] A picture (image/png, %1 bytes) was not kept: it could not be "
                           "decoded")
                .arg(corrupt.size()) },
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.name);
        auto mime = std::make_unique<QMimeData>();
        mime->setData(c.type, c.bytes);
        CapturedDiagnostics diagnostics;
        EXPECT_FALSE(copy(std::move(mime)));
        EXPECT_TRUE(history().isEmpty());
        EXPECT_EQ(diagnostics.lines(), QStringList { c.said });
    }
}

TEST_F(CaptureHardeningTest, PicturesOfTheseFormatsWithinThePixelLimitAreKept)
{
    const struct
    {
        const char *name;
        QString type;
        QByteArray bytes;
    } kept[] = {
        { "a GIF of one pixel", PasteboardType::gif, gif(1, 1) },
        { "a BMP", QStringLiteral("image/bmp"), encodedColour(QSize(30, 20), Qt::red, "bmp") },
        { "an icon", QStringLiteral("image/x-icon"), iconOf({ blackPng(48, 48) }) },
    };
    for (const auto &c : kept) {
        SCOPED_TRACE(c.name);
        auto mime = std::make_unique<QMimeData>();
        mime->setData(c.type, c.bytes);
        ASSERT_TRUE(copy(std::move(mime)));
        ASSERT_TRUE(newest()->mediaThumbnailData());
        EXPECT_EQ(ImageExtraction::decodeImage(*newest()->mediaThumbnailData()).size(), QSize(80, 80));
    }
}

TEST_F(CaptureHardeningTest, AFullDiskLosesOnlyTheCopyThatDoesNotFitAndSaysSoOnce)
{
    SmallDisk disk;
    ASSERT_NO_FATAL_FAILURE(useStoreOnAFullDisk(disk));
    const QString path = container().storePath();
    QSignalSpy failures(m_monitor.get(), &ClipboardMonitor::storeFailed);
    CapturedDiagnostics diagnostics;
    const ClipboardItem::Content large { .mediaImageData = noise(4'000'000),
        .mediaSubtypeRaw = QStringLiteral("image") };

    saveItem(ClipboardItemType::text, { .text = QStringLiteral("before") });
    saveItem(ClipboardItemType::media, large);
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("after one") });
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("after two") });
    saveItem(ClipboardItemType::media,
        { .mediaImageData = noise(4'000'000), .mediaSubtypeRaw = QStringLiteral("image") });
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("after three") });

    EXPECT_EQ(storedTexts(),
        (QStringList { QStringLiteral("after three"), QStringLiteral("after two"),
            QStringLiteral("after one"), QStringLiteral("before") }));
    ASSERT_EQ(failures.size(), 1) << "told once for the cause";
    const StoreFailure failure = failures.first().at(0).value<StoreFailure>();
    EXPECT_EQ(failure.cause, StoreFailure::Cause::diskFull);
    EXPECT_TRUE(failure.message().contains(path));
    EXPECT_EQ(diagnostics.lines().size(), 2) << "every lost copy has its log line";
    EXPECT_EQ(m_monitor->pendingSaveCount(), 0) << "a full disk is not waited for";

    // What did save is in the file, for any later start.
    m_monitor.reset();
    std::unique_ptr<ModelContext> reader = container().makeContext();
    EXPECT_EQ(reader->fetchCount(FetchDescriptor::newestFirst()), 4);
}

TEST_F(CaptureHardeningTest, AWriteInTheBackgroundThatFailsGivesTheLogsSpaceBack)
{
    SmallDisk disk;
    ASSERT_NO_FATAL_FAILURE(useStoreOnAFullDisk(disk));
    const QString log = container().storePath() + QStringLiteral("-wal");
    QSignalSpy failures(m_monitor.get(), &ClipboardMonitor::storeFailed);
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("before") });
    ASSERT_EQ(storedTexts(), QStringList { QStringLiteral("before") });

    // Written by the store actor, being over a megabyte: it fills the disk, and fails.
    const QString large = QString::fromLatin1(noise(4'000'000).toBase64());
    ASSERT_GT(large.size(), ClipboardMonitor::backgroundSaveBytes);
    saveItem(ClipboardItemType::text, { .text = large });
    ASSERT_TRUE(waitUntil([&] { return failures.size() == 1; }));
    // The log once kept what the failed write had put there, and the disk stayed full until quit.
    EXPECT_EQ(QFileInfo(log).size(), 0);

    saveItem(ClipboardItemType::text, { .text = QStringLiteral("after") });
    EXPECT_EQ(storedTexts(), (QStringList { QStringLiteral("after"), QStringLiteral("before") }));
}

TEST_F(CaptureHardeningTest, ALockedStoreNeitherFreezesTheAppNorLosesTheCopy)
{
    QSignalSpy failures(m_monitor.get(), &ClipboardMonitor::storeFailed);
    // Another program holds the store's write lock for a while.
    StoreLockHolder holder(storePath(), std::chrono::seconds(3));
    ASSERT_TRUE(holder.isLocked());

    saveItem(ClipboardItemType::text, { .text = QStringLiteral("copied while locked") });
    // The save came back while the lock was still held: the main thread did not wait it out.
    EXPECT_TRUE(holder.isLocked());
    EXPECT_EQ(m_monitor->pendingSaveCount(), 1);
    holder.release();

    // Tried again a moment later.
    m_clock.advance(std::chrono::milliseconds(ClipboardMonitor::saveRetryIntervalMs - 1));
    EXPECT_TRUE(history().isEmpty());
    m_clock.advance(std::chrono::milliseconds(1));
    ASSERT_TRUE(waitUntil([&] { return !history().isEmpty(); }));
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("copied while locked") });
    EXPECT_EQ(m_monitor->pendingSaveCount(), 0);
    EXPECT_TRUE(failures.isEmpty()) << "a lock that goes away is not worth a word";
}

TEST_F(CaptureHardeningTest, ACopyWaitingForALockedStoreIsSavedAtQuit)
{
    SqliteConnection other;
    ASSERT_TRUE(other.open(storePath(), SQLITE_OPEN_READWRITE));
    ASSERT_TRUE(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("waiting at quit") });
    ASSERT_EQ(m_monitor->pendingSaveCount(), 1);
    ASSERT_TRUE(other.exec(QStringLiteral("ROLLBACK")));
    // Quitting does not wait for the next try.
    m_monitor->savePendingItems();
    EXPECT_EQ(m_monitor->pendingSaveCount(), 0);
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("waiting at quit") });
}

TEST_F(CaptureHardeningTest, AStoreThatCannotBeWrittenIsToldOnceWithItsPath)
{
    useStoreAt(storePath(), QStringLiteral("PRAGMA query_only = ON"));
    QSignalSpy failures(m_monitor.get(), &ClipboardMonitor::storeFailed);
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("one") });
    saveItem(ClipboardItemType::text, { .text = QStringLiteral("two") });
    EXPECT_TRUE(history().isEmpty()) << "nothing shows that was not saved";
    ASSERT_EQ(failures.size(), 1);
    const StoreFailure failure = failures.first().at(0).value<StoreFailure>();
    EXPECT_EQ(failure.cause, StoreFailure::Cause::readOnly);
    EXPECT_TRUE(failure.message().contains(container().storePath()));
    EXPECT_FALSE(context().hasChanges()) << "the failed copies hold up nothing";
}

#include "CaptureHardeningTest.moc"
