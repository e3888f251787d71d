// The panel under the pointer, in the running app under Xvfb with openbox: hovering selects,
// the search strip drags the window, the edges resize it, a resting pointer shows the item's
// preview beside the panel, History collapses and expands in an animation, and a pin's label is
// typed in place. A resize by the window manager takes the road of the edges' own. Screenshots of each step
// go to $TINDLEWICK_ARTEFACT_DIR.

#include "PanelPointerFixture.h"

#include "panel/PanelCategories.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <xcb/xcb.h>

#include <cstdio>

#include <sys/inotify.h>
#include <unistd.h>

TEST_F(PanelPointerX11Test, HoverMovesTheHighlightAndReturnPastesTheHoveredItem)
{
    // Newest last: the column shows delta, charlie, bravo, alpha.
    seedStore({ QStringLiteral("alpha one"), QStringLiteral("bravo two"), QStringLiteral("charlie three"),
        QStringLiteral("delta four") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));
    // Out of the panel first, so that nothing is under the pointer.
    ASSERT_TRUE(moveTo(QPoint(200, 200)));
    ASSERT_TRUE(app->caughtUp());
    const QImage before = screen();
    saveScreenshot(QStringLiteral("hover-0-none.png"));

    // A pixel of a row's background beside its words shows the highlight.
    const auto highlightOf = [&](const QImage &image, int row) {
        return image.pixelColor(rowPoint(panel.rect, 0, row) + QPoint(60, -16));
    };
    struct Step
    {
        int row;
        const char *shot;
    };
    for (const Step &step : { Step { 1, "hover-1-second-row.png" }, Step { 2, "hover-2-third-row.png" } }) {
        // Two moves: the first enters the row, the second is the one a user makes within it.
        ASSERT_TRUE(moveTo(rowPoint(panel.rect, 0, step.row) - QPoint(10, 0)));
        ASSERT_TRUE(moveTo(rowPoint(panel.rect, 0, step.row)));
        ASSERT_TRUE(app->caughtUp());
        const QImage shot = screen();
        shot.save(artefactPath(QString::fromLatin1(step.shot)));
        for (int row = 0; row < 4; ++row) {
            if (row == step.row)
                EXPECT_NE(highlightOf(shot, row), highlightOf(before, row))
                    << "row " << row << " not highlighted";
            else
                EXPECT_EQ(highlightOf(shot, row), highlightOf(before, row))
                    << "row " << row << " highlighted";
        }
    }
    EXPECT_TRUE(isFront(panelWindow)) << "hovering leaves the panel its focus";

    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    EXPECT_TRUE(waitUntil([&] { return window->plainText() == QLatin1String("bravo two"); }))
        << "pasted: " << window->plainText().toStdString();
}

TEST_F(PanelPointerX11Test, DraggingTheSearchStripMovesThePanelAndAClickPutsTheCaretAtTheEnd)
{
    // Newest last: "ry tea" comes first in a search that finds both.
    seedStore({ QStringLiteral("cherry tart"), QStringLiteral("ry tea") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));
    const Geometry before = panel;

    // Over the search field, well left of the strip's buttons.
    const QPoint grip = before.rect.topLeft() + QPoint(150, 32);
    ASSERT_TRUE(drag(grip, grip + QPoint(-240, -130)));
    ASSERT_TRUE(waitUntil([&] {
        return windowGeometry(panelWindow).rect.topLeft() != before.rect.topLeft();
    })) << "the panel did not move";
    // The window manager moves it in steps behind the pointer: until it stands where the drag ended.
    waitUntil([&] {
        const QPoint by = windowGeometry(panelWindow).rect.topLeft() - before.rect.topLeft();
        return std::abs(by.x() + 240) <= 4 && std::abs(by.y() + 130) <= 4;
    });
    const Geometry moved = windowGeometry(panelWindow);
    EXPECT_EQ(moved.rect.size(), before.rect.size());
    EXPECT_NEAR(moved.rect.left() - before.rect.left(), -240, 4);
    EXPECT_NEAR(moved.rect.top() - before.rect.top(), -130, 4);
    saveScreenshot(QStringLiteral("drag-moved.png"));
    EXPECT_TRUE(isFront(panelWindow)) << "a drag keeps the panel in front";

    // A search, hidden and shown again: the old search is selected, so typing would replace it.
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("cher") }));
    // Typed into the panel before the shortcut, which comes on another connection, hides it.
    ASSERT_TRUE(app->caughtUp());
    // The shortcut hides the panel and keeps the search (Escape would clear it first).
    ASSERT_TRUE(pressKey(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
    ASSERT_TRUE(openPanel(*app));
    const Geometry shown = windowGeometry(frontWindow());
    // The panel selects the old search a quarter second after it shows.
    ASSERT_TRUE(waitUntil([&] { return searchTextSelected(shown.rect); }))
        << "the old search was not selected";
    // A plain click on the field puts the caret after the text instead.
    ASSERT_TRUE(moveTo(shown.rect.topLeft() + QPoint(150, 32)));
    ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("1") }));
    ASSERT_TRUE(app->caughtUpWithClick());
    saveScreenshot(QStringLiteral("drag-click-caret.png"));
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("ry t") }));
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("drag-click-typed.png"));
    // "cherry t" finds one item; "ry t" alone would find "ry tea" first.
    ASSERT_TRUE(pressKey(QStringLiteral("Down")));
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    EXPECT_TRUE(waitUntil([&] { return window->plainText() == QLatin1String("cherry tart"); }))
        << "pasted: " << window->plainText().toStdString();
}

TEST_F(PanelPointerX11Test, TheFirstClickOnAPinnedPanelBehindAnotherWindowActsAtOnce)
{
    seedStore({ QStringLiteral("kept") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));
    ASSERT_TRUE(pressKey(QStringLiteral("ctrl+p"))); // pinned: it stays when another window is used
    ASSERT_TRUE(app->caughtUp());
    // The other window takes the focus; the pinned panel stays on screen.
    ASSERT_TRUE(clickAt(QPoint(120, 100)));
    ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
    ASSERT_TRUE(isViewable(panelWindow));

    ASSERT_TRUE(clickAt(panel.rect.topLeft() + QPoint(150, 32)));
    EXPECT_TRUE(waitUntil([&] { return isFront(panelWindow); }))
        << "the click did not bring the panel forward";
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("ke") }));
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("first-click.png"));
    EXPECT_TRUE(window->plainText().isEmpty()) << "typing went to the other window";
    ASSERT_TRUE(pressKey(QStringLiteral("Down")));
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    // A pinned panel pastes into the window it was opened over.
    EXPECT_TRUE(waitUntil([&] { return window->plainText() == QLatin1String("kept"); }))
        << "pasted: " << window->plainText().toStdString();
}

TEST_F(PanelPointerX11Test, DraggingTheRightEdgeWidensThePanelAndNarrowingItSwitchesToTabsAndBack)
{
    // History and Text: columns down to 2 × 200 − 5 = 395 points.
    seedStore({ QStringLiteral("one"), QStringLiteral("two") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    const Geometry start = panel;
    ASSERT_EQ(start.rect.width(), 400);
    const auto edge = [&] {
        const QRect rect = windowGeometry(panelWindow).rect;
        return QPoint(rect.right() - 2, rect.center().y());
    };
    saveScreenshot(QStringLiteral("resize-0-start.png"));

    struct Step
    {
        const char *name;
        int by;
        int expectedWidth;
        bool tabs;
    };
    const Step steps[] = {
        { "wider", 150, 550, false },
        { "below the columns' width: tabs", -190, 360, true },
        { "back to columns", 100, 460, false },
    };
    int index = 1;
    for (const Step &step : steps) {
        const QPoint from = edge();
        ASSERT_TRUE(drag(from, from + QPoint(step.by, 0))) << step.name;
        ASSERT_TRUE(waitUntil([&] {
            return std::abs(windowGeometry(panelWindow).rect.width() - step.expectedWidth) <= 3;
        })) << step.name
            << ": width " << windowGeometry(panelWindow).rect.width();
        EXPECT_EQ(windowGeometry(panelWindow).rect.left(), start.rect.left())
            << step.name << ": the left edge stays";
        EXPECT_TRUE(waitUntil([&] {
            return storedSetting(QStringLiteral("ClipboardPanelTabModeLock")).toBool() == step.tabs;
        })) << step.name;
        const QString width = QString::number(windowGeometry(panelWindow).rect.width());
        EXPECT_TRUE(waitUntil([&] {
            return storedSetting(QStringLiteral("ClipboardPanelSize")).toString().contains(width);
        })) << step.name
            << ": the size is saved when the drag ends, "
            << storedSetting(QStringLiteral("ClipboardPanelSize")).toString().toStdString();
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("resize-%1-%2.png").arg(index++).arg(step.tabs ? "tabs" : "columns"));
    }
}

namespace {

// Counts the times a file is put in place by a rename, as every save of the settings file does
// (a new file written beside the old one, then renamed over it).
class FileReplacements final
{
public:
    // The file's folder must be there.
    explicit FileReplacements(const QString &path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
        , m_descriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        m_watching = m_descriptor >= 0
            && ::inotify_add_watch(
                   m_descriptor, QFile::encodeName(QFileInfo(path).path()).constData(), IN_MOVED_TO)
                >= 0;
    }
    ~FileReplacements()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    FileReplacements(const FileReplacements &) = delete;
    FileReplacements &operator=(const FileReplacements &) = delete;

    bool isWatching() const { return m_watching; }
    // The replacements since the last call (the system has queued each one by the time the
    // rename returned).
    int taken()
    {
        int count = 0;
        alignas(struct inotify_event) char buffer[4096];
        ssize_t length = 0;
        while ((length = ::read(m_descriptor, buffer, sizeof buffer)) > 0) {
            for (const char *at = buffer; at < buffer + length;) {
                const auto *event = reinterpret_cast<const struct inotify_event *>(at);
                count += event->len > 0 && m_name == event->name;
                at += sizeof(struct inotify_event) + event->len;
            }
        }
        return count;
    }

private:
    QByteArray m_name;
    int m_descriptor;
    bool m_watching = false;
};

QString pairText(int first, int second)
{
    return QStringLiteral("{%1, %2}").arg(first).arg(second);
}

} // namespace

// Each hide saves the panel's size and place; the settings file, which every write replaces and
// waits for the disk to hold, is written once when either changed (a move or a resize by the
// pointer when it ends, else at the hide) and not at all otherwise.
TEST_F(PanelPointerX11Test, HidingThePanelRewritesItsSettingsOnlyAfterItMovedOrWasResized)
{
    seedStore({ QStringLiteral("one"), QStringLiteral("two") });
    const QString settingsFile = home.path() + QStringLiteral("/config/Tindlewick/defaults.json");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(settingsFile).path()));
    FileReplacements writes(settingsFile);
    ASSERT_TRUE(writes.isWatching());
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));
    const auto storedPlace = [&] {
        const QVariantMap positions = storedSetting(QStringLiteral("ClipboardPanelPositions")).toMap();
        return positions.isEmpty() ? QString() : positions.first().toString();
    };
    const auto grip = [&] { return windowGeometry(panelWindow).rect.topLeft() + QPoint(150, 32); };
    const auto edge = [&] {
        const QRect rect = windowGeometry(panelWindow).rect;
        return QPoint(rect.right() - 2, rect.center().y());
    };
    const auto unmoved = [] { return true; };
    const struct
    {
        const char *name;
        std::function<bool()> change;
        bool written;
    } hides[] = {
        { "the first hide", unmoved, true },
        { "unmoved", unmoved, false },
        { "unmoved again", unmoved, false },
        { "unmoved a third time", unmoved, false },
        { "moved by its search strip", [&] { return drag(grip(), grip() + QPoint(-120, -80)); }, true },
        { "unmoved after the move", unmoved, false },
        { "wider by its right edge", [&] { return drag(edge(), edge() + QPoint(80, 0)); }, true },
        { "unmoved after the resize", unmoved, false },
    };
    for (const auto &hide : hides) {
        SCOPED_TRACE(hide.name);
        writes.taken();
        ASSERT_TRUE(hide.change());
        ASSERT_TRUE(app->caughtUp());
        const QRect shown = windowGeometry(panelWindow).rect;
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
        ASSERT_TRUE(app->caughtUp());
        EXPECT_EQ(writes.taken(), hide.written ? 1 : 0);
        if (hide.written) {
            EXPECT_EQ(storedSetting(QStringLiteral("ClipboardPanelSize")).toString(),
                pairText(shown.width(), shown.height()));
            EXPECT_EQ(storedPlace(), pairText(shown.left(), shown.top()));
        }
        // Shown again where it was: a write the hide left for later would show by now.
        ASSERT_TRUE(openPanelShown(*app));
        EXPECT_EQ(windowGeometry(panelWindow).rect, shown) << "not where it was hidden";
        EXPECT_EQ(writes.taken(), 0) << "written after the hide";
    }
}

TEST_F(PanelPointerX11Test, ALongItemRestedOnShowsItsPreviewBesideThePanelWhichKeepsTheKeyboard)
{
    QStringList lines;
    for (int line = 1; line <= 30; ++line)
        lines << QStringLiteral("Line %1 of the long note, with enough words to wrap somewhere.").arg(line);
    seedStore({ lines.join(QLatin1Char('\n')), QStringLiteral("short") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    EXPECT_EQ(previewWindow(), 0u) << "no preview before the pointer rests on an item";

    // The long note is the older item: the second row of the History column.
    const QPoint pointer = rowPoint(panel.rect, 0, 1);
    const Geometry preview = previewAfterRestingOn(pointer);
    ASSERT_TRUE(preview.valid) << "no preview appeared";
    saveScreenshot(QStringLiteral("preview-shown.png"));
    EXPECT_FALSE(preview.rect.intersects(panel.rect)) << "the preview covers the panel";
    EXPECT_FALSE(preview.rect.contains(pointer)) << "the preview lies under the pointer";
    EXPECT_GE(preview.rect.left(), panel.rect.right()) << "beside the panel, on its right";
    EXPECT_GT(preview.rect.height(), 200) << "the long text shows many lines";
    EXPECT_TRUE(isFront(panelWindow)) << "the preview took the focus";

    // The keyboard is still the panel's: typing searches, and the preview goes with the pointer.
    ASSERT_TRUE(moveTo(QPoint(200, 200)));
    EXPECT_TRUE(waitUntil([&] { return previewWindow() == 0; }))
        << "the preview stayed after the pointer left";
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("short") }));
    ASSERT_TRUE(app->caughtUp()); // the search has settled before Down moves into it
    ASSERT_TRUE(pressKey(QStringLiteral("Down")));
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    EXPECT_TRUE(waitUntil([&] { return window->plainText() == QLatin1String("short"); }))
        << "pasted: " << window->plainText().toStdString();
}

namespace {

// The darkest lightness of the search field's magnifier and of the caret's place after it, in
// an image of the panel whose left edge may lie anywhere (the desktop around it is black).
struct StripInk
{
    int magnifier = 255;
    int caret = 255;
};
std::optional<StripInk> stripInk(const QImage &image)
{
    int left = 0;
    while (left < image.width() && image.pixelColor(left, 30).lightness() < 150)
        ++left;
    if (left + 70 > image.width())
        return std::nullopt;
    StripInk ink;
    for (int y = 15; y < 45; ++y) {
        for (int x = 15; x < 42; ++x)
            ink.magnifier = std::min(ink.magnifier, image.pixelColor(left + x, y).lightness());
        for (int x = 46; x < 66; ++x)
            ink.caret = std::min(ink.caret, image.pixelColor(left + x, y).lightness());
    }
    return ink;
}

struct Frame
{
    qint64 at; // ms after the key
    QImage image;
};

// Frames of the panel's area as fast as the screen can be read, from History's toggle key until
// the window has its new width and the screen has stayed still for a while: a loaded machine
// stretches the toggle, so no frame is expected at a given time, only the frames of an
// animation in their order.
QList<Frame> recordHistoryToggle(quint64 panelWindow, const QRect &area, int finalWidth)
{
    QList<Frame> frames;
    QElapsedTimer clock;
    EXPECT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+period") }));
    clock.start();
    // Below the search strip, where the caret's blinking does not count as movement.
    const QRect columns(0, 70, area.width(), area.height() - 70);
    qint64 stillSince = 0;
    while (clock.elapsed() < 10000) {
        const qint64 at = clock.elapsed();
        QImage image = screenImage().copy(area);
        if (!frames.isEmpty() && image.copy(columns) != frames.last().image.copy(columns))
            stillSince = at;
        frames.append({ at, std::move(image) });
        if (at > 600 && at - stillSince > 400 && windowGeometry(panelWindow).rect.width() == finalWidth)
            break;
    }
    return frames;
}

// The search strip fades out and back: where its magnifier has faded, the caret (at the start
// of the empty field) has faded with it. A solid caret is black; the grey of the placeholder's
// first letter shares the area, and a frame read while the window was being redrawn on a loaded
// machine can mix two moments of the fade.
void expectTheStripFadesWithItsCaret(const QList<Frame> &frames, const QString &name)
{
    int fadedFrames = 0;
    for (const Frame &frame : frames) {
        const std::optional<StripInk> ink = stripInk(frame.image);
        if (!ink || ink->magnifier < 200)
            continue;
        ++fadedFrames;
        EXPECT_GT(ink->caret, 100) << name.toStdString() << ": a solid caret in a faded field at " << frame.at
                                   << " ms";
    }
    EXPECT_GT(fadedFrames, 0) << name.toStdString() << ": the search strip never faded";
}

// Toggles History and expects an animation: frames between the start and the end, the search
// strip fading. Keeps the start, the middle and the end as artefacts.
void expectAnimatedHistoryToggle(quint64 panelWindow, const QRect &area, int finalWidth, const QString &name)
{
    const QImage start = screenImage().copy(area);
    const QList<Frame> frames = recordHistoryToggle(panelWindow, area, finalWidth);
    const QImage end = frames.last().image;
    QList<const Frame *> moving;
    for (const Frame &frame : frames) {
        if (frame.image != start && frame.image != end)
            moving.append(&frame);
    }
    EXPECT_FALSE(moving.isEmpty()) << name.toStdString() << ": no frame between the start and the end";
    expectTheStripFadesWithItsCaret(frames, name);
    if (!moving.isEmpty())
        moving[moving.size() / 2]->image.save(
            artefactPath(QStringLiteral("history-%1-middle.png").arg(name)));
    start.save(artefactPath(QStringLiteral("history-%1-start.png").arg(name)));
    end.save(artefactPath(QStringLiteral("history-%1-end.png").arg(name)));
}

// Pixels of the image dark enough to be a glyph's ink.
int inkedPixels(const QImage &image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            dark += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
    }
    return dark;
}

} // namespace

namespace {

// A store of a first start: one item of each of `otherKinds` kinds besides text (each its own
// column: links, colours, files, code, media), then, newest, a text of lines longer than the
// widest preview shows.
QList<ClipboardItemPtr> itemsOfManyKinds(const QString &folder, int otherKinds)
{
    const QString svgPath = folder + QStringLiteral("/logo.svg");
    QFile svg(svgPath);
    if (svg.open(QIODevice::WriteOnly))
        svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"><rect width=\"8\" "
                  "height=\"8\"/></svg>");
    QList<ClipboardItemPtr> items {
        ClipboardItem::create(ClipboardItemType::link, { .text = QStringLiteral("https://example.org/") }),
        ClipboardItem::create(ClipboardItemType::color,
            { .text = QStringLiteral("#FF0000"), .colorHex = QStringLiteral("#FF0000") }),
        ClipboardItem::create(ClipboardItemType::file,
            { .fileURL = QUrl::fromLocalFile(svgPath), .previewText = QStringLiteral("logo.svg") }),
        ClipboardItem::create(ClipboardItemType::code,
            { .text = QStringLiteral("int main() { return 0; }"), .codeLanguage = QStringLiteral("cpp") }),
        ClipboardItem::create(ClipboardItemType::media,
            { .fileURL = QUrl::fromLocalFile(svgPath), .mediaSubtypeRaw = QStringLiteral("image") }),
    };
    items = items.mid(0, otherKinds);
    QStringList lines;
    for (int line = 1; line <= 12; ++line)
        lines << QStringLiteral(
            "Line %1 runs on and on with words enough to fill the widest preview there is.")
                     .arg(line);
    items.append(ClipboardItem::create(ClipboardItemType::text, { .text = lines.join(QLatin1Char('\n')) }));
    return items;
}

} // namespace

TEST_F(PanelPointerX11Test, APanelWithTooLittleRoomBesideItShowsALeftRowsPreviewWhollyOnTheScreen)
{
    // The widest preview, of the newest item, beside a panel whose columns leave less room than
    // that on either side of the screen.
    struct Case
    {
        const char *name;
        QString scale;
        int otherKinds; // with History and Text, the panel's columns
        int columns;
    };
    const Case cases[] = {
        // 1400 of 1920 pixels: 260 on either side.
        { "seven columns at scale 1", QStringLiteral("1"), 5, 7 },
        // 1200 of 1280 points: 40 on either side.
        { "six columns at scale 1.5", QStringLiteral("1.5"), 4, 6 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A first start each time: no store and no remembered panel size.
        for (const char *folder : { "/data/Tindlewick", "/config/Tindlewick" })
            QDir(home.path() + QLatin1String(folder)).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/data/Tindlewick")));
        ASSERT_NO_FATAL_FAILURE(seedStore(itemsOfManyKinds(home.path(), c.otherKinds)));
        appEnvironment.insert(QStringLiteral("QT_SCALE_FACTOR"), c.scale);
        ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(20, 20), false));
        const double scale = c.scale.toDouble();
        EXPECT_EQ(panel.rect.width(), qRound(c.columns * 200 * scale));

        // The middle of the newest row of History, the leftmost column.
        const QPoint pointer
            = panel.rect.topLeft() + QPoint(qRound(120 * scale), qRound((firstRowTop + 22) * scale));
        const Geometry preview = previewAfterRestingOn(pointer);
        ASSERT_TRUE(preview.valid) << "no preview appeared";
        saveScreenshot(QStringLiteral("preview-wide-panel-scale-%1.png").arg(c.scale));
        EXPECT_GT(preview.rect.width(), qRound(400 * scale)) << "not the widest preview";
        EXPECT_TRUE(QRect(0, 0, 1920, 1080).contains(preview.rect))
            << "the preview at " << preview.rect.x() << "," << preview.rect.y() << " ("
            << preview.rect.width() << "x" << preview.rect.height() << ") leaves the screen";
        EXPECT_FALSE(preview.rect.contains(pointer)) << "the preview covers the row under the pointer";
        app->stop();
    }
}

TEST_F(PanelPointerX11Test, CollapsingAndExpandingHistoryAnimatesAndLeavesItsToggleVisible)
{
    seedStore(QList<ClipboardItemPtr> {
        ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("a note") }),
        ClipboardItem::create(ClipboardItemType::link,
            { .text = QStringLiteral("https://example.org/page"),
                .previewText = QStringLiteral("https://example.org/page") }) });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540), false));
    const Geometry opened = panel;
    ASSERT_EQ(opened.rect.width(), 600) << "History, Text and Links";
    ASSERT_TRUE(moveTo(QPoint(100, 100)));
    ASSERT_TRUE(app->caughtUp());
    // Everything the panel covers at its widest, and History's toggle in its header.
    const QRect area = opened.rect;
    const QRect toggle(opened.rect.left() + 10, opened.rect.top() + 84, 30, 26);
    const QImage initial = screen();

    expectAnimatedHistoryToggle(panelWindow, area, 400, QStringLiteral("collapse"));
    EXPECT_EQ(windowGeometry(panelWindow).rect.width(), 400) << "one column less";
    EXPECT_EQ(windowGeometry(panelWindow).rect.right(), opened.rect.right()) << "the right edge stays";
    // Toggles within 0.5 s of the last are dropped, on the app's clock. The app took the
    // collapse before the window had its new width, which the recording saw at its end: 0.6 s
    // from then is past that, however late the app took it.
    QTest::qWait(600);
    expectAnimatedHistoryToggle(panelWindow, area, 600, QStringLiteral("expand"));
    EXPECT_EQ(windowGeometry(panelWindow).rect, opened.rect) << "back to three columns";
    const QImage after = screen();
    after.save(artefactPath(QStringLiteral("history-after.png")));
    initial.copy(toggle).save(artefactPath(QStringLiteral("history-toggle-before.png")));
    after.copy(toggle).save(artefactPath(QStringLiteral("history-toggle-after.png")));
    // The toggle's glyph is drawn as strongly as before the toggles (invisible, it would leave the
    // header's background alone).
    const int inkBefore = inkedPixels(initial.copy(toggle));
    ASSERT_GT(inkBefore, 20) << "no toggle where it is expected";
    EXPECT_NEAR(inkedPixels(after.copy(toggle)), inkBefore, inkBefore / 5)
        << "History's toggle is not visible";
}

TEST_F(PanelPointerX11Test, APinsLabelTypedInPlaceIsSavedAndFoundBySearch)
{
    const QString command = QStringLiteral("ssh -i key.pem deploy@host");
    ClipboardItemPtr pin = ClipboardItem::create(ClipboardItemType::text, { .text = command });
    pin->setIsPinned(true);
    pin->setPinnedTimestamp(QDateTime::currentDateTimeUtc());
    seedStore(
        { pin, ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("another note") }) });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    saveScreenshot(QStringLiteral("label-0-panel.png"));

    // The Text column keeps its pins in a group under a header; opened, the pin comes first and
    // its menu offers a label.
    ASSERT_NO_FATAL_FAILURE(openTextColumnPins());
    saveScreenshot(QStringLiteral("label-1-pins-shown.png"));
    ASSERT_TRUE(moveTo(textPinPoint(0)));
    const qsizetype beforeMenu = app->outputMark();
    ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("3") }));
    ASSERT_TRUE(app->waitForMenu(beforeMenu, QStringLiteral("Add Label"))) << "no menu with Add Label";
    saveScreenshot(QStringLiteral("label-1-menu.png"));
    // Escape would close the menu; the keys choose its second entry.
    ASSERT_TRUE(pressKey(QStringLiteral("Down"))); // Unpin
    ASSERT_TRUE(pressKey(QStringLiteral("Down"))); // Add Label
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    ASSERT_TRUE(app->caughtUp()); // the label field is open
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("staging box") }));
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("label-2-typing.png"));
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    EXPECT_TRUE(waitUntil([&] {
        for (const ClipboardItemPtr &item : storedItems()) {
            if (item->textContent() == command)
                return item->pinnedLabel() == QLatin1String("staging box");
        }
        return false;
    })) << "the label was not saved";
    EXPECT_TRUE(isViewable(panelWindow)) << "Return in the label field keeps the panel";
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("label-3-saved.png"));

    // Typing searches again, and the label finds the pin.
    ASSERT_TRUE(xdotool({ QStringLiteral("type"), QStringLiteral("staging") }));
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("label-4-found.png"));
    // History keeps no pins: the keys go down into it and across to Text.
    ASSERT_TRUE(pressKey(QStringLiteral("Down")));
    ASSERT_TRUE(pressKey(QStringLiteral("Right")));
    ASSERT_TRUE(pressKey(QStringLiteral("Return")));
    EXPECT_TRUE(waitUntil([&] { return window->plainText() == command; }))
        << "pasted: " << window->plainText().toStdString();
}

namespace {

// Text items pinned in the order given, a second apart, ten minutes ago.
QList<ClipboardItemPtr> pinnedInOrder(const QStringList &texts)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-600);
    QList<ClipboardItemPtr> items;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        ClipboardItemPtr pin = ClipboardItem::create(ClipboardItemType::text, { .text = texts[i] });
        pin->setTimestamp(start.addSecs(i));
        pin->setIsPinned(true);
        pin->setPinnedTimestamp(start.addSecs(i));
        items.append(pin);
    }
    return items;
}

QStringList threePins()
{
    return { QStringLiteral("first pin"), QStringLiteral("second pin"), QStringLiteral("third pin") };
}

// The pins, then an unpinned note, which the Text column shows under them.
QList<ClipboardItemPtr> pinnedInOrderAndANote(const QStringList &pins)
{
    QList<ClipboardItemPtr> items = pinnedInOrder(pins);
    items.append(ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("a note") }));
    return items;
}

// The texts of the pins among the items, in the order the pins are shown.
QStringList pinOrder(const QList<ClipboardItemPtr> &items)
{
    QList<ClipboardItemPtr> pinned;
    for (const ClipboardItemPtr &item : items) {
        if (item->isPinned())
            pinned.append(item);
    }
    sortByPinTime(pinned);
    QStringList texts;
    for (const ClipboardItemPtr &item : pinned)
        texts.append(item->textContent().value_or(QString()));
    return texts;
}

} // namespace

// Three pins of the Text column dragged into a new order by the pointer keep that order: in the
// store at once, and in the panel after the app has been started again. A drag pastes nothing,
// and Escape during a drag changes nothing and leaves the panel open.
TEST_F(PanelPointerX11Test, ThreePinsDraggedIntoANewOrderKeepItAfterARestart)
{
    const QStringList pins = threePins();
    seedStore(pinnedInOrderAndANote(pins));
    const auto storedPinOrder = [&] { return pinOrder(storedItems()); };

    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_NO_FATAL_FAILURE(openTextColumnPins());
    saveScreenshot(QStringLiteral("pin-drag-0-pins.png"));
    ASSERT_EQ(storedPinOrder(), pins);

    // The first pin dragged onto the third: the column shows the order while the drag lasts.
    ASSERT_NO_FATAL_FAILURE(
        dragTextPin(0, 2, [&] { saveScreenshot(QStringLiteral("pin-drag-1-dragging.png")); }));
    const QStringList reordered { QStringLiteral("second pin"), QStringLiteral("third pin"),
        QStringLiteral("first pin") };
    EXPECT_TRUE(waitUntil([&] { return storedPinOrder() == reordered; }))
        << "stored: " << storedPinOrder().join(QStringLiteral(", ")).toStdString();
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("pin-drag-2-dropped.png"));
    EXPECT_TRUE(isViewable(panelWindow));
    EXPECT_EQ(window->plainText(), QString()) << "the drag pasted";

    // Escape during a drag: the pins stay as they are, and the panel stays open.
    ASSERT_NO_FATAL_FAILURE(dragTextPin(0, 2, [&] {
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("pin-drag-3-escaped.png"));
    }));
    // The release has been taken (dragTextPin waits for it); the order is looked at once more
    // after the app has quit and saved everything, below.
    EXPECT_EQ(storedPinOrder(), reordered);
    EXPECT_TRUE(isViewable(panelWindow)) << "Escape closed the panel during a drag";
    EXPECT_EQ(window->plainText(), QString()) << "the abandoned drag pasted";

    // Started again, the app shows the pins in the order dropped: the first row pastes the pin
    // that was second.
    ASSERT_NO_FATAL_FAILURE(restartAndOpen());
    ASSERT_NO_FATAL_FAILURE(openTextColumnPins());
    saveScreenshot(QStringLiteral("pin-drag-4-after-restart.png"));
    EXPECT_EQ(storedPinOrder(), reordered);
    ASSERT_TRUE(clickAt(textPinPoint(0)));
    EXPECT_TRUE(waitUntil([&] { return window->plainText() == QLatin1String("second pin"); }))
        << "pasted: " << window->plainText().toStdString();
}

// A copy that arrives while a pin is dragged gives the Text column a new row under its pins;
// the drag goes on with its pin, and every drop reorders.
TEST_F(PanelPointerX11Test, APinDraggedWhileACopyArrivesIsStillDroppedInItsNewPlace)
{
    QStringList order = threePins();
    seedStore(pinnedInOrderAndANote(order));
    const auto storedPinOrder = [&] { return pinOrder(storedItems()); };
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_NO_FATAL_FAILURE(openTextColumnPins());
    // The Text column's first row under the pins, where the copy shows.
    const QPoint firstUnpinned = textPinPoint(3);
    const QRect newestRow(firstUnpinned.x() - 100, firstUnpinned.y() - 15, 160, 30);

    constexpr int drags = 4;
    int reordered = 0;
    for (int round = 0; round < drags; ++round) {
        SCOPED_TRACE(round);
        const QString copied = QStringLiteral("copy %1").arg(round + 1);
        ASSERT_NO_FATAL_FAILURE(dragTextPin(0, 2, [&] {
            const QImage before = screen().copy(newestRow);
            ASSERT_TRUE(external.copyWithXclip(copied.toUtf8()));
            // Let go only once the column shows the copy.
            ASSERT_TRUE(
                waitUntil([&] { return screen().copy(newestRow) != before; }, std::chrono::seconds(10)))
                << "the copy did not show";
            if (round == 0)
                saveScreenshot(QStringLiteral("pin-drag-copy-arrived.png"));
        }));
        order = { order[1], order[2], order[0] };
        if (waitUntil([&] { return storedPinOrder() == order; }, std::chrono::seconds(3)))
            ++reordered;
        else
            order = storedPinOrder();
        EXPECT_TRUE(storedItems().size() == 5 + round) << "the copy was not stored";
    }
    saveScreenshot(QStringLiteral("pin-drag-copy-dropped.png"));
    std::printf(
        "[ measured ] %d of %d pin drags reordered with a copy arriving during each\n", reordered, drags);
    EXPECT_EQ(reordered, drags);
    EXPECT_TRUE(isViewable(panelWindow));
    EXPECT_EQ(window->plainText(), QString()) << "a drag pasted";
}

// The pinned panel's pin button shows the unpin glyph, slashed, while the pointer rests on it,
// and the strip's menu shows its entries with their glyphs.
TEST_F(PanelPointerX11Test, ThePinButtonShowsTheUnpinGlyphUnderThePointer)
{
    seedStore({ QStringLiteral("kept") });
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_TRUE(pressKey(QStringLiteral("ctrl+p")));
    ASSERT_TRUE(app->caughtUp());
    // The buttons at the strip's right end, as runs of ink (columns with dark pixels): the pin
    // button's glyph first, then the menu's.
    const QRect buttons(panel.rect.right() - 110, panel.rect.top() + 14, 100, 32);
    const auto inkRuns = [&](const QImage &image) {
        QList<std::pair<int, int>> runs;
        for (int x = buttons.left(); x <= buttons.right(); ++x) {
            bool inked = false;
            for (int y = buttons.top(); y <= buttons.bottom() && !inked; ++y)
                inked = image.pixelColor(x, y).lightness() < 170;
            if (!inked)
                continue;
            if (!runs.isEmpty() && x - runs.last().second <= 3)
                runs.last().second = x;
            else
                runs.append({ x, x });
        }
        return runs;
    };
    const QImage away = screen();
    away.copy(buttons).save(artefactPath(QStringLiteral("pin-button-0-away.png")));
    const QList<std::pair<int, int>> before = inkRuns(away);
    ASSERT_GE(before.size(), 2) << "no pin button and menu at the strip's end";
    const int pinMiddle = (before[0].first + before[0].second) / 2;

    // The pin's dark pixels: the slash cuts its way through the filled pin.
    const QRect pinGlyph(
        before[0].first - 4, buttons.top(), before[0].second - before[0].first + 9, buttons.height());
    const auto darkPixels = [&](const QImage &image) {
        int dark = 0;
        for (int y = pinGlyph.top(); y <= pinGlyph.bottom(); ++y) {
            for (int x = pinGlyph.left(); x <= pinGlyph.right(); ++x)
                dark += image.pixelColor(x, y).lightness() < 170 ? 1 : 0;
        }
        return dark;
    };
    const int pinInk = darkPixels(away);

    ASSERT_TRUE(moveTo(QPoint(pinMiddle, buttons.center().y())));
    ASSERT_TRUE(app->caughtUp());
    const QImage over = screen();
    over.copy(buttons).save(artefactPath(QStringLiteral("pin-button-1-pointer-over.png")));
    EXPECT_LT(darkPixels(over), pinInk * 9 / 10) << "the pin button shows no slash under the pointer";

    ASSERT_TRUE(moveTo(QPoint(200, 200)));
    ASSERT_TRUE(app->caughtUp());
    EXPECT_EQ(darkPixels(screen()), pinInk) << "the slash stayed after the pointer left";

    // The menu: "Unpin" and "Clear History", each with its glyph.
    const qsizetype beforeMenu = app->outputMark();
    ASSERT_TRUE(clickAt(QPoint((before[1].first + before[1].second) / 2, buttons.center().y())));
    ASSERT_TRUE(app->waitForMenu(beforeMenu, QStringLiteral("Clear History"))) << "no menu";
    saveScreenshot(QStringLiteral("pin-button-2-menu.png"));
    ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
}

// A history grown to some size gets the request to share the app when the build names its web
// page: "Share" hands the page to the desktop's handler of addresses (here one that writes it
// down) and the banner goes. A build that names no page never asks.
TEST_F(PanelPointerX11Test, TheShareBannerOpensTheWebPageOnlyInABuildThatNamesOne)
{
    const QString homepage = QStringLiteral(TINDLEWICK_HOMEPAGE_URL);
    QStringList notes;
    for (int i = 0; i < 30; ++i)
        notes.append(QStringLiteral("note %1").arg(i));
    seedStore(notes);
    RecordingUrlHandler handler;
    ASSERT_TRUE(handler.isReady());
    appEnvironment.insert(QStringLiteral("PATH"), handler.searchPath());
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(200, 200)));
    ASSERT_TRUE(moveTo(QPoint(200, 200)));
    // A banner that is due fades in over a quarter second from the show.
    ASSERT_TRUE(app->caughtUpAfter(std::chrono::milliseconds(300)));

    // The banner's tint (the accent, faint) in the band under the search strip.
    const QRect band(panel.rect.left() + 20, panel.rect.top() + 64, panel.rect.width() - 40, 24);
    const auto tinted = [&](const QImage &image) {
        int count = 0;
        for (int y = band.top(); y <= band.bottom(); ++y) {
            for (int x = band.left(); x <= band.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += pixel.red() - pixel.blue() > 20 ? 1 : 0;
            }
        }
        return count;
    };
    const QImage shown = screen();
    shown.copy(panel.rect).save(artefactPath(QStringLiteral("share-banner-0-panel.png")));
    if (homepage.isEmpty()) {
        EXPECT_EQ(tinted(shown), 0) << "a build without a web page asked to share the app";
        return;
    }
    ASSERT_GT(tinted(shown), band.width() * 4) << "no request to share the app";
    // "Share", left of the banner's close button at its right end.
    ASSERT_TRUE(clickAt(QPoint(panel.rect.right() - 72, band.center().y())));
    EXPECT_TRUE(waitUntil([&] { return !handler.openedAddress().isEmpty(); }))
        << "the desktop's handler was not run";
    EXPECT_EQ(handler.openedAddress(), QUrl(homepage).toString());
    EXPECT_TRUE(waitUntil([&] { return tinted(screen()) == 0; })) << "the banner stayed after Share";
    ASSERT_TRUE(app->caughtUpAfter(std::chrono::milliseconds(300))); // the rest of its fade
    saveScreenshot(QStringLiteral("share-banner-1-shared.png"));
}

namespace {

// Asks the window manager to resize a window, as a pager or a tiling layout does.
bool moveResizeThroughTheWindowManager(X11Connection &connection, quint64 window, const QSize &size)
{
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window);
    message.type = connection.atom("_NET_MOVERESIZE_WINDOW");
    // The width and the height given, from a pager (source 2), the window's own gravity.
    message.data.data32[0] = (1u << 10) | (1u << 11) | (2u << 12);
    message.data.data32[3] = quint32(size.width());
    message.data.data32[4] = quint32(size.height());
    xcb_send_event(connection.xcb(), 0, connection.root(),
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char *>(&message));
    connection.flush();
    return true;
}

// Asks for a window's size as a tool does, with a configure request the window manager takes.
bool resizeWithXdotool(X11Connection &, quint64 window, const QSize &size)
{
    return xdotool({ QStringLiteral("windowsize"), QString::number(window), QString::number(size.width()),
        QString::number(size.height()) });
}

} // namespace

TEST_F(PanelPointerX11Test, AResizeByTheWindowManagerLaysOutTabsAndIsKeptForTheNextShow)
{
    // History, Text, Code, Links, Files and Colors: six columns side by side.
    seedStore(itemsOfManyKinds(home.path(), 4));
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));
    ASSERT_GE(panel.rect.width(), 6 * 200);
    EXPECT_FALSE(app->output().contains(QLatin1String("[TestHooks] Panel shows tabs")));
    saveScreenshot(QStringLiteral("window-manager-resize-0-columns.png"));

    const auto showsTabsSince = [&](qsizetype mark) {
        return app->output().mid(mark).contains(QLatin1String("[TestHooks] Panel shows tabs"));
    };
    // Sizes above the tabs' own minimum width (442 for these six tabs).
    const struct
    {
        const char *name;
        bool (*resize)(X11Connection &, quint64 window, const QSize &);
        QSize size;
    } cases[] = {
        { "a configure request (xdotool windowsize)", &resizeWithXdotool, QSize(467, 500) },
        { "_NET_MOVERESIZE_WINDOW", &moveResizeThroughTheWindowManager, QSize(450, 450) },
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ++index;
        const qsizetype mark = app->outputMark();
        ASSERT_TRUE(c.resize(*connection, panelWindow, c.size));
        EXPECT_TRUE(waitUntil([&] { return windowGeometry(panelWindow).rect.size() == c.size; }))
            << "the window manager left the panel at " << windowGeometry(panelWindow).rect.width() << " × "
            << windowGeometry(panelWindow).rect.height();
        if (index == 1) {
            EXPECT_TRUE(waitUntil([&] { return showsTabsSince(mark); })) << "the columns stayed";
        }
        const QString sizeText = QStringLiteral("{%1, %2}").arg(c.size.width()).arg(c.size.height());
        EXPECT_TRUE(waitUntil([&] {
            return storedSetting(QStringLiteral("ClipboardPanelSize")).toString() == sizeText
                && storedSetting(QStringLiteral("ClipboardPanelTabModeLock")).toBool();
        })) << "stored: "
            << storedSetting(QStringLiteral("ClipboardPanelSize")).toString().toStdString();
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("window-manager-resize-%1-resized.png").arg(index));

        // The next show: the same size, in tabs.
        ASSERT_TRUE(pressKey(QStringLiteral("Escape")));
        ASSERT_TRUE(waitUntil([&] { return isFront(window->windowId()); }));
        const qsizetype showMark = app->outputMark();
        ASSERT_TRUE(openPanelShown(*app));
        EXPECT_EQ(windowGeometry(panelWindow).rect.size(), c.size);
        EXPECT_TRUE(waitUntil([&] { return showsTabsSince(showMark); })) << "the next show has columns";
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("window-manager-resize-%1-next-show.png").arg(index));
    }
}

namespace {

// The largest size the window's WM_NORMAL_HINTS allow (empty when they set none).
QSize maximumSizeHint(X11Connection &connection, quint64 window)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection.xcb(),
        xcb_get_property(connection.xcb(), 0, xcb_window_t(window), XCB_ATOM_WM_NORMAL_HINTS,
            XCB_ATOM_WM_SIZE_HINTS, 0, 18),
        nullptr);
    QSize size;
    // Flags, x, y, width, height, minimum width and height, maximum width and height, ...
    if (reply && xcb_get_property_value_length(reply) >= int(9 * sizeof(quint32))) {
        const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply));
        constexpr quint32 maximumSizeGiven = 1u << 5;
        if (values[0] & maximumSizeGiven)
            size = QSize(int(values[7]), int(values[8]));
    }
    free(reply);
    return size;
}

} // namespace

TEST_F(PanelPointerX11Test, TheWindowManagerEnlargesThePanelBackToItsColumns)
{
    // History, Text, Code, Links, Files and Colors: six columns side by side.
    seedStore(itemsOfManyKinds(home.path(), 4));
    ASSERT_NO_FATAL_FAILURE(startAndOpen(QPoint(960, 540)));
    const QSize columns = panel.rect.size();
    ASSERT_GE(columns.width(), 6 * 200);
    // The window manager may make it as large as the edges' own drag can: the screen.
    const auto enlargeable = [&] {
        const QSize hint = maximumSizeHint(*connection, panelWindow);
        return hint.width() >= 1920 && hint.height() >= 1000;
    };
    EXPECT_TRUE(waitUntil(enlargeable))
        << "shown at " << columns.width() << " × " << columns.height()
        << ", the most it may get: " << maximumSizeHint(*connection, panelWindow).width() << " × "
        << maximumSizeHint(*connection, panelWindow).height();

    const struct
    {
        const char *name;
        QSize size;
        bool tabs;
    } steps[] = {
        { "shrunk to tabs", QSize(467, 500), true },
        { "enlarged back to its columns", columns, false },
        { "taller and wider than it ever was", QSize(1500, 700), false },
    };
    int index = 0;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(resizeWithXdotool(*connection, panelWindow, step.size));
        EXPECT_TRUE(waitUntil([&] { return windowGeometry(panelWindow).rect.size() == step.size; }))
            << "the window manager left the panel at " << windowGeometry(panelWindow).rect.width() << " × "
            << windowGeometry(panelWindow).rect.height();
        const QString sizeText = QStringLiteral("{%1, %2}").arg(step.size.width()).arg(step.size.height());
        EXPECT_TRUE(waitUntil([&] {
            return storedSetting(QStringLiteral("ClipboardPanelSize")).toString() == sizeText
                && storedSetting(QStringLiteral("ClipboardPanelTabModeLock")).toBool() == step.tabs;
        })) << "stored: "
            << storedSetting(QStringLiteral("ClipboardPanelSize")).toString().toStdString()
            << (storedSetting(QStringLiteral("ClipboardPanelTabModeLock")).toBool() ? ", tabs" : ", columns");
        EXPECT_TRUE(enlargeable()) << "the window manager may not enlarge it beyond "
                                   << maximumSizeHint(*connection, panelWindow).width() << " × "
                                   << maximumSizeHint(*connection, panelWindow).height();
        ASSERT_TRUE(app->caughtUp());
        saveScreenshot(QStringLiteral("window-manager-enlarge-%1.png").arg(index++));
    }
}
