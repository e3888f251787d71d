#pragma once

// The content-type model's input and the features its network reads from it. Plain C++
// without Qt: the model trainer in tools/ compiles this file too, so the model is trained
// on exactly the features the application computes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ContentTypeFeatures {

constexpr int inputSize = 2048;
constexpr int windowSize = 1024;
constexpr int32_t paddingToken = 256;

using Input = std::array<int32_t, inputSize>;

// The model input of a text's bytes: its beginning (leading whitespace skipped) in the
// first 1024 tokens, left-aligned, and its end (trailing whitespace dropped) in the last
// 1024, right-aligned; unused positions hold the padding token. Whitespace is the bytes
// 9 to 13 and 32.
Input inputTokens(const uint8_t *bytes, size_t size);

// Appends one hashed feature (0 .. buckets-1, buckets a power of two) per occurrence in
// the input: byte 1- to 4-grams, words, line openings and endings, the field separators of
// each line (and whether the line before held as many), and the first and last bytes of
// the text. Padding never enters a feature.
void extract(const Input &input, uint32_t buckets, std::vector<uint32_t> &features);

// How many features each field separator that a line holds adds.
constexpr size_t featuresPerFieldSeparator = 4;

} // namespace ContentTypeFeatures
