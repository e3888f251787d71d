#pragma once

#include "detection/ModelFileVersions.h"

#include <QString>
#include <QStringList>

#include <optional>

// What a model runner keeps of its loads that failed, so that the log says each failure once and
// a model's files are read again only where that can help:
// - a failure of what a file is (not there, not a regular file, too large, not a model) stands
//   while the files stay as they were: the load is neither tried nor said again until one changes;
// - a failure of the machine (no room for a copy, no descriptors, no memory) may pass: the load is
//   tried again at the next use, and said again only when its reason differs.
// Not thread-safe: the runner calls it under its load lock.
class ModelLoadFailures final
{
public:
    struct Failure
    {
        QString message;
        bool passing = false;
    };

    // Lines are said with the runner's prefix ("GuesslangDetection: ").
    explicit ModelLoadFailures(QString logPrefix);

    // Whether a load of the files at these paths may succeed now: not while the last one failed
    // for what they are and they have stayed as they were.
    bool worthTrying(const QStringList &paths) const;
    // The load that found the files at `versions` (taken before it read them: a file changed
    // meanwhile is read again at the next use) failed. Says so unless it was said already.
    void failed(ModelFileVersions versions, const Failure &failure);
    // A load succeeded, or the model was let go: nothing is held against its files.
    void forget();

private:
    struct Said
    {
        ModelFileVersions versions;
        Failure failure;
    };

    QString m_logPrefix;
    std::optional<Said> m_last;
};
