#pragma once

#include <QDir>
#include <QString>

// Where a screenshot or log kept for a person goes, by its file name: in $TINDLEWICK_ARTEFACT_DIR
// (ctest sets the build's artefacts folder; the test programs default it to one in the machine's
// temporary folder), which is made when missing.
inline QString artefactPath(const QString &name)
{
    const QString folder = qEnvironmentVariable("TINDLEWICK_ARTEFACT_DIR");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + name;
}
