#include "detection/MagikaDetectionCoreML.h"

#include "common/Diagnostics.h"
#include "common/LineBreaks.h"
#include "detection/ContentTypeNetwork.h"
#include "detection/ModelFileVersions.h"
#include "platform/Bundle.h"
#include "platform/MappedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QStringList splitLabels(const QString &text)
{
    QStringList labels;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isLineBreak(text[i])) {
            if (i > start)
                labels.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    return labels;
}

// A label file is a few hundred bytes; a larger one would only cost memory.
constexpr qint64 maxLabelFileBytes = 1024 * 1024;

using LoadFailure = ModelLoadFailures::Failure;

// The labels the file lists, with the file they were read from; none, with the failure, when it
// cannot be read, is not UTF-8 text or lists no label (no item would get a content type).
std::optional<QStringList> readLabels(
    const QString &path, std::shared_ptr<const MappedFile> *file, LoadFailure *failure)
{
    const auto fail = [&](const QString &reason, bool passing) {
        *failure = { QStringLiteral("Could not read labels file %1: %2").arg(path, reason), passing };
        return std::nullopt;
    };
    MappedFile::Failure unmapped;
    *file = MappedFile::open(path, &unmapped, maxLabelFileBytes);
    if (!*file)
        return fail(unmapped.reason, unmapped.passing);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(
        QByteArrayView(reinterpret_cast<const char *>((*file)->data()), qsizetype((*file)->size())));
    if (decoder.hasError())
        return fail(QStringLiteral("it is not UTF-8 text"), false);
    QStringList labels = splitLabels(text);
    if (labels.isEmpty())
        return fail(QStringLiteral("it lists no labels"), false);
    return labels;
}

// The network of the model file, with the file it reads, or null with the failure.
std::shared_ptr<const ContentTypeNetwork> readNetwork(
    const QString &path, qsizetype labelCount, std::shared_ptr<const MappedFile> *file, LoadFailure *failure)
{
    const auto fail = [&](const QString &reason, bool passing) {
        *failure = { QStringLiteral("Failed to load model: %1: %2").arg(path, reason), passing };
        return nullptr;
    };
    // Mapped, not read: the embedding, nearly all of the file, stays where it is, and only the
    // rows a prediction uses are in memory (until the app gives them back when idle).
    MappedFile::Failure unmapped;
    *file = MappedFile::open(path, &unmapped);
    if (!*file)
        return fail(unmapped.reason, unmapped.passing);
    std::string reason;
    std::shared_ptr<const ContentTypeNetwork> network
        = ContentTypeNetwork::parse((*file)->data(), (*file)->size(), &reason, *file);
    if (!network)
        return fail(QString::fromStdString(reason), false);
    // Every label needs a score; a model with fewer outputs belongs to another label list.
    if (qsizetype(network->dimensions().outputs) < labelCount)
        return fail(QStringLiteral("the model has %1 outputs for %2 labels")
                        .arg(network->dimensions().outputs)
                        .arg(labelCount),
            false);
    return network;
}

// Highest first; NaN sorts last so the order stays a strict weak one.
float sortKey(float score)
{
    return std::isnan(score) ? -INFINITY : score;
}

} // namespace

// The files of the model: its resource "Magika.mlmodelc" (empty when there is none), the network
// in it, and the label file (empty when there is none).
struct MagikaDetectionCoreML::ModelPaths
{
    QString resource;
    QString network;
    QString labels;

    static ModelPaths now()
    {
        ModelPaths paths;
        paths.resource = Bundle::pathForResource(QStringLiteral("Magika"), QStringLiteral("mlmodelc"));
        if (!paths.resource.isEmpty())
            paths.network = QFileInfo(paths.resource).isDir() ? paths.resource + QStringLiteral("/model.bin")
                                                              : paths.resource;
        paths.labels = Bundle::pathForResource(QStringLiteral("magika_labels"), QStringLiteral("txt"));
        return paths;
    }
    QStringList list() const { return { network, labels }; }
    ModelFileVersions versions() const { return ModelFileVersions::of(list()); }
};

MagikaDetectionCoreML::MagikaDetectionCoreML()
    : m_failures(QStringLiteral("MagikaDetectionCoreML: "))
{ }

MagikaDetectionCoreML::~MagikaDetectionCoreML()
{
    m_executor.waitForIdle();
}

MagikaDetectionCoreML &MagikaDetectionCoreML::shared()
{
    static MagikaDetectionCoreML instance;
    return instance;
}

const QSet<QString> &MagikaDetectionCoreML::knownCodeLabels()
{
    static const QSet<QString> labels = {
        "aidl",
        "asm",
        "asp",
        "autohotkey",
        "autoit",
        "awk",
        "batch",
        "bazel",
        "c",
        "clojure",
        "cmake",
        "cobol",
        "coffeescript",
        "cpp",
        "cs",
        "csproj",
        "css",
        "csv",
        "dart",
        "diff",
        "dockerfile",
        "elixir",
        "erb",
        "erlang",
        "fortran",
        "gemfile",
        "gemspec",
        "gitattributes",
        "gitmodules",
        "go",
        "gradle",
        "groovy",
        "handlebars",
        "haskell",
        "hcl",
        "htaccess",
        "html",
        "ignorefile",
        "ini",
        "ipynb",
        "java",
        "javascript",
        "jinja",
        "json",
        "jsonl",
        "julia",
        "kotlin",
        "latex",
        "lisp",
        "lua",
        "makefile",
        "markdown",
        "matlab",
        "objectivec",
        "ocaml",
        "pascal",
        "perl",
        "php",
        "powershell",
        "prolog",
        "proto",
        "python",
        "r",
        "rst",
        "ruby",
        "rust",
        "scala",
        "scss",
        "sgml",
        "shell",
        "smali",
        "solidity",
        "sql",
        "svg",
        "swift",
        "tcl",
        "textproto",
        "toml",
        "tsv",
        "twig",
        "typescript",
        "vba",
        "vcxproj",
        "verilog",
        "vhdl",
        "vue",
        "wasm",
        "xml",
        "yaml",
        "yara",
        "zig",
    };
    return labels;
}

bool MagikaDetectionCoreML::loadModel()
{
    QMutexLocker loadLock(&m_loadMutex);
    return loadLocked(ModelPaths::now());
}

bool MagikaDetectionCoreML::loadLocked(const ModelPaths &paths)
{
    // Taken before anything is read: a file changed meanwhile is read again at the next use.
    ModelFileVersions versions = paths.versions();
    LoadFailure failure;
    if (readFiles(paths, &failure)) {
        m_failures.forget();
        return true;
    }
    dropModel();
    m_failures.failed(std::move(versions), failure);
    return false;
}

bool MagikaDetectionCoreML::readFiles(const ModelPaths &paths, LoadFailure *failure)
{
    const auto missing = [&](const char *name) {
        *failure = { QStringLiteral("Could not find %1 in bundle (%2)")
                         .arg(QLatin1String(name), Bundle::searchedFolders()),
            false };
        return false;
    };
    if (paths.resource.isEmpty())
        return missing("Magika.mlmodelc");
    if (paths.labels.isEmpty())
        return missing("magika_labels.txt");
    std::shared_ptr<const MappedFile> labelsFile;
    const std::optional<QStringList> labels = readLabels(paths.labels, &labelsFile, failure);
    if (!labels)
        return false;
    {
        // The labels stay in place even when the model then fails to load.
        QMutexLocker lock(&m_mutex);
        m_labels = *labels;
        m_codeLabels = knownCodeLabels();
    }
    std::shared_ptr<const MappedFile> file;
    std::shared_ptr<const ContentTypeNetwork> network
        = readNetwork(paths.network, labels->size(), &file, failure);
    if (!network)
        return false;
    QMutexLocker lock(&m_mutex);
    m_model = std::move(network);
    m_modelFile = std::move(file);
    m_labelsFile = std::move(labelsFile);
    m_isLoaded = true;
    return true;
}

void MagikaDetectionCoreML::dropModel()
{
    // A model loaded earlier may not fit the labels just read, or its files have changed since.
    QMutexLocker lock(&m_mutex);
    m_model.reset();
    m_modelFile.reset();
    m_labelsFile.reset();
    m_isLoaded = false;
}

bool MagikaDetectionCoreML::loadModelIfNeeded()
{
    return loadedModel() != nullptr;
}

void MagikaDetectionCoreML::unloadModel()
{
    // A load installs the labels before the model: an unload in between would leave a
    // loaded model without labels, so it waits for the load to finish.
    QMutexLocker loadLock(&m_loadMutex);
    m_failures.forget();
    QMutexLocker lock(&m_mutex);
    m_model.reset();
    m_modelFile.reset();
    m_labelsFile.reset();
    m_labels.clear();
    m_codeLabels.clear();
    m_isLoaded = false;
}

bool MagikaDetectionCoreML::isLoaded() const
{
    QMutexLocker lock(&m_mutex);
    return m_isLoaded;
}

QStringList MagikaDetectionCoreML::labels() const
{
    QMutexLocker lock(&m_mutex);
    return m_labels;
}

QSet<QString> MagikaDetectionCoreML::codeLabels() const
{
    QMutexLocker lock(&m_mutex);
    return m_codeLabels;
}

ContentTypeFeatures::Input MagikaDetectionCoreML::inputTokens(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return ContentTypeFeatures::inputTokens(
        reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
}

std::shared_ptr<const ContentTypeNetwork> MagikaDetectionCoreML::currentModel() const
{
    QMutexLocker lock(&m_mutex);
    return m_isLoaded && !m_modelFile->changedOnDisk() && !m_labelsFile->changedOnDisk() ? m_model : nullptr;
}

std::shared_ptr<const ContentTypeNetwork> MagikaDetectionCoreML::loadedModel()
{
    if (std::shared_ptr<const ContentTypeNetwork> model = currentModel())
        return model;
    QMutexLocker loadLock(&m_loadMutex);
    if (std::shared_ptr<const ContentTypeNetwork> model
        = currentModel()) // loaded by another thread meanwhile
        return model;
    const ModelPaths paths = ModelPaths::now();
    if (!m_failures.worthTrying(paths.list()))
        return nullptr;
    if (!loadLocked(paths))
        return nullptr;
    QMutexLocker lock(&m_mutex);
    return m_model;
}

std::optional<MagikaDetectionCoreML::Scores> MagikaDetectionCoreML::score(const QString &text)
{
    const std::shared_ptr<const ContentTypeNetwork> model = loadedModel();
    if (!model)
        return std::nullopt;
    std::vector<float> values = model->predict(inputTokens(text));

    QMutexLocker lock(&m_mutex);
    // A reload with another label list may have happened meanwhile: scores and labels
    // must still line up.
    if (m_labels.isEmpty() || values.size() < size_t(m_labels.size()))
        return std::nullopt;
    return Scores { std::move(values), m_labels, m_codeLabels };
}

std::optional<MagikaDetectionCoreML::DetectionResult> MagikaDetectionCoreML::predict(const QString &text)
{
    const std::optional<Scores> scores = score(text);
    if (!scores)
        return std::nullopt;
    qsizetype bestIndex = 0;
    float bestScore = 0.0f;
    for (qsizetype i = 0; i < scores->labels.size(); ++i) {
        if (scores->values[size_t(i)] > bestScore) { // the first of equal maxima wins; NaN never does
            bestIndex = i;
            bestScore = scores->values[size_t(i)];
        }
    }
    if (!std::isfinite(bestScore)) {
        printDiagnostic(
            QStringLiteral("MAGIKA-COREML: WARNING - NaN/Inf confidence detected, returning txt fallback"));
        return DetectionResult { QStringLiteral("txt"), 0.0f, false };
    }
    const QString &label = scores->labels[bestIndex];
    return DetectionResult { label, bestScore, scores->codeLabels.contains(label) };
}

QList<MagikaDetectionCoreML::DetectionResult> MagikaDetectionCoreML::predictTopK(const QString &text, int k)
{
    const std::optional<Scores> scores = score(text);
    if (!scores)
        return {};
    QList<qsizetype> order(scores->labels.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return sortKey(scores->values[size_t(a)]) > sortKey(scores->values[size_t(b)]);
    });
    const qsizetype count = std::min<qsizetype>(std::max(k, 0), order.size());
    QList<DetectionResult> results;
    results.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const QString &label = scores->labels[order[i]];
        results.append({ label, scores->values[size_t(order[i])], scores->codeLabels.contains(label) });
    }
    return results;
}

QFuture<std::optional<MagikaDetectionCoreML::DetectionResult>> MagikaDetectionCoreML::predictAsync(
    const QString &text)
{
    return m_executor.run([this, text] { return predict(text); });
}

QFuture<QList<MagikaDetectionCoreML::DetectionResult>> MagikaDetectionCoreML::predictTopKAsync(
    const QString &text, int k)
{
    return m_executor.run([this, text, k] { return predictTopK(text, k); });
}
