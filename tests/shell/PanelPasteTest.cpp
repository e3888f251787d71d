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
#include <QFile>
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
        m_service.setNoticePresenter([this](const QString &title, const QString &text, bool takesFocus) {
            m_notices.append(title);
            m_noticeTexts.append(text);
            m_noticesTakeFocus.append(takesFocus);
        });
        m_service.setShownOver([this] { return m_shownOver; });
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
    // or long after it (and pasted again `morePastes` times meanwhile); the keystrokes sent when
    // the picture was written (nothing for a text).
    std::optional<qsizetype> chooseAndWait(
        PanelViewState &state, const ClipboardItemPtr &item, bool writeOutlastsTheDelay, int morePastes = 0)
    {
        const qint64 before = m_pasteboard.changeCount();
        std::optional<qsizetype> keystrokesAtWrite;
        const QMetaObject::Connection watch = QObject::connect(&m_service,
            &PasteService::pendingContentsWritten, [&](bool) { keystrokesAtWrite = m_keyboard.sent.size(); });
        HeldThreadPool pool;
        if (writeOutlastsTheDelay)
            pool.hold();
        state.chooseItem(item);
        if (item->type() != ClipboardItemType::text && !writeOutlastsTheDelay) {
            EXPECT_TRUE(waitUntil([&] { return keystrokesAtWrite.has_value(); }));
        }
        m_time.advance(99ms);
        EXPECT_TRUE(m_keyboard.sent.isEmpty()) << "before the panel was out of the way";
        m_time.advance(1ms);
        if (writeOutlastsTheDelay) {
            for (int paste = 0; paste < morePastes; ++paste)
                m_service.simulatePaste();
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

    // How long the window a picture went to has to ask for one of its forms.
    static constexpr std::chrono::milliseconds pictureWait { 2000 };
    ClipboardItemPtr storedImageFile(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(pngBytes()) == pngBytes().size());
        file.close();
        return stored(
            ClipboardItem::create(ClipboardItemType::file, { .fileURL = QUrl::fromLocalFile(path) }));
    }
    // The window followed asks for the forms this long after the keystroke; the log says it took
    // none of the picture's when the wait is over, or never, and the window is let go.
    void expectWatchEnds(FakeClipboardRequests &requests, const QStringList &forms,
        std::chrono::milliseconds after, bool logged, const CapturedDiagnostics &log)
    {
        m_time.advance(after);
        for (const QString &form : forms)
            requests.request(form);
        m_time.advance(pictureWait - 1ms - after);
        EXPECT_EQ(picturesNotTaken(log), 0) << "logged before the wait was over";
        m_time.advance(1ms);
        EXPECT_EQ(picturesNotTaken(log), logged ? 1 : 0);
        EXPECT_EQ(requests.followed, 0) << "the window is still followed";
    }
    // The log's lines about a window that took none of a picture's forms.
    static qsizetype picturesNotTaken(const CapturedDiagnostics &log)
    {
        return log.lines().filter(QStringLiteral("asked for none of the picture's forms")).size();
    }

    enum class NoticeFocus { none, leaves, takes };
    // A paste of a text chosen in the panel, the window in front set up by `prepare`.
    struct PasteCase
    {
        const char *name;
        std::function<void()> prepare;
        // The window the panel was shown over is in front again this long after the keystroke's
        // time; nothing: it never is.
        std::optional<std::chrono::milliseconds> focusBackAfter;
        bool sent;
        QString notice = {};
        NoticeFocus focus = NoticeFocus::none;
        // The notice says how to paste by hand, and the PRIMARY selection holds the item for it.
        bool byHand = false;
    };
    static inline const QString nothingPasted = QStringLiteral("Nothing was pasted");
    static inline const QString noSyntheticKeys = QStringLiteral("Accessibility Permission Required");
    // Another program's window.
    static RunningApplication window(quint64 windowId, qint64 process, const char *windowClass)
    {
        RunningApplication window = editor;
        window.windowId = windowId;
        window.processIdentifier = process;
        window.windowClass = QLatin1String(windowClass);
        window.windowInstance = window.bundleIdentifier = window.windowClass.toLower();
        return window;
    }
    void expectPaste(PanelViewState &state, const PasteCase &c);
    void expectToldHowToPasteByHand(const PasteCase &c, const QMimeData *primaryBefore);

    ManualClock m_time;
    MemoryPasteboard m_pasteboard;
    FakeSyntheticKeyboard m_keyboard;
    FakeWorkspace m_workspace;
    PasteService m_service { m_pasteboard, m_keyboard, m_workspace };
    // The window in front when the panel showed.
    std::optional<RunningApplication> m_shownOver = editor;
    std::unique_ptr<PanelViewState> m_state;
    QStringList m_notices;
    QStringList m_noticeTexts;
    QList<bool> m_noticesTakeFocus;
};

// The editor is in front and was when the panel showed, until the case changes that; the item is
// chosen, and the paste's wait is over.
void PanelPasteTest::expectPaste(PanelViewState &state, const PasteCase &c)
{
    SCOPED_TRACE(c.name);
    const ClipboardItemPtr text
        = stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("words") }));
    m_keyboard = FakeSyntheticKeyboard();
    m_notices.clear();
    m_noticeTexts.clear();
    m_noticesTakeFocus.clear();
    m_workspace.frontmost = editor;
    m_workspace.hiddenWindows.clear();
    m_workspace.dialogOwners.clear();
    m_shownOver = editor;
    const QMimeData *primaryBefore = m_pasteboard.primarySelection();
    c.prepare();
    state.chooseItem(text);
    m_time.advance(100ms);
    if (c.focusBackAfter) {
        m_time.advance(*c.focusBackAfter);
        m_workspace.frontmost = editor;
    }
    m_time.advance(2s);
    // The editor's own keystroke, not that of a window in front before it.
    if (c.sent) {
        EXPECT_EQ(m_keyboard.sent, QList<PasteKeystroke> { PasteKeystroke::controlV });
    } else {
        EXPECT_TRUE(m_keyboard.sent.isEmpty());
    }
    EXPECT_EQ(m_notices, c.notice.isEmpty() ? QStringList() : QStringList { c.notice });
    if (c.focus != NoticeFocus::none) {
        EXPECT_EQ(m_noticesTakeFocus, QList<bool> { c.focus == NoticeFocus::takes });
    }
    // Whatever happened, the item stays on the clipboard for pasting by hand.
    EXPECT_EQ(m_pasteboard.contents()->text(), QStringLiteral("words"));
    expectToldHowToPasteByHand(c, primaryBefore);
}

void PanelPasteTest::expectToldHowToPasteByHand(const PasteCase &c, const QMimeData *primaryBefore)
{
    if (!c.byHand) {
        EXPECT_EQ(m_pasteboard.primarySelection(), primaryBefore) << "the PRIMARY selection was taken";
        return;
    }
    EXPECT_TRUE(m_noticeTexts.value(0).endsWith(QStringLiteral(
        " The item is on the clipboard and the primary selection: paste it with Control+V; in a "
        "terminal with Control+Shift+V, or with Shift+Insert in xterm, urxvt and st.")))
        << m_noticeTexts.value(0).toStdString();
    const QMimeData *primary = m_pasteboard.primarySelection();
    EXPECT_EQ(primary ? primary->text() : QString(), QStringLiteral("words"));
}

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
        // Keystrokes that wait for the write: each is sent once it is written; nothing written is
        // told once.
        int pastes = 1;
    } cases[] = {
        { "a text",
            stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("words") })),
            false, true },
        { "a picture ready within the delay", stored(picture(png)), false, true },
        { "a picture whose write outlasts the delay", stored(picture(png)), true, true },
        { "a picture pasted three times before it is written", stored(picture(png)), true, true, 3 },
        // Whole headers, and half the pixels.
        { "a picture that cannot be read", stored(picture(png.left(png.size() / 2))), false, false },
        { "a picture found unreadable after the delay", stored(picture(png.left(png.size() / 2))), true,
            false },
        { "a picture pasted three times and found unreadable", stored(picture(png.left(png.size() / 2))),
            true, false, 3 },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startRow();
        const qint64 before = m_pasteboard.changeCount();
        const bool isPicture = c.item->type() == ClipboardItemType::media;
        const std::optional<qsizetype> keystrokesAtWrite
            = chooseAndWait(state, c.item, c.writeOutlastsTheDelay, c.pastes - 1);

        if (isPicture) {
            EXPECT_EQ(keystrokesAtWrite, 0);
        }
        EXPECT_EQ(m_pasteboard.changeCount(), before + (c.written ? 1 : 0));
        // Not an equality with an empty list: QList compares enums with memcmp, which an empty
        // list's missing data makes undefined (the sanitizer build stops on it).
        if (c.written) {
            EXPECT_EQ(m_keyboard.sent, QList<PasteKeystroke>(c.pastes, PasteKeystroke::controlV));
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

// When the keystroke cannot go, the user is told how to paste by hand. A notice leaves the
// keyboard to the window the panel was shown over when it is in front, and takes it otherwise.
TEST_F(PanelPasteTest, WhenNothingCanBePastedTheUserIsTold)
{
    const PasteCase cases[] = {
        { "the focus is back at once", [] {}, 0ms, true },
        { "the focus is back a moment later", [this] { m_workspace.frontmost = thisApp(); }, 200ms, true },
        { "the focus is back at the last look", [this] { m_workspace.frontmost = thisApp(); },
            PasteService::focusReturnWait - 10ms, true },
        { "the focus is back once the wait is over", [this] { m_workspace.frontmost = thisApp(); },
            PasteService::focusReturnWait, false, nothingPasted, NoticeFocus::takes, true },
        { "the focus stays with this app", [this] { m_workspace.frontmost = thisApp(); }, std::nullopt, false,
            nothingPasted, NoticeFocus::takes, true },
        { "no window is active", [this] { m_workspace.frontmost = std::nullopt; }, std::nullopt, false,
            nothingPasted, NoticeFocus::takes, true },
        // The desktop had the focus: the window focused as the panel hides is nobody's choice.
        { "no window was in front when the panel showed", [this] { m_shownOver = std::nullopt; }, 0ms, false,
            nothingPasted, NoticeFocus::takes, true },
        { "no synthetic keys", [this] { m_keyboard.trusted = false; }, 0ms, false, noSyntheticKeys,
            NoticeFocus::leaves, true },
        { "no synthetic keys, the focus back a moment later",
            [this] {
                m_keyboard.trusted = false;
                m_workspace.frontmost = std::nullopt;
            },
            200ms, false, noSyntheticKeys, NoticeFocus::leaves, true },
        { "no synthetic keys and no window shown over",
            [this] {
                m_keyboard.trusted = false;
                m_shownOver = std::nullopt;
            },
            0ms, false, noSyntheticKeys, NoticeFocus::takes, true },
        { "the keystroke cannot be sent",
            [this] { m_keyboard.failure = QStringLiteral("no key of the keyboard types Control+V"); }, 0ms,
            false, nothingPasted, NoticeFocus::leaves, true },
    };
    PanelViewState &state = makeState();
    for (const PasteCase &c : cases)
        expectPaste(state, c);
}

// The window the panel was shown over closed, or went, while the panel was open, and the window
// manager focused another as it hid: nothing is typed into that one (a terminal's shell least of
// all). Only the window shown over, or a dialog of it, takes the paste, and only while it is seen.
TEST_F(PanelPasteTest, TheKeystrokeGoesOnlyToTheWindowShownOverOrADialogOfIt)
{
    const RunningApplication xterm = window(55, 5151, "XTerm");
    const RunningApplication editorsDialog = window(78, editor.processIdentifier, "Editor");
    const RunningApplication editorsNewWindow = window(79, editor.processIdentifier, "Editor");
    // A program started after the editor quit, whose window has the same number.
    const RunningApplication sameNumber = window(editor.windowId, 6161, "Viewer");
    const auto inFront = [this](const RunningApplication &front, QList<std::pair<quint64, quint64>> dialogs) {
        return [this, front, dialogs] {
            m_workspace.frontmost = front;
            for (const auto &[dialog, owner] : dialogs)
                m_workspace.dialogOwners.insert(dialog, owner);
        };
    };
    const PasteCase cases[] = {
        // The window manager focuses another window first as the panel hides.
        { "another program's window in front until the focus is back", inFront(xterm, {}), 200ms, true },
        { "a terminal in front instead", inFront(xterm, {}), std::nullopt, false, nothingPasted,
            NoticeFocus::takes, true },
        { "a new window of the same program in front", inFront(editorsNewWindow, {}), std::nullopt, false,
            nothingPasted, NoticeFocus::takes, true },
        { "another program's window numbered as the one shown over", inFront(sameNumber, {}), std::nullopt,
            false, nothingPasted, NoticeFocus::takes, true },
        { "the window shown over active but not seen (unmapped, on a desktop not shown)",
            [this] { m_workspace.hiddenWindows.insert(editor.windowId); }, std::nullopt, false, nothingPasted,
            NoticeFocus::takes, true },
        { "a dialog of the window shown over", inFront(editorsDialog, { { 78, editor.windowId } }),
            std::nullopt, true },
        { "a dialog of a dialog of the window shown over",
            inFront(editorsNewWindow, { { 79, 78 }, { 78, editor.windowId } }), std::nullopt, true },
        { "a dialog of another window", inFront(editorsDialog, { { 78, xterm.windowId } }), std::nullopt,
            false, nothingPasted, NoticeFocus::takes, true },
    };
    PanelViewState &state = makeState();
    for (const PasteCase &c : cases)
        expectPaste(state, c);
}

TEST_F(PanelPasteTest, APictureTheWindowInFrontAsksNoFormOfIsLoggedWithoutANotice)
{
    FakeClipboardRequests requests;
    m_service.setClipboardRequests(&requests);
    const ClipboardItemPtr text
        = stored(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("words") }));
    const ClipboardItemPtr image = stored(picture(pngBytes()));
    // An image file goes on the clipboard as the picture and its path as text.
    const QString photo = m_folder->path() + QStringLiteral("/photo.png");
    const ClipboardItemPtr imageFile = storedImageFile(photo);
    const QStringList textForms = QStringLiteral("UTF8_STRING TEXT COMPOUND_TEXT STRING").split(u' ');
    const struct
    {
        const char *name;
        ClipboardItemPtr item;
        // What the window in front asks for, and how long after the keystroke.
        QStringList forms;
        std::chrono::milliseconds after;
        // The window's requests are watched; the log says it took none of the picture's forms; the
        // keystroke cannot be sent (the user is told at once, and the window is not watched).
        bool watched, logged, keystrokeFails = false;
    } cases[] = {
        { "a picture program asks for PNG", image, { QStringLiteral("TARGETS"), QStringLiteral("image/png") },
            0ms, true, false },
        { "a program that asks for TIFF alone", image, { QStringLiteral("image/tiff") }, 0ms, true, false },
        { "a slow picture program asks at the last moment", image, { QStringLiteral("image/png") },
            pictureWait - 1ms, true, false },
        { "a terminal asks for text", image, textForms, 0ms, true, true },
        { "a program asks for the forms on offer and takes none", image, { QStringLiteral("TARGETS") }, 0ms,
            true, true },
        { "the window asks for nothing", image, {}, 0ms, true, true },
        { "a text the window asks nothing of", text, {}, 0ms, false, false },
        { "an image file, which the text of its path goes with", imageFile, textForms, 0ms, false, false },
        { "the keystroke to the picture's window cannot be sent", image, {}, 0ms, false, false, true },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startRow();
        m_keyboard.failure = c.keystrokeFails ? QStringLiteral("the server refused it") : QString();
        CapturedDiagnostics log;
        chooseAndWait(state, c.item, false);
        // Told only at the moment of the paste, and only that it could not be made.
        const QStringList toldAtOnce(c.keystrokeFails ? 1 : 0, QStringLiteral("Nothing was pasted"));
        ASSERT_TRUE(waitUntil([&] { return m_keyboard.sent.size() + m_notices.size() == 1; }));
        EXPECT_EQ(m_keyboard.sent.size(), c.keystrokeFails ? 0 : 1);
        EXPECT_EQ(m_notices, toldAtOnce);
        EXPECT_EQ(requests.followed, c.watched ? editor.windowId : 0)
            << "the window in front is not followed";
        expectWatchEnds(requests, c.forms, c.after, c.logged, log);
        m_time.advance(10s);
        EXPECT_EQ(m_notices, toldAtOnce) << "told seconds after the paste";
        // Whatever the window took, the item stays on the clipboard.
        EXPECT_EQ(
            m_pasteboard.contents()->data(PasteboardType::png), c.item == text ? QByteArray() : pngBytes());
        EXPECT_EQ(m_pasteboard.contents()->text(),
            c.item == text ? QStringLiteral("words") : (c.item == imageFile ? photo : QString()));
    }
    m_service.setClipboardRequests(nullptr);
}

// A second picture pasted while the window of the first is still watched: each paste is judged by
// the requests of its own window, within its own wait.
TEST_F(PanelPasteTest, TwoPicturePastesWithinTheWaitAreEachJudgedByTheirOwnWindow)
{
    FakeClipboardRequests requests;
    m_service.setClipboardRequests(&requests);
    const ClipboardItemPtr image = stored(picture(pngBytes()));
    RunningApplication pictureProgram = editor;
    pictureProgram.windowId = 78;
    const struct
    {
        const char *name;
        // What the second window asks for, this long after its keystroke (a second after the first).
        QStringList forms;
        std::chrono::milliseconds after;
        // Log lines three seconds after the first paste (the second paste's wait is over then).
        qsizetype logged;
    } cases[] = {
        { "the second window asks for PNG after the first paste's wait", { QStringLiteral("image/png") },
            1500ms, 0 },
        { "the second window asks for text", { QStringLiteral("UTF8_STRING") }, 1500ms, 1 },
        { "the second window asks for PNG at once", { QStringLiteral("image/png") }, 0ms, 0 },
    };
    PanelViewState &state = makeState();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startRow();
        m_workspace.frontmost = editor;
        m_shownOver = editor;
        CapturedDiagnostics log;
        chooseAndWait(state, image, false);
        ASSERT_EQ(m_keyboard.sent.size(), 1);
        m_keyboard.sent.clear();
        requests.request(QStringLiteral("UTF8_STRING"));
        m_time.advance(1s - 100ms);
        m_workspace.frontmost = pictureProgram;
        m_shownOver = pictureProgram;
        chooseAndWait(state, image, false);
        ASSERT_EQ(m_keyboard.sent.size(), 1);
        EXPECT_EQ(requests.followed, pictureProgram.windowId);
        m_time.advance(c.after);
        for (const QString &form : c.forms)
            requests.request(form);
        m_time.advance(2s - 1ms - c.after);
        EXPECT_EQ(requests.followed, pictureProgram.windowId) << "the second window is no longer followed";
        m_time.advance(1ms);
        EXPECT_EQ(picturesNotTaken(log), c.logged);
        EXPECT_EQ(requests.followed, 0);
        EXPECT_TRUE(m_notices.isEmpty());
    }
    m_workspace.frontmost = editor;
    m_service.setClipboardRequests(nullptr);
}

} // namespace
