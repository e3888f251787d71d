#include "detection/highlight/HighlightThemeSheets.h"
#include "detection/highlight/Highlight.h"
#include "detection/highlight/HighlightColors.h"
#include "platform/Bundle.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <functional>

namespace {

// A sheet read as the view's style engine reads it: for each selector (prefixed with the
// condition of the @media block it sits in), its declarations, later ones winning.
using Styles = QMap<QString, QMap<QString, QString>>;

// A rule's declarations: split at each ";" outside parentheses (a url() may hold one).
QList<QStringView> declarations(QStringView block)
{
    QList<QStringView> parts;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= block.size(); ++i) {
        if (i < block.size() && block.at(i) == u'(')
            ++depth;
        else if (i < block.size() && block.at(i) == u')')
            --depth;
        else if (i == block.size() || (block.at(i) == u';' && depth == 0)) {
            parts.append(block.mid(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// The styles of a sheet, or nothing when it is not a sequence of well-formed rules.
std::optional<Styles> parseSheet(const QString &sheet)
{
    Styles styles;
    // Custom properties ("--hljs-bg") included.
    static const QRegularExpression property(QStringLiteral("^(--)?[a-z][a-z0-9-]*$"));
    const auto parseRules = [&](QStringView text, const QString &condition) {
        qsizetype at = 0;
        while (at < text.size()) {
            const qsizetype open = text.indexOf(u'{', at);
            const qsizetype close = text.indexOf(u'}', at);
            const qsizetype nested = open < 0 ? -1 : text.indexOf(u'{', open + 1);
            if (open < 0 || close < open || (nested >= 0 && nested < close))
                return false;
            const QStringView selectors = text.mid(at, open - at).trimmed();
            if (selectors.isEmpty())
                return false;
            for (const QStringView declaration : declarations(text.mid(open + 1, close - open - 1))) {
                if (declaration.trimmed().isEmpty())
                    continue;
                const qsizetype colon = declaration.indexOf(u':');
                const QString name = declaration.left(colon).trimmed().toString();
                const QString value = declaration.mid(colon + 1).trimmed().toString();
                if (colon < 0 || !property.match(name).hasMatch() || value.isEmpty())
                    return false;
                for (const QStringView selector : selectors.split(u','))
                    styles[condition + selector.trimmed().toString()][name] = value;
            }
            at = close + 1;
        }
        return true;
    };
    // At-rules hold rules of their own; everything else is plain rules.
    qsizetype at = 0;
    while (at < sheet.size()) {
        const qsizetype media = sheet.indexOf(u'@', at);
        const qsizetype end = media < 0 ? sheet.size() : media;
        if (!parseRules(QStringView(sheet).mid(at, end - at), QString()))
            return std::nullopt;
        if (media < 0)
            break;
        const qsizetype open = sheet.indexOf(u'{', media);
        if (open < 0)
            return std::nullopt;
        qsizetype depth = 0;
        qsizetype close = open;
        for (; close < sheet.size(); ++close) {
            if (sheet.at(close) == u'{')
                ++depth;
            else if (sheet.at(close) == u'}' && --depth == 0)
                break;
        }
        if (close >= sheet.size())
            return std::nullopt;
        const QString condition = sheet.mid(media, open - media).trimmed() + u' ';
        if (!parseRules(QStringView(sheet).mid(open + 1, close - open - 1), condition))
            return std::nullopt;
        at = close + 1;
    }
    return styles;
}

// The colour a class is drawn in on screen (outside any @media block), or an invalid colour.
QColor colourOf(const Styles &styles, const QString &selector)
{
    return QColor(styles.value(selector).value(QStringLiteral("color")));
}

double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

// The contrast ratio of two colours, 1 (none) to 21 (black on white).
double contrast(const QColor &a, const QColor &b)
{
    const double lighter = std::max(relativeLuminance(a), relativeLuminance(b));
    const double darker = std::min(relativeLuminance(a), relativeLuminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

struct Appearance
{
    const char *name;
    bool dark;
};
constexpr Appearance appearances[] = { { "dark", true }, { "light", false } };

HighlightColors colours(HighlightTheme theme, const Appearance &appearance)
{
    return appearance.dark ? HighlightColors::dark(theme) : HighlightColors::light(theme);
}

std::string describe(HighlightTheme theme, const Appearance &appearance)
{
    return HighlightThemes::rawValue(theme).toStdString() + " " + appearance.name;
}

const QStringList mainClasses = { QStringLiteral(".hljs"), QStringLiteral(".hljs-comment"),
    QStringLiteral(".hljs-keyword"), QStringLiteral(".hljs-string"), QStringLiteral(".hljs-number"),
    QStringLiteral(".hljs-title"), QStringLiteral(".hljs-built_in") };

} // namespace

TEST(HighlightThemeSheetsTest, EverySheetIsWellFormedWithValidColoursAndNoBackground)
{
    for (HighlightTheme theme : HighlightThemes::allCases()) {
        for (const Appearance &appearance : appearances) {
            SCOPED_TRACE(describe(theme, appearance));
            const QString sheet = colours(theme, appearance).css;
            EXPECT_FALSE(sheet.contains(u"background")) << "the view paints the background itself";
            const std::optional<Styles> styles = parseSheet(sheet);
            ASSERT_TRUE(styles.has_value()) << "not well-formed: " << sheet.toStdString();
            for (auto rule = styles->begin(); rule != styles->end(); ++rule) {
                // Rules for high-contrast displays may name system colours ("highlight").
                if (rule->contains(QStringLiteral("color")) && !rule.key().startsWith(u'@')) {
                    EXPECT_TRUE(colourOf(*styles, rule.key()).isValid())
                        << rule.key().toStdString() << ": "
                        << rule->value(QStringLiteral("color")).toStdString();
                }
            }
            EXPECT_TRUE(colourOf(*styles, QStringLiteral(".hljs")).isValid()) << "no text colour";
            // What runs that would not show are drawn in instead.
            EXPECT_EQ(appearance.dark ? HighlightThemes::darkTextColor(theme)
                                      : HighlightThemes::lightTextColor(theme),
                colourOf(*styles, QStringLiteral(".hljs")));
        }
    }
}

TEST(HighlightThemeSheetsTest, EveryThemeIsReadableOnItsOwnBackground)
{
    for (HighlightTheme theme : HighlightThemes::allCases()) {
        for (const Appearance &appearance : appearances) {
            SCOPED_TRACE(describe(theme, appearance));
            const HighlightColors themeColours = colours(theme, appearance);
            const QColor background = Highlight::backgroundColor(themeColours.background);
            ASSERT_TRUE(background.isValid());
            EXPECT_EQ(background.alpha(), 255);
            const Styles styles = parseSheet(themeColours.css).value_or(Styles());
            const QColor text = colourOf(styles, QStringLiteral(".hljs"));
            // Plain text close to the usual bar for body text (4.5:1); light text on a dark
            // background in the dark appearance, dark on light in the light one.
            EXPECT_GE(contrast(text, background), 4.0)
                << text.name().toStdString() << " on " << background.name().toStdString();
            EXPECT_EQ(relativeLuminance(text) > relativeLuminance(background), appearance.dark);
            // No class is drawn in the background's own colour. Token colours are the package's
            // palettes and vary a lot: Synth Midnight Terminal's light built-ins reach 1.08:1.
            for (auto rule = styles.begin(); rule != styles.end(); ++rule) {
                const QColor colour = colourOf(styles, rule.key());
                if (colour.isValid() && !rule.key().startsWith(u'@')) {
                    EXPECT_GT(contrast(colour, background), 1.02) << rule.key().toStdString();
                }
            }
        }
    }
}

// Our sheets are the highlighting package's own, without their backgrounds; only the package
// has no dark Xcode sheet, so that one is ours.
TEST(HighlightThemeSheetsTest, EverySheetStylesEachClassAsThePackagesSheetDoes)
{
    const QString styleFolder
        = QStringLiteral(TINDLEWICK_SOURCE_DIR "/resources/node_modules/@highlightjs/cdn-assets/styles");
    if (!QFileInfo::exists(styleFolder))
        GTEST_SKIP() << "the npm resources are not installed";
    QList<Styles> packageStyles;
    static const QRegularExpression comment(
        QStringLiteral(R"(/\*.*?\*/)"), QRegularExpression::DotMatchesEverythingOption);
    for (QDirIterator it(
             styleFolder, { QStringLiteral("*.min.css") }, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QString sheet = QString::fromUtf8(file.readAll()).remove(comment);
        std::optional<Styles> styles = parseSheet(sheet);
        ASSERT_TRUE(styles) << it.filePath().toStdString();
        for (auto rule = styles->begin(); rule != styles->end();) {
            rule->removeIf(
                [](const auto &declaration) { return declaration.key().startsWith(u"background"); });
            rule = rule->isEmpty() ? styles->erase(rule) : std::next(rule);
        }
        packageStyles.append(*styles);
    }
    ASSERT_GT(packageStyles.size(), 200);

    for (HighlightTheme theme : HighlightThemes::allCases()) {
        for (const Appearance &appearance : appearances) {
            const bool ours = theme == HighlightTheme::xcode && appearance.dark;
            const std::optional<Styles> styles = parseSheet(colours(theme, appearance).css);
            ASSERT_TRUE(styles);
            EXPECT_EQ(packageStyles.contains(*styles), !ours) << describe(theme, appearance);
        }
    }
}

TEST(HighlightThemeSheetsTest, WithoutThePackageSheetsThemesFallBackToTheirMainColours)
{
    struct Sheets
    {
        HighlightTheme theme;
        Appearance appearance;
        QString normal;
        QString fallback;
    };
    QList<Sheets> sheets;
    for (HighlightTheme theme : HighlightThemes::allCases()) {
        for (const Appearance &appearance : appearances)
            sheets.append({ theme, appearance, colours(theme, appearance).css, {} });
    }
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    Bundle::setResourceDirectoryOverride(empty.path());
    for (Sheets &sheet : sheets)
        sheet.fallback = colours(sheet.theme, sheet.appearance).css;
    Bundle::setResourceDirectoryOverride({});

    int fallingBack = 0;
    for (const Sheets &sheet : sheets) {
        SCOPED_TRACE(describe(sheet.theme, sheet.appearance));
        EXPECT_EQ(colours(sheet.theme, sheet.appearance).css, sheet.normal) << "back once the resource is";
        if (sheet.fallback == sheet.normal)
            continue; // a sheet of our own, which needs no resource
        ++fallingBack;
        const std::optional<Styles> fallback = parseSheet(sheet.fallback);
        const std::optional<Styles> normal = parseSheet(sheet.normal);
        ASSERT_TRUE(fallback && normal);
        EXPECT_FALSE(sheet.fallback.contains(u"background"));
        for (const QString &selector : mainClasses)
            EXPECT_EQ(colourOf(*fallback, selector), colourOf(*normal, selector)) << selector.toStdString();
    }
    EXPECT_GT(fallingBack, 0) << "no theme reads the package's sheets";
}

// Whoever can write the resources folder may leave anything in the sheets' place: a FIFO held the
// thread that asked in open() for good, a link to /dev/zero filled the memory. Each reads as a
// missing file does, said once however often the sheets are asked for; mended, the package's
// sheets are read again.
TEST(HighlightThemeSheetsTest, SheetsThatAreNoRegularFileOfTheirSizeFallBackSaidOnceUntilMended)
{
    const QString shipped
        = Bundle::pathForResource(QStringLiteral("highlight-styles"), QStringLiteral("json"));
    QFile shippedFile(shipped);
    if (shipped.isEmpty() || !shippedFile.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "the npm resources are not installed";
    const QByteArray sheets = shippedFile.readAll();
    const Appearance dark = appearances[0];
    const QString packageSheet = colours(HighlightTheme::kimbie, dark).css;
    TemporaryResourceFolder folder;
    const QString path = folder.path() + QStringLiteral("/highlight-styles.json");
    const QString fallback = colours(HighlightTheme::kimbie, dark).css;
    ASSERT_NE(fallback, packageSheet);
    const auto standIn = [&](FileStandIn kind, qint64 sparseBytes = 0) {
        return [=] { return replaceWithStandIn(path, kind, sparseBytes); };
    };
    const struct
    {
        const char *name;
        std::function<bool()> make;
        QString why;
    } rows[] = {
        { "a FIFO", standIn(FileStandIn::fifo), QStringLiteral("it is not a regular file") },
        { "a link to /dev/zero", standIn(FileStandIn::zeroDeviceLink),
            QStringLiteral("it is not a regular file") },
        { "larger than 4 MB", standIn(FileStandIn::sparseFile, 4 * 1024 * 1024 + 1),
            QStringLiteral("it is larger than 4 MB") },
        { "no sheets in it", [&] { return folder.write(QStringLiteral("highlight-styles.json"), "[1, 2]"); },
            QStringLiteral("it holds no style sheets") },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.make());
        CapturedDiagnostics diagnostics;
        for (int ask = 0; ask < 3; ++ask)
            EXPECT_EQ(colours(HighlightTheme::kimbie, dark).css, fallback);
        EXPECT_EQ(diagnostics.lines(),
            QStringList {
                QStringLiteral("HighlightTheme: Could not read highlight-styles.json (%1: %2); some "
                               "themes use their main colours only")
                    .arg(path, row.why) });
        ASSERT_TRUE(folder.write(QStringLiteral("highlight-styles.json"), sheets));
        EXPECT_EQ(colours(HighlightTheme::kimbie, dark).css, packageSheet) << "read again once mended";
    }
}
