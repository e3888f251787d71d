#include "detection/GuesslangDetection.h"

#include "platform/Bundle.h"
#include "support/SmallFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int B = GuesslangDetection::numBuckets;
constexpr int E = GuesslangDetection::embeddingDim;
constexpr int H0 = GuesslangDetection::hidden0Dim;
constexpr int H1 = GuesslangDetection::hidden1Dim;

struct Matrix
{
    quint32 rows = 0;
    quint32 cols = 0;
    std::vector<float> values;
};

void appendU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    std::memcpy(bytes, &value, 4);
    out.append(bytes, 4);
}

// A network file in the application's format. Names are raw bytes, so tests can store
// names that are not UTF-8.
QByteArray networkFile(const QList<QByteArray> &names, const std::vector<Matrix> &matrices)
{
    QByteArray out("GLNG");
    appendU32(out, 1);
    appendU32(out, quint32(names.size()));
    for (const QByteArray &name : names) {
        appendU32(out, quint32(name.size()));
        out.append(name);
    }
    for (const Matrix &m : matrices) {
        appendU32(out, m.rows);
        appendU32(out, m.cols);
        out.append(
            reinterpret_cast<const char *>(m.values.data()), qsizetype(m.values.size() * sizeof(float)));
    }
    return out;
}

// Deterministic small weights so that every layer matters.
Matrix filled(quint32 rows, quint32 cols, quint32 seed, float scale)
{
    Matrix m { rows, cols, std::vector<float>(size_t(rows) * cols) };
    QRandomGenerator random(seed);
    for (float &v : m.values)
        v = float(random.generateDouble() * 2.0 - 1.0) * scale;
    return m;
}

std::vector<Matrix> smallNetwork(quint32 n, quint32 seed = 7)
{
    return { filled(B, E, seed, 0.5f), filled(E, H0, seed + 1, 0.3f), filled(1, H0, seed + 2, 0.1f),
        filled(H0, H1, seed + 3, 0.2f), filled(1, H1, seed + 4, 0.1f), filled(H1, n, seed + 5, 0.5f),
        filled(1, n, seed + 6, 0.1f), filled(B, n, seed + 7, 0.2f), filled(1, n, seed + 8, 0.1f) };
}

// The network's arithmetic written out plainly in double precision, as the reference.
std::vector<double> referenceProbabilities(const std::vector<Matrix> &m, const QList<int> &features, int n)
{
    std::vector<double> mean(E, 0.0), wide(size_t(n), 0.0);
    for (const int id : features) {
        for (int j = 0; j < E; ++j)
            mean[size_t(j)] += m[0].values[size_t(id) * E + size_t(j)] / double(features.size());
        for (int k = 0; k < n; ++k)
            wide[size_t(k)] += m[7].values[size_t(id) * size_t(n) + size_t(k)];
    }
    auto dense = [](const std::vector<double> &in, const Matrix &w, const Matrix &b, bool relu) {
        std::vector<double> out(b.values.begin(), b.values.end());
        for (size_t j = 0; j < out.size(); ++j) {
            for (size_t i = 0; i < in.size(); ++i)
                out[j] += in[i] * w.values[i * out.size() + j];
            if (relu && out[j] < 0)
                out[j] = 0;
        }
        return out;
    };
    const std::vector<double> h0 = dense(mean, m[1], m[2], true);
    const std::vector<double> h1 = dense(h0, m[3], m[4], true);
    std::vector<double> logits = dense(h1, m[5], m[6], false);
    double largest = -INFINITY;
    for (int k = 0; k < n; ++k) {
        logits[size_t(k)] += wide[size_t(k)] + m[8].values[size_t(k)];
        largest = std::max(largest, logits[size_t(k)]);
    }
    double sum = 0;
    for (double &v : logits)
        sum += (v = std::exp(v - largest));
    for (double &v : logits)
        v /= sum;
    return logits;
}

QStringList allowedMessagePrefixes()
{
    return { QStringLiteral("GuesslangDetection: Invalid model file format"),
        QStringLiteral("GuesslangDetection: readUInt32 out of bounds at offset "),
        QStringLiteral("GuesslangDetection: readMatrix out of bounds - need "),
        QStringLiteral("GuesslangDetection: language name out of bounds - need "),
        QStringLiteral("GuesslangDetection: model matrices in ") };
}

class GuesslangDetectionTest : public ::testing::Test
{
public:
    void writeModel(const QByteArray &bytes)
    {
        ASSERT_TRUE(m_resources.write(QStringLiteral("guesslang.bin"), bytes));
    }

    TemporaryResourceFolder m_resources;
};

} // namespace

TEST(GuesslangFeaturesTest, BucketsOfByteBigrams)
{
    struct Case
    {
        QString text;
        QList<int> buckets;
    };
    const QList<Case> cases = {
        { QStringLiteral("warmup"), { 107, 505, 2237, 3570, 784 } }, { QStringLiteral("w"), {} },
        { QString(), {} },
        // "é" is two UTF-8 bytes, so one character still makes a bigram.
        { QStringLiteral("\u00e9"), { 370 } }, // one character, two UTF-8 bytes C3 A9: one bigram
    };
    for (const Case &c : cases)
        EXPECT_EQ(GuesslangDetection::extractFeatures(c.text), c.buckets) << c.text.toStdString();
    // "ab" repeated: the bigram a-b occurs twice, b-a once.
    const QList<int> repeated = GuesslangDetection::extractFeatures(QStringLiteral("abab"));
    ASSERT_EQ(repeated.size(), 3);
    EXPECT_EQ(repeated[0], repeated[2]);
    EXPECT_NE(repeated[0], repeated[1]);
}

TEST(GuesslangRankTest, SortsBestFirstAndKeepsFileOrderAmongEquals)
{
    const QStringList names { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
        QStringLiteral("d") };
    const QList<GuesslangDetection::DetectionResult> ranked
        = GuesslangDetection::rank(names, { 0.2f, 0.4f, 0.2f, NAN });
    ASSERT_EQ(ranked.size(), 4);
    EXPECT_EQ(ranked[0].language, QStringLiteral("b"));
    EXPECT_EQ(ranked[1].language, QStringLiteral("a"));
    EXPECT_EQ(ranked[2].language, QStringLiteral("c"));
    EXPECT_EQ(ranked[3].language, QStringLiteral("d")); // not a number sorts last
    EXPECT_EQ(GuesslangDetection::rank(names, { 0.5f, 0.5f }).size(), 2); // the shorter list wins
}

namespace {

// What another program may have left in the network's place.
std::function<void(GuesslangDetectionTest &)> standIn(const QString &path, FileStandIn kind, qint64 bytes = 0)
{
    return
        [path, kind, bytes](GuesslangDetectionTest &) { ASSERT_TRUE(replaceWithStandIn(path, kind, bytes)); };
}

// The network file as written.
std::function<void(GuesslangDetectionTest &)> written(const QByteArray &bytes)
{
    return [bytes](GuesslangDetectionTest &t) { t.writeModel(bytes); };
}

// Ways the network's file can be missing or unusable, and the line each prints.
struct LoadFailure
{
    const char *name;
    std::function<void(GuesslangDetectionTest &)> prepare;
    QString message;
};
QList<LoadFailure> loadFailures(const QString &resources)
{
    const QString path = resources + QStringLiteral("/guesslang.bin");
    const auto unreadable = [&](const char *reason) {
        return QStringLiteral("GuesslangDetection: Could not read model file at file://%1: %2")
            .arg(path, QLatin1String(reason));
    };
    const QString invalid = QStringLiteral("GuesslangDetection: Invalid model file format in ") + path;
    const QString notRegular = unreadable("it is not a regular file");
    const QByteArray valid = networkFile({ "x" }, {});
    return {
        { "missing file", [](GuesslangDetectionTest &) {},
            QStringLiteral("GuesslangDetection: Could not find guesslang.bin in bundle (looked in %1)")
                .arg(resources) },
        { "a folder in its place",
            [](GuesslangDetectionTest &t) {
                ASSERT_TRUE(QDir(t.m_resources.path()).mkdir(QStringLiteral("guesslang.bin")));
            },
            notRegular },
        { "a FIFO in its place", standIn(path, FileStandIn::fifo), notRegular },
        // There, as a link: not "missing".
        { "a link to itself in its place", standIn(path, FileStandIn::linkLoop),
            unreadable("cannot open it: Too many levels of symbolic links") },
        { "a link to nothing in its place",
            [path](
                GuesslangDetectionTest &) { ASSERT_TRUE(QFile::link(path + QStringLiteral(".gone"), path)); },
            unreadable("cannot open it: No such file or directory") },
        { "a link to a device in its place", standIn(path, FileStandIn::nullDeviceLink), notRegular },
        { "more than 64 MB", standIn(path, FileStandIn::sparseFile, 64 * 1024 * 1024 + 1),
            unreadable("it is larger than 64 MB") },
        { "empty file", written({}), invalid },
        { "seven bytes", written(QByteArray("GLNG\0\0\0", 7)), invalid },
        { "lower-case magic", written("glng" + valid.mid(4)), invalid },
        { "first byte differs", written("XLNG" + valid.mid(4)), invalid },
        { "last byte differs", written("GLNX" + valid.mid(4)), invalid },
        { "magic not UTF-8", written("\xffLNG" + valid.mid(4)), invalid },
    };
}

} // namespace

// A failed load says why once, naming the file; rankings do not try it again while the file
// stays as it is, and load the network as soon as it is mended.
TEST_F(GuesslangDetectionTest, LoadFailuresPrintTheirMessageAndRankNothing)
{
    for (const LoadFailure &c : loadFailures(m_resources.path())) {
        SCOPED_TRACE(c.name);
        m_resources.clear();
        c.prepare(*this);
        GuesslangDetection network;
        CapturedDiagnostics diagnostics;
        EXPECT_FALSE(network.loadModel());
        EXPECT_EQ(diagnostics.lines(), QStringList { c.message });
        EXPECT_FALSE(network.isLoaded());
        EXPECT_TRUE(network.rankLanguages(QStringLiteral("int main() { return 0; }")).isEmpty());
        EXPECT_EQ(diagnostics.lines(), QStringList { c.message });

        m_resources.clear();
        writeModel(networkFile({ "alpha", "beta" }, smallNetwork(2)));
        EXPECT_EQ(network.rankLanguages(QStringLiteral("int main() { return 0; }")).size(), 2);
        EXPECT_EQ(diagnostics.lines(), QStringList { c.message });
    }
}

// A copy of the network that finds no room (a full disk) fails only while there is none: it is
// said once, however many rankings it costs, and the first ranking after room is made, the file
// unchanged, loads the network.
TEST_F(GuesslangDetectionTest, ANetworkWithNoRoomForItsCopyLoadsOnceThereIsRoom)
{
    writeModel(networkFile({ "alpha", "beta" }, smallNetwork(2)));
    QTemporaryDir folder;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString temporary = folder.filePath(QStringLiteral("temporary"));
    GuesslangDetection network;
    const SmallFolders::Outcome outcome = SmallFolders::usesWithNoRoomThenRoom(cache, temporary,
        [&] { return QString::number(network.rankLanguages(QStringLiteral("int main() {}")).size()); });
    if (!outcome.available)
        GTEST_SKIP() << "this machine gives a process no mounts of its own";
    const QStringList expected { QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("2"),
        QStringLiteral(
            "GuesslangDetection: Could not read model file at file://%1/guesslang.bin: cannot copy it "
            "(%2: No space left on device; %3: No space left on device); it is tried again when the "
            "model is next used")
            .arg(m_resources.path(), cache, temporary) };
    EXPECT_EQ(outcome.result, expected.join(QLatin1Char('\n')));
}

TEST_F(GuesslangDetectionTest, RanksWithTheNetworkArithmetic)
{
    const std::vector<Matrix> matrices = smallNetwork(3);
    writeModel(networkFile({ "alpha", "beta", "gamma" }, matrices));
    GuesslangDetection network;
    ASSERT_TRUE(network.loadModel());
    EXPECT_EQ(network.languages(), (QStringList { "alpha", "beta", "gamma" }));
    EXPECT_EQ(network.numLanguages(), 3);

    for (const QString &text : { QStringLiteral("abab"), QStringLiteral("def f(x):\n    return x * 2\n"),
             QStringLiteral("\u00fcber caf\u00e9 \u2603") }) {
        SCOPED_TRACE(text.toStdString());
        const QList<int> features = GuesslangDetection::extractFeatures(text);
        const std::vector<double> expected = referenceProbabilities(matrices, features, 3);
        const QList<float> p = network.detect(features);
        ASSERT_EQ(p.size(), 3);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(p[k], expected[size_t(k)], 1e-6);

        const QList<GuesslangDetection::DetectionResult> ranked = network.rankLanguages(text);
        ASSERT_EQ(ranked.size(), 3);
        EXPECT_GE(ranked[0].confidence, ranked[1].confidence);
        EXPECT_GE(ranked[1].confidence, ranked[2].confidence);
        EXPECT_EQ(ranked, GuesslangDetection::rank(network.languages(), p));
    }
    EXPECT_TRUE(network.rankLanguages(QStringLiteral("x")).isEmpty());
    EXPECT_EQ(network.detect({ B }), QList<float>()); // a bucket outside the table
    EXPECT_EQ(network.detect({ -1 }), QList<float>());

    // A network written over its file in place is read at the next ranking; an emptied file is a
    // failed load, said once by that ranking and not again by the next.
    writeModel(networkFile({ "delta", "epsilon" }, smallNetwork(2)));
    EXPECT_EQ(network.rankLanguages(QStringLiteral("abab")).size(), 2);
    EXPECT_EQ(network.languages(), (QStringList { "delta", "epsilon" }));
    CapturedDiagnostics diagnostics;
    writeModel({});
    EXPECT_TRUE(network.rankLanguages(QStringLiteral("abab")).isEmpty());
    EXPECT_FALSE(network.isLoaded());
    EXPECT_TRUE(network.rankLanguages(QStringLiteral("abab")).isEmpty());
    EXPECT_EQ(diagnostics.lines(),
        QStringList { QStringLiteral("GuesslangDetection: Invalid model file format in ") + m_resources.path()
            + QStringLiteral("/guesslang.bin") });
}

TEST_F(GuesslangDetectionTest, EqualProbabilitiesKeepTheFileOrder)
{
    std::vector<Matrix> zeros = smallNetwork(4);
    for (Matrix &m : zeros)
        std::fill(m.values.begin(), m.values.end(), 0.0f);
    writeModel(networkFile({ "d", "b", "c", "a" }, zeros));
    GuesslangDetection network;
    const QList<GuesslangDetection::DetectionResult> ranked = network.rankLanguages(QStringLiteral("hello"));
    ASSERT_EQ(ranked.size(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(ranked[k].language, (QStringList { "d", "b", "c", "a" }[k]));
        EXPECT_FLOAT_EQ(ranked[k].confidence, 0.25f);
    }
}

TEST_F(GuesslangDetectionTest, NamesThatAreNotUtf8AreLeftOut)
{
    writeModel(networkFile({ "one", "t\xffo", "three" }, smallNetwork(3)));
    GuesslangDetection network;
    CapturedDiagnostics diagnostics;
    ASSERT_TRUE(network.loadModel());
    EXPECT_EQ(network.languages(), (QStringList { "one", "three" }));
    EXPECT_EQ(network.numLanguages(), 2);
    EXPECT_EQ(network.rankLanguages(QStringLiteral("some text")).size(), 2);
    EXPECT_TRUE(diagnostics.lines().isEmpty());
}

// A file cut short (as one being written) loads but ranks nothing, and says so in one line for
// that version of the file, naming the first part it lacks: every read after that one runs out
// too.
TEST_F(GuesslangDetectionTest, TruncatedOrShortFilesLoadButRankNothing)
{
    const QByteArray full = networkFile({ "a", "b" }, smallNetwork(2));
    const QString path = m_resources.path() + QStringLiteral("/guesslang.bin");
    // Offsets: the header, the names, then each matrix's two counts and its values.
    const qint64 names = 8, firstMatrix = names + 4 + 2 * 5;
    const qint64 fifth
        = firstMatrix + (8 + 4LL * B * E) + (8 + 4LL * E * H0) + (8 + 4LL * H0) + (8 + 4LL * H0 * H1);
    const struct
    {
        const char *name;
        qint64 cut;
        QString line;
    } cases[] = {
        { "within the count of names", names + 2,
            QStringLiteral("readUInt32 out of bounds at offset 8, data size 10") },
        { "within the second name", names + 4 + 5 + 4,
            QStringLiteral("language name out of bounds - need 1 bytes at offset 21, data size 21") },
        { "within the first matrix's counts", firstMatrix + 6,
            QStringLiteral("readUInt32 out of bounds at offset 26, data size 28") },
        { "within the embedding", firstMatrix + 8 + 100,
            QStringLiteral("readMatrix out of bounds - need 1400000 bytes at offset 30, data size 130") },
        { "within the fifth matrix", fifth + 8 + 20,
            QStringLiteral("readMatrix out of bounds - need 128 bytes at offset %1, data size %2")
                .arg(fifth + 8)
                .arg(fifth + 8 + 20) },
        { "within the last bias", full.size() - 4,
            QStringLiteral("readMatrix out of bounds - need 8 bytes at offset %1, data size %2")
                .arg(full.size() - 8)
                .arg(full.size() - 4) },
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        writeModel(full.left(test.cut));
        GuesslangDetection network;
        CapturedDiagnostics diagnostics;
        EXPECT_TRUE(network.loadModel());
        EXPECT_TRUE(network.isLoaded());
        EXPECT_TRUE(network.rankLanguages(QStringLiteral("def main(): pass")).isEmpty());
        EXPECT_TRUE(network.detect(GuesslangDetection::extractFeatures(QStringLiteral("abc"))).isEmpty());
        EXPECT_EQ(diagnostics.lines(),
            QStringList { QStringLiteral("GuesslangDetection: ") + test.line + QStringLiteral(" in ") + path
                + QStringLiteral("; rankings will be empty") });
    }
}

// A file whose matrices are whole but smaller than the network reads loads, ranks nothing and
// says so once for each version of the file.
TEST_F(GuesslangDetectionTest, SmallerMatricesLoadButRankNothing)
{
    const QString path = m_resources.path() + QStringLiteral("/guesslang.bin");
    CapturedDiagnostics diagnostics;
    // Matrices that are whole but smaller than the inference reads.
    std::vector<Matrix> small = smallNetwork(2);
    small[7] = filled(B - 1, 2, 3, 0.1f);
    writeModel(networkFile({ "a", "b" }, small));
    GuesslangDetection network;
    EXPECT_TRUE(network.rankLanguages(QStringLiteral("def main(): pass")).isEmpty());
    EXPECT_TRUE(network.isLoaded());
    EXPECT_EQ(network.languages(), (QStringList { "a", "b" }));
    EXPECT_TRUE(network.rankLanguages(QStringLiteral("def main(): pass")).isEmpty()); // not said again
    // More names than the logits have columns.
    writeModel(networkFile({ "a", "b", "c" }, smallNetwork(2)));
    EXPECT_TRUE(network.rankLanguages(QStringLiteral("def main(): pass")).isEmpty());
    const QString smaller
        = QStringLiteral("GuesslangDetection: model matrices in %1 are smaller than the network "
                         "needs; rankings will be empty")
              .arg(path);
    EXPECT_EQ(diagnostics.lines(), (QStringList { smaller, smaller }));
}

TEST_F(GuesslangDetectionTest, HostileCountsNeitherCrashNorHang)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        QString firstMessage;
    };
    QByteArray hugeNameCount("GLNG\0\0\0\0", 8);
    appendU32(hugeNameCount, 0xffffffffu);
    QByteArray nameRunsPastEnd("GLNG\0\0\0\0", 8);
    appendU32(nameRunsPastEnd, 1);
    appendU32(nameRunsPastEnd, 1000);
    nameRunsPastEnd.append("abc");
    QByteArray overflowingMatrix("GLNG\0\0\0\0", 8);
    appendU32(overflowingMatrix, 0);
    appendU32(overflowingMatrix, 0xffffffffu);
    appendU32(overflowingMatrix, 0xffffffffu);
    const QList<Case> cases = {
        { "four billion names in twelve bytes", hugeNameCount,
            QStringLiteral("GuesslangDetection: readUInt32 out of bounds at offset 12, data size 12") },
        { "a name longer than the file", nameRunsPastEnd,
            QStringLiteral("GuesslangDetection: language name out of bounds - need 1000 bytes at offset 16, "
                           "data size 19") },
        { "rows x cols x 4 beyond 64 bits", overflowingMatrix,
            QStringLiteral("GuesslangDetection: readMatrix out of bounds - need 73786976260478468100 bytes "
                           "at offset 20, "
                           "data size 20") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeModel(c.file);
        GuesslangDetection network;
        CapturedDiagnostics diagnostics;
        EXPECT_TRUE(network.loadModel());
        EXPECT_EQ(diagnostics.lines(),
            QStringList { c.firstMessage + QStringLiteral(" in ") + m_resources.path()
                + QStringLiteral("/guesslang.bin; rankings will be empty") });
        EXPECT_TRUE(network.rankLanguages(QStringLiteral("select * from t;")).isEmpty());
    }
}

TEST_F(GuesslangDetectionTest, UnloadEmptiesAndTheNextRankingReloads)
{
    writeModel(networkFile({ "a", "b" }, smallNetwork(2)));
    GuesslangDetection network;
    ASSERT_TRUE(network.loadModel());
    network.unloadModel();
    EXPECT_FALSE(network.isLoaded());
    EXPECT_TRUE(network.languages().isEmpty());
    EXPECT_EQ(network.numLanguages(), 2); // kept by the unload
    EXPECT_TRUE(network.detect({ 1, 2 }).isEmpty());

    writeModel(networkFile({ "x", "y", "z" }, smallNetwork(3)));
    const QList<GuesslangDetection::DetectionResult> ranked
        = network.rankLanguages(QStringLiteral("fn main() {}"));
    ASSERT_EQ(ranked.size(), 3);
    EXPECT_TRUE(network.isLoaded());
    EXPECT_EQ(network.numLanguages(), 3);
}

TEST_F(GuesslangDetectionTest, AsyncOperationsRunOnTheNetworksThreadAndSurviveUnloads)
{
    writeModel(networkFile({ "a", "b" }, smallNetwork(2)));
    GuesslangDetection network;
    EXPECT_TRUE(network.loadModelIfNeededAsync().result());
    const QString text = QStringLiteral("#include <stdio.h>\nint main(void) { puts(\"hi\"); }\n");
    const QList<GuesslangDetection::DetectionResult> direct = network.rankLanguages(text);
    ASSERT_EQ(direct.size(), 2);

    // Rankings race with unloads and reloads on another thread: a ranking loads the network
    // when it finds none and works on that one snapshot, so every answer is whole.
    runWhileRepeating(
        [&] {
            network.unloadModelAsync().waitForFinished();
            network.loadModelAsync().waitForFinished();
        },
        [&] {
            for (int i = 0; i < 50; ++i) {
                EXPECT_TRUE(network.rankLanguages(text) == direct) << i;
                EXPECT_TRUE(network.rankLanguagesAsync(text).result() == direct) << i;
            }
        });
}

TEST_F(GuesslangDetectionTest, RandomAndDamagedFilesNeverCrash)
{
    const QByteArray valid = networkFile({ "a", "b", "c" }, smallNetwork(3));
    QRandomGenerator random(2024);
    const QStringList allowed = allowedMessagePrefixes();
    for (int round = 0; round < 120; ++round) {
        QByteArray file;
        switch (round % 4) {
        case 0: // random bytes, sometimes behind a valid magic
            file.resize(random.bounded(0, 200));
            for (char &c : file)
                c = char(random.bounded(256));
            if (round % 8 == 0)
                file.replace(0, std::min<qsizetype>(4, file.size()), "GLNG");
            break;
        case 1: // truncated anywhere
            file = valid.left(random.bounded(qint64(valid.size())));
            break;
        case 2: // a few corrupted bytes in the header, names and counts
            file = valid;
            for (int i = 0; i < 4; ++i)
                file[random.bounded(4, 60)] = char(random.bounded(256));
            break;
        default: // corrupted anywhere, floats included (NaN and infinities)
            file = valid;
            for (int i = 0; i < 64; ++i)
                file[random.bounded(qint64(file.size()))] = char(random.bounded(256));
            break;
        }
        writeModel(file);
        GuesslangDetection network;
        CapturedDiagnostics diagnostics;
        const QList<GuesslangDetection::DetectionResult> ranked
            = network.rankLanguages(QStringLiteral("for (int i = 0; i < n; ++i) sum += a[i];"));
        EXPECT_TRUE(network.rankLanguages(QStringLiteral("SELECT 1;")).size() == ranked.size());
        EXPECT_LE(diagnostics.lines().size(), 1) << diagnostics.lines().join(u'\n').toStdString();
        for (const QString &line : diagnostics.lines()) {
            const bool known = std::any_of(
                allowed.begin(), allowed.end(), [&](const QString &p) { return line.startsWith(p); });
            EXPECT_TRUE(known) << line.toStdString();
        }
        EXPECT_LE(ranked.size(), 3);
        for (const GuesslangDetection::DetectionResult &r : ranked)
            EXPECT_TRUE(std::isnan(r.confidence) || (r.confidence >= 0.0f && r.confidence <= 1.0f));
    }
}

// The shipped network: converted at build time from the npm package's weights.
class ShippedGuesslangTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (Bundle::pathForResource(QStringLiteral("guesslang"), QStringLiteral("bin")).isEmpty())
            FAIL() << "guesslang.bin is missing from " << Bundle::resourceDirectory().toStdString();
    }
};

TEST_F(ShippedGuesslangTest, NamesItsOutputsWithTheApplicationsLabels)
{
    GuesslangDetection network;
    ASSERT_TRUE(network.loadModel());
    const QStringList languages = network.languages();
    ASSERT_EQ(languages.size(), 54);
    for (const char *label : { "python", "javascript", "typescript", "cpp", "cs", "shell", "markdown",
             "latex", "objectivec", "batch", "powershell", "perl", "ruby", "rust", "yaml" })
        EXPECT_TRUE(languages.contains(QLatin1String(label))) << label;
    for (const char *extension :
        { "py", "js", "ts", "sh", "md", "tex", "mm", "bat", "ps1", "pm", "rb", "rs" })
        EXPECT_FALSE(languages.contains(QLatin1String(extension))) << extension;
}

namespace {

// Code in many languages and one sentence, for comparing rankings with the package's runtime.
QStringList packageComparisonSnippets()
{
    return {
        QStringLiteral("def fibonacci(n):\n    a, b = 0, 1\n    for _ in range(n):\n        a, b = b, a + "
                       "b\n    return a\n"),
        QStringLiteral("function debounce(fn, ms) {\n  let t;\n  return (...args) => {\n    "
                       "clearTimeout(t);\n    t = setTimeout(() => fn(...args), ms);\n  };\n}\n"),
        QStringLiteral("#include <stdio.h>\n\nint main(int argc, char **argv)\n{\n    printf(\"%d\\n\", "
                       "argc);\n    return 0;\n}\n"),
        QStringLiteral("package main\n\nimport \"fmt\"\n\nfunc main() {\n\tfmt.Println(\"hello\")\n}\n"),
        QStringLiteral(
            "fn main() {\n    let v: Vec<i32> = (1..10).collect();\n    println!(\"{:?}\", v);\n}\n"),
        QStringLiteral(
            "SELECT name, COUNT(*) AS n FROM users WHERE active = 1 GROUP BY name ORDER BY n DESC;"),
        QStringLiteral("<!DOCTYPE html>\n<html>\n<head><title>Test</title></head>\n<body><p "
                       "class=\"x\">Hi</p></body>\n</html>\n"),
        QStringLiteral("#!/bin/sh\nset -e\nfor f in *.txt; do\n  echo \"$f\"\ndone\n"),
        QStringLiteral("{\n  \"name\": \"demo\",\n  \"version\": \"1.0.0\",\n  \"private\": true\n}\n"),
        QStringLiteral("services:\n  web:\n    image: nginx:latest\n    ports:\n      - \"80:80\"\n"),
        QStringLiteral("The quick brown fox jumps over the lazy dog. It was a sunny day in the park."),
        QStringLiteral("class Greeter\n  def initialize(name)\n    @name = name\n  end\n\n  def greet\n    "
                       "puts \"Hello #{@name}\"\n  end\nend\n"),
        QStringLiteral("public class Main {\n    public static void main(String[] args) {\n        "
                       "System.out.println(\"hi\");\n    }\n}\n"),
        QStringLiteral("\\documentclass{article}\n\\begin{document}\nHello, \\LaTeX!\n\\end{document}\n"),
        QString(QStringLiteral("x = 1;\n")).repeated(300),
    };
}

} // namespace

// Our arithmetic against the package's own runtime. The texts avoid what its runtime does
// differently: bytes above 0x7f, carriage returns, more than 10,000 bigrams, texts under
// 20 characters.
TEST_F(ShippedGuesslangTest, AgreesWithThePackagesRuntime)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty())
        GTEST_SKIP() << "node is not installed";
    const QString source = QStringLiteral(TINDLEWICK_SOURCE_DIR);
    const QString package
        = source + QStringLiteral("/resources/node_modules/@vscode/vscode-languagedetection");
    ASSERT_TRUE(QFile::exists(package + QStringLiteral("/dist/lib/index.js"))) << "run scripts/setup.sh";

    const QStringList snippets = packageComparisonSnippets();

    QProcess process;
    process.start(node,
        { testDataPath(QStringLiteral("guesslang/rank-with-package.js")), package,
            source + QStringLiteral("/tools/guesslang/convert-guesslang.js") });
    ASSERT_TRUE(process.waitForStarted());
    process.write(QJsonDocument(QJsonArray::fromStringList(snippets)).toJson(QJsonDocument::Compact));
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonArray rankings = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    ASSERT_EQ(rankings.size(), snippets.size());

    GuesslangDetection network;
    for (qsizetype i = 0; i < snippets.size(); ++i) {
        SCOPED_TRACE(snippets[i].left(40).toStdString());
        const QList<GuesslangDetection::DetectionResult> ours = network.rankLanguages(snippets[i]);
        const QJsonArray theirs = rankings[i].toArray();
        ASSERT_EQ(ours.size(), theirs.size());
        ASSERT_EQ(ours.size(), 54);
        QHash<QString, double> expected;
        for (const QJsonValue &pair : theirs)
            expected.insert(pair[0].toString(), pair[1].toDouble());
        for (const GuesslangDetection::DetectionResult &r : ours) {
            ASSERT_TRUE(expected.contains(r.language)) << r.language.toStdString();
            EXPECT_NEAR(r.confidence, expected.value(r.language), 1e-5) << r.language.toStdString();
        }
        EXPECT_EQ(ours.first().language, theirs.first()[0].toString());
    }
}
