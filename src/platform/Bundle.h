#pragma once

#include <QString>
#include <QStringList>

// The application's read-only resources (model files, the highlighting script, lists). An
// installed copy keeps them in "<prefix>/share/tindlewick" beside "<prefix>/bin"; the build
// tree keeps them in a "resources" folder beside the executable.
namespace Bundle {

// The folders searched for a resource, in order: $TINDLEWICK_RESOURCE_DIR alone when it is set
// (a test's override before it), else "<executable's folder>/../share/tindlewick" and then
// "<executable's folder>/resources".
QStringList resourceDirectories();
// The same order for a given executable folder and value of $TINDLEWICK_RESOURCE_DIR (empty
// when unset).
QStringList resourceDirectories(const QString &executableDirectory, const QString &environmentDirectory);

// The executable's folder is learnt while the application object exists and kept, so work
// that ends after it has gone still finds it.
//
// The first searched folder that exists, where the resources are read from (the first
// searched folder when none exists).
QString resourceDirectory();

// Full path of "<name>.<extension>" in the first searched folder that holds it (also as a link
// that leads nowhere), or an empty string when none does. An empty extension looks for "<name>"
// itself.
QString pathForResource(const QString &name, const QString &extension);
QString findIn(const QStringList &directories, const QString &fileName);

// Where a missing resource was looked for, for its message: "looked in A and B".
QString searchedFolders();

// Tests point the bundle somewhere else (an empty string restores the default).
void setResourceDirectoryOverride(const QString &directory);

} // namespace Bundle
