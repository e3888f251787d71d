#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

class UserDefaults;

// Where the clipboard panel was, kept in the user defaults: its size, one for every screen, and
// its top-left corner on each screen it was shown on, by the screen's key
// (PanelGeometry::screenKey). A size that is no text, or a dictionary of places holding anything
// but texts, reads as nothing.
namespace PanelFrameMemory {

inline const QString sizeKey = QStringLiteral("ClipboardPanelSize");
inline const QString positionsKey = QStringLiteral("ClipboardPanelPositions");

std::optional<QSizeF> savedSize(const UserDefaults &defaults);
std::optional<QPointF> savedPosition(const UserDefaults &defaults, const QString &screenKey);

// Keeps the frame's size and, given a screen's key, its place on that screen, with one save of
// the settings file (none when both are kept already). The places on other screens stay; a
// spoilt dictionary of places starts over.
void save(UserDefaults &defaults, const QRectF &frame, const std::optional<QString> &screenKey);
void saveSize(UserDefaults &defaults, const QSizeF &size);
void savePosition(UserDefaults &defaults, const QPointF &topLeft, const QString &screenKey);

} // namespace PanelFrameMemory
