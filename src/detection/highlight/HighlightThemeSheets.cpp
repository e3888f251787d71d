#include "detection/highlight/HighlightThemeSheets.h"

#include "common/Diagnostics.h"
#include "platform/Bundle.h"
#include "platform/MappedFile.h"
#include "platform/ResourceFile.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>

#include <array>
#include <optional>
#include <utility>

namespace {

// The eleven colours of a sheet built on the shared base16 rule set.
struct Palette
{
    const char *text;
    const char *comment;
    const char *tag;
    const char *variable;
    const char *number;
    const char *title;
    const char *string;
    const char *regexp;
    const char *section;
    const char *keyword;
    const char *meta;
};

// The main colours of a theme that has a rule set of its own; only used to build a stand-in
// sheet when the package's sheet cannot be read.
struct MainColours
{
    const char *text;
    const char *comment;
    const char *keyword;
    const char *string;
    const char *number;
    const char *title;
    const char *builtIn;
};

enum class SheetKind { palette, package, typed };

struct Sheet
{
    SheetKind kind;
    Palette palette; // kind palette
    const char *source; // kind package: the package style file; kind typed: the sheet
    MainColours fallback; // kind package
    const char *text; // the colour of text outside any token class (the ".hljs" rule's)
};

struct ThemeEntry
{
    HighlightTheme value;
    const char *darkBackground;
    const char *lightBackground;
    Sheet dark;
    Sheet light;
};

constexpr Sheet palette(Palette colours)
{
    return { SheetKind::palette, colours, nullptr, {}, colours.text };
}

constexpr Sheet package(const char *file, MainColours fallback)
{
    return { SheetKind::package, {}, file, fallback, fallback.text };
}

constexpr Sheet typed(const char *sheet, const char *text)
{
    return { SheetKind::typed, {}, sheet, {}, text };
}

constexpr const char *kAtomOneDark
    = "pre code.hljs{display:block;overflow-x:auto;padding:1em}code.hljs{padding:3px 5px}.hljs{color:#abb2bf}"
      ".hljs-comment,.hljs-quote{color:#5c6370;font-style:italic}.hljs-doctag,.hljs-formula,.hljs-keyword{"
      "color:#c678dd}"
      ".hljs-deletion,.hljs-name,.hljs-section,.hljs-selector-tag,.hljs-subst{color:#e06c75}.hljs-literal{"
      "color:#56b6c2}"
      ".hljs-addition,.hljs-attribute,.hljs-meta .hljs-string,.hljs-regexp,.hljs-string{color:#98c379}"
      ".hljs-attr,.hljs-number,.hljs-selector-attr,.hljs-selector-class,.hljs-selector-pseudo,.hljs-template-"
      "variable,"
      ".hljs-type,.hljs-variable{color:#d19a66}"
      ".hljs-bullet,.hljs-link,.hljs-meta,.hljs-selector-id,.hljs-symbol,.hljs-title{color:#61aeee}"
      ".hljs-built_in,.hljs-class "
      ".hljs-title,.hljs-title.class_{color:#e6c07b}.hljs-emphasis{font-style:italic}"
      ".hljs-strong{font-weight:700}.hljs-link{text-decoration:underline}";

constexpr const char *kA11yDark
    = "pre code.hljs{display:block;overflow-x:auto;padding:1em}code.hljs{padding:3px 5px}.hljs{color:#f8f8f2}"
      ".hljs-comment,.hljs-quote{color:#d4d0ab}"
      ".hljs-deletion,.hljs-name,.hljs-regexp,.hljs-selector-class,.hljs-selector-id,.hljs-tag,.hljs-"
      "template-variable,"
      ".hljs-variable{color:#ffa07a}"
      ".hljs-built_in,.hljs-link,.hljs-literal,.hljs-meta,.hljs-number,.hljs-params,.hljs-type{color:#f5ab35}"
      ".hljs-attribute{color:gold}.hljs-addition,.hljs-bullet,.hljs-string,.hljs-symbol{color:#abe338}"
      ".hljs-section,.hljs-title{color:#00e0e0}.hljs-keyword,.hljs-selector-tag{color:#dcc6e0}"
      ".hljs-emphasis{font-style:italic}.hljs-strong{font-weight:700}"
      "@media screen and "
      "(-ms-high-contrast:active){.hljs-addition,.hljs-attribute,.hljs-built_in,.hljs-bullet,"
      ".hljs-comment,.hljs-link,.hljs-literal,.hljs-meta,.hljs-number,.hljs-params,.hljs-quote,.hljs-string,"
      ".hljs-symbol,.hljs-type{color:highlight}.hljs-keyword,.hljs-selector-tag{font-weight:700}}";

constexpr const char *kTokyoNightDark
    = "pre code.hljs{display:block;overflow-x:auto;padding:1em}code.hljs{padding:3px 5px}"
      ".hljs-comment,.hljs-meta{color:#565f89}"
      ".hljs-deletion,.hljs-doctag,.hljs-regexp,.hljs-selector-attr,.hljs-selector-class,.hljs-selector-id,"
      ".hljs-selector-pseudo,.hljs-tag,.hljs-template-tag,.hljs-variable.language_{color:#f7768e}"
      ".hljs-link,.hljs-literal,.hljs-number,.hljs-params,.hljs-template-variable,.hljs-type,"
      ".hljs-variable{color:#ff9e64}.hljs-attribute,.hljs-built_in{color:#e0af68}"
      ".hljs-keyword,.hljs-property,.hljs-subst,.hljs-title,.hljs-title.class_,.hljs-title.class_.inherited__"
      ","
      ".hljs-title.function_{color:#7dcfff}.hljs-selector-tag{color:#73daca}"
      ".hljs-addition,.hljs-bullet,.hljs-quote,.hljs-string,.hljs-symbol{color:#9ece6a}"
      ".hljs-code,.hljs-formula,.hljs-section{color:#7aa2f7}"
      ".hljs-attr,.hljs-char.escape_,.hljs-keyword,.hljs-name,.hljs-operator{color:#bb9af7}"
      ".hljs-punctuation{color:#c0caf5}.hljs{color:#9aa5ce}.hljs-emphasis{font-style:italic}"
      ".hljs-strong{font-weight:700}";

// Xcode's dark sheet has a shape of its own (no "pre code.hljs" rule, named colours).
constexpr const char *kXcodeDark
    = ".hljs{display:block;overflow-x:auto;padding:0.5em;color:white}.xml .hljs-meta{color:#6C7986}"
      ".hljs-comment,.hljs-quote{color:#6C7986}"
      ".hljs-tag,.hljs-attribute,.hljs-keyword,.hljs-selector-tag,.hljs-literal,.hljs-name{color:#FC5FA3}"
      ".hljs-variable,.hljs-template-variable{color:#FC5FA3}.hljs-code,.hljs-string,.hljs-meta-string{color:#"
      "FC6A5D}"
      ".hljs-regexp,.hljs-link{color:#5482FF}.hljs-title,.hljs-symbol,.hljs-bullet,.hljs-number{color:#"
      "41A1C0}"
      ".hljs-section,.hljs-meta{color:#FC5FA3}"
      ".hljs-class .hljs-title,.hljs-type,.hljs-built_in,.hljs-builtin-name,.hljs-params{color:#D0A8FF}"
      ".hljs-attr{color:#BF8555}.hljs-subst{color:#FFF}.hljs-formula{font-style:italic}"
      ".hljs-selector-id,.hljs-selector-class{color:#9b703f}.hljs-doctag,.hljs-strong{font-weight:bold}"
      ".hljs-emphasis{font-style:italic}";

constexpr const char *kXcodeLight
    = "pre code.hljs{display:block;overflow-x:auto;padding:1em}code.hljs{padding:3px 5px}.hljs{color:#000}"
      ".xml .hljs-meta{color:silver}.hljs-comment,.hljs-quote{color:#007400}"
      ".hljs-attribute,.hljs-keyword,.hljs-literal,.hljs-name,.hljs-selector-tag,.hljs-tag{color:#aa0d91}"
      ".hljs-template-variable,.hljs-variable{color:#3f6e74}.hljs-code,.hljs-meta "
      ".hljs-string,.hljs-string{color:#c41a16}"
      ".hljs-link,.hljs-regexp{color:#0e0eff}.hljs-bullet,.hljs-number,.hljs-symbol,.hljs-title{color:#"
      "1c00cf}"
      ".hljs-meta,.hljs-section{color:#643820}"
      ".hljs-built_in,.hljs-class .hljs-title,.hljs-params,.hljs-title.class_,.hljs-type{color:#5c2699}"
      ".hljs-attr{color:#836c28}.hljs-subst{color:#000}.hljs-formula{font-style:italic}"
      ".hljs-selector-class,.hljs-selector-id{color:#9b703f}.hljs-doctag,.hljs-strong{font-weight:700}"
      ".hljs-emphasis{font-style:italic}";

// clang-format off
const std::array<ThemeEntry, 30> kThemes{{
    {HighlightTheme::a11y, "#2b2b2b", "#fefefe",
     typed(kA11yDark, "#f8f8f2"),
     package("a11y-light", {"#545454", "#696969", "#7928a1", "green", "#aa5d00", "#007faa", "#aa5d00"})},
    {HighlightTheme::atomOne, "#282c34", "#fafafa",
     typed(kAtomOneDark, "#abb2bf"),
     package("atom-one-light", {"#383a42", "#a0a1a7", "#a626a4", "#50a14f", "#986801", "#4078f2", "#c18401"})},
    {HighlightTheme::classic, "#151515", "#f5f5f5",
     palette({"#d0d0d0", "#505050", "#b0b0b0", "#ac4142", "#d28445", "#f4bf75", "#90a959", "#75b5aa", "#6a9fb5", "#aa759f", "#8f5536"}),
     palette({"#303030", "#b0b0b0", "#505050", "#ac4142", "#d28445", "#f4bf75", "#90a959", "#75b5aa", "#6a9fb5", "#aa759f", "#8f5536"})},
    {HighlightTheme::edge, "#262729", "#fafafa",
     palette({"#b7bec9", "#3e4249", "#73b3e7", "#e77171", "#e77171", "#dbb774", "#a1bf78", "#5ebaa5", "#73b3e7", "#d390e7", "#5ebaa5"}),
     palette({"#5e646f", "#5e646f", "#6587bf", "#db7070", "#db7070", "#d69822", "#7c9f4b", "#509c93", "#6587bf", "#b870ce", "#509c93"})},
    {HighlightTheme::github, "#0d1117", "#fff",
     package("github-dark", {"#c9d1d9", "#8b949e", "#ff7b72", "#a5d6ff", "#79c0ff", "#d2a8ff", "#ffa657"}),
     palette({"#333", "#969896", "#e8e8e8", "#ed6a43", "#0086b3", "#795da3", "#183691", "#183691", "#795da3", "#a71d5d", "#333"})},
    {HighlightTheme::google, "#1d1f21", "#fff",
     palette({"#c5c8c6", "#969896", "#b4b7b4", "#cc342b", "#f96a38", "#fba922", "#198844", "#3971ed", "#3971ed", "#a36ac7", "#3971ed"}),
     palette({"#373b41", "#b4b7b4", "#969896", "#cc342b", "#f96a38", "#fba922", "#198844", "#3971ed", "#3971ed", "#a36ac7", "#3971ed"})},
    {HighlightTheme::gradient, "000", "fff",
     package("gradient-dark", {"#e7e4eb", "#af8dd9", "#17fc95", "#38c0ff", "#c5fe00", "#ffc800", "#ffc800"}),
     package("gradient-light", {"#250482", "#cb7200", "#7d2801", "#2681ab", "#7f0096", "#529117", "#529117"})},
    {HighlightTheme::grayscale, "#101010", "#f7f7f7",
     palette({"#b9b9b9", "#525252", "#ababab", "#7c7c7c", "#999", "#a0a0a0", "#8e8e8e", "#868686", "#686868", "#747474", "#5e5e5e"}),
     palette({"#464646", "#ababab", "#525252", "#7c7c7c", "#999", "#a0a0a0", "#8e8e8e", "#868686", "#686868", "#747474", "#5e5e5e"})},
    {HighlightTheme::harmonic16, "#0b1c2c", "#f7f9fb",
     palette({"#cbd6e2", "#627e99", "#aabcce", "#bf8b56", "#bfbf56", "#8bbf56", "#56bf8b", "#568bbf", "#8b56bf", "#bf568b", "#bf5656"}),
     palette({"#405c79", "#aabcce", "#627e99", "#bf8b56", "#bfbf56", "#8bbf56", "#56bf8b", "#568bbf", "#8b56bf", "#bf568b", "#bf5656"})},
    {HighlightTheme::heetch, "#190134", "#feffff",
     palette({"#bdb6c5", "#7b6d8b", "#9c92a8", "#27d9d5", "#5ba2b6", "#8f6c97", "#c33678", "#f80059", "#bd0152", "#82034c", "#470546"}),
     palette({"#5a496e", "#9c92a8", "#ddd6e5", "#27d9d5", "#bdb6c5", "#5ba2b6", "#f80059", "#c33678", "#47f9f5", "#bd0152", "#dedae2"})},
    {HighlightTheme::horizon, "#1c1e26", "#fdf0ed",
     palette({"#cbced0", "#6f6f70", "#9da0a2", "#e93c58", "#e58d7d", "#efb993", "#efaf8e", "#24a8b4", "#df5273", "#b072d1", "#e4a382"}),
     palette({"#403c3d", "#bdb3b1", "#948c8a", "#e95678", "#f9cec3", "#fadad1", "#29d398", "#59e1e3", "#26bbd9", "#ee64ac", "#f9cbbe"})},
    {HighlightTheme::humanoid, "#232629", "#f8f8f2",
     palette({"#f8f8f2", "#60615d", "#c0c0bd", "#f11235", "#ff9505", "#ffb627", "#02d849", "#0dd9d6", "#00a6fb", "#f15ee3", "#b27701"}),
     palette({"#232629", "#c0c0bd", "#60615d", "#b0151a", "#ff3d00", "#ffb627", "#388e3c", "#008e8e", "#0082c9", "#700f98", "#b27701"})},
    {HighlightTheme::ia, "#1a1a1a", "#f6f6f6",
     palette({"#ccc", "#767676", "#b8b8b8", "#d88568", "#d86868", "#b99353", "#83a471", "#7c9cae", "#8eccdd", "#b98eb2", "#8b6c37"}),
     palette({"#181818", "#898989", "#767676", "#9c5a02", "#c43e18", "#c48218", "#38781c", "#2d6bb1", "#48bac2", "#a94598", "#8b6c37"})},
    {HighlightTheme::isblEditor, "#404040", "#fff",
     package("isbl-editor-dark", {"#f0f0f0", "#b5b5b5", "#f0f0f0", "#97bf0d", "#f0f0f0", "#df471e", "#97bf0d"}),
     package("isbl-editor-light", {"#000", "#555", "#000", "navy", "#000", "#fb2c00", "navy"})},
    {HighlightTheme::kimbie, "#221a0f", "#fbebd4",
     package("kimbie-dark", {"#d3af86", "#d6baad", "#98676a", "#889b4a", "#f79a32", "#f06431", "#f79a32"}),
     package("kimbie-light", {"#84613d", "#a57a4c", "#98676a", "#889b4a", "#f79a32", "#f06431", "#f79a32"})},
    {HighlightTheme::nnfx, "#333", "#fff",
     package("nnfx-dark", {"#fff", "#9c6", "#a7a", "#bce", "#bce", "#d40", "#a7a"}),
     package("nnfx-light", {"#000", "#070", "#808", "#00f", "#00f", "#f40", "#808"})},
    {HighlightTheme::pandaSyntax, "#2a2c2d", "#e6e6e6",
     package("panda-syntax-dark", {"#e6e6e6", "#bbb", "#ff75b5", "#19f9d8", "#ffb86c", "#ffb86c", "#ffb86c"}),
     package("panda-syntax-light", {"#2a2c2d", "#676b79", "#d92792", "#0d7d6c", "#7641bb", "#7641bb", "#7641bb"})},
    {HighlightTheme::papercolor, "#1c1c1c", "#eee",
     palette({"grey", "#d7af5f", "#5fafd7", "#585858", "#5faf5f", "#afd700", "#af87d7", "#ffaf00", "#ff5faf", "#00afaf", "#5f8787"}),
     palette({"#444", "#5f8700", "#0087af", "#bcbcbc", "#d70000", "#d70087", "#8700af", "#d75f00", "#d75f00", "#005faf", "#005f87"})},
    {HighlightTheme::paraiso, "#2f1e2e", "#e7e9db",
     package("paraiso-dark", {"#a39e9b", "#8d8687", "#815ba4", "#48b685", "#f99b15", "#fec418", "#f99b15"}),
     package("paraiso-light", {"#4f424c", "#776e71", "#815ba4", "#48b685", "#f99b15", "#fec418", "#f99b15"})},
    {HighlightTheme::qtcreator, "#000", "#fff",
     package("qtcreator-dark", {"#aaa", "#5ff", "#ff5", "#f5f", "#f5f", "#aaa", "#f5f"}),
     package("qtcreator-light", {"#000", "green", "olive", "green", "navy", "#000", "green"})},
    {HighlightTheme::silk, "#0e3c46", "#e9f1ef",
     palette({"#c7dbdd", "#587073", "#9dc8cd", "#fb6953", "#fcab74", "#fce380", "#73d8ad", "#3fb2b9", "#46bddd", "#756b8a", "#9b647b"}),
     palette({"#385156", "#5c787b", "#4b5b5f", "#cf432e", "#d27f46", "#cfad25", "#6ca38c", "#329ca2", "#39aac9", "#6e6582", "#865369"})},
    {HighlightTheme::solarFlare, "#18262f", "#f5f7fa",
     palette({"#a6afb8", "#667581", "#85939e", "#ef5253", "#e66b2b", "#e4b51c", "#7cc844", "#52cbb0", "#33b5e1", "#a363d5", "#d73c9a"}),
     palette({"#586875", "#85939e", "#667581", "#ef5253", "#e66b2b", "#e4b51c", "#7cc844", "#52cbb0", "#33b5e1", "#a363d5", "#d73c9a"})},
    {HighlightTheme::solarized, "#002b36", "#fdf6e3",
     palette({"#93a1a1", "#657b83", "#839496", "#dc322f", "#cb4b16", "#b58900", "#859900", "#2aa198", "#268bd2", "#6c71c4", "#d33682"}),
     palette({"#586e75", "#839496", "#657b83", "#dc322f", "#cb4b16", "#b58900", "#859900", "#2aa198", "#268bd2", "#6c71c4", "#d33682"})},
    {HighlightTheme::stackoverflow, "#1c1b1b", "#f6f6f6",
     package("stackoverflow-dark", {"#fff", "#999", "#88aece", "#b5bd68", "#f08d49", "#f08d49", "#f08d49"}),
     package("stackoverflow-light", {"#2f3337", "#656e77", "#015692", "#54790d", "#b75501", "#b75501", "#b75501"})},
    {HighlightTheme::standard, "#181818", "#f8f8f8",
     palette({"#d8d8d8", "#585858", "#b8b8b8", "#ab4642", "#dc9656", "#f7ca88", "#a1b56c", "#86c1b9", "#7cafc2", "#ba8baf", "#a16946"}),
     palette({"#383838", "#b8b8b8", "#585858", "#ab4642", "#dc9656", "#f7ca88", "#a1b56c", "#86c1b9", "#7cafc2", "#ba8baf", "#a16946"})},
    {HighlightTheme::summerfruit, "#151515", "#fff",
     palette({"#d0d0d0", "#505050", "#b0b0b0", "#ff0086", "#fd8900", "#aba800", "#00c918", "#1faaaa", "#3777e6", "#ad00a1", "#c63"}),
     palette({"#101010", "#b0b0b0", "#000", "#ff0086", "#fd8900", "#aba800", "#00c918", "#1faaaa", "#3777e6", "#ad00a1", "#c63"})},
    {HighlightTheme::synthMidnightTerminal, "#050608", "#dddfe0",
     palette({"#c1c3c4", "#474849", "#a3a5a6", "#b53b50", "#ea770d", "#c9d364", "#06ea61", "#42fff9", "#03aeff", "#ea5ce2", "#cd6320"}),
     palette({"#28292a", "#a3a5a6", "#474849", "#b53b50", "#ea770d", "#c9d364", "#06ea61", "#42fff9", "#03aeff", "#ea5ce2", "#cd6320"})},
    {HighlightTheme::tokyoNight, "#1a1b26", "#d5d6db",
     typed(kTokyoNightDark, "#9aa5ce"),
     package("tokyo-night-light", {"#565a6e", "#9699a3", "#5a4a78", "#485e30", "#965027", "#0f4b6e", "#8f5e15"})},
    {HighlightTheme::unikitty, "#2e2a31", "#fff",
     palette({"#bcbabe", "#838085", "#9f9da2", "#d8137f", "#d65407", "#dc8a0e", "#17ad98", "#149bda", "#796af5", "#bb60ea", "#c720ca"}),
     palette({"#6c696e", "#a7a5a8", "#89878b", "#d8137f", "#d65407", "#dc8a0e", "#17ad98", "#149bda", "#775dff", "#aa17e6", "#e013d0"})},
    {HighlightTheme::xcode, "#1f2024", "#fff",
     typed(kXcodeDark, "white"),
     typed(kXcodeLight, "#000")},
}};
// clang-format on

const ThemeEntry &entry(HighlightTheme theme)
{
    const ThemeEntry &found = kThemes[size_t(theme)];
    Q_ASSERT(found.value == theme);
    return found;
}

QString colour(const char *value)
{
    return QString::fromLatin1(value);
}

const QString kOpeningRules
    = QStringLiteral("pre code.hljs{display:block;overflow-x:auto;padding:1em}code.hljs{padding:3px 5px}");

// The base16 rule set with the palette's colours filled in, rule for rule.
QString paletteSheet(const Palette &p)
{
    // clang-format off
    return kOpeningRules
        + u".hljs{color:" + colour(p.text) + u'}'
        + u".hljs ::selection,.hljs::selection{color:" + colour(p.text) + u'}'
        + u".hljs-comment{color:" + colour(p.comment) + u'}'
        + u".hljs-tag{color:" + colour(p.tag) + u'}'
        + u".hljs-operator,.hljs-punctuation,.hljs-subst{color:" + colour(p.text) + u'}'
        + u".hljs-operator{opacity:.7}"
        + u".hljs-bullet,.hljs-deletion,.hljs-name,.hljs-selector-tag,.hljs-template-variable,.hljs-variable{color:"
            + colour(p.variable) + u'}'
        + u".hljs-attr,.hljs-link,.hljs-literal,.hljs-number,.hljs-symbol,.hljs-variable.constant_{color:"
            + colour(p.number) + u'}'
        + u".hljs-class .hljs-title,.hljs-title,.hljs-title.class_{color:" + colour(p.title) + u'}'
        + u".hljs-strong{font-weight:700;color:" + colour(p.title) + u'}'
        + u".hljs-addition,.hljs-code,.hljs-string,.hljs-title.class_.inherited__{color:" + colour(p.string) + u'}'
        + u".hljs-built_in,.hljs-doctag,.hljs-keyword.hljs-atrule,.hljs-quote,.hljs-regexp{color:"
            + colour(p.regexp) + u'}'
        + u".hljs-attribute,.hljs-function .hljs-title,.hljs-section,.hljs-title.function_,.ruby .hljs-property{color:"
            + colour(p.section) + u'}'
        + u".diff .hljs-meta,.hljs-keyword,.hljs-template-tag,.hljs-type{color:" + colour(p.keyword) + u'}'
        + u".hljs-emphasis{color:" + colour(p.keyword) + u";font-style:italic}"
        + u".hljs-meta,.hljs-meta .hljs-keyword,.hljs-meta .hljs-string{color:" + colour(p.meta) + u'}'
        + u".hljs-meta .hljs-keyword,.hljs-meta-keyword{font-weight:700}";
    // clang-format on
}

QString fallbackSheet(const MainColours &c)
{
    return kOpeningRules + u".hljs{color:" + colour(c.text) + u"}.hljs-comment{color:" + colour(c.comment)
        + u"}.hljs-keyword{color:" + colour(c.keyword) + u"}.hljs-string{color:" + colour(c.string)
        + u"}.hljs-number{color:" + colour(c.number) + u"}.hljs-title{color:" + colour(c.title)
        + u"}.hljs-built_in{color:" + colour(c.builtIn) + u'}';
}

// The package's style files come to some twenty kilobytes.
constexpr qint64 maxStylesBytes = 4 * 1024 * 1024;

// The sheets of the resource at the path, by style file name; none, said in the log, when it is
// missing, cannot be read or holds none.
QHash<QString, QString> readPackageSheets(const QString &path)
{
    QString problem;
    QHash<QString, QString> sheets;
    if (path.isEmpty()) {
        problem = Bundle::searchedFolders();
    } else if (const std::optional<QByteArray> bytes = ResourceFile::read(path, maxStylesBytes, &problem)) {
        const QJsonObject object = QJsonDocument::fromJson(*bytes).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            sheets.insert(it.key(), it.value().toString());
        problem = QStringLiteral("it holds no style sheets");
    }
    if (sheets.isEmpty())
        printDiagnostic(
            QStringLiteral("HighlightTheme: Could not read highlight-styles.json (%1); some themes "
                           "use their main colours only")
                .arg(path.isEmpty() ? problem : path + QStringLiteral(": ") + problem));
    return sheets;
}

// The sheets the build took from the package, read on first use and again whenever the resource
// changes (another path, or another file at it): one that appears or is mended later is picked
// up, and one that cannot be read is tried, and said, once a version.
QString packageSheet(const char *file)
{
    static QMutex mutex;
    static std::optional<std::pair<QString, MappedFile::Identity>> readVersion;
    static QHash<QString, QString> sheets;

    const QString path = Bundle::pathForResource(QStringLiteral("highlight-styles"), QStringLiteral("json"));
    const std::pair version(path, path.isEmpty() ? MappedFile::Identity() : MappedFile::identityAt(path));
    QMutexLocker lock(&mutex);
    if (readVersion != version) {
        readVersion = version;
        sheets = readPackageSheets(path);
    }
    return sheets.value(QString::fromLatin1(file));
}

QString styleSheet(const Sheet &sheet)
{
    switch (sheet.kind) {
    case SheetKind::palette:
        return paletteSheet(sheet.palette);
    case SheetKind::typed:
        return QString::fromLatin1(sheet.source);
    case SheetKind::package: {
        const QString fromPackage = packageSheet(sheet.source);
        return fromPackage.isEmpty() ? fallbackSheet(sheet.fallback) : fromPackage;
    }
    }
    return {};
}

} // namespace

namespace HighlightThemes {

QString darkBackground(HighlightTheme theme)
{
    return QString::fromLatin1(entry(theme).darkBackground);
}

QString lightBackground(HighlightTheme theme)
{
    return QString::fromLatin1(entry(theme).lightBackground);
}

QColor darkTextColor(HighlightTheme theme)
{
    return QColor(QLatin1String(entry(theme).dark.text));
}

QColor lightTextColor(HighlightTheme theme)
{
    return QColor(QLatin1String(entry(theme).light.text));
}

QString darkStyleSheet(HighlightTheme theme)
{
    return styleSheet(entry(theme).dark);
}

QString lightStyleSheet(HighlightTheme theme)
{
    return styleSheet(entry(theme).light);
}

} // namespace HighlightThemes
