// Trains the content-type model from files that Debian packages install (see README.md).
//
//   content-type-trainer --corpus corpus.txt --var CORPUS=/path --out DIR [options]
//
// Writes DIR/Magika.mlmodelc/model.bin and DIR/magika_labels.txt and prints the held-out
// accuracy. Everything random comes from one seeded generator and file lists are sorted
// before use, so the same corpus and options give the same model byte for byte.
#include "detection/ContentTypeFeatures.h"
#include "detection/ContentTypeNetwork.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
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
    int epochs = 10;
    size_t maxFiles = 900;        // per label
    size_t samplesPerLabel = 2400; // training samples per label (whole files + snippets)
    double testShare = 0.2;
    uint32_t buckets = 1u << 16;
    uint32_t embeddingDim = 64;
    uint32_t hiddenDim = 64;
    float learningRate = 0.08f;
};

// The service's text labels: never code. Everything else the model names counts as code.
const std::set<std::string> kTextLabels = {"txt", "randombytes", "randomtxt", "csv", "tsv", "markdown", "rst",
                                           "eml", "srt", "vtt", "sum", "po", "bib"};

struct Rule
{
    std::string label;
    fs::path root;
    std::vector<std::string> patterns;
    std::vector<std::string> excludes;
};

struct Sample
{
    std::array<int16_t, ContentTypeFeatures::inputSize> tokens;
    uint16_t label;
    bool wholeFile;
};

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

std::vector<Rule> readRules(const Options &options)
{
    std::ifstream in(options.corpus);
    if (!in)
        fail("cannot read " + options.corpus);
    std::vector<Rule> rules;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        Rule rule;
        std::string root, word;
        if (!(words >> rule.label >> root))
            continue;
        rule.root = expand(root, options.variables);
        while (words >> word)
            (word[0] == '!' ? rule.excludes : rule.patterns).push_back(word[0] == '!' ? word.substr(1) : word);
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

// A pattern may end in ">tsv": the file is a comma-separated table that is rewritten with
// tabs between its fields (tab-separated files are rare among installed files). Or in
// ">split%": the file is a fortune-cookie file whose pieces, between lines of a lone "%",
// are documents of their own (short prose, as people copy it).
std::string convertedTo(const std::string &pattern)
{
    const size_t arrow = pattern.find('>');
    return arrow == std::string::npos ? std::string() : pattern.substr(arrow + 1);
}

std::vector<std::string> splitAtPercentLines(const std::string &data)
{
    std::vector<std::string> pieces(1);
    std::istringstream lines(data);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "%")
            pieces.emplace_back();
        else
            pieces.back() += line + '\n';
    }
    return pieces;
}

std::string csvToTsv(const std::string &data)
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
            out += '\t';
        } else if (c == '\t') {
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

ContentTypeFeatures::Input inputOf(const std::string &bytes)
{
    return ContentTypeFeatures::inputTokens(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

Sample sampleOf(const std::string &bytes, uint16_t label, bool wholeFile)
{
    const ContentTypeFeatures::Input input = inputOf(bytes);
    Sample sample;
    std::copy(input.begin(), input.end(), sample.tokens.begin());
    sample.label = label;
    sample.wholeFile = wholeFile;
    return sample;
}

// A piece of the file as someone would copy it: a run of 2 to 60 whole lines.
std::string snippet(const std::string &data, std::mt19937_64 &random)
{
    std::vector<size_t> starts{0};
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i] == '\n' && i + 1 < data.size())
            starts.push_back(i + 1);
    const size_t lines = starts.size();
    std::uniform_real_distribution<double> logLength(std::log(2.0), std::log(60.0));
    const size_t length = std::min(lines, size_t(std::exp(logLength(random))));
    const size_t first = std::uniform_int_distribution<size_t>(0, lines - length)(random);
    const size_t begin = starts[first];
    const size_t end = first + length < lines ? starts[first + length] : data.size();
    return data.substr(begin, std::min<size_t>(end - begin, 4096));
}

struct Corpus
{
    std::vector<std::string> labels;
    std::vector<Sample> train;
    std::vector<Sample> test;
    std::vector<size_t> filesPerLabel;
};

Corpus collect(const Options &options, std::mt19937_64 &random)
{
    const std::vector<Rule> rules = readRules(options);
    std::map<std::string, std::vector<std::pair<fs::path, std::string>>> candidates;
    for (const Rule &rule : rules) {
        std::error_code error;
        if (!fs::is_directory(rule.root, error)) {
            std::fprintf(stderr, "note: %s (%s) is not there, skipped\n", rule.root.c_str(), rule.label.c_str());
            continue;
        }
        for (auto it = fs::recursive_directory_iterator(rule.root, fs::directory_options::skip_permission_denied, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (error)
                break;
            if (it->is_symlink(error) || !it->is_regular_file(error))
                continue;
            if (const std::optional<std::string> conversion = matches(rule, it->path()))
                candidates[rule.label].push_back({it->path(), *conversion});
        }
    }

    Corpus corpus;
    std::unordered_set<uint64_t> seen;
    for (auto &[label, paths] : candidates) {
        std::sort(paths.begin(), paths.end());
        paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
        std::shuffle(paths.begin(), paths.end(), random);
        std::vector<std::string> files;
        std::vector<std::string> pieces;
        for (const auto &[path, conversion] : paths) {
            if (conversion == "split%") {
                for (std::string &piece : splitAtPercentLines(readFile(path, 1 << 20)))
                    pieces.push_back(std::move(piece));
                continue;
            }
            if (files.size() >= options.maxFiles)
                continue;
            const std::string data = readFile(path, 1 << 20);
            std::string document = conversion == "tsv" ? csvToTsv(data) : data;
            if (usable(document) && seen.insert(fingerprint(document)).second)
                files.push_back(std::move(document));
        }
        // Pieces of split files, drawn at random: half as many as the label has files, and
        // at least a third of the file cap.
        std::shuffle(pieces.begin(), pieces.end(), random);
        const size_t pieceShare = std::max<size_t>(files.size() / 2, options.maxFiles / 3);
        for (std::string &piece : pieces) {
            if (pieceShare == 0 || files.size() >= options.maxFiles + pieceShare)
                break;
            if (usable(piece) && seen.insert(fingerprint(piece)).second)
                files.push_back(std::move(piece));
        }
        std::shuffle(files.begin(), files.end(), random);
        if (files.size() < 5) {
            std::fprintf(stderr, "note: only %zu files for %s, label left out\n", files.size(), label.c_str());
            continue;
        }
        const auto id = uint16_t(corpus.labels.size());
        corpus.labels.push_back(label);
        corpus.filesPerLabel.push_back(files.size());

        const size_t testFiles = std::max<size_t>(1, size_t(double(files.size()) * options.testShare));
        const size_t trainFiles = files.size() - testFiles;
        const size_t snippetsPerFile = std::clamp<size_t>(options.samplesPerLabel / trainFiles, 2, 40) - 1;
        for (size_t i = 0; i < files.size(); ++i) {
            const bool held = i < testFiles;
            std::vector<Sample> &into = held ? corpus.test : corpus.train;
            into.push_back(sampleOf(files[i], id, true));
            const size_t snippets = held ? 2 : snippetsPerFile;
            for (size_t s = 0; s < snippets; ++s) {
                const std::string piece = snippet(files[i], random);
                if (usable(piece))
                    into.push_back(sampleOf(piece, id, false));
            }
        }
        std::fprintf(stderr, "%-12s %5zu files (%zu held out)\n", label.c_str(), files.size(), testFiles);
    }
    return corpus;
}

// The network in training: float weights, plain SGD with a linearly falling rate.
class Trainer final
{
public:
    Trainer(const Options &options, size_t outputs, std::mt19937_64 &random)
        : m_b(options.buckets), m_e(options.embeddingDim), m_h(options.hiddenDim), m_l(outputs),
          m_embedding(size_t(m_b) * m_e), m_w1(size_t(m_e) * m_h), m_b1(m_h, 0.0f), m_w2(size_t(m_h) * m_l),
          m_b2(m_l, 0.0f)
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
        auto network = ContentTypeNetwork::create({uint32_t(m_b), uint32_t(m_e), uint32_t(m_h), uint32_t(m_l)},
                                                  std::move(w), &error);
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

void report(const Corpus &corpus, const ContentTypeNetwork &network)
{
    struct Tally
    {
        size_t right = 0, total = 0, kindRight = 0;
    };
    Tally files, snippets;
    std::vector<Tally> perLabel(corpus.labels.size());
    std::map<std::pair<size_t, size_t>, size_t> confusions;
    for (const Sample &sample : corpus.test) {
        ContentTypeFeatures::Input input;
        std::copy(sample.tokens.begin(), sample.tokens.end(), input.begin());
        const size_t guess = best(network.predict(input));
        const bool right = guess == sample.label;
        const bool kindRight = kTextLabels.count(corpus.labels[guess]) == kTextLabels.count(corpus.labels[sample.label]);
        Tally &t = sample.wholeFile ? files : snippets;
        t.right += right;
        t.kindRight += kindRight;
        ++t.total;
        if (sample.wholeFile) {
            perLabel[sample.label].right += right;
            ++perLabel[sample.label].total;
            if (!right)
                ++confusions[{sample.label, guess}];
        }
    }
    auto percent = [](size_t a, size_t b) { return b ? 100.0 * double(a) / double(b) : 0.0; };
    std::printf("labels: %zu\n", corpus.labels.size());
    std::printf("held-out files:    top-1 %.1f %%, code vs text %.1f %% (%zu files)\n",
                percent(files.right, files.total), percent(files.kindRight, files.total), files.total);
    std::printf("held-out snippets: top-1 %.1f %%, code vs text %.1f %% (%zu snippets)\n",
                percent(snippets.right, snippets.total), percent(snippets.kindRight, snippets.total), snippets.total);
    std::printf("per label (held-out files):\n");
    for (size_t i = 0; i < corpus.labels.size(); ++i)
        std::printf("  %-12s %5.1f %% of %zu\n", corpus.labels[i].c_str(), percent(perLabel[i].right, perLabel[i].total),
                    perLabel[i].total);
    std::vector<std::pair<size_t, std::pair<size_t, size_t>>> worst;
    for (const auto &[pair, count] : confusions)
        worst.push_back({count, pair});
    std::sort(worst.rbegin(), worst.rend());
    std::printf("most frequent confusions (files):\n");
    for (size_t i = 0; i < std::min<size_t>(12, worst.size()); ++i)
        std::printf("  %-12s taken for %-12s %zu\n", corpus.labels[worst[i].second.first].c_str(),
                    corpus.labels[worst[i].second.second].c_str(), worst[i].first);
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                fail("missing value after " + arg);
            return argv[++i];
        };
        if (arg == "--corpus")
            options.corpus = value();
        else if (arg == "--var") {
            const std::string v = value();
            const size_t eq = v.find('=');
            if (eq == std::string::npos)
                fail("--var wants NAME=VALUE");
            options.variables[v.substr(0, eq)] = v.substr(eq + 1);
        } else if (arg == "--out")
            options.out = value();
        else if (arg == "--seed")
            options.seed = std::stoull(value());
        else if (arg == "--epochs")
            options.epochs = std::stoi(value());
        else if (arg == "--max-files")
            options.maxFiles = std::stoul(value());
        else if (arg == "--samples-per-label")
            options.samplesPerLabel = std::stoul(value());
        else if (arg == "--buckets")
            options.buckets = uint32_t(std::stoul(value()));
        else if (arg == "--embedding")
            options.embeddingDim = uint32_t(std::stoul(value()));
        else if (arg == "--hidden")
            options.hiddenDim = uint32_t(std::stoul(value()));
        else if (arg == "--rate")
            options.learningRate = std::stof(value());
        else
            fail("unknown option " + arg);
    }
    if (options.corpus.empty() || options.out.empty())
        fail("usage: content-type-trainer --corpus FILE --var CORPUS=DIR --out DIR [--seed N] [--epochs N] ...");
    return options;
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

    Trainer trainer(options, corpus.labels.size(), random);
    std::vector<uint32_t> buffer;
    const size_t steps = corpus.train.size() * size_t(options.epochs);
    size_t done = 0;
    for (int epoch = 0; epoch < options.epochs; ++epoch) {
        std::shuffle(corpus.train.begin(), corpus.train.end(), random);
        double loss = 0;
        for (const Sample &sample : corpus.train) {
            const float rate = options.learningRate * (1.0f - float(done++) / float(steps));
            features(sample, options.buckets, buffer);
            loss += trainer.step(buffer, sample.label, rate);
        }
        std::fprintf(stderr, "epoch %d: mean loss %.4f\n", epoch + 1, loss / double(corpus.train.size()));
    }

    // Judge the model as the application will run it: quantised, written and read back.
    const std::vector<uint8_t> bytes = trainer.quantised()->serialize();
    std::string error;
    const std::unique_ptr<ContentTypeNetwork> network = ContentTypeNetwork::parse(bytes.data(), bytes.size(), &error);
    if (!network)
        fail("the written model does not read back: " + error);
    report(corpus, *network);

    const fs::path out(options.out);
    fs::create_directories(out / "Magika.mlmodelc");
    std::ofstream model(out / "Magika.mlmodelc" / "model.bin", std::ios::binary);
    model.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    std::ofstream labels(out / "magika_labels.txt");
    for (const std::string &label : corpus.labels)
        labels << label << '\n';
    std::printf("model: %zu bytes, seed %llu\n", bytes.size(), static_cast<unsigned long long>(options.seed));
    return 0;
}
