// The settings window of the running app, under Xvfb with openbox and a tray: opened from the
// tray's menu, its tabs as a person sees them (kept as artefacts), and what its controls do to
// the app: the theme of the code sample, the URL blacklist against real copies, the clearing
// of the history off the disk, and the desktop's keyboard settings.

#include "ExternalClipboard.h"
#include "RawClipboardOwner.h"
#include "SettingsWindowSupport.h"

#include "KeyboardShortcuts/Recorder.h"
#include "items/CodeText.h"
#include "model/ClipboardItem.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContext.h"
#include "settings/AppearanceTab.h"
#include "settings/ColorsTab.h"
#include "settings/ExclusionTextField.h"
#include "settings/ExclusionsTab.h"
#include "settings/GeneralTab.h"
#include "settings/HistoryTab.h"
#include "settings/HotkeyTab.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>

#include <cstdio>

namespace {

// Where the running app says its settings window's tabs are (TINDLEWICK_TEST_HOOKS=1), in the
// window's pixels: the last report in its output.
struct ReportedSettingsLayout
{
    QSize window;
    QRect tabBar;
    QList<QRect> tabs;
};

std::optional<ReportedSettingsLayout> reportedSettingsLayout(const QString &output)
{
    static const QRegularExpression windowLine(
        QStringLiteral(R"(\[Settings\] Window (\d+)x(\d+), tab bar (\d+),(\d+) (\d+)x(\d+))"));
    static const QRegularExpression tabLine(
        QStringLiteral(R"(\[Settings\] Tab (\d+) "[^"]*" at (\d+),(\d+) (\d+)x(\d+))"));
    const qsizetype start = output.lastIndexOf(QLatin1String("[Settings] Window "));
    if (start < 0)
        return std::nullopt;
    const QRegularExpressionMatch window = windowLine.match(output, start);
    if (!window.hasMatch())
        return std::nullopt;
    const auto number
        = [](const QRegularExpressionMatch &match, int index) { return match.captured(index).toInt(); };
    ReportedSettingsLayout layout { QSize(number(window, 1), number(window, 2)),
        QRect(number(window, 3), number(window, 4), number(window, 5), number(window, 6)), {} };
    for (QRegularExpressionMatchIterator it = tabLine.globalMatch(output, start); it.hasNext();) {
        const QRegularExpressionMatch tab = it.next();
        if (number(tab, 1) != layout.tabs.size())
            break;
        layout.tabs.append(QRect(number(tab, 2), number(tab, 3), number(tab, 4), number(tab, 5)));
    }
    if (layout.tabs.size() != SettingsView::tabCount)
        return std::nullopt;
    return layout;
}

// How much of a page was in view when the app last showed it, and the size its content was laid
// out at (larger than the view only where it does not fit); nothing before then.
struct ReportedPage
{
    QSize view;
    QSize content;
};

std::optional<ReportedPage> reportedPage(const QString &output, int tab)
{
    const QRegularExpression pageLine(
        QStringLiteral(R"(\[Settings\] Page %1 "[^"]*" shows (\d+)x(\d+) of its (\d+)x(\d+))").arg(tab));
    std::optional<ReportedPage> last;
    for (QRegularExpressionMatchIterator it = pageLine.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch page = it.next();
        last = ReportedPage { QSize(page.captured(1).toInt(), page.captured(2).toInt()),
            QSize(page.captured(3).toInt(), page.captured(4).toInt()) };
    }
    return last;
}

// A look the settings window is tried under.
struct SettingsLook
{
    const char *name;
    QHash<QString, QString> environment;
    // The GTK font, as a GNOME-like desktop's settings give it; none: GTK's own.
    const char *gtkFont;
    // Whether the screen is tall enough for the tallest page; where not, that page scrolls.
    bool screenHasRoom;
};

class SettingsWindowX11Test : public SettingsWindowTest
{
protected:
    // After a key that closes the settings window: it was closed, not hidden. Its X window is
    // gone, and the next "Settings..." makes a new one that starts over on General.
    void expectSettingsClosed(AppProcess &app)
    {
        const quint64 closed = settingsWindow;
        EXPECT_TRUE(waitUntil([&] {
            return !runTool(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(closed) });
        })) << "the settings window is hidden, not closed";
        ASSERT_TRUE(app.caughtUp()) << "the app quit";
        ASSERT_TRUE(openSettingsFromTray());
        EXPECT_NE(settingsWindow, closed) << "the same settings window came back";
        EXPECT_EQ(activeWindowName(), SettingsView::windowTitleFor(SettingsView::general));
    }

    // Items in the store before the app starts.
    void seedStore(const QStringList &texts, const QStringList &pinned = {})
    {
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(container) << error.toStdString();
        std::unique_ptr<ModelContext> context = container->makeContext();
        for (const QString &text : texts)
            context->insert(ClipboardItem::create(ClipboardItemType::text, { .text = text }));
        for (const QString &text : pinned) {
            ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = text });
            item->setIsPinned(true);
            context->insert(item);
        }
        ASSERT_TRUE(context->save().ok);
    }
    // The texts of the items the app has stored.
    QStringList storedTexts()
    {
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), &error);
        if (!container)
            return {};
        std::unique_ptr<ModelContext> reader = container->makeContext();
        QStringList texts;
        for (const ClipboardItemPtr &item : reader->fetch(FetchDescriptor::newestFirst()).items)
            texts.append(item->textContent().value_or(QString()));
        return texts;
    }
    // Whether the store file or its write-ahead log holds these bytes anywhere.
    bool storeFilesContain(const QByteArray &bytes) const
    {
        for (const QString &path : QStringList { storePath(), storePath() + QStringLiteral("-wal") }) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes))
                return true;
        }
        return false;
    }
    // The colour a word of the sample takes in a theme here.
    static QColor sampleColour(HighlightTheme theme, const QString &word)
    {
        CodeText sample(AppearanceTab::sampleText());
        sample.setLanguage(HighlightLanguage::typeScript);
        sample.setTheme(theme);
        sample.setAttribute(Qt::WA_DontShowOnScreen);
        QSignalSpy done(&sample, &CodeText::highlightSucceeded);
        sample.show();
        if (!waitUntil([&] { return done.count() > 0; }, std::chrono::seconds(20)))
            return {};
        return sample.displayedText()
            .formatAt(AppearanceTab::sampleText().indexOf(word))
            .foreground()
            .color();
    }
    static int darkestLightness(const QImage &image)
    {
        int darkest = 255;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                darkest = std::min(darkest, image.pixelColor(x, y).lightness());
        }
        return darkest;
    }
    // Pixels of a picture within a small distance of a colour.
    static int pixelsNear(const QImage &image, const QColor &colour)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                        + std::abs(pixel.blue() - colour.blue())
                    < 40)
                    ++count;
            }
        }
        return count;
    }

    // Where a row of the Colors tab is grabbed: by its name, away from its switch.
    QPoint formatRowGrip(ColorFormatter::Format format)
    {
        const QRect row = probe.rect(
            SettingsView::colors, [format](SettingsView &view) { return view.colorsTab()->row(format); });
        return settingsOrigin() + QPoint(row.left() + 40, row.center().y());
    }

    // A press at `from`, moves through `path` with a pause after each, and a release 0.3 s after
    // the last. A drag runs the app's own loop: the pointer goes on moving from a process of its
    // own.
    void dragInOwnProcess(const QPoint &from, const QList<QPoint> &path, double pauseSeconds)
    {
        ASSERT_TRUE(xdotool({ QStringLiteral("mousemove"), QString::number(from.x()),
            QString::number(from.y()), QStringLiteral("mousedown"), QStringLiteral("1") }));
        QStringList steps;
        for (const QPoint &at : path)
            steps << QStringLiteral("mousemove %1 %2 sleep %3").arg(at.x()).arg(at.y()).arg(pauseSeconds);
        QProcess drag;
        drag.start(QStringLiteral("sh"),
            { QStringLiteral("-c"),
                QStringLiteral("xdotool %1 sleep 0.3; xdotool mouseup 1")
                    .arg(steps.join(QLatin1Char(' '))) });
        ASSERT_TRUE(drag.waitForStarted());
        ASSERT_TRUE(
            waitUntil([&] { return drag.state() == QProcess::NotRunning; }, std::chrono::seconds(15)));
    }

    QString gtkSettingsPath() const { return home.path() + QStringLiteral("/config/gtk-3.0/settings.ini"); }

    // The app started in a look, with its settings window open from the tray; layout is where
    // the app says the window's tabs are.
    std::unique_ptr<AppProcess> openSettingsIn(
        const SettingsLook &look, std::optional<ReportedSettingsLayout> &layout)
    {
        QFile::remove(gtkSettingsPath());
        if (look.gtkFont) {
            QDir().mkpath(QFileInfo(gtkSettingsPath()).path());
            QFile settings(gtkSettingsPath());
            EXPECT_TRUE(settings.open(QIODevice::WriteOnly));
            settings.write(QByteArray("[Settings]\ngtk-font-name=") + look.gtkFont + '\n');
        }
        QHash<QString, QString> environment = look.environment;
        environment.insert(QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1"));
        auto app = startApp(environment);
        const bool opened = openSettingsFromTray([&](const QSize &size) {
            layout = reportedSettingsLayout(app->output());
            // A scaled size is rounded on its way to the screen.
            return layout && std::abs(layout->window.width() - size.width()) <= 1
                && std::abs(layout->window.height() - size.height()) <= 1;
        });
        EXPECT_TRUE(opened) << "the settings window did not open at the size it reported: "
                            << settingsRect().width() << "x" << settingsRect().height() << "; "
                            << app->output().toStdString();
        if (!opened)
            layout.reset();
        return app;
    }

    // A click on a tab's title shows its page, which is in view whole where the screen has room
    // (and scrolls where not); the window is kept as an artefact.
    void showTabByItsTitle(
        AppProcess &app, const ReportedSettingsLayout &layout, int tab, const SettingsLook &look)
    {
        SCOPED_TRACE(SettingsView::tabTitle(tab).toStdString());
        const QRect title = layout.tabs[tab];
        EXPECT_TRUE(layout.tabBar.contains(title)) << "the title lies beyond the tab bar's end";
        EXPECT_TRUE(QRect(QPoint(0, 0), layout.window).contains(title))
            << "the title lies outside the window";
        const qsizetype before = app.output().size();
        ASSERT_TRUE(clickAt(settingsOrigin() + title.center()));
        EXPECT_TRUE(waitUntil([&] { return activeWindowName() == SettingsView::windowTitleFor(tab); }))
            << activeWindowName().toStdString();
        std::optional<ReportedPage> page;
        ASSERT_TRUE(waitUntil([&] { return bool(page = reportedPage(app.output().mid(before), tab)); }))
            << "the page was not shown";
        const std::string sizes = QStringLiteral("the page shows %1x%2 of its %3x%4")
                                      .arg(page->view.width())
                                      .arg(page->view.height())
                                      .arg(page->content.width())
                                      .arg(page->content.height())
                                      .toStdString();
        EXPECT_LE(page->content.width(), page->view.width()) << "cut at the side: " << sizes;
        if (look.screenHasRoom) {
            EXPECT_LE(page->content.height(), page->view.height()) << "it scrolls: " << sizes;
        }
        const QString picture = QStringLiteral("settings-%1-%2.png").arg(QLatin1String(look.name)).arg(tab);
        EXPECT_FALSE(keepSettingsPicture(picture).isNull());
    }

    TrayHost tray;
};

TEST_F(SettingsWindowX11Test, TheTrayMenuOpensTheSettingsOnGeneralAboveOtherWindowsAndShowsEveryTab)
{
    ASSERT_TRUE(tray.isRunning());
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not open";
    EXPECT_EQ(activeWindowName(), QStringLiteral("General — Tindlewick Settings"));
    // Kept above other windows, as the panel is (the window manager writes the state a moment
    // after it has framed the window).
    EXPECT_TRUE(waitUntil([&] {
        return toolOutput(QStringLiteral("xprop"),
            { QStringLiteral("-id"), QString::number(settingsWindow), QStringLiteral("_NET_WM_STATE") })
            .contains(QLatin1String("_NET_WM_STATE_ABOVE"));
    }));
    const QRect frame = settingsRect();
    EXPECT_GE(frame.width(), SettingsView::tabViewWidth);
    EXPECT_GE(frame.height(), SettingsView::tabViewHeight);
    EXPECT_FALSE(keepSettingsPicture(QStringLiteral("settings-general.png")).isNull());

    const QStringList pictures { "", "settings-appearance.png", "settings-colors.png", "settings-history.png",
        "settings-hotkey.png", "settings-exclusions.png" };
    for (int tab = SettingsView::appearance; tab < SettingsView::tabCount; ++tab) {
        SCOPED_TRACE(SettingsView::tabTitle(tab).toStdString());
        ASSERT_TRUE(showTab(tab)) << activeWindowName().toStdString();
        const QImage picture = keepSettingsPicture(pictures[tab]);
        ASSERT_FALSE(picture.isNull());
    }

    // Closed and opened again, the window starts over on General.
    ASSERT_TRUE(press(QStringLiteral("alt+F4")));
    ASSERT_TRUE(waitUntil([] { return !activeWindowName().endsWith(settingsTitleEnd); }));
    ASSERT_TRUE(openSettingsFromTray());
    EXPECT_EQ(activeWindowName(), QStringLiteral("General — Tindlewick Settings"));

    // "Check for Updates..." says where updates come from.
    ASSERT_TRUE(clickIn(SettingsView::general,
        [](SettingsView &view) { return view.generalTab()->checkForUpdatesButton(); }));
    EXPECT_TRUE(waitUntil([] { return activeWindowName() == QLatin1String("Check for Updates"); }))
        << activeWindowName().toStdString();
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("settings-check-for-updates.png"));
}

TEST_F(SettingsWindowX11Test, EveryTabIsReachedByTheMouseAndNoPageIsCutUnderEveryLookFontAndScale)
{
    ASSERT_TRUE(tray.isRunning());
    const QString gtkTheme
        = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platformthemes/libqgtk3.so");
    if (!QFileInfo::exists(gtkTheme))
        GTEST_SKIP() << "Qt's GTK platform theme is not installed (" << gtkTheme.toStdString()
                     << "; Debian package qt6-gtk-platformtheme): the look of GNOME-like desktops "
                        "cannot be tried";
    const QString theme = QStringLiteral("QT_QPA_PLATFORMTHEME");
    const std::pair<QString, QString> gtk3 { theme, QStringLiteral("gtk3") };
    const std::pair<QString, QString> dark { QStringLiteral("GTK_THEME"), QStringLiteral("Adwaita:dark") };
    const std::pair<QString, QString> scaled { QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1.5") };
    const SettingsLook looks[] = {
        { "plain", { { theme, QStringLiteral("generic") } }, nullptr, true },
        { "gtk3-dark", { gtk3, dark }, nullptr, true },
        { "fusion",
            { { theme, QStringLiteral("generic") },
                { QStringLiteral("QT_STYLE_OVERRIDE"), QStringLiteral("Fusion") } },
            nullptr, true },
        { "gtk3-dark-scale-1.5", { gtk3, dark, scaled }, nullptr, true },
        { "gtk3-14pt", { gtk3 }, "Sans 14", true },
        // 1280 × 720 points: the Hotkey page at 14 points is taller than that.
        { "gtk3-14pt-scale-1.5", { gtk3, scaled }, "Sans 14", false },
    };
    for (const SettingsLook &look : looks) {
        SCOPED_TRACE(look.name);
        std::optional<ReportedSettingsLayout> layout;
        auto app = openSettingsIn(look, layout);
        ASSERT_TRUE(layout);
        EXPECT_TRUE(QRect(0, 0, 1920, 1080).contains(settingsRect())) << "the window leaves the screen";
        // From the last tab to the first, each by a click on its title.
        for (int tab = SettingsView::tabCount - 1; tab >= 0; --tab)
            ASSERT_NO_FATAL_FAILURE(showTabByItsTitle(*app, *layout, tab, look));
        app->stop();
    }
    QFile::remove(gtkSettingsPath());
}

// The desktop's window keys in the settings window, whatever has the keyboard there: Control+W
// closes the window (the next opening starts over on General) and the app runs on; Control+Q quits the app,
// as "Quit Tindlewick" does. The shortcut recorder, while it records, takes them as keys to record (Control+Q
// it refuses as Quit's, and the app runs on: ShortcutRecorderX11Test).
TEST_F(SettingsWindowX11Test, ControlWClosesTheSettingsWindowAndControlQQuitsTheApp)
{
    enum class Focus { window, textField, recorder };
    enum class Outcome { closed, recorded, quit };
    const struct
    {
        const char *name;
        const char *keys;
        Focus focus;
        Outcome outcome;
    } cases[] = {
        { "Control+W", "ctrl+w", Focus::window, Outcome::closed },
        { "Control+W in a text field", "ctrl+w", Focus::textField, Outcome::closed },
        { "Control+W while the recorder records", "ctrl+w", Focus::recorder, Outcome::recorded },
        { "Control+Q in a text field", "ctrl+q", Focus::textField, Outcome::quit },
        { "Control+Q", "ctrl+q", Focus::window, Outcome::quit },
    };
    ASSERT_TRUE(tray.isRunning());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto app = startApp();
        ASSERT_TRUE(openSettingsFromTray());
        if (c.focus == Focus::textField) {
            ASSERT_TRUE(showTab(SettingsView::exclusions));
            ASSERT_TRUE(clickIn(SettingsView::exclusions,
                [](SettingsView &view) { return view.exclusionsTab()->entryField(); }));
        } else if (c.focus == Focus::recorder) {
            ASSERT_TRUE(showTab(SettingsView::hotkey));
            ASSERT_TRUE(clickIn(
                SettingsView::hotkey, [](SettingsView &view) { return view.hotkeyTab()->recorder(); }));
        }
        ASSERT_TRUE(app->caughtUpWithClick());
        ASSERT_TRUE(press(QString::fromLatin1(c.keys)));
        switch (c.outcome) {
        case Outcome::closed:
            EXPECT_TRUE(waitUntil([&] { return !settingsViewable(); })) << "the settings window stayed";
            ASSERT_NO_FATAL_FAILURE(expectSettingsClosed(*app));
            break;
        case Outcome::recorded:
            EXPECT_TRUE(waitUntil([&] {
                return storedShortcut() == QLatin1String(R"({"carbonKeyCode":13,"carbonModifiers":4096})");
            })) << "stored: "
                << storedShortcut().toStdString();
            ASSERT_TRUE(app->caughtUp()) << "the app quit";
            EXPECT_TRUE(settingsViewable()) << "the settings window closed";
            keepSettingsPicture(QStringLiteral("settings-control-w-recorded.png"));
            break;
        case Outcome::quit:
            ASSERT_TRUE(app->waitForExit(10000)) << "the app runs on";
            EXPECT_FALSE(app->crashed());
            EXPECT_EQ(app->exitCode(), 0);
            break;
        }
        app->stop();
    }
}

TEST_F(SettingsWindowX11Test, CheckingForUpdatesFromTheTrayShowsTheAnswerAboveTheOpenSettings)
{
    ASSERT_TRUE(tray.isRunning());
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not open";
    // "Open Tindlewick", "Settings...", then "Check for Updates...".
    ASSERT_TRUE(openTrayMenu()) << "no menu";
    ASSERT_TRUE(press(QStringLiteral("Down Down Down Return")));
    ASSERT_TRUE(waitUntil([] { return activeWindowName() == QLatin1String("Check for Updates"); }))
        << activeWindowName().toStdString();
    EXPECT_TRUE(activeWindowIsAboveSettings())
        << "the answer is hidden under the settings window, which stays above other windows";
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("tray-check-for-updates-over-settings.png"));
}

TEST_F(SettingsWindowX11Test, ChoosingAnotherThemeRecoloursTheSampleAtOnce)
{
    // GitHub writes the keyword "function" in red, Solarized the string in olive green.
    const QColor github = sampleColour(HighlightTheme::github, QStringLiteral("function"));
    const QColor solarized = sampleColour(HighlightTheme::solarized, QStringLiteral("\"Hello"));
    ASSERT_TRUE(github.isValid() && solarized.isValid());
    ASSERT_GT(std::abs(github.red() - solarized.red()) + std::abs(github.green() - solarized.green())
            + std::abs(github.blue() - solarized.blue()),
        120);

    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray());
    ASSERT_TRUE(showTab(SettingsView::appearance));
    const QRect sample = probe.rect(
        SettingsView::appearance, [](SettingsView &view) { return view.appearanceTab()->sample(); });
    QImage before;
    ASSERT_TRUE(waitUntil([&] {
        before = keepSettingsPicture(QStringLiteral("settings-appearance-github.png")).copy(sample);
        return pixelsNear(before, github) > 10;
    })) << "the sample never showed GitHub's colours";
    EXPECT_LT(pixelsNear(before, solarized), 3);

    // The picker opens; typing the name picks the theme and Return takes it.
    ASSERT_TRUE(clickIn(
        SettingsView::appearance, [](SettingsView &view) { return view.appearanceTab()->themePicker(); }));
    ASSERT_TRUE(app->caughtUpWithClick()) << "the picker did not open";
    ASSERT_TRUE(type(QStringLiteral("Solariz")));
    ASSERT_TRUE(press(QStringLiteral("Return")));
    ASSERT_TRUE(waitUntil([&] {
        return storedSetting(QStringLiteral("codeTheme")).toString() == QLatin1String("Solarized");
    })) << storedSetting(QStringLiteral("codeTheme")).toString().toStdString();
    QImage after;
    EXPECT_TRUE(waitUntil([&] {
        after = keepSettingsPicture(QStringLiteral("settings-appearance-solarized.png")).copy(sample);
        return pixelsNear(after, solarized) > 10;
    })) << "the sample was not recoloured";
    EXPECT_LT(pixelsNear(after, github), 3);
}

TEST_F(SettingsWindowX11Test, DraggingAFormatRowOntoAnotherReordersThePasteFormats)
{
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray());
    ASSERT_TRUE(showTab(SettingsView::colors));
    const QPoint hex = formatRowGrip(ColorFormatter::Format::hex);
    const QPoint hsl = formatRowGrip(ColorFormatter::Format::hsl);
    QList<QPoint> path;
    for (int i = 1; i <= 8; ++i)
        path.append(hex + (hsl - hex) * i / 8);
    ASSERT_NO_FATAL_FAILURE(dragInOwnProcess(hex, path, 0.05));
    const QStringList expected { "rgb", "hsl", "hex", "hwb", "lab", "lch", "oklab", "oklch", "swiftUI",
        "nsColor", "uiColor" };
    const auto storedOrder
        = [&] { return storedSetting(QStringLiteral("colorFormatOrder")).toVariant().toStringList(); };
    EXPECT_TRUE(waitUntil([&] { return storedOrder() == expected; }))
        << storedOrder().join(QLatin1Char(',')).toStdString();
    const QImage reordered = keepSettingsPicture(QStringLiteral("settings-colors-reordered.png"));

    // A row dragged out of the window and let go on the desktop: nothing moves, and the row is
    // drawn as before (no longer as the one being dragged).
    const QRect topRow = probe.rect(SettingsView::colors,
        [](SettingsView &view) { return view.colorsTab()->row(ColorFormatter::Format::hex); });
    const QPoint top = formatRowGrip(ColorFormatter::Format::hex);
    ASSERT_NO_FATAL_FAILURE(
        dragInOwnProcess(top, { top - QPoint(10, 0), top - QPoint(200, 0), QPoint(100, top.y()) }, 0.1));
    ASSERT_TRUE(clickAt(settingsOrigin() + QPoint(200, 600)));
    const QImage afterwards = keepSettingsPicture(QStringLiteral("settings-colors-after-drag-out.png"));
    EXPECT_EQ(storedOrder(), expected);
    // A dragged row is drawn at half strength: its darkest text is grey then, not black.
    EXPECT_LT(darkestLightness(reordered.copy(topRow)), 60);
    EXPECT_LT(darkestLightness(afterwards.copy(topRow)), 60) << "the row still looks dragged";
}

// "Customize Formats" in a colour row's menu brings the settings window, open on General, to
// the front on its Colors tab.
TEST_F(SettingsWindowX11Test, CustomizeFormatsInAColourRowsMenuShowsTheOpenSettingsOnColors)
{
    {
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(storePath(), &error);
        ASSERT_TRUE(container) << error.toStdString();
        std::unique_ptr<ModelContext> context = container->makeContext();
        context->insert(ClipboardItem::create(ClipboardItemType::color,
            { .text = QStringLiteral("#3366FF"), .colorHex = QStringLiteral("#3366FF") }));
        ASSERT_TRUE(context->save().ok);
    }
    ASSERT_TRUE(tray.isRunning());
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not open";
    ASSERT_EQ(activeWindowName(), SettingsView::windowTitleFor(SettingsView::general));

    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    const QRect panel = panelRect();
    ASSERT_FALSE(panel.isEmpty());
    // History, then Colors: the middle of the colour's row in the second 200-wide column, under
    // the search strip (119 points) and the column's header.
    const QPoint colourRow = panel.topLeft() + QPoint(200 + 120, 119 + 22);
    const qsizetype beforeMenu = app->outputMark();
    ASSERT_TRUE(clickAt(colourRow, 3));
    ASSERT_TRUE(app->waitForMenu(beforeMenu, QStringLiteral("Customize Formats"))) << "no menu";
    saveScreenshot(QStringLiteral("customize-formats-menu.png"));
    // The menu's last entry.
    ASSERT_TRUE(press(QStringLiteral("Up Return")));
    EXPECT_TRUE(waitUntil([] {
        return activeWindowName() == SettingsView::windowTitleFor(SettingsView::colors);
    })) << "active: "
        << activeWindowName().toStdString();
    EXPECT_EQ(activeWindow(), settingsWindow) << "another settings window opened";
    keepSettingsPicture(QStringLiteral("settings-colors-from-a-colour-row.png"));
}

// The question before clearing a column of the panel holds the whole app: a click on the open
// settings window's tabs does nothing while it is up, and Escape answers it without a deletion.
TEST_F(SettingsWindowX11Test, WhileTheClearQuestionIsUpTheSettingsWindowTakesNoClicks)
{
    seedStore({ QStringLiteral("one note"), QStringLiteral("another note") });
    ASSERT_TRUE(tray.isRunning());
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray()) << "the settings window did not open";
    ASSERT_TRUE(openPanelWith(QStringLiteral("ctrl+space")));
    const QRect panel = panelRect();
    ASSERT_FALSE(panel.isEmpty());
    // History's "Clear", at the right end of its header. The question is a window of the app's
    // name, as the panel is.
    const quint64 panelWindow = activeWindow();
    ASSERT_TRUE(clickAt(panel.topLeft() + QPoint(164, 95)));
    const bool asked = waitUntil(
        [&] { return activeWindowName() == QLatin1String("Tindlewick") && activeWindow() != panelWindow; });
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("clear-question-over-the-panel.png"));
    ASSERT_TRUE(asked) << "no question came up";

    ASSERT_TRUE(clickAt(settingsOrigin() + probe.tab(SettingsView::appearance)));
    // The click has reached the app and been taken or refused.
    ASSERT_TRUE(app->caughtUpWithClick());
    const QString appearance = SettingsView::windowTitleFor(SettingsView::appearance);
    EXPECT_NE(activeWindowName(), appearance) << "the settings window took a click under the question";
    EXPECT_NE(toolOutput(QStringLiteral("xdotool"),
                  { QStringLiteral("getwindowname"), QString::number(settingsWindow) }),
        appearance)
        << "the settings window took a click under the question";
    saveScreenshot(QStringLiteral("clear-question-settings-clicked.png"));
    ASSERT_TRUE(press(QStringLiteral("Escape")));
    // Escape has been taken, and the app has quit and saved whatever it was going to.
    ASSERT_TRUE(app->caughtUp());
    app->stop();
    EXPECT_EQ(storedTexts().size(), 2) << "Escape deleted";
}

TEST_F(SettingsWindowX11Test, ABlacklistedSiteIsNotStoredEvenAmongOtherWordsWhileALookAlikeIs)
{
    ExternalClipboard external;
    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray());
    ASSERT_TRUE(showTab(SettingsView::exclusions));
    ASSERT_TRUE(clickIn(
        SettingsView::exclusions, [](SettingsView &view) { return view.exclusionsTab()->entryField(); }));
    ASSERT_TRUE(type(QStringLiteral("example.org")));
    ASSERT_TRUE(press(QStringLiteral("Return")));
    ASSERT_TRUE(waitUntil([&] {
        return storedSetting(QStringLiteral("excludedURLPatterns")).toString()
            == QLatin1String("example.org");
    }));
    keepSettingsPicture(QStringLiteral("settings-exclusions-example-org.png"));

    // Each turned-away copy is read by the app before the next one replaces it.
    const auto copyAndWaitUntilRead = [](RawClipboardOwner &owner, const QByteArray &text) {
        const QString target = QStringLiteral("UTF8_STRING");
        return owner.copy({ { target, text } }) && owner.waitUntilAsked(target);
    };
    RawClipboardOwner blocked;
    ASSERT_TRUE(copyAndWaitUntilRead(blocked, "https://example.org/x"));
    ASSERT_TRUE(external.copyWithXclip("https://notexample.org/"));
    ASSERT_TRUE(waitUntil([&] { return storedTexts().contains(QStringLiteral("https://notexample.org/")); }))
        << storedTexts().join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(storedTexts().contains(QStringLiteral("https://example.org/x")));
    // A subdomain of the blocked site is turned away too; a copy after it shows the app has
    // gone past it.
    ASSERT_TRUE(copyAndWaitUntilRead(blocked, "https://www.example.org/y"));
    // So is a text that holds its link among other words.
    ASSERT_TRUE(copyAndWaitUntilRead(blocked, "Minutes: see https://example.org/plan before Friday."));
    ASSERT_TRUE(external.copyWithXclip("https://allowed.example.net/"));
    ASSERT_TRUE(
        waitUntil([&] { return storedTexts().contains(QStringLiteral("https://allowed.example.net/")); }));
    EXPECT_EQ(storedTexts(),
        (QStringList {
            QStringLiteral("https://allowed.example.net/"), QStringLiteral("https://notexample.org/") }));
}

// Ten thousand blacklist entries, written into the settings file by a script or by hand: the
// settings open and the Exclusions tab shows them all without holding up the app, and a row's
// remove button and the Delete key still remove entries.
TEST_F(SettingsWindowX11Test, TenThousandBlacklistEntriesShowWithoutHoldingUpTheApp)
{
    QStringList entries;
    for (int i = 0; i < 10'000; ++i)
        entries.append(QStringLiteral("tracker%1.example.com/pixel").arg(i, 5, 10, QLatin1Char('0')));
    const QString blacklist = entries.join(QLatin1Char('\n'));
    writeDefaults(
        QJsonDocument(QJsonObject { { QStringLiteral("excludedURLPatterns"), blacklist } }).toJson());
    probe.settings().setExcludedURLPatterns(blacklist);
    const auto storedEntries = [&] {
        return storedSetting(QStringLiteral("excludedURLPatterns")).toString().split(QLatin1Char('\n'));
    };

    auto app = startApp({ { QStringLiteral("TINDLEWICK_TEST_HOOKS"), QStringLiteral("1") } });
    ASSERT_TRUE(waitUntil([] { return !TrayHost::appIcon().isEmpty(); }, std::chrono::seconds(15)));
    qsizetype from = app->output().size();
    ASSERT_TRUE(openSettingsFromTray());
    const MainThreadStalls opening = MainThreadStalls::in(app->output().mid(from));
    from = app->output().size();
    ASSERT_TRUE(showTab(SettingsView::exclusions));
    keepSettingsPicture(QStringLiteral("settings-exclusions-10000.png"));
    const MainThreadStalls switching = MainThreadStalls::in(app->output().mid(from));
    std::printf("[ measured ] settings with 10,000 blacklist entries: opening %s; switching to Exclusions "
                "%s; the app's peak memory %.0f MB\n",
        qPrintable(opening.describe()), qPrintable(switching.describe()),
        double(peakResidentBytes(app->pid())) / (1024.0 * 1024.0));

    // The first row's remove button, once the probe's list has made room for its scroll bar.
    QListView *probeList = probe.view().exclusionsTab()->entryList();
    probe.view().setSelectedTab(SettingsView::exclusions);
    ASSERT_TRUE(waitUntil([&] { return probeList->verticalScrollBar()->isVisible(); }));
    const QRect list = probe.rect(SettingsView::exclusions,
        [](SettingsView &view) { return view.exclusionsTab()->entryList()->viewport(); });
    const QRect removeFirst = probe.view().exclusionsTab()->removeButtonRect(0);
    from = app->output().size();
    ASSERT_TRUE(clickAt(settingsOrigin() + list.topLeft() + removeFirst.center()));
    ASSERT_TRUE(waitUntil([&] { return storedEntries().size() == 9'999; })) << storedEntries().size();
    EXPECT_EQ(storedEntries().first(), entries[1]);
    // The last row, reached with End, goes with Delete.
    ASSERT_TRUE(clickAt(settingsOrigin() + list.center()));
    ASSERT_TRUE(press(QStringLiteral("End")));
    keepSettingsPicture(QStringLiteral("settings-exclusions-10000-end.png"));
    ASSERT_TRUE(press(QStringLiteral("Delete")));
    ASSERT_TRUE(waitUntil([&] { return storedEntries().size() == 9'998; })) << storedEntries().size();
    EXPECT_EQ(storedEntries().last(), entries[9'998]);
    std::printf("[ measured ] removing two of 10,000 blacklist entries: %s\n",
        qPrintable(MainThreadStalls::in(app->output().mid(from)).describe()));
    keepSettingsPicture(QStringLiteral("settings-exclusions-9998.png"));
}

TEST_F(SettingsWindowX11Test, ClearingTheHistoryTakesTheClearedTextsOffTheDisk)
{
    QStringList secrets;
    for (int i = 0; i < 40; ++i)
        secrets.append(QStringLiteral("history-secret-%1 ").arg(i) + QStringLiteral("s").repeated(300));
    seedStore(secrets, { QStringLiteral("pinned-keeper") });
    ASSERT_TRUE(storeFilesContain("history-secret-17 "));

    auto app = startApp();
    ASSERT_TRUE(openSettingsFromTray());
    ASSERT_TRUE(showTab(SettingsView::history));
    ASSERT_TRUE(
        clickIn(SettingsView::history, [](SettingsView &view) { return view.historyTab()->clearButton(); }));
    ASSERT_TRUE(waitUntil([] { return !activeWindowName().endsWith(settingsTitleEnd); }))
        << "no confirmation came up";
    ASSERT_TRUE(app->caughtUp());
    saveScreenshot(QStringLiteral("settings-history-confirmation.png"));
    // The question opens on "Cancel"; the other button is "Clear".
    ASSERT_TRUE(press(QStringLiteral("Tab space")));
    ASSERT_TRUE(
        waitUntil([] { return activeWindowName() == SettingsView::windowTitleFor(SettingsView::history); }));

    EXPECT_TRUE(waitUntil(
        [&] {
            for (int i = 0; i < secrets.size(); ++i) {
                if (storeFilesContain(QStringLiteral("history-secret-%1 ").arg(i).toUtf8()))
                    return false;
            }
            return true;
        },
        std::chrono::seconds(15)))
        << "cleared texts are still in the store file or its log";
    EXPECT_TRUE(storeFilesContain("pinned-keeper"));
    EXPECT_EQ(storedTexts(), QStringList { QStringLiteral("pinned-keeper") });
    keepSettingsPicture(QStringLiteral("settings-history-cleared.png"));
}

TEST_F(SettingsWindowX11Test, TheLinkOpensTheDesktopsKeyboardSettingsOrSaysWhereToLook)
{
    // An Xfce session whose keyboard settings program notes that it was started.
    QTemporaryDir programs;
    ASSERT_TRUE(programs.isValid());
    const QString marker = programs.path() + QStringLiteral("/started");
    QFile program(programs.path() + QStringLiteral("/xfce4-keyboard-settings"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(marker).toUtf8());
    program.close();
    program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QPoint linkStart
        = probe
              .rect(SettingsView::hotkey,
                  [](SettingsView &view) { return view.hotkeyTab()->openKeyboardShortcutsLink(); })
              .topLeft()
        + QPoint(20, 8);

    struct Case
    {
        const char *name;
        QString desktop;
        bool opensProgram;
    };
    for (const Case &c :
        { Case { "Xfce", QStringLiteral("XFCE"), true }, Case { "unknown desktop", QString(), false } }) {
        SCOPED_TRACE(c.name);
        // Qt takes the desktop's look from the variable too, unless the theme the suite pins
        // is installed; either way the window is laid out as the probe is.
        auto app = startApp({ { QStringLiteral("XDG_CURRENT_DESKTOP"), c.desktop },
            { QStringLiteral("PATH"), programs.path() + QLatin1Char(':') + qEnvironmentVariable("PATH") } });
        ASSERT_TRUE(openSettingsFromTray());
        ASSERT_TRUE(showTab(SettingsView::hotkey));
        ASSERT_TRUE(clickAt(settingsOrigin() + linkStart));
        if (c.opensProgram) {
            EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }))
                << "the keyboard settings did not start";
        } else {
            EXPECT_TRUE(waitUntil([] { return activeWindowName() == QLatin1String("Keyboard Shortcuts"); }))
                << activeWindowName().toStdString();
            ASSERT_TRUE(app->caughtUp());
            saveScreenshot(QStringLiteral("settings-keyboard-settings-where-to-look.png"));
            EXPECT_FALSE(QFileInfo::exists(marker));
        }
        app->stop();
        QFile::remove(marker);
    }
}

} // namespace
