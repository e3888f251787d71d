#include "detection/highlight/HLJS.h"
#include "detection/highlight/HLJSError.h"
#include "platform/Bundle.h"
#include "platform/ResourceFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

namespace {

// A stand-in for highlight.js that reports how it was called.
const char *kRecordingScript = R"JS(
var hljs = {
  highlight: function (text, options) {
    return { value: JSON.stringify({ f: "highlight", args: Array.prototype.slice.call(arguments) }),
             language: "recorded", relevance: 7.9, illegal: 1 };
  },
  highlightAuto: function () {
    return { value: JSON.stringify({ f: "highlightAuto", args: Array.prototype.slice.call(arguments) }),
             language: "auto", relevance: -3, illegal: false };
  }
};
)JS";

QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

// The result, or the error code, of one request.
struct Outcome
{
    std::optional<HLJSResult> result;
    std::optional<HLJSError::Code> error;
    QString detail;
};

Outcome run(HLJS &bridge, const QString &text, const HighlightMode &mode)
{
    QFuture<HLJSResult> future = bridge.highlight(text, mode);
    Outcome outcome;
    try {
        outcome.result = future.result();
    } catch (const HLJSError &error) {
        outcome.error = error.code();
        outcome.detail = error.detail();
    }
    return outcome;
}

} // namespace

TEST(HLJSTest, SendsEachModeAsTheCallingProtocolSays)
{
    QTemporaryDir dir;
    HLJS bridge(writeScript(dir, QStringLiteral("recording.js"), kRecordingScript));

    struct Case
    {
        HighlightMode mode;
        const char *expectedCall; // JSON of the function name and the argument list
    };
    const Case cases[] = {
        { HighlightMode::languageAlias(QStringLiteral("Python")),
            R"({"f":"highlight","args":["x = 1",{"language":"Python"}]})" },
        { HighlightMode::languageAliasIgnoreIllegal(QStringLiteral("nosuch")),
            R"({"f":"highlight","args":["x = 1",{"language":"nosuch","ignoreIllegals":true}]})" },
        { HighlightMode::language(HighlightLanguage::python),
            R"({"f":"highlight","args":["x = 1",{"language":"python"}]})" },
        { HighlightMode::languageIgnoreIllegal(HighlightLanguage::cSharp),
            R"({"f":"highlight","args":["x = 1",{"language":"csharp","ignoreIllegals":true}]})" },
        { HighlightMode::language(HighlightLanguage::latex),
            R"({"f":"highlight","args":["x = 1",{"language":"tex"}]})" },
        { HighlightMode::language(HighlightLanguage::phpTemplate),
            R"({"f":"highlight","args":["x = 1",{"language":"phptemp"}]})" },
        { HighlightMode::language(HighlightLanguage::webAssembly),
            R"({"f":"highlight","args":["x = 1",{"language":"webass"}]})" },
        { HighlightMode::automatic(), R"({"f":"highlightAuto","args":["x = 1"]})" },
    };
    for (const Case &c : cases) {
        const Outcome outcome = run(bridge, QStringLiteral("x = 1"), c.mode);
        ASSERT_TRUE(outcome.result) << c.expectedCall;
        EXPECT_EQ(outcome.result->value, QString::fromUtf8(c.expectedCall));
    }
}

TEST(HLJSTest, ReadsTheResultFieldsWithTheScriptsConversions)
{
    QTemporaryDir dir;
    HLJS bridge(writeScript(dir, QStringLiteral("recording.js"), kRecordingScript));

    const Outcome named = run(bridge, QStringLiteral("a"), HighlightMode::language(HighlightLanguage::go));
    ASSERT_TRUE(named.result);
    EXPECT_EQ(named.result->language, QStringLiteral("recorded"));
    EXPECT_EQ(named.result->relevance, 7); // 7.9 truncated, as a 32-bit integer conversion does
    EXPECT_TRUE(named.result->illegal); // 1 is true

    const Outcome automatic = run(bridge, QStringLiteral("a"), HighlightMode::automatic());
    ASSERT_TRUE(automatic.result);
    EXPECT_EQ(automatic.result->language, QStringLiteral("auto"));
    EXPECT_EQ(automatic.result->relevance, -3);
    EXPECT_FALSE(automatic.result->illegal);
}

TEST(HLJSTest, ScriptFailuresAreUndefinedResultsNotErrors)
{
    QTemporaryDir dir;
    HLJS bridge(writeScript(dir, QStringLiteral("throwing.js"), R"JS(
var hljs = {
  highlight: function (text, options) { throw new Error('Unknown language: "' + options.language + '"'); },
  highlightAuto: function () { return undefined; }
};)JS"));
    const HLJSResult undefinedResult { QStringLiteral("undefined"), false, QStringLiteral("undefined"), 0 };
    for (const HighlightMode &mode :
        { HighlightMode::languageAlias(QStringLiteral("nosuch")), HighlightMode::automatic() }) {
        const Outcome outcome = run(bridge, QStringLiteral("text"), mode);
        ASSERT_TRUE(outcome.result);
        EXPECT_EQ(*outcome.result, undefinedResult);
    }
}

TEST(HLJSTest, LoadsTheScriptOnceAndKeepsIt)
{
    QTemporaryDir dir;
    const QString path = writeScript(dir, QStringLiteral("recording.js"), kRecordingScript);
    HLJS bridge(path);
    EXPECT_EQ(bridge.scriptReadCount(), 0); // nothing happens before the first request
    ASSERT_TRUE(run(bridge, QStringLiteral("a"), HighlightMode::automatic()).result);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(run(bridge, QStringLiteral("b"), HighlightMode::language(HighlightLanguage::c)).result);
    EXPECT_EQ(bridge.scriptReadCount(), 1);
}

TEST(HLJSTest, FailedLoadsReportWhyAndAreRetried)
{
    QTemporaryDir dir;
    const auto standIn = [&](const char *name, FileStandIn kind, qint64 sparseBytes = 0) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        return replaceWithStandIn(path, kind, sparseBytes) ? path : QString();
    };
    const auto script = [&](const char *name, const QByteArray &content) {
        return writeScript(dir, QString::fromLatin1(name), content);
    };
    const struct
    {
        const char *name;
        QString path;
        HLJSError::Code expected;
        int reads; // of the file, in two requests: a script that did not load is read again
        int engines; // made, one for each reading that got the script's bytes
        QString said; // the one diagnostic line, after the path
    } rows[] = {
        { "missing", dir.filePath(QStringLiteral("missing.js")), HLJSError::Code::fileNotFound, 0, 0, {} },
        { "no hljs", script("nohljs.js", "var other = {};"), HLJSError::Code::hljsNotFound, 2, 2, {} },
        { "a syntax error", script("syntax.js", "var hljs = {"), HLJSError::Code::hljsNotFound, 2, 2, {} },
        { "no function", script("nofunction.js", "var hljs = { highlight: 1 };"),
            HLJSError::Code::valueNotFound, 1, 1, {} },
        // Opening a FIFO to read waited for a writer for good; reading a device never ended.
        { "a FIFO", standIn("fifo.js", FileStandIn::fifo), HLJSError::Code::fileUnreadable, 2, 0,
            QStringLiteral(": it is not a regular file; code is shown without colours") },
        { "a link to /dev/zero", standIn("zero.js", FileStandIn::zeroDeviceLink),
            HLJSError::Code::fileUnreadable, 2, 0,
            QStringLiteral(": it is not a regular file; code is shown without colours") },
        { "far larger than any script", standIn("huge.js", FileStandIn::sparseFile, 1LL << 30),
            HLJSError::Code::fileUnreadable, 2, 0,
            QStringLiteral(": it is larger than 16 MB; code is shown without colours") },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.path.isEmpty());
        CapturedDiagnostics diagnostics;
        int engines = 0;
        {
            HLJS bridge(row.path);
            for (int attempt = 0; attempt < 2; ++attempt) {
                const Outcome outcome = run(bridge, QStringLiteral("a"), HighlightMode::automatic());
                EXPECT_FALSE(outcome.result);
                EXPECT_EQ(outcome.error, row.expected);
            }
            EXPECT_EQ(bridge.scriptReadCount(), row.reads);
            engines = bridge.engineCount();
        }
        // Said once, naming the file, however often it is asked for.
        EXPECT_EQ(diagnostics.lines(),
            row.said.isEmpty()
                ? QStringList()
                : QStringList { QStringLiteral("HLJS: Could not read ") + row.path + row.said });
        // None is made for a script that is not there or cannot be read.
        EXPECT_EQ(engines, row.engines);
    }
}

TEST(HLJSTest, TheBundleScriptIsFoundOnceItAppears)
{
    QTemporaryDir dir;
    Bundle::setResourceDirectoryOverride(dir.path());
    HLJS bridge;
    CapturedDiagnostics diagnostics;
    const Outcome before = run(bridge, QStringLiteral("a"), HighlightMode::automatic());
    EXPECT_EQ(before.error, HLJSError::Code::fileNotFound);
    EXPECT_EQ(HLJSError(*before.error, before.detail).message(),
        QStringLiteral("HLJSError.fileNotFound: highlight.min.js (looked in %1)").arg(dir.path()));
    EXPECT_EQ(
        run(bridge, QStringLiteral("a"), HighlightMode::automatic()).error, HLJSError::Code::fileNotFound);
    // Said once, however often it is asked for.
    EXPECT_EQ(diagnostics.lines(),
        QStringList { QStringLiteral("HLJS: Could not find highlight.min.js (looked in %1); code is shown "
                                     "without colours")
                          .arg(dir.path()) });

    ASSERT_FALSE(writeScript(dir, QStringLiteral("highlight.min.js"), kRecordingScript).isEmpty());
    const Outcome after = run(bridge, QStringLiteral("a"), HighlightMode::automatic());
    Bundle::setResourceDirectoryOverride({});
    ASSERT_TRUE(after.result);
    EXPECT_EQ(after.result->language, QStringLiteral("auto"));
}

TEST(HLJSTest, GoingAwayInterruptsARunawayScriptAndCancelsWaitingRequests)
{
    const struct
    {
        const char *name;
        const char *script;
    } rows[] = {
        { "a call that never returns", R"JS(
var hljs = { highlight: function () { for (;;) {} }, highlightAuto: function () { return {}; } };)JS" },
        // Interrupted, the script is not loaded: a waiting request that ran would load it again.
        { "a script whose loading never ends", R"JS(for (;;) {}
var hljs = { highlight: function () { return {}; }, highlightAuto: function () { return {}; } };)JS" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = writeScript(dir, QStringLiteral("endless.js"), row.script);
        QFuture<HLJSResult> running;
        QFuture<HLJSResult> waiting;
        QElapsedTimer timer;
        {
            HLJS bridge(path);
            running = bridge.highlight(QStringLiteral("a"), HighlightMode::language(HighlightLanguage::c));
            waiting = bridge.highlight(QStringLiteral("b"), HighlightMode::automatic());
            ASSERT_TRUE(waitUntil([&] { return running.isRunning() && bridge.scriptReadCount() == 1; }));
            QThread::msleep(50);
            timer.start();
        }
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_TRUE(running.isFinished());
        EXPECT_TRUE(running.isCanceled());
        EXPECT_TRUE(waiting.isFinished());
        EXPECT_TRUE(waiting.isCanceled());
        EXPECT_NO_THROW(waiting.waitForFinished()) << "the waiting request ran, and failed";
    }
}

// A script whose reading does not end (a mount that stopped answering) holds the bridge's thread:
// the bridge gives up waiting for it at its deadline and goes, and the thread ends by itself once
// the reading does, touching nothing of the bridge.
TEST(HLJSTest, ABridgeStuckReadingItsScriptIsLeftToEndByItself)
{
    QTemporaryDir dir;
    const QString path = writeScript(dir, QStringLiteral("held.js"), kRecordingScript);
    QSemaphore held;
    QSemaphore release;
    ResourceFile::setReadingHook([&](const QString &read) {
        if (read != path)
            return;
        held.release();
        release.acquire();
    });
    const auto unhook = qScopeGuard([] { ResourceFile::setReadingHook({}); });
    QFuture<HLJSResult> stuck;
    {
        HLJS bridge(path);
        stuck = bridge.highlight(QStringLiteral("a"), HighlightMode::automatic());
        ASSERT_TRUE(waitUntil([&] { return held.available() == 1; }));
        bridge.stop();
        EXPECT_FALSE(bridge.waitUntilEnded(QDeadlineTimer(0)));
        EXPECT_TRUE(bridge.highlight(QStringLiteral("b"), HighlightMode::automatic()).isCanceled())
            << "a request after the stop is not served";
    }
    EXPECT_FALSE(stuck.isFinished());
    release.release();
    EXPECT_TRUE(waitUntil([&] { return stuck.isFinished(); }));
    EXPECT_TRUE(stuck.isCanceled());
}

TEST(HLJSTest, ARequestCancelledBeforeItsTurnIsSkipped)
{
    QTemporaryDir dir;
    HLJS bridge(writeScript(dir, QStringLiteral("counting.js"), R"JS(
var calls = 0;
var hljs = { highlight: function () { calls++; var end = Date.now() + 100; while (Date.now() < end) {}
                                      return { value: String(calls) }; },
             highlightAuto: function () { calls++; return { value: String(calls) }; } };)JS"));
    QFuture<HLJSResult> first
        = bridge.highlight(QStringLiteral("a"), HighlightMode::language(HighlightLanguage::c));
    QFuture<HLJSResult> skipped = bridge.highlight(QStringLiteral("b"), HighlightMode::automatic());
    skipped.cancel();
    QFuture<HLJSResult> last = bridge.highlight(QStringLiteral("c"), HighlightMode::automatic());
    EXPECT_EQ(first.result().value, QStringLiteral("1"));
    EXPECT_EQ(last.result().value, QStringLiteral("2"));
    EXPECT_TRUE(skipped.isCanceled());
}
