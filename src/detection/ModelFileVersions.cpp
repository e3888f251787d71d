#include "detection/ModelFileVersions.h"

ModelFileVersions ModelFileVersions::of(const QStringList &paths)
{
    ModelFileVersions versions;
    for (const QString &path : paths)
        versions.m_files.emplace_back(
            path, path.isEmpty() ? MappedFile::Identity() : MappedFile::identityAt(path));
    return versions;
}

bool ModelFileVersions::operator==(const ModelFileVersions &other) const
{
    return m_files == other.m_files;
}
