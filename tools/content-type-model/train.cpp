// Trains the content-type model from files that Debian packages install (see README.md).
//
//   content-type-trainer --corpus corpus.txt --var CORPUS=/path --out DIR [options]
//
// Writes DIR/Magika.mlmodelc/model.bin and DIR/magika_labels.txt and prints the held-out
// accuracy. Everything random comes from one seeded generator and file lists are sorted
// before use, so the same corpus and options give the same model byte for byte.
#include "detection/ContentTypeFeatures.h"
#include "detection/ContentTypeNetwork.h"

#include "EverydayShapes.h"
#include "TrainingRandom.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options
{
    std::string corpus;
    std::map<std::string, std::string> variables;
    std::string out;
    uint64_t seed = 20261207;
    // Reseeds the generator once the corpus is drawn: another start and order of training
    // on the same samples, with the same files held out (0: go on with the seed's sequence).
    uint64_t orderSeed = 0;
    int epochs = 10;
    size_t maxFiles = 900; // per label
    size_t samplesPerLabel = 2400; // training samples per label (whole files + snippets)
    size_t shortPerLabel = 1000; // short snippets (1 to 3 lines, at most 200 characters) per label
    size_t shortTexts = 40000; // short texts of their own (sentences, lines, synthesised) per label
    // Everyday texts of many shapes per label, of any length: made-up lists, logs, paths and
    // ids, log excerpts, messages, lorem ipsum.
    size_t shapes = 30000;
    // How many times a held-out text counts against a held-out piece of code when the text
    // labels' bias is fitted: on a clipboard, text far outnumbers code (0: no bias).
    double textWeight = 2.0;
    size_t show = 0; // short texts and snippets to print per label, to check the corpus
    bool listPackages = false; // print each label's packages, their files and their side
    std::string evaluate; // a model folder to report on instead of training
    double testShare = 0.2;
    uint32_t buckets = 1u << 16;
    uint32_t embeddingDim = 96;
    uint32_t hiddenDim = 128;
    float learningRate = 0.08f;
    unsigned threads = 3; // for the features of the next samples and for the held-out figures
};

// The service's text labels: never code. Everything else the model names counts as code.
const std::set<std::string> kTextLabels = { "txt", "randombytes", "randomtxt", "csv", "tsv", "markdown",
    "rst", "eml", "srt", "vtt", "sum", "po", "bib" };

struct Rule
{
    std::string label;
    fs::path root;
    std::vector<std::string> patterns;
    std::vector<std::string> excludes;
};

// What a sample is cut from: a whole document, a run of its lines, a short text (a short
// snippet of a document, or a short text of its own), a documentation sample, or an
// everyday text of some shape (a list, a log excerpt, a path, a message, ...).
enum class Kind : uint8_t { Whole, Snippet, Short, Doc, Shape };

struct Sample
{
    std::array<int16_t, ContentTypeFeatures::inputSize> tokens;
    uint16_t label;
    Kind kind;
    uint16_t characters; // of the text, up to 65535
};

// Short texts are those of at most this many characters; the report gives their figure.
constexpr size_t shortLimit = 200;

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "content-type-trainer: %s\n", message.c_str());
    std::exit(1);
}

std::string expand(std::string text, const std::map<std::string, std::string> &variables)
{
    for (const auto &[name, value] : variables) {
        const std::string key = "$" + name;
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    }
    return text;
}

// Refuses a pattern whose conversion the trainer does not know or whose count is no number.
void checkConversion(const std::string &pattern, const std::string &line)
{
    const size_t arrow = pattern.find('>');
    if (arrow == std::string::npos)
        return;
    const std::string conversion = pattern.substr(arrow + 1);
    const size_t colon = conversion.find(':');
    const std::string kind = conversion.substr(0, colon);
    const std::string count = colon == std::string::npos ? std::string() : conversion.substr(colon + 1);
    const bool counted = !count.empty() && std::all_of(count.begin(), count.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    const bool ok
        = ((kind == "tsv" || kind == "ssv" || kind == "split%" || kind == "heldout" || kind == "xmltext")
              && colon == std::string::npos)
        || (kind == "sentences" && (colon == std::string::npos || counted))
        || ((kind == "lines" || kind == "everyday" || kind == "lorem" || kind == "shapes" || kind == "mo"
                || kind == "loglines" || kind == "letters")
            && counted)
        || ((kind == "fenced" || kind == "blocks") && !count.empty());
    if (!ok)
        fail("unknown conversion \"" + conversion + "\" in: " + line);
}

std::vector<Rule> readRules(const Options &options)
{
    std::ifstream in(options.corpus);
    if (!in)
        fail("cannot read " + options.corpus);
    std::vector<Rule> rules;
    std::map<std::string, std::vector<std::string>> rootLists; // "@name dir dir ..." lines
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        if (line[0] == '@') {
            std::string name, root;
            words >> name;
            while (words >> root)
                rootLists[name].push_back(expand(root, options.variables));
            continue;
        }
        Rule rule;
        std::string root, word;
        if (!(words >> rule.label >> root))
            continue;
        while (words >> word) {
            (word[0] == '!' ? rule.excludes : rule.patterns)
                .push_back(word[0] == '!' ? word.substr(1) : word);
            if (word[0] != '!')
                checkConversion(word, line);
        }
        if (root[0] == '@') {
            const auto list = rootLists.find(root);
            if (list == rootLists.end())
                fail("no list of folders " + root + " before: " + line);
            for (const std::string &each : list->second) {
                rule.root = each;
                rules.push_back(rule);
            }
            continue;
        }
        rule.root = expand(root, options.variables);
        rules.push_back(rule);
    }
    return rules;
}

bool endsWith(const std::string &s, const std::string &suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string readHead(const fs::path &path, size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(limit, '\0');
    in.read(head.data(), std::streamsize(limit));
    head.resize(size_t(in.gcount()));
    return head;
}

// The interpreter a "#!" line names: the program's base name, or the program env runs.
std::string interpreter(const fs::path &path)
{
    const std::string head = readHead(path, 256);
    if (head.rfind("#!", 0) != 0)
        return {};
    std::istringstream words(head.substr(2, head.find('\n') - 2));
    std::string program, word;
    words >> program;
    program = fs::path(program).filename().string();
    if (program == "env")
        while (words >> word)
            if (word[0] != '-') {
                program = word;
                break;
            }
    return program;
}

bool interpreterMatches(const std::string &program, const std::string &wanted)
{
    if (program.rfind(wanted, 0) != 0)
        return false;
    return std::all_of(program.begin() + long(wanted.size()), program.end(),
        [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '.'; });
}

// A pattern may end in ">" and a conversion:
//   >tsv          a comma-separated table, rewritten with tabs between its fields
//                 (tab-separated files are rare among installed files);
//   >split%       a fortune-cookie file whose pieces, between lines of a lone "%", are
//                 documents of their own;
//   >sentences:N  prose whose sentences and lines (8 to 200 characters) are short texts of
//                 their own, N of each file at most (4 without N);
//   >lines:N      a list whose lines are short texts of their own, N of them at most;
//   >everyday:N   a word list from whose words N everyday lines are put together (dates,
//                 amounts, addresses, names, order numbers, chat lines, ...);
//   >fenced:T,U   a Markdown file whose code blocks tagged T or U give short pieces of the
//                 label (commands and lines as people copy them from a page);
//   >shapes:N     a word list from whose words N everyday texts of many shapes are put
//                 together (lists, logs, paths, ids, chat lines, receipts, ...);
//   >mo:N         a compiled message catalogue whose messages and translations give N short
//                 texts (sentences and labels of programs, in the catalogue's language);
//   >loglines:N   a log whose runs of one to eight lines are N excerpts;
//   >letters:N    prose whose sentences are put into N messages (mails, notes, posts);
//   >lorem:N      a word list from whose words N lorem-ipsum texts are put together.
std::string convertedTo(const std::string &pattern)
{
    const size_t arrow = pattern.find('>');
    return arrow == std::string::npos ? std::string() : pattern.substr(arrow + 1);
}

// The text without the escape sequences that colour a terminal ("ESC [ ... m"), which some
// fortune files use for their titles.
std::string withoutColours(const std::string &data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\x1B' && i + 1 < data.size() && data[i + 1] == '[') {
            const size_t end = data.find_first_not_of("0123456789;", i + 2);
            if (end != std::string::npos && data[end] == 'm') {
                i = end;
                continue;
            }
        }
        out += data[i];
    }
    return out;
}

std::vector<std::string> splitAtPercentLines(const std::string &data)
{
    std::vector<std::string> pieces(1);
    std::istringstream lines(withoutColours(data));
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "%")
            pieces.emplace_back();
        else
            pieces.back() += line + '\n';
    }
    return pieces;
}

// A comma-separated table with another separator between its fields (quotes dropped); the
// separator where it stood in the data becomes a space.
std::string csvWithSeparator(const std::string &data, char separator)
{
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '"') {
            if (quoted && i + 1 < data.size() && data[i + 1] == '"') {
                out += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            out += separator;
        } else if (c == separator) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

// The conversion the first matching pattern asks for ("" for none), or nullopt for no match.
std::optional<std::string> matches(const Rule &rule, const fs::path &path)
{
    const std::string full = path.string();
    for (const std::string &part : rule.excludes)
        if (full.find(part) != std::string::npos)
            return std::nullopt;
    const std::string name = path.filename().string();
    for (const std::string &withConversion : rule.patterns) {
        const std::string conversion = convertedTo(withConversion);
        const std::string pattern = withConversion.substr(0, withConversion.find('>'));
        if (pattern == "*" || (pattern[0] == '=' && name == pattern.substr(1))
            || (pattern.rfind("*.", 0) == 0 && endsWith(name, pattern.substr(1)))
            || (pattern.rfind("#!", 0) == 0 && interpreterMatches(interpreter(path), pattern.substr(2))))
            return conversion;
    }
    return std::nullopt;
}

std::string readFile(const fs::path &path, size_t limit)
{
    if (endsWith(path.string(), ".gz")) {
        gzFile file = gzopen(path.c_str(), "rb");
        if (!file)
            return {};
        std::string data;
        char buffer[65536];
        int n;
        while (data.size() < limit && (n = gzread(file, buffer, sizeof buffer)) > 0)
            data.append(buffer, size_t(n));
        gzclose(file);
        return data;
    }
    return readHead(path, limit);
}

uint64_t fingerprint(const std::string &data)
{
    uint64_t h = 1469598103934665603ULL;
    for (const unsigned char c : data)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

// Text only: binary files (NUL bytes) and near-empty files teach nothing about a clipboard.
bool usable(const std::string &data)
{
    if (data.find('\0') != std::string::npos)
        return false;
    size_t visible = 0;
    for (const unsigned char c : data)
        visible += c > 32;
    return visible >= 48;
}

// Characters of UTF-8 text: its bytes less the continuation bytes.
size_t characters(const std::string &text)
{
    return size_t(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A fifth of the files is held out, chosen by a hash of the file's name (its group) and
// the seed: a file's whole text, its snippets and its short pieces fall on the same side.
bool heldOut(const std::string &group, const Options &options)
{
    uint64_t h = fingerprint(group) ^ (options.seed * 0x9e3779b97f4a7c15ULL);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return double(h % 10000) < options.testShare * 10000.0;
}

ContentTypeFeatures::Input inputOf(const std::string &bytes)
{
    return ContentTypeFeatures::inputTokens(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

Sample sampleOf(const std::string &bytes, uint16_t label, Kind kind)
{
    const ContentTypeFeatures::Input input = inputOf(bytes);
    Sample sample;
    std::copy(input.begin(), input.end(), sample.tokens.begin());
    sample.label = label;
    sample.kind = kind;
    size_t first = bytes.find_first_not_of(" \t\r\n\f\v");
    size_t last = bytes.find_last_not_of(" \t\r\n\f\v");
    sample.characters = first == std::string::npos
        ? 0
        : uint16_t(std::min<size_t>(65535, characters(bytes.substr(first, last + 1 - first))));
    return sample;
}

std::vector<size_t> lineStarts(const std::string &data)
{
    std::vector<size_t> starts { 0 };
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i] == '\n' && i + 1 < data.size())
            starts.push_back(i + 1);
    return starts;
}

// A piece of the file as someone would copy it: a run of 2 to 60 whole lines.
std::string snippet(const std::string &data, std::mt19937_64 &random)
{
    const std::vector<size_t> starts = lineStarts(data);
    const size_t lines = starts.size();
    std::uniform_real_distribution<double> logLength(std::log(2.0), std::log(60.0));
    const size_t length = std::min(lines, size_t(std::exp(logLength(random))));
    const size_t first = std::uniform_int_distribution<size_t>(0, lines - length)(random);
    const size_t begin = starts[first];
    const size_t end = first + length < lines ? starts[first + length] : data.size();
    return data.substr(begin, std::min<size_t>(end - begin, 4096));
}

// A short piece of the file: one to three whole lines, trimmed; empty when that is longer
// than a short text.
std::string shortSnippet(const std::string &data, std::mt19937_64 &random)
{
    const std::vector<size_t> starts = lineStarts(data);
    const size_t lines = starts.size();
    const int roll = std::uniform_int_distribution<int>(0, 99)(random);
    const size_t length = std::min<size_t>(lines, roll < 60 ? 1 : roll < 85 ? 2 : 3);
    const size_t first = std::uniform_int_distribution<size_t>(0, lines - length)(random);
    const size_t begin = starts[first];
    const size_t end = first + length < lines ? starts[first + length] : data.size();
    std::string piece = data.substr(begin, std::min<size_t>(end - begin, 2048));
    const size_t from = piece.find_first_not_of(" \t\r\n\f\v");
    if (from == std::string::npos)
        return {};
    piece = piece.substr(from, piece.find_last_not_of(" \t\r\n\f\v") + 1 - from);
    return characters(piece) <= shortLimit ? piece : std::string();
}

// A short text worth a sample: no NUL byte, at least 8 visible characters (the detection
// service leaves shorter texts alone), at most 200 characters.
bool usableShort(const std::string &text)
{
    if (text.find('\0') != std::string::npos)
        return false;
    const auto visible = size_t(
        std::count_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 32; }));
    return visible >= 8 && characters(text) <= shortLimit;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Marks of code that plain sentences hardly ever hold: brackets, operators, sigils, an
// underscore inside a name, a call's opening parenthesis right after a name, a directive's
// "#" opening a line, and the "?." and "??" of optional values.
size_t codeMarks(std::string_view text)
{
    size_t marks = 0;
    bool lineStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (std::strchr("{}[]=;<>$\\|&_~^@`", c) != nullptr)
            ++marks;
        else if (c == '(' && i > 0
            && (std::isalnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '_'))
            ++marks;
        else if (c == '#' && lineStart && std::isalpha(static_cast<unsigned char>(next)))
            ++marks;
        else if (c == '?' && (next == '.' || next == '?'))
            ++marks;
        lineStart = c == '\n' || (lineStart && (c == ' ' || c == '\t'));
    }
    return marks;
}

// The most plain words in a row (letters only, punctuation at their ends allowed).
size_t longestWordRun(std::string_view line)
{
    size_t run = 0, longest = 0;
    size_t i = 0;
    while (i < line.size()) {
        const size_t start = i;
        while (i < line.size() && std::isalpha(static_cast<unsigned char>(line[i])))
            ++i;
        const bool word = i > start;
        while (i < line.size() && std::strchr(",.;:!?'\"", line[i]) != nullptr)
            ++i;
        const bool spaced = i == line.size() || line[i] == ' ';
        run = word && spaced ? run + 1 : 0;
        longest = std::max(longest, run);
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (!word && !spaced)
            ++i;
    }
    return longest;
}

// Six or more plain words in a row with hardly a mark of code: a sentence, such as the body
// of a comment block or a licence header.
bool isProseLine(std::string_view line)
{
    return longestWordRun(line) >= 6 && codeMarks(line) <= 1;
}

// Code without any of the marks above: terse, never more than three plain words in a row,
// with a sign inside it (a command's options and paths, quotes, a dotted name).
bool isTerseCode(const std::vector<std::string_view> &lines)
{
    bool punctuated = false;
    for (std::string_view line : lines) {
        if (longestWordRun(line) > 3)
            return false;
        while (!line.empty() && std::strchr(" .:,;!?", line.back()) != nullptr)
            line.remove_suffix(1);
        punctuated = punctuated || line.find_first_of("\"'/-.:#*+%!,?") != std::string_view::npos;
    }
    return punctuated;
}

bool isCommentLine(std::string_view line)
{
    const size_t indent = line.find_first_not_of(" \t");
    if (indent == std::string_view::npos)
        return false;
    line.remove_prefix(indent);
    const size_t closer = line.find("*/");
    if (closer != std::string_view::npos && line.substr(0, closer).find("/*") == std::string_view::npos)
        return true; // the end of a comment block
    if (line[0] == '#')
        return line.size() == 1 || line[1] == ' ' || line[1] == '#' || line[1] == '!' || line[1] == '\t';
    for (const std::string_view opener : { "//", "/*", "*", "-- ", ";", "%", "(*", "{-", "<!--", "\"\"\"",
             "'''", "dnl", "rem ", "REM ", "@rem", "@REM", "::", "'" })
        if (startsWith(line, opener))
            return true;
    return false;
}

// A line of a manual or a README that is a command, not prose: an option ("-v, --verbose
// ...") or a synopsis full of brackets and operators. E-mail addresses in angle brackets
// are prose's own, so the angle brackets and "@" do not count.
bool commandLike(const std::string &text)
{
    if (text.size() >= 2 && text[0] == '-'
        && (text[1] == '-' || std::isalpha(static_cast<unsigned char>(text[1]))))
        return true;
    return std::count_if(text.begin(), text.end(), [](char c) {
        return std::strchr("{}[]=;$\\|&_~^`", c) != nullptr;
    }) >= 2;
}

// Whether a short snippet of a file of this label teaches the label: text labels take any
// piece; a piece of code must show some code (comments and lines of prose inside code are
// prose, and the model must not learn them as code); a piece of a patch needs its head or
// changed lines.
bool shortFits(const std::string &piece, const std::string &label)
{
    if (!usableShort(piece))
        return false;
    if (label == "txt" || label == "markdown" || label == "rst")
        return !commandLike(piece); // a line of a code example inside documentation is code
    if (kTextLabels.count(label))
        return true;
    std::vector<std::string_view> lines;
    std::string_view rest(piece);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        lines.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    if (label == "diff") {
        const bool head = std::any_of(lines.begin(), lines.end(), [](std::string_view l) {
            return startsWith(l, "@@") || startsWith(l, "--- ") || startsWith(l, "+++ ")
                || startsWith(l, "diff ");
        });
        const size_t changed = size_t(std::count_if(lines.begin(), lines.end(),
            [](std::string_view l) { return !l.empty() && (l[0] == '+' || l[0] == '-'); }));
        return head || (lines.size() >= 2 && changed >= 2 && codeMarks(piece) >= 1);
    }
    if (std::any_of(lines.begin(), lines.end(),
            [](std::string_view l) { return isCommentLine(l) || isProseLine(l); }))
        return false;
    // Rows of numbers (a table in a test, a bit pattern) teach nothing of the language and
    // look like the amounts, dates and phone numbers of everyday text.
    const auto letters = std::count_if(
        piece.begin(), piece.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    if (letters < 3)
        return false;
    return codeMarks(piece) >= 1 || isTerseCode(lines);
}

// A run of lines of a patch teaches "diff" only with a changed or head line in it: the
// context lines alone are whatever the patched file holds, often prose.
bool snippetFits(const std::string &piece, const std::string &label)
{
    if (!usable(piece))
        return false;
    if (label != "diff")
        return true;
    for (const size_t start : lineStarts(piece))
        if (piece[start] == '+' || piece[start] == '-' || piece[start] == '@')
            return true;
    return false;
}

// Plain-text files of documentation are often written in reStructuredText or Markdown:
// directives, fenced blocks, headings underlined or opened with "#", links. Such a file is
// no example of plain text.
bool markedUp(const std::string &text)
{
    size_t marks = 0;
    std::istringstream lines(text);
    std::string line, previous;
    while (std::getline(lines, line) && marks < 3) {
        const bool underline = line.size() >= 4 && line.find_first_not_of(line[0]) == std::string::npos
            && std::strchr("=-~^*#", line[0]) != nullptr
            && previous.find_first_not_of(" \t") != std::string::npos;
        marks += underline || startsWith(line, ".. ") || startsWith(line, "```") || startsWith(line, "# ")
            || startsWith(line, "## ") || line.find("](http") != std::string::npos
            || line.find("`_") != std::string::npos || line.find(":ref:`") != std::string::npos;
        previous = line;
    }
    return marks >= 3;
}

// The line without its indentation and with every run of whitespace made one space.
std::string collapsed(std::string_view line)
{
    std::string out;
    bool space = false;
    for (const char c : line) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// Prose, not a rule of dashes or a table: letters make at least half the visible bytes.
bool prosy(const std::string &text)
{
    size_t visible = 0, letters = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        visible += byte > 32;
        letters += std::isalpha(byte) || byte >= 0x80;
    }
    return visible > 0 && letters * 2 >= visible;
}

// The sentences of prose and its lines, each of 8 to 200 characters: short texts as people
// copy them from a message or a page.
std::vector<std::string> sentencesOf(const std::string &data)
{
    std::vector<std::string> out;
    std::string paragraph;
    auto flush = [&] {
        size_t start = 0;
        for (size_t i = 0; i + 2 < paragraph.size(); ++i) {
            const char c = paragraph[i];
            const auto next = static_cast<unsigned char>(paragraph[i + 2]);
            if ((c == '.' || c == '!' || c == '?') && paragraph[i + 1] == ' '
                && (std::isupper(next) || std::isdigit(next) || next == '"' || next == '(')) {
                out.push_back(paragraph.substr(start, i + 1 - start));
                start = i + 2;
            }
        }
        if (start < paragraph.size())
            out.push_back(paragraph.substr(start));
        paragraph.clear();
    };
    std::istringstream lines(data);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string text = collapsed(line);
        if (text.empty()) {
            flush();
            continue;
        }
        out.push_back(text);
        paragraph += (paragraph.empty() ? "" : " ") + text;
    }
    flush();
    std::vector<std::string> kept;
    std::unordered_set<std::string> seen;
    for (std::string &text : out)
        if (usableShort(text) && prosy(text) && !commandLike(text) && seen.insert(text).second)
            kept.push_back(std::move(text));
    return kept;
}

using TrainingRandom::digits;
using TrainingRandom::number;
using TrainingRandom::pick;
using TrainingRandom::twoDigits;

// Chat and notes are written casually: the first letter small, no full stop, an emoticon.
std::string casual(std::string text, std::mt19937_64 &random)
{
    static const char *const endings[] = { " :)", " :(", " :D", " ;)", " :-)", "!!", " lol",
        " \xF0\x9F\x98\x8A", " \xF0\x9F\x91\x8D", "?!", " xx", " haha" };
    const int roll = number(0, 99, random);
    if (roll < 20) {
        if (!text.empty() && std::isupper(static_cast<unsigned char>(text[0])))
            text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    } else if (roll < 30) {
        if (!text.empty() && text.back() == '.')
            text.pop_back();
        text += pick(endings, random);
    }
    return text;
}

// Everyday lines put together from a word list: what people copy besides sentences.
// Words are split like files: a held-out line is made of held-out words only.
class EverydayLines final
{
public:
    EverydayLines(const std::string &wordList, const Options &options)
    {
        std::istringstream in(wordList);
        std::string word;
        while (std::getline(in, word)) {
            if (word.size() < 3 || word.size() > 12 || !std::all_of(word.begin(), word.end(), [](char c) {
                    return std::isalpha(static_cast<unsigned char>(c));
                }))
                continue;
            const bool side = heldOut(word, options);
            (std::isupper(static_cast<unsigned char>(word[0])) ? m_names : m_words)[side].push_back(word);
        }
        m_testShare = options.testShare;
    }

    bool empty() const
    {
        return m_words[0].empty() || m_words[1].empty() || m_names[0].empty() || m_names[1].empty();
    }

    // A line and the word that decides its side (its group).
    std::pair<std::string, std::string> line(std::mt19937_64 &random)
    {
        const bool side = std::bernoulli_distribution(m_testShare)(random);
        m_side = side;
        const std::string anchor = word(random);
        std::string text = make(anchor, random);
        return { text, anchor };
    }

private:
    std::string word(std::mt19937_64 &random) { return pickFrom(m_words[m_side], random); }
    std::string name(std::mt19937_64 &random) { return pickFrom(m_names[m_side], random); }
    static std::string pickFrom(const std::vector<std::string> &list, std::mt19937_64 &random)
    {
        return list[std::uniform_int_distribution<size_t>(0, list.size() - 1)(random)];
    }
    static std::string capital(std::string text)
    {
        if (!text.empty())
            text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
        return text;
    }

    std::string date(std::mt19937_64 &random)
    {
        static const char *const months[] = { "January", "February", "March", "April", "May", "June", "July",
            "August", "September", "October", "November", "December" };
        static const char *const shortMonths[]
            = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
        static const char *const days[]
            = { "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday" };
        static const char *const shortDays[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
        const int day = number(1, 28, random);
        const int month = number(1, 12, random);
        const std::string year = std::to_string(number(1950, 2035, random));
        switch (number(0, 8, random)) {
        case 0:
            return std::to_string(day) + " " + months[month - 1] + " " + year;
        case 1:
            return std::string(pick(days, random)) + ", " + std::to_string(day) + " " + months[month - 1]
                + " " + year;
        case 2:
            return std::string(months[month - 1]) + " " + std::to_string(day) + ", " + year;
        case 3:
            return year + "-" + twoDigits(month) + "-" + twoDigits(day);
        case 4:
            return twoDigits(day) + "." + twoDigits(month) + "." + year;
        case 5:
            return twoDigits(month) + "/" + twoDigits(day) + "/" + year;
        case 6:
            return std::string(pick(shortDays, random)) + " " + std::to_string(day) + " "
                + pick(shortMonths, random);
        case 7:
            return std::string(pick(days, random)) + " the " + std::to_string(day)
                + (day == 1        ? "st"
                        : day == 2 ? "nd"
                        : day == 3 ? "rd"
                                   : "th");
        default:
            return std::string(pick(shortMonths, random)) + " " + std::to_string(day);
        }
    }

    std::string time(std::mt19937_64 &random)
    {
        const int hour = number(0, 23, random);
        const std::string minutes = twoDigits(number(0, 11, random) * 5);
        switch (number(0, 3, random)) {
        case 0:
            return twoDigits(hour) + ":" + minutes;
        case 1:
            return std::to_string(hour % 12 + 1) + ":" + minutes + (number(0, 1, random) ? " pm" : " am");
        case 2:
            return std::to_string(hour % 12 + 1) + (number(0, 1, random) ? "pm" : "am");
        default:
            return std::to_string(hour) + ":" + minutes;
        }
    }

    std::string amount(std::mt19937_64 &random)
    {
        static const char *const before[] = { "$", "\xE2\x82\xAC", "\xC2\xA3", "EUR ", "USD ", "CHF ", "$ " };
        static const char *const after[]
            = { " EUR", " USD", " \xE2\x82\xAC", " kr", " CHF", " dollars", " euros" };
        const int whole = number(0, 3, random) == 0 ? number(1000, 99999, random) : number(1, 999, random);
        std::string value = std::to_string(whole);
        if (whole >= 1000 && number(0, 1, random))
            value.insert(value.size() - 3, number(0, 1, random) ? "," : ".");
        if (number(0, 6, random) == 0)
            value = std::to_string(number(1, 99, random)) + "." + std::to_string(number(0, 9, random))
                + (number(0, 1, random)        ? "M"
                        : number(0, 1, random) ? "k"
                                               : "bn");
        else if (number(0, 2, random))
            value += (number(0, 3, random) ? "." : ",") + twoDigits(number(0, 99, random));
        return number(0, 1, random) ? pick(before, random) + value : value + pick(after, random);
    }

    std::string phone(std::mt19937_64 &random)
    {
        switch (number(0, 5, random)) {
        case 0:
            return "+1 (" + digits(3, random) + ") " + digits(3, random) + "-" + digits(4, random);
        case 1:
            return "+" + std::to_string(number(30, 49, random)) + " " + digits(2, random) + " "
                + digits(8, random);
        case 2:
            return "(0" + digits(2, random) + ") " + digits(4, random) + " " + digits(4, random);
        case 3:
            return digits(3, random) + "-" + digits(4, random);
        case 4:
            return "+44 " + digits(2, random) + " " + digits(4, random) + " " + digits(4, random);
        default:
            return "0" + digits(3, random) + " " + digits(7, random);
        }
    }

    std::string reference(std::mt19937_64 &random)
    {
        static const char *const kinds[] = { "Order", "Order no.", "Invoice", "Ticket", "Booking reference",
            "Tracking number", "Case", "Ref:", "Customer no.", "Flight", "Gate", "Seat", "Room", "Table",
            "Reservation", "Account", "Policy number", "Parcel", "Membership no.", "PO" };
        static const char *const marks[] = { " #", " ", ": ", " no. ", " " };
        std::string code;
        switch (number(0, 5, random)) {
        case 0:
            code = digits(size_t(number(4, 9, random)), random);
            break;
        case 1:
            code = std::string(1, char('A' + number(0, 25, random))) + "-"
                + std::to_string(number(2015, 2030, random)) + "-" + digits(5, random);
            break;
        case 2:
            code = std::to_string(number(2015, 2030, random)) + "/" + digits(4, random);
            break;
        case 3:
            for (int i = 0; i < 6; ++i)
                code += number(0, 2, random) ? char('A' + number(0, 25, random))
                                             : char('0' + number(0, 9, random));
            break;
        case 4:
            code = std::string(1, char('A' + number(0, 25, random)))
                + digits(size_t(number(1, 3, random)), random);
            break;
        default:
            code = digits(3, random) + "-" + digits(7, random) + "-" + digits(7, random);
            break;
        }
        std::string kind = pick(kinds, random);
        if (kind.back() == ':' || kind.back() == '.')
            return kind + " " + code;
        return kind + pick(marks, random) + code;
    }

    std::string street(std::mt19937_64 &random)
    {
        static const char *const kinds[]
            = { "Street", "Road", "Avenue", "Lane", "Drive", "Way", "Place", "St.", "Rd", "Ave" };
        static const char *const continental[] = { "stra\xC3\x9F"
                                                   "e",
            "weg", "gasse", "platz", "strasse", "straat", "vej" };
        const std::string place = name(random);
        switch (number(0, 4, random)) {
        case 0:
            return std::to_string(number(1, 9999, random)) + " " + place + " " + pick(kinds, random);
        case 1:
            return place + pick(continental, random) + " " + std::to_string(number(1, 150, random));
        case 2:
            return "Apt " + std::to_string(number(1, 40, random))
                + std::string(1, char('A' + number(0, 5, random))) + ", "
                + std::to_string(number(1, 999, random)) + " " + place + " " + pick(kinds, random);
        case 3:
            return std::string("Rue ") + (number(0, 1, random) ? "de " : "du ") + place + " "
                + std::to_string(number(1, 200, random));
        default:
            return "P.O. Box " + digits(size_t(number(3, 5, random)), random);
        }
    }

    std::string address(std::mt19937_64 &random)
    {
        static const char *const states[] = { "NY", "CA", "TX", "IL", "WA", "MA", "FL", "OR", "CO", "GA" };
        switch (number(0, 3, random)) {
        case 0:
            return street(random);
        case 1:
            return street(random) + ", " + name(random) + ", " + pick(states, random) + " "
                + digits(5, random);
        case 2:
            return street(random) + ", " + digits(5, random) + " " + name(random);
        default:
            return street(random) + "\n" + name(random) + " "
                + std::string(1, char('A' + number(0, 25, random)))
                + std::string(1, char('A' + number(0, 25, random))) + std::to_string(number(1, 20, random))
                + " " + std::to_string(number(1, 9, random))
                + std::string(1, char('A' + number(0, 25, random)))
                + std::string(1, char('A' + number(0, 25, random)));
        }
    }

    std::string person(std::mt19937_64 &random)
    {
        static const char *const titles[] = { "Dr. ", "Mr. ", "Mrs. ", "Ms. ", "Prof. ", "", "", "", "" };
        std::string text = pick(titles, random) + name(random);
        if (number(0, 3, random) == 0)
            text += " " + std::string(1, char('A' + number(0, 25, random))) + ".";
        text += " " + name(random);
        if (number(0, 9, random) == 0)
            text += number(0, 1, random) ? " Jr." : " III";
        return text;
    }

    std::string phrase(size_t words, std::mt19937_64 &random)
    {
        std::string text;
        for (size_t i = 0; i < words; ++i)
            text += (i ? " " : "") + word(random);
        return text;
    }

    std::string title(std::mt19937_64 &random)
    {
        static const char *const small[] = { "of", "and", "in", "the", "for", "on", "with", "from" };
        switch (number(0, 4, random)) {
        case 0:
            return "The " + capital(word(random)) + " of the " + capital(word(random));
        case 1:
            return capital(word(random)) + " and " + capital(word(random));
        case 2:
            return "Chapter " + std::to_string(number(1, 40, random)) + ": " + capital(word(random)) + " "
                + pick(small, random) + " " + capital(word(random));
        case 3:
            return name(random) + " - " + capital(word(random)) + " " + capital(word(random)) + " ("
                + std::to_string(number(1950, 2030, random)) + ")";
        default:
            return capital(word(random)) + " " + capital(word(random)) + ": A " + capital(word(random)) + " "
                + capital(word(random));
        }
    }

    // A chat line or a note with a number in it, as people write them to each other.
    std::string chatWithNumber(std::mt19937_64 &random)
    {
        static const char *const openings[] = { "we need ", "only ", "I have ", "got ", "bring ",
            "there are ", "can you grab ", "I counted ", "we still have ", "please order ", "just ", "about ",
            "around ", "almost ", "need another " };
        static const char *const endings[]
            = { " for tonight", " left", " please", " today", " tomorrow", " by friday", " for the party",
                  " in the fridge", " at home", "", "", "", "!", "?", " :)", " lol" };
        static const char *const places[] = { "gate ", "room ", "table ", "platform ", "seat ", "bus ",
            "line ", "floor ", "row ", "box ", "page ", "level ", "exit ", "track " };
        static const char *const verbs[] = { "meet me at ", "see you at ", "we're at ", "I'm at ", "go to ",
            "wait at ", "it's on ", "look at ", "sitting at ", "parked on " };
        const std::string n
            = std::to_string(number(0, 3, random) ? number(1, 20, random) : number(21, 999, random));
        // Each draw in a statement of its own: the order in which the operands of "+" are
        // evaluated is the compiler's choice, and the lines must not depend on it.
        const int kind = number(0, 5, random);
        if (kind == 3) {
            const std::string opening = number(0, 1, random) ? "call me back on " : "my number is ";
            return opening + phone(random);
        }
        if (kind == 2) {
            const std::string verb = pick(verbs, random);
            const std::string place = pick(places, random);
            return verb + place + n + pick(endings, random);
        }
        if (kind == 4) {
            const std::string unit = number(0, 1, random) ? " minutes" : " min";
            return "I'll be there in " + n + unit + pick(endings, random);
        }
        const std::string first = kind <= 1 ? std::string(pick(openings, random)) : word(random) + " ";
        const std::string thing = word(random);
        const std::string middle = kind == 0 ? " more " : " ";
        if (kind <= 1)
            return first + n + middle + thing + "s" + pick(endings, random);
        return first + thing + " " + n + pick(endings, random);
    }

    std::string make(const std::string &anchor, std::mt19937_64 &random)
    {
        const int kind = number(0, 25, random);
        if (kind >= 13)
            return noteOrChat(kind, random);
        switch (kind) {
        case 0:
            return date(random);
        case 1:
            return date(random) + (number(0, 1, random) ? " at " : ", ") + time(random);
        case 2:
            return time(random) + (number(0, 1, random) ? " - " : "-") + time(random);
        case 3:
            return amount(random);
        case 4:
            return capital(anchor) + ": " + amount(random);
        case 5:
            return phone(random);
        case 6:
            return reference(random);
        case 7:
            return address(random);
        case 8:
            return person(random);
        case 9:
            return title(random);
        case 10:
            return phrase(size_t(number(2, 6, random)), random);
        case 11:
            return number(0, 2, random) ? anchor : capital(anchor);
        default: // 12: a line of a to-do list
            return pick(todo, random) + phrase(size_t(number(1, 4, random)), random);
        }
    }

    // Labelled notes, numbers, addresses and links, measurements, hashtags and chat lines.
    std::string noteOrChat(int kind, std::mt19937_64 &random)
    {
        switch (kind) {
        case 13:
            return std::string(pick(labels, random)) + ": " + phrase(size_t(number(1, 4, random)), random);
        case 14:
            switch (number(0, 3, random)) {
            case 0:
                return std::to_string(number(1, 99999, random)) + "."
                    + digits(size_t(number(1, 8, random)), random);
            case 1:
                return std::to_string(number(1, 999, random)) + "," + digits(3, random) + ","
                    + digits(3, random);
            case 2:
                return std::to_string(number(1, 99, random)) + "%";
            default:
                return std::to_string(number(1, 500, random)) + " x " + std::to_string(number(1, 500, random))
                    + pick(units, random);
            }
        case 15:
            return number(0, 1, random)
                ? word(random) + "." + word(random) + "@" + word(random) + pick(domains, random)
                : "https://www." + word(random) + pick(domains, random) + "/" + word(random) + "/"
                    + word(random);
        case 16:
            if (number(0, 2, random) == 0) // a conversion of units or currencies
                return std::to_string(number(1, 100, random)) + pick(units, random) + " = "
                    + std::to_string(number(1, 999, random)) + "." + std::to_string(number(0, 99, random))
                    + pick(units, random);
            return std::to_string(number(1, 999, random)) + pick(units, random) + " " + word(random);
        case 17:
            return pick(chat, random) + (number(0, 1, random) ? time(random) : word(random))
                + (number(0, 1, random) ? "?" : "");
        case 18:
            return capital(phrase(size_t(number(3, 7, random)), random)) + " #" + word(random) + " #"
                + word(random);
        case 19:
            return "Your " + word(random) + " " + word(random) + " is " + reference(random) + ".";
        case 20:
            return capital(word(random)) + " " + word(random) + " "
                + (number(0, 1, random) ? "on " + date(random) : "at " + time(random));
        case 21: // a chat line that ends in a number or a count: "see you at gate 4"
            return phrase(size_t(number(1, 5, random)), random) + " " + std::to_string(number(0, 120, random))
                + (number(0, 3, random) == 0 ? std::string(pick(units, random)) : std::string());
        case 22:
            return std::to_string(number(1, 12, random)) + " " + phrase(size_t(number(1, 5, random)), random)
                + (number(0, 1, random) ? "" : " " + std::to_string(number(1, 99, random)));
        case 23:
        case 24:
            return chatWithNumber(random);
        default:
            return person(random) + "\n" + address(random);
        }
    }

    // The pieces of made-up notes, lists, chat lines and measurements.
    static constexpr const char *labels[] = { "Status", "Note", "Reminder", "Subject", "Re", "Fwd",
        "Location", "Price", "Total", "Due", "When", "Where", "Deadline", "Notes", "To do", "TODO", "Update",
        "FYI", "Important", "Delivery", "Opening hours", "Password" };
    static constexpr const char *todo[]
        = { "- [ ] ", "- [x] ", "[ ] ", "* ", "- ", "\xE2\x80\xA2 ", "1. ", "TODO: ", "todo: " };
    static constexpr const char *chat[] = { "see you at ", "can we meet at ", "running late, there by ",
        "call me after ", "ok, ", "thanks for the ", "did you get the ", "where is the ", "I'll bring the ",
        "sounds good, ", "happy birthday ", "good morning ", "just got the ", "don't forget the ",
        "let's talk about the ", "how was the " };
    static constexpr const char *units[] = { " kg", " g", " cm", " mm", " km", " m", " %",
        " \xC2\xB0"
        "C",
        " lb", " ml", " l", " min", " h", " GB", " MB", " cups", " pcs" };
    static constexpr const char *domains[] = { ".com", ".org", ".net", ".de", ".co.uk", ".io", ".fr" };

    std::vector<std::string> m_words[2];
    std::vector<std::string> m_names[2];
    double m_testShare = 0.2;
    bool m_side = false;
};

// The code blocks of a Markdown file whose info string (its first word) is one of tags,
// as a comma-separated list. Shell prompts ("$ ") are taken off; in a console block the
// lines without one are the commands' output and are dropped.
std::vector<std::string> fencedBlocks(const std::string &data, const std::string &tags)
{
    std::set<std::string> wanted;
    std::istringstream tagList(tags);
    for (std::string tag; std::getline(tagList, tag, ',');)
        wanted.insert(tag);
    std::vector<std::string> blocks;
    std::istringstream lines(data);
    std::string line, fence, block;
    bool inside = false, keep = false, console = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // pages written with CRLF line ends
        const size_t indent = line.find_first_not_of(" \t");
        const std::string_view text
            = indent == std::string::npos ? std::string_view() : std::string_view(line).substr(indent);
        if (!inside) {
            if (startsWith(text, "```") || startsWith(text, "~~~")) {
                fence = std::string(text.substr(0, 3));
                std::string info(text.substr(3));
                info = info.substr(0, info.find_first_of(" ,{\t"));
                std::transform(info.begin(), info.end(), info.begin(),
                    [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
                inside = true;
                keep = wanted.count(info) > 0;
                console = info == "console" || info == "terminal" || info == "shell-session";
                block.clear();
            }
            continue;
        }
        if (startsWith(text, fence)) {
            inside = false;
            if (keep && !block.empty())
                blocks.push_back(block);
            continue;
        }
        const bool prompted = startsWith(text, "$ ");
        if (console && !prompted)
            continue;
        block += (prompted ? std::string(text.substr(2)) : line) + '\n';
    }
    return blocks;
}

struct Corpus
{
    std::vector<std::string> labels;
    std::vector<Sample> train;
    std::vector<Sample> test;
    std::vector<size_t> filesPerLabel;
    std::vector<size_t> packagesPerLabel; // packages that give the label files
    std::vector<size_t> heldPackagesPerLabel; // of them held out
};

struct Document
{
    std::string text;
    std::string group; // what decides its side: its package, or a key of its own for made-up texts
};

// A file gives at most this many sentences unless its rule says otherwise, so that no long
// file dominates.
constexpr size_t sentencesPerFile = 4;
constexpr size_t fencedPerFile = 12;
// A whole code block of a page is a documentation sample when it has this many lines.
constexpr size_t docBlockMinLines = 2;
constexpr size_t docBlockMaxLines = 60;
// A code block is a document of its own (">blocks") when it has this many lines.
constexpr size_t blockMinLines = 5;
// At most this share of a label's files is held out: with packages of very different sizes
// a fifth is often out of reach, a third less often.
constexpr double heldShareLimit = 0.35;

// The package each installed file belongs to, from dpkg's file lists.
std::map<std::string, std::string> installedFiles()
{
    std::map<std::string, std::string> owner;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator("/var/lib/dpkg/info", error)) {
        const std::string name = entry.path().filename().string();
        if (!endsWith(name, ".list"))
            continue;
        std::string package = name.substr(0, name.size() - 5);
        package = package.substr(0, package.find(':')); // "libfoo:amd64"
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
            owner.emplace(line, package);
    }
    return owner;
}

// The package a file comes from: the folder of a downloaded Debian package, source package
// or npm package under the corpus folder, the npm package of a node_modules tree, the
// source archive the corpus folder holds, or the installed Debian package that owns it.
// Held-out files are chosen by package, so that no package gives files to both sides.
std::string packageOf(
    const fs::path &path, const std::string &corpusRoot, const std::map<std::string, std::string> &installed)
{
    const std::string full = path.string();
    const size_t modules = full.rfind("/node_modules/");
    if (modules != std::string::npos) {
        const size_t start = modules + 14;
        size_t end = full.find('/', start);
        if (end != std::string::npos && full[start] == '@')
            end = full.find('/', end + 1);
        return "npm:" + full.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    if (!corpusRoot.empty() && startsWith(full, corpusRoot + "/")) {
        const std::string rest = full.substr(corpusRoot.size() + 1);
        const size_t slash = rest.find('/');
        const std::string top = rest.substr(0, slash);
        if ((top == "deb" || top == "src" || top == "npm" || top == "man-text")
            && slash != std::string::npos) {
            const size_t next = rest.find('/', slash + 1);
            const std::string name
                = rest.substr(slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
            // A downloaded package, the source package of the same name and the installed one
            // are one package; so are a package's manual pages.
            return (top == "npm" ? "npm:" : "deb:") + name;
        }
        return "archive:" + top;
    }
    for (fs::path at = path; !at.empty() && at != at.root_path(); at = at.parent_path()) {
        const auto found = installed.find(at.string());
        if (found != installed.end())
            return "deb:" + found->second;
    }
    // Not owned by a package (made by a maintainer script, say): its first three folders.
    std::string key;
    int depth = 0;
    for (const auto &part : path.parent_path()) {
        if (part == path.root_path() || depth++ >= 4)
            continue;
        key += "/" + part.string();
    }
    return "path:" + key;
}

// Lorem ipsum as layouts, templates and placeholder generators fill it in, from the words
// of a word list (the text after a "__DATA__" line when it has one): paragraphs (sentences of
// 4 to 14 words, the first capitalised, now and then a comma), a heading over them, a
// kilobyte or three of them, numbered or bulleted items, short lines, words with digits and
// hyphens.
class LoremIpsum final
{
public:
    explicit LoremIpsum(const std::string &data)
    {
        const size_t marker = data.find("__DATA__");
        std::istringstream in(marker == std::string::npos ? data : data.substr(marker + 8));
        std::set<std::string> unique;
        for (std::string word; in >> word;) {
            std::string letters;
            for (const char c : word)
                if (std::isalpha(static_cast<unsigned char>(c)))
                    letters += char(std::tolower(static_cast<unsigned char>(c)));
            if (letters.size() >= 2)
                unique.insert(letters);
        }
        m_words.assign(unique.begin(), unique.end());
    }

    bool empty() const { return m_words.size() < 20; }

    std::string text(std::mt19937_64 &random) const
    {
        switch (number(0, 9, random)) {
        case 0:
            return paragraphs(size_t(number(900, 3000, random)), random);
        case 1:
            return capitalised(words(1, 4, random)) + "\n" + paragraph(random);
        case 2:
        case 3:
            return items(random);
        case 4:
            return withNumbers(random);
        default:
            return paragraphs(0, random);
        }
    }

private:
    static std::string capitalised(std::string text)
    {
        if (!text.empty())
            text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
        return text;
    }

    std::string words(int low, int high, std::mt19937_64 &random) const
    {
        std::string text;
        for (int i = number(low, high, random); i > 0; --i)
            text += (text.empty() ? "" : " ") + TrainingRandom::pickFrom(m_words, random);
        return text;
    }

    std::string sentence(std::mt19937_64 &random) const
    {
        std::string text;
        const int length = number(4, 14, random);
        for (int i = 0; i < length; ++i) {
            text += (i ? " " : "") + TrainingRandom::pickFrom(m_words, random);
            if (i > 1 && i + 2 < length && number(0, 7, random) == 0)
                text += ",";
        }
        return capitalised(text) + ".";
    }

    std::string paragraph(std::mt19937_64 &random) const
    {
        std::string text = number(0, 2, random) == 0
            ? "Lorem ipsum dolor sit amet, consectetur adipiscing elit."
            : sentence(random);
        for (int i = number(0, 5, random); i > 0; --i)
            text += " " + sentence(random);
        return text;
    }

    // One to three paragraphs, or as many as make at least minimumBytes.
    std::string paragraphs(size_t minimumBytes, std::mt19937_64 &random) const
    {
        std::string text;
        const int count = number(0, 3, random) == 0 ? number(2, 3, random) : 1;
        for (int p = 0; p < count || text.size() < minimumBytes; ++p)
            text += (p ? "\n\n" : "") + paragraph(random);
        return text;
    }

    std::string items(std::mt19937_64 &random) const
    {
        static const char *const marks[] = { "- ", "* ", "\xE2\x80\xA2 ", "", "" };
        const int style = number(0, 3, random);
        const std::string mark = pick(marks, random);
        std::string text;
        for (int i = 1, count = number(2, 10, random); i <= count; ++i) {
            std::string line = style == 0 ? std::to_string(i) + pick({ ". ", ") " }, random) : mark;
            line += style == 1 ? sentence(random) : capitalised(words(1, 6, random));
            text += (i > 1 ? "\n" : "") + line;
        }
        return text;
    }

    // Words with digits and hyphens, as placeholder names, labels and slugs are made up.
    std::string withNumbers(std::mt19937_64 &random) const
    {
        std::string text;
        const bool lines = number(0, 1, random) == 1;
        for (int i = number(2, 12, random); i > 0; --i) {
            std::string word = TrainingRandom::pickFrom(m_words, random);
            if (number(0, 3, random) == 0)
                word += "-" + TrainingRandom::pickFrom(m_words, random);
            if (number(0, 3, random) == 0)
                word += (number(0, 1, random) ? " " : "-") + std::to_string(number(1, 999, random));
            text += (text.empty() ? "" : lines ? "\n" : " ") + (lines ? capitalised(word) : word);
        }
        return text;
    }

    std::vector<std::string> m_words;
};

// The messages and their translations of a compiled message catalogue (GNU .mo), as short
// texts: labels and sentences of programs in the catalogue's language. Messages with format
// directives or markup are left out; the underscore or ampersand that marks a menu's
// shortcut key is taken out.
std::vector<std::string> catalogueStrings(const std::string &data)
{
    auto u32 = [&](size_t at, bool swapped) -> uint32_t {
        if (at + 4 > data.size())
            return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(static_cast<unsigned char>(data[at + size_t(i)])) << (swapped ? 24 - 8 * i : 8 * i);
        return v;
    };
    const bool swapped = u32(0, false) == 0xde120495u;
    if (!swapped && u32(0, false) != 0x950412deu)
        return {};
    const uint32_t count = u32(8, swapped);
    std::vector<std::string> out;
    for (const size_t table : { size_t(u32(12, swapped)), size_t(u32(16, swapped)) }) {
        for (uint32_t i = 1; i < count; ++i) { // the first message is the catalogue's header
            const size_t length = u32(table + 8 * i, swapped), offset = u32(table + 8 * i + 4, swapped);
            if (offset + length > data.size())
                break;
            std::string text = data.substr(offset, length);
            text = text.substr(0, text.find('\0')); // a plural's first form
            std::string cleaned;
            for (size_t c = 0; c < text.size(); ++c)
                if (!((text[c] == '_' || text[c] == '&') && c + 1 < text.size()
                        && std::isalpha(static_cast<unsigned char>(text[c + 1]))))
                    cleaned += text[c] == '\n' ? ' ' : text[c];
            if (cleaned.find_first_of("%<>{}\\$") == std::string::npos)
                out.push_back(collapsed(cleaned));
        }
    }
    return out;
}

// Runs of one to eight lines of a log, count of them; comment lines (a log analyser's tests
// annotate their sample lines with them) and empty lines are left out.
std::vector<std::string> logExcerpts(const std::string &data, size_t count, std::mt19937_64 &random)
{
    std::vector<std::string> lines;
    std::istringstream in(data);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos && line[0] != '#')
            lines.push_back(line);
    }
    std::vector<std::string> excerpts;
    for (size_t n = 0; n < count && !lines.empty(); ++n) {
        const size_t length
            = std::min<size_t>(lines.size(), size_t(number(0, 1, random) ? 1 : number(2, 8, random)));
        const size_t first = std::uniform_int_distribution<size_t>(0, lines.size() - length)(random);
        std::string excerpt;
        for (size_t i = first; i < first + length; ++i)
            excerpt += (i > first ? "\n" : "") + lines[i];
        excerpts.push_back(excerpt);
    }
    return excerpts;
}

// Messages made of the sentences of prose: mails with a greeting and a closing, posts with
// hashtags and emoji, notes, quotes with their author.
std::string messageOf(const std::vector<std::string> &sentences, std::mt19937_64 &random)
{
    static const char *const names[]
        = { "Hannah", "Peter", "Julia", "Marco", "Lucas", "Ines", "Oskar", "Nora", "Felix", "Clara", "Hugo",
              "Greta", "Ravi", "Amara", "Diego", "Yuki", "Lena", "Omar", "Zoe", "Ivan" };
    static const char *const greetings[]
        = { "Hi ", "Hello ", "Dear ", "Hey ", "Hallo ", "Bonjour ", "Hola " };
    static const char *const closings[]
        = { "Best,", "Cheers,", "Regards,", "Thanks,", "Love,", "Best wishes,", "Kind regards,",
              "Viele Gr\xC3\xBC\xC3\x9F"
              "e,",
              "Bises,", "Saludos," };
    auto some = [&](int low, int high) {
        std::string text;
        for (int i = number(low, high, random); i > 0; --i)
            text += (text.empty() ? "" : " ") + TrainingRandom::pickFrom(sentences, random);
        return text;
    };
    switch (number(0, 3, random)) {
    case 0: {
        std::string mail = std::string(pick(greetings, random)) + pick(names, random) + ",\n\n" + some(1, 3);
        for (int p = number(0, 2, random); p > 0; --p)
            mail += "\n\n" + some(1, 3);
        return mail + "\n\n" + pick(closings, random) + "\n" + pick(names, random);
    }
    case 1: {
        std::string post = some(1, 2);
        for (int t = number(0, 3, random); t > 0; --t)
            post += " #" + std::string(pick(names, random)) + std::to_string(number(1, 99, random));
        for (int e = number(0, 3, random); e > 0; --e)
            post += " " + TrainingRandom::emoji(random);
        return post;
    }
    case 2:
        return std::string(pick({ "Note: ", "Remember: ", "NB ", "Reminder - ", "" }, random)) + some(1, 2);
    default: // a quote, with its author or alone
        if (number(0, 2, random) == 0)
            return "\"" + some(1, 2) + "\"";
        return std::string(pick({ "\"", "\xE2\x80\x9C", "\xE2\x80\x9E" }, random)) + some(1, 2)
            + pick({ "\" - ", "\xE2\x80\x9D \xE2\x80\x94 ", "\xE2\x80\x9C \xE2\x80\x93 " }, random)
            + pick(names, random);
    }
}

// An everyday text worth a sample: no NUL byte and at least 8 visible characters.
bool usableShape(const std::string &text)
{
    return text.find('\0') == std::string::npos && std::count_if(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) > 32;
    }) >= 8;
}

// The text of an XML file without its markup: the Basic modules of an office suite are
// stored as XML with the code as the element's escaped text.
std::string xmlText(const std::string &data)
{
    std::string out;
    bool inTag = false;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '<') {
            inTag = true;
        } else if (c == '>' && inTag) {
            inTag = false;
        } else if (!inTag) {
            if (c == '&') {
                const size_t end = data.find(';', i);
                const std::string entity
                    = end == std::string::npos ? std::string() : data.substr(i + 1, end - i - 1);
                static const std::map<std::string, char> named
                    = { { "lt", '<' }, { "gt", '>' }, { "amp", '&' }, { "quot", '"' }, { "apos", '\'' } };
                if (named.count(entity)) {
                    out += named.at(entity);
                    i = end;
                    continue;
                }
                if (entity.size() >= 2 && entity[0] == '#') {
                    const long code = entity[1] == 'x' ? std::strtol(entity.c_str() + 2, nullptr, 16)
                                                       : std::strtol(entity.c_str() + 1, nullptr, 10);
                    if (code > 0 && code < 128) {
                        out += char(code);
                        i = end;
                        continue;
                    }
                }
            }
            out += c;
        }
    }
    const size_t first = out.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : out.substr(first);
}

size_t lineCount(const std::string &text)
{
    return size_t(std::count(text.begin(), text.end(), '\n')) + (text.empty() || text.back() == '\n' ? 0 : 1);
}

// Up to limit of the documents, drawn at random: those that fit and were not seen before.
void keepDrawn(std::vector<Document> &documents, size_t limit, bool (*fits)(const std::string &),
    std::unordered_set<uint64_t> &seen, std::mt19937_64 &random)
{
    std::shuffle(documents.begin(), documents.end(), random);
    std::vector<Document> kept;
    for (Document &document : documents) {
        if (kept.size() >= limit)
            break;
        if (fits(document.text) && seen.insert(fingerprint(document.text)).second)
            kept.push_back(std::move(document));
    }
    documents = std::move(kept);
}

// The everyday texts a file gives by a conversion of their own (see convertedTo): into shapes,
// or for a catalogue's messages into short texts. False for any other conversion. Made-up
// texts are held out by the word that anchors them or by a key of their own.
bool everydayTexts(const std::string &conversion, size_t count, const fs::path &path,
    const std::string &package, const Options &options, std::vector<Document> &shapes,
    std::vector<Document> &shorts, std::mt19937_64 &random)
{
    if (conversion == "shapes") {
        EverydayShapes made(readFile(path, 1 << 24), options.testShare,
            [&](const std::string &word) { return heldOut(word, options); });
        for (size_t i = 0; i < count && !made.empty(); ++i) {
            auto [text, anchor] = made.make(random);
            shapes.push_back({ std::move(text), "word:" + anchor });
        }
    } else if (conversion == "lorem") {
        const LoremIpsum lorem(readFile(path, 1 << 20));
        for (size_t n = 0; n < count && !lorem.empty(); ++n)
            shapes.push_back({ lorem.text(random), "lorem:" + std::to_string(n) });
    } else if (conversion == "mo") {
        std::vector<std::string> strings = catalogueStrings(readFile(path, 1 << 24));
        std::shuffle(strings.begin(), strings.end(), random);
        strings.resize(std::min(strings.size(), count));
        for (std::string &text : strings)
            shorts.push_back({ std::move(text), package });
    } else if (conversion == "loglines") {
        for (std::string &excerpt : logExcerpts(readFile(path, 1 << 22), count, random))
            shapes.push_back({ std::move(excerpt), package });
    } else if (conversion == "letters") {
        const std::vector<std::string> sentences = sentencesOf(readFile(path, 1 << 20));
        for (size_t n = 0; n < count && !sentences.empty(); ++n)
            shapes.push_back({ messageOf(sentences, random), package });
    } else {
        return false;
    }
    return true;
}

// A file that a rule matched: the label's conversion of it and the package it belongs to.
struct Candidate
{
    fs::path path;
    std::string conversion;
    std::string package;
    bool operator<(const Candidate &other) const
    {
        return std::tie(path, conversion) < std::tie(other.path, other.conversion);
    }
    bool operator==(const Candidate &other) const
    {
        return path == other.path && conversion == other.conversion;
    }
};

using Candidates = std::map<std::string, std::vector<Candidate>>; // label -> its files

Candidates findCandidates(const Options &options)
{
    const std::vector<Rule> rules = readRules(options);
    const std::map<std::string, std::string> installed = installedFiles();
    const auto corpusVariable = options.variables.find("CORPUS");
    const std::string corpusRoot = corpusVariable == options.variables.end()
        ? std::string()
        : fs::path(corpusVariable->second).lexically_normal().string();
    Candidates candidates;
    for (const Rule &rule : rules) {
        std::error_code error;
        if (!fs::is_directory(rule.root, error)) {
            std::fprintf(
                stderr, "note: %s (%s) is not there, skipped\n", rule.root.c_str(), rule.label.c_str());
            continue;
        }
        for (auto it = fs::recursive_directory_iterator(
                 rule.root, fs::directory_options::skip_permission_denied, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (error)
                break;
            if (it->is_symlink(error) || !it->is_regular_file(error))
                continue;
            if (const std::optional<std::string> conversion = matches(rule, it->path()))
                candidates[rule.label].push_back({ it->path(), *conversion,
                    packageOf(it->path().lexically_normal(), corpusRoot, installed) });
        }
    }
    return candidates;
}

using FilesPerPackage = std::map<std::string, std::map<std::string, size_t>>; // label -> package -> files

// Sorts each label's files and drops the repeats; gives the whole files (not sentences, cookies
// or code blocks) that each package gives each label, and every package seen.
FilesPerPackage wholeFilesPerPackage(Candidates &candidates, std::set<std::string> &allPackages)
{
    FilesPerPackage packagesOf;
    for (auto &[label, paths] : candidates) {
        std::sort(paths.begin(), paths.end());
        paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
        for (const Candidate &candidate : paths) {
            const std::string &conversion = candidate.conversion;
            allPackages.insert(candidate.package);
            if (conversion.empty() || conversion == "tsv" || conversion == "ssv" || conversion == "xmltext")
                ++packagesOf[label][candidate.package];
        }
    }
    return packagesOf;
}

// How many files each package gives a label when files are drawn in turn up to the cap.
FilesPerPackage drawnFiles(const FilesPerPackage &packagesOf, size_t maxFiles)
{
    FilesPerPackage drawn;
    for (const auto &[label, packages] : packagesOf) {
        std::vector<size_t> sizes;
        for (const auto &[package, files] : packages)
            sizes.push_back(files);
        std::sort(sizes.begin(), sizes.end());
        size_t left = maxFiles, level = 0;
        for (size_t i = 0; i < sizes.size(); ++i) {
            const size_t share = left / (sizes.size() - i);
            if (sizes[i] <= share) {
                left -= sizes[i];
            } else {
                level = share;
                break;
            }
            level = std::max(level, sizes[i]);
        }
        for (const auto &[package, files] : packages)
            drawn[label][package] = std::min(files, level);
    }
    return drawn;
}

// The split is by package: no package gives files to both sides. Packages are taken in an
// order given by a hash of their names and the seed, and one is held out when no label it
// gives files to would then have more than a third of its files held out (counted as they are
// drawn: in turn from each package, up to the label's cap). A label's only package is never
// held out, nor is a package that fills most of a label.
std::set<std::string> heldPackages(Candidates &candidates, const Options &options)
{
    std::set<std::string> allPackages;
    const FilesPerPackage drawn = drawnFiles(wholeFilesPerPackage(candidates, allPackages), options.maxFiles);
    std::map<std::string, size_t> drawnTotal;
    for (const auto &[label, packages] : drawn)
        for (const auto &[package, files] : packages)
            drawnTotal[label] += files;
    std::vector<std::pair<uint64_t, std::string>> order;
    for (const std::string &package : allPackages)
        order.push_back({ fingerprint(package) ^ (options.seed * 0x9e3779b97f4a7c15ULL), package });
    std::sort(order.begin(), order.end());
    std::set<std::string> held;
    std::map<std::string, size_t> heldDrawn;
    for (const auto &[hash, package] : order) {
        // A package that gives no label whole files (only sentences, cookies or code
        // blocks of its pages) is held out by the hash alone, as a fifth of them are.
        bool fits = true, givesFiles = false;
        for (const auto &[label, packages] : drawn) {
            const auto found = packages.find(package);
            if (found == packages.end() || found->second == 0)
                continue;
            givesFiles = true;
            fits = fits && packages.size() >= 2
                && double(heldDrawn[label] + found->second) <= heldShareLimit * double(drawnTotal[label]);
        }
        if (!givesFiles)
            fits = heldOut(package, options);
        if (!fits)
            continue;
        held.insert(package);
        for (const auto &[label, packages] : drawn) {
            const auto found = packages.find(package);
            if (found != packages.end())
                heldDrawn[label] += found->second;
        }
    }
    return held;
}

// Whether a document's group is held out. Made-up texts have no package: a lorem-ipsum
// paragraph is held out by its own key, a dictionary word and an everyday line by their word.
class HeldOut final
{
public:
    HeldOut(std::set<std::string> packages, const Options &options)
        : m_packages(std::move(packages))
        , m_options(options)
    { }

    bool operator()(const std::string &group) const
    {
        if (startsWith(group, "word:"))
            return heldOut(group.substr(5), m_options);
        if (startsWith(group, "lorem:"))
            return heldOut(group, m_options);
        return m_packages.count(group) > 0;
    }

private:
    std::set<std::string> m_packages;
    const Options &m_options;
};

// A label's files in a shuffled order, taken from the packages in turn, so that no one package
// fills the label.
std::vector<const Candidate *> inTurnByPackage(std::vector<Candidate> &paths, std::mt19937_64 &random)
{
    std::shuffle(paths.begin(), paths.end(), random);
    std::map<std::string, std::vector<const Candidate *>> byPackage;
    for (const Candidate &candidate : paths)
        byPackage[candidate.package].push_back(&candidate);
    std::vector<const Candidate *> ordered;
    for (size_t round = 0; ordered.size() < paths.size(); ++round)
        for (const auto &[package, list] : byPackage)
            if (round < list.size())
                ordered.push_back(list[round]);
    return ordered;
}

// What a label's files give before any of it becomes a sample.
struct LabelDocuments
{
    std::vector<Document> files;
    std::vector<Document> pieces; // of split files and made-up paragraphs, to fill up the files
    std::vector<Document> shorts;
    std::vector<Document> docs; // whole code blocks of held-out pages, and examples never trained
    std::vector<Document> shapes; // everyday texts of every shape and length
};

// Reads one label's documents; the texts seen so far, of every label, count once.
class LabelReader final
{
public:
    LabelReader(const std::string &label, const Options &options, const HeldOut &held,
        std::unordered_set<uint64_t> &seen, std::mt19937_64 &random)
        : m_label(label)
        , m_options(options)
        , m_held(held)
        , m_seen(seen)
        , m_random(random)
    { }

    // Reads one file by the conversion that its rule names ("sentences:4", "fenced:js,ts"):
    // the part after the colon is a count, or for code blocks the tags to take.
    void read(const Candidate &candidate)
    {
        const std::string &conversionAndCount = candidate.conversion;
        const size_t colon = conversionAndCount.find(':');
        const std::string conversion = conversionAndCount.substr(0, colon);
        const size_t count = colon == std::string::npos || conversion == "fenced" || conversion == "blocks"
            ? 0
            : std::stoul(conversionAndCount.substr(colon + 1));
        const std::string argument
            = colon == std::string::npos ? std::string() : conversionAndCount.substr(colon + 1);
        if (readPieces(conversion, argument, count, candidate) || readMadeUp(conversion, count, candidate)
            || everydayTexts(conversion, count, candidate.path, candidate.package, m_options,
                m_documents.shapes, m_documents.shorts, m_random))
            return;
        readWhole(conversion, candidate);
    }

    // The documents read, with pieces added to the files: half as many as the label has files,
    // and at least a third of the file cap; the short texts and shapes drawn up to their caps.
    LabelDocuments finish()
    {
        std::vector<Document> &files = m_documents.files;
        std::vector<Document> &pieces = m_documents.pieces;
        std::shuffle(pieces.begin(), pieces.end(), m_random);
        const size_t pieceShare = std::max<size_t>(files.size() / 2, m_options.maxFiles / 3);
        const size_t fileCount = files.size();
        for (Document &piece : pieces) {
            if (pieceShare == 0 || files.size() >= fileCount + pieceShare)
                break;
            if (isNew(piece.text))
                files.push_back(std::move(piece));
        }
        std::shuffle(files.begin(), files.end(), m_random);
        keepDrawn(m_documents.shorts, m_options.shortTexts, usableShort, m_seen, m_random);
        keepDrawn(m_documents.shapes, m_options.shapes, usableShape, m_seen, m_random);
        return std::move(m_documents);
    }

private:
    // Usable and not seen before, in this label or another; from now on seen.
    bool isNew(const std::string &text) { return usable(text) && m_seen.insert(fingerprint(text)).second; }

    // Held-out pages, files split into pieces, sentences and code blocks.
    bool readPieces(
        const std::string &conversion, const std::string &argument, size_t count, const Candidate &candidate)
    {
        const fs::path &path = candidate.path;
        const std::string &package = candidate.package;
        if (conversion == "heldout") {
            std::string text = readFile(path, 1 << 20);
            if (isNew(text))
                m_documents.docs.push_back({ std::move(text), package });
        } else if (conversion == "split%") {
            for (std::string &piece : splitAtPercentLines(readFile(path, 1 << 20)))
                m_documents.pieces.push_back({ std::move(piece), package });
        } else if (conversion == "sentences") {
            std::vector<std::string> sentences = sentencesOf(readFile(path, 1 << 20));
            std::shuffle(sentences.begin(), sentences.end(), m_random);
            sentences.resize(std::min(sentences.size(), count ? count : sentencesPerFile));
            for (std::string &sentence : sentences)
                m_documents.shorts.push_back({ casual(std::move(sentence), m_random), package });
        } else if (conversion == "fenced") {
            readFenced(readFile(path, 1 << 20), argument, package);
        } else if (conversion == "blocks") {
            // Whole code blocks of a page as documents of their own, for a language whose
            // packaged sources are few.
            for (std::string &block : fencedBlocks(readFile(path, 1 << 20), argument))
                if (lineCount(block) >= blockMinLines)
                    m_documents.pieces.push_back({ std::move(block), package });
        } else {
            return false;
        }
        return true;
    }

    // A few short pieces of each code block, as people copy them from a page; the whole blocks
    // of held-out pages are documentation samples.
    void readFenced(const std::string &page, const std::string &tags, const std::string &package)
    {
        size_t taken = 0;
        for (const std::string &block : fencedBlocks(page, tags)) {
            const size_t lines = lineCount(block);
            if (m_held(package) && lines >= docBlockMinLines && lines <= docBlockMaxLines && isNew(block))
                m_documents.docs.push_back({ block, package });
            for (int t = 0; t < 3 && taken < fencedPerFile; ++t) {
                const std::string piece = shortSnippet(block, m_random);
                if (shortFits(piece, m_label)) {
                    m_documents.shorts.push_back({ piece, package });
                    ++taken;
                }
            }
        }
    }

    // Words of a list, and lines made up of them: a line is held out when the word that
    // anchors it is.
    bool readMadeUp(const std::string &conversion, size_t count, const Candidate &candidate)
    {
        if (conversion == "lines") {
            std::vector<std::string> lines;
            std::istringstream in(readFile(candidate.path, 1 << 24));
            for (std::string line; std::getline(in, line);)
                lines.push_back(collapsed(line));
            std::shuffle(lines.begin(), lines.end(), m_random);
            lines.resize(std::min(lines.size(), count));
            for (std::string &line : lines)
                m_documents.shorts.push_back({ line, "word:" + line });
        } else if (conversion == "everyday") {
            EverydayLines everyday(readFile(candidate.path, 1 << 24), m_options);
            for (size_t i = 0; i < count && !everyday.empty(); ++i) {
                auto [text, anchor] = everyday.line(m_random);
                m_documents.shorts.push_back({ std::move(text), "word:" + anchor });
            }
        } else {
            return false;
        }
        return true;
    }

    // A whole file, as it is or rewritten with another separator or without its markup.
    void readWhole(const std::string &conversion, const Candidate &candidate)
    {
        if (m_documents.files.size() >= m_options.maxFiles)
            return;
        const std::string data = readFile(candidate.path, 1 << 20);
        std::string document = conversion == "tsv" ? csvWithSeparator(data, '\t')
            : conversion == "ssv"                  ? csvWithSeparator(data, ';')
            : conversion == "xmltext"              ? xmlText(data)
                                                   : data;
        if (m_label == "txt" && markedUp(document))
            return;
        if (isNew(document))
            m_documents.files.push_back({ std::move(document), candidate.package });
    }

    const std::string &m_label;
    const Options &m_options;
    const HeldOut &m_held;
    std::unordered_set<uint64_t> &m_seen;
    std::mt19937_64 &m_random;
    LabelDocuments m_documents;
};

// Turns one label's documents into samples: a held-out document gives the test side its whole
// text, two snippets and up to two short snippets; a training one gives its whole text and as
// many snippets as fill the label's share.
class LabelSamples final
{
public:
    LabelSamples(Corpus &corpus, const std::string &label, const Options &options, const HeldOut &held,
        std::mt19937_64 &random)
        : m_corpus(corpus)
        , m_label(label)
        , m_options(options)
        , m_held(held)
        , m_random(random)
        , m_id(uint16_t(corpus.labels.size()))
    { }

    void add(const LabelDocuments &documents, size_t trainFiles)
    {
        m_corpus.labels.push_back(m_label);
        m_corpus.filesPerLabel.push_back(documents.files.size());
        std::set<std::string> packages, heldOfLabel;
        for (const Document &file : documents.files) {
            packages.insert(file.group);
            if (m_held(file.group))
                heldOfLabel.insert(file.group);
        }
        m_corpus.packagesPerLabel.push_back(packages.size());
        m_corpus.heldPackagesPerLabel.push_back(heldOfLabel.size());

        const size_t shortSnippets = addFiles(documents.files, trainFiles);
        const size_t heldShorts = addTexts(documents.shorts, Kind::Short, "  short text %s: %s\n");
        const size_t heldShapes = addTexts(documents.shapes, Kind::Shape, "  everyday %s:\n%s\n");
        for (const Document &doc : documents.docs)
            m_corpus.test.push_back(sampleOf(doc.text, m_id, Kind::Doc));
        std::fprintf(stderr,
            "%-12s %5zu files (%zu held out) from %zu packages (%zu held out), %zu short snippets, %zu short "
            "texts (%zu held out), %zu everyday shapes (%zu held out), %zu documentation samples\n",
            m_label.c_str(), documents.files.size(), documents.files.size() - trainFiles, packages.size(),
            heldOfLabel.size(), shortSnippets, documents.shorts.size(), heldShorts, documents.shapes.size(),
            heldShapes, documents.docs.size());
        if (m_options.listPackages)
            listPackages(documents.files, heldOfLabel);
    }

private:
    // The samples of the label's files; gives the number of short snippets trained.
    size_t addFiles(const std::vector<Document> &files, size_t trainFiles)
    {
        const size_t snippetsPerFile = std::clamp<size_t>(m_options.samplesPerLabel / trainFiles, 2, 40) - 1;
        // Short snippets of code are often refused (comments, prose): try twice as often as needed.
        const size_t shortTries = std::clamp<size_t>(2 * m_options.shortPerLabel / trainFiles + 1, 1, 30);
        size_t shortSnippets = 0;
        for (const Document &file : files) {
            const bool isHeld = m_held(file.group);
            std::vector<Sample> &into = isHeld ? m_corpus.test : m_corpus.train;
            into.push_back(sampleOf(file.text, m_id, Kind::Whole));
            const size_t snippets = isHeld ? 2 : snippetsPerFile;
            for (size_t s = 0, tries = 0; s < snippets && tries < 4 * snippets; ++tries) {
                const std::string piece = snippet(file.text, m_random);
                if (snippetFits(piece, m_label)) {
                    into.push_back(sampleOf(piece, m_id, Kind::Snippet));
                    ++s;
                }
            }
            for (size_t t = 0; t < (isHeld ? 2 : shortTries); ++t) {
                if (!isHeld && shortSnippets >= m_options.shortPerLabel)
                    break;
                const std::string piece = shortSnippet(file.text, m_random);
                if (shortFits(piece, m_label)) {
                    if (shortSnippets < m_options.show && !isHeld)
                        std::fprintf(stderr, "  short %s: %s\n", m_label.c_str(), piece.c_str());
                    into.push_back(sampleOf(piece, m_id, Kind::Short));
                    shortSnippets += isHeld ? 0 : 1;
                }
            }
        }
        return shortSnippets;
    }

    // Texts of their own, each a sample of the kind on its side; the first few are shown with
    // showFormat (of the label and the text). Gives how many are held out.
    size_t addTexts(const std::vector<Document> &texts, Kind kind, const char *showFormat)
    {
        size_t held = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            const bool isHeld = m_held(texts[i].group);
            held += isHeld;
            if (i < m_options.show)
                std::fprintf(stderr, showFormat, m_label.c_str(), texts[i].text.c_str());
            (isHeld ? m_corpus.test : m_corpus.train).push_back(sampleOf(texts[i].text, m_id, kind));
        }
        return held;
    }

    void listPackages(const std::vector<Document> &files, const std::set<std::string> &heldOfLabel) const
    {
        std::map<std::string, size_t> filesOfPackage;
        for (const Document &file : files)
            ++filesOfPackage[file.group];
        for (const auto &[package, count] : filesOfPackage)
            std::fprintf(stderr, "  %-12s %5zu %s %s\n", m_label.c_str(), count,
                heldOfLabel.count(package) ? "held " : "train", package.c_str());
    }

    Corpus &m_corpus;
    const std::string &m_label;
    const Options &m_options;
    const HeldOut &m_held;
    std::mt19937_64 &m_random;
    const uint16_t m_id;
};

Corpus collect(const Options &options, std::mt19937_64 &random)
{
    Candidates candidates = findCandidates(options);
    const HeldOut held(heldPackages(candidates, options), options);
    Corpus corpus;
    std::unordered_set<uint64_t> seen;
    for (auto &[label, paths] : candidates) {
        LabelReader reader(label, options, held, seen, random);
        for (const Candidate *candidate : inTurnByPackage(paths, random))
            reader.read(*candidate);
        const LabelDocuments documents = reader.finish();
        const auto trainFiles = size_t(std::count_if(documents.files.begin(), documents.files.end(),
            [&](const Document &file) { return !held(file.group); }));
        if (trainFiles < 5) {
            std::fprintf(
                stderr, "note: only %zu training files for %s, label left out\n", trainFiles, label.c_str());
            continue;
        }
        LabelSamples(corpus, label, options, held, random).add(documents, trainFiles);
    }
    return corpus;
}

// The network in training: float weights, plain SGD with a linearly falling rate.
class Trainer final
{
public:
    Trainer(const Options &options, size_t outputs, std::mt19937_64 &random)
        : m_b(options.buckets)
        , m_e(options.embeddingDim)
        , m_h(options.hiddenDim)
        , m_l(outputs)
        , m_embedding(size_t(m_b) * m_e)
        , m_w1(size_t(m_e) * m_h)
        , m_b1(m_h, 0.0f)
        , m_w2(size_t(m_h) * m_l)
        , m_b2(m_l, 0.0f)
    {
        std::uniform_real_distribution<float> small(-1.0f / float(m_e), 1.0f / float(m_e));
        for (float &w : m_embedding)
            w = small(random);
        const float r1 = std::sqrt(6.0f / float(m_e + m_h));
        std::uniform_real_distribution<float> xavier1(-r1, r1);
        for (float &w : m_w1)
            w = xavier1(random);
        const float r2 = std::sqrt(6.0f / float(m_h + m_l));
        std::uniform_real_distribution<float> xavier2(-r2, r2);
        for (float &w : m_w2)
            w = xavier2(random);
    }

    // One SGD step on one sample; returns its loss.
    float step(const std::vector<uint32_t> &features, size_t label, float rate)
    {
        std::vector<float> x(m_e, 0.0f), z(m_b1), s(m_b2);
        for (const uint32_t id : features)
            for (size_t j = 0; j < m_e; ++j)
                x[j] += m_embedding[size_t(id) * m_e + j];
        const float n = float(std::max<size_t>(1, features.size()));
        for (float &v : x)
            v /= n;
        for (size_t i = 0; i < m_e; ++i)
            for (size_t j = 0; j < m_h; ++j)
                z[j] += x[i] * m_w1[i * m_h + j];
        std::vector<float> h(m_h);
        for (size_t j = 0; j < m_h; ++j)
            h[j] = std::max(0.0f, z[j]);
        for (size_t i = 0; i < m_h; ++i)
            for (size_t k = 0; k < m_l; ++k)
                s[k] += h[i] * m_w2[i * m_l + k];
        const float largest = *std::max_element(s.begin(), s.end());
        float sum = 0;
        for (float &v : s)
            sum += (v = std::exp(v - largest));
        for (float &v : s)
            v /= sum;
        const float loss = -std::log(std::max(s[label], 1e-12f));

        std::vector<float> &ds = s; // gradient of the loss by the scores
        ds[label] -= 1.0f;
        std::vector<float> dh(m_h, 0.0f);
        for (size_t i = 0; i < m_h; ++i) {
            for (size_t k = 0; k < m_l; ++k) {
                dh[i] += m_w2[i * m_l + k] * ds[k];
                m_w2[i * m_l + k] -= rate * h[i] * ds[k];
            }
        }
        for (size_t k = 0; k < m_l; ++k)
            m_b2[k] -= rate * ds[k];
        std::vector<float> dx(m_e, 0.0f);
        for (size_t j = 0; j < m_h; ++j)
            if (z[j] <= 0.0f)
                dh[j] = 0.0f;
        for (size_t i = 0; i < m_e; ++i) {
            for (size_t j = 0; j < m_h; ++j) {
                dx[i] += m_w1[i * m_h + j] * dh[j];
                m_w1[i * m_h + j] -= rate * x[i] * dh[j];
            }
        }
        for (size_t j = 0; j < m_h; ++j)
            m_b1[j] -= rate * dh[j];
        // Every occurrence moves its row by its share of the mean's gradient; the rows get a
        // larger rate because each sees only a sliver of the gradient.
        const float rowRate = rate * m_embeddingBoost / n;
        for (const uint32_t id : features)
            for (size_t j = 0; j < m_e; ++j)
                m_embedding[size_t(id) * m_e + j] -= rowRate * dx[j];
        return loss;
    }

    // Adds shift to the bias of each of the outputs.
    void shiftOutputs(const std::vector<size_t> &outputs, float shift)
    {
        for (const size_t output : outputs)
            m_b2[output] += shift;
    }

    // Embedding rows become signed bytes with one scale per row, as the file stores them.
    std::unique_ptr<ContentTypeNetwork> quantised() const
    {
        ContentTypeNetwork::Weights w;
        w.rowScales.resize(m_b);
        w.embedding.resize(size_t(m_b) * m_e);
        for (size_t r = 0; r < m_b; ++r) {
            float largest = 0;
            for (size_t j = 0; j < m_e; ++j)
                largest = std::max(largest, std::fabs(m_embedding[r * m_e + j]));
            const float scale = largest > 0 ? largest / 127.0f : 1.0f;
            w.rowScales[r] = scale;
            for (size_t j = 0; j < m_e; ++j)
                w.embedding[r * m_e + j] = int8_t(std::lround(m_embedding[r * m_e + j] / scale));
        }
        w.hiddenKernel = m_w1;
        w.hiddenBias = m_b1;
        w.outputKernel = m_w2;
        w.outputBias = m_b2;
        std::string error;
        auto network = ContentTypeNetwork::create(
            { uint32_t(m_b), uint32_t(m_e), uint32_t(m_h), uint32_t(m_l) }, std::move(w), &error);
        if (!network)
            fail(error);
        return network;
    }

private:
    size_t m_b, m_e, m_h, m_l;
    float m_embeddingBoost = 20.0f;
    std::vector<float> m_embedding, m_w1, m_b1, m_w2, m_b2;
};

void features(const Sample &sample, uint32_t buckets, std::vector<uint32_t> &out)
{
    ContentTypeFeatures::Input input;
    std::copy(sample.tokens.begin(), sample.tokens.end(), input.begin());
    out.clear();
    ContentTypeFeatures::extract(input, buckets, out);
}

size_t best(const std::vector<float> &scores)
{
    return size_t(std::max_element(scores.begin(), scores.end()) - scores.begin());
}

// The text a sample was made of, as far as its first window holds it.
std::string textOf(const Sample &sample)
{
    std::string text;
    for (int i = 0; i < ContentTypeFeatures::windowSize && sample.tokens[size_t(i)] < 256; ++i)
        text += char(sample.tokens[size_t(i)]);
    return text;
}

// Runs work(i) for i in [0, count) on up to `threads` threads; each i is done once, and
// results written by index keep the outcome independent of the number of threads.
template <typename Work> void parallelFor(size_t count, unsigned threads, const Work &work)
{
    std::atomic<size_t> next { 0 };
    auto run = [&] {
        for (size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < std::max(1u, threads); ++t)
        pool.emplace_back(run);
    run();
    for (std::thread &thread : pool)
        thread.join();
}

// How many of a kind of held-out sample the model names right, and how many it puts on the
// right side of code and text.
struct Tally
{
    size_t right = 0, total = 0, kindRight = 0;
    void add(bool isRight, bool isKindRight)
    {
        right += isRight;
        kindRight += isKindRight;
        ++total;
    }
};

using Confusions = std::map<std::pair<size_t, size_t>, size_t>; // (label, guess) -> samples

// The held-out figures of a model, by kind of sample and by label.
struct Figures
{
    explicit Figures(size_t labels)
        : perLabel(labels)
        , perLabelSnippets(labels)
        , perLabelDocs(labels)
    { }

    Tally files, snippets, shorts, shortCode, shortText, docs, shapes;
    std::vector<Tally> perLabel, perLabelSnippets, perLabelDocs;
    Confusions confusions, shortConfusions, docConfusions, shapeConfusions;
};

// The model's best label for each held-out sample.
std::vector<uint16_t> guessesOf(const Corpus &corpus, const ContentTypeNetwork &network, unsigned threads)
{
    std::vector<uint16_t> guesses(corpus.test.size());
    parallelFor(corpus.test.size(), threads, [&](size_t i) {
        ContentTypeFeatures::Input input;
        std::copy(corpus.test[i].tokens.begin(), corpus.test[i].tokens.end(), input.begin());
        guesses[i] = uint16_t(best(network.predict(input)));
    });
    return guesses;
}

// Counts each held-out sample where it belongs; shows the first options.show short texts
// that land on the wrong side of code and text.
Figures tallied(const Corpus &corpus, const std::vector<uint16_t> &guesses, const Options &options)
{
    Figures figures(corpus.labels.size());
    size_t shownMistakes = 0;
    for (size_t i = 0; i < corpus.test.size(); ++i) {
        const Sample &sample = corpus.test[i];
        const size_t guess = guesses[i];
        const bool right = guess == sample.label;
        const bool isText = kTextLabels.count(corpus.labels[sample.label]) > 0;
        const bool kindRight = (kTextLabels.count(corpus.labels[guess]) > 0) == isText;
        if (sample.kind == Kind::Doc) {
            figures.docs.add(right, kindRight);
            figures.perLabelDocs[sample.label].add(right, kindRight);
            if (!right)
                ++figures.docConfusions[{ sample.label, guess }];
            continue;
        }
        if (sample.kind == Kind::Shape) {
            figures.shapes.add(right, kindRight);
            if (!kindRight)
                ++figures.shapeConfusions[{ sample.label, guess }];
            continue;
        }
        if (sample.kind == Kind::Whole) {
            figures.files.add(right, kindRight);
            figures.perLabel[sample.label].add(right, kindRight);
            if (!right)
                ++figures.confusions[{ sample.label, guess }];
        } else if (sample.kind == Kind::Snippet) {
            figures.snippets.add(right, kindRight);
            figures.perLabelSnippets[sample.label].add(right, kindRight);
        }
        if (sample.characters <= shortLimit) {
            if (!kindRight)
                ++figures.shortConfusions[{ sample.label, guess }];
            if (!kindRight && shownMistakes < options.show) {
                ++shownMistakes;
                std::fprintf(stderr, "  %s taken for %s: %s\n", corpus.labels[sample.label].c_str(),
                    corpus.labels[guess].c_str(), textOf(sample).c_str());
            }
            figures.shorts.add(right, kindRight);
            (isText ? figures.shortText : figures.shortCode).add(right, kindRight);
        }
    }
    return figures;
}

double percent(size_t part, size_t whole)
{
    return whole ? 100.0 * double(part) / double(whole) : 0.0;
}

// A column of the per-label table: the share right and the count, or a dash for none.
std::string cell(const Tally &tally)
{
    char text[32];
    if (tally.total == 0)
        std::snprintf(text, sizeof text, "%14s", "-");
    else
        std::snprintf(text, sizeof text, "%6.1f %% %5zu", percent(tally.right, tally.total), tally.total);
    return std::string(text);
}

void printTotals(const Corpus &corpus, const Figures &f)
{
    std::printf("labels: %zu\n", corpus.labels.size());
    std::printf("held-out files (by package):  top-1 %.1f %%, code vs text %.1f %% (%zu files)\n",
        percent(f.files.right, f.files.total), percent(f.files.kindRight, f.files.total), f.files.total);
    std::printf("held-out snippets:            top-1 %.1f %%, code vs text %.1f %% (%zu snippets)\n",
        percent(f.snippets.right, f.snippets.total), percent(f.snippets.kindRight, f.snippets.total),
        f.snippets.total);
    std::printf("held-out short texts (<= %zu characters): top-1 %.1f %%, code vs text %.1f %% (%zu texts)\n",
        shortLimit, percent(f.shorts.right, f.shorts.total), percent(f.shorts.kindRight, f.shorts.total),
        f.shorts.total);
    std::printf("  of them text kept as text %.1f %% (%zu), code kept as code %.1f %% (%zu)\n",
        percent(f.shortText.kindRight, f.shortText.total), f.shortText.total,
        percent(f.shortCode.kindRight, f.shortCode.total), f.shortCode.total);
    std::printf("documentation samples:        top-1 %.1f %%, code vs text %.1f %% (%zu samples)\n",
        percent(f.docs.right, f.docs.total), percent(f.docs.kindRight, f.docs.total), f.docs.total);
    std::printf(
        "held-out everyday shapes (lists, logs, paths, ids, messages, lorem ipsum): text kept as text "
        "%.1f %% (%zu)\n",
        percent(f.shapes.kindRight, f.shapes.total), f.shapes.total);
}

// A label has enough held-out files for a figure of its own from this many on.
constexpr size_t enoughFiles = 10;

void printLabels(const Corpus &corpus, const Figures &f)
{
    std::printf("per label: top-1 and count of held-out files, snippets and documentation samples\n");
    std::printf(
        "  %-13s %5s %5s %14s %14s %14s\n", "label", "pkgs", "held", "files", "snippets", "documentation");
    for (size_t i = 0; i < corpus.labels.size(); ++i)
        std::printf("  %-13s %5zu %5zu %s %s %s\n", corpus.labels[i].c_str(), corpus.packagesPerLabel[i],
            corpus.heldPackagesPerLabel[i], cell(f.perLabel[i]).c_str(), cell(f.perLabelSnippets[i]).c_str(),
            cell(f.perLabelDocs[i]).c_str());
    std::vector<std::pair<double, size_t>> ranked;
    for (size_t i = 0; i < corpus.labels.size(); ++i)
        if (f.perLabel[i].total >= enoughFiles)
            ranked.push_back({ percent(f.perLabel[i].right, f.perLabel[i].total), i });
    std::sort(ranked.begin(), ranked.end());
    std::printf("worst labels (held-out files, labels with at least %zu):\n", enoughFiles);
    for (size_t i = 0; i < std::min<size_t>(10, ranked.size()); ++i)
        std::printf("  %-13s %5.1f %% of %zu\n", corpus.labels[ranked[i].second].c_str(), ranked[i].first,
            f.perLabel[ranked[i].second].total);
}

// The twelve most frequent confusions, most frequent first.
void printConfusions(const Corpus &corpus, const char *title, const Confusions &counts)
{
    std::vector<std::pair<size_t, std::pair<size_t, size_t>>> worst;
    for (const auto &[pair, count] : counts)
        worst.push_back({ count, pair });
    std::sort(worst.rbegin(), worst.rend());
    std::printf("%s\n", title);
    for (size_t i = 0; i < std::min<size_t>(12, worst.size()); ++i)
        std::printf("  %-12s taken for %-12s %zu\n", corpus.labels[worst[i].second.first].c_str(),
            corpus.labels[worst[i].second.second].c_str(), worst[i].first);
}

void report(const Corpus &corpus, const ContentTypeNetwork &network, const Options &options)
{
    const Figures figures = tallied(corpus, guessesOf(corpus, network, options.threads), options);
    printTotals(corpus, figures);
    printLabels(corpus, figures);
    printConfusions(corpus, "most frequent confusions (files):", figures.confusions);
    printConfusions(corpus, "most frequent confusions (documentation samples):", figures.docConfusions);
    printConfusions(
        corpus, "most frequent confusions of code and text (short texts):", figures.shortConfusions);
    printConfusions(corpus, "everyday shapes taken for code:", figures.shapeConfusions);
}

// The outputs of the text labels.
std::vector<size_t> textOutputs(const Corpus &corpus)
{
    std::vector<size_t> outputs;
    for (size_t i = 0; i < corpus.labels.size(); ++i)
        if (kTextLabels.count(corpus.labels[i]))
            outputs.push_back(i);
    return outputs;
}

// The bias that, added to the text labels' outputs, tells text from code best on the held-out
// samples (all but the documentation samples) when a text counts options.textWeight times as
// much as a piece of code: on a clipboard text far outnumbers code, so an ambiguous text had
// better be taken for text. Between 0 and 4; 0 when no bias helps.
float fittedTextBias(const Corpus &corpus, const ContentTypeNetwork &network, const Options &options)
{
    const std::vector<size_t> texts = textOutputs(corpus);
    // Text wins a sample when the bias exceeds its margin: the log of the best code score
    // over the best text score.
    std::vector<std::pair<double, double>> margins(corpus.test.size()); // margin, signed weight
    parallelFor(corpus.test.size(), options.threads, [&](size_t i) {
        const Sample &sample = corpus.test[i];
        ContentTypeFeatures::Input input;
        std::copy(sample.tokens.begin(), sample.tokens.end(), input.begin());
        const std::vector<float> scores = network.predict(input);
        float bestText = 0, bestCode = 0;
        for (size_t k = 0; k < scores.size(); ++k) {
            float &best = std::find(texts.begin(), texts.end(), k) != texts.end() ? bestText : bestCode;
            best = std::max(best, scores[k]);
        }
        const bool isText = kTextLabels.count(corpus.labels[sample.label]) > 0;
        const double weight = sample.kind == Kind::Doc ? 0.0 : isText ? options.textWeight : -1.0;
        margins[i] = { std::log(std::max(bestCode, 1e-30f)) - std::log(std::max(bestText, 1e-30f)), weight };
    });
    std::sort(margins.begin(), margins.end());
    // Raising the bias past a margin wins its text or loses its code.
    constexpr double largest = 4.0;
    double gain = 0, bestGain = 0, bestBias = 0;
    for (size_t i = 0; i < margins.size() && margins[i].first < largest; ++i) {
        gain += margins[i].first >= 0 ? margins[i].second : 0.0;
        const double next = i + 1 < margins.size() ? std::min(margins[i + 1].first, largest) : largest;
        if (margins[i].first >= 0 && gain > bestGain + 1e-9) {
            bestGain = gain;
            bestBias = (margins[i].first + next) / 2;
        }
    }
    return float(bestBias);
}

// Reports an existing model (DIR/Magika.mlmodelc/model.bin and DIR/magika_labels.txt) on
// this corpus's held-out samples, to compare a new model with the one it replaces.
void evaluate(const Options &options, const Corpus &corpus)
{
    const fs::path directory(options.evaluate);
    std::ifstream file(directory / "Magika.mlmodelc" / "model.bin", std::ios::binary);
    const std::vector<uint8_t> bytes(
        (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string error;
    const std::unique_ptr<ContentTypeNetwork> network
        = ContentTypeNetwork::parse(bytes.data(), bytes.size(), &error);
    if (!network)
        fail("cannot read the model to evaluate: " + error);
    std::ifstream labelFile(directory / "magika_labels.txt");
    std::vector<std::string> labels;
    for (std::string label; std::getline(labelFile, label);)
        labels.push_back(label);
    if (labels != corpus.labels)
        fail("the model to evaluate has other labels than this corpus");
    report(corpus, *network, options);
    if (options.textWeight > 0)
        std::printf(
            "a text labels' bias of %+.3f would tell text from code best (a text counting %.1f times)\n",
            double(fittedTextBias(corpus, *network, options)), options.textWeight);
}

using OptionSetter = std::function<void(Options &, const std::string &)>;

// The options that take a value, and what each sets.
const std::map<std::string, OptionSetter> &valuedOptions()
{
    static const std::map<std::string, OptionSetter> setters = {
        { "--corpus", [](Options &o, const std::string &v) { o.corpus = v; } },
        { "--var",
            [](Options &o, const std::string &v) {
                const size_t eq = v.find('=');
                if (eq == std::string::npos)
                    fail("--var wants NAME=VALUE");
                o.variables[v.substr(0, eq)] = v.substr(eq + 1);
            } },
        { "--out", [](Options &o, const std::string &v) { o.out = v; } },
        { "--seed", [](Options &o, const std::string &v) { o.seed = std::stoull(v); } },
        { "--order-seed", [](Options &o, const std::string &v) { o.orderSeed = std::stoull(v); } },
        { "--epochs", [](Options &o, const std::string &v) { o.epochs = std::stoi(v); } },
        { "--max-files", [](Options &o, const std::string &v) { o.maxFiles = std::stoul(v); } },
        { "--samples-per-label",
            [](Options &o, const std::string &v) { o.samplesPerLabel = std::stoul(v); } },
        { "--short-per-label", [](Options &o, const std::string &v) { o.shortPerLabel = std::stoul(v); } },
        { "--short-texts", [](Options &o, const std::string &v) { o.shortTexts = std::stoul(v); } },
        { "--shapes", [](Options &o, const std::string &v) { o.shapes = std::stoul(v); } },
        { "--text-weight", [](Options &o, const std::string &v) { o.textWeight = std::stod(v); } },
        { "--evaluate", [](Options &o, const std::string &v) { o.evaluate = v; } },
        { "--show", [](Options &o, const std::string &v) { o.show = std::stoul(v); } },
        { "--buckets", [](Options &o, const std::string &v) { o.buckets = uint32_t(std::stoul(v)); } },
        { "--embedding", [](Options &o, const std::string &v) { o.embeddingDim = uint32_t(std::stoul(v)); } },
        { "--hidden", [](Options &o, const std::string &v) { o.hiddenDim = uint32_t(std::stoul(v)); } },
        { "--rate", [](Options &o, const std::string &v) { o.learningRate = std::stof(v); } },
        { "--threads",
            [](Options &o, const std::string &v) { o.threads = unsigned(std::max(1, std::stoi(v))); } },
    };
    return setters;
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto setter = valuedOptions().find(arg);
        if (arg == "--packages") {
            options.listPackages = true;
        } else if (setter != valuedOptions().end()) {
            if (i + 1 >= argc)
                fail("missing value after " + arg);
            setter->second(options, argv[++i]);
        } else {
            fail("unknown option " + arg);
        }
    }
    if (options.corpus.empty() || (options.out.empty() && options.evaluate.empty()))
        fail("usage: content-type-trainer --corpus FILE --var CORPUS=DIR --out DIR [--seed N] [--epochs N] "
             "...");
    return options;
}

// Runs the epochs over the training samples, shuffled anew each time. The features of a block
// of samples are computed on the worker threads, then the steps run one after another in the
// shuffled order: the same model for any number of threads.
void train(Trainer &trainer, Corpus &corpus, const Options &options, std::mt19937_64 &random)
{
    std::vector<std::vector<uint32_t>> blockFeatures(4096);
    const size_t steps = corpus.train.size() * size_t(options.epochs);
    size_t done = 0;
    for (int epoch = 0; epoch < options.epochs; ++epoch) {
        std::shuffle(corpus.train.begin(), corpus.train.end(), random);
        double loss = 0;
        constexpr size_t block = 4096;
        for (size_t from = 0; from < corpus.train.size(); from += block) {
            const size_t to = std::min(corpus.train.size(), from + block);
            parallelFor(to - from, options.threads,
                [&](size_t i) { features(corpus.train[from + i], options.buckets, blockFeatures[i]); });
            for (size_t i = from; i < to; ++i) {
                const float rate = options.learningRate * (1.0f - float(done++) / float(steps));
                loss += trainer.step(blockFeatures[i - from], corpus.train[i].label, rate);
            }
        }
        std::fprintf(stderr, "epoch %d: mean loss %.4f\n", epoch + 1, loss / double(corpus.train.size()));
    }
}

std::unique_ptr<ContentTypeNetwork> readBack(const std::vector<uint8_t> &bytes)
{
    std::string error;
    std::unique_ptr<ContentTypeNetwork> network
        = ContentTypeNetwork::parse(bytes.data(), bytes.size(), &error);
    if (!network)
        fail("the written model does not read back: " + error);
    return network;
}

// The trained model's bytes, with the text labels' bias fitted. The model is judged as the
// application will run it: quantised, written and read back.
std::vector<uint8_t> finishedModel(Trainer &trainer, const Corpus &corpus, const Options &options)
{
    std::vector<uint8_t> bytes = trainer.quantised()->serialize();
    std::unique_ptr<ContentTypeNetwork> network = readBack(bytes);
    const float bias = options.textWeight > 0 ? fittedTextBias(corpus, *network, options) : 0.0f;
    if (bias != 0.0f) {
        trainer.shiftOutputs(textOutputs(corpus), bias);
        bytes = trainer.quantised()->serialize();
        network = readBack(bytes);
    }
    std::printf(
        "text labels' bias: %+.3f (fitted on the held-out samples, a text counting %.1f times a piece "
        "of code)\n",
        double(bias), options.textWeight);
    report(corpus, *network, options);
    return bytes;
}

void writeModel(
    const std::vector<uint8_t> &bytes, const std::vector<std::string> &labels, const Options &options)
{
    const fs::path out(options.out);
    fs::create_directories(out / "Magika.mlmodelc");
    std::ofstream model(out / "Magika.mlmodelc" / "model.bin", std::ios::binary);
    model.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    std::ofstream labelFile(out / "magika_labels.txt");
    for (const std::string &label : labels)
        labelFile << label << '\n';
    std::printf("model: %zu bytes, seed %llu, order seed %llu\n", bytes.size(),
        static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(options.orderSeed));
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parse(argc, argv);
    std::mt19937_64 random(options.seed);
    Corpus corpus = collect(options, random);
    if (corpus.labels.empty())
        fail("no training data found");
    std::fprintf(stderr, "%zu training and %zu held-out samples\n", corpus.train.size(), corpus.test.size());
    if (options.orderSeed != 0)
        random.seed(options.orderSeed);
    if (!options.evaluate.empty()) {
        evaluate(options, corpus);
        return 0;
    }
    Trainer trainer(options, corpus.labels.size(), random);
    train(trainer, corpus, options, random);
    writeModel(finishedModel(trainer, corpus, options), corpus.labels, options);
    return 0;
}
