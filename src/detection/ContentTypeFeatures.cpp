#include "detection/ContentTypeFeatures.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace ContentTypeFeatures {

namespace {

bool isWhitespace(uint8_t byte)
{
    return byte == 32 || (byte >= 9 && byte <= 13);
}

bool isWordByte(uint8_t byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
        || byte == '_';
}

// Feature kinds: each hashes into its own region of the space by seeding the hash.
enum Kind : uint32_t {
    Gram1 = 1, // 2, 3, 4 for the longer n-grams
    Word = 5,
    LineOpening1 = 6, // 7, 8 for openings of two and three bytes
    LineEnding1 = 9,
    Indentation = 10,
    TextStart1 = 11, // .. 18 for the first 1 to 8 bytes
    TextEnd1 = 20, // .. 23 for the last 1 to 4 bytes
    LineEnding2 = 24,
    Fields = 25,
    Rows = 26,
};

// What separates the fields of a table's rows: comma, tab, semicolon, vertical bar.
constexpr uint8_t fieldSeparators[] = { ',', '\t', ';', '|' };
using SeparatorCounts = std::array<uint8_t, std::size(fieldSeparators)>;

uint32_t hashBytes(uint32_t kind, const uint8_t *bytes, size_t size)
{
    uint32_t h = 2166136261u ^ (kind * 0x9e3779b9u);
    for (size_t i = 0; i < size; ++i)
        h = (h ^ bytes[i]) * 16777619u;
    // FNV alone leaves the low bits poorly mixed; the finaliser of MurmurHash3 fixes that.
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

class Collector final
{
public:
    Collector(uint32_t buckets, std::vector<uint32_t> &out)
        : m_mask(buckets - 1)
        , m_out(out)
    { }

    void add(uint32_t kind, const uint8_t *bytes, size_t size)
    {
        m_out.push_back(hashBytes(kind, bytes, size) & m_mask);
    }

    // One run of real bytes (no padding). atTextStart: the run opens the text;
    // atTextEnd: it closes the text.
    void run(const uint8_t *bytes, size_t size, bool atTextStart, bool atTextEnd)
    {
        for (size_t i = 0; i < size; ++i)
            for (size_t n = 1; n <= 4 && i + n <= size; ++n)
                add(Gram1 + uint32_t(n - 1), bytes + i, n);
        words(bytes, size);
        lines(bytes, size);
        if (atTextStart)
            for (size_t n = 1; n <= 8 && n <= size; ++n)
                add(TextStart1 + uint32_t(n - 1), bytes, n);
        if (atTextEnd)
            for (size_t n = 1; n <= 4 && n <= size; ++n)
                add(TextEnd1 + uint32_t(n - 1), bytes + size - n, n);
    }

private:
    void words(const uint8_t *bytes, size_t size)
    {
        uint8_t word[24];
        size_t i = 0;
        while (i < size) {
            if (!isWordByte(bytes[i])) {
                ++i;
                continue;
            }
            size_t length = 0;
            for (; i < size && isWordByte(bytes[i]); ++i) {
                // Digits fold into one, so numbers of the same shape share a feature.
                if (length < sizeof word)
                    word[length++] = (bytes[i] >= '0' && bytes[i] <= '9') ? uint8_t('0') : bytes[i];
            }
            add(Word, word, length);
        }
    }

    void lines(const uint8_t *bytes, size_t size)
    {
        SeparatorCounts previous {};
        size_t start = 0;
        while (start < size) {
            size_t end = start;
            while (end < size && bytes[end] != '\n')
                ++end;
            line(bytes + start, end - start, previous);
            start = end + 1;
        }
    }

    void line(const uint8_t *bytes, size_t size, SeparatorCounts &previous)
    {
        size_t indent = 0;
        while (indent < size && (bytes[indent] == ' ' || bytes[indent] == '\t'))
            ++indent;
        size_t last = size;
        while (last > indent && isWhitespace(bytes[last - 1]))
            --last;
        if (last == indent) {
            previous = {}; // blank: a table ends here
            return;
        }
        if (indent > 0) {
            const uint8_t shape[2] = { bytes[0], uint8_t(std::min<size_t>(indent, 8)) };
            add(Indentation, shape, 2);
        }
        const uint8_t *content = bytes + indent;
        const size_t length = last - indent;
        for (size_t n = 1; n <= 3 && n <= length; ++n)
            add(LineOpening1 + uint32_t(n - 1), content, n);
        add(LineEnding1, content + length - 1, 1);
        if (length >= 2)
            add(LineEnding2, content + length - 2, 2);
        fields(content, length, previous);
    }

    // A table's rows hold the same number of separators, line after line; code and prose
    // seldom do. For each separator the line holds between its fields: the separator, how
    // many (up to 31), and whether the line before held as many. A separator
    // that ends the line (a statement's semicolon, the comma after an array's element)
    // parts no fields and is not counted.
    void fields(const uint8_t *bytes, size_t size, SeparatorCounts &previous)
    {
        for (size_t s = 0; s < std::size(fieldSeparators); ++s) {
            const uint8_t separator = fieldSeparators[s];
            const size_t counted = size > 0 && bytes[size - 1] == separator ? size - 1 : size;
            const auto count
                = uint8_t(std::min<ptrdiff_t>(std::count(bytes, bytes + counted, separator), 31));
            if (count > 0) {
                // The row's shape, and whether it repeats the row before whatever its width;
                // each twice, so that a table's rows are not drowned by its byte n-grams.
                const uint8_t repeated = uint8_t(count == previous[s]);
                const uint8_t shape[3] = { separator, count, repeated };
                const uint8_t row[2] = { separator, repeated };
                for (size_t copy = 0; copy < featuresPerFieldSeparator / 2; ++copy) {
                    add(Fields, shape, 3);
                    add(Rows, row, 2);
                }
            }
            previous[s] = count;
        }
    }

    uint32_t m_mask;
    std::vector<uint32_t> &m_out;
};

} // namespace

Input inputTokens(const uint8_t *bytes, size_t size)
{
    Input input;
    input.fill(paddingToken);
    size_t first = 0;
    while (first < size && isWhitespace(bytes[first]))
        ++first;
    size_t end = size;
    while (end > 0 && isWhitespace(bytes[end - 1]))
        --end;

    const size_t frontLength = std::min<size_t>(windowSize, size - first);
    for (size_t i = 0; i < frontLength; ++i)
        input[i] = bytes[first + i];
    const size_t backLength = std::min<size_t>(windowSize, end);
    for (size_t i = 0; i < backLength; ++i)
        input[inputSize - backLength + i] = bytes[end - backLength + i];
    return input;
}

void extract(const Input &input, uint32_t buckets, std::vector<uint32_t> &features)
{
    Collector collector(buckets, features);
    uint8_t bytes[windowSize];
    for (int window = 0; window < 2; ++window) {
        const int begin = window * windowSize;
        int i = begin;
        while (i < begin + windowSize) {
            size_t length = 0;
            const int runStart = i;
            for (; i < begin + windowSize && input[size_t(i)] >= 0 && input[size_t(i)] < paddingToken; ++i)
                bytes[length++] = uint8_t(input[size_t(i)]);
            if (length > 0)
                collector.run(bytes, length, window == 0 && runStart == 0, window == 1 && i == inputSize);
            else
                ++i;
        }
    }
}

} // namespace ContentTypeFeatures
