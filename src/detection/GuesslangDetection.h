#pragma once

#include "detection/ModelActor.h"
#include "detection/ModelLoadFailures.h"

#include <QByteArray>
#include <QFuture>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

class MappedFile;

// The language-classification network: a small wide-and-deep network over hashed byte
// bigrams that ranks programming languages for a text. Its weights come from the
// resource "guesslang.bin" and are loaded lazily, on the first ranking or explicitly.
//
// The object is an actor: the *Async operations run one at a time on its own thread and
// hand back a QFuture. The plain operations do the same work on the calling thread; they
// are thread-safe (a ranking works on a snapshot of the weights, so an unload never
// pulls them from under it) and meant for callers that are already off the main thread.
class GuesslangDetection final : public ModelActor<GuesslangDetection>
{
public:
    struct DetectionResult
    {
        QString language;
        float confidence = 0.0f; // softmax probability

        friend bool operator==(const DetectionResult &, const DetectionResult &) = default;
    };

    static constexpr int numBuckets = 5000;
    static constexpr int embeddingDim = 70;
    static constexpr int hidden0Dim = 512;
    static constexpr int hidden1Dim = 32;

    GuesslangDetection();
    ~GuesslangDetection();
    GuesslangDetection(const GuesslangDetection &) = delete;
    GuesslangDetection &operator=(const GuesslangDetection &) = delete;

    // The application's instance, created on first use.
    static GuesslangDetection &shared();

    // Reads "guesslang.bin"; false (with a diagnostic line naming it) when it is missing,
    // unreadable or not a network file. A ranking tries a load that failed for what the file is
    // again only once the file has changed; one that failed for want of room, descriptors or
    // memory at its next use (ModelLoadFailures). A file cut short is reported in one line and
    // leaves the parts it lacks empty; the load still counts as done, but such a network ranks
    // nothing.
    bool loadModel();
    void unloadModel();
    bool isLoaded() const;
    // Number of language names the last load read (54 before any load); kept by unload.
    int numLanguages() const;
    // Language names in output order; empty while unloaded.
    QStringList languages() const;

    // The hash bucket of every byte bigram of the text's UTF-8 bytes, in text order.
    static QList<int> extractFeatures(const QString &text);
    // One probability per language, in languages() order. Empty while unloaded, for a
    // network whose matrices are too short, or for a bucket outside 0..numBuckets-1.
    QList<float> detect(const QList<int> &features) const;
    // Every language with its probability, best first; loads the network when needed.
    // Empty when it cannot be loaded or the text has fewer than two UTF-8 bytes.
    QList<DetectionResult> rankLanguages(const QString &text);
    // Pairs names with probabilities (up to the shorter list) and sorts them best first,
    // keeping the names' order among equal probabilities.
    static QList<DetectionResult> rank(const QStringList &languages, const QList<float> &probabilities);

    // The ranking, queued on the network's own thread like its loading (ModelActor).
    QFuture<QList<DetectionResult>> rankLanguagesAsync(const QString &text);

private:
    friend class ModelActor<GuesslangDetection>;
    // Loads when not loaded yet; whether the model is loaded now.
    bool loadModelIfNeeded();

    struct Network;
    using LoadFailure = ModelLoadFailures::Failure;

    // The network of the file's bytes, which it reads in place and keeps `file` for; null, with
    // the failure, when they are no network file. Messages name the file at `path`.
    static std::shared_ptr<const Network> readNetwork(const QByteArray &data, const QString &path,
        std::shared_ptr<const MappedFile> file, LoadFailure *failure);
    // Where "guesslang.bin" is; empty when it is nowhere.
    static QString networkPath();
    // The network of the file; null, with the failure, when there is none to read.
    static std::shared_ptr<const Network> readNetworkFile(const QString &path, LoadFailure *failure);
    std::shared_ptr<const Network> network() const;
    // The network, while its file is still the one it was read from.
    std::shared_ptr<const Network> currentNetwork() const;
    // Reads the file and installs the network, or none when that fails (m_failures keeps why);
    // the caller holds m_loadMutex.
    std::shared_ptr<const Network> loadNetwork(const QString &path);
    // The current network, loading it first when there is none or its file has changed.
    std::shared_ptr<const Network> loadedNetwork();

    // Serialises loads, so two threads asking for a ranking read the file once.
    QMutex m_loadMutex;
    // What the last load held against the file, when it failed (guarded by m_loadMutex).
    ModelLoadFailures m_failures;
    mutable QMutex m_mutex;
    std::shared_ptr<const Network> m_network;
    int m_numLanguages = 54;
};
