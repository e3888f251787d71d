#pragma once

// The few vector operations the detection networks share, as plain loops the compiler
// vectorises. Plain C++ without Qt, so the model trainer in tools/ can use them too.

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace VectorMath {

// out += in x matrix, for a row vector in of `rows` values and a row-major rows x cols matrix.
inline void addRowTimesMatrix(const float *in, size_t rows, const float *matrix, size_t cols, float *out)
{
    for (size_t i = 0; i < rows; ++i) {
        const float x = in[i];
        if (x == 0.0f)
            continue; // ReLU outputs are often zero; their rows add nothing
        const float *row = matrix + i * cols;
        for (size_t j = 0; j < cols; ++j)
            out[j] += x * row[j];
    }
}

// max(x, 0); a value that is not a number becomes 0 as well.
inline void relu(float *values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        values[i] = values[i] >= 0.0f ? values[i] : 0.0f;
}

// Turns scores into probabilities, shifted by the largest score so exp cannot overflow.
inline void softmax(float *values, size_t count)
{
    if (count == 0)
        return;
    const float largest = *std::max_element(values, values + count);
    float sum = 0.0f;
    for (size_t i = 0; i < count; ++i) {
        values[i] = std::exp(values[i] - largest);
        sum += values[i];
    }
    for (size_t i = 0; i < count; ++i)
        values[i] /= sum;
}

} // namespace VectorMath
