#pragma once

#include <QDir>
#include <QString>

// Where screenshots and logs kept for a person go: $TINDLEWICK_ARTEFACT_DIR (ctest sets the
// build's artefacts folder), else a folder of the temporary directory.
inline QString artefactFolder()
{
    QString folder = qEnvironmentVariable("TINDLEWICK_ARTEFACT_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/tindlewick-artefacts");
    QDir().mkpath(folder);
    return folder;
}
