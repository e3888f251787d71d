// Dependencies between the areas of src/ run one way. An area may include the headers of the
// areas it uses and of those they use in turn, never of one above it or beside it, and the
// headless files never include a widget header. Which area uses which is the table that the
// build links the libraries by (cmake/areas.cmake); CMake writes it into AreaTable.h, so this
// test and the link lists cannot disagree.

#include "AreaTable.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <functional>
#include <optional>
#include <vector>

namespace {

struct Include
{
    QString header;
    bool quoted; // "area/Header.h" below src/, or <Header> of a library
};

// Each file below src/ ("model/AppSettings.h") with the includes it holds, in order.
using IncludeGraph = QHash<QString, QList<Include>>;

struct Area
{
    QString name;
    QStringList folders; // every file below them, unless another area names it
    QStringList files; // files that sit in another area's folder
    QStringList uses; // the areas whose headers its files include
    QStringList links; // the libraries it links besides the areas
};

QStringList words(const char *list)
{
    return QString::fromLatin1(list).split(u' ', Qt::SkipEmptyParts);
}

std::vector<Area> buildAreas()
{
    std::vector<Area> areas;
    for (const AreaRow &row : areaTable)
        areas.push_back({ QString::fromLatin1(row.name), words(row.folders), words(row.files),
            words(row.uses), words(row.links) });
    return areas;
}

IncludeGraph readIncludes(const QDir &src)
{
    static const QRegularExpression includeLine(
        QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"), QRegularExpression::MultilineOption);
    IncludeGraph graph;
    QDirIterator it(src.path(), { QStringLiteral("*.h"), QStringLiteral("*.cpp") }, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << qPrintable(file.fileName());
            continue;
        }
        QList<Include> &includes = graph[src.relativeFilePath(file.fileName())];
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = includeLine.globalMatch(text); match.hasNext();) {
            const QRegularExpressionMatch include = match.next();
            includes.append({ include.captured(2), include.captured(1) == u'"' });
        }
    }
    return graph;
}

// The files that the panel's headless state uses: the state's own files and everything of the
// panel's area that they include, directly or through one another, with the implementation of
// each header. Tests drive these without widgets, so none of them may include a widget header.
QSet<QString> headlessPanelFiles(
    const IncludeGraph &graph, const std::function<bool(const QString &)> &isPanel)
{
    static const QStringList stateRoots
        = { QStringLiteral("panel/PanelViewState"), QStringLiteral("panel/PanelColumnsModel") };
    QStringList pending;
    for (const QString &root : stateRoots)
        pending << root + QStringLiteral(".h") << root + QStringLiteral(".cpp");
    QSet<QString> reached;
    while (!pending.isEmpty()) {
        const QString file = pending.takeLast();
        if (!graph.contains(file) || reached.contains(file))
            continue;
        reached.insert(file);
        for (const Include &include : graph.value(file)) {
            if (!include.quoted || !isPanel(include.header))
                continue;
            pending.append(include.header);
            if (include.header.endsWith(QLatin1String(".h")))
                pending.append(include.header.chopped(2) + QStringLiteral(".cpp"));
        }
    }
    return reached;
}

// The rules that the table and the tree give: which area holds a file, which areas it may
// use, and which files are headless.
class AreaRules
{
public:
    AreaRules(std::vector<Area> areas, const IncludeGraph &graph)
        : m_areas(std::move(areas))
    {
        m_headlessPanelFiles = headlessPanelFiles(
            graph, [this](const QString &path) { return areaOf(path) == QLatin1String("panel"); });
    }

    const std::vector<Area> &areas() const { return m_areas; }

    // The name of the area that holds the file (a path below src/), or nothing.
    std::optional<QString> areaOf(const QString &path) const
    {
        for (const Area &area : m_areas)
            if (area.files.contains(path))
                return area.name;
        const QString folder = path.section(QLatin1Char('/'), 0, 0);
        for (const Area &area : m_areas)
            if (path.contains(QLatin1Char('/')) && area.folders.contains(folder))
                return area.name;
        return std::nullopt;
    }

    const Area *find(const QString &name) const
    {
        const auto found = std::find_if(
            m_areas.begin(), m_areas.end(), [&](const Area &area) { return area.name == name; });
        return found == m_areas.end() ? nullptr : &*found;
    }

    // The areas whose headers the area may include: those it uses, and those they use in turn,
    // as the libraries link them.
    QSet<QString> reach(const QString &name) const
    {
        QSet<QString> reached;
        QStringList pending = find(name) ? find(name)->uses : QStringList();
        while (!pending.isEmpty()) {
            const QString next = pending.takeLast();
            if (reached.contains(next) || !find(next))
                continue;
            reached.insert(next);
            pending.append(find(next)->uses);
        }
        return reached;
    }

    bool linksWidgets(const QString &name) const
    {
        QSet<QString> linked = reach(name);
        linked.insert(name);
        return std::any_of(linked.begin(), linked.end(),
            [&](const QString &area) { return find(area)->links.contains(QLatin1String("Qt6::Widgets")); });
    }

    bool isHeadless(const QString &path, const QString &area) const
    {
        return !linksWidgets(area) || m_headlessPanelFiles.contains(path);
    }

    // Why the file (a path below src/) may not include the header, or nothing when it may. A
    // quoted include names a path below src/; a bracketed one is checked only for being a
    // widget header, which isWidgetHeader decides.
    std::optional<QString> includeFault(const QString &file, const Include &include,
        const std::function<bool(const QString &)> &isWidgetHeader) const
    {
        const std::optional<QString> from = areaOf(file);
        if (!from)
            return QStringLiteral("no area holds %1").arg(file);
        if (!include.quoted) {
            if (isHeadless(file, *from) && isWidgetHeader(include.header))
                return QStringLiteral("%1 is headless and may not use the widget header <%2>")
                    .arg(file, include.header);
            return std::nullopt;
        }
        const std::optional<QString> to = areaOf(include.header);
        if (!to)
            return QStringLiteral("%1 includes \"%2\", which no area holds").arg(file, include.header);
        if (*to == *from || reach(*from).contains(*to))
            return std::nullopt;
        return QStringLiteral("%1 includes \"%2\": %3 may not use %4").arg(file, include.header, *from, *to);
    }

private:
    std::vector<Area> m_areas;
    QSet<QString> m_headlessPanelFiles;
};

bool isQtWidgetsHeader(const QString &header)
{
    return QFileInfo::exists(QStringLiteral(TINDLEWICK_QT_WIDGETS_INCLUDE_DIR "/") + header);
}

QDir sourceFolder()
{
    return QDir(QStringLiteral(TINDLEWICK_SOURCE_DIR "/src"));
}

class IncludeDirectionTest : public ::testing::Test
{
protected:
    const IncludeGraph m_graph = readIncludes(sourceFolder());
    const AreaRules m_rules { buildAreas(), m_graph };
};

struct FaultCase
{
    const char *file;
    const char *include;
    bool quoted;
    const char *fault; // empty: allowed
};

const FaultCase faultCases[] = {
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
    { "KeyboardShortcuts/ShortcutCenter.cpp", "capture/ClipboardMonitor.h", true,
        "KeyboardShortcuts/ShortcutCenter.cpp includes \"capture/ClipboardMonitor.h\": KeyboardShortcuts may "
        "not use capture" },
    { "panel/PanelViewState.h", "QWidget", false,
        "panel/PanelViewState.h is headless and may not use the widget header <QWidget>" },
    { "panel/PanelViewState.cpp", "QAbstractButton", false,
        "panel/PanelViewState.cpp is headless and may not use the widget header <QAbstractButton>" },
    { "model/ClipboardItem.h", "QLineEdit", false,
        "model/ClipboardItem.h is headless and may not use the widget header <QLineEdit>" },
    // Beside and above.
    { "detection/CodeDetectionService.h", "enrichment/ColorFormatter.h", true,
        "detection/CodeDetectionService.h includes \"enrichment/ColorFormatter.h\": detection may not use "
        "enrichment" },
    { "enrichment/ColorFormatter.h", "detection/highlight/Highlight.h", true,
        "enrichment/ColorFormatter.h includes \"detection/highlight/Highlight.h\": enrichment may not use "
        "detection" },
    { "model/ClipboardItem.h", "enrichment/ColorFormatter.h", true,
        "model/ClipboardItem.h includes \"enrichment/ColorFormatter.h\": model may not use enrichment" },
    { "enrichment/Color.cpp", "enrichment/ColorNotations.h", true,
        "enrichment/Color.cpp includes \"enrichment/ColorNotations.h\": colour may not use enrichment" },
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
    // Allowed: down, within, through a used area, and the colour value types from the model.
    { "model/ClipboardItem.h", "enrichment/Color.h", true, "" },
    { "model/AppSettings.h", "enrichment/ColorFormat.h", true, "" },
    { "model/AppSettings.h", "model/HighlightTheme.h", true, "" },
    { "detection/CodeDetectionService.cpp", "enrichment/Color.h", true, "" },
    { "panel/PanelViewState.h", "panel/PanelController.h", true, "" },
    { "columns/CategoryColumn.h", "panel/PanelRoles.h", true, "" },
    { "items/CodeText.h", "detection/highlight/Highlight.h", true, "" },
    { "shell/AppDelegate.cpp", "capture/ClipboardMonitor.h", true, "" },
    { "shell/main.cpp", "shell/TindlewickApp.h", true, "" },
    { "shell/ShellPanelEnvironment.cpp", "panel/ClipboardPanelView.h", true, "" },
    { "settings/SettingsView.cpp", "panel/PanelGeometry.h", true, "" },
    { "capture/ClipboardMonitor.h", "QObject", false, "" },
    { "panel/ClipboardPanelView.h", "QWidget", false, "" },
    { "KeyboardShortcuts/ShortcutCenter.cpp", "QMenu", false, "" },
};

} // namespace

TEST_F(IncludeDirectionTest, FaultsNameTheFileTheIncludeAndTheTwoAreas)
{
    for (const FaultCase &c : faultCases) {
        const std::optional<QString> fault = m_rules.includeFault(
            QString::fromLatin1(c.file), { QString::fromLatin1(c.include), c.quoted }, isQtWidgetsHeader);
        EXPECT_EQ(fault.value_or(QString()), QString::fromLatin1(c.fault)) << c.file << " -> " << c.include;
    }
}

TEST_F(IncludeDirectionTest, EveryIncludeUnderSrcRunsDownward)
{
    EXPECT_GT(m_graph.size(), 300);
    QStringList faults;
    for (auto file = m_graph.begin(); file != m_graph.end(); ++file)
        for (const Include &include : file.value())
            if (const std::optional<QString> fault
                = m_rules.includeFault(file.key(), include, isQtWidgetsHeader))
                faults.append(*fault);
    faults.sort();
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}

// An area uses only areas above it in the table, so the arrows cannot run in a circle, and
// the few areas kept apart stay apart however the lists change.
TEST_F(IncludeDirectionTest, TheTableRunsOneWay)
{
    QStringList above;
    for (const Area &area : m_rules.areas()) {
        for (const QString &use : area.uses)
            EXPECT_TRUE(above.contains(use))
                << qPrintable(area.name) << " uses " << qPrintable(use) << ", which is not above it";
        above.append(area.name);
    }
    const std::pair<const char *, const char *> keptApart[] = {
        { "panel", "capture" }, // the shell hands the panel what it needs of the capture
        { "enrichment", "detection" },
        { "detection", "enrichment" },
        { "KeyboardShortcuts", "panel" },
    };
    for (const auto &[from, to] : keptApart)
        EXPECT_FALSE(m_rules.reach(QLatin1String(from)).contains(QLatin1String(to)))
            << from << " reaches " << to;
}

// A use that no file of the area needs only hands its headers on to the areas above.
TEST_F(IncludeDirectionTest, EveryUseOfTheTableIsIncluded)
{
    QHash<QString, QSet<QString>> included;
    for (auto file = m_graph.begin(); file != m_graph.end(); ++file) {
        const std::optional<QString> from = m_rules.areaOf(file.key());
        for (const Include &include : file.value())
            if (const std::optional<QString> to
                = include.quoted ? m_rules.areaOf(include.header) : std::nullopt;
                from && to)
                included[*from].insert(*to);
    }
    for (const Area &area : m_rules.areas())
        for (const QString &use : area.uses)
            EXPECT_TRUE(included.value(area.name).contains(use)) << qPrintable(
                area.name) << " links " << qPrintable(use) << " but includes none of its headers";
}

// The headless files of the panel follow what its state includes, whatever it comes to include.
TEST(HeadlessPanelFilesTest, AreTheStateAndWhatItReachesInThePanel)
{
    const IncludeGraph graph = {
        { QStringLiteral("panel/PanelViewState.h"),
            { { QStringLiteral("panel/Hover.h"), true }, { QStringLiteral("QObject"), false } } },
        { QStringLiteral("panel/PanelViewState.cpp"), { { QStringLiteral("items/Swipe.h"), true } } },
        { QStringLiteral("panel/Hover.h"), { { QStringLiteral("model/Item.h"), true } } },
        { QStringLiteral("panel/Hover.cpp"), { { QStringLiteral("panel/Marker.h"), true } } },
        { QStringLiteral("panel/Marker.h"), {} },
        { QStringLiteral("items/Swipe.h"), {} },
        { QStringLiteral("panel/PanelColumnsModel.h"), { { QStringLiteral("columns/ItemsModel.h"), true } } },
        { QStringLiteral("columns/ItemsModel.h"), {} },
        { QStringLiteral("columns/ItemsModel.cpp"), {} },
        { QStringLiteral("model/Item.h"), {} },
        { QStringLiteral("panel/View.h"), { { QStringLiteral("panel/PanelViewState.h"), true } } },
        { QStringLiteral("panel/View.cpp"), {} },
    };
    const auto isPanel = [](const QString &path) { return !path.startsWith(QLatin1String("model/")); };
    QStringList expected = { QStringLiteral("panel/PanelViewState.h"),
        QStringLiteral("panel/PanelViewState.cpp"), QStringLiteral("panel/Hover.h"),
        QStringLiteral("panel/Hover.cpp"), QStringLiteral("panel/Marker.h"), QStringLiteral("items/Swipe.h"),
        QStringLiteral("panel/PanelColumnsModel.h"), QStringLiteral("columns/ItemsModel.h"),
        QStringLiteral("columns/ItemsModel.cpp") };
    QStringList derived = headlessPanelFiles(graph, isPanel).values();
    derived.sort();
    expected.sort();
    EXPECT_EQ(derived.join(u' ').toStdString(), expected.join(u' ').toStdString());
}
