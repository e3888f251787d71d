#pragma once

// The content-type model's network and its file format. Plain C++ without Qt: the model
// trainer in tools/ writes files with serialize() and checks them with the same
// arithmetic the application runs.
//
// The network: the hashed features of the input (ContentTypeFeatures) select rows of an
// embedding table, whose mean goes through one ReLU layer and an output layer; a softmax
// gives one score per output.
//
// File format (all integers u32 little-endian, floats IEEE-754 single little-endian):
//   "TWCT", version (1), buckets B (a power of two), embedding width D, hidden width H,
//   outputs L;
//   B floats: the scale of each embedding row;
//   B x D signed bytes: the embedding rows (value = byte x row scale);
//   D x H floats, H floats: hidden kernel (row-major) and bias;
//   H x L floats, L floats: output kernel (row-major) and bias;
//   the CRC-32 (IEEE) of every byte before it.
// The size must be exactly what the dimensions need.

#include "detection/ContentTypeFeatures.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ContentTypeNetwork final
{
public:
    struct Dimensions
    {
        uint32_t buckets = 0;
        uint32_t embeddingDim = 0;
        uint32_t hiddenDim = 0;
        uint32_t outputs = 0;
    };

    struct Weights
    {
        std::vector<float> rowScales; // buckets
        std::vector<int8_t> embedding; // buckets x embeddingDim
        std::vector<float> hiddenKernel; // embeddingDim x hiddenDim
        std::vector<float> hiddenBias; // hiddenDim
        std::vector<float> outputKernel; // hiddenDim x outputs
        std::vector<float> outputBias; // outputs
    };

    // Null, with a description in error, when the dimensions are implausible or the
    // weights do not match them.
    static std::unique_ptr<ContentTypeNetwork> create(
        const Dimensions &dimensions, Weights weights, std::string *error);
    // Null, with a description in error, for anything but a whole, intact model file. With a
    // backing that keeps the bytes where they are (a mapped file), the embedding rows and their
    // scales, nearly all of the model, are read there rather than copied: a prediction touches
    // only the rows of its features.
    static std::unique_ptr<ContentTypeNetwork> parse(
        const uint8_t *data, size_t size, std::string *error, std::shared_ptr<const void> backing = nullptr);

    std::vector<uint8_t> serialize() const;

    const Dimensions &dimensions() const { return m_dimensions; }

    // One probability per output.
    std::vector<float> predict(const ContentTypeFeatures::Input &input) const;
    std::vector<float> predictFeatures(const std::vector<uint32_t> &features) const;

private:
    ContentTypeNetwork(const Dimensions &dimensions, Weights weights);

    Dimensions m_dimensions;
    Weights m_weights;
    // The embedding and its row scales: in m_weights, or in the backing's bytes.
    std::shared_ptr<const void> m_backing;
    const float *m_rowScales = nullptr;
    const int8_t *m_embedding = nullptr;
};
