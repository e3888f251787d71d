#pragma once

#include "detection/ContentTypeClassifier.h"
#include "detection/ContentTypeFeatures.h"
#include "detection/ModelActor.h"
#include "detection/ModelLoadFailures.h"

#include <QFuture>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class ContentTypeNetwork;
class MappedFile;

// The content-type model runner: scores the first and last kilobyte of a text against
// the content types (programming languages, markup, data formats, plain text) listed in
// the resource "magika_labels.txt". The model itself is the resource "Magika.mlmodelc":
// a folder holding our network file "model.bin" (a plain file of that name is read as the
// network itself). The model reads 2048 tokens and gives one score per label, in the label
// file's order.
//
// The object is an actor: the *Async operations run one at a time on its own thread and
// hand back a QFuture. The plain operations are thread-safe and do the work on the calling
// thread (the code-detection service calls predictTopK from its own thread). A prediction
// runs the network without holding the lock, so an unload may happen meanwhile; the
// labels are read only after the network has answered.
class MagikaDetectionCoreML final : public ContentTypeClassifier, public ModelActor<MagikaDetectionCoreML>
{
public:
    using DetectionResult = ContentTypePrediction;

    static constexpr int inputSize = ContentTypeFeatures::inputSize;
    static constexpr int paddingToken = ContentTypeFeatures::paddingToken;

    MagikaDetectionCoreML();
    ~MagikaDetectionCoreML() override;
    MagikaDetectionCoreML(const MagikaDetectionCoreML &) = delete;
    MagikaDetectionCoreML &operator=(const MagikaDetectionCoreML &) = delete;

    // The application's instance, created on first use.
    static MagikaDetectionCoreML &shared();

    // The 91 labels that count as code.
    static const QSet<QString> &knownCodeLabels();

    // Loads the labels and the model; false, with a diagnostic line naming the file, when either
    // is missing or unusable. A prediction tries a load that failed for what a file is again
    // only once one of the files has changed, one that failed for want of room, descriptors or
    // memory at its next use (ModelLoadFailures); it loads again when a file of a loaded model
    // has changed.
    bool loadModel();
    void unloadModel();
    bool isLoaded() const;
    QStringList labels() const;
    QSet<QString> codeLabels() const;

    // The model input of a text: its UTF-8 bytes with leading whitespace skipped in the
    // first 1024 tokens (padding after), with trailing whitespace dropped in the last 1024
    // (padding before).
    static ContentTypeFeatures::Input inputTokens(const QString &text);

    // The best label; none when the model is unavailable or fails.
    std::optional<DetectionResult> predict(const QString &text);
    // The k best labels, best first (equal scores keep label order); empty when the model
    // is unavailable or fails.
    QList<DetectionResult> predictTopK(const QString &text, int k) override;

    // The predictions, queued on the runner's own thread like its loading (ModelActor).
    QFuture<std::optional<DetectionResult>> predictAsync(const QString &text);
    QFuture<QList<DetectionResult>> predictTopKAsync(const QString &text, int k);

private:
    friend class ModelActor<MagikaDetectionCoreML>;
    // Loads when not loaded yet; whether the model is loaded now.
    bool loadModelIfNeeded();

    struct ModelPaths;
    // Loads the files, or leaves no model loaded and m_failures keeping why; the caller holds
    // m_loadMutex.
    bool loadLocked(const ModelPaths &paths);
    // Reads the labels, installs them, then the model; false, with the failure, at the first
    // that cannot be read.
    bool readFiles(const ModelPaths &paths, ModelLoadFailures::Failure *failure);
    // Leaves no model loaded (the labels read stay).
    void dropModel();

    // The scores of the text, paired with the labels in force once the network answered;
    // nullopt when there is no model, the network fails or the labels were dropped.
    struct Scores
    {
        std::vector<float> values;
        QStringList labels;
        QSet<QString> codeLabels;
    };
    std::optional<Scores> score(const QString &text);
    // The model loaded, while its file is still the one it was read from.
    std::shared_ptr<const ContentTypeNetwork> currentModel() const;
    // The current model, loading it first when there is none or its file has changed.
    std::shared_ptr<const ContentTypeNetwork> loadedModel();

    QMutex m_loadMutex; // one load at a time
    mutable QMutex m_mutex;
    std::shared_ptr<const ContentTypeNetwork> m_model;
    std::shared_ptr<const MappedFile> m_modelFile; // what m_model reads
    std::shared_ptr<const MappedFile> m_labelsFile; // what m_labels were read from
    // What the last load held against the files, when it failed (guarded by m_loadMutex).
    ModelLoadFailures m_failures;
    bool m_isLoaded = false;
    QStringList m_labels;
    QSet<QString> m_codeLabels;
};
