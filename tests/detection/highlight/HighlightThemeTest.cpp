#include "detection/highlight/Highlight.h"
#include "detection/highlight/HighlightColors.h"
#include "detection/highlight/HighlightThemeSheets.h"
#include "platform/Bundle.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

// The colour the last rule naming `selector` itself gives it (rules inside @media blocks
// do not count: they never apply on screen).
QString effectiveColour(QString sheet, const QString &selector)
{
    for (qsizetype media = sheet.indexOf(u"@media"); media >= 0; media = sheet.indexOf(u"@media")) {
        qsizetype depth = 0;
        qsizetype end = media;
        for (; end < sheet.size(); ++end) {
            if (sheet.at(end) == u'{') {
                ++depth;
            } else if (sheet.at(end) == u'}' && --depth == 0) {
                break;
            }
        }
        sheet.remove(media, end - media + 1);
    }
    QString colour;
    for (const QString &rule : sheet.split(u'}', Qt::SkipEmptyParts)) {
        const QStringList parts = rule.split(u'{');
        if (parts.size() != 2 || !parts[0].split(u',').contains(selector))
            continue;
        for (const QString &declaration : parts[1].split(u';')) {
            if (declaration.startsWith(u"color:"))
                colour = declaration.mid(6);
        }
    }
    return colour;
}

QJsonObject packageSheets()
{
    QFile file(Bundle::pathForResource(QStringLiteral("highlight-styles"), QStringLiteral("json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

TEST(HighlightThemeTest, ThirtyThemesFoundByTheirExactDisplayName)
{
    const QList<HighlightTheme> &all = HighlightThemes::allCases();
    ASSERT_EQ(all.size(), 30);
    EXPECT_EQ(all.first(), HighlightTheme::a11y);
    EXPECT_EQ(all.last(), HighlightTheme::xcode);
    for (HighlightTheme theme : all) {
        EXPECT_EQ(HighlightThemes::fromRawValue(HighlightThemes::rawValue(theme)), theme);
        EXPECT_EQ(HighlightThemes::id(theme), HighlightThemes::rawValue(theme));
    }

    struct Case
    {
        const char *name;
        std::optional<HighlightTheme> expected;
    };
    const Case cases[] = {
        { "GitHub", HighlightTheme::github },
        { "github", std::nullopt },
        { "GITHUB", std::nullopt },
        { "a11y", HighlightTheme::a11y },
        { "A11y", std::nullopt },
        { "Atom One", HighlightTheme::atomOne },
        { "AtomOne", std::nullopt },
        { "Synth Midnight Terminal", HighlightTheme::synthMidnightTerminal },
        { "QT Creator", HighlightTheme::qtcreator },
        { "iA", HighlightTheme::ia },
        { "", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(HighlightThemes::fromRawValue(QString::fromUtf8(c.name)), c.expected) << c.name;
}

TEST(HighlightThemeTest, BackgroundsAreStoredAsListedAndParseToOpaqueColours)
{
    struct Case
    {
        HighlightTheme theme;
        const char *dark;
        const char *light;
    };
    const Case cases[] = {
        { HighlightTheme::a11y, "#2b2b2b", "#fefefe" },
        { HighlightTheme::atomOne, "#282c34", "#fafafa" },
        { HighlightTheme::classic, "#151515", "#f5f5f5" },
        { HighlightTheme::edge, "#262729", "#fafafa" },
        { HighlightTheme::github, "#0d1117", "#fff" },
        { HighlightTheme::google, "#1d1f21", "#fff" },
        { HighlightTheme::gradient, "000", "fff" },
        { HighlightTheme::grayscale, "#101010", "#f7f7f7" },
        { HighlightTheme::harmonic16, "#0b1c2c", "#f7f9fb" },
        { HighlightTheme::heetch, "#190134", "#feffff" },
        { HighlightTheme::horizon, "#1c1e26", "#fdf0ed" },
        { HighlightTheme::humanoid, "#232629", "#f8f8f2" },
        { HighlightTheme::ia, "#1a1a1a", "#f6f6f6" },
        { HighlightTheme::isblEditor, "#404040", "#fff" },
        { HighlightTheme::kimbie, "#221a0f", "#fbebd4" },
        { HighlightTheme::nnfx, "#333", "#fff" },
        { HighlightTheme::pandaSyntax, "#2a2c2d", "#e6e6e6" },
        { HighlightTheme::papercolor, "#1c1c1c", "#eee" },
        { HighlightTheme::paraiso, "#2f1e2e", "#e7e9db" },
        { HighlightTheme::qtcreator, "#000", "#fff" },
        { HighlightTheme::silk, "#0e3c46", "#e9f1ef" },
        { HighlightTheme::solarFlare, "#18262f", "#f5f7fa" },
        { HighlightTheme::solarized, "#002b36", "#fdf6e3" },
        { HighlightTheme::stackoverflow, "#1c1b1b", "#f6f6f6" },
        { HighlightTheme::standard, "#181818", "#f8f8f8" },
        { HighlightTheme::summerfruit, "#151515", "#fff" },
        { HighlightTheme::synthMidnightTerminal, "#050608", "#dddfe0" },
        { HighlightTheme::tokyoNight, "#1a1b26", "#d5d6db" },
        { HighlightTheme::unikitty, "#2e2a31", "#fff" },
        { HighlightTheme::xcode, "#1f2024", "#fff" },
    };
    ASSERT_EQ(std::size(cases), size_t(HighlightThemes::allCases().size()));
    for (const Case &c : cases) {
        const QString name = HighlightThemes::rawValue(c.theme);
        EXPECT_EQ(HighlightColors::dark(c.theme).background, QString::fromLatin1(c.dark))
            << name.toStdString();
        EXPECT_EQ(HighlightColors::light(c.theme).background, QString::fromLatin1(c.light))
            << name.toStdString();
        for (const char *stored : { c.dark, c.light }) {
            const QString hex = QString::fromLatin1(stored);
            const QColor expected(hex.startsWith(u'#') ? hex : u'#' + hex);
            EXPECT_EQ(Highlight::backgroundColor(hex), expected) << stored;
        }
    }
}

TEST(HighlightThemeTest, EverySheetResolvesInBothAppearancesWithoutAnyBackground)
{
    for (HighlightTheme theme : HighlightThemes::allCases()) {
        const std::string name = HighlightThemes::rawValue(theme).toStdString();
        for (const QString &sheet : { HighlightColors::dark(theme).css, HighlightColors::light(theme).css }) {
            EXPECT_FALSE(sheet.contains(u"background")) << name;
            EXPECT_FALSE(effectiveColour(sheet, QStringLiteral(".hljs")).isEmpty())
                << name << " has no text colour";
            if (theme != HighlightTheme::xcode || sheet != HighlightColors::dark(theme).css) {
                EXPECT_TRUE(sheet.startsWith(u"pre code.hljs{display:block;overflow-x:auto;padding:1em}"
                                             u"code.hljs{padding:3px 5px}"))
                    << name;
            }
        }
    }
    EXPECT_EQ(HighlightColors::dark(HighlightTheme::gradient).background, QStringLiteral("000"));
}

// The sheets of their own, whether typed in or taken from the package at build time: their
// length and the colours of their main classes.
TEST(HighlightThemeTest, OwnSheetsHaveTheListedLengthsAndMainColours)
{
    struct Case
    {
        HighlightTheme theme;
        bool dark;
        int length;
        const char *text, *comment, *keyword, *string, *number, *title, *builtIn;
    };
    const Case cases[] = {
        { HighlightTheme::a11y, true, 924, "#f8f8f2", "#d4d0ab", "#dcc6e0", "#abe338", "#f5ab35", "#00e0e0",
            "#f5ab35" },
        { HighlightTheme::a11y, false, 911, "#545454", "#696969", "#7928a1", "green", "#aa5d00", "#007faa",
            "#aa5d00" },
        { HighlightTheme::atomOne, true, 837, "#abb2bf", "#5c6370", "#c678dd", "#98c379", "#d19a66",
            "#61aeee", "#e6c07b" },
        { HighlightTheme::atomOne, false, 837, "#383a42", "#a0a1a7", "#a626a4", "#50a14f", "#986801",
            "#4078f2", "#c18401" },
        { HighlightTheme::github, true, 995, "#c9d1d9", "#8b949e", "#ff7b72", "#a5d6ff", "#79c0ff", "#d2a8ff",
            "#ffa657" },
        { HighlightTheme::gradient, true, 976, "#e7e4eb", "#af8dd9", "#17fc95", "#38c0ff", "#c5fe00",
            "#ffc800", "#ffc800" },
        { HighlightTheme::gradient, false, 976, "#250482", "#cb7200", "#7d2801", "#2681ab", "#7f0096",
            "#529117", "#529117" },
        { HighlightTheme::isblEditor, true, 946, "#f0f0f0", "#b5b5b5", "#f0f0f0", "#97bf0d", "#f0f0f0",
            "#df471e", "#97bf0d" },
        { HighlightTheme::isblEditor, false, 936, "#000", "#555", "#000", "navy", "#000", "#fb2c00", "navy" },
        { HighlightTheme::kimbie, true, 633, "#d3af86", "#d6baad", "#98676a", "#889b4a", "#f79a32", "#f06431",
            "#f79a32" },
        { HighlightTheme::kimbie, false, 633, "#84613d", "#a57a4c", "#98676a", "#889b4a", "#f79a32",
            "#f06431", "#f79a32" },
        { HighlightTheme::nnfx, true, 1022, "#fff", "#9c6", "#a7a", "#bce", "#bce", "#d40", "#a7a" },
        { HighlightTheme::nnfx, false, 1022, "#000", "#070", "#808", "#00f", "#00f", "#f40", "#808" },
        { HighlightTheme::pandaSyntax, true, 1076, "#e6e6e6", "#bbb", "#ff75b5", "#19f9d8", "#ffb86c",
            "#ffb86c", "#ffb86c" },
        { HighlightTheme::pandaSyntax, false, 1050, "#2a2c2d", "#676b79", "#d92792", "#0d7d6c", "#7641bb",
            "#7641bb", "#7641bb" },
        { HighlightTheme::paraiso, true, 618, "#a39e9b", "#8d8687", "#815ba4", "#48b685", "#f99b15",
            "#fec418", "#f99b15" },
        { HighlightTheme::paraiso, false, 618, "#4f424c", "#776e71", "#815ba4", "#48b685", "#f99b15",
            "#fec418", "#f99b15" },
        { HighlightTheme::qtcreator, true, 799, "#aaa", "#5ff", "#ff5", "#f5f", "#f5f", "#aaa", "#f5f" },
        { HighlightTheme::qtcreator, false, 794, "#000", "green", "olive", "green", "navy", "#000", "green" },
        { HighlightTheme::stackoverflow, true, 838, "#fff", "#999", "#88aece", "#b5bd68", "#f08d49",
            "#f08d49", "#f08d49" },
        { HighlightTheme::stackoverflow, false, 850, "#2f3337", "#656e77", "#015692", "#54790d", "#b75501",
            "#b75501", "#b75501" },
        { HighlightTheme::tokyoNight, true, 974, "#9aa5ce", "#565f89", "#bb9af7", "#9ece6a", "#ff9e64",
            "#7dcfff", "#e0af68" },
        { HighlightTheme::tokyoNight, false, 974, "#565a6e", "#9699a3", "#5a4a78", "#485e30", "#965027",
            "#0f4b6e", "#8f5e15" },
    };
    for (const Case &c : cases) {
        const QString sheet
            = c.dark ? HighlightColors::dark(c.theme).css : HighlightColors::light(c.theme).css;
        const std::string name
            = HighlightThemes::rawValue(c.theme).toStdString() + (c.dark ? " dark" : " light");
        EXPECT_EQ(sheet.size(), c.length) << name;
        const std::pair<const char *, const char *> classes[] = {
            { ".hljs", c.text },
            { ".hljs-comment", c.comment },
            { ".hljs-keyword", c.keyword },
            { ".hljs-string", c.string },
            { ".hljs-number", c.number },
            { ".hljs-title", c.title },
            { ".hljs-built_in", c.builtIn },
        };
        for (const auto &[selector, colour] : classes) {
            EXPECT_EQ(effectiveColour(sheet, QString::fromLatin1(selector)), QString::fromLatin1(colour))
                << name << " " << selector;
        }
    }
}

// Three own sheets are typed in; the package has them too, with a background.
TEST(HighlightThemeTest, TypedSheetsMatchThePackageSheetsWithoutBackground)
{
    const QJsonObject package = packageSheets();
    if (package.isEmpty())
        GTEST_SKIP() << "highlight-styles.json is not built";
    EXPECT_EQ(HighlightColors::dark(HighlightTheme::a11y).css, package.value(u"a11y-dark").toString());
    EXPECT_EQ(HighlightColors::dark(HighlightTheme::atomOne).css, package.value(u"atom-one-dark").toString());
    EXPECT_EQ(
        HighlightColors::dark(HighlightTheme::tokyoNight).css, package.value(u"tokyo-night-dark").toString());
}

TEST(HighlightThemeTest, PaletteSheetsFollowTheBase16RuleSet)
{
    // The package's base16 "classic-dark" sheet, background declarations removed.
    const QString expected = QStringLiteral(
        "pre code.hljs{display:block;overflow-x:auto;padding:1em}code.hljs{padding:3px "
        "5px}.hljs{color:#d0d0d0}"
        ".hljs "
        "::selection,.hljs::selection{color:#d0d0d0}.hljs-comment{color:#505050}.hljs-tag{color:#b0b0b0}"
        ".hljs-operator,.hljs-punctuation,.hljs-subst{color:#d0d0d0}.hljs-operator{opacity:.7}"
        ".hljs-bullet,.hljs-deletion,.hljs-name,.hljs-selector-tag,.hljs-template-variable,.hljs-variable{"
        "color:#ac4142}"
        ".hljs-attr,.hljs-link,.hljs-literal,.hljs-number,.hljs-symbol,.hljs-variable.constant_{color:#"
        "d28445}"
        ".hljs-class "
        ".hljs-title,.hljs-title,.hljs-title.class_{color:#f4bf75}.hljs-strong{font-weight:700;color:#f4bf75}"
        ".hljs-addition,.hljs-code,.hljs-string,.hljs-title.class_.inherited__{color:#90a959}"
        ".hljs-built_in,.hljs-doctag,.hljs-keyword.hljs-atrule,.hljs-quote,.hljs-regexp{color:#75b5aa}"
        ".hljs-attribute,.hljs-function .hljs-title,.hljs-section,.hljs-title.function_,.ruby "
        ".hljs-property{color:#6a9fb5}"
        ".diff .hljs-meta,.hljs-keyword,.hljs-template-tag,.hljs-type{color:#aa759f}"
        ".hljs-emphasis{color:#aa759f;font-style:italic}"
        ".hljs-meta,.hljs-meta .hljs-keyword,.hljs-meta .hljs-string{color:#8f5536}"
        ".hljs-meta .hljs-keyword,.hljs-meta-keyword{font-weight:700}");
    EXPECT_EQ(HighlightColors::dark(HighlightTheme::classic).css, expected);

    // Spot checks of the palettes in the other slots.
    EXPECT_EQ(effectiveColour(HighlightColors::dark(HighlightTheme::papercolor).css, QStringLiteral(".hljs")),
        QStringLiteral("grey"));
    EXPECT_EQ(
        effectiveColour(HighlightColors::light(HighlightTheme::github).css, QStringLiteral(".hljs-keyword")),
        QStringLiteral("#a71d5d"));
    EXPECT_EQ(
        effectiveColour(HighlightColors::light(HighlightTheme::unikitty).css, QStringLiteral(".hljs-meta")),
        QStringLiteral("#e013d0"));
}

TEST(HighlightThemeTest, WithoutThePackageSheetsOwnThemesFallBackToTheirMainColours)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    Bundle::setResourceDirectoryOverride(empty.path());
    const QString sheet = HighlightColors::light(HighlightTheme::qtcreator).css;
    const QString typed = HighlightColors::dark(HighlightTheme::a11y).css;
    Bundle::setResourceDirectoryOverride({});

    EXPECT_FALSE(sheet.contains(u"background"));
    EXPECT_EQ(effectiveColour(sheet, QStringLiteral(".hljs")), QStringLiteral("#000"));
    EXPECT_EQ(effectiveColour(sheet, QStringLiteral(".hljs-keyword")), QStringLiteral("olive"));
    EXPECT_EQ(effectiveColour(sheet, QStringLiteral(".hljs-number")), QStringLiteral("navy"));
    EXPECT_EQ(typed.size(), 924); // typed sheets do not depend on the resource
    // And the package's sheet is back once the resource is.
    EXPECT_EQ(HighlightColors::light(HighlightTheme::qtcreator).css.size(), 794);
}
