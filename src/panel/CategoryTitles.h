#pragma once

#include "model/ClipboardItemType.h"

#include <QString>

// The titles that name the panel's columns and tabs; they identify a column everywhere in
// the panel (selection, pinned groups, view modes), so they are compared as exact strings.
namespace CategoryTitle {
inline const QString history = QStringLiteral("History");
inline const QString text = QStringLiteral("Text");
inline const QString code = QStringLiteral("Code");
inline const QString links = QStringLiteral("Links");
inline const QString files = QStringLiteral("Files");
inline const QString media = QStringLiteral("Media");
inline const QString colors = QStringLiteral("Colors");
} // namespace CategoryTitle

// The column that shows items of this kind (the one a new pin expands).
QString categoryTitle(ClipboardItemType type);

// Files, Media and Colors can be shown as a grid; only they get a list/grid toggle.
bool hasViewModeToggle(const QString &title);
