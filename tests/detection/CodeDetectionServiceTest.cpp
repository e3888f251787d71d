#include "detection/CodeDetectionService.h"
#include "detection/ContentTypeClassifier.h"
#include "platform/MemoryPressureMonitor.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMutex>
#include <QThread>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using Result = CodeDetectionService::DetectionResult;

// Stands in for the content-type model: answers with whatever the test sets and records
// what it was asked.
class FakeClassifier final : public ContentTypeClassifier
{
public:
    QList<ContentTypePrediction> predictTopK(const QString &text, int k) override
    {
        const QMutexLocker lock(&m_mutex);
        m_asked.append(text);
        m_ks.append(k);
        m_thread = QThread::currentThread();
        return m_respond ? m_respond(text) : m_predictions;
    }

    void answer(QList<ContentTypePrediction> predictions)
    {
        const QMutexLocker lock(&m_mutex);
        m_predictions = std::move(predictions);
        m_respond = nullptr;
    }
    void answerWith(std::function<QList<ContentTypePrediction>(const QString &)> respond)
    {
        const QMutexLocker lock(&m_mutex);
        m_respond = std::move(respond);
    }
    QStringList asked() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_asked;
    }
    QList<int> ks() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_ks;
    }
    QThread *thread() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_thread;
    }

private:
    mutable QMutex m_mutex;
    QList<ContentTypePrediction> m_predictions;
    std::function<QList<ContentTypePrediction>(const QString &)> m_respond;
    QStringList m_asked;
    QList<int> m_ks;
    QThread *m_thread = nullptr;
};

ContentTypePrediction prediction(const char *label, float score)
{
    return { QString::fromLatin1(label), score, false };
}

// Words with a call in them, which neither a "#!" line nor the heuristics take for code
// but which back any code label the model gives, exactly length characters long.
QString prose(qsizetype length)
{
    return QStringLiteral("plain words f(x) ").repeated(int(length / 17) + 1).left(length);
}

QString readSample(const QString &name)
{
    QFile file(testDataPath(QStringLiteral("code-samples/") + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class CodeDetectionServiceTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeClassifier> m_model = std::make_shared<FakeClassifier>();
    MemoryPressureMonitor m_memoryPressure;
    CodeDetectionService m_service { m_model, &m_memoryPressure };

    // Fills the cache with count texts the model calls plain text.
    void fillCache(int count, const QString &prefix = QStringLiteral("text number "))
    {
        m_model->answer({ prediction("txt", 0.9f) });
        for (int i = 0; i < count; ++i)
            m_service.detectNow(prefix + QString::number(i));
    }
};

} // namespace

TEST_F(CodeDetectionServiceTest, TextsUnderEightCharactersAreNotCodeAndNotCached)
{
    m_model->answer({ prediction("python", 0.99f) });
    const QString accented = QStringLiteral("e\u0301");
    EXPECT_EQ(m_service.detectNow(QStringLiteral("x = 1;")), Result());
    EXPECT_EQ(m_service.detectNow(accented.repeated(7)), Result()); // 14 code units, 7 characters
    EXPECT_EQ(m_service.detectNow(QStringLiteral("hello")), Result());
    EXPECT_EQ(m_service.detectNow(QStringLiteral("hello")), Result());
    EXPECT_EQ(m_service.cachedResultCount(), 0);
    EXPECT_TRUE(m_model->asked().isEmpty());

    // Eight characters in thirteen code units, with a mark of code for the model's label.
    EXPECT_TRUE(m_service.detectNow(QStringLiteral("f(") + accented.repeated(5) + u')').isCode);
    EXPECT_EQ(m_service.cachedResultCount(), 1);
}

TEST_F(CodeDetectionServiceTest, AShebangLineDecidesAlone)
{
    struct Case
    {
        const char *text;
        const char *language; // nullptr: no shebang match
    };
    const Case cases[] = {
        { "#!/bin/sh\nls -la /tmp", "shell" },
        { "#!/bin/sh\r\nnode app.js", "shell" }, // the first line ends at the carriage return
        { "#!/usr/bin/env python3\nprint('hi')", "python" },
        { "#!/usr/bin/python3.11 -u\nimport sys", "python" },
        { "#!/usr/bin/env node\nconsole.log(1)", "javascript" },
        { "#!/bin/bash\necho hi", "shell" },
        { "#!/usr/bin/env zsh\nls", "shell" },
        { "#!/usr/bin/env Rscript\nx <- 1", "r" },
        { "#!/usr/bin/perl -w\nprint 1;", "perl" },
        { "#!/usr/bin/env groovy\nprintln 1", "groovy" },
        { "#!/usr/bin/env lua5.4\nprint(1)", nullptr }, // "lua5" is no whole word "lua"
        { "#!/usr/bin/env nodejs\nrun it", nullptr },
        { "#!/opt/tool --flag\nsome plain words", nullptr },
        { "# !/bin/sh\nsome plain words", nullptr },
        { " #!/bin/sh\nsome plain words", nullptr },
    };
    for (const Case &c : cases) {
        const std::optional<QString> expected
            = c.language ? std::optional<QString>(QString::fromLatin1(c.language)) : std::nullopt;
        EXPECT_EQ(CodeDetectionService::detectShebang(QString::fromUtf8(c.text)), expected) << c.text;
    }

    m_model->answer({ prediction("python", 0.99f) });
    EXPECT_EQ(m_service.detectNow(QStringLiteral("#!/bin/sh\nls -la /tmp")),
        (Result { true, QStringLiteral("shell"), 100, QStringLiteral("shell") }));
    EXPECT_TRUE(m_model->asked().isEmpty());
    EXPECT_EQ(m_service.cachedResultCount(), 1);
}

TEST_F(CodeDetectionServiceTest, AnUnknownInterpreterFallsThroughToTheLaterStages)
{
    m_model->answer({ prediction("txt", 0.9f) });
    const Result result = m_service.detectNow(QStringLiteral("#!/opt/tool --flag\nsome plain words"));
    EXPECT_FALSE(result.isCode);
    EXPECT_EQ(result.topLabel, QStringLiteral("txt"));
    EXPECT_EQ(m_model->asked().size(), 1);
}

TEST_F(CodeDetectionServiceTest, HeuristicsDecideBeforeTheModel)
{
    m_model->answer({ prediction("txt", 0.99f) });
    const Result result = m_service.detectNow(readSample(QStringLiteral("python.py")));
    EXPECT_EQ(result, (Result { true, QStringLiteral("python"), 95, QStringLiteral("python") }));
    EXPECT_TRUE(m_model->asked().isEmpty());
}

TEST_F(CodeDetectionServiceTest, ThresholdsPerLabelAndPerLength)
{
    struct Case
    {
        const char *label;
        float score;
        qsizetype length;
        bool isCode;
    };
    const Case cases[] = {
        { "sql", 0.85f, 50, false },
        { "sql", 0.90f, 50, true }, // its own threshold, not 0.10
        { "go", 0.12f, 50, true },
        { "go", 0.09f, 50, false },
        { "python", 0.10f, 100, true },
        { "python", 0.10f, 101, false },
        { "python", 0.15f, 101, true },
        { "python", 0.15f, 300, true },
        { "python", 0.15f, 301, false },
        { "python", 0.30f, 301, true },
        { "python", 0.29f, 5000, false },
        { "batch", 0.74f, 400, false },
        { "batch", 0.75f, 400, true },
        { "lisp", 0.89f, 400, false },
        { "pascal", 0.94f, 40, false },
        { "pascal", 0.95f, 40, true },
        { "python", std::numeric_limits<float>::quiet_NaN(), 50, false },
    };
    for (const Case &c : cases) {
        CodeDetectionService service(m_model);
        m_model->answer({ prediction(c.label, c.score) });
        const Result result = service.detectNow(prose(c.length));
        EXPECT_EQ(result.isCode, c.isCode)
            << c.label << " " << c.score << " on " << c.length << " characters";
        EXPECT_EQ(result.topLabel, QString::fromLatin1(c.label));
    }
}

TEST_F(CodeDetectionServiceTest, LengthBucketsCountUserCharacters)
{
    // 100 characters in 150 code units: still the bucket of 0.10.
    const QString text = prose(50) + QStringLiteral("e\u0301").repeated(50);
    m_model->answer({ prediction("python", 0.10f) });
    EXPECT_TRUE(m_service.detectNow(text).isCode);
}

TEST_F(CodeDetectionServiceTest, TextLabelsAreNeverCode)
{
    struct Case
    {
        QList<ContentTypePrediction> predictions;
        Result expected;
    };
    const Case cases[] = {
        { { prediction("markdown", 0.99f), prediction("python", 0.5f) },
            { false, QStringLiteral("python"), 50, QStringLiteral("markdown") } },
        { { prediction("txt", 0.6f), prediction("csv", 0.2f), prediction("go", 0.125f) },
            { false, QStringLiteral("go"), 13, QStringLiteral("txt") } },
        { { prediction("txt", 0.6f), prediction("markdown", 0.3f) },
            { false, std::nullopt, 0, QStringLiteral("txt") } },
        { { prediction("rust", 0.6f), prediction("txt", 0.3f) },
            { true, QStringLiteral("rust"), 60, QStringLiteral("rust") } },
    };
    for (const Case &c : cases) {
        CodeDetectionService service(m_model);
        m_model->answer(c.predictions);
        EXPECT_EQ(service.detectNow(prose(200)), c.expected) << qPrintable(c.predictions.first().label);
    }
}

TEST_F(CodeDetectionServiceTest, EveryTextLabelCounts)
{
    const char *const textLabels[] = { "txt", "randombytes", "randomtxt", "csv", "tsv", "markdown", "rst",
        "eml", "srt", "vtt", "sum", "po", "bib" };
    for (const char *label : textLabels) {
        CodeDetectionService service(m_model);
        m_model->answer({ prediction(label, 1.0f) });
        EXPECT_EQ(
            service.detectNow(prose(60)), (Result { false, std::nullopt, 0, QString::fromLatin1(label) }))
            << label;
    }
}

TEST_F(CodeDetectionServiceTest, ConfidenceRoundsHalfAwayFromZeroInSinglePrecision)
{
    struct Case
    {
        float score;
        int confidence;
    };
    const Case cases[] = {
        { 1.0f, 100 },
        { 0.125f, 13 },
        { 0.5f, 50 },
        { 0.994f, 99 },
        { 0.995f, 100 },
        { 1.7f, 100 },
        { 0.0f, 0 },
        { -0.2f, 0 },
        { std::numeric_limits<float>::quiet_NaN(), 0 },
        { std::numeric_limits<float>::infinity(), 0 },
    };
    for (const Case &c : cases) {
        CodeDetectionService service(m_model);
        m_model->answer({ prediction("go", c.score) });
        EXPECT_EQ(service.detectNow(prose(60)).confidence, c.confidence) << c.score;
    }
}

TEST_F(CodeDetectionServiceTest, OnlyTheFirstTenPredictionsCount)
{
    QList<ContentTypePrediction> predictions(10, prediction("txt", 0.05f));
    predictions.append(prediction("python", 0.04f));
    m_model->answer(predictions);
    EXPECT_EQ(m_service.detectNow(prose(60)), (Result { false, std::nullopt, 0, QStringLiteral("txt") }));
    EXPECT_EQ(m_model->ks(), QList<int> { 10 });
}

TEST_F(CodeDetectionServiceTest, NoModelAnswerIsNotCached)
{
    const QString text = prose(120);
    m_model->answer({});
    EXPECT_EQ(m_service.detectNow(text), Result());
    EXPECT_EQ(m_service.cachedResultCount(), 0);

    // The model comes back: the same text now gets its answer.
    m_model->answer({ prediction("ruby", 0.8f) });
    EXPECT_EQ(
        m_service.detectNow(text), (Result { true, QStringLiteral("ruby"), 80, QStringLiteral("ruby") }));
    EXPECT_EQ(m_service.cachedResultCount(), 1);
    EXPECT_EQ(m_model->asked().size(), 2);
}

TEST_F(CodeDetectionServiceTest, WithoutAModelUntilOneIsSet)
{
    CodeDetectionService service;
    const QString text = prose(120);
    EXPECT_EQ(service.detectNow(text), Result());
    EXPECT_EQ(service.cachedResultCount(), 0);

    m_model->answer({ prediction("ruby", 0.8f) });
    service.setClassifier(m_model);
    EXPECT_TRUE(service.detectNow(text).isCode);
}

TEST_F(CodeDetectionServiceTest, LispIsAskedAgainWithoutEmoticonsAndLoneBrackets)
{
    m_model->answerWith([](const QString &text) {
        return text.contains(u')') ? QList { prediction("lisp", 0.95f) } : QList { prediction("txt", 0.8f) };
    });
    const QString text = QStringLiteral("see you at noon :) and bring snacks )) ok (maybe");
    const Result result = m_service.detectNow(text);
    EXPECT_EQ(result, (Result { false, std::nullopt, 0, QStringLiteral("txt") }));
    EXPECT_EQ(m_model->asked(),
        (QStringList { text, QStringLiteral("see you at noon   and bring snacks   ok (maybe") }));
}

TEST_F(CodeDetectionServiceTest, LispCleanUpKeepsTheFirstAnswerWhenTheSecondFails)
{
    int calls = 0;
    m_model->answerWith([&calls](const QString &) {
        return ++calls == 1 ? QList { prediction("lisp", 0.95f) } : QList<ContentTypePrediction> {};
    });
    EXPECT_EQ(m_service.detectNow(QStringLiteral("(list 1 2) :-) thanks")),
        (Result { true, QStringLiteral("lisp"), 95, QStringLiteral("lisp") }));
    EXPECT_EQ(m_model->asked().size(), 2);
}

TEST_F(CodeDetectionServiceTest, LispCleanUpOnlyForShortTextsThatChange)
{
    m_model->answer({ prediction("lisp", 0.95f) });
    CodeDetectionService(m_model).detectNow(QStringLiteral("(defun square (x) (* x x))")); // nothing to clean
    EXPECT_EQ(m_model->asked().size(), 1);
    CodeDetectionService(m_model).detectNow(prose(1000) + QStringLiteral(" :)")); // 1003 characters
    EXPECT_EQ(m_model->asked().size(), 2);
    CodeDetectionService(m_model).detectNow(prose(990) + QStringLiteral(" :)")); // 993 characters
    EXPECT_EQ(m_model->asked().size(), 4);
}

TEST_F(CodeDetectionServiceTest, ACacheHitSkipsEveryStage)
{
    m_model->answer({ prediction("go", 0.5f) });
    const Result first = m_service.detectNow(prose(80));
    m_model->answer({ prediction("txt", 0.99f) });
    EXPECT_EQ(m_service.detectNow(prose(80)), first);
    EXPECT_EQ(m_model->asked().size(), 1);
}

TEST_F(CodeDetectionServiceTest, TheCacheForgetsFirstInFirstOut)
{
    fillCache(500);
    EXPECT_EQ(m_service.cachedResultCount(), 500);

    // Reading the oldest entry does not protect it.
    m_service.detectNow(QStringLiteral("text number 0"));
    EXPECT_EQ(m_model->asked().size(), 500);

    m_service.detectNow(QStringLiteral("one text too many"));
    EXPECT_EQ(m_service.cachedResultCount(), 500);
    m_service.detectNow(QStringLiteral("text number 1")); // still there
    EXPECT_EQ(m_model->asked().size(), 501);
    m_service.detectNow(QStringLiteral("text number 0")); // gone, asked again
    EXPECT_EQ(m_model->asked().size(), 502);
    EXPECT_EQ(m_service.cachedResultCount(), 500);
}

TEST_F(CodeDetectionServiceTest, MemoryPressureHalvesTheCacheOldestFirst)
{
    fillCache(300);
    // The trim runs on the service's executor, soon after the event.
    m_memoryPressure.simulatePressure(MemoryPressureLevel::Warning);
    ASSERT_TRUE(waitUntil([&] { return m_service.cachedResultCount() == 150; }));

    const qsizetype asked = m_model->asked().size();
    m_service.detectNow(QStringLiteral("text number 299")); // newest half kept
    EXPECT_EQ(m_model->asked().size(), asked);
    m_service.detectNow(QStringLiteral("text number 0")); // oldest half gone, asked and stored again
    EXPECT_EQ(m_model->asked().size(), asked + 1);

    m_memoryPressure.simulatePressure(MemoryPressureLevel::Critical);
    ASSERT_TRUE(waitUntil([&] { return m_service.cachedResultCount() == 75; }));

    // Relief is no event: nothing more is dropped.
    m_memoryPressure.simulatePressure(MemoryPressureLevel::Normal);
    m_memoryPressure.simulatePressure(MemoryPressureLevel::Warning);
    ASSERT_TRUE(waitUntil([&] { return m_service.cachedResultCount() == 37; }));
}

TEST_F(CodeDetectionServiceTest, StopsListeningWhenDestroyed)
{
    struct Monitor : MemoryPressureMonitor
    {
        int listeners() const { return receivers(SIGNAL(pressureRaised(MemoryPressureLevel))); }
    } monitor;
    {
        CodeDetectionService service(m_model, &monitor);
        EXPECT_EQ(monitor.listeners(), 1);
    }
    EXPECT_EQ(monitor.listeners(), 0);
    monitor.simulatePressure(MemoryPressureLevel::Critical); // reaches no destroyed service
}

TEST_F(CodeDetectionServiceTest, TrimmingHalvesRoundingTheKeptShareDown)
{
    fillCache(300);
    m_service.trimCache();
    EXPECT_EQ(m_service.cachedResultCount(), 150);
    fillCache(1, QStringLiteral("one more "));
    m_service.trimCache();
    EXPECT_EQ(m_service.cachedResultCount(), 75);
    m_service.trimCache();
    EXPECT_EQ(m_service.cachedResultCount(), 37);
}

TEST_F(CodeDetectionServiceTest, DetectRunsOnTheServiceExecutor)
{
    m_model->answer({ prediction("kotlin", 0.7f) });
    QFuture<Result> future = m_service.detect(prose(90));
    // Waiting with waitForFinished() could run a job that has not started on this thread.
    ASSERT_TRUE(waitUntil([&] { return future.isFinished(); }));
    EXPECT_EQ(future.result(), (Result { true, QStringLiteral("kotlin"), 70, QStringLiteral("kotlin") }));
    EXPECT_NE(m_model->thread(), QThread::currentThread());

    // Many at once, from several threads: each gets its own answer.
    QList<QFuture<Result>> futures;
    for (int i = 0; i < 50; ++i)
        futures.append(m_service.detect(QStringLiteral("#!/bin/bash\necho %1").arg(i)));
    for (QFuture<Result> &f : futures)
        EXPECT_EQ(f.result().language, QStringLiteral("shell"));
}

TEST(CodeDetectionServiceSharedTest, AsksTheSharedContentTypeModel)
{
    CodeDetectionService &shared = CodeDetectionService::shared();
    EXPECT_EQ(&shared, &CodeDetectionService::shared());
    const Result prose
        = shared.detect(QStringLiteral("nothing here looks like code at all, just words")).result();
    EXPECT_TRUE(prose.topLabel.has_value()) << "the model answered";
    EXPECT_FALSE(prose.isCode) << prose.topLabel.value_or(QString()).toStdString();
    EXPECT_TRUE(shared.detect(QStringLiteral("#!/bin/sh\nexit 0")).result().isCode);
}

// The model reads words and shapes, so lines of words and numbers can come out as code; a
// code label stands only where the text shows some syntax of that label, and the answer
// still names the label and its score.
TEST_F(CodeDetectionServiceTest, ACodeLabelStandsOnlyWithAMarkOfItsSyntax)
{
    struct Case
    {
        const char *label;
        const char *text;
        bool isCode;
    };
    const Case cases[] = {
        { "shell", "bulk item number 071", false },
        { "shell", "Room 101\nRoom 104\nRoom 210\nRoom 212", false },
        { "shell", "word01-001 lorem ipsum dolor sit word01-002 lorem ipsum dolor sit", false },
        { "shell", "ls -la /var/log", true },
        { "shell", "git status", true },
        { "shell", "echo \"done\" >> log.txt", true },
        { "haskell", "door code 4711, flat 12 on the left", false },
        { "haskell", "f :: Int -> Int", true },
        { "java", "document version 2.7 final", false },
        { "java", "total += price * qty", true },
        { "ignorefile", "milk\neggs\nbread\nbutter", false },
        { "ignorefile", "node_modules\n*.log", true },
        { "sql", "drop table sessions", true },
        { "xml", "Classroom 109 - taken\nClassroom 116 - booked", false },
        { "xml", "<item id=\"7\"/>", true },
        // A key or any data in base64 is no certificate without its armour.
        { "pem", "pU3KGCUwux1tEyze1iN7LtkeP3IfyxlxF0SU1kk8nVw0YL4xIB5p/tqg7ui5mX9c", false },
        // Its alphabet makes marks of code by chance.
        { "pem", "pU3KGCUwux1tEyze1iN7Ltke++IfyxlxF0SU1kk8nVw0YL4xIB5p/tqg7ui5mX9c", false },
        { "pem", "pU3KGCUwux1tEyze1iN7LtkeP3IfyxlxF0SU1kk8nVw0YL4xIB5p/tqg7ui5mX9+=", false },
        { "pem",
            "fCmZ/a/lkyU81lSvTfrXFCegrrP+6SMvivIhH57kkcWxC+y1Vjv8Hm+TQn7LyP4pVeXNjkbcjtS3\n"
            "wnZNKlpNdncG+F2GkAJK1r2jQBvpyMvMyTX2zR9hImrhUziuGjQATTO6DSRqwEyBsbryPjv57vX3\n"
            "nytJNK+H9VILablLDZguhbtVtnKocmN6zXRm/LYODo/xhGOw5LK6KXA0dPBkrGj3APWwKz3GZvRb",
            false },
        { "pem",
            "-----BEGIN PUBLIC KEY-----\n"
            "pU3KGCUwux1tEyze1iN7LtkeP3IfyxlxF0SU1kk8nVw0YL4xIB5p/tqg7ui5mX9c\n"
            "-----END PUBLIC KEY-----",
            true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        m_model->answer({ prediction(c.label, 0.95f) });
        const Result result = m_service.detectNow(QString::fromUtf8(c.text));
        EXPECT_EQ(
            result, (Result { c.isCode, QString::fromLatin1(c.label), 95, QString::fromLatin1(c.label) }));
    }
}
