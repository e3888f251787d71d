// Our engine (the adapted script in QJSEngine) against node running the package's own files:
// the same HTML, language, relevance and illegal flag, for a sample of every language and for
// automatic detection.
#include "detection/highlight/HLJS.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <cmath>

namespace {

struct Request
{
    QString text;
    HighlightMode mode;
};

QString cdnAssets()
{
    return QStringLiteral(TINDLEWICK_SOURCE_DIR "/resources/node_modules/@highlightjs/cdn-assets");
}

// Why the reference cannot run here, or empty.
QString referenceUnavailable()
{
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
        return QStringLiteral("node is not installed");
    if (!QFileInfo::exists(cdnAssets() + QStringLiteral("/highlight.min.js")))
        return QStringLiteral("the npm resources are not installed");
    return {};
}

// What node's highlight.js says, in the bridge's terms (an exception is an undefined result,
// relevance a 32-bit integer).
QList<HLJSResult> nodeResults(const QList<Request> &requests)
{
    QJsonArray array;
    for (const Request &request : requests) {
        QJsonObject object { { QStringLiteral("text"), request.text } };
        if (!request.mode.isAutomatic())
            object.insert(QStringLiteral("language"), request.mode.scriptLanguageName());
        if (request.mode.ignoresIllegals())
            object.insert(QStringLiteral("ignoreIllegals"), true);
        array.append(object);
    }
    QProcess node;
    node.start(QStandardPaths::findExecutable(QStringLiteral("node")),
        { QStringLiteral(TINDLEWICK_SOURCE_DIR "/tools/highlightjs-reference.js"), cdnAssets() });
    node.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
    node.closeWriteChannel();
    if (!node.waitForFinished(120000) || node.exitCode() != 0) {
        ADD_FAILURE() << "node failed: " << node.readAllStandardError().toStdString();
        return {};
    }
    QList<HLJSResult> results;
    for (const QJsonValue &value : QJsonDocument::fromJson(node.readAllStandardOutput()).array()) {
        const QJsonObject object = value.toObject();
        if (object.value(u"undefined").toBool()) {
            results.append({ QStringLiteral("undefined"), false, QStringLiteral("undefined"), 0 });
            continue;
        }
        results.append({ object.value(u"value").toString(), object.value(u"illegal").toBool(),
            object.value(u"language").toString(),
            qint32(std::trunc(object.value(u"relevance").toDouble())) });
    }
    return results;
}

void expectSameAsNode(const QList<Request> &requests)
{
    const QList<HLJSResult> expected = nodeResults(requests);
    ASSERT_EQ(expected.size(), requests.size());
    HLJS bridge;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const HLJSResult ours = bridge.highlight(requests[i].text, requests[i].mode).result();
        const std::string what = requests[i].mode.isAutomatic()
            ? "automatic"
            : requests[i].mode.scriptLanguageName().toStdString();
        EXPECT_EQ(ours.language, expected[i].language) << what;
        EXPECT_EQ(ours.relevance, expected[i].relevance) << what;
        EXPECT_EQ(ours.illegal, expected[i].illegal) << what;
        EXPECT_EQ(ours.value, expected[i].value) << what;
    }
}

QString sample(const QString &rawValue)
{
    QFile file(testDataPath(QStringLiteral("highlight-samples/") + rawValue + QStringLiteral(".txt")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::vector<HighlightLanguage> allLanguages()
{
    const QList<HighlightLanguage> &all = HighlightLanguages::allCases();
    return { all.begin(), all.end() };
}

std::string languageName(const ::testing::TestParamInfo<HighlightLanguage> &info)
{
    return HighlightLanguages::rawValue(info.param).toStdString();
}

class HighlightReferenceTest : public ::testing::TestWithParam<HighlightLanguage>
{
protected:
    void SetUp() override
    {
        if (const QString why = referenceUnavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
};

class AutomaticDetectionReferenceTest : public HighlightReferenceTest
{
};

} // namespace

// Parameters print as their raw value.
void PrintTo(HighlightLanguage language, std::ostream *out)
{
    *out << HighlightLanguages::rawValue(language).toStdString();
}

TEST_P(HighlightReferenceTest, SampleHighlightsAsInNode)
{
    const QString text = sample(HighlightLanguages::rawValue(GetParam()));
    ASSERT_FALSE(text.isEmpty()) << "no sample for " << languageName({ GetParam(), 0 });
    const QList<HLJSResult> reference = nodeResults({ { text, HighlightMode::language(GetParam()) } });
    ASSERT_EQ(reference.size(), 1);
    // Every name we send is one the script knows.
    EXPECT_NE(reference.first().value, QStringLiteral("undefined"));
    expectSameAsNode({ { text, HighlightMode::language(GetParam()) } });
}

INSTANTIATE_TEST_SUITE_P(
    EveryLanguage, HighlightReferenceTest, ::testing::ValuesIn(allLanguages()), languageName);

TEST_P(AutomaticDetectionReferenceTest, DetectsTheSameLanguageAsNode)
{
    const QString text = sample(HighlightLanguages::rawValue(GetParam()));
    ASSERT_FALSE(text.isEmpty());
    expectSameAsNode({ { text, HighlightMode::automatic() } });
}

INSTANTIATE_TEST_SUITE_P(Snippets, AutomaticDetectionReferenceTest,
    ::testing::Values(HighlightLanguage::python, HighlightLanguage::javaScript, HighlightLanguage::typeScript,
        HighlightLanguage::c, HighlightLanguage::cPlusPlus, HighlightLanguage::go, HighlightLanguage::rust,
        HighlightLanguage::java, HighlightLanguage::ruby, HighlightLanguage::sql, HighlightLanguage::json,
        HighlightLanguage::yaml, HighlightLanguage::bash, HighlightLanguage::css, HighlightLanguage::html,
        HighlightLanguage::php, HighlightLanguage::swift, HighlightLanguage::haskell,
        HighlightLanguage::markdown, HighlightLanguage::diff, HighlightLanguage::dockerfile,
        HighlightLanguage::plaintext),
    languageName);

TEST(HighlightReferenceEdgeTest, IllegalSyntaxAndUnknownNamesAsInNode)
{
    if (const QString why = referenceUnavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString illegal = QStringLiteral("def f(x):\n    return x => x + 1\n</div>\n");
    expectSameAsNode({
        { illegal, HighlightMode::language(HighlightLanguage::python) },
        { illegal, HighlightMode::languageIgnoreIllegal(HighlightLanguage::python) },
        { illegal, HighlightMode::languageAlias(QStringLiteral("Python")) },
        { illegal, HighlightMode::languageAliasIgnoreIllegal(QStringLiteral("py")) },
        { illegal, HighlightMode::languageAlias(QStringLiteral("nosuch")) },
        { QString(), HighlightMode::automatic() },
        { QStringLiteral("\t \n"), HighlightMode::automatic() },
    });
}
