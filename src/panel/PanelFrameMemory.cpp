#include "panel/PanelFrameMemory.h"

#include "panel/PanelGeometry.h"
#include "platform/UserDefaults.h"

namespace PanelFrameMemory {

namespace {

// The places kept, when every one of them is a text.
std::optional<QVariantMap> savedPositions(const UserDefaults &defaults)
{
    const QVariant stored = defaults.object(positionsKey);
    if (stored.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap positions = stored.toMap();
    for (const QVariant &value : positions) {
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
    }
    return positions;
}

QVariantMap positionsWith(const UserDefaults &defaults, const QPointF &topLeft, const QString &screenKey)
{
    QVariantMap positions = savedPositions(defaults).value_or(QVariantMap());
    positions.insert(screenKey, PanelGeometry::pointText(topLeft));
    return positions;
}

} // namespace

std::optional<QSizeF> savedSize(const UserDefaults &defaults)
{
    if (defaults.object(sizeKey).typeId() != QMetaType::QString)
        return std::nullopt;
    return PanelGeometry::parseSize(defaults.object(sizeKey).toString());
}

std::optional<QPointF> savedPosition(const UserDefaults &defaults, const QString &screenKey)
{
    const QString text = savedPositions(defaults).value_or(QVariantMap()).value(screenKey).toString();
    if (text.isEmpty())
        return std::nullopt;
    return PanelGeometry::parsePoint(text);
}

void save(UserDefaults &defaults, const QRectF &frame, const std::optional<QString> &screenKey)
{
    QVariantMap values { { sizeKey, PanelGeometry::sizeText(frame.size()) } };
    if (screenKey)
        values.insert(positionsKey, positionsWith(defaults, frame.topLeft(), *screenKey));
    defaults.setObjects(values);
}

void saveSize(UserDefaults &defaults, const QSizeF &size)
{
    defaults.setString(sizeKey, PanelGeometry::sizeText(size));
}

void savePosition(UserDefaults &defaults, const QPointF &topLeft, const QString &screenKey)
{
    defaults.setObject(positionsKey, positionsWith(defaults, topLeft, screenKey));
}

} // namespace PanelFrameMemory
