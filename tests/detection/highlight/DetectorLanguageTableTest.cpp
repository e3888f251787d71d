#include "detection/CodeDetectionService.h"
#include "detection/GuesslangDetection.h"
#include "detection/heuristics/HeuristicPatternTables.h"
#include "detection/highlight/Highlight.h"
#include "detection/highlight/HighlightLanguage.h"
#include "platform/Bundle.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <QJSEngine>
#include <QSet>
#include <algorithm>

namespace {

// Every language label an item can be given by its detectors: the "#!" table, the pattern
// languages, the content-type model's labels (those of plain text never become a language)
// and the language network's outputs, read from the shipped tables and files.
QSet<QString> detectorLabels()
{
    QSet<QString> labels;
    for (const char *interpreter : { "python3", "node", "ruby", "perl", "php", "swift", "bash", "zsh", "sh",
             "fish", "ksh", "csh", "tcsh", "dash", "lua", "Rscript", "groovy" }) {
        const std::optional<QString> language = CodeDetectionService::detectShebang(
            QStringLiteral("#!/usr/bin/env %1\n").arg(QLatin1String(interpreter)));
        EXPECT_TRUE(language) << interpreter;
        if (language)
            labels.insert(*language);
    }
    for (const HeuristicLanguagePatterns &language : HeuristicPatternTables::languages())
        labels.insert(language.name);

    QFile modelLabels(QStringLiteral(TINDLEWICK_SOURCE_DIR "/resources/models/magika_labels.txt"));
    EXPECT_TRUE(modelLabels.open(QIODevice::ReadOnly));
    const QSet<QString> textLabels { QStringLiteral("txt"), QStringLiteral("randombytes"),
        QStringLiteral("randomtxt"), QStringLiteral("csv"), QStringLiteral("tsv"), QStringLiteral("markdown"),
        QStringLiteral("rst"), QStringLiteral("eml"), QStringLiteral("srt"), QStringLiteral("vtt"),
        QStringLiteral("sum"), QStringLiteral("po"), QStringLiteral("bib") };
    for (const QByteArray &line : modelLabels.readAll().split('\n')) {
        const QString label = QString::fromUtf8(line.trimmed());
        if (!label.isEmpty() && !textLabels.contains(label))
            labels.insert(label);
    }
    GuesslangDetection &network = GuesslangDetection::shared();
    EXPECT_TRUE(network.loadModel());
    for (const QString &language : network.languages())
        labels.insert(language);
    return labels;
}

// The bundled highlight.js, asked which language it takes a name for.
class ScriptLanguages
{
public:
    ScriptLanguages()
    {
        QFile script(Bundle::pathForResource(QStringLiteral("highlight.min"), QStringLiteral("js")));
        EXPECT_TRUE(script.open(QIODevice::ReadOnly));
        m_engine.evaluate(QString::fromUtf8(script.readAll()));
        m_lookup = m_engine.evaluate(
            QStringLiteral("(function (name) { var l = hljs.getLanguage(name); return l ? l.name : ''; })"));
        EXPECT_TRUE(m_lookup.isCallable());
    }
    // The script's name of the language it highlights for name; empty when it knows none.
    QString languageFor(const QString &name) { return m_lookup.call({ name }).toString(); }

private:
    QJSEngine m_engine;
    QJSValue m_lookup;
};

} // namespace

TEST(DetectorLanguageTableTest, DetectorLabelsInAnyCaseNameTheHighlighterLanguages)
{
    using L = HighlightLanguage;
    struct Case
    {
        const char *label;
        std::optional<HighlightLanguage> expected;
    };
    const Case cases[] = {
        // Names that an exact raw-value match misses.
        { "javascript", L::javaScript },
        { "typescript", L::typeScript },
        { "cpp", L::cPlusPlus },
        { "cs", L::cSharp },
        { "objectivec", L::objectiveC },
        { "pascal", L::delphi },
        { "vba", L::visualBasic },
        { "latex", L::latex },
        { "xml", L::html },
        { "shell", L::bash }, // a script, not a terminal session
        // Letter case does not matter.
        { "PYTHON", L::python },
        { "Python", L::python },
        { "javaScript", L::javaScript },
        { "go", L::go },
        // Labels the table does not know: automatic detection.
        { "brainfuck", std::nullopt },
        { "", std::nullopt },
        { "python ", std::nullopt },
        { "c++", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(HighlightLanguages::forDetectorLabel(QString::fromUtf8(c.label)), c.expected) << c.label;
}

TEST(DetectorLanguageTableTest, EveryDetectorLabelReachesTheLanguageTheHighlighterKnowsItAs)
{
    ScriptLanguages script;
    // The script's language of every one of our languages, and the languages for each.
    QHash<QString, QList<HighlightLanguage>> ours;
    for (HighlightLanguage language : HighlightLanguages::allCases()) {
        const QString name = script.languageFor(HighlightLanguages::scriptName(language));
        ASSERT_FALSE(name.isEmpty()) << HighlightLanguages::rawValue(language).toStdString();
        ours[name].append(language);
    }

    const QSet<QString> labels = detectorLabels();
    ASSERT_GT(labels.size(), 60);
    int mapped = 0;
    for (const QString &label : labels) {
        SCOPED_TRACE(label.toStdString());
        const std::optional<HighlightLanguage> language = HighlightLanguages::forDetectorLabel(label);
        const QString known = script.languageFor(label);
        if (language) {
            ++mapped;
            // A label the script knows is highlighted as that very language (the detectors'
            // "shell" names scripts, the script's a terminal session).
            if (!known.isEmpty() && label != QLatin1String("shell")) {
                EXPECT_EQ(script.languageFor(HighlightLanguages::scriptName(*language)), known);
            }
        } else {
            // Automatic detection only where none of our languages is the label's.
            EXPECT_FALSE(ours.contains(known)) << "could be highlighted as " << known.toStdString();
        }
    }
    EXPECT_GE(mapped, 45);
}

TEST(DetectorLanguageTableTest, TypicalLinesOfDetectedLanguagesComeOutColoured)
{
    struct Case
    {
        const char *label;
        const char *line;
    };
    const Case cases[] = {
        { "shell", "for f in *.txt; do echo \"$f\"; done" },
        { "python", "def main(): return None" },
        { "javascript", "const x = await fetch(url);" },
        { "cs", "public static void Main() { }" },
        { "cpp", "template <typename T> class Box { };" },
        { "objectivec", "@interface Greeter : NSObject" },
        { "pascal", "procedure Greet; begin end;" },
        { "xml", "<item id=\"1\">text</item>" },
        { "ini", "[server]" },
        { "vba", "Dim total As Integer" },
    };
    Highlight engine;
    const HighlightColors colors = HighlightColors::light(HighlightTheme::github);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::optional<HighlightLanguage> language
            = HighlightLanguages::forDetectorLabel(QString::fromLatin1(c.label));
        ASSERT_TRUE(language);
        const HighlightResult result
            = engine.request(QString::fromUtf8(c.line), HighlightMode::language(*language), colors).result();
        EXPECT_FALSE(result.isUndefined);
        // Some of it in a token's colour, not all in the theme's text colour (#333).
        const QList<QTextLayout::FormatRange> &runs = result.attributedText.formats;
        EXPECT_TRUE(std::any_of(runs.begin(), runs.end(), [](const QTextLayout::FormatRange &run) {
            return run.format.foreground().color() != QColor(0x33, 0x33, 0x33);
        })) << "no token coloured";
    }
}
