#include "detection/MagikaDetectionCoreML.h"

#include "detection/ContentTypeNetwork.h"
#include "platform/Bundle.h"
#include "support/SmallFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

using Result = MagikaDetectionCoreML::DetectionResult;

// A network whose scores ignore the text: softmax(logits), one score per logit. Its file takes
// some 6 bytes a bucket.
std::vector<uint8_t> constantNetwork(const std::vector<float> &logits, uint32_t buckets = 16)
{
    ContentTypeNetwork::Weights w;
    w.rowScales.assign(buckets, 1.0f);
    w.embedding.assign(size_t(buckets) * 2, 0);
    w.hiddenKernel.assign(2 * 2, 0.0f);
    w.hiddenBias = { 1.0f, 0.0f };
    w.outputKernel.assign(2 * logits.size(), 0.0f);
    w.outputBias = logits;
    std::string error;
    auto network
        = ContentTypeNetwork::create({ buckets, 2, 2, uint32_t(logits.size()) }, std::move(w), &error);
    EXPECT_TRUE(network) << error;
    return network ? network->serialize() : std::vector<uint8_t>();
}

// Logits whose softmax is exactly proportional to the given weights.
std::vector<float> logitsFor(const std::vector<double> &weights)
{
    std::vector<float> logits;
    for (const double w : weights)
        logits.push_back(float(std::log(w)));
    return logits;
}

class MagikaDetectionCoreMLTest : public ::testing::Test
{
public:
    void writeFile(const QString &name, const QByteArray &bytes)
    {
        ASSERT_TRUE(m_resources.write(name, bytes));
    }
    void writeModel(const std::vector<uint8_t> &bytes)
    {
        writeFile(QStringLiteral("Magika.mlmodelc/model.bin"),
            QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())));
    }
    void writeLabels(const QByteArray &text) { writeFile(QStringLiteral("magika_labels.txt"), text); }

    TemporaryResourceFolder m_resources;
};

} // namespace

TEST(MagikaInputTest, WindowsOfTheStrippedBytes)
{
    const std::vector<int32_t> warmup = { 119, 97, 114, 109, 117, 112 };
    struct Case
    {
        const char *name;
        QString text;
        std::vector<int32_t> front; // then padding
        std::vector<int32_t> back; // after padding
    };
    const QList<Case> cases = {
        { "warmup", QStringLiteral("warmup"), warmup, warmup },
        { "spaces before, line feed after", QStringLiteral("  ab\n"), { 'a', 'b', '\n' },
            { ' ', ' ', 'a', 'b' } },
        { "all whitespace", QStringLiteral(" \t\r\n\v\f "), {}, {} },
        { "empty", QString(), {}, {} },
        { "two UTF-8 bytes", QStringLiteral("\u00e9"), { 0xc3, 0xa9 }, { 0xc3, 0xa9 } },
        { "no-break space is not stripped", QStringLiteral("\u00a0x"), { 0xc2, 0xa0, 'x' },
            { 0xc2, 0xa0, 'x' } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ContentTypeFeatures::Input input = MagikaDetectionCoreML::inputTokens(c.text);
        std::vector<int32_t> front(1024, 256), back(1024, 256);
        std::copy(c.front.begin(), c.front.end(), front.begin());
        std::copy(c.back.begin(), c.back.end(), back.end() - long(c.back.size()));
        EXPECT_TRUE(std::equal(front.begin(), front.end(), input.begin()));
        EXPECT_TRUE(std::equal(back.begin(), back.end(), input.begin() + 1024));
    }

    // 5000 bytes after stripping: no padding; the windows hold its first and last kilobyte.
    QString text = QStringLiteral(" \n");
    for (int i = 0; i < 5000; ++i)
        text.append(QChar(u'a' + i % 26));
    text.append(QStringLiteral("\n\n"));
    const ContentTypeFeatures::Input input = MagikaDetectionCoreML::inputTokens(text);
    EXPECT_EQ(std::count(input.begin(), input.end(), 256), 0);
    EXPECT_EQ(input[0], 'a');
    EXPECT_EQ(input[1023], 'a' + 1023 % 26);
    EXPECT_EQ(input[1024], 'a' + (5000 - 1024) % 26);
    EXPECT_EQ(input[2047], 'a' + 4999 % 26);
}

namespace {

// Ways the model's files can be missing or damaged, and the line each prints.
struct LoadFailure
{
    const char *name;
    std::function<void(MagikaDetectionCoreMLTest &)> prepare;
    QString message; // a prefix for the model's own failures
    bool labelsKept;
};

// The labels, and in the model's place what another program may have left there.
std::function<void(MagikaDetectionCoreMLTest &)> modelStandIn(FileStandIn standIn, qint64 bytes = 0)
{
    return [standIn, bytes](MagikaDetectionCoreMLTest &t) {
        t.writeLabels("c\ngo\ntxt\n");
        ASSERT_TRUE(QDir(t.m_resources.path()).mkpath(QStringLiteral("Magika.mlmodelc")));
        ASSERT_TRUE(replaceWithStandIn(
            t.m_resources.path() + QStringLiteral("/Magika.mlmodelc/model.bin"), standIn, bytes));
    };
}

// The model, and in the labels' place what another program may have left there.
std::function<void(MagikaDetectionCoreMLTest &)> labelsStandIn(FileStandIn standIn, qint64 bytes = 0)
{
    return [standIn, bytes](MagikaDetectionCoreMLTest &t) {
        t.writeModel(constantNetwork({ 0, 1, 2 }));
        ASSERT_TRUE(
            replaceWithStandIn(t.m_resources.path() + QStringLiteral("/magika_labels.txt"), standIn, bytes));
    };
}

// The model, and the label file holding these bytes.
std::function<void(MagikaDetectionCoreMLTest &)> labelsWritten(const QByteArray &bytes)
{
    return [bytes](MagikaDetectionCoreMLTest &t) {
        t.writeModel(constantNetwork({ 0, 1, 2 }));
        t.writeLabels(bytes);
    };
}

// The files missing, or the label file unusable.
QList<LoadFailure> labelFailures(const QString &resources)
{
    const std::vector<uint8_t> model = constantNetwork({ 0, 1, 2 });
    const QString labels = resources + QStringLiteral("/magika_labels.txt");
    const auto unreadable = [&](const char *reason) {
        return QStringLiteral("MagikaDetectionCoreML: Could not read labels file %1: %2")
            .arg(labels, QLatin1String(reason));
    };
    const QString notRegularLabels = unreadable("it is not a regular file");
    return {
        { "nothing there", [](MagikaDetectionCoreMLTest &) {},
            QStringLiteral("MagikaDetectionCoreML: Could not find Magika.mlmodelc in bundle (looked in ")
                + resources + QLatin1Char(')'),
            false },
        { "no labels", [model](MagikaDetectionCoreMLTest &t) { t.writeModel(model); },
            QStringLiteral("MagikaDetectionCoreML: Could not find magika_labels.txt in bundle (looked in ")
                + resources + QLatin1Char(')'),
            false },
        { "labels not UTF-8", labelsWritten("c\n\xff\xfe\n"), unreadable("it is not UTF-8 text"), false },
        { "labels a folder",
            [model](MagikaDetectionCoreMLTest &t) {
                t.writeModel(model);
                QDir(t.m_resources.path()).mkdir(QStringLiteral("magika_labels.txt"));
            },
            notRegularLabels, false },
        { "labels a FIFO", labelsStandIn(FileStandIn::fifo), notRegularLabels, false },
        { "labels a link to itself", labelsStandIn(FileStandIn::linkLoop),
            unreadable("cannot open it: Too many levels of symbolic links"), false },
        // No item would get a content type.
        { "labels empty", labelsWritten({}), unreadable("it lists no labels"), false },
        { "labels only line breaks", labelsWritten("\n\r\n\n"), unreadable("it lists no labels"), false },
        { "labels a link to a device", labelsStandIn(FileStandIn::nullDeviceLink), notRegularLabels, false },
        { "labels of more than a megabyte", labelsStandIn(FileStandIn::sparseFile, 1024 * 1024 + 1),
            unreadable("it is larger than 1 MB"), false },
    };
}

// The labels in order, the model unusable: they stay.
QList<LoadFailure> modelFailures(const QString &resources)
{
    const std::vector<uint8_t> model = constantNetwork({ 0, 1, 2 });
    const QString network = resources + QStringLiteral("/Magika.mlmodelc/model.bin");
    const QString notRegularModel
        = QStringLiteral("MagikaDetectionCoreML: Failed to load model: %1: it is not a regular file")
              .arg(network);
    return {
        { "empty model folder",
            [](MagikaDetectionCoreMLTest &t) {
                QDir(t.m_resources.path()).mkdir(QStringLiteral("Magika.mlmodelc"));
                t.writeLabels("c\ngo\ntxt\n");
            },
            QStringLiteral("MagikaDetectionCoreML: Failed to load model: %1: cannot open it: ").arg(network),
            true },
        { "model a FIFO", modelStandIn(FileStandIn::fifo), notRegularModel, true },
        { "model a link to itself", modelStandIn(FileStandIn::linkLoop),
            QStringLiteral(
                "MagikaDetectionCoreML: Failed to load model: %1: cannot open it: Too many levels of "
                "symbolic links")
                .arg(network),
            true },
        { "model folder a link to itself",
            [](MagikaDetectionCoreMLTest &t) {
                t.writeLabels("c\ngo\ntxt\n");
                ASSERT_TRUE(replaceWithStandIn(
                    t.m_resources.path() + QStringLiteral("/Magika.mlmodelc"), FileStandIn::linkLoop));
            },
            QStringLiteral(
                "MagikaDetectionCoreML: Failed to load model: %1/Magika.mlmodelc: cannot open it: Too "
                "many levels of symbolic links")
                .arg(resources),
            true },
        { "model a link to a device", modelStandIn(FileStandIn::nullDeviceLink), notRegularModel, true },
        { "model of more than 64 MB", modelStandIn(FileStandIn::sparseFile, 64 * 1024 * 1024 + 1),
            QStringLiteral("MagikaDetectionCoreML: Failed to load model: %1: it is larger than 64 MB")
                .arg(network),
            true },
        { "more labels than outputs",
            [model](MagikaDetectionCoreMLTest &t) {
                t.writeModel(model);
                t.writeLabels("c\ngo\ntxt\nrust\n");
            },
            QStringLiteral("MagikaDetectionCoreML: Failed to load model: %1: ").arg(network), true },
        { "not a model",
            [](MagikaDetectionCoreMLTest &t) {
                t.writeFile(QStringLiteral("Magika.mlmodelc/model.bin"), "plain text, not weights");
                t.writeLabels("c\ngo\ntxt\n");
            },
            QStringLiteral("MagikaDetectionCoreML: Failed to load model: %1: ").arg(network), true },
    };
}

} // namespace

// A failed load says why once, naming the file; predictions do not try it again while the files
// stay as they are, and load the model as soon as they are mended.
TEST_F(MagikaDetectionCoreMLTest, LoadFailuresPrintTheirMessageAndPredictNothing)
{
    const QList<LoadFailure> cases = labelFailures(m_resources.path()) + modelFailures(m_resources.path());
    for (const LoadFailure &c : cases) {
        SCOPED_TRACE(c.name);
        m_resources.clear();
        c.prepare(*this);
        MagikaDetectionCoreML runner;
        CapturedDiagnostics diagnostics;
        EXPECT_FALSE(runner.loadModel());
        ASSERT_EQ(diagnostics.lines().size(), 1);
        EXPECT_TRUE(diagnostics.lines().first().startsWith(c.message))
            << diagnostics.lines().first().toStdString();
        EXPECT_FALSE(runner.isLoaded());
        EXPECT_EQ(runner.labels().isEmpty(), !c.labelsKept);
        EXPECT_EQ(runner.predict(QStringLiteral("int x = 1;")), std::nullopt);
        EXPECT_TRUE(runner.predictTopK(QStringLiteral("int x = 1;"), 10).isEmpty());
        EXPECT_EQ(diagnostics.lines().size(), 1);

        m_resources.clear();
        writeLabels("c\ngo\n");
        writeModel(constantNetwork(logitsFor({ 0.4, 0.6 })));
        const std::optional<Result> mended = runner.predict(QStringLiteral("int x = 1;"));
        ASSERT_TRUE(mended.has_value());
        EXPECT_EQ(mended->label, QStringLiteral("go"));
        EXPECT_EQ(diagnostics.lines().size(), 1);
    }
}

// A copy of the model that finds no room (a full disk) fails only while there is none: it is said
// once, however many predictions it costs, and the first prediction after room is made, the files
// unchanged, loads the model.
TEST_F(MagikaDetectionCoreMLTest, AModelWithNoRoomForItsCopyLoadsOnceThereIsRoom)
{
    writeLabels("c\ngo\n");
    writeModel(constantNetwork(logitsFor({ 0.4, 0.6 }), 1u << 16)); // 384 KB
    QTemporaryDir folder;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString temporary = folder.filePath(QStringLiteral("temporary"));
    MagikaDetectionCoreML runner;
    const SmallFolders::Outcome outcome = SmallFolders::usesWithNoRoomThenRoom(cache, temporary, [&] {
        const std::optional<Result> best = runner.predict(QStringLiteral("package main"));
        return best ? best->label : QStringLiteral("nothing");
    });
    if (!outcome.available)
        GTEST_SKIP() << "this machine gives a process no mounts of its own";
    const QStringList expected { QStringLiteral("nothing"), QStringLiteral("nothing"), QStringLiteral("go"),
        QStringLiteral(
            "MagikaDetectionCoreML: Failed to load model: %1/Magika.mlmodelc/model.bin: cannot copy it "
            "(%2: No space left on device; %3: No space left on device); it is tried again when the "
            "model is next used")
            .arg(m_resources.path(), cache, temporary) };
    EXPECT_EQ(outcome.result, expected.join(QLatin1Char('\n')));
}

TEST_F(MagikaDetectionCoreMLTest, LabelFileSplitsAtEveryLineBreakAndKeepsSpaces)
{
    writeLabels(QStringLiteral("\n\nc\r\ngo\vtxt\frust\u0085 lua \u2028sql\u2029\n\nx\n").toUtf8());
    writeModel(constantNetwork(std::vector<float>(9, 0.0f)));
    MagikaDetectionCoreML runner;
    ASSERT_TRUE(runner.loadModel());
    EXPECT_EQ(runner.labels(), (QStringList { "c", "go", "txt", "rust", " lua ", "sql", "x" }));
    EXPECT_EQ(runner.codeLabels(), MagikaDetectionCoreML::knownCodeLabels());
    EXPECT_EQ(MagikaDetectionCoreML::knownCodeLabels().size(), 91);
}

TEST_F(MagikaDetectionCoreMLTest, RanksLabelsBestFirstInLabelOrderAmongEquals)
{
    writeLabels("txt\ngo\nmarkdown\npython\nlisp\n");
    writeModel(constantNetwork(logitsFor({ 0.1, 0.3, 0.1, 0.3, 0.2 })));
    MagikaDetectionCoreML runner;

    struct Case
    {
        int k;
        QStringList labels;
    };
    const QList<Case> cases = {
        { 0, {} },
        { -3, {} },
        { 1, { "go" } },
        { 3, { "go", "python", "lisp" } },
        { 10, { "go", "python", "lisp", "txt", "markdown" } },
    };
    for (const Case &c : cases) {
        const QList<Result> results = runner.predictTopK(QStringLiteral("whatever text"), c.k);
        QStringList labels;
        for (const Result &r : results)
            labels.append(r.label);
        EXPECT_EQ(labels, c.labels) << c.k;
    }
    const QList<Result> all = runner.predictTopK(QStringLiteral("whatever text"), 5);
    ASSERT_EQ(all.size(), 5);
    EXPECT_NEAR(all[0].confidence, 0.3f, 1e-6);
    EXPECT_NEAR(all[4].confidence, 0.1f, 1e-6);
    EXPECT_TRUE(all[0].isCode); // go
    EXPECT_TRUE(all[4].isCode); // markdown is one of the code labels of the model
    EXPECT_FALSE(all[3].isCode); // txt

    const std::optional<Result> best = runner.predict(QStringLiteral("whatever text"));
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(best->label, QStringLiteral("go")); // the first of the equal maxima
    EXPECT_NEAR(best->confidence, 0.3f, 1e-6);
    EXPECT_TRUE(best->isCode);
}

TEST_F(MagikaDetectionCoreMLTest, ScoresThatAreNotNumbersNeverWin)
{
    writeLabels("c\ngo\n");
    writeModel(constantNetwork({ NAN, 0.0f }));
    MagikaDetectionCoreML runner;
    const std::optional<Result> best = runner.predict(QStringLiteral("text"));
    ASSERT_TRUE(best.has_value());
    // Every score is NaN after the softmax: nothing exceeds 0, so the first label with 0.
    EXPECT_EQ(best->label, QStringLiteral("c"));
    EXPECT_EQ(best->confidence, 0.0f);
    EXPECT_EQ(runner.predictTopK(QStringLiteral("text"), 2).size(), 2);
}

TEST_F(MagikaDetectionCoreMLTest, ExtraOutputsAreIgnored)
{
    writeLabels("c\ngo\n");
    writeModel(constantNetwork(logitsFor({ 0.1, 0.2, 0.7 })));
    MagikaDetectionCoreML runner;
    const QList<Result> results = runner.predictTopK(QStringLiteral("text"), 10);
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].label, QStringLiteral("go"));
}

TEST_F(MagikaDetectionCoreMLTest, UnloadDropsEverythingAndTheNextPredictionReloads)
{
    writeLabels("c\ngo\n");
    writeModel(constantNetwork(logitsFor({ 0.4, 0.6 })));
    MagikaDetectionCoreML runner;
    ASSERT_TRUE(runner.loadModel());
    runner.unloadModel();
    EXPECT_FALSE(runner.isLoaded());
    EXPECT_TRUE(runner.labels().isEmpty());
    EXPECT_TRUE(runner.codeLabels().isEmpty());

    writeLabels("rust\npython\n");
    const QList<Result> results = runner.predictTopK(QStringLiteral("fn main() {}"), 10);
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].label, QStringLiteral("python"));
    EXPECT_TRUE(runner.isLoaded());

    // A model written over its file in place is read at the next prediction; an emptied one is
    // a failed load, said once by that prediction and not again by the next.
    writeLabels("rust\npython\nc\n");
    writeModel(constantNetwork(logitsFor({ 0.5, 0.2, 0.3 })));
    const QList<Result> rewritten = runner.predictTopK(QStringLiteral("fn main() {}"), 10);
    ASSERT_EQ(rewritten.size(), 3);
    EXPECT_EQ(rewritten[0].label, QStringLiteral("rust"));
    CapturedDiagnostics diagnostics;
    writeModel({});
    EXPECT_TRUE(runner.predictTopK(QStringLiteral("fn main() {}"), 10).isEmpty());
    EXPECT_FALSE(runner.isLoaded());
    EXPECT_TRUE(runner.predictTopK(QStringLiteral("fn main() {}"), 10).isEmpty());
    ASSERT_EQ(diagnostics.lines().size(), 1);
    EXPECT_TRUE(diagnostics.lines().first().startsWith(
        QStringLiteral("MagikaDetectionCoreML: Failed to load model: ")))
        << diagnostics.lines().first().toStdString();
    // The label file is read again when it changes too.
    writeModel(constantNetwork(logitsFor({ 0.5, 0.2, 0.3 })));
    ASSERT_EQ(runner.predictTopK(QStringLiteral("fn main() {}"), 10).size(), 3);
    writeLabels("go\nrust\npython\n");
    EXPECT_EQ(runner.predictTopK(QStringLiteral("fn main() {}"), 10).first().label, QStringLiteral("go"));
}

TEST_F(MagikaDetectionCoreMLTest, PredictionsRacingUnloadsGiveWholeAnswersOrNone)
{
    writeLabels("c\ngo\ntxt\n");
    writeModel(constantNetwork(logitsFor({ 0.2, 0.5, 0.3 })));
    MagikaDetectionCoreML runner;
    ASSERT_TRUE(runner.loadModelIfNeededAsync().result());
    // An unload during a prediction leaves it without labels: then it answers nothing.
    runWhileRepeating(
        [&] {
            runner.unloadModelAsync().waitForFinished();
            runner.loadModelAsync().waitForFinished();
        },
        [&] {
            for (int i = 0; i < 100; ++i) {
                const QList<Result> direct = runner.predictTopK(QStringLiteral("package main"), 3);
                EXPECT_TRUE(
                    direct.isEmpty() || (direct.size() == 3 && direct[0].label == QStringLiteral("go")))
                    << i;
                const std::optional<Result> queued
                    = runner.predictAsync(QStringLiteral("package main")).result();
                EXPECT_TRUE(!queued || queued->label == QStringLiteral("go")) << i;
            }
        });
}

TEST_F(MagikaDetectionCoreMLTest, RandomAndDamagedModelFilesNeverCrash)
{
    writeLabels("c\ngo\ntxt\n");
    const std::vector<uint8_t> valid = constantNetwork(logitsFor({ 0.2, 0.5, 0.3 }));
    QRandomGenerator random(99);
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> bytes = valid;
        switch (round % 3) {
        case 0:
            bytes.resize(size_t(random.bounded(int(valid.size()))));
            break;
        case 1:
            bytes[size_t(random.bounded(int(bytes.size())))] ^= uint8_t(1 + random.bounded(255));
            break;
        default:
            bytes.resize(size_t(random.bounded(400)));
            for (uint8_t &b : bytes)
                b = uint8_t(random.bounded(256));
            if (round % 2 == 0 && bytes.size() >= 4)
                std::copy_n("TWCT", 4, bytes.begin());
            break;
        }
        writeModel(bytes);
        MagikaDetectionCoreML runner;
        CapturedDiagnostics diagnostics;
        EXPECT_TRUE(runner.predictTopK(QStringLiteral("SELECT 1;"), 10).isEmpty());
        ASSERT_EQ(diagnostics.lines().size(), 1) << round;
        EXPECT_TRUE(diagnostics.lines().first().startsWith(
            QStringLiteral("MagikaDetectionCoreML: Failed to load model: ")))
            << diagnostics.lines().first().toStdString();
    }
}

TEST_F(MagikaDetectionCoreMLTest, RandomLabelFilesNeverCrash)
{
    writeModel(constantNetwork(logitsFor({ 0.2, 0.5, 0.3 })));
    QRandomGenerator random(7);
    for (int round = 0; round < 100; ++round) {
        QByteArray labels(random.bounded(0, 64), Qt::Uninitialized);
        for (char &c : labels)
            c = char(round % 2 ? random.bounded(256) : random.bounded(9, 127)); // raw bytes or mostly text
        writeLabels(labels);
        MagikaDetectionCoreML runner;
        CapturedDiagnostics diagnostics;
        const QList<Result> results = runner.predictTopK(QStringLiteral("x = 1"), 10);
        if (runner.isLoaded()) {
            EXPECT_TRUE(diagnostics.lines().isEmpty());
            EXPECT_EQ(results.size(), std::min<qsizetype>(10, runner.labels().size()));
        } else {
            EXPECT_TRUE(results.isEmpty());
            ASSERT_EQ(diagnostics.lines().size(), 1);
            EXPECT_TRUE(diagnostics.lines().first().startsWith(
                            QStringLiteral("MagikaDetectionCoreML: Could not read labels file "))
                || diagnostics.lines().first().startsWith(
                    QStringLiteral("MagikaDetectionCoreML: Failed to load model: ")))
                << diagnostics.lines().first().toStdString();
        }
    }
}

TEST(ContentTypeNetworkTest, RejectsEveryDamagedHeaderWithItsReason)
{
    const std::vector<uint8_t> valid = constantNetwork({ 0.0f, 1.0f });
    std::string error;
    ASSERT_TRUE(ContentTypeNetwork::parse(valid.data(), valid.size(), &error)) << error;

    struct Case
    {
        const char *name;
        size_t offset; // u32 field to overwrite
        uint32_t value;
        std::string reason;
    };
    const QList<Case> cases = {
        { "magic", 0, 0x54435758, "not a content-type model file" },
        { "version", 4, 2, "unsupported model format version 2" },
        { "buckets not a power of two", 8, 15, "implausible model dimensions" },
        { "no buckets", 8, 0, "implausible model dimensions" },
        { "huge width", 12, 1u << 30, "implausible model dimensions" },
        { "hidden width differs from the file", 16, 3, "model file has" },
        { "no outputs", 20, 0, "implausible model dimensions" },
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> bytes = valid;
        std::memcpy(bytes.data() + c.offset, &c.value, 4);
        error.clear();
        EXPECT_EQ(ContentTypeNetwork::parse(bytes.data(), bytes.size(), &error), nullptr) << c.name;
        EXPECT_EQ(error.rfind(c.reason, 0), 0u) << c.name << ": " << error;
    }
    std::vector<uint8_t> flipped = valid;
    flipped[40] ^= 0x10;
    EXPECT_EQ(ContentTypeNetwork::parse(flipped.data(), flipped.size(), &error), nullptr);
    EXPECT_EQ(error, "model file is damaged (checksum mismatch)");
    EXPECT_EQ(ContentTypeNetwork::parse(valid.data(), 10, &error), nullptr);
    EXPECT_EQ(error, "not a content-type model file");
}

// A network read where its bytes lie (a mapped file) predicts and writes itself exactly as one
// that copied them; bytes that do not lie at a float's boundary are copied instead.
TEST(ContentTypeNetworkTest, ANetworkReadInPlaceAnswersAsACopiedOne)
{
    QRandomGenerator random(41);
    ContentTypeNetwork::Weights w;
    const uint32_t buckets = 64, width = 4, hidden = 3, outputs = 5;
    for (uint32_t i = 0; i < buckets; ++i)
        w.rowScales.push_back(float(random.bounded(1.0)));
    for (uint32_t i = 0; i < buckets * width; ++i)
        w.embedding.push_back(int8_t(random.bounded(-127, 128)));
    for (uint32_t i = 0; i < width * hidden; ++i)
        w.hiddenKernel.push_back(float(random.bounded(2.0) - 1.0));
    w.hiddenBias.assign(hidden, 0.1f);
    for (uint32_t i = 0; i < hidden * outputs; ++i)
        w.outputKernel.push_back(float(random.bounded(2.0) - 1.0));
    w.outputBias.assign(outputs, 0.0f);
    std::string error;
    const auto made = ContentTypeNetwork::create({ buckets, width, hidden, outputs }, std::move(w), &error);
    ASSERT_TRUE(made) << error;
    const std::vector<uint8_t> file = made->serialize();
    const auto copied = ContentTypeNetwork::parse(file.data(), file.size(), &error);
    ASSERT_TRUE(copied) << error;

    // The same bytes at a float's boundary, and one byte past it.
    auto aligned = std::make_shared<std::vector<float>>((file.size() + 3) / 4);
    std::memcpy(aligned->data(), file.data(), file.size());
    auto shifted = std::make_shared<std::vector<uint8_t>>(file.size() + 1);
    std::memcpy(shifted->data() + 1, file.data(), file.size());
    const std::pair<const char *, std::unique_ptr<ContentTypeNetwork>> readings[] = {
        { "in place",
            ContentTypeNetwork::parse(
                reinterpret_cast<const uint8_t *>(aligned->data()), file.size(), &error, aligned) },
        { "off a float's boundary",
            ContentTypeNetwork::parse(shifted->data() + 1, file.size(), &error, shifted) },
    };
    const std::vector<std::vector<uint32_t>> featureSets = { {}, { 0 }, { 63, 1, 63 }, { 5, 17, 40, 2, 99 } };
    for (const auto &[name, network] : readings) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(network) << error;
        EXPECT_EQ(network->serialize(), file);
        for (const std::vector<uint32_t> &features : featureSets)
            EXPECT_EQ(network->predictFeatures(features), copied->predictFeatures(features));
    }
    // What a reading in place holds on to goes with the network.
    const std::weak_ptr<std::vector<float>> bytes = aligned;
    aligned.reset();
    EXPECT_FALSE(bytes.expired());
}

// Each line that holds a field separator gives more features for each separator it holds;
// the same text with other bytes in their places gives none. Every text here sits in both
// windows of the input, so each line counts twice.
TEST(ContentTypeFeaturesTest, FieldSeparatorsOfEachLineAreFeatures)
{
    const auto featureCount = [](const char *text) {
        std::vector<uint32_t> features;
        ContentTypeFeatures::extract(
            MagikaDetectionCoreML::inputTokens(QString::fromLatin1(text)), 1u << 16, features);
        return features.size();
    };
    struct Case
    {
        const char *name;
        const char *table;
        const char *plain; // the same bytes with the separators replaced
        size_t separatorLines; // lines times the separators each holds, in both windows
    };
    const Case cases[] = {
        { "commas", "ab,cd,ef\ngh,ij,kl", "ab+cd+ef\ngh+ij+kl", 4 },
        { "tabs", "ab\tcd\tef\ngh\tij\tkl", "ab+cd+ef\ngh+ij+kl", 4 },
        { "semicolons", "ab;cd;ef\ngh;ij;kl", "ab+cd+ef\ngh+ij+kl", 4 },
        { "bars", "ab|cd|ef\ngh|ij|kl", "ab+cd+ef\ngh+ij+kl", 4 },
        { "one line of two", "ab,cd,ef\ngh+ij+kl", "ab+cd+ef\ngh+ij+kl", 2 },
        { "two separators on each line", "ab,cd;ef\ngh,ij;kl", "ab+cd+ef\ngh+ij+kl", 8 },
        { "a blank line between rows", "ab,cd\n\nef,gh", "ab+cd\n\nef+gh", 4 },
        { "a separator that ends the line", "x = 1;\ny = 2;", "x = 1+\ny = 2+", 0 },
        { "one inside, one at the end", "ab,cd,\nef,gh,", "ab+cd+\nef+gh+", 4 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(featureCount(c.table),
            featureCount(c.plain) + c.separatorLines * ContentTypeFeatures::featuresPerFieldSeparator)
            << c.name;
}

TEST(ContentTypeFeaturesTest, OnlyRealBytesMakeFeatures)
{
    std::vector<uint32_t> padding;
    ContentTypeFeatures::extract(MagikaDetectionCoreML::inputTokens(QString()), 1u << 16, padding);
    EXPECT_TRUE(padding.empty());

    // "ab" in each window: the n-grams a, ab, b; the word ab; the line's openings a, ab and
    // endings b, ab; then the text's first bytes a, ab (front) or last bytes b, ab (back).
    std::vector<uint32_t> ab;
    ContentTypeFeatures::extract(MagikaDetectionCoreML::inputTokens(QStringLiteral("ab")), 1u << 16, ab);
    EXPECT_EQ(ab.size(), 20u);

    std::vector<uint32_t> code;
    ContentTypeFeatures::extract(
        MagikaDetectionCoreML::inputTokens(QStringLiteral("let x = 1;\nlet y = x;")), 1u << 10, code);
    ASSERT_FALSE(code.empty());
    for (const uint32_t id : code)
        EXPECT_LT(id, 1u << 10);

    // Tokens outside 0..256 are treated as padding, not as bytes.
    ContentTypeFeatures::Input odd;
    odd.fill(-7);
    odd[5] = 300;
    std::vector<uint32_t> none;
    ContentTypeFeatures::extract(odd, 1u << 16, none);
    EXPECT_TRUE(none.empty());
}
