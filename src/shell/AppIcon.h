#pragma once

#include <QIcon>
#include <QString>

// The app's icon, in the tray and on its windows: the desktop icon theme's "tindlewick" when
// the theme has one, else the PNG sizes installed beside the program (the build tree draws
// them to the same place), else a clipboard drawn in the palette's text colour.
namespace AppIcon {

QIcon icon();
// The sizes in "<executableDirectory>/../share/icons/hicolor"; a null icon when there are none.
QIcon installedIcon(const QString &executableDirectory);

} // namespace AppIcon
