#pragma once

#include <QString>

// The application's read-only resources (model files, the highlighting script, lists),
// which the build places in a "resources" folder beside the executable.
namespace Bundle {

// The folder that holds the resources: $TINDLEWICK_RESOURCE_DIR when set, else
// "<folder of the executable>/resources". The executable's folder is learnt while the
// application object exists and kept: work that ends after it has gone still finds it.
QString resourceDirectory();

// Full path of "<name>.<extension>" in the resource folder, or an empty string when
// there is no such file or folder. An empty extension looks for "<name>" itself.
QString pathForResource(const QString &name, const QString &extension);

// Tests point the bundle somewhere else (an empty string restores the default).
void setResourceDirectoryOverride(const QString &directory);

} // namespace Bundle
