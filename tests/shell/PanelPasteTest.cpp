// The paste as the panel makes it, over the paste service the running app hands the panel:
// Return on an item writes it, and the keystroke that follows fits the window in front, never
// comes before the item is on the clipboard, and the user hears when nothing could be pasted.

#include "panel/PanelTestSupport.h"
#include "panel/PanelViewState.h"
#include "platform/ClipboardRequests.h"
#include "platform/PasteKeystroke.h"
#include "platform/Pasteboard.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/Workspace.h"
#include "shell/PasteService.h"
#include "support/HeldThreadPool.h"
#include "support/ManualClock.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QThreadPool>

using namespace std::chrono_literals;

// Keystrokes by name in failure messages.
static void PrintTo(PasteKeystroke keystroke, std::ostream *out)
{
    *out << PasteKeystrokes::displayName(keystroke).toStdString();
}

namespace {

const RunningApplication editor { QStringLiteral("org.example.Editor"), QStringLiteral("Editor"), 4242, 77 };

RunningApplication thisApp()
{
    RunningApplication self;
    self.processIdentifier = QCoreApplication::applicationPid();
    self.windowId = 99;
    return self;
}

// A picture of many colours, so that its pixel data is most of its bytes.
QByteArray pngBytes()
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x * 5 + y * 97) % 256));
    return encoded(image, "png");
}

ClipboardItemPtr picture(const QByteArray &bytes)
{
    return ClipboardItem::create(
        ClipboardItemType::media, { .mediaImageData = bytes, .mediaSubtypeRaw = QStringLiteral("image") });
}

class PanelPasteTest : public PanelStoreTest
{
protected:
    void SetUp() override
    {
        PanelStoreTest::SetUp();
        m_service.setClock(m_time);
        m_service.setNoticePresenter(
            [this](const QString &title, const QString &) { m_notices.append(title); });
        m_workspace.frontmost = editor;
    }
    void TearDown() override { m_state.reset(); }

    // The panel over the recording roles, but with the paste service as its pasteboard.
    PanelViewState &makeState()
    {
        EXPECT_TRUE(context().save().ok);
        const PanelRoles fake = m_env.roles();
        m_state = std::make_unique<PanelViewState>(context(),
            PanelRoles { fake.shell, fake.window, fake.historyResizer, m_service, fake.previews, fake.menus,
                fake.highlighting, fake.files, fake.store, fake.links },
            &m_controller, *m_settings, m_rowStates.rows(), m_time);
        m_state->appear();
        return *m_state;
    }
    ClipboardItemPtr stored(const ClipboardItemPtr &item)
    {
        context().insert(item);
        return item;
    }
    // A row of a table starts with nothing sent or told, and another program's copy on the
    // clipboard.
    void startRow()
    {
        m_keyboard.sent.clear();
        m_notices.clear();
        copyElsewhere();
    }
    // Another program's copy, which a paste sent too early would paste instead.
    void copyElsewhere()
    {
        auto contents = std::make_unique<QMimeData>();
        contents->setText(QStringLiteral("copied elsewhere"));
        m_pasteboard.writeContentsOfAnotherApplication(std::move(contents));
    }

    // Chooses the item and lets the panel's delay pass, with the picture made ready within it
    // or long after it; the keystrokes sent when the picture was written (nothing for a text).
    std::optional<qsizetype> chooseAndWait(
        PanelViewState &state, const ClipboardItemPtr &item, bool writeOutlastsTheDelay)
    {
        const qint64 before = m_pasteboard.changeCount();
        std::optional<qsizetype> keystrokesAtWrite;
        const QMetaObject::Connection watch = QObject::connect(&m_service,
            &PasteService::pendingContentsWritten, [&](bool) { keystrokesAtWrite = m_keyboard.sent.size(); });
        HeldThreadPool pool;
        if (writeOutlastsTheDelay)
            pool.hold();
        state.chooseItem(item);
        if (item->type() == ClipboardItemType::media && !writeOutlastsTheDelay) {
            EXPECT_TRUE(waitUntil([&] { return keystrokesAtWrite.has_value(); }));
        }
        m_time.advance(99ms);
        EXPECT_TRUE(m_keyboard.sent.isEmpty()) << "before the panel was out of the way";
        m_time.advance(1ms);
        if (writeOutlastsTheDelay) {
            m_time.advance(10s);
            EXPECT_TRUE(m_keyboard.sent.isEmpty()) << "the keystroke came before the picture was written";
            EXPECT_EQ(m_pasteboard.changeCount(), before);
            pool.release();
            EXPECT_TRUE(waitUntil([&] { return keystrokesAtWrite.has_value(); }));
        }
        QObject::disconnect(watch);
        // The pool's held tasks are over before it goes.
        EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(5000));
        return keystrokesAtWrite;
    }

    ManualClock m_time;
    MemoryPasteboard m_pasteboard;
    FakeSyntheticKeyboard m_keyboard;
    FakeWorkspace m_workspace;
    PasteService m_service { m_pasteboard, m_keyboard, m_workspace };
    std::unique_ptr<PanelViewState> m_state;
    QStringList m_notices;
};

TEST_F(PanelPasteTest, TheKeystrokeNeverComesBeforeTheItemIsOnTheClipboard)
{
    const QByteArray png = pngBytes();
    const struct
    {
        const char *name;
        ClipboardItemPtr item;
        // The picture is made ready only after the panel's delay is long over.
        bool writeOutlastsTheDelay;
        bool written;
    } cases[] = {
        { "a text",
            stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("words") })),
            false, true },
        { "a picture ready within the delay", stored(picture(png)), false, true },
        { "a picture whose write outlasts the delay", stored(picture(png)), true, true },
        // Whole headers, and half the pixels.
        { "a picture that cannot be read", stored(picture(png.left(png.size() / 2))), false, false },
        { "a picture found unreadable after the delay", stored(picture(png.left(png.size() / 2))), true,
            false },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startRow();
        const qint64 before = m_pasteboard.changeCount();
        const bool isPicture = c.item->type() == ClipboardItemType::media;
        const std::optional<qsizetype> keystrokesAtWrite
            = chooseAndWait(state, c.item, c.writeOutlastsTheDelay);

        if (isPicture) {
            EXPECT_EQ(keystrokesAtWrite, 0);
        }
        EXPECT_EQ(m_pasteboard.changeCount(), before + (c.written ? 1 : 0));
        // Not an equality with an empty list: QList compares enums with memcmp, which an empty
        // list's missing data makes undefined (the sanitizer build stops on it).
        if (c.written) {
            EXPECT_EQ(m_keyboard.sent, QList<PasteKeystroke> { PasteKeystroke::controlV });
        } else {
            EXPECT_TRUE(m_keyboard.sent.isEmpty());
        }
        EXPECT_EQ(
            m_notices, c.written ? QStringList() : QStringList { QStringLiteral("Nothing was pasted") });
        if (c.written && isPicture) {
            EXPECT_EQ(m_pasteboard.contents()->data(PasteboardType::png), png);
        }
    }
}

TEST_F(PanelPasteTest, TheKeystrokeIsTheOneTheWindowInFrontPastesWith)
{
    const ClipboardItemPtr text
        = stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("ls -l") }));
    const auto window = [](const char *id, const char *instance, const char *windowClass) {
        RunningApplication application = editor;
        application.bundleIdentifier = QLatin1String(id);
        application.windowInstance = QLatin1String(instance);
        application.windowClass = QLatin1String(windowClass);
        return application;
    };
    const struct
    {
        const char *name;
        RunningApplication front;
        PasteKeystroke keystroke;
        bool primarySelection; // the PRIMARY selection takes the item too
    } cases[] = {
        { "an editor", window("org.example.editor", "editor", "Editor"), PasteKeystroke::controlV, false },
        { "GNOME Terminal", window("org.gnome.Terminal", "gnome-terminal-server", "Gnome-terminal"),
            PasteKeystroke::controlShiftV, false },
        { "Konsole", window("org.kde.konsole", "konsole", "konsole"), PasteKeystroke::controlShiftV, false },
        { "xterm", window("xterm", "xterm", "XTerm"), PasteKeystroke::shiftInsert, true },
        { "rxvt-unicode", window("urxvt", "urxvt", "URxvt"), PasteKeystroke::shiftInsert, true },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_keyboard.sent.clear();
        m_workspace.frontmost = c.front;
        copyElsewhere();
        const auto primaryBefore = m_pasteboard.primarySelection();
        state.chooseItem(text);
        m_time.advance(100ms);
        EXPECT_EQ(m_keyboard.sent, QList<PasteKeystroke> { c.keystroke });
        if (c.primarySelection) {
            ASSERT_NE(m_pasteboard.primarySelection(), nullptr);
            EXPECT_EQ(m_pasteboard.primarySelection()->text(), QStringLiteral("ls -l"));
        } else {
            EXPECT_EQ(m_pasteboard.primarySelection(), primaryBefore) << "the PRIMARY selection was taken";
        }
        EXPECT_EQ(m_pasteboard.contents()->text(), QStringLiteral("ls -l"));
    }
}

TEST_F(PanelPasteTest, WhenNothingCanBePastedTheUserIsTold)
{
    const ClipboardItemPtr text
        = stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("words") }));
    using Self = std::remove_pointer_t<decltype(this)>;
    const struct
    {
        const char *name;
        std::function<void(Self &)> prepare;
        // The window the panel gave the focus back to is in front again this long after the
        // keystroke's time.
        std::optional<std::chrono::milliseconds> focusBackAfter;
        bool sent;
        QString notice;
    } cases[] = {
        { "the focus is back at once", [](Self &) {}, 0ms, true, {} },
        { "the focus is back a moment later", [](Self &t) { t.m_workspace.frontmost = thisApp(); }, 200ms,
            true, {} },
        { "the focus is back at the last look", [](Self &t) { t.m_workspace.frontmost = thisApp(); },
            PasteService::focusReturnWait - 10ms, true, {} },
        { "the focus is back once the wait is over", [](Self &t) { t.m_workspace.frontmost = thisApp(); },
            PasteService::focusReturnWait, false, QStringLiteral("Nothing was pasted") },
        { "the focus stays with this app", [](Self &t) { t.m_workspace.frontmost = thisApp(); }, std::nullopt,
            false, QStringLiteral("Nothing was pasted") },
        { "no window is active", [](Self &t) { t.m_workspace.frontmost = std::nullopt; }, std::nullopt, false,
            QStringLiteral("Nothing was pasted") },
        { "no synthetic keys", [](Self &t) { t.m_keyboard.trusted = false; }, 0ms, false,
            QStringLiteral("Accessibility Permission Required") },
        { "the keystroke cannot be sent",
            [](Self &t) { t.m_keyboard.failure = QStringLiteral("no key of the keyboard types Control+V"); },
            0ms, false, QStringLiteral("Nothing was pasted") },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_keyboard = FakeSyntheticKeyboard();
        m_notices.clear();
        m_workspace.frontmost = editor;
        c.prepare(*this);
        state.chooseItem(text);
        m_time.advance(100ms);
        if (c.focusBackAfter) {
            m_time.advance(*c.focusBackAfter);
            m_workspace.frontmost = editor;
        }
        m_time.advance(2s);
        EXPECT_EQ(m_keyboard.sent.size(), c.sent ? 1 : 0);
        EXPECT_EQ(m_notices, c.notice.isEmpty() ? QStringList() : QStringList { c.notice });
        // Whatever happened, the item stays on the clipboard for pasting by hand.
        EXPECT_EQ(m_pasteboard.contents()->text(), QStringLiteral("words"));
    }
}

TEST_F(PanelPasteTest, APictureTheWindowInFrontAsksNoFormOfIsToldAbout)
{
    FakeClipboardRequests requests;
    m_service.setClipboardRequests(&requests);
    const ClipboardItemPtr text
        = stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("words") }));
    const ClipboardItemPtr image = stored(picture(pngBytes()));
    const QStringList textForms { QStringLiteral("UTF8_STRING"), QStringLiteral("TEXT"),
        QStringLiteral("COMPOUND_TEXT"), QStringLiteral("STRING") };
    const struct
    {
        const char *name;
        ClipboardItemPtr item;
        // What the window in front asks for, and how long after the keystroke.
        QStringList forms;
        std::chrono::milliseconds after;
        bool told;
    } cases[] = {
        { "a picture program asks for PNG", image, { QStringLiteral("TARGETS"), QStringLiteral("image/png") },
            0ms, false },
        { "a program that asks for TIFF alone", image, { QStringLiteral("image/tiff") }, 0ms, false },
        { "a slow picture program asks at the last moment", image, { QStringLiteral("image/png") },
            PasteService::pictureRequestWait - 1ms, false },
        { "a terminal asks for text", image, textForms, 0ms, true },
        { "a program asks for the forms on offer and takes none", image, { QStringLiteral("TARGETS") }, 0ms,
            true },
        { "the window asks for nothing", image, {}, 0ms, true },
        { "a text the window asks nothing of", text, {}, 0ms, false },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startRow();
        chooseAndWait(state, c.item, false);
        ASSERT_EQ(m_keyboard.sent.size(), 1);
        const bool isPicture = c.item == image;
        EXPECT_EQ(requests.followed, isPicture ? editor.windowId : 0)
            << "the window in front is not followed";
        m_time.advance(c.after);
        for (const QString &form : c.forms)
            requests.request(form);
        m_time.advance(PasteService::pictureRequestWait - 1ms - c.after);
        EXPECT_TRUE(m_notices.isEmpty()) << "told before the wait was over";
        m_time.advance(1ms);
        EXPECT_EQ(m_notices, c.told ? QStringList { QStringLiteral("Nothing was pasted") } : QStringList());
        EXPECT_EQ(requests.followed, 0) << "the window is still followed";
        // Told or not, the item stays on the clipboard.
        if (isPicture) {
            EXPECT_EQ(m_pasteboard.contents()->data(PasteboardType::png), pngBytes());
        } else {
            EXPECT_EQ(m_pasteboard.contents()->text(), QStringLiteral("words"));
        }
    }
    m_service.setClipboardRequests(nullptr);
}

} // namespace
