#include "enrichment/ColorFormatMenuItem.h"

namespace {

QString keyEquivalentForPosition(qsizetype position)
{
    if (position < 9)
        return QString::number(position + 1);
    if (position == 9)
        return QStringLiteral("0");
    if (position == 10)
        return QStringLiteral("-");
    return {};
}

} // namespace

QKeySequence ColorFormatMenuItem::shortcut() const
{
    if (keyEquivalent.isEmpty())
        return {};
    return QKeySequence(QStringLiteral("Ctrl+") + keyEquivalent, QKeySequence::PortableText);
}

QList<ColorFormatMenuItem> colorFormatMenuItems(QStringView hex,
    const QList<ColorFormatter::Format> &orderedFormats, const QSet<QString> &disabledFormats)
{
    QList<ColorFormatMenuItem> items;
    for (ColorFormatter::Format format : orderedFormats) {
        if (disabledFormats.contains(ColorFormatter::rawValue(format)))
            continue;
        std::optional<QString> value = ColorFormatter::format(hex, format);
        if (!value)
            continue;
        ColorFormatMenuItem item;
        item.format = format;
        item.title = ColorFormatter::displayName(format) + QStringLiteral("  \u2014  ") + *value;
        item.value = std::move(*value);
        item.keyEquivalent = keyEquivalentForPosition(items.size());
        items.append(std::move(item));
    }
    return items;
}
