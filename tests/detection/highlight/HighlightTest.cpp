#include "detection/highlight/Highlight.h"
#include "detection/highlight/HLJSError.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

HighlightResult requestResult(
    Highlight &engine, const QString &text, const HighlightMode &mode, const HighlightColors &colors)
{
    return engine.request(text, mode, colors).result();
}

QColor foregroundAt(const AttributedText &text, qsizetype position)
{
    return text.formatAt(position).foreground().color();
}

} // namespace

TEST(HighlightTest, LanguageNamesForDisplay)
{
    struct Case
    {
        const char *language;
        int relevance;
        const char *expected;
    };
    const Case cases[] = {
        { "python", 5, "Python?" },
        { "python", 6, "Python" },
        { "undefined", 0, "Unknown" },
        { "undefined", 20, "Unknown" },
        { "xml", 10, "HTML" },
        { "wasm", 10, "WASM" },
        { "rust", 10, "Rust" },
        { "cpp", 1, "C++?" },
        { "csharp", 9, "C#" },
        { "graphql", 7, "GraphQL" },
        { "pgsql", 7, "PostgreSQL" },
        { "javascript", 7, "JavaScript" },
        { "typescript", 7, "TypeScript" },
        { "objectivec", 7, "Objective-C" },
        { "vbnet", 7, "Visual Basic .NET" },
        { "php-template", 7, "PHP Template" },
        { "phptemp", 7, "PHP Template" }, // our alias names read as what they stand for
        { "webass", 9, "WASM" },
        { "wasm", 9, "WASM" },
        { "css", 7, "CSS" },
        { "sql", 7, "SQL" },
        { "json", 7, "JSON" },
        { "php", 7, "PHP" },
        { "scss", 7, "SCSS" },
        { "toml", 7, "TOML" },
        { "yaml", 3, "YAML?" },
        { "go", 6, "Go" },
        { "python-repl", 6, "Python-repl" }, // words are separated by white space only
        { "XML", 10, "Xml" }, // the fixed names are case-sensitive
        { "php template", 6, "Php Template" },
        { "unknown", 0, "Unknown?" },
        { "", 10, "" },
        { "lua", -4, "Lua?" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Highlight::languageName(QString::fromUtf8(c.language), c.relevance),
            QString::fromUtf8(c.expected))
            << c.language << " " << c.relevance;
    }
}

TEST(HighlightTest, BackgroundColoursFromHexText)
{
    struct Case
    {
        const char *hex;
        QColor expected;
    };
    const QColor fallback(1, 1, 0, 1);
    const Case cases[] = {
        { "fff", QColor(255, 255, 255, 255) },
        { "#fff", QColor(255, 255, 255, 255) },
        { "#ffffff", QColor(255, 255, 255, 255) },
        { "000", QColor(0, 0, 0, 255) },
        { "#1f2024", QColor(0x1f, 0x20, 0x24, 255) },
        { "#80ff0000", QColor(255, 0, 0, 0x80) }, // alpha first
        { "  #0d1117; ", QColor(0x0d, 0x11, 0x17, 255) },
        { "#12345", fallback },
        { "", fallback },
        { "#", fallback },
        { "#ffff", fallback },
        { "#zzz", QColor(0, 0, 0, 255) }, // three characters, nothing scannable
        { "#abc-", QColor(0xaa, 0xbb, 0xcc, 255) },
        { "#fffffffffffffffff", fallback },
    };
    for (const Case &c : cases)
        EXPECT_EQ(Highlight::backgroundColor(QString::fromUtf8(c.hex)), c.expected) << c.hex;
}

TEST(HighlightTest, TheDocumentWrapsTheTrimmedFragmentAfterTheStyleSheet)
{
    EXPECT_EQ(Highlight::htmlDocument(QStringLiteral("\n  <span class=\"hljs-keyword\">if</span> x\n\n"),
                  QStringLiteral(".hljs{color:#000}")),
        QStringLiteral("<style>\n.hljs{color:#000}\n</style>\n<pre><code class=\"hljs\">"
                       "<span class=\"hljs-keyword\">if</span> x</code></pre>"));
}

TEST(HighlightTest, ConversionKeepsEveryCharacterAndDropsOnlyATrailingLineBreak)
{
    struct Case
    {
        const char *html;
        const char *expected;
    };
    const Case cases[] = {
        { "<pre><code>x = 1</code></pre>", "x = 1" },
        { "<pre><code></code></pre>", "" },
        { "", "" },
        { "<pre><code>a\n\tb  </code></pre>", "a\n\tb  " },
        { "<pre><code>&lt;a href=&quot;x&quot;&gt; &amp; &#x27;</code></pre>", "<a href=\"x\"> & '" },
        { "<p>first</p><p></p>", "first" }, // the reader's own final break goes
        { "first<br>", "first" },
        { "first<br><br>", "first\n" }, // but only one of them
        { "<pre><code>caf\xc3\xa9 \xce\xbb</code></pre>", "caf\xc3\xa9 \xce\xbb" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(
            Highlight::attributedTextFromHtml(QString::fromUtf8(c.html)).text, QString::fromUtf8(c.expected))
            << c.html;
}

TEST(HighlightTest, ConvertedTextCarriesColoursAndStylesButNoFont)
{
    const HighlightColors colors = HighlightColors::dark(HighlightTheme::atomOne);
    const AttributedText text = Highlight::attributedTextFromHtml(Highlight::htmlDocument(
        QStringLiteral(
            "<span class=\"hljs-keyword\">def</span> f(): <span class=\"hljs-comment\"># why</span>"),
        colors.css));
    ASSERT_EQ(text.text, QStringLiteral("def f(): # why"));
    EXPECT_EQ(foregroundAt(text, 0), QColor(0xc6, 0x78, 0xdd)); // keyword
    EXPECT_EQ(foregroundAt(text, 4), QColor(0xab, 0xb2, 0xbf)); // plain text takes the .hljs colour
    EXPECT_EQ(foregroundAt(text, 9), QColor(0x5c, 0x63, 0x70)); // comment
    EXPECT_TRUE(text.formatAt(9).fontItalic());
    EXPECT_FALSE(text.formatAt(0).fontItalic());
    for (const QTextLayout::FormatRange &range : text.formats) {
        for (int property :
            { int(QTextFormat::FontFamilies), int(QTextFormat::FontFamily), int(QTextFormat::FontPointSize),
                int(QTextFormat::FontPixelSize), int(QTextFormat::FontFixedPitch) })
            EXPECT_FALSE(range.format.hasProperty(property)) << property;
    }
}

TEST(HighlightTest, AnUndefinedReportGivesThePlainInputText)
{
    const HighlightColors colors = HighlightColors::light(HighlightTheme::github);
    const HighlightResult result = Highlight::result(QStringLiteral("  some <text>\n"),
        { QStringLiteral("undefined"), false, QStringLiteral("undefined"), 0 }, colors);
    EXPECT_TRUE(result.isUndefined);
    EXPECT_EQ(result.attributedText, AttributedText::plain(QStringLiteral("  some <text>\n")));
    EXPECT_EQ(result.language, QStringLiteral("unknown"));
    EXPECT_EQ(result.languageName, QStringLiteral("Unknown"));
    EXPECT_EQ(result.relevance, 0);
    EXPECT_FALSE(result.hasIllegal);
    EXPECT_EQ(result.backgroundColor, QColor(255, 255, 255));
}

TEST(HighlightTest, AReportBecomesAStyledResult)
{
    const HighlightColors colors = HighlightColors::dark(HighlightTheme::gradient);
    const HighlightResult result = Highlight::result(QStringLiteral("ignored"),
        { QStringLiteral("\n\n<span class=\"hljs-keyword\">let</span> x\n\n"), true, QStringLiteral("rust"),
            4 },
        colors);
    EXPECT_FALSE(result.isUndefined);
    EXPECT_EQ(result.attributedText.text, QStringLiteral("let x")); // blank lines at both ends go
    EXPECT_TRUE(result.hasIllegal);
    EXPECT_EQ(result.language, QStringLiteral("rust"));
    EXPECT_EQ(result.languageName, QStringLiteral("Rust?"));
    EXPECT_EQ(result.backgroundColor, QColor(0, 0, 0));
}

// The real script, through the whole engine.
TEST(HighlightTest, RequestsHighlightWithTheBundledScript)
{
    Highlight engine;
    const HighlightColors colors = HighlightColors::light(HighlightTheme::xcode);

    const HighlightResult python
        = requestResult(engine, QStringLiteral("def greet(name):\n    return \"hi \" + name\n"),
            HighlightMode::language(HighlightLanguage::python), colors);
    EXPECT_FALSE(python.isUndefined);
    EXPECT_EQ(python.language, QStringLiteral("python"));
    EXPECT_EQ(python.attributedText.text, QStringLiteral("def greet(name):\n    return \"hi \" + name"));
    EXPECT_EQ(foregroundAt(python.attributedText, 0), QColor(0xaa, 0x0d, 0x91)); // "def"
    EXPECT_EQ(python.backgroundColor, QColor(255, 255, 255));

    // Our request names that highlight.js knows under another name.
    const HighlightResult wasm
        = requestResult(engine, QStringLiteral("(module (func $f (result i32) i32.const 1))"),
            HighlightMode::language(HighlightLanguage::webAssembly), colors);
    // highlight.js reports the name it was asked for, alias or not.
    EXPECT_EQ(wasm.language, QStringLiteral("webass"));
    EXPECT_FALSE(wasm.attributedText.formats.isEmpty());
    const HighlightResult template_ = requestResult(engine, QStringLiteral("<p><?php echo 1; ?></p>"),
        HighlightMode::language(HighlightLanguage::phpTemplate), colors);
    EXPECT_EQ(template_.language, QStringLiteral("phptemp"));
    EXPECT_FALSE(template_.attributedText.formats.isEmpty());

    const HighlightResult unknown = requestResult(
        engine, QStringLiteral("x <y>"), HighlightMode::languageAlias(QStringLiteral("nosuch")), colors);
    EXPECT_TRUE(unknown.isUndefined);
    EXPECT_EQ(unknown.attributedText, AttributedText::plain(QStringLiteral("x <y>")));
    EXPECT_EQ(unknown.languageName, QStringLiteral("Unknown"));

    const HighlightResult empty
        = requestResult(engine, QString(), HighlightMode::language(HighlightLanguage::go), colors);
    EXPECT_FALSE(empty.isUndefined);
    EXPECT_EQ(empty.attributedText.text, QString());

    const AttributedText automatic
        = engine.attributedText(QStringLiteral("SELECT id FROM users WHERE id = 1;"), colors).result();
    EXPECT_EQ(automatic.text, QStringLiteral("SELECT id FROM users WHERE id = 1;"));
    EXPECT_FALSE(automatic.formats.isEmpty());
    EXPECT_EQ(engine.bridge().scriptReadCount(), 1);
}

TEST(HighlightTest, BridgeErrorsReachTheCaller)
{
    QTemporaryDir dir;
    Highlight engine(dir.filePath(QStringLiteral("absent.js")));
    QFuture<HighlightResult> future = engine.request(
        QStringLiteral("x"), HighlightMode::automatic(), HighlightColors::dark(HighlightTheme::xcode));
    std::optional<HLJSError::Code> code;
    try {
        future.waitForFinished();
    } catch (const HLJSError &error) {
        code = error.code();
    }
    EXPECT_EQ(code, HLJSError::Code::fileNotFound);
}
