#pragma once

#include <QDir>
#include <QString>

// Where screenshots and logs kept for a person go: $TINDLEWICK_ARTEFACT_DIR (ctest sets the
// build's artefacts folder; the test programs default it to one in the machine's temporary
// folder).
inline QString artefactFolder()
{
    const QString folder = qEnvironmentVariable("TINDLEWICK_ARTEFACT_DIR");
    QDir().mkpath(folder);
    return folder;
}
