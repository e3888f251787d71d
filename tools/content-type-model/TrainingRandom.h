#pragma once

// Draws of the trainer's made-up texts, all from its one seeded generator. (Where one
// expression draws several times, the order of its draws is the compiler's: the same build
// gives the same texts, another compiler may give others.)
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace TrainingRandom {

inline int number(int low, int high, std::mt19937_64 &random)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

inline bool chance(int percent, std::mt19937_64 &random)
{
    return number(0, 99, random) < percent;
}

template <typename T, size_t N> const T &pick(const T (&choices)[N], std::mt19937_64 &random)
{
    return choices[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

template <typename T> const T &pickFrom(const std::vector<T> &list, std::mt19937_64 &random)
{
    return list[std::uniform_int_distribution<size_t>(0, list.size() - 1)(random)];
}

inline std::string digits(size_t count, std::mt19937_64 &random)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += char('0' + number(0, 9, random));
    return out;
}

// count characters drawn from alphabet.
inline std::string drawn(const std::string &alphabet, size_t count, std::mt19937_64 &random)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += alphabet[size_t(number(0, int(alphabet.size()) - 1, random))];
    return out;
}

// UTF-8 of a code point.
inline std::string utf8(uint32_t code)
{
    std::string out;
    if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
    }
    out += char(0x80 | (code & 0x3F));
    return out;
}

// A pictograph of the emoji blocks, now and then with the emoji variation selector.
inline std::string emoji(std::mt19937_64 &random)
{
    static const std::pair<uint32_t, uint32_t> blocks[]
        = { { 0x1F600, 0x1F64F }, { 0x1F300, 0x1F5FF }, { 0x1F680, 0x1F6C5 }, { 0x1F90C, 0x1F9FF },
              { 0x2600, 0x26FF }, { 0x2700, 0x27BF }, { 0x1FA70, 0x1FAF6 } };
    const auto &[first, last] = pick(blocks, random);
    std::string out = utf8(uint32_t(number(int(first), int(last), random)));
    if (first < 0x10000 && chance(40, random))
        out += utf8(0xFE0F);
    return out;
}

inline std::string twoDigits(int value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

} // namespace TrainingRandom
