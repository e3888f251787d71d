// Dependencies between the areas of src/ run one way. An area may include the headers of the
// areas below it, never of one above it or beside it, and the headless areas (and the panel's
// headless state) never include a widget header. The table below is the one the build's
// libraries link by (CMakeLists.txt).

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

namespace {

enum class Area {
    common,
    platform,
    colourValues,
    model,
    enrichment,
    detection,
    capture,
    keyboardShortcuts,
    panel,
    settings,
    shell,
};

QString areaName(Area area)
{
    switch (area) {
    case Area::common:
        return QStringLiteral("common");
    case Area::platform:
        return QStringLiteral("platform");
    case Area::colourValues:
        return QStringLiteral("the colour value types");
    case Area::model:
        return QStringLiteral("model");
    case Area::enrichment:
        return QStringLiteral("enrichment");
    case Area::detection:
        return QStringLiteral("detection");
    case Area::capture:
        return QStringLiteral("capture");
    case Area::keyboardShortcuts:
        return QStringLiteral("KeyboardShortcuts");
    case Area::panel:
        return QStringLiteral("panel");
    case Area::settings:
        return QStringLiteral("settings");
    case Area::shell:
        return QStringLiteral("shell");
    }
    return {};
}

// What each area may use besides itself, lowest first. Enrichment and detection sit side by
// side and use neither each other. The model stores colours, so the colour value types sit
// below it, apart from the rest of enrichment. The panel reaches the clipboard capture only
// through PanelEnvironment, which the shell implements.
QList<Area> mayUse(Area area)
{
    using enum Area;
    switch (area) {
    case common:
        return {};
    case platform:
        return { common };
    case colourValues:
        return { common };
    case model:
        return { common, platform, colourValues };
    case enrichment:
    case detection:
        return { common, platform, colourValues, model };
    case capture:
        return { common, platform, colourValues, model, enrichment, detection };
    case keyboardShortcuts:
        return { common, platform, colourValues, model, enrichment, detection, capture };
    case panel:
        return { common, platform, colourValues, model, enrichment, detection, keyboardShortcuts };
    case settings:
        return { common, platform, colourValues, model, enrichment, detection, capture, keyboardShortcuts,
            panel };
    case shell:
        return { common, platform, colourValues, model, enrichment, detection, capture, keyboardShortcuts,
            panel, settings };
    }
    return {};
}

// The colour value types live in enrichment/ but form a library of their own.
const QStringList colourValueFiles
    = { QStringLiteral("enrichment/Color.h"), QStringLiteral("enrichment/Color.cpp"),
          QStringLiteral("enrichment/ColorFormat.h"), QStringLiteral("enrichment/ColorFormat.cpp"),
          QStringLiteral("enrichment/ColorSpaces.h"), QStringLiteral("enrichment/ColorSpaces.cpp"),
          QStringLiteral("enrichment/ColorText_p.h"), QStringLiteral("enrichment/ColorText.cpp") };

// The panel's state that tests drive without widgets.
const QStringList headlessPanelState
    = { QStringLiteral("panel/PanelController"), QStringLiteral("panel/PanelGeometry"),
          QStringLiteral("panel/PanelViewState"), QStringLiteral("panel/PanelItems"),
          QStringLiteral("panel/PanelSearch"), QStringLiteral("panel/PanelCategoryLists"),
          QStringLiteral("panel/PanelTabLayout"), QStringLiteral("panel/HistoryToggle"),
          QStringLiteral("panel/PanelNavigation"), QStringLiteral("panel/PanelKeyboard"),
          QStringLiteral("panel/PanelItemActions"), QStringLiteral("panel/PanelToast"),
          QStringLiteral("panel/PanelSelectionState"), QStringLiteral("panel/PanelCategories"),
          QStringLiteral("panel/GridNavigation"), QStringLiteral("panel/PanelEnvironment") };

// The area of a file given by its path below src/ ("model/AppSettings.h").
std::optional<Area> areaOf(const QString &path)
{
    if (colourValueFiles.contains(path))
        return Area::colourValues;
    const QString folder = path.section(QLatin1Char('/'), 0, 0);
    static const QHash<QString, Area> folders = {
        { QStringLiteral("common"), Area::common },
        { QStringLiteral("platform"), Area::platform },
        { QStringLiteral("model"), Area::model },
        { QStringLiteral("enrichment"), Area::enrichment },
        { QStringLiteral("detection"), Area::detection },
        { QStringLiteral("capture"), Area::capture },
        { QStringLiteral("KeyboardShortcuts"), Area::keyboardShortcuts },
        { QStringLiteral("panel"), Area::panel },
        { QStringLiteral("columns"), Area::panel },
        { QStringLiteral("items"), Area::panel },
        { QStringLiteral("settings"), Area::settings },
        { QStringLiteral("shell"), Area::shell },
    };
    const auto found = folders.find(folder);
    if (found == folders.end() || !path.contains(QLatin1Char('/')))
        return std::nullopt;
    return *found;
}

bool isHeadless(const QString &path, Area area)
{
    switch (area) {
    case Area::common:
    case Area::platform:
    case Area::colourValues:
    case Area::model:
    case Area::enrichment:
    case Area::detection:
    case Area::capture:
        return true;
    case Area::panel: {
        const QString stem = path.section(QLatin1Char('.'), 0, 0);
        return std::any_of(headlessPanelState.begin(), headlessPanelState.end(),
            [&](const QString &state) { return stem.startsWith(state); });
    }
    default:
        return false;
    }
}

// Why the file (a path below src/) may not include the header, or nothing when it may.
// A quoted include names a path below src/; a bracketed one is checked only for being a
// widget header, which isWidgetHeader decides.
std::optional<QString> includeFault(const QString &file, const QString &include, bool quoted,
    const std::function<bool(const QString &)> &isWidgetHeader)
{
    const std::optional<Area> from = areaOf(file);
    if (!from)
        return QStringLiteral("no area holds %1").arg(file);
    if (!quoted) {
        if (isHeadless(file, *from) && isWidgetHeader(include))
            return QStringLiteral("%1 is headless and may not use the widget header <%2>").arg(file, include);
        return std::nullopt;
    }
    const std::optional<Area> to = areaOf(include);
    if (!to)
        return QStringLiteral("%1 includes \"%2\", which no area holds").arg(file, include);
    if (*to == *from || mayUse(*from).contains(*to))
        return std::nullopt;
    return QStringLiteral("%1 includes \"%2\": %3 may not use %4")
        .arg(file, include, areaName(*from), areaName(*to));
}

bool isQtWidgetsHeader(const QString &header)
{
    return QFileInfo::exists(QStringLiteral(TINDLEWICK_QT_WIDGETS_INCLUDE_DIR "/") + header);
}

} // namespace

TEST(IncludeDirectionTest, FaultsNameTheFileTheIncludeAndTheTwoAreas)
{
    struct Case
    {
        const char *file;
        const char *include;
        bool quoted;
        const char *fault; // empty: allowed
    };
    const Case cases[] = {
        // The arrows that once ran the wrong way.
        { "model/AppSettings.h", "detection/highlight/HighlightTheme.h", true,
            "model/AppSettings.h includes \"detection/highlight/HighlightTheme.h\": model may not use "
            "detection" },
        { "panel/PanelViewState.h", "shell/PanelController.h", true,
            "panel/PanelViewState.h includes \"shell/PanelController.h\": panel may not use shell" },
        { "panel/PanelLayout.h", "shell/PanelGeometry.h", true,
            "panel/PanelLayout.h includes \"shell/PanelGeometry.h\": panel may not use shell" },
        { "panel/PanelViewStateActions.cpp", "capture/ClipboardMonitor.h", true,
            "panel/PanelViewStateActions.cpp includes \"capture/ClipboardMonitor.h\": panel may not use "
            "capture" },
        { "panel/PanelViewState.h", "QWidget", false,
            "panel/PanelViewState.h is headless and may not use the widget header <QWidget>" },
        { "model/ClipboardItem.h", "QLineEdit", false,
            "model/ClipboardItem.h is headless and may not use the widget header <QLineEdit>" },
        // Beside and above.
        { "detection/CodeDetectionService.h", "enrichment/ColorFormatter.h", true,
            "detection/CodeDetectionService.h includes \"enrichment/ColorFormatter.h\": detection may not "
            "use enrichment" },
        { "enrichment/ColorFormatter.h", "detection/highlight/Highlight.h", true,
            "enrichment/ColorFormatter.h includes \"detection/highlight/Highlight.h\": enrichment may not "
            "use detection" },
        { "model/ClipboardItem.h", "enrichment/ColorFormatter.h", true,
            "model/ClipboardItem.h includes \"enrichment/ColorFormatter.h\": model may not use enrichment" },
        { "enrichment/Color.cpp", "enrichment/ColorNotations.h", true,
            "enrichment/Color.cpp includes \"enrichment/ColorNotations.h\": the colour value types may not "
            "use enrichment" },
        { "common/NotificationCenter.h", "platform/Pasteboard.h", true,
            "common/NotificationCenter.h includes \"platform/Pasteboard.h\": common may not use platform" },
        { "KeyboardShortcuts/Shortcut.h", "panel/SearchField.h", true,
            "KeyboardShortcuts/Shortcut.h includes \"panel/SearchField.h\": KeyboardShortcuts may not use "
            "panel" },
        { "items/ItemRowPainter.cpp", "shell/ClipboardPanel.h", true,
            "items/ItemRowPainter.cpp includes \"shell/ClipboardPanel.h\": panel may not use shell" },
        { "settings/SettingsView.cpp", "shell/AppDelegate.h", true,
            "settings/SettingsView.cpp includes \"shell/AppDelegate.h\": settings may not use shell" },
        { "tools/Thing.cpp", "model/ClipboardItem.h", true, "no area holds tools/Thing.cpp" },
        { "model/ClipboardItem.h", "third_party/lib.h", true,
            "model/ClipboardItem.h includes \"third_party/lib.h\", which no area holds" },
        // Allowed: down, within, and the colour value types from the model.
        { "model/ClipboardItem.h", "enrichment/Color.h", true, "" },
        { "model/AppSettings.h", "enrichment/ColorFormat.h", true, "" },
        { "model/AppSettings.h", "model/HighlightTheme.h", true, "" },
        { "panel/PanelViewState.h", "panel/PanelController.h", true, "" },
        { "columns/CategoryColumn.h", "panel/PanelEnvironment.h", true, "" },
        { "items/CodeText.h", "detection/highlight/Highlight.h", true, "" },
        { "shell/AppDelegate.cpp", "capture/ClipboardMonitor.h", true, "" },
        { "shell/ShellPanelEnvironment.cpp", "panel/ClipboardPanelView.h", true, "" },
        { "settings/SettingsView.cpp", "panel/PanelGeometry.h", true, "" },
        { "capture/ClipboardMonitor.h", "QObject", false, "" },
        { "panel/ClipboardPanelView.h", "QWidget", false, "" },
        { "KeyboardShortcuts/ShortcutCenter.cpp", "QMenu", false, "" },
    };
    for (const Case &c : cases) {
        const std::optional<QString> fault = includeFault(
            QString::fromLatin1(c.file), QString::fromLatin1(c.include), c.quoted, isQtWidgetsHeader);
        EXPECT_EQ(fault.value_or(QString()), QString::fromLatin1(c.fault)) << c.file << " -> " << c.include;
    }
}

TEST(IncludeDirectionTest, EveryIncludeUnderSrcRunsDownward)
{
    const QDir src(QStringLiteral(TINDLEWICK_SOURCE_DIR "/src"));
    ASSERT_TRUE(src.exists());
    static const QRegularExpression includeLine(
        QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"), QRegularExpression::MultilineOption);
    QStringList faults;
    int files = 0;
    QDirIterator it(src.path(), { QStringLiteral("*.h"), QStringLiteral("*.cpp") }, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = src.relativeFilePath(it.next());
        QFile file(it.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = includeLine.globalMatch(text); match.hasNext();) {
            const QRegularExpressionMatch include = match.next();
            if (const std::optional<QString> fault
                = includeFault(path, include.captured(2), include.captured(1) == u'"', isQtWidgetsHeader))
                faults.append(*fault);
        }
    }
    EXPECT_GT(files, 300);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}
