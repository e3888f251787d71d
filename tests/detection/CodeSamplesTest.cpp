#include "detection/CodeDetectionService.h"
#include "detection/HeuristicCodeDetection.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <set>

namespace {

QString readSample(const QString &name)
{
    QFile file(testDataPath(QStringLiteral("code-samples/") + name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

struct Sample
{
    const char *file;
    const char *language; // nullptr: not code
};

// One realistic sample per language of the tables, and texts people copy that are not code.
constexpr Sample samples[] = {
    { "swift.swift", "swift" },
    { "javascript.js", "javascript" },
    { "typescript.ts", "typescript" },
    { "python.py", "python" },
    { "html.html", "html" },
    { "css.css", "css" },
    { "json.json", "json" },
    { "shell.sh", "shell" },
    { "java.java", "java" },
    { "kotlin.kt", "kotlin" },
    { "c.c", "c" },
    { "cpp.cc", "cpp" },
    { "go.go", "go" },
    { "rust.rs", "rust" },
    { "ruby.rb", "ruby" },
    { "php.php", "php" },
    { "cs.cs", "cs" },
    { "dart.dart", "dart" },
    { "yaml.yaml", "yaml" },
    { "xml.xml", "xml" },
    { "dockerfile.Dockerfile", "dockerfile" },
    { "sql.sql", "sql" },
    { "lua.lua", "lua" },
    { "elixir.ex", "elixir" },
    { "scala.scala", "scala" },
    { "perl.pl", "perl" },
    { "r.R", "r" },
    { "objectivec.m", "objectivec" },
    { "haskell.hs", "haskell" },
    { "powershell.ps1", "powershell" },
    { "toml.toml", "toml" },
    { "graphql.graphql", "graphql" },
    { "terraform.tf", "terraform" },
    { "clojure.clj", "clojure" },
    { "erlang.erl", "erlang" },
    { "julia.jl", "julia" },
    { "groovy.gradle", "groovy" },
    { "fsharp.fs", "fsharp" },
    { "not-code/prose.txt", nullptr },
    { "not-code/list.txt", nullptr },
    { "not-code/address.txt", nullptr },
    { "not-code/log.txt", nullptr },
    { "not-code/url.txt", nullptr },
    { "not-code/email.txt", nullptr },
};

} // namespace

TEST(CodeSamplesTest, EachSampleIsItsLanguageAndTextIsNotCode)
{
    // Without a model the service decides on the heuristics alone.
    CodeDetectionService service;
    std::set<QString> languagesCovered;
    for (const Sample &sample : samples) {
        const QString text = readSample(QString::fromLatin1(sample.file));
        ASSERT_FALSE(text.isEmpty()) << sample.file;

        const HeuristicResult heuristic = HeuristicCodeDetection::shared().detect(text);
        const CodeDetectionService::DetectionResult result = service.detectNow(text);
        if (sample.language) {
            const qsizetype lines = text.trimmed().count(u'\n') + 1;
            EXPECT_TRUE(lines >= 5 && lines <= 40) << sample.file << " has " << lines << " lines";
            const QString language = QString::fromLatin1(sample.language);
            EXPECT_TRUE(heuristic.isCode) << sample.file;
            EXPECT_EQ(heuristic.language, language) << sample.file << " scored " << heuristic.score;
            EXPECT_EQ(result,
                (CodeDetectionService::DetectionResult { true, language, heuristic.confidence, language }))
                << sample.file;
            languagesCovered.insert(language);
        } else {
            EXPECT_FALSE(heuristic.isCode)
                << sample.file << " looked like " << qPrintable(heuristic.language.value_or(QString()));
            EXPECT_FALSE(result.isCode) << sample.file;
        }
    }
    EXPECT_EQ(languagesCovered.size(), HeuristicCodeDetection::shared().languages().size());
}
