#include "shell/PasteService.h"

#include "capture/ClipboardMonitor.h"
#include "model/StoreTestSupport.h"
#include "platform/Pasteboard.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/Workspace.h"
#include "support/HeldThreadPool.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QThreadPool>

namespace {

class PasteServiceTest : public StoreTest
{
protected:
    PasteServiceTest()
        : service(pasteboard, keyboard, workspace)
    { }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.path() + QLatin1Char('/') + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    QString writeImage(const QString &name)
    {
        const QString path = files.path() + QLatin1Char('/') + name;
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(path);
        return path;
    }
    QByteArray pngBytes()
    {
        QImage image(2, 2, QImage::Format_ARGB32);
        image.fill(Qt::blue);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }
    // What svgString answers, once its reading is done.
    static std::optional<QString> svgOf(const ClipboardItem &item)
    {
        QFuture<std::optional<QString>> future = PasteService::svgString(item);
        EXPECT_TRUE(waitUntil([&] { return future.isFinished(); }));
        return future.isFinished() ? future.result() : std::nullopt;
    }
    // Copies the item and waits for the write (a picture is written once it is ready).
    bool copyAndWait(const ClipboardItemPtr &item, bool plainTextOnly)
    {
        const qint64 before = pasteboard.changeCount();
        if (!service.copyToPasteboard(item, plainTextOnly))
            return false;
        return waitUntil([&] { return pasteboard.changeCount() > before; });
    }
    // Another program copies the text: a change the app does not own.
    void copyElsewhere(const QString &text)
    {
        auto mime = std::make_unique<QMimeData>();
        mime->setText(text);
        pasteboard.writeContentsOfAnotherApplication(std::move(mime));
    }
    QStringList written() const
    {
        QStringList formats = pasteboard.contents() ? pasteboard.contents()->formats() : QStringList();
        formats.sort();
        return formats;
    }

    // What copying each item writes: its formats (sorted; empty: nothing written, the clipboard
    // untouched) and, where given, its text.
    struct FlavourCase
    {
        const char *name;
        ClipboardItemPtr item;
        bool plainTextOnly;
        QStringList formats;
        QString text;
    };
    void expectFlavours(const QList<FlavourCase> &cases)
    {
        for (const FlavourCase &c : cases) {
            SCOPED_TRACE(c.name);
            const qint64 before = pasteboard.changeCount();
            const bool wrote = copyAndWait(c.item, c.plainTextOnly);
            EXPECT_EQ(wrote, !c.formats.isEmpty());
            if (!wrote) {
                EXPECT_EQ(pasteboard.changeCount(), before) << "the clipboard was touched";
                continue;
            }
            QStringList formats = written();
            // Qt adds its own image type beside the image flavours where it can; only ours count.
            formats.removeAll(QStringLiteral("application/x-qt-image"));
            QStringList expected = c.formats;
            expected.sort();
            EXPECT_EQ(formats, expected);
            if (!c.text.isEmpty()) {
                EXPECT_EQ(pasteboard.contents()->text(), c.text);
            }
        }
    }

    QTemporaryDir files;
    MemoryPasteboard pasteboard;
    FakeSyntheticKeyboard keyboard;
    FakeWorkspace workspace;
    PasteService service;
};

TEST_F(PasteServiceTest, TextCodeAndLinksWriteTheirTextAndHtml)
{
    using namespace PasteboardType;
    expectFlavours({
        { "text with HTML",
            ClipboardItem::create(ClipboardItemType::text,
                { .text = QStringLiteral("hi"), .htmlContent = QStringLiteral("<b>hi</b>") }),
            false, { html, plainText }, QStringLiteral("hi") },
        { "text with HTML, plain text only",
            ClipboardItem::create(ClipboardItemType::text,
                { .text = QStringLiteral("hi"), .htmlContent = QStringLiteral("<b>hi</b>") }),
            true, { plainText }, QStringLiteral("hi") },
        { "code", ClipboardItem::create(ClipboardItemType::code, { .text = QStringLiteral("int x;") }), false,
            { plainText }, QStringLiteral("int x;") },
        { "link",
            ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://example.org") }),
            false, { plainText }, QStringLiteral("https://example.org") },
        { "HTML only",
            ClipboardItem::create(ClipboardItemType::text, { .htmlContent = QStringLiteral("<i>x</i>") }),
            false, { html }, QString() },
        { "text without anything", ClipboardItem::create(ClipboardItemType::text), false, {}, QString() },
        { "HTML only, plain text asked",
            ClipboardItem::create(ClipboardItemType::text, { .htmlContent = QStringLiteral("<i>x</i>") }),
            true, {}, QString() },
    });
}

TEST_F(PasteServiceTest, ColoursWriteTheirValueBesideTheirText)
{
    using namespace PasteboardType;
    expectFlavours({
        { "colour with its text",
            ClipboardItem::create(ClipboardItemType::color,
                { .text = QStringLiteral("rgb(255 0 0)"), .colorHex = QStringLiteral("#FF0000") }),
            false, { color, plainText }, QStringLiteral("rgb(255 0 0)") },
        { "colour with only its hex",
            ClipboardItem::create(ClipboardItemType::color, { .colorHex = QStringLiteral("#00FF0080") }),
            false, { color, plainText }, QStringLiteral("#00FF0080") },
        { "colour whose value cannot be read",
            ClipboardItem::create(ClipboardItemType::color, { .text = QStringLiteral("tomato-ish") }), false,
            { plainText }, QStringLiteral("tomato-ish") },
        { "colour without text or value", ClipboardItem::create(ClipboardItemType::color), false, {},
            QString() },
    });
}

TEST_F(PasteServiceTest, FilesWriteTheOnesStillThere)
{
    using namespace PasteboardType;
    const QString present = writeFile(QStringLiteral("notes.txt"), "notes");
    const QString missing = files.path() + QStringLiteral("/gone.txt");
    const QString image = writeImage(QStringLiteral("picture.png"));
    ClipboardItemPtr files2
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(missing) });
    files2->setAdditionalFileURLStrings(
        { QUrl::fromLocalFile(present).toString(), QStringLiteral("::not a url") });
    ClipboardItemPtr twoFiles
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(present) });
    twoFiles->setAdditionalFileURLStrings({ QUrl::fromLocalFile(image).toString() });
    ClipboardItemPtr pictureFirst
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(image) });
    pictureFirst->setAdditionalFileURLStrings({ QUrl::fromLocalFile(present).toString() });

    expectFlavours({
        { "files, one gone", files2, false, { gnomeCopiedFiles, uriList }, QString() },
        { "two files", twoFiles, false, { gnomeCopiedFiles, uriList }, QString() },
        { "two files, the first a picture", pictureFirst, false, { gnomeCopiedFiles, uriList }, QString() },
        { "every file gone",
            ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(missing) }),
            false, {}, QString() },
        { "one image file",
            ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(image) }), false,
            { png, plainText, tiff }, image },
    });
}

TEST_F(PasteServiceTest, FilesWhoseNamesAreNotUtf8ArePastedByTheirExactBytes)
{
    const FilesNamedByBytes named(files.path());
    const QList<QByteArray> names
        = { "\xFF\xFE report.txt", "plain.txt", "caf\xE9.txt", "caf\xC3\xA9.txt", "\x80" };
    QList<QByteArray> urls;
    for (const QByteArray &name : names) {
        urls.append(named.create(name));
        ASSERT_FALSE(urls.last().isEmpty());
    }
    const struct
    {
        const char *what;
        qsizetype first; // which of the files comes first
    } cases[] = { { "the first no UTF-8", 0 }, { "the first UTF-8", 1 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QList<QByteArray> order = urls;
        order.move(c.first, 0);
        // As the capture keeps them: the first as its address, the others as lines.
        ClipboardItemPtr item = ClipboardItem::create(
            ClipboardItemType::file, { .fileURL = QUrl::fromEncoded(order.first(), QUrl::StrictMode) });
        QStringList further;
        for (qsizetype i = 1; i < order.size(); ++i)
            further.append(QString::fromLatin1(order[i]));
        item->setAdditionalFileURLStrings(further);
        ASSERT_TRUE(copyAndWait(item, false));
        EXPECT_EQ(pasteboard.data(PasteboardType::uriList), QByteArray(order.join("\r\n") + "\r\n"));
        EXPECT_EQ(pasteboard.data(PasteboardType::gnomeCopiedFiles), QByteArray("copy\n" + order.join('\n')));
    }
}

// A file whose name is not UTF-8 is read by its own name, not by one Qt made lossy on the way.
TEST_F(PasteServiceTest, TheCodeOrPictureOfAFileWhoseNameIsNotUtf8IsReadFromThatFile)
{
    const FilesNamedByBytes named(files.path());
    const QByteArray svgUrl = named.create("\xFF\xFE drawing.svg", "<svg/>");
    ASSERT_FALSE(svgUrl.isEmpty());
    const ClipboardItemPtr drawing = ClipboardItem::create(
        ClipboardItemType::file, { .fileURL = QUrl::fromEncoded(svgUrl, QUrl::StrictMode) });
    EXPECT_EQ(svgOf(*drawing), std::optional<QString>(QStringLiteral("<svg/>")));

    const QByteArray pictureUrl = named.create("caf\xE9.png", pngBytes());
    ASSERT_FALSE(pictureUrl.isEmpty());
    const ClipboardItemPtr photo = ClipboardItem::create(
        ClipboardItemType::file, { .fileURL = QUrl::fromEncoded(pictureUrl, QUrl::StrictMode) });
    ASSERT_TRUE(copyAndWait(photo, false));
    const QImage pasted = QImage::fromData(pasteboard.data(PasteboardType::png).value_or(QByteArray()));
    EXPECT_EQ(pasted.size(), QSize(2, 2)) << "the picture was not read from its file";
    EXPECT_EQ(pasteboard.contents()->text(), files.path() + QStringLiteral("/caf\uFFFD.png"));
}

TEST_F(PasteServiceTest, MediaWritesItsFileOrItsPicture)
{
    using namespace PasteboardType;
    const QString image = writeImage(QStringLiteral("picture.png"));
    expectFlavours({
        { "media with its file",
            ClipboardItem::create(ClipboardItemType::media,
                { .fileURL = QUrl::fromLocalFile(image), .mediaSubtypeRaw = QStringLiteral("image") }),
            false, { plainText, uriList }, image },
        { "media image without a file",
            ClipboardItem::create(ClipboardItemType::media,
                { .mediaImageData = pngBytes(), .mediaSubtypeRaw = QStringLiteral("image") }),
            false, { png, tiff }, QString() },
        { "media thumbnail without a file",
            ClipboardItem::create(ClipboardItemType::media,
                { .mediaThumbnailData = pngBytes(), .mediaSubtypeRaw = QStringLiteral("image") }),
            false, { png, tiff }, QString() },
        { "video without a file, with a thumbnail",
            ClipboardItem::create(ClipboardItemType::media,
                { .mediaThumbnailData = pngBytes(), .mediaSubtypeRaw = QStringLiteral("video") }),
            false, {}, QString() },
        { "image bytes that do not decode",
            ClipboardItem::create(ClipboardItemType::media,
                { .mediaImageData = QByteArray("nope"), .mediaSubtypeRaw = QStringLiteral("image") }),
            false, {}, QString() },
    });
}

TEST_F(PasteServiceTest, APictureTooLargeToDecodeIsNeverDecodedForAPaste)
{
    const QByteArray bomb = greyscalePngBomb(30000, 30000);
    ClipboardItemPtr media = ClipboardItem::create(
        ClipboardItemType::media, { .mediaImageData = bomb, .mediaSubtypeRaw = QStringLiteral("image") });
    const qint64 before = pasteboard.changeCount();
    EXPECT_FALSE(service.copyToPasteboard(media, false));
    EXPECT_EQ(pasteboard.changeCount(), before);

    // The same picture as a file is pasted as the file.
    const QString path = writeFile(QStringLiteral("huge.png"), bomb);
    ClipboardItemPtr file
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) });
    ASSERT_TRUE(copyAndWait(file, false));
    EXPECT_EQ(pasteboard.contents()->urls(), QList<QUrl> { QUrl::fromLocalFile(path) });
    EXPECT_FALSE(pasteboard.contents()->hasFormat(PasteboardType::png));
}

TEST_F(PasteServiceTest, ALaterWriteReplacesAPictureStillBeingMadeReady)
{
    ClipboardItemPtr picture = ClipboardItem::create(ClipboardItemType::media,
        { .mediaImageData = pngBytes(), .mediaSubtypeRaw = QStringLiteral("image") });
    ClipboardItemPtr text
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("later") });
    const struct
    {
        const char *name;
        std::function<void()> writeLater;
    } cases[] = {
        { "a chosen item", [&] { ASSERT_TRUE(service.copyToPasteboard(text, false)); } },
        { "a bare text (an emoji)", [&] { service.copyStringToPasteboard(QStringLiteral("later")); } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(service.copyToPasteboard(picture, false));
        c.writeLater();
        // Once the picture is ready and its answer has come back, it is dropped.
        ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(5000));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(pasteboard.contents()->text(), QStringLiteral("later"));
        EXPECT_FALSE(pasteboard.contents()->hasFormat(PasteboardType::png)) << "the picture came after";
    }
}

TEST_F(PasteServiceTest, ALongListOfFilesIsLookedThroughOnAWorkerThreadAndPastedWhole)
{
    // Fifteen hundred files of which every other one is still there: more than an item holds
    // in memory, so a stored item's list is read from the store, and an item not stored (just
    // copied, or one whose save failed) has the list it was given.
    workspace.frontmost
        = RunningApplication { QStringLiteral("org.gnome.Nautilus"), QStringLiteral("Files"), 4242, 77 };
    const QUrl first = QUrl::fromLocalFile(writeFile(QStringLiteral("first.txt"), "x"));
    QStringList further;
    QByteArrayList pasted { first.toEncoded() };
    for (int i = 0; i < 1500; ++i) {
        const QString path = files.path() + QStringLiteral("/file %1.txt").arg(i);
        if (i % 2 == 0) {
            writeFile(QStringLiteral("file %1.txt").arg(i), "x");
            pasted.append(QUrl::fromLocalFile(path).toEncoded());
        }
        further.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    }
    ASSERT_EQ(pasted.size(), 751);
    const struct
    {
        const char *name;
        bool stored;
    } cases[] = { { "a stored item", true }, { "an item not in a store", false } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        keyboard.sent.clear();
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::file, { .fileURL = first });
        item->setAdditionalFileURLStrings(further);
        ASSERT_LT(item->additionalFileURLStrings().value_or(QStringList()).size(), 1500);
        if (c.stored) {
            context().insert(item);
            ASSERT_TRUE(context().save().ok);
            item->releaseExternalData();
        }

        const qint64 before = pasteboard.changeCount();
        HeldThreadPool pool;
        pool.hold();
        ASSERT_TRUE(service.copyToPasteboard(item, false));
        service.simulatePaste();
        QCoreApplication::processEvents();
        EXPECT_EQ(pasteboard.changeCount(), before) << "the list was looked through on the main thread";
        EXPECT_TRUE(keyboard.sent.isEmpty()) << "the keystroke came before the files were on the clipboard";
        pool.release();
        ASSERT_TRUE(waitUntil([&] { return pasteboard.changeCount() > before; }, std::chrono::seconds(20)));
        EXPECT_EQ(keyboard.sent.size(), 1);
        EXPECT_EQ(*pasteboard.data(PasteboardType::uriList), pasted.join("\r\n") + "\r\n");
        EXPECT_EQ(*pasteboard.data(PasteboardType::gnomeCopiedFiles), "copy\n" + pasted.join('\n'));
    }
}

TEST_F(PasteServiceTest, FileAndColourPayloads)
{
    const QString present = writeFile(QStringLiteral("a b.txt"), "x");
    ClipboardItemPtr file
        = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(present) });
    ASSERT_TRUE(service.copyToPasteboard(file, false));
    EXPECT_EQ(pasteboard.contents()->urls(), QList<QUrl> { QUrl::fromLocalFile(present) });
    EXPECT_EQ(*pasteboard.data(PasteboardType::gnomeCopiedFiles),
        "copy\n" + QUrl::fromLocalFile(present).toEncoded());

    // Of two files, the one that is gone is left out.
    ClipboardItemPtr two = ClipboardItem::create(
        ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(files.path() + QStringLiteral("/gone")) });
    two->setAdditionalFileURLStrings({ QUrl::fromLocalFile(present).toString() });
    ASSERT_TRUE(service.copyToPasteboard(two, false));
    EXPECT_EQ(pasteboard.contents()->urls(), QList<QUrl> { QUrl::fromLocalFile(present) });

    ClipboardItemPtr colour
        = ClipboardItem::create(ClipboardItemType::color, { .colorHex = QStringLiteral("#FF800080") });
    ASSERT_TRUE(service.copyToPasteboard(colour, false));
    const QByteArray bytes = *pasteboard.data(PasteboardType::color);
    ASSERT_EQ(bytes.size(), 8);
    std::array<quint16, 4> channels {};
    std::memcpy(channels.data(), bytes.constData(), 8);
    EXPECT_EQ(channels[0], 0xffff);
    EXPECT_EQ(channels[1], quint16(0x80 / 255.0 * 0xffff));
    EXPECT_EQ(channels[2], 0);
    EXPECT_EQ(channels[3], quint16(0x80 / 255.0 * 0xffff));
    // The toolkit's own conversion gets the colour too.
    EXPECT_EQ(pasteboard.contents()->colorData().value<QColor>().red(), 255);
}

TEST_F(PasteServiceTest, APinnedReferenceWritesTheReferencedContent)
{
    ClipboardItemPtr original = insertText(QStringLiteral("the original"));
    ClipboardItemPtr reference
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("stale copy") });
    reference->setPinnedReference(original);
    context().insert(reference);
    ASSERT_TRUE(context().save().ok);
    ASSERT_TRUE(service.copyToPasteboard(reference, false));
    EXPECT_EQ(pasteboard.contents()->text(), QStringLiteral("the original"));
}

TEST_F(PasteServiceTest, TheCaptureSkipsOnlyWritesThatHappened)
{
    UserDefaults defaults(m_folder->filePath(QStringLiteral("defaults.json")));
    AppSettings settings(defaults);
    ClipboardMonitor monitor(container(), pasteboard, workspace, settings, defaults);
    ClipboardItemPtr empty = ClipboardItem::create(ClipboardItemType::text);
    EXPECT_FALSE(service.copyToPasteboard(empty, false));
    EXPECT_FALSE(monitor.ignoreNextChange()) << "the user's next copy would be lost";
    ClipboardItemPtr text = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("x") });
    EXPECT_TRUE(service.copyToPasteboard(text, false));
    EXPECT_TRUE(monitor.ignoreNextChange());
    // A bare text (an emoji, a colour in another notation) is the app's own write too.
    monitor.setIgnoreNextChange(false);
    service.copyStringToPasteboard(QStringLiteral("😀"));
    EXPECT_TRUE(monitor.ignoreNextChange());
    EXPECT_EQ(pasteboard.contents()->text(), QStringLiteral("😀"));
}

TEST_F(PasteServiceTest, ACopyPutBackAfterItsProgramQuitIsNoNewChange)
{
    UserDefaults defaults(m_folder->filePath(QStringLiteral("defaults.json")));
    AppSettings settings(defaults);
    ClipboardMonitor monitor(container(), pasteboard, workspace, settings, defaults);
    const ClipboardItemPtr page = ClipboardItem::create(ClipboardItemType::text,
        { .text = QStringLiteral("Frame 1"), .htmlContent = QStringLiteral("<p>Frame <b>1</b></p>") });
    const ClipboardItemPtr picture = ClipboardItem::create(ClipboardItemType::media,
        { .mediaImageData = pngBytes(), .mediaSubtypeRaw = QStringLiteral("image") });
    using Self = std::remove_pointer_t<decltype(this)>;
    const struct
    {
        const char *name;
        ClipboardItemPtr item;
        // What happens between the program's quitting and the picture being ready.
        std::function<void(Self &)> meanwhile;
        // The clipboard's formats (sorted) and text afterwards.
        QStringList formats;
        QString text;
        // Pasted by the user before the program quit, its picture still being made ready.
        ClipboardItemPtr pastedBefore = nullptr;
    } cases[] = {
        { "a text with its HTML", page, {}, { PasteboardType::html, PasteboardType::plainText },
            QStringLiteral("Frame 1") },
        { "a picture", picture, {}, { PasteboardType::png, PasteboardType::tiff }, {} },
        { "a picture, while another program copies", picture,
            [](Self &t) { t.copyElsewhere(QStringLiteral("newer")); }, { PasteboardType::plainText },
            QStringLiteral("newer") },
        { "a picture, while the user pastes a text", picture,
            [&](Self &t) { ASSERT_TRUE(t.service.copyToPasteboard(page, true)); },
            { PasteboardType::plainText }, QStringLiteral("Frame 1") },
        { "a text, while the picture the user pasted is made ready", page, {},
            { PasteboardType::png, PasteboardType::tiff }, {}, picture },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        copyElsewhere(QStringLiteral("another program's copy"));
        pasteboard.anotherApplicationQuits();
        monitor.setIgnoreNextChange(false);
        HeldThreadPool pool;
        pool.hold();
        ASSERT_TRUE(!c.pastedBefore || service.copyToPasteboard(c.pastedBefore, false));
        const qint64 before = pasteboard.changeCount();
        service.restoreToPasteboard(c.item);
        if (c.meanwhile)
            c.meanwhile(*this);
        const qint64 meanwhile = pasteboard.changeCount();
        pool.release();
        ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(5000));
        settleEvents();
        EXPECT_EQ(std::pair(written(), pasteboard.contents()->text()), std::pair(c.formats, c.text));
        EXPECT_EQ(pasteboard.changeCount(), meanwhile + (c.pastedBefore ? 1 : 0))
            << "the copy put back is a change (a paste's own write is one)";
        if (!c.meanwhile && !c.pastedBefore) {
            EXPECT_EQ(pasteboard.changeCount(), before);
            EXPECT_TRUE(pasteboard.ownsContents());
            EXPECT_FALSE(monitor.ignoreNextChange()) << "the user's next copy would be lost";
        }
    }
}

TEST_F(PasteServiceTest, SvgTextAndImageFiles)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        bool isSvg;
    };
    const Case cases[] = {
        { "blank lines then the tag", "\n\n  <svg xmlns=\"http://www.w3.org/2000/svg\"/>", true },
        { "XML declaration", "<?xml version=\"1.0\"?><svg/>", true },
        { "capital tag", "<SVG/>", false },
        { "not UTF-8", "<svg>\xff\xfe</svg>", false },
        { "plain text", "hello", false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(QStringLiteral("drawing.svg"), c.bytes);
        ClipboardItemPtr item
            = ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) });
        const std::optional<QString> svg = svgOf(*item);
        EXPECT_EQ(svg.has_value(), c.isSvg);
        if (svg) {
            EXPECT_EQ(*svg, QString::fromUtf8(c.bytes)) << "returned untrimmed";
        }
    }
    ClipboardItemPtr gone = ClipboardItem::create(ClipboardItemType::file,
        { .fileURL = QUrl::fromLocalFile(files.path() + QStringLiteral("/none.svg")) });
    EXPECT_FALSE(svgOf(*gone));

    // A file too large to be SVG code worth pasting is not read whole.
    const QString huge = writeFile(
        QStringLiteral("huge.svg"), "<svg>" + QByteArray(PasteService::maxSvgFileBytes, ' ') + "</svg>");
    EXPECT_FALSE(
        svgOf(*ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(huge) })));
    const QString largest = writeFile(QStringLiteral("largest.svg"),
        "<svg>" + QByteArray(PasteService::maxSvgFileBytes - 11, ' ') + "</svg>");
    EXPECT_TRUE(
        svgOf(*ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(largest) })));

    for (const char *name : { "a.png", "b.JPG", "c.svg", "d.webp" })
        EXPECT_TRUE(
            PasteService::isImageFile(QUrl::fromLocalFile(QStringLiteral("/x/") + QLatin1String(name))))
            << name;
    for (const char *name : { "a.txt", "noextension", "c.mp4" })
        EXPECT_FALSE(
            PasteService::isImageFile(QUrl::fromLocalFile(QStringLiteral("/x/") + QLatin1String(name))))
            << name;
}

} // namespace
