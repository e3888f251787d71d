#include "detection/MagikaDetectionCoreML.h"

#include "common/Diagnostics.h"
#include "common/LineBreaks.h"
#include "detection/ContentTypeNetwork.h"
#include "platform/Bundle.h"
#include "platform/MappedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

void report(const QString &message)
{
    printDiagnostic(QStringLiteral("MagikaDetectionCoreML: ") + message);
}

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

std::optional<QString> readUtf8File(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The network of the model resource, with the file it reads, or null with the reason in error.
std::shared_ptr<const ContentTypeNetwork> readNetwork(
    const QString &resource, qsizetype labelCount, std::shared_ptr<const MappedFile> *file, QString *error)
{
    const QString path = QFileInfo(resource).isDir() ? resource + QStringLiteral("/model.bin") : resource;
    // Mapped, not read: the embedding, nearly all of the file, stays where it is, and only the
    // rows a prediction uses are in memory (until the app gives them back when idle).
    *file = MappedFile::open(path, error);
    if (!*file)
        return nullptr;
    std::string reason;
    std::shared_ptr<const ContentTypeNetwork> network
        = ContentTypeNetwork::parse((*file)->data(), (*file)->size(), &reason, *file);
    if (!network) {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(reason));
        return nullptr;
    }
    // Every label needs a score; a model with fewer outputs belongs to another label list.
    if (qsizetype(network->dimensions().outputs) < labelCount) {
        *error = QStringLiteral("%1: the model has %2 outputs for %3 labels")
                     .arg(path)
                     .arg(network->dimensions().outputs)
                     .arg(labelCount);
        return nullptr;
    }
    return network;
}

// Highest first; NaN sorts last so the order stays a strict weak one.
float sortKey(float score)
{
    return std::isnan(score) ? -INFINITY : score;
}

} // namespace

MagikaDetectionCoreML::MagikaDetectionCoreML() = default;

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
    const QString modelPath = Bundle::pathForResource(QStringLiteral("Magika"), QStringLiteral("mlmodelc"));
    if (modelPath.isEmpty()) {
        report(QStringLiteral("Could not find Magika.mlmodelc in bundle (") + Bundle::searchedFolders()
            + QLatin1Char(')'));
        return false;
    }
    const QString labelsPath
        = Bundle::pathForResource(QStringLiteral("magika_labels"), QStringLiteral("txt"));
    if (labelsPath.isEmpty()) {
        report(QStringLiteral("Could not find magika_labels.txt in bundle (") + Bundle::searchedFolders()
            + QLatin1Char(')'));
        return false;
    }
    const std::optional<QString> labelText = readUtf8File(labelsPath);
    if (!labelText) {
        report(QStringLiteral("Could not read labels file"));
        return false;
    }
    const QStringList labels = splitLabels(*labelText);
    {
        // The labels stay in place even when the model then fails to load.
        QMutexLocker lock(&m_mutex);
        m_labels = labels;
        m_codeLabels = knownCodeLabels();
    }

    QString error;
    std::shared_ptr<const MappedFile> file;
    std::shared_ptr<const ContentTypeNetwork> network = readNetwork(modelPath, labels.size(), &file, &error);
    QMutexLocker lock(&m_mutex);
    if (!network) {
        // A model loaded earlier may not fit the labels just read, or its file has changed since:
        // drop it too.
        m_model.reset();
        m_modelFile.reset();
        m_isLoaded = false;
        lock.unlock();
        report(QStringLiteral("Failed to load model: ") + error);
        return false;
    }
    m_model = std::move(network);
    m_modelFile = std::move(file);
    m_isLoaded = true;
    return true;
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
    QMutexLocker lock(&m_mutex);
    m_model.reset();
    m_modelFile.reset();
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
    return m_isLoaded && !m_modelFile->changedOnDisk() ? m_model : nullptr;
}

std::shared_ptr<const ContentTypeNetwork> MagikaDetectionCoreML::loadedModel()
{
    if (std::shared_ptr<const ContentTypeNetwork> model = currentModel())
        return model;
    QMutexLocker loadLock(&m_loadMutex);
    if (std::shared_ptr<const ContentTypeNetwork> model
        = currentModel()) // loaded by another thread meanwhile
        return model;
    loadLock.unlock();
    if (!loadModel())
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
