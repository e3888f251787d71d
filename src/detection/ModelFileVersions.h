#pragma once

#include "platform/MappedFile.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Which version of each of a model's files a load found (a file not found has an empty path):
// a load that failed for what its files are is not tried again while they stay as they were
// (ModelLoadFailures), or a damaged or hostile file would be read at every copy.
class ModelFileVersions final
{
public:
    // The versions of the files at these paths now.
    static ModelFileVersions of(const QStringList &paths);

    bool operator==(const ModelFileVersions &other) const;

private:
    std::vector<std::pair<QString, MappedFile::Identity>> m_files;
};
