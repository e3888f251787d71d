#include "detection/GuesslangDetection.h"

#include "common/Diagnostics.h"
#include "detection/ModelFileVersions.h"
#include "detection/VectorMath.h"
#include "platform/Bundle.h"
#include "platform/MappedFile.h"

#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

static_assert(
    std::endian::native == std::endian::little, "the network file is read in place as little-endian");

namespace {

// A matrix of floats read where the mapped file holds it: these are nearly all of the network,
// and a ranking reads only the rows of its text's buckets. The file does not place them at a
// float's boundary, so each is read byte-wise (which compiles to plain unaligned loads).
struct FloatRows
{
    const char *bytes = nullptr;
    size_t count = 0;

    size_t size() const { return count; }
    float at(size_t index) const
    {
        float value;
        std::memcpy(&value, bytes + index * sizeof(float), sizeof(float));
        return value;
    }
    // accumulator[j] += scale × the j-th of the `length` values from `first` on.
    void addScaled(size_t first, size_t length, float scale, float *accumulator) const
    {
        for (size_t j = 0; j < length; ++j)
            accumulator[j] += scale * at(first + j);
    }
};

} // namespace

struct GuesslangDetection::Network
{
    // The mapped file the rows are read from.
    std::shared_ptr<const MappedFile> file;
    QStringList languages;
    FloatRows embedding;
    std::vector<float> dnnHidden0Kernel;
    std::vector<float> dnnHidden0Bias;
    std::vector<float> dnnHidden1Kernel;
    std::vector<float> dnnHidden1Bias;
    std::vector<float> dnnLogitsKernel;
    std::vector<float> dnnLogitsBias;
    FloatRows linearWeights;
    std::vector<float> linearBias;

    // A file may be truncated or describe smaller matrices than the network reads; such a
    // network must rank nothing rather than read past a matrix.
    bool coversInference() const
    {
        const size_t n = size_t(languages.size());
        return embedding.size() >= size_t(numBuckets) * embeddingDim
            && dnnHidden0Kernel.size() >= size_t(embeddingDim) * hidden0Dim
            && dnnHidden0Bias.size() >= size_t(hidden0Dim)
            && dnnHidden1Kernel.size() >= size_t(hidden0Dim) * hidden1Dim
            && dnnHidden1Bias.size() >= size_t(hidden1Dim) && dnnLogitsKernel.size() >= size_t(hidden1Dim) * n
            && dnnLogitsBias.size() >= n && linearWeights.size() >= size_t(numBuckets) * n
            && linearBias.size() >= n;
    }

    std::vector<float> probabilities(const QList<int> &features) const;
};

namespace {

constexpr char kPrefix[] = "GuesslangDetection: ";

void report(const QString &message)
{
    printDiagnostic(QLatin1String(kPrefix) + message);
}

// rows x cols x 4 of two 32-bit counts can exceed 64 bits; the need is printed exactly.
__extension__ using Wide = unsigned __int128;

QString decimal(Wide value)
{
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

// Walks the file with the reader's own bounds checks; nothing is read past the end. A file cut
// short runs out at every read after the first that found it short: only that first is kept.
class FileReader final
{
public:
    explicit FileReader(const QByteArray &data)
        : m_data(data)
    { }

    // What the file lacked first, with where; empty when it held everything read.
    const QString &shortfall() const { return m_shortfall; }
    void noteShortfall(const QString &what)
    {
        if (m_shortfall.isEmpty())
            m_shortfall = what;
    }

    qint64 offset() const { return m_offset; }
    qint64 size() const { return m_data.size(); }
    bool atEnd() const { return m_offset >= size(); }

    std::optional<quint32> readUInt32()
    {
        if (m_offset + 4 > size()) {
            noteShortfall(QStringLiteral("readUInt32 out of bounds at offset %1, data size %2")
                              .arg(m_offset)
                              .arg(size()));
            return std::nullopt;
        }
        quint32 value = 0;
        std::memcpy(&value, m_data.constData() + m_offset, 4);
        m_offset += 4;
        return value;
    }

    std::optional<QByteArray> readBytes(quint32 length)
    {
        if (m_offset + qint64(length) > size())
            return std::nullopt;
        QByteArray bytes = m_data.mid(m_offset, length);
        m_offset += length;
        return bytes;
    }

    // The next matrix where the data holds it; nothing when it does not fit.
    FloatRows readRows()
    {
        const Wide rows = readUInt32().value_or(0);
        const Wide cols = readUInt32().value_or(0);
        const Wide bytes = rows * cols * 4;
        if (Wide(m_offset) + bytes > Wide(size())) {
            noteShortfall(
                QStringLiteral("readMatrix out of bounds - need %1 bytes at offset %2, data size %3")
                    .arg(decimal(bytes))
                    .arg(m_offset)
                    .arg(size()));
            return {};
        }
        const FloatRows found { m_data.constData() + m_offset, size_t(rows * cols) };
        m_offset += qint64(bytes);
        return found;
    }

    std::vector<float> readMatrix()
    {
        const FloatRows found = readRows();
        std::vector<float> values(found.size());
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = found.at(i);
        return values;
    }

private:
    const QByteArray &m_data;
    QString m_shortfall;
    qint64 m_offset = 8;
};

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    // Keep a leading byte-order mark as a character: the name is the bytes as stored.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// FarmHash Fingerprint64 of the three bytes (a, space, b): its short-input path, which
// reads the first, middle and last byte.
quint64 bigramFingerprint(quint8 a, quint8 b)
{
    constexpr quint64 k0 = 0xc3a5c85c97cb3127ULL;
    constexpr quint64 k2 = 0x9ae16a3b2f90404fULL;
    const quint64 y = quint64(a) + (quint64(0x20) << 8);
    const quint64 z = 3 + (quint64(b) << 2);
    const quint64 v = (y * k2) ^ (z * k0);
    return (v ^ (v >> 47)) * k2;
}

// out = in x matrix + bias (row vector times a row-major rows x cols matrix).
void denseLayer(const float *in, int rows, const float *matrix, const float *bias, int cols, float *out)
{
    std::copy(bias, bias + cols, out);
    VectorMath::addRowTimesMatrix(in, size_t(rows), matrix, size_t(cols), out);
}

// The language names at the start of the file.
QStringList readLanguages(FileReader &reader)
{
    QStringList languages;
    const std::optional<quint32> count = reader.readUInt32();
    for (quint32 i = 0; count && i < *count; ++i) {
        // A count or name cut off by the end of the file ends the list: what follows cannot be
        // read anyway.
        const std::optional<quint32> length = reader.readUInt32();
        if (!length)
            break;
        const std::optional<QByteArray> bytes = reader.readBytes(*length);
        if (!bytes) {
            reader.noteShortfall(
                QStringLiteral("language name out of bounds - need %1 bytes at offset %2, data size %3")
                    .arg(*length)
                    .arg(reader.offset())
                    .arg(reader.size()));
            break;
        }
        if (const std::optional<QString> name = decodeUtf8(*bytes))
            languages.append(*name);
    }
    return languages;
}

} // namespace

std::shared_ptr<const GuesslangDetection::Network> GuesslangDetection::readNetwork(
    const QByteArray &data, const QString &path, std::shared_ptr<const MappedFile> file, LoadFailure *failure)
{
    if (data.size() < 8 || !data.startsWith("GLNG")) {
        *failure = { QStringLiteral("Invalid model file format in ") + path, false };
        return nullptr;
    }
    FileReader reader(data);
    auto network = std::make_shared<Network>();
    network->file = std::move(file);
    network->languages = readLanguages(reader);
    network->embedding = reader.readRows();
    network->dnnHidden0Kernel = reader.readMatrix();
    network->dnnHidden0Bias = reader.readMatrix();
    network->dnnHidden1Kernel = reader.readMatrix();
    network->dnnHidden1Bias = reader.readMatrix();
    network->dnnLogitsKernel = reader.readMatrix();
    network->dnnLogitsBias = reader.readMatrix();
    network->linearWeights = reader.readRows();
    network->linearBias = reader.readMatrix();
    // One line for the file, however many of its parts it lacks.
    const bool ranks = network->coversInference();
    if (!reader.shortfall().isEmpty() || !ranks) {
        const QString damage = reader.shortfall().isEmpty()
            ? QStringLiteral("model matrices in %1 are smaller than the network needs").arg(path)
            : reader.shortfall() + QStringLiteral(" in ") + path;
        report(ranks ? damage : damage + QStringLiteral("; rankings will be empty"));
    }
    return network;
}

std::vector<float> GuesslangDetection::Network::probabilities(const QList<int> &features) const
{
    const int n = int(languages.size());
    if (!coversInference() || n == 0)
        return {};

    // Count each bucket once, so every embedding and linear row is read once.
    std::vector<int> counts(numBuckets, 0);
    std::vector<int> distinct;
    for (const int id : features) {
        if (id < 0 || id >= numBuckets)
            return {};
        if (counts[size_t(id)]++ == 0)
            distinct.push_back(id);
    }

    float mean[embeddingDim] = {};
    if (!features.isEmpty()) {
        const float total = float(features.size());
        for (const int id : distinct) {
            const float weight = float(counts[size_t(id)]) / total;
            embedding.addScaled(size_t(id) * embeddingDim, embeddingDim, weight, mean);
        }
    }

    float hidden0[hidden0Dim];
    denseLayer(mean, embeddingDim, dnnHidden0Kernel.data(), dnnHidden0Bias.data(), hidden0Dim, hidden0);
    VectorMath::relu(hidden0, hidden0Dim);
    float hidden1[hidden1Dim];
    denseLayer(hidden0, hidden0Dim, dnnHidden1Kernel.data(), dnnHidden1Bias.data(), hidden1Dim, hidden1);
    VectorMath::relu(hidden1, hidden1Dim);
    std::vector<float> logits(static_cast<size_t>(n));
    denseLayer(hidden1, hidden1Dim, dnnLogitsKernel.data(), dnnLogitsBias.data(), n, logits.data());

    std::vector<float> wide(static_cast<size_t>(n), 0.0f);
    for (const int id : distinct)
        linearWeights.addScaled(size_t(id) * size_t(n), size_t(n), float(counts[size_t(id)]), wide.data());
    for (int k = 0; k < n; ++k)
        logits[size_t(k)] += wide[size_t(k)] + linearBias[size_t(k)];

    VectorMath::softmax(logits.data(), logits.size());
    return logits;
}

GuesslangDetection::GuesslangDetection()
    : m_failures(QLatin1String(kPrefix))
{ }

GuesslangDetection::~GuesslangDetection()
{
    m_executor.waitForIdle();
}

GuesslangDetection &GuesslangDetection::shared()
{
    static GuesslangDetection instance;
    return instance;
}

bool GuesslangDetection::loadModel()
{
    QMutexLocker loadLock(&m_loadMutex);
    return loadNetwork(networkPath()) != nullptr;
}

QString GuesslangDetection::networkPath()
{
    return Bundle::pathForResource(QStringLiteral("guesslang"), QStringLiteral("bin"));
}

std::shared_ptr<const GuesslangDetection::Network> GuesslangDetection::readNetworkFile(
    const QString &path, LoadFailure *failure)
{
    if (path.isEmpty()) {
        *failure = { QStringLiteral("Could not find guesslang.bin in bundle (") + Bundle::searchedFolders()
                + QLatin1Char(')'),
            false };
        return nullptr;
    }
    // Mapped, not read: the rows a ranking uses are in memory (until the app gives them back
    // when idle), the others stay in the file.
    MappedFile::Failure unmapped;
    const std::shared_ptr<const MappedFile> file = MappedFile::open(path, &unmapped);
    if (!file) {
        *failure = { QStringLiteral("Could not read model file at %1: %2")
                         .arg(QUrl::fromLocalFile(path).toString(), unmapped.reason),
            unmapped.passing };
        return nullptr;
    }
    const QByteArray data
        = QByteArray::fromRawData(reinterpret_cast<const char *>(file->data()), qsizetype(file->size()));
    return readNetwork(data, path, file, failure);
}

std::shared_ptr<const GuesslangDetection::Network> GuesslangDetection::loadNetwork(const QString &path)
{
    // Taken before the file is read: a file changed meanwhile is read again at the next use.
    ModelFileVersions versions = ModelFileVersions::of({ path });
    LoadFailure failure;
    std::shared_ptr<const Network> network = readNetworkFile(path, &failure);
    if (network)
        m_failures.forget();
    else
        m_failures.failed(std::move(versions), failure);
    QMutexLocker lock(&m_mutex);
    if (network)
        m_numLanguages = int(network->languages.size());
    // A failed load leaves none: a network loaded before is of a file that has changed since.
    m_network = network;
    return network;
}

bool GuesslangDetection::loadModelIfNeeded()
{
    return loadedNetwork() != nullptr;
}

void GuesslangDetection::unloadModel()
{
    QMutexLocker loadLock(&m_loadMutex);
    m_failures.forget();
    QMutexLocker lock(&m_mutex);
    m_network.reset();
}

bool GuesslangDetection::isLoaded() const
{
    return network() != nullptr;
}

int GuesslangDetection::numLanguages() const
{
    QMutexLocker lock(&m_mutex);
    return m_numLanguages;
}

QStringList GuesslangDetection::languages() const
{
    const std::shared_ptr<const Network> loaded = network();
    return loaded ? loaded->languages : QStringList();
}

std::shared_ptr<const GuesslangDetection::Network> GuesslangDetection::network() const
{
    QMutexLocker lock(&m_mutex);
    return m_network;
}

std::shared_ptr<const GuesslangDetection::Network> GuesslangDetection::currentNetwork() const
{
    std::shared_ptr<const Network> loaded = network();
    return loaded && !loaded->file->changedOnDisk() ? loaded : nullptr;
}

std::shared_ptr<const GuesslangDetection::Network> GuesslangDetection::loadedNetwork()
{
    if (std::shared_ptr<const Network> loaded = currentNetwork())
        return loaded;
    QMutexLocker loadLock(&m_loadMutex);
    if (std::shared_ptr<const Network> loaded = currentNetwork()) // loaded by another thread meanwhile
        return loaded;
    const QString path = networkPath();
    if (!m_failures.worthTrying({ path }))
        return nullptr;
    return loadNetwork(path);
}

QList<int> GuesslangDetection::extractFeatures(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    QList<int> features;
    if (bytes.size() < 2)
        return features;
    features.reserve(bytes.size() - 1);
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
        features.append(int(bigramFingerprint(quint8(bytes[i]), quint8(bytes[i + 1])) % numBuckets));
    return features;
}

QList<float> GuesslangDetection::detect(const QList<int> &features) const
{
    const std::shared_ptr<const Network> loaded = network();
    if (!loaded)
        return {};
    const std::vector<float> p = loaded->probabilities(features);
    return QList<float>(p.begin(), p.end());
}

QList<GuesslangDetection::DetectionResult> GuesslangDetection::rankLanguages(const QString &text)
{
    // One snapshot for both the names and the arithmetic: an unload or reload meanwhile
    // cannot pair the probabilities of one network with the names of another.
    const std::shared_ptr<const Network> loaded = loadedNetwork();
    if (!loaded)
        return {};
    const QList<int> features = extractFeatures(text);
    if (features.isEmpty())
        return {};
    const std::vector<float> p = loaded->probabilities(features);
    return rank(loaded->languages, QList<float>(p.begin(), p.end()));
}

QList<GuesslangDetection::DetectionResult> GuesslangDetection::rank(
    const QStringList &languages, const QList<float> &probabilities)
{
    QList<DetectionResult> results;
    const qsizetype count = std::min(languages.size(), probabilities.size());
    results.reserve(count);
    for (qsizetype k = 0; k < count; ++k)
        results.append({ languages[k], probabilities[k] });
    // A damaged file can yield NaN; it sorts last, so the order stays a strict weak one.
    const auto key = [](float value) { return std::isnan(value) ? -INFINITY : value; };
    std::stable_sort(results.begin(), results.end(), [&](const DetectionResult &a, const DetectionResult &b) {
        return key(a.confidence) > key(b.confidence);
    });
    return results;
}

QFuture<QList<GuesslangDetection::DetectionResult>> GuesslangDetection::rankLanguagesAsync(
    const QString &text)
{
    return m_executor.run([this, text] { return rankLanguages(text); });
}
