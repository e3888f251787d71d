#include "detection/ContentTypeNetwork.h"

#include "detection/VectorMath.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "model files are read in place as little-endian");

namespace {

constexpr char kMagic[4] = { 'T', 'W', 'C', 'T' };
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 24;
// Bounds that keep a damaged header from asking for absurd allocations.
constexpr uint32_t kMaxBuckets = 1u << 24;
constexpr uint32_t kMaxWidth = 4096;

uint32_t crc32(const uint8_t *data, size_t size)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t {};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xffffffffu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

bool plausible(const ContentTypeNetwork::Dimensions &d)
{
    return d.buckets > 0 && d.buckets <= kMaxBuckets && std::has_single_bit(d.buckets) && d.embeddingDim > 0
        && d.embeddingDim <= kMaxWidth && d.hiddenDim > 0 && d.hiddenDim <= kMaxWidth && d.outputs > 0
        && d.outputs <= kMaxWidth;
}

// Bytes of everything after the header and before the checksum.
uint64_t bodySize(const ContentTypeNetwork::Dimensions &d)
{
    const uint64_t b = d.buckets, e = d.embeddingDim, h = d.hiddenDim, l = d.outputs;
    return 4 * b + b * e + 4 * (e * h + h) + 4 * (h * l + l);
}

template <typename T> void append(std::vector<uint8_t> &out, const T *values, size_t count)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(values);
    out.insert(out.end(), bytes, bytes + count * sizeof(T));
}

template <typename T> void append(std::vector<uint8_t> &out, const std::vector<T> &values)
{
    append(out, values.data(), values.size());
}

void appendU32(std::vector<uint8_t> &out, uint32_t value)
{
    uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    out.insert(out.end(), bytes, bytes + 4);
}

template <typename T> std::vector<T> take(const uint8_t *&cursor, size_t count)
{
    std::vector<T> values(count);
    std::memcpy(values.data(), cursor, count * sizeof(T));
    cursor += count * sizeof(T);
    return values;
}

} // namespace

ContentTypeNetwork::ContentTypeNetwork(const Dimensions &dimensions, Weights weights)
    : m_dimensions(dimensions)
    , m_weights(std::move(weights))
    , m_rowScales(m_weights.rowScales.data())
    , m_embedding(m_weights.embedding.data())
{ }

std::unique_ptr<ContentTypeNetwork> ContentTypeNetwork::create(
    const Dimensions &d, Weights w, std::string *error)
{
    if (!plausible(d)) {
        *error = "implausible dimensions";
        return nullptr;
    }
    const size_t b = d.buckets, e = d.embeddingDim, h = d.hiddenDim, l = d.outputs;
    if (w.rowScales.size() != b || w.embedding.size() != b * e || w.hiddenKernel.size() != e * h
        || w.hiddenBias.size() != h || w.outputKernel.size() != h * l || w.outputBias.size() != l) {
        *error = "weights do not match the dimensions";
        return nullptr;
    }
    return std::unique_ptr<ContentTypeNetwork>(new ContentTypeNetwork(d, std::move(w)));
}

std::unique_ptr<ContentTypeNetwork> ContentTypeNetwork::parse(
    const uint8_t *data, size_t size, std::string *error, std::shared_ptr<const void> backing)
{
    if (size < kHeaderSize || std::memcmp(data, kMagic, 4) != 0) {
        *error = "not a content-type model file";
        return nullptr;
    }
    uint32_t header[5];
    std::memcpy(header, data + 4, sizeof header);
    if (header[0] != kVersion) {
        *error = "unsupported model format version " + std::to_string(header[0]);
        return nullptr;
    }
    const Dimensions d { header[1], header[2], header[3], header[4] };
    if (!plausible(d)) {
        *error = "implausible model dimensions";
        return nullptr;
    }
    const uint64_t expected = kHeaderSize + bodySize(d) + 4;
    if (size != expected) {
        *error = "model file has " + std::to_string(size) + " bytes, its dimensions need "
            + std::to_string(expected);
        return nullptr;
    }
    uint32_t stored = 0;
    std::memcpy(&stored, data + size - 4, 4);
    if (stored != crc32(data, size - 4)) {
        *error = "model file is damaged (checksum mismatch)";
        return nullptr;
    }
    const uint8_t *cursor = data + kHeaderSize;
    const size_t b = d.buckets, e = d.embeddingDim, h = d.hiddenDim, l = d.outputs;
    const bool inPlace = backing && reinterpret_cast<uintptr_t>(cursor) % alignof(float) == 0;
    const auto *scales = reinterpret_cast<const float *>(cursor);
    const auto *embedding = reinterpret_cast<const int8_t *>(cursor + 4 * b);
    Weights w;
    if (inPlace) {
        cursor += 4 * b + b * e;
    } else {
        w.rowScales = take<float>(cursor, b);
        w.embedding = take<int8_t>(cursor, b * e);
    }
    w.hiddenKernel = take<float>(cursor, e * h);
    w.hiddenBias = take<float>(cursor, h);
    w.outputKernel = take<float>(cursor, h * l);
    w.outputBias = take<float>(cursor, l);
    if (!inPlace)
        return create(d, std::move(w), error);
    std::unique_ptr<ContentTypeNetwork> network(new ContentTypeNetwork(d, std::move(w)));
    network->m_backing = std::move(backing);
    network->m_rowScales = scales;
    network->m_embedding = embedding;
    return network;
}

std::vector<uint8_t> ContentTypeNetwork::serialize() const
{
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    for (const uint32_t value : { kVersion, m_dimensions.buckets, m_dimensions.embeddingDim,
             m_dimensions.hiddenDim, m_dimensions.outputs })
        appendU32(out, value);
    append(out, m_rowScales, m_dimensions.buckets);
    append(out, m_embedding, size_t(m_dimensions.buckets) * m_dimensions.embeddingDim);
    append(out, m_weights.hiddenKernel);
    append(out, m_weights.hiddenBias);
    append(out, m_weights.outputKernel);
    append(out, m_weights.outputBias);
    appendU32(out, crc32(out.data(), out.size()));
    return out;
}

std::vector<float> ContentTypeNetwork::predict(const ContentTypeFeatures::Input &input) const
{
    std::vector<uint32_t> features;
    features.reserve(12 * ContentTypeFeatures::windowSize);
    ContentTypeFeatures::extract(input, m_dimensions.buckets, features);
    return predictFeatures(features);
}

std::vector<float> ContentTypeNetwork::predictFeatures(const std::vector<uint32_t> &features) const
{
    const size_t e = m_dimensions.embeddingDim, h = m_dimensions.hiddenDim, l = m_dimensions.outputs;
    std::vector<float> mean(e, 0.0f);
    size_t counted = 0;
    for (const uint32_t id : features) {
        if (id >= m_dimensions.buckets)
            continue;
        const float scale = m_rowScales[id];
        const int8_t *row = m_embedding + size_t(id) * e;
        for (size_t j = 0; j < e; ++j)
            mean[j] += scale * float(row[j]);
        ++counted;
    }
    if (counted > 0)
        for (float &value : mean)
            value /= float(counted);

    std::vector<float> hidden(m_weights.hiddenBias);
    VectorMath::addRowTimesMatrix(mean.data(), e, m_weights.hiddenKernel.data(), h, hidden.data());
    VectorMath::relu(hidden.data(), h);
    std::vector<float> scores(m_weights.outputBias);
    VectorMath::addRowTimesMatrix(hidden.data(), h, m_weights.outputKernel.data(), l, scores.data());
    VectorMath::softmax(scores.data(), l);
    return scores;
}
